// Pictures of the like and comment buttons in their states, against references in data/.
#include <gtest/gtest.h>

#include "FeedCellsFixture.h"
#include "feed/VelkoraCommentButton.h"
#include "platform/ui/Snapshot.h"
#include "shell/WidgetSnapshot.h"

namespace velkora::testing {
namespace {

using service::Fault;

class ButtonSnapshotTest : public FeedCellsTest {
protected:
    // The control on a white strip, as a host screen shows it.
    static std::shared_ptr<ui::Image> shot(const std::shared_ptr<ui::View>& control) {
        auto strip = ui::View::create({0, 0, 96, 44});
        strip->setBackgroundColor(ui::Color::whiteColor());
        control->setFrame({16, 8, control->frame().width(), control->frame().height()});
        strip->addSubview(control);
        strip->layoutIfNeeded();
        return ui::Snapshot::imageOfView(*strip, 2.0);
    }
    static VelkoraLikeObjectPtr counted(int32_t n, const std::string& data) {
        auto o = std::make_shared<VelkoraLikeObject>();
        o->setNumLikes(n);
        o->setData(data);
        o->setAppId(std::string(kApp));
        return o;
    }
};

TEST_F(ButtonSnapshotTest, LikeButtonStates) {
    auto notReady = VelkoraLikeButton::create({0, 0, 64, 28});
    notReady->updateLikeObject("pic-x", VelkoraLikeObject::IMAGE, std::nullopt);
    expectMatchesReference(shot(notReady), "like_button_not_ready");

    auto zero = VelkoraLikeButton::create({0, 0, 64, 28});
    zero->updateLikeObject(counted(0, "zero"));
    expectMatchesReference(shot(zero), "like_button_zero");

    startReady();
    auto liked = VelkoraLikeButton::create({0, 0, 64, 28});
    liked->updateLikeObject(counted(11, "twelve"));
    liked->clickLike();
    runThrough();
    ASSERT_TRUE(liked->shownLiked());
    expectMatchesReference(shot(liked), "like_button_12_liked");

    auto pending = VelkoraLikeButton::create({0, 0, 64, 28});
    pending->updateLikeObject(counted(11, "pending"));
    svc.addFault(Fault{"like", Fault::Kind::Delay, "", 500, 0.2});
    pending->clickLike();
    ASSERT_TRUE(VelkoraLikeButton::isRequestPending(likeKey("pending")));
    expectMatchesReference(shot(pending), "like_button_12_pending");
    runThrough();
}

TEST_F(ButtonSnapshotTest, CommentButtonWithItsCount) {
    startReady();
    auto button = VelkoraCommentButton::create({0, 0, 64, 28});
    button->updateImageCommentObject("pic-comments", std::string("Pictures"));
    runThrough();
    for (int i = 0; i < 3; ++i)
        svc.addTopicComment(kApp, button->topicId(), svc.createUser(kApp), "c");
    loop().advance(1); // the service answers a repeated request text from its first answer
    button->refresh();
    runThrough();
    expectMatchesReference(shot(button), "comment_button_3");
}

} // namespace
} // namespace velkora::testing
