// The feed screen against velkora-service: every kind of row newest first without anonymous users, the
// event and marks of an appearance, one rebuild per event however often it appeared, only new rows
// measured, one user's posts and their failures, the headers, and pictures of each.
#include <algorithm>
#include <future>

#include "FeedFixture.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraChatRoomsComment.h"
#include "data/VelkoraUserInfo.h"
#include "feed/VelkoraFeedTableCell.h"
#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/Paths.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/Snapshot.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"
#include "shell/VelkoraResizedImagesCache.h"
#include "velkora/VelkoraFeatures.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class FeedTest : public FeedScreenTest {
protected:
    std::vector<int> kinds(const std::shared_ptr<Screen>& screen) {
        std::vector<int> out;
        for (const auto& item : screen->getMessagesAndLikes())
            out.push_back(VelkoraFeedTableController::feedCellTypeForActivity(*item));
        return out;
    }
};

TEST_F(FeedTest, EveryKindNewestFirstWithoutTheAnonymousUser) {
    auto screen = openEveryKind();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->useFeedRepository());
    // The like of the post came last (now); then the likes a few minutes old; the posts are older still.
    EXPECT_EQ(kinds(screen), (std::vector<int>{3, 7, 6, 5, 4, 2, 1}));
    for (const auto& item : screen->getMessagesAndLikes()) {
        ASSERT_TRUE(item->getPoster());
        EXPECT_NE(item->getPoster()->userId(), std::optional<std::string>(anonymous));
        if (auto post = std::dynamic_pointer_cast<VelkoraFeedMessage>(item); post && post->otherUser()) {
            EXPECT_NE(post->otherUser()->userId(), std::optional<std::string>(anonymous));
        }
    }
    EXPECT_EQ(screen->feedTable()->numberOfRowsInSection(0), 7);
    EXPECT_FALSE(screen->activityIndicatorView()->isAnimating());
    EXPECT_EQ(VelkoraFeedMessagesRepository::instance().numNewFeedMessages(), 0) << "the marks are saved";
    // The event leaves with the next poll.
    ASSERT_TRUE(waitAdvancing(
        [&] {
            for (const auto& r : svc.requestsFor("update"))
                if (param(r, "logs").find("feature-viewed%3Bfeed") != std::string::npos ||
                    param(r, "logs").find("feature-viewed;feed") != std::string::npos)
                    return true;
            return false;
        },
        60));
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("feed_every_kind");
}

// The host opens feature 0 on its own stack: the feed, with the same rows as by name.
TEST_F(FeedTest, FeatureZeroOpenedByTheHostIsTheFeed) {
    configure(false);
    startSignedIn();
    seedEveryKind();
    loadRepository(5);
    show(ui::ViewController::create());
    VelkoraAgentInternal::instance().openFeature(kVelkoraFeatureActivity, nav_, false);
    loop().advance(1);
    auto screen = std::dynamic_pointer_cast<Screen>(nav_->topViewController());
    ASSERT_TRUE(screen);
    screen_ = screen;
    EXPECT_EQ(nav_->viewControllers().size(), 2u) << "pushed on the host's stack";
    ASSERT_TRUE(listSettled(screen));
    EXPECT_TRUE(screen->useFeedRepository());
    EXPECT_EQ(kinds(screen), (std::vector<int>{3, 7, 6, 5, 4, 2, 1}));
    EXPECT_EQ(ids(screen->getMessagesAndLikes()), ids(rebuiltFromRepository()));

    // Shown, the feed is viewed up to its newest item and like, and the marks are on the disk.
    const auto& repository = VelkoraFeedMessagesRepository::instance();
    ASSERT_GT(repository.getMaxFeedMessageNumber(), 0);
    ASSERT_GT(repository.getMaxLikeObjectChangeNumber(), 0);
    EXPECT_EQ(repository.numNewFeedMessages(), 0);
    VelkoraUserInfo::registerForArchiving();
    auto saved = std::dynamic_pointer_cast<VelkoraUserInfo>(foundation::KeyedUnarchiver::unarchiveObjectWithFile(
        foundation::Paths::documents() + "/" + VelkoraAgentInternal::kUserInfoFile));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->lastViewedFeedMessageNumber(), repository.getMaxFeedMessageNumber());
    EXPECT_EQ(saved->lastViewedLikeNumber(), repository.getMaxLikeObjectChangeNumber());
}

TEST_F(FeedTest, AppearingThreeTimesStillRebuildsOncePerEvent) {
    auto screen = openEveryKind();
    ASSERT_TRUE(screen);
    screen->viewWillAppear(false);
    screen->viewWillAppear(false);
    ASSERT_TRUE(listSettled(screen));
    const size_t before = screen->rebuildCount();
    foundation::NotificationCenter::defaultCenter().post(VelkoraFeedMessagesRepository::kNewFeedMessagesNotification,
                                                         &VelkoraFeedMessagesRepository::instance());
    ASSERT_TRUE(listSettled(screen));
    EXPECT_EQ(screen->rebuildCount(), before + 1);
}

TEST_F(FeedTest, OnlyNewAndRefreshedRowsAreMeasured) {
    auto screen = openEveryKind();
    ASSERT_TRUE(screen);
    auto heights = screen->tableController()->heights();
    // The rows in view at first, where the estimates put them, each once.
    EXPECT_GE(heights->measuredCount(), screen->feedTable()->indexPathsForVisibleRows().size());
    EXPECT_LT(heights->measuredCount(), screen->getMessagesAndLikes().size())
        << "rows out of view wait until they show";
    expectHeightsOfShownRowsOnly(screen);
    // Polls that bring nothing measure nothing.
    size_t measured = heights->measuredCount();
    const size_t polls = count("update");
    ASSERT_TRUE(waitAdvancing([&] { return count("update") >= polls + 2; }, 120));
    ASSERT_TRUE(settle());
    ASSERT_TRUE(listSettled(screen));
    EXPECT_EQ(heights->measuredCount(), measured);

    // Twenty new posts and three likes refreshed by new likers.
    for (int i = 0; i < 20; ++i)
        svc.postFeed(kApp, author, "post number " + std::to_string(i));
    const std::string third = user("Kim", "Berg");
    svc.follow(kApp, me_, third);
    svc.likeObject(kApp, third, "IMAGE", picture, "the lake again");
    svc.likeTopic(kApp, third, topicWithPhoto);
    svc.likeFeed(kApp, third, activity);
    measured = heights->measuredCount();
    const auto keysBefore = keysInView(screen);
    ASSERT_TRUE(waitAdvancing([&] { return screen->getMessagesAndLikes().size() >= 27; }, 120));
    ASSERT_TRUE(waitAdvancing(
        [&] {
            for (const auto& item : screen->getMessagesAndLikes())
                if (auto like = std::dynamic_pointer_cast<VelkoraLikeObject>(item);
                    like && like->type() == VelkoraLikeObject::TOPIC)
                    return like->numLikes() >= 2;
            return false;
        },
        60));
    ASSERT_TRUE(listSettled(screen));
    // The new and refreshed rows that came into view, each once; what stayed in view is not measured again.
    size_t newInView = 0;
    for (const auto& key : keysInView(screen))
        newInView += keysBefore.count(key) ? 0 : 1;
    EXPECT_GT(newInView, 0u);
    EXPECT_EQ(heights->measuredCount() - measured, newInView);
    expectHeightsOfShownRowsOnly(screen);
    // Merged into the rows shown, the polls list what a rebuild from the repository lists, and the table
    // shows just that.
    EXPECT_EQ(ids(screen->getMessagesAndLikes()), ids(rebuiltFromRepository()));
    EXPECT_EQ(screen->feedTable()->numberOfRowsInSection(0), static_cast<int>(screen->getMessagesAndLikes().size()));
}

TEST_F(FeedTest, OwnAndAnotherUsersPostsAndTheirFailures) {
    configure(false);
    startSignedIn();
    seedEveryKind();
    svc.clearRequests();
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    auto mine =
        openFeature("userPosts", foundation::Value(foundation::Dictionary{{"object1", foundation::Value::object(me)}}));
    ASSERT_TRUE(mine);
    EXPECT_EQ(mine->titleText(), "My Posts");
    EXPECT_FALSE(mine->useFeedRepository());
    settleScreen();

    auto theirs =
        openFeature("userPosts", foundation::Value(foundation::Dictionary{{"object1", foundation::Value(author)}}));
    ASSERT_TRUE(theirs);
    settleScreen();
    ASSERT_TRUE(listSettled(theirs));
    EXPECT_EQ(theirs->titleText(), "Amelie R.'s Posts");
    ASSERT_GE(count("getOtherFeed2"), 2u);
    EXPECT_EQ(param(svc.requestsFor("getOtherFeed2").back(), "otherUserId"), author);
    // The follow of the anonymous user is not listed; the activity and the follow it received are.
    for (const auto& item : theirs->getMessagesAndLikes())
        if (auto post = std::dynamic_pointer_cast<VelkoraFeedMessage>(item); post && post->otherUser()) {
            EXPECT_NE(post->otherUser()->userId(), std::optional<std::string>(anonymous));
        }
    EXPECT_FALSE(theirs->getMessagesAndLikes().empty());
    EXPECT_FALSE(theirs->activityIndicatorView()->isAnimating());
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("feed_user_posts");

    // An error reply and a dropped connection both end the spinner with the notice.
    for (auto kind : {service::Fault::Kind::ErrorCode, service::Fault::Kind::Drop}) {
        service::Fault fault;
        fault.command = "getOtherFeed2";
        fault.kind = kind;
        fault.value = "INTERNAL_ERROR";
        fault.times = -1;
        svc.addFault(fault);
        auto failing =
            openFeature("userPosts", foundation::Value(foundation::Dictionary{{"object1", foundation::Value(liker)}}));
        ASSERT_TRUE(failing);
        EXPECT_TRUE(failing->activityIndicatorView()->isAnimating());
        ASSERT_TRUE(waitAdvancing([&] { return !failing->activityIndicatorView()->isAnimating(); }, 120));
        EXPECT_EQ(toastShowing(), foundation::Bundle::main().localizedString("velkora_text_no_network_message"));
        svc.clearFaults();
        loop().advance(5);
    }
}

TEST_F(FeedTest, AnonymousHeadersByEmailSignUpAndTheirClose) {
    for (bool email : {false, true}) {
        SCOPED_TRACE(email ? "e-mail sign-up" : "social networks");
        configure(email);
        if (!VelkoraServerClientAgent::instance().userId()) startNewUser();
        svc.clearRequests();
        auto screen = openFeature("feed");
        ASSERT_TRUE(screen);
        ASSERT_TRUE(listSettled(screen));
        auto shown = email ? screen->signUpAnonymousView() : screen->anonymousView();
        auto other = email ? screen->anonymousView() : screen->signUpAnonymousView();
        EXPECT_EQ(screen->feedTable()->tableHeaderView(), shown);
        EXPECT_FALSE(shown->isHidden());
        EXPECT_TRUE(other->isHidden());
        EXPECT_EQ((email ? screen->signUpWelcomeLabel() : screen->anonymousWelcomeLabel())->text(),
                  "Welcome to Harbour");
        settleScreen();
        ASSERT_TRUE(picturesLoaded());
        expectLooksLike(email ? "feed_anonymous_email" : "feed_anonymous_social");
        if (!email) {
            // Both buttons say "Connect": each shows the mark of the network it signs in with.
            for (const auto& button : {screen->facebookConnectButton(), screen->twitterConnectButton()})
                EXPECT_TRUE(button->imageForState(ui::ControlStateNormal));
        }

        (email ? screen->signUpCloseButton() : screen->closeButton())
            ->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
        EXPECT_TRUE(shown->isHidden());
        EXPECT_EQ(screen->feedTable()->tableHeaderView()->frame().height(), 0);
        screen->viewWillAppear(false);
        EXPECT_EQ(screen->feedTable()->tableHeaderView()->frame().height(), 0) << "closed for the screen's life";
        settleScreen();
        EXPECT_EQ(count("getSuggestions"), 0u) << "suggestions are for signed-in users";
    }
}

// The invitation and the suggestions share the table's one header: once the user has signed up, the next
// appearance asks for suggestions, and the strip takes the invitation's place.
TEST_F(FeedTest, AfterSigningUpTheSuggestionsTakeTheInvitationsPlace) {
    configure(true);
    startNewUser();
    me_ = *VelkoraServerClientAgent::instance().userId();
    loadMyData();
    const std::string ana = user("Ana", "Souza"), tom = user("Tomas", "Berg");
    svc.pinSuggestions(kApp, me_, {ana, tom});
    svc.clearRequests();
    auto screen = openFeature("feed");
    ASSERT_TRUE(screen);
    ASSERT_TRUE(listSettled(screen));
    settleScreen();
    EXPECT_EQ(screen->feedTable()->tableHeaderView(), screen->signUpAnonymousView());
    EXPECT_EQ(count("getSuggestions"), 0u);

    auto me = VelkoraAgentInternal::instance().velkoraUser();
    me->setFirstName(std::string("Vera"));
    me->setLastName(std::string("Viewer"));
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::setUserData(me, Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
    ASSERT_TRUE(settle());

    screen->viewWillAppear(false);
    ASSERT_TRUE(waitForRequests("getSuggestions", 1));
    settleScreen();
    auto header = screen->suggestedPeopleView();
    EXPECT_EQ(screen->feedTable()->tableHeaderView(), header);
    EXPECT_FALSE(header->isHidden());
    EXPECT_TRUE(screen->signUpAnonymousView()->isHidden());
    EXPECT_TRUE(screen->anonymousView()->isHidden());
    EXPECT_EQ(header->followAllButton()->titleForState(ui::ControlStateNormal).value_or(""), "Follow all 2");

    // Follow all: both requests are on their way before the loop runs any reply.
    svc.clearRequests();
    const size_t inFlight = foundation::UrlConnection::activeCount();
    header->followAllButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_EQ(foundation::UrlConnection::activeCount(), inFlight + 2);
    ASSERT_TRUE(waitForRequests("favoriteAdd", 2));
    EXPECT_TRUE(svc.isFollowing(kApp, me_, ana));
    EXPECT_TRUE(svc.isFollowing(kApp, me_, tom));
}

TEST_F(FeedTest, SuggestionsNameOneCountSeveralAndLeaveFollowedOnesOut) {
    configure(false);
    startSignedIn();
    const std::string ana = user("Ana", "Souza"), tom = user("Tomas", "Berg"), ravi = user("Ravi", "Shah");
    svc.pinSuggestions(kApp, me_, {ana});
    auto screen = openFeature("feed");
    ASSERT_TRUE(screen);
    settleScreen();
    auto header = screen->suggestedPeopleView();
    EXPECT_EQ(screen->feedTable()->tableHeaderView(), header);
    EXPECT_EQ(header->followAllButton()->titleForState(ui::ControlStateNormal).value_or(""), "Follow Ana S.");
    EXPECT_EQ(header->peopleScrollView()->numPersons(), 1);

    svc.pinSuggestions(kApp, me_, {ana, tom, ravi});
    screen->viewWillAppear(false);
    settleScreen();
    EXPECT_EQ(header->followAllButton()->titleForState(ui::ControlStateNormal).value_or(""), "Follow all 3");
    EXPECT_EQ(header->peopleScrollView()->numPersons(), 3);
    // Each face says whose it is.
    std::vector<std::string> names;
    for (const auto& v : header->peopleScrollView()->subviews())
        if (auto tile = std::dynamic_pointer_cast<VelkoraSuggestedPersonView>(v))
            names.push_back(tile->nameLabel() ? tile->nameLabel()->text() : "(no label)");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Ana", "Ravi", "Tomas"}));
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("feed_suggestions");

    // Follow all: one request per user, sent before any reply, and the strip empties at once.
    svc.clearRequests();
    header->followAllButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_TRUE(screen->suggestedUsersToFollow().empty());
    EXPECT_EQ(header->peopleScrollView()->numPersons(), 0);
    EXPECT_EQ(screen->feedTable()->tableHeaderView()->frame().height(), 0);
    ASSERT_TRUE(waitForRequests("favoriteAdd", 3));
    EXPECT_EQ(count("favoriteAdd"), 3u);
    for (const auto& id : {ana, tom, ravi})
        EXPECT_TRUE(svc.isFollowing(kApp, me_, id));

    // The same list pinned now names only users followed: no header, one warning each.
    screen->viewWillAppear(false);
    settleScreen();
    EXPECT_EQ(screen->feedTable()->tableHeaderView()->frame().height(), 0);
    EXPECT_TRUE(header->isHidden());
    EXPECT_EQ(capture_->count("Velkora - Warning - user is suggested but I am already following = "), 3u);
}

TEST_F(FeedTest, TheStripCentresWhatFitsAndStartsWhatDoesNotWithItsFirstPersonWhole) {
    configure(false);
    startSignedIn();
    auto screen = openFeature("feed");
    ASSERT_TRUE(screen);
    auto strip = std::make_shared<VelkoraSuggestPeopleScrollView>();
    strip->setFrame({0, 0, 320, 64});
    auto someone = VelkoraAgentInternal::instance().velkoraUser();
    // Tiles of 64 in a strip of 320; the strip was scrolled before it was filled again, as a feed's strip is.
    const struct {
        int tiles;
        double firstX, offset;
    } cases[] = {{3, 64, 0}, {5, 0, 0}, {6, 0, 0}, {12, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.tiles) + " tiles");
        strip->setContentOffset({100, 0});
        strip->clearAllPersons();
        for (int i = 0; i < c.tiles; ++i)
            strip->addPerson(someone, {});
        strip->doneAddingPersons();
        loop().advance(1);
        EXPECT_EQ(strip->contentSize().width, 64.0 * c.tiles);
        const ui::Rect first = strip->subviews().front()->frame();
        EXPECT_EQ(first.x(), c.firstX);
        EXPECT_EQ(strip->contentOffset().x, c.offset);
        EXPECT_GE(first.minX(), strip->contentOffset().x) << "the first person shows whole";
    }
}

TEST_F(FeedTest, PictureOfTheTabletFeed) {
    becomeTablet();
    auto screen = openEveryKind();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("feed_tablet");
}

} // namespace

namespace {

TEST_F(FeedTest, AWarmUpStoppedBeforeItMeasuredStillShowsTheWholeTable) {
    configure(false);
    startSignedIn();
    seedEveryKind();
    loadRepository(5);
    // The screen goes before its queue measured anything: the rows are measured as the table asks.
    std::promise<void> gate;
    VelkoraFeedTableController::setWarmUpHookForTests([open = gate.get_future().share()] { open.wait(); });
    auto screen = openFeature("feed");
    ASSERT_TRUE(screen);
    screen->viewWillDisappear(false);
    gate.set_value();
    ASSERT_TRUE(listSettled(screen));
    VelkoraFeedTableController::setWarmUpHookForTests({});
    EXPECT_EQ(screen->getMessagesAndLikes().size(), 7u);
    EXPECT_EQ(screen->feedTable()->numberOfRowsInSection(0), 7);
    EXPECT_FALSE(screen->feedTable()->visibleCells().empty());
    EXPECT_GT(screen->tableController()->heights()->size(), 0u) << "the shown rows were measured when asked";
}

} // namespace

// The system's memory warning empties the shared resized pictures (the suggestion strip's and the
// profiles' photos, fetched again when next shown); the list itself is kept, and a screen already gone
// hears nothing of it.
TEST_F(FeedTest, AMemoryWarningLetsGoOfResizedPicturesAndKeepsTheRows) {
    auto screen = openEveryKind();
    ASSERT_TRUE(screen);
    auto& resized = VelkoraResizedImagesCache::instance();
    resized.insertImage(ui::Image::create(96, 96), svc.baseUrl() + "/pictures/users/lund.png", {40, 40});
    resized.insertImage(ui::Image::create(64, 64), svc.baseUrl() + "/pictures/users/roux.png", {40, 40});
    ASSERT_EQ(resized.count(), 2u);
    const auto before = ids(screen->getMessagesAndLikes());
    const size_t rebuilds = screen->rebuildCount();

    ui::Application::instance().didReceiveMemoryWarning();
    EXPECT_EQ(resized.count(), 0u);
    EXPECT_EQ(resized.totalBytes(), 0u);
    ASSERT_TRUE(listSettled(screen));
    EXPECT_EQ(ids(screen->getMessagesAndLikes()), before);
    EXPECT_EQ(screen->rebuildCount(), rebuilds) << "the list is not built again";
    EXPECT_EQ(screen->feedTable()->numberOfRowsInSection(0), static_cast<int>(before.size()));

    // Gone: the warning reaches no screen.
    window_->setHidden(true);
    window_.reset();
    nav_.reset();
    screen->serialQueue()->waitUntilIdle();
    std::weak_ptr<Screen> gone = screen;
    screen.reset();
    screen_.reset();
    ASSERT_TRUE(waitFor([&] { return gone.expired(); })) << "a reply still owed to the screen lets it go";
    resized.insertImage(ui::Image::create(64, 64), "https://example.org/kept.png", {40, 40});
    ui::Application::instance().didReceiveMemoryWarning();
    EXPECT_EQ(resized.count(), 1u) << "only a screen that is shown lets go of them";
}

namespace {

// The live screen's frames while the feed scrolls (the pixels that stay in view moved, only what came into
// view drawn) show what a fresh drawing of the whole screen shows: the rows that came into view, their
// pictures, and the bars above and below the list.
TEST_F(FeedTest, ScrolledFramesShowWhatAFreshDrawingOfTheScreenShows) {
    auto screen = openEveryKind();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(picturesLoaded());
    auto table = screen->feedTable();
    ASSERT_GT(table->maxContentOffset().y, 120) << "the feed must be longer than the screen";
    ui::ScreenRenderer renderer(2);
    renderer.drawFrame();
    for (double step : {40.0, 40.0, 120.0, -80.0, 13.5, 1000.0, -30.0, -2000.0}) {
        SCOPED_TRACE(step);
        const double before = table->contentOffset().y;
        table->setContentOffset(table->clampedOffset({0, before + step}), false);
        ASSERT_NE(table->contentOffset().y, before);
        EXPECT_FALSE(renderer.drawFrame().isEmpty());
        auto fresh = ui::Snapshot::imageOfScreen(2);
        auto shown = renderer.image();
        ASSERT_TRUE(fresh && shown);
        EXPECT_EQ(shareOfPixelsDiffering(*shown, *fresh, 2), 0.0);
    }
}

} // namespace
