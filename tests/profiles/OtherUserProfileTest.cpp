// Another user's profile against the service: loading by id (asked once, not at all when known), what it
// shows, its posts, its notification and event, failures, following, and blocking and reporting.
#include "ProfilesFixture.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "data/VelkoraUsersRepository.h"
#include "feed/VelkoraFeedActivityCell.h"
#include "people/VelkoraOtherUserProfileViewController.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

using Profile = VelkoraOtherUserProfileViewController;

class OtherUserProfileTest : public ProfilesTest {
protected:
    std::string seededUser() {
        service::UserFields f;
        f.firstName = "Mira";
        f.lastName = "Okafor";
        f.city = "Lisbon";
        f.customString1 = "Designer by day, quiz hunter by night. Coffee, tiles and the Atlantic.";
        std::string id = svc.createUser(kApp, f);
        for (int i = 0; i < 3; ++i)
            svc.follow(kApp, svc.createUser(kApp, {}), id);
        svc.postFeed(kApp, id, "Hello from Lisbon");
        svc.postFeed(kApp, id, "Tiles everywhere");
        return id;
    }
    std::shared_ptr<Profile> open(const foundation::Value& object1, bool settleFirst = true) {
        auto screen = std::dynamic_pointer_cast<Profile>(VelkoraScreenRegistry::instance().makeScreen(
            "profile", foundation::Value(foundation::Dictionary{{"object1", object1}})));
        EXPECT_TRUE(screen);
        if (!screen) return nullptr;
        show(screen);
        if (settleFirst) {
            settleScreen();
            // The posts' rows are measured on the screen's queue; the table shows them once wired.
            if (screen->serialQueue()) screen->serialQueue()->waitUntilIdle();
            EXPECT_TRUE(waitFor([&] { return screen->tableController() && screen->tableController()->isWired(); }));
            if (screen->serialQueue()) screen->serialQueue()->waitUntilIdle();
            settleScreen();
        }
        EXPECT_TRUE(screen->userNameLabel()) << "the interface file did not load";
        return screen->userNameLabel() ? screen : nullptr;
    }
    int watched_ = 0;
    std::string watchedId_;
    foundation::NotificationObserver watchedObserver_{"kVelkoraOtherUserProfileWatched", nullptr,
                                                      [this](const foundation::Notification& n) {
                                                          ++watched_;
                                                          watchedId_ = n.userInfo["otherUserId"].textOr("");
                                                      }};
};

TEST_F(OtherUserProfileTest, AnIdIsAskedForOnceAndShownWithItsPostsEventAndNotification) {
    startSignedIn();
    const std::string id = seededUser();
    svc.clearRequests();
    VelkoraLogEventsManager::instance().takeLoggedEvents();
    auto screen = open(foundation::Value(id));
    ASSERT_TRUE(screen);
    EXPECT_EQ(count("getOtherUserData"), 1u);
    EXPECT_EQ(screen->userNameLabel()->text(), "Mira O.");
    EXPECT_EQ(screen->userLocationLabel()->text(), "Lisbon");
    EXPECT_FALSE(screen->userAboutLabel()->isHidden());
    EXPECT_GT(screen->aboutLabelHeightConstraint()->constant(), 1.0);
    EXPECT_EQ(screen->numFollowersLabel()->text(), "3");
    EXPECT_EQ(count("getOtherFeed2"), 1u);
    EXPECT_EQ(screen->messagesAndLikes().size(), 2u);
    EXPECT_EQ(screen->numPostsLabel()->text(), "2");
    // The posts are the feed's rows, served and measured by the feed's table controller.
    EXPECT_EQ(screen->postsTable()->dataSource(), screen->tableController());
    EXPECT_TRUE(std::dynamic_pointer_cast<VelkoraFeedActivityCell>(
        screen->postsTable()->cellForRowAtIndexPath(ui::IndexPath::of(0, 0))));
    EXPECT_EQ(screen->tableController()->heights()->size(), 2u);
    EXPECT_FALSE(screen->activityIndicator()->isAnimating()) << "the spinner ends with the posts";
    EXPECT_EQ(watched_, 1);
    EXPECT_EQ(watchedId_, id);
    // The bar over the posts is their heading, not an empty band.
    ASSERT_TRUE(screen->midBarTitleLabel());
    EXPECT_EQ(screen->midBarTitleLabel()->text(), "Posts");
    EXPECT_FALSE(screen->midBarTitleLabel()->isHidden());
    // The event waits in the log or has left with a poll.
    std::string events = VelkoraLogEventsManager::instance().loggedEventsAsString();
    for (const auto& r : svc.requestsFor("update"))
        events += param(r, "logs");
    size_t seen = 0;
    for (size_t at = events.find("profile-other"); at != std::string::npos; at = events.find("profile-other", at + 1))
        ++seen;
    EXPECT_EQ(seen, 1u) << events;
    expectLooksLike("other_profile");

    // Known now: a second screen for the id asks nothing.
    svc.clearRequests();
    auto again = open(foundation::Value(id));
    ASSERT_TRUE(again);
    EXPECT_EQ(count("getOtherUserData"), 0u);
    EXPECT_EQ(again->userNameLabel()->text(), "Mira O.");
}

TEST_F(OtherUserProfileTest, AnUnknownIdOrALostReplyShowsTheNoticeWithTheContentHidden) {
    startSignedIn();
    for (bool drop : {false, true}) {
        SCOPED_TRACE(drop);
        svc.clearFaults();
        if (drop) svc.addFault({"getOtherUserData", service::Fault::Kind::Drop, "", 500, 0, -1});
        auto screen = open(foundation::Value(drop ? seededUser() : std::string("nobody-here")), false);
        ASSERT_TRUE(screen);
        ASSERT_TRUE(waitAdvancing([&] { return !screen->activityIndicator()->isAnimating(); }));
        EXPECT_EQ(toastShowing(),
                  "There is no network connection. What you asked for will be sent once the network is back.");
        EXPECT_TRUE(screen->velkoraContentView()->isHidden());
        loop().advance(3);
    }
}

TEST_F(OtherUserProfileTest, FollowFromTheProfileAgreesEverywhereAndADoubleTapSendsOne) {
    startSignedIn();
    const std::string id = seededUser();
    auto screen = open(foundation::Value(id));
    ASSERT_TRUE(screen);
    svc.clearRequests();
    screen->followTapped(nullptr);
    screen->followTapped(nullptr);
    EXPECT_FALSE(screen->followButton()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return screen->velkoraUser()->isFavorite(); }));
    settleScreen();
    EXPECT_EQ(count("favoriteAdd"), 1u);
    EXPECT_TRUE(svc.isFollowing(kApp, me_, id));
    EXPECT_EQ(screen->numFollowersLabel()->text(), "4");
    EXPECT_TRUE(screen->followButton()->isHidden());
    EXPECT_FALSE(screen->unfollowButton()->isHidden());
    EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->numFollowing(), 1);
    EXPECT_EQ(VelkoraUsersRepository::instance().userWithId(id), screen->velkoraUser());

    // A refused unfollow brings the true button back, counts as they were.
    svc.addFault({"favoriteRemove", service::Fault::Kind::ErrorCode, "INTERNAL_ERROR"});
    screen->unfollowTapped(nullptr);
    EXPECT_FALSE(screen->unfollowButton()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return screen->unfollowButton()->isEnabled(); }));
    EXPECT_FALSE(screen->unfollowButton()->isHidden());
    EXPECT_EQ(screen->numFollowersLabel()->text(), "4");
    EXPECT_TRUE(svc.isFollowing(kApp, me_, id));
}

TEST_F(OtherUserProfileTest, BlockAndReportAskByStateAndFlipOnEachConfirmation) {
    startSignedIn();
    const std::string id = seededUser();
    auto screen = open(foundation::Value(id));
    ASSERT_TRUE(screen);
    auto sheetTitles = [&] {
        screen->badUserTapped(nullptr);
        auto sheet = screen->badUserSheet();
        std::vector<std::string> titles;
        for (int i = 0; sheet && i < sheet->numberOfButtons(); ++i)
            titles.push_back(sheet->buttonTitleAtIndex(i));
        if (sheet) sheet->tapButtonAtIndex(sheet->cancelButtonIndex());
        return titles;
    };
    EXPECT_EQ(sheetTitles(), (std::vector<std::string>{"Block User", "Report User", "Cancel"}));
    EXPECT_FALSE(screen->badUserPopup()) << "cancel shows nothing";

    auto choose = [&](int index) {
        screen->badUserTapped(nullptr);
        auto sheet = screen->badUserSheet();
        ASSERT_TRUE(sheet);
        sheet->tapButtonAtIndex(index);
    };
    svc.clearRequests();
    choose(0);
    ASSERT_TRUE(screen->badUserPopup());
    EXPECT_NE(screen->badUserPopup()->messageLable()->text().find("Mira O."), std::string::npos);
    screen->popupOkTapped();
    EXPECT_TRUE(screen->velkoraUser()->isBlockedByCurrentUser());
    EXPECT_EQ(toastShowing(), "User blocked");
    ASSERT_TRUE(waitFor([&] { return svc.relation(kApp, me_, id, "b") == std::optional<bool>(true); }));
    loop().advance(2.1);
    EXPECT_EQ(toastShowing(), "") << "the notice goes after two seconds";
    EXPECT_EQ(sheetTitles(), (std::vector<std::string>{"Unblock User", "Report User", "Cancel"}));

    choose(1);
    screen->popupOkTapped();
    EXPECT_TRUE(screen->velkoraUser()->isReportedByCurrentUser());
    ASSERT_TRUE(waitFor([&] { return svc.relation(kApp, me_, id, "r") == std::optional<bool>(true); }));

    // A second block from the same screen unblocks.
    choose(0);
    screen->popupOkTapped();
    EXPECT_FALSE(screen->velkoraUser()->isBlockedByCurrentUser());
    ASSERT_TRUE(waitFor([&] { return svc.relation(kApp, me_, id, "b") == std::optional<bool>(false); }));
    settleScreen();
    EXPECT_GE(count("setUserRelation"), 3u);
}

TEST_F(OtherUserProfileTest, PictureOnATablet) {
    becomeTablet();
    startSignedIn();
    auto screen = open(foundation::Value(seededUser()));
    ASSERT_TRUE(screen);
    expectLooksLike("other_profile_tablet");
}

TEST(OtherUserProfilePosts, AnonymousItemsAreDroppedAndTheRestComeNewestFirst) {
    auto user = [](const std::string& name) {
        auto u = std::make_shared<VelkoraUserInternal>();
        u->setFirstName(name);
        return u;
    };
    auto post = [&](const char* text, double time, VelkoraUserPtr sender, VelkoraUserPtr other = nullptr) {
        auto m = std::make_shared<VelkoraFeedMessage>();
        m->setMessage(std::string(text));
        m->setTime(time);
        m->setSender(std::move(sender));
        m->setOtherUser(std::move(other));
        return foundation::Value::object(m);
    };
    auto like = [&](double time, VelkoraUserPtr liker) {
        auto l = std::make_shared<VelkoraLikeObject>();
        l->setTime(time);
        l->setUsers({std::move(liker)});
        return foundation::Value::object(l);
    };
    auto ana = user("Ana"), nobody = user("  ");
    foundation::Array messages{post("old", 100, ana), post("by nobody", 300, nobody),
                               post("about nobody", 300, ana, nobody), post("new", 400, ana),
                               post("about Ana", 200, ana, ana)};
    foundation::Array likes{like(350, ana), like(360, nobody)};
    auto items = Profile::getSortedActivities(foundation::Value(messages), foundation::Value(likes));
    std::vector<double> times;
    for (const auto& i : items)
        times.push_back(i->getActivityTime().value_or(-1));
    EXPECT_EQ(times, (std::vector<double>{400, 350, 200, 100}));
}

} // namespace
