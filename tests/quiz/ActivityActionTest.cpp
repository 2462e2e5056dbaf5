// The feed's kit actions against velkora-service: posts whose action id begins with "velkora-" stay in the
// kit (a quiz id opens the quiz home), every other id goes to the host as a notification.
#include "feed/FeedFixture.h"
#include "feed/VelkoraFeedActivityCell.h"
#include "feed/VelkoraFeedLikeActivityCell.h"
#include "feed/VelkoraFeedTableController.h"
#include "platform/ui/NavigationController.h"
#include "quiz/VelkoraActivityActionManager.h"
#include "quiz/VelkoraQuizProfileViewController.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class ActivityActionTest : public FeedScreenTest {
protected:
    // The quiz home stands in for the screen another folder builds; it records what it was handed.
    void registerQuizHome() {
        VelkoraScreenRegistry::instance().registerScreen(
            "quizHome", [this](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
                quizHomeArguments.push_back(arguments);
                return std::make_shared<VelkoraGeneralFeatureViewController>();
            });
    }

    // Posts of a followed user, each with a "Play" button and one of the action ids; the first one liked.
    std::shared_ptr<Screen> openPosts(const std::vector<std::string>& actionIds) {
        configure(false);
        startSignedIn();
        author = user("Amelie", "Roux");
        liker = user("Zoe", "Lund");
        svc.follow(kApp, me_, author);
        svc.follow(kApp, me_, liker);
        double ago = 900;
        for (const auto& id : actionIds) {
            service::Service::FeedItemFields f;
            f.message = "played a round of Capitals";
            f.actionVerb = "Play";
            f.actionId = id;
            f.descText = "Capitals of Europe";
            f.secondsAgo = ago;
            ago -= 30;
            const int64_t post = svc.addFeedItem(kApp, author, f);
            if (id == actionIds.front()) svc.likeFeed(kApp, liker, post);
        }
        loadRepository(1);
        auto screen = openFeature("feed");
        EXPECT_TRUE(screen && listSettled(screen));
        return screen;
    }

    // The shown cell of a kind whose post carries the action id.
    template <class Cell>
    std::shared_ptr<Cell> cellWithAction(const std::shared_ptr<Screen>& screen, int kind, const std::string& id) {
        const auto& items = screen->getMessagesAndLikes();
        for (size_t row = 0; row < items.size(); ++row) {
            if (VelkoraFeedTableController::feedCellTypeForActivity(*items[row]) != kind) continue;
            screen->feedTable()->scrollToRowAtIndexPath(ui::IndexPath::of(static_cast<int>(row), 0),
                                                        ui::TableViewScrollPosition::Top, false);
            window_->layoutIfNeeded();
            auto cell = std::dynamic_pointer_cast<Cell>(
                screen->feedTable()->cellForRowAtIndexPath(ui::IndexPath::of(static_cast<int>(row), 0)));
            if (cell && cell->theFeedMessage() && cell->theFeedMessage()->actionId().value_or("") == id) return cell;
        }
        return nullptr;
    }

    std::shared_ptr<ui::ViewController> topScreen() const { return nav_ ? nav_->topViewController() : nullptr; }

    std::vector<foundation::Value> quizHomeArguments;
};

TEST_F(ActivityActionTest, KitActionsStayInTheKitAndEveryOtherIdGoesToTheHost) {
    registerQuizHome();
    auto screen = openPosts({"velkora-quiz-7", "velkora-quiz", "velkora-other", "Velkora-quiz-7", "velk", ""});
    ASSERT_TRUE(screen);
    std::vector<std::string> hostHeard;
    foundation::NotificationObserver observer(
        VelkoraFeedTableController::kActionTappedNotification, nullptr,
        [&](const foundation::Notification& n) { hostHeard.push_back(n.userInfo["action"].textOr("<none>")); });
    const struct {
        const char* id;
        bool kits;
        int opensQuiz; // -1: no quiz home
        const char* logLine;
    } cases[] = {
        {"velkora-quiz-7", true, 7, nullptr},
        {"velkora-quiz", true, -1, "Velkora - Can't perform Quiz Activity Action with no quiz id (quiz)"},
        {"velkora-other", true, -1, nullptr},
        {"Velkora-quiz-7", false, -1, nullptr},
        {"velk", false, -1, nullptr},
        {"", false, -1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        hostHeard.clear();
        quizHomeArguments.clear();
        capture_->clear();
        auto cell = cellWithAction<VelkoraFeedActivityCell>(screen, 2, c.id);
        ASSERT_TRUE(cell);
        ASSERT_TRUE(cell->actionButton());
        EXPECT_FALSE(cell->actionButton()->isHidden());
        cell->actionButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
        loop().advance(0.5);
        // A post without an id tells the host of an action without one.
        EXPECT_EQ(hostHeard, c.kits ? std::vector<std::string>{} : std::vector<std::string>{*c.id ? c.id : "<none>"});
        if (c.logLine) {
            EXPECT_TRUE(logged(c.logLine));
        }
        if (c.opensQuiz < 0) {
            EXPECT_TRUE(quizHomeArguments.empty());
            EXPECT_EQ(topScreen(), screen);
            continue;
        }
        ASSERT_EQ(quizHomeArguments.size(), 1u);
        EXPECT_EQ(quizHomeArguments[0]["quizId"].int64Or(-1), c.opensQuiz);
        auto home = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(topScreen());
        ASSERT_TRUE(home);
        EXPECT_NE(home, screen);
        EXPECT_EQ(home->featureTabDelegate(), container_);
        EXPECT_EQ(home->titleText(), foundation::Bundle::main().localizedString("velkora_text_quiz_profile_title"));
        nav_->popViewController(false);
        loop().advance(0.5);
    }
}

TEST_F(ActivityActionTest, ALikedPostsButtonOpensItsQuizAndWithoutTheQuizHomeNothingOpens) {
    registerQuizHome();
    auto screen = openPosts({"velkora-quiz-12"});
    ASSERT_TRUE(screen);
    auto liked = cellWithAction<VelkoraFeedLikeActivityCell>(screen, 3, "velkora-quiz-12");
    ASSERT_TRUE(liked);
    screen->tableController()->activityActionTapped(*liked);
    loop().advance(0.5);
    ASSERT_EQ(quizHomeArguments.size(), 1u);
    EXPECT_EQ(quizHomeArguments[0]["quizId"].int64Or(-1), 12);
    nav_->popViewController(false);
    loop().advance(0.5);

    // A build without the quiz home: the action is still the kit's, and nothing opens.
    VelkoraScreenRegistry::instance().unregisterScreen("quizHome");
    auto posted = cellWithAction<VelkoraFeedActivityCell>(screen, 2, "velkora-quiz-12");
    ASSERT_TRUE(posted);
    EXPECT_TRUE(VelkoraActivityActionManager::instance()->handleActionOfActivity(*posted, screen.get()));
    EXPECT_TRUE(logged("Velkora (W) - The screen 'quizHome' is not part of this build"));
    EXPECT_EQ(topScreen(), screen);
}

TEST_F(ActivityActionTest, APostsPlayButtonPushesTheKitsOwnQuizHomeWithItsQuiz) {
    // The kit's screens as a host links them: "quizHome" is the real home, not a stand-in.
    auto screen = openPosts({"velkora-quiz-7"});
    ASSERT_TRUE(screen);
    auto cell = cellWithAction<VelkoraFeedActivityCell>(screen, 2, "velkora-quiz-7");
    ASSERT_TRUE(cell && cell->actionButton());
    EXPECT_EQ(cell->actionButton()->currentTitle(), "Play");
    cell->actionButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    loop().advance(0.5);
    auto home = std::dynamic_pointer_cast<VelkoraQuizProfileViewController>(topScreen());
    ASSERT_TRUE(home) << "the quiz home was not pushed";
    EXPECT_EQ(home->quizId(), 7);
    EXPECT_EQ(home->featureTabDelegate(), container_);
    EXPECT_EQ(home->titleText(), foundation::Bundle::main().localizedString("velkora_text_quiz_profile_title"));
    ASSERT_TRUE(settle());
    nav_->popViewController(false);
    loop().advance(0.5);
    EXPECT_EQ(topScreen(), screen);
}

TEST(ActivityActionManager, AnyOtherCellGivesTheHostItsTap) {
    auto cell = ui::TableViewCell::create(ui::TableViewCellStyle::Default, "plain");
    EXPECT_EQ(VelkoraActivityActionManager::actionIdOfCell(*cell), "");
    EXPECT_FALSE(VelkoraActivityActionManager::instance()->handleActionOfActivity(*cell, nullptr));
    EXPECT_EQ(VelkoraActivityActionManager::instance(), VelkoraActivityActionManager::instance());
}

} // namespace
