// What a tap in a feed row does: the kind of each item, profiles and topics by the registry (one's own
// entries and topic -1 open nothing), a follow that the service announces in the feed and that redraws
// every row of that user, the host's actions, the share popup and its e-mail, and one closable player.
#include "FeedFixture.h"
#include "data/VelkoraChatRoomsComment.h"
#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "feed/VelkoraFeedActivityCell.h"
#include "feed/VelkoraFeedLikeActivityCell.h"
#include "feed/VelkoraFeedLikeImageCell.h"
#include "feed/VelkoraFeedLikeTopicCell.h"
#include "feed/VelkoraFeedLikeTopicImageCell.h"
#include "feed/VelkoraFeedTableCell.h"
#include "platform/services/Device.h"
#include "platform/ui/Button.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/WebView.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "data/VelkoraAppData.h"
#include "session/VelkoraKitObjects.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

VelkoraActivityPtr likeOf(int32_t type, std::optional<std::string> commentType = std::nullopt) {
    auto like = std::make_shared<VelkoraLikeObject>();
    like->setType(type);
    if (commentType) {
        auto comment = std::make_shared<VelkoraChatRoomsComment>();
        comment->setContentType(*commentType);
        like->setChatRoomsComment(comment);
    }
    return like;
}

VelkoraActivityPtr postOf(int32_t messageType) {
    auto post = std::make_shared<VelkoraFeedMessage>();
    post->setMessageType(messageType);
    return post;
}

TEST(FeedKinds, EachItemGetsItsKind) {
    const std::pair<VelkoraActivityPtr, int> cases[] = {
        {postOf(1), 1},
        {postOf(2), 1},
        {postOf(3), 1},
        {postOf(0), 2},
        {postOf(4), 2},
        {likeOf(VelkoraLikeObject::POST), 3},
        {likeOf(VelkoraLikeObject::NONE), 4},
        {likeOf(VelkoraLikeObject::IMAGE), 4},
        {likeOf(VelkoraLikeObject::VIDEO), 4},
        {likeOf(VelkoraLikeObject::OTHER), 4},
        {likeOf(99), 4},
        {likeOf(VelkoraLikeObject::TOPIC), 5},
        {likeOf(VelkoraLikeObject::COMMENT, "text/plain"), 6},
        {likeOf(VelkoraLikeObject::COMMENT, "Image"), 6},
        {likeOf(VelkoraLikeObject::COMMENT), 6},
        {likeOf(VelkoraLikeObject::COMMENT, "image"), 7},
    };
    for (const auto& [item, kind] : cases)
        EXPECT_EQ(VelkoraFeedTableController::feedCellTypeForActivity(*item), kind) << item->activityId();
}

class FeedTapsTest : public FeedScreenTest {
protected:
    void SetUp() override {
        FeedScreenTest::SetUp();
        // Screens of other folders stand in as plain screens that say what they were opened with.
        for (const char* name : {"profile", "blogTopic", "fullScreenImage"})
            VelkoraScreenRegistry::instance().registerScreen(name, [this, name](const foundation::Value& arguments) {
                opened.emplace_back(name, arguments);
                return ui::ViewController::create();
            });
    }
    // The shown cell of an item of a kind (scrolled to it).
    template <class Cell> std::shared_ptr<Cell> cellOfKind(const std::shared_ptr<Screen>& screen, int kind) {
        const auto& items = screen->getMessagesAndLikes();
        for (size_t row = 0; row < items.size(); ++row) {
            if (VelkoraFeedTableController::feedCellTypeForActivity(*items[row]) != kind) continue;
            screen->feedTable()->scrollToRowAtIndexPath(ui::IndexPath::of(static_cast<int>(row), 0),
                                                        ui::TableViewScrollPosition::Top, false);
            window_->layoutIfNeeded();
            return std::dynamic_pointer_cast<Cell>(
                screen->feedTable()->cellForRowAtIndexPath(ui::IndexPath::of(static_cast<int>(row), 0)));
        }
        return nullptr;
    }
    static std::string object1Id(const foundation::Value& arguments) {
        const auto& o = arguments["object1"];
        if (auto user = o.asObject<VelkoraUserInternal>()) return user->userId().value_or("");
        return o.toText().value_or("");
    }

    std::vector<std::pair<std::string, foundation::Value>> opened;
};

TEST_F(FeedTapsTest, ProfilesAndTopicsOpenThroughTheRegistryButOnesOwnAndTopicMinusOneDoNot) {
    auto screen = openEveryKind();
    ASSERT_TRUE(screen);
    auto controller = screen->tableController();
    auto activity = cellOfKind<VelkoraFeedActivityCell>(screen, 2);
    ASSERT_TRUE(activity);
    controller->profileTapped(*activity);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, "profile");
    EXPECT_EQ(object1Id(opened[0].second), author);
    EXPECT_EQ(nav_->viewControllers().size(), 2u) << "pushed on the screen's stack";

    // One's own post opens nothing.
    auto mine = std::dynamic_pointer_cast<VelkoraFeedMessage>(postOf(0));
    mine->setSender(VelkoraAgentInternal::instance().velkoraUser());
    activity->updateData(mine);
    controller->profileTapped(*activity);
    EXPECT_EQ(opened.size(), 1u);

    auto topic = cellOfKind<VelkoraFeedLikeTopicCell>(screen, 5);
    ASSERT_TRUE(topic);
    controller->topicTapped(*topic);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1].first, "blogTopic");
    EXPECT_EQ(opened[1].second["object1"].toText(), std::optional<std::string>(std::to_string(topicWithPhoto)));

    auto simple = cellOfKind<VelkoraFeedTableCell>(screen, 1);
    ASSERT_TRUE(simple);
    auto noTopic = std::dynamic_pointer_cast<VelkoraFeedMessage>(postOf(3));
    noTopic->setTopicId(-1);
    noTopic->setSender(simple->theMessage()->sender());
    simple->updateData(noTopic);
    controller->topicTapped(*simple);
    EXPECT_EQ(opened.size(), 2u) << "topic -1 opens nothing";
}

TEST_F(FeedTapsTest, AFollowIsAnnouncedInTheFeedAndRedrawsEveryRowOfThatUser) {
    auto screen = openEveryKind();
    ASSERT_TRUE(screen);
    // Two rows about a user not followed yet.
    const std::string kim = user("Kim", "Berg");
    for (const auto& who : {liker, author}) {
        service::Service::FeedItemFields f;
        f.messageType = 1;
        f.otherUserId = kim;
        svc.addFeedItem(kApp, who, f);
    }
    ASSERT_TRUE(waitAdvancing([&] { return screen->getMessagesAndLikes().size() >= 9; }, 120));
    ASSERT_TRUE(listSettled(screen));
    std::vector<std::shared_ptr<VelkoraFeedTableCell>> aboutKim;
    for (const auto& cell : screen->feedTable()->visibleCells())
        if (auto simple = std::dynamic_pointer_cast<VelkoraFeedTableCell>(cell))
            if (simple->theMessage()->otherUser() && simple->theMessage()->otherUser()->userId() == std::optional(kim))
                aboutKim.push_back(simple);
    ASSERT_EQ(aboutKim.size(), 2u);
    for (const auto& cell : aboutKim)
        EXPECT_FALSE(cell->actionButton()->isHidden());

    svc.clearRequests();
    screen->tableController()->actionTapped(*aboutKim[0]);
    ASSERT_TRUE(waitForRequests("favoriteAdd", 1));
    EXPECT_EQ(param(svc.requestsFor("favoriteAdd")[0], "otherUserId"), kim);
    EXPECT_TRUE(svc.isFollowing(kApp, me_, kim));
    EXPECT_EQ(svc.rowCount("feed", "other_user_id", kim), 3) << "the service tells the follow in the feed";
    loop().advance(0.1);
    for (const auto& cell : aboutKim) {
        EXPECT_TRUE(cell->actionButton()->isHidden()) << "every row of the user redraws";
        EXPECT_FALSE(cell->unfollowinButton()->isHidden());
    }
}

// A "joined" row names no other user: its unfollow is for the one who joined, as its follow is.
TEST_F(FeedTapsTest, UnfollowOnAJoinedRowUnfollowsTheOneWhoJoined) {
    auto screen = openEveryKind();
    ASSERT_TRUE(screen);
    auto simple = cellOfKind<VelkoraFeedTableCell>(screen, 1);
    ASSERT_TRUE(simple);
    // The row's own item becomes a "joined" one (its sender, followed, is the one who joined), so the row
    // stays so when the table binds its cells again.
    auto joined = simple->theMessage();
    ASSERT_TRUE(joined);
    joined->setMessageType(2);
    ASSERT_EQ(joined->sender()->userId(), std::optional(liker));
    joined->sender()->setIsFavorite(true);
    simple->updateData(joined);
    ASSERT_FALSE(simple->unfollowinButton()->isHidden());

    svc.clearRequests();
    simple->unfollowinButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    ASSERT_TRUE(waitForRequests("favoriteRemove", 1));
    EXPECT_EQ(param(svc.requestsFor("favoriteRemove")[0], "otherUserId"), liker);
    EXPECT_FALSE(svc.isFollowing(kApp, me_, liker));
    // The row redraws once the reply is in, which the service's receipt of the request does not promise.
    EXPECT_TRUE(waitFor([&] { return simple->unfollowinButton()->isHidden(); })) << "the row redraws";
    EXPECT_FALSE(simple->actionButton()->isHidden());
    EXPECT_TRUE(simple->actionButton()->isEnabled());
}

// The poster's line of a liked post opens the post's author; the liker's own line opens the liker.
TEST_F(FeedTapsTest, ALikedPostsPosterIsItsAuthor) {
    auto screen = openEveryKind();
    ASSERT_TRUE(screen);
    auto likedPost = cellOfKind<VelkoraFeedLikeActivityCell>(screen, 3);
    ASSERT_TRUE(likedPost);
    auto controller = screen->tableController();
    controller->posterProfileTapped(*likedPost);
    controller->profileTapped(*likedPost);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(object1Id(opened[0].second), author);
    EXPECT_EQ(object1Id(opened[1].second), liker);
}

struct YesHandler : VelkoraActivityActionHandler {
    int asked = 0;
    bool handleActionOfActivity(ui::TableViewCell&, ui::ViewController*) override {
        ++asked;
        return true;
    }
};

TEST_F(FeedTapsTest, TheHostHearsOfActionsTheKitDoesNotHandle) {
    auto screen = openEveryKind();
    ASSERT_TRUE(screen);
    std::vector<std::string> actions;
    foundation::NotificationObserver observer(
        VelkoraFeedTableController::kActionTappedNotification, nullptr,
        [&](const foundation::Notification& n) { actions.push_back(n.userInfo["action"].textOr("<none>")); });
    auto activityCell = cellOfKind<VelkoraFeedActivityCell>(screen, 2);
    ASSERT_TRUE(activityCell);
    screen->tableController()->activityActionTapped(*activityCell);
    EXPECT_EQ(actions, (std::vector<std::string>{"quiz-7"}));

    auto handler = std::make_shared<YesHandler>();
    VelkoraScreenRegistry::instance().registerObject<VelkoraActivityActionHandler>(
        VelkoraKitObjectNames::kActivityActionManager, [handler](const foundation::Value&) { return handler; });
    screen->tableController()->activityActionTapped(*activityCell);
    EXPECT_EQ(handler->asked, 1);
    EXPECT_EQ(actions.size(), 1u) << "a handled action stays in the kit";
}

TEST_F(FeedTapsTest, SharePopupAndEmailWithAndWithoutAnAccount) {
    auto screen = openEveryKind();
    ASSERT_TRUE(screen);
    auto controller = screen->tableController();
    auto image = cellOfKind<VelkoraFeedLikeImageCell>(screen, 4);
    ASSERT_TRUE(image);
    controller->shareTapped(*image);
    EXPECT_FALSE(screen->shareView()->isHidden());
    EXPECT_FALSE(screen->feedTable()->isUserInteractionEnabled());
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("feed_share_popup");
    // The screen behind the popup, bar included, is shaded and takes no tap: the back button is out of reach,
    // the popup's own buttons are not.
    auto root = screen->view();
    const auto backAt = screen->backButton()->convertRectToView(screen->backButton()->bounds(), root.get()).center();
    EXPECT_FALSE(root->hitTest(backAt)->isDescendantOfView(screen->backButton().get()));
    const auto popupAt = screen->shareView()->convertRectToView(screen->shareView()->bounds(), root.get()).center();
    EXPECT_TRUE(root->hitTest(popupAt)->isDescendantOfView(screen->shareView().get()));

    // No mail account: nothing opens.
    controller->emailShareTapped(nullptr);
    EXPECT_FALSE(nav_->presentedViewController());
    EXPECT_FALSE(screen->presentedViewController());

    services::Device::instance().update([](services::DeviceProfile& p) { p.mailAccount = "vera@mail.example"; });
    VelkoraLogEventsManager::instance().takeLoggedEvents();
    controller->emailShareTapped(nullptr);
    loop().advance(1);
    auto composer = std::dynamic_pointer_cast<ui::MailComposeViewController>(
        nav_->presentedViewController() ? nav_->presentedViewController() : screen->presentedViewController());
    ASSERT_TRUE(composer);
    EXPECT_EQ(composer->message().subject, "Look at this");
    EXPECT_EQ(composer->message().body, picture);
    // The person names whom to send it to, and sends.
    composer->setToRecipients({"friend@mail.example"});
    composer->tapAction();
    bool logged = false;
    for (const auto& event : VelkoraLogEventsManager::instance().takeLoggedEvents())
        logged |= event.rfind("feed-shared;email;", 0) == 0;
    EXPECT_TRUE(logged);
    loop().advance(1);
    EXPECT_FALSE(nav_->presentedViewController());

    screen->tableController()->closeTapped(nullptr);
    EXPECT_TRUE(screen->shareView()->isHidden());
    EXPECT_TRUE(screen->feedTable()->isUserInteractionEnabled());
    EXPECT_TRUE(root->hitTest(backAt)->isDescendantOfView(screen->backButton().get()))
        << "the shade went with the popup";
}

TEST_F(FeedTapsTest, OnlyWebVideosPlayInOneClosablePlayer) {
    auto screen = openEveryKind();
    ASSERT_TRUE(screen);
    auto controller = screen->tableController();
    auto image = cellOfKind<VelkoraFeedLikeImageCell>(screen, 4);
    ASSERT_TRUE(image);
    auto video = std::make_shared<VelkoraLikeObject>();
    video->setType(VelkoraLikeObject::VIDEO);
    for (const char* address : {"javascript:alert(1)", "file:///etc/passwd", "ftp://h.example/v.mp4"}) {
        video->setData(std::string(address));
        image->updateData(video);
        controller->playTapped(*image);
        EXPECT_FALSE(controller->playerView()) << address;
    }
    video->setData(svc.baseUrl() + "/pictures/feed/lake.png");
    image->updateData(video);
    controller->playTapped(*image);
    controller->playTapped(*image);
    ASSERT_TRUE(controller->playerView());
    size_t players = 0;
    for (const auto& v : screen->view()->subviews())
        if (v == controller->playerView()) ++players;
    EXPECT_EQ(players, 1u);
    EXPECT_EQ(controller->playerView()->superview(), screen->view().get());
    // Its close button, then the screen going away, each leave no player.
    for (const auto& v : controller->playerView()->subviews())
        if (auto button = std::dynamic_pointer_cast<ui::Button>(v))
            button->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_FALSE(controller->playerView());
    controller->playTapped(*image);
    ASSERT_TRUE(controller->playerView());
    screen->viewWillDisappear(false);
    EXPECT_FALSE(controller->playerView());
    settleScreen();
}

} // namespace

namespace {

TEST_F(FeedTapsTest, AnAnonymousFollowAsksToSignInFirstAndFollowsOnceSignedIn) {
    startNewUser();
    me_ = *VelkoraServerClientAgent::instance().userId();
    loadMyData();
    ASSERT_TRUE(VelkoraAgentInternal::instance().velkoraUser()->isAnonymous());
    seedEveryKind();
    loadRepository(5);
    auto screen = openFeature("feed");
    ASSERT_TRUE(screen && listSettled(screen));
    auto simple = cellOfKind<VelkoraFeedTableCell>(screen, 1);
    ASSERT_TRUE(simple);
    svc.clearRequests();
    auto controller = screen->tableController();
    controller->actionTapped(*simple);
    EXPECT_TRUE(controller->signinHelper());
    settleScreen();
    EXPECT_EQ(count("favoriteAdd"), 0u) << "nothing is sent before signing in";
    controller->didSignin();
    ASSERT_TRUE(waitForRequests("favoriteAdd", 1));
    EXPECT_EQ(param(svc.requestsFor("favoriteAdd")[0], "otherUserId"), author);
}

} // namespace

// A topic the chat rooms know has its new-comments mark cleared before its screen is made, from every kind
// of row that names a topic; one they do not know opens all the same, with no mark touched.
TEST_F(FeedTapsTest, AKnownTopicIsMarkedViewedBeforeItOpens) {
    auto screen = openEveryKind();
    ASSERT_TRUE(screen);
    auto& topics = VelkoraChatRoomsTopicsRepository::instance();
    ASSERT_TRUE(waitFor([&] { return topics.didFinishLoading(); }));
    ASSERT_TRUE(settle());
    const std::string other = user("Otto", "Other");
    svc.addTopicComment(kApp, topicPlain, other, "Still here?");
    svc.addTopicComment(kApp, topicWithPhoto, other, "Lovely light");
    const size_t polls = count("update");
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitForRequests("update", polls + 1));
    ASSERT_TRUE(waitFor([&] {
        return topics.isTopicCommentsFlagOn(int32_t(topicPlain)) &&
               topics.isTopicCommentsFlagOn(int32_t(topicWithPhoto));
    }));

    // What the topic's mark was when its screen was made.
    std::vector<bool> markedWhenOpened;
    VelkoraScreenRegistry::instance().registerScreen("blogTopic", [&](const foundation::Value& arguments) {
        opened.emplace_back("blogTopic", arguments);
        markedWhenOpened.push_back(topics.isTopicCommentsFlagOn(int32_t(arguments["object1"].int32Or(-1))));
        return ui::ViewController::create();
    });
    std::vector<int32_t> viewed;
    foundation::NotificationObserver viewedObserver(
        VelkoraChatRoomsTopicsRepository::kTopicCommentsViewedNotification, &topics,
        [&](const foundation::Notification& n) { viewed.push_back(n.userInfo["topicId"].int32Or(-1)); });

    auto controller = screen->tableController();
    auto comment = cellOfKind<VelkoraFeedLikeTopicCommentCell>(screen, 6);
    ASSERT_TRUE(comment);
    controller->topicTapped(*comment);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].second["object1"].int32Or(-1), int32_t(topicPlain));
    EXPECT_EQ(viewed, std::vector<int32_t>{int32_t(topicPlain)});
    EXPECT_TRUE(topics.isTopicCommentsFlagOn(int32_t(topicWithPhoto))) << "only the tapped topic is marked viewed";

    auto picture = cellOfKind<VelkoraFeedLikeTopicImageCell>(screen, 7);
    ASSERT_TRUE(picture);
    controller->topicTapped(*picture);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1].second["object1"].int32Or(-1), int32_t(topicWithPhoto));
    EXPECT_EQ(viewed, (std::vector<int32_t>{int32_t(topicPlain), int32_t(topicWithPhoto)}));
    EXPECT_EQ(markedWhenOpened, (std::vector<bool>{false, false})) << "marked viewed before the screen is made";
    EXPECT_EQ(topics.numUpdatedTopicThreads(), 0);

    // A comment on an object whose topic the rooms do not hold still opens it, by its id and object id.
    const int32_t unknown = int32_t(topicWithPhoto + topicPlain + 100);
    ASSERT_FALSE(topics.getTopicById(unknown));
    auto object = cellOfKind<VelkoraFeedLikeImageCell>(screen, 4);
    ASSERT_TRUE(object);
    controller->commentTapped(*object, unknown, "lake-7");
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[2].second["object1"].int32Or(-1), unknown);
    EXPECT_EQ(opened[2].second["object2"].toText(), std::optional<std::string>("lake-7"));
    EXPECT_EQ(viewed.size(), 2u) << "no mark for a topic not held";
}
