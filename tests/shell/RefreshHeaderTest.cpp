// The pull-to-refresh header through a whole pull, its arrow's turns and how its three states look.
#include <gtest/gtest.h>

#include <cmath>

#include "WidgetFixture.h"
#include "WidgetSnapshot.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Snapshot.h"
#include "shell/VelkoraRefreshTableHeaderView.h"

using namespace velkora;

namespace {

class RefreshHeaderTest : public velkora::testing::WidgetFixture {
protected:
    static double arrowAngle(const VelkoraRefreshTableHeaderView& h) {
        const auto& t = h.refreshImage()->transform();
        return std::atan2(t.b, t.a);
    }
    // Pointing down the list (a half turn) or up (no turn), whichever way the angle was reached.
    static bool pointsDown(const VelkoraRefreshTableHeaderView& h) {
        return std::abs(std::abs(arrowAngle(h)) - M_PI) < 1e-9;
    }
    static bool pointsUp(const VelkoraRefreshTableHeaderView& h) { return std::abs(arrowAngle(h)) < 1e-9; }
};

TEST_F(RefreshHeaderTest, AWholePullCycleLooksLikeItsReferences) {
    auto header = VelkoraRefreshTableHeaderView::initFromNib();
    ASSERT_TRUE(header->topLevelSubview() && header->statusLabel() && header->activityView() && header->refreshImage());
    EXPECT_EQ(header->topLevelSubview()->superview(), header.get());
    EXPECT_EQ(header->frame().size, header->topLevelSubview()->frame().size);

    // At rest.
    EXPECT_EQ(header->statusLabel()->text(), "Pull down to refresh...");
    EXPECT_TRUE(pointsDown(*header));
    EXPECT_FALSE(header->isFlipped());
    EXPECT_TRUE(header->activityView()->isHidden());
    velkora::testing::expectMatchesReference(ui::Snapshot::imageOfView(*header, 2), "refresh_pull");

    // Pulled past the threshold: the arrow turns over, animated.
    header->flipImageAnimated(true);
    header->setStatus(VelkoraRefreshTableHeaderView::ReleaseToRefresh);
    EXPECT_TRUE(header->isFlipped());
    EXPECT_TRUE(pointsUp(*header));
    EXPECT_TRUE(ui::Animator::isAnimating(*header->refreshImage()));
    loop().advance(0.18);
    EXPECT_FALSE(ui::Animator::isAnimating(*header->refreshImage()));
    EXPECT_EQ(header->statusLabel()->text(), "Release to refresh...");
    velkora::testing::expectMatchesReference(ui::Snapshot::imageOfView(*header, 2), "refresh_release");

    // Let go: the list reloads.
    header->toggleActivityView(true);
    EXPECT_EQ(header->statusLabel()->text(), "Loading...");
    EXPECT_TRUE(header->refreshImage()->isHidden());
    EXPECT_TRUE(header->activityView()->isAnimating());
    EXPECT_FALSE(header->activityView()->isHidden());
    velkora::testing::expectMatchesReference(ui::Snapshot::imageOfView(*header, 2), "refresh_loading");

    // Reloaded: back without animation; turning the spinner off leaves the text to the list.
    header->flipImageAnimated(false);
    EXPECT_TRUE(pointsDown(*header));
    EXPECT_FALSE(header->isFlipped());
    header->toggleActivityView(false);
    EXPECT_EQ(header->statusLabel()->text(), "Loading...");
    EXPECT_FALSE(header->refreshImage()->isHidden());
    EXPECT_TRUE(header->activityView()->isHidden());
    header->setStatus(VelkoraRefreshTableHeaderView::PullDownToRefresh);
    EXPECT_EQ(header->statusLabel()->text(), "Pull down to refresh...");
}

TEST_F(RefreshHeaderTest, TwoFlipsReturnToRestAndUnknownStatusesChangeNothing) {
    auto header = VelkoraRefreshTableHeaderView::initFromNib();
    const ui::AffineTransform rest = header->refreshImage()->transform();
    for (bool animated : {true, false}) {
        header->flipImageAnimated(animated);
        header->flipImageAnimated(animated);
        EXPECT_EQ(header->refreshImage()->transform(), rest) << animated;
        EXPECT_FALSE(header->isFlipped()) << animated;
    }
    header->setStatus(VelkoraRefreshTableHeaderView::Loading);
    for (int status : {-1, 3, 100}) {
        header->setStatus(status);
        EXPECT_EQ(header->statusLabel()->text(), "Loading...") << status;
    }
}

TEST_F(RefreshHeaderTest, WithoutTheAnimationFrameworkTheArrowStaysStill) {
    VelkoraDynamicFrameworkLoader::resetCachesForTests();
    VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate("/nonexistent/%@/lib%@.so");
    foundation::Log::Capture capture;
    auto header = VelkoraRefreshTableHeaderView::initFromNib();
    EXPECT_TRUE(header->refreshImage()->transform().isIdentity());
    header->flipImageAnimated(false);
    EXPECT_TRUE(header->refreshImage()->transform().isIdentity());
    EXPECT_TRUE(header->isFlipped());
    header->setStatus(VelkoraRefreshTableHeaderView::ReleaseToRefresh);
    EXPECT_EQ(header->statusLabel()->text(), "Release to refresh...");
}

} // namespace
