// The like and comment controls as a host places them in its own view, against the service.
#include "HostFixture.h"

#include "host/HostInternals.h"
#include "velkora/VelkoraChatRoom.h"
#include "velkora/VelkoraCommentButton.h"
#include "velkora/VelkoraHost.h"
#include "velkora/VelkoraLikeButton.h"

using namespace velkora;
using namespace velkora::testing;
using service::Fault;

namespace {

class FeedControlsTest : public HostTest {
protected:
    void TearDown() override {
        VelkoraScreenRegistry::instance().unregisterScreen("blogTopic");
        HostTest::TearDown();
    }
    // The host's screen: a window with one view of its own.
    void showScreen() {
        window = VelkoraWindow::create();
        screen = VelkoraView::create({0, 60, 320, 200});
        window->addView(screen);
        window->makeKeyAndVisible();
    }
    size_t controlsInScreen() const { return screen->impl()->view->subviews().size(); }

    std::shared_ptr<VelkoraWindow> window;
    std::shared_ptr<VelkoraView> screen;
};

TEST_F(FeedControlsTest, AHostPlacesBindsAndTapsBothControls) {
    svc.likeObject(kApp, svc.createUser(kApp), "IMAGE", "pic-1", "A picture");
    showScreen();
    auto like = host::VelkoraLikeButton::create({20, 20, 64, 28});
    like->addTo(screen);
    std::vector<std::pair<std::string, bool>> told;
    like->setDelegate([&](const std::string& data, bool liked) { told.emplace_back(data, liked); });
    like->updateLikeObject("pic-1", host::VelkoraLikeButton::IMAGE, std::string("A picture"));
    auto comment = host::VelkoraCommentButton::create({100, 20, 64, 28});
    comment->addTo(screen);
    comment->updateImageCommentObject("pic-1", std::string("A picture"));
    EXPECT_EQ(controlsInScreen(), 2u);
    EXPECT_FALSE(like->isReady()) << "the count waits for the kit";
    EXPECT_FALSE(comment->isReady());

    startAndComplete();
    ASSERT_TRUE(waitFor([&] { return like->isReady() && comment->isReady(); }));
    EXPECT_EQ(like->count(), 1);
    EXPECT_FALSE(like->isLiked());
    EXPECT_EQ(comment->count(), 0);
    EXPECT_GT(comment->topicId(), 0);
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back(), std::make_pair(std::string("pic-1"), false));

    // A finger on the like face: liked at once, settled when the service answers.
    told.clear();
    window->touchDown(40, 94);
    window->touchUp(40, 94);
    EXPECT_TRUE(like->isPending());
    EXPECT_TRUE(like->isLiked());
    EXPECT_EQ(like->count(), 2);
    EXPECT_TRUE(told.empty()) << "the delegate hears settled states only";
    ASSERT_TRUE(waitFor([&] { return !like->isPending(); }));
    EXPECT_EQ(svc.likesOf(kApp, "IMAGE", "pic-1"), 2);
    EXPECT_EQ(told, (std::vector<std::pair<std::string, bool>>{{"pic-1", true}}));
    like->clickUnlike();
    ASSERT_TRUE(waitFor([&] { return !like->isPending(); }));
    EXPECT_EQ(like->count(), 1);
    EXPECT_EQ(svc.likesOf(kApp, "IMAGE", "pic-1"), 1);

    // The comment control opens the object's chat room on the host's navigation controller.
    std::vector<foundation::Value> opened;
    VelkoraScreenRegistry::instance().registerScreen("blogTopic", [&](const foundation::Value& arguments) {
        opened.push_back(arguments);
        return std::make_shared<ui::ViewController>();
    });
    auto nav = VelkoraNavigationController::create(VelkoraHostScreen::create("Pictures"));
    comment->setNavigationController(nav);
    EXPECT_EQ(comment->navigationController(), nav);
    window->touchDown(130, 94);
    window->touchUp(130, 94);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(VelkoraScreenArguments::object1(opened[0]).int32Or(0), comment->topicId());
    EXPECT_EQ(VelkoraScreenArguments::object2(opened[0]).textOr(""), "pic-1");
    EXPECT_EQ(nav->stackDepth(), 2u);

    like->removeFromView();
    EXPECT_EQ(controlsInScreen(), 1u);
}

TEST_F(FeedControlsTest, AHostsChatRoomAndItsCommentAreLikedThroughTheirOwnRequests) {
    startAndComplete();
    std::string poster = svc.createUser(kApp);
    int64_t topicId = svc.addTopic(kApp, "Harbour");
    svc.addTopicComment(kApp, topicId, poster, "Nice");
    std::shared_ptr<VelkoraChatRoom> room;
    VelkoraChatRoom::getChatRoomByTopicId(int(topicId), [&](std::shared_ptr<VelkoraChatRoom> r, bool) { room = r; });
    ASSERT_TRUE(waitFor([&] { return room != nullptr; }));
    auto like = host::VelkoraLikeButton::create({0, 0, 64, 28});
    like->updateLikeObjectFromChatRoomsWithTopic(room);
    EXPECT_TRUE(like->isReady()) << "the kit holds the room's count";
    like->clickLike();
    ASSERT_TRUE(waitFor([&] { return !like->isPending(); }));
    ASSERT_TRUE(waitForRequests("like", 1));
    EXPECT_EQ(param(svc.requestsFor("like")[0], "objectType"), "TOPIC");
    EXPECT_EQ(room->likesNumber(), 1) << "the room's own count moves with it";
}

TEST_F(FeedControlsTest, ADestroyedHandleLeavesTheViewAndIsNotCalledBack) {
    startAndComplete();
    showScreen();
    auto like = host::VelkoraLikeButton::create({20, 20, 64, 28});
    like->addTo(screen);
    like->updateLikeObject("pic-2", host::VelkoraLikeButton::IMAGE, std::nullopt);
    ASSERT_TRUE(waitFor([&] { return like->isReady(); }));
    int calls = 0;
    like->setDelegate([&](const std::string&, bool) { ++calls; });
    auto comment = host::VelkoraCommentButton::create({100, 20, 64, 28});
    comment->addTo(screen);
    // Both replies are held until the controls are gone.
    svc.addFault(Fault{"like", Fault::Kind::Delay, "", 500, 120});
    svc.addFault(Fault{"getChatroomData", Fault::Kind::Delay, "", 500, 120});
    like->clickLike();
    comment->updateImageCommentObject("pic-2", std::nullopt);
    ASSERT_TRUE(waitFor([&] { return count("like") == 1 && count("getChatroomData") == 1; }));
    like.reset();
    comment.reset();
    EXPECT_EQ(controlsInScreen(), 0u);
    svc.releaseDelays();
    ASSERT_TRUE(settle());
    EXPECT_EQ(calls, 0);
    // The like it sent still counts: another control of the thing shows it liked.
    auto again = host::VelkoraLikeButton::create({0, 0, 64, 28});
    again->updateLikeObject("pic-2", host::VelkoraLikeButton::IMAGE, std::nullopt);
    ASSERT_TRUE(waitFor([&] { return again->isReady(); }));
    EXPECT_TRUE(again->isLiked());
    EXPECT_EQ(again->count(), 1);
}

} // namespace
