// Pictures of the seven feed cells over rows made in velkora-service, against references in data/.
#include <gtest/gtest.h>

#include "SeededFeed.h"
#include "platform/ui/Snapshot.h"
#include "shell/WidgetSnapshot.h"

namespace velkora::testing {
namespace {

class CellSnapshotTest : public SeededFeedTest {
protected:
    static bool hasPhoto(const VelkoraUserPtr& user) { return user && !user->userPhotoUrl().value_or("").empty(); }
    // The picture views that load something for this row.
    static std::vector<VelkoraLazyImageView*> picturesAskedFor(VelkoraFeedCell& cell, const VelkoraActivityPtr& item) {
        std::vector<VelkoraLazyImageView*> views;
        auto add = [&](const std::shared_ptr<VelkoraLazyImageView>& v, bool asked) {
            if (v && asked && !v->isHidden()) views.push_back(v.get());
        };
        add(cell.userPhotoImage(), hasPhoto(item->getPoster()));
        auto post = std::dynamic_pointer_cast<VelkoraFeedMessage>(item);
        auto like = std::dynamic_pointer_cast<VelkoraLikeObject>(item);
        if (like && like->feedMessage()) post = like->feedMessage();
        if (post) {
            add(cell.descImageView(), post->descImageUrl().has_value());
            if (like) add(cell.posterUserPhotoImage(), hasPhoto(post->getPoster()));
        }
        if (like && like->chatRoomsTopic() && cell.kind() >= 5)
            add(cell.descImageView(), like->chatRoomsTopic()->hasPhoto());
        if (like && like->chatRoomsComment() && cell.kind() == 7) {
            add(cell.posterUserPhotoImage(), hasPhoto(like->chatRoomsComment()->user()));
            add(cell.topicImageView(), true);
        }
        if (like && cell.kind() == 4) add(cell.theImageView(), like->type() == VelkoraLikeObject::IMAGE);
        return views;
    }
    // The cell at its measured height, filled, its pictures loaded, drawn at twice its size.
    std::shared_ptr<ui::Image> shot(const std::shared_ptr<VelkoraFeedCell>& cell, const VelkoraActivityPtr& item) {
        EXPECT_TRUE(cell);
        if (!cell) return nullptr;
        cell->reset();
        const float height = cell->getHeight(item);
        cell->updateData(item);
        runThrough();
        // Every picture the row asked for is in before the picture is taken.
        EXPECT_TRUE(waitFor([&] {
            for (auto* p : picturesAskedFor(*cell, item))
                if (!p->imageLoaded()) return false;
            return true;
        }));
        ui::Rect f = cell->frame();
        cell->setFrame({0, 0, f.width(), height});
        cell->setNeedsLayout();
        cell->layoutIfNeeded();
        return ui::Snapshot::imageOfView(*cell, 2.0);
    }
};

TEST_F(CellSnapshotTest, EveryKind) {
    seed();
    // Ages read from a fixed service clock, so the pictures stay the same.
    struct Case {
        const char* name;
        std::function<std::shared_ptr<VelkoraFeedCell>()> make;
        VelkoraActivityPtr item;
    } cases[] = {
        {"cell_kind1_followed", [&] { return VelkoraFeedTableCell::initFromNib(delegate); }, posts["type1"]},
        {"cell_kind1_joined", [&] { return VelkoraFeedTableCell::initFromNib(delegate); }, posts["type2"]},
        {"cell_kind1_commented", [&] { return VelkoraFeedTableCell::initFromNib(delegate); }, posts["type3"]},
        {"cell_kind2_activity", [&] { return VelkoraFeedActivityCell::initFromNib(delegate); }, posts["activity"]},
        {"cell_kind3_liked_activity", [&] { return VelkoraFeedLikeActivityCell::initFromNib(delegate); },
         likes["post"]},
        {"cell_kind4_image", [&] { return VelkoraFeedLikeImageCell::initFromNib(delegate); }, likes["image"]},
        {"cell_kind5_topic", [&] { return VelkoraFeedLikeTopicCell::initFromNib(delegate); }, likes["topicPhoto"]},
        {"cell_kind6_comment", [&] { return VelkoraFeedLikeTopicCommentCell::initFromNib(delegate); },
         likes["textComment"]},
        {"cell_kind7_image_comment", [&] { return VelkoraFeedLikeTopicImageCell::initFromNib(delegate); },
         likes["imageComment"]},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.item) << c.name;
        // The rows' ages as the service stamped them, whatever second the test runs in.
        if (auto t = c.item->getActivityTime()) loop().useTestClock(*t + 600);
        expectMatchesReference(shot(c.make(), c.item), c.name);
    }
}

TEST_F(CellSnapshotTest, RowsWithoutAPicture) {
    seed();
    // A liked host object that is not a picture, and a posted activity whose block has no picture.
    auto other = likes["other"];
    ASSERT_TRUE(other);
    loop().useTestClock(*other->time() + 600);
    expectMatchesReference(shot(VelkoraFeedLikeImageCell::initFromNib(delegate), other), "cell_kind4_other");
    auto post = posts["activity"];
    ASSERT_TRUE(post);
    post->setDescImageUrl(std::nullopt);
    loop().useTestClock(*post->getActivityTime() + 600);
    expectMatchesReference(shot(VelkoraFeedActivityCell::initFromNib(delegate), post), "cell_kind2_no_picture");
}

TEST_F(CellSnapshotTest, LikedPictureOnATablet) {
    seed();
    ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Pad);
    ui::Screen::main().setBounds({0, 0, 768, 1024});
    auto like = likes["image"];
    loop().useTestClock(*like->time() + 600);
    auto cell = VelkoraFeedLikeImageCell::initFromNib(delegate);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->frame().width(), 450);
    expectMatchesReference(shot(cell, like), "cell_kind4_image_tablet");
    ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Phone);
}

} // namespace
} // namespace velkora::testing
