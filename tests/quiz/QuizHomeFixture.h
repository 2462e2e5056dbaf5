// The quiz home, quiz list and coin store against velkora-service's demo application (its two quizzes,
// its coin packs in the stand-in store): a fresh kit and service per test, the session's user and the
// application data known, the screens registered, stand-ins for the play screen and the leaderboard
// that record what they were opened with, and a host window to show the screens in; on the test clock.
#pragma once

#include "platform/foundation/DateFormatter.h"
#include "platform/services/Device.h"
#include "platform/services/Store.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "profiles/ProfilesFixture.h"
#include "quiz/VelkoraQuizHomeScreens.h"
#include "quiz/VelkoraQuizIAPHelper.h"
#include "quiz/VelkoraQuizProfileViewController.h"
#include "quiz/VelkoraQuizPurchaseViewController.h"
#include "quiz/VelkoraQuizzesViewController.h"
#include "server/StoreFixture.h"
#include "data/VelkoraAppData.h"
#include "support/ScreenFixture.h"

namespace velkora::testing {

// What the "quiz" and "leaderboard" features were opened with.
class OpenedStandIn : public VelkoraGeneralFeatureViewController {
public:
    explicit OpenedStandIn(std::string feature, foundation::Value object1)
        : feature(std::move(feature)), object1(std::move(object1)) {}
    const char* className() const override { return "OpenedStandIn"; }
    std::string feature;
    foundation::Value object1;
};

class QuizHomeTest : public ScreenFixture<StoreTest> {
protected:
    static constexpr const char* kStoreAccount = "buyer@store.example";

    void SetUp() override {
        ScreenFixture<StoreTest>::SetUp();
        VelkoraQuizIAPServerManager::resetForTests();
        VelkoraQuizIAPHelper::resetForTests();
        services::PaymentQueue::defaultQueue().resetForTests();
        services::Device::instance().update([](services::DeviceProfile& p) { p.storeAccount = kStoreAccount; });
        services::Device::instance().setPromptPolicy(services::Prompt::Purchase, services::PromptPolicy::Grant);
        registerStandIns();
        foundation::DateFormatter::setCurrentLocaleIdentifier("en_US");
    }
    void TearDown() override {
        loop().advance(5);
        nav_.reset();
        window_.reset();
        VelkoraQuizIAPServerManager::resetForTests();
        VelkoraQuizIAPHelper::resetForTests();
        services::PaymentQueue::defaultQueue().resetForTests();
        foundation::DateFormatter::setCurrentLocaleIdentifier("");
        ScreenFixture<StoreTest>::TearDown();
    }

    // The play screen and the leaderboard are other screens' business: stand-ins record the opening. The
    // play feature without a quiz id hands over to the quiz home, as the real one does.
    void registerStandIns() {
        auto& registry = VelkoraScreenRegistry::instance();
        registry.registerScreen("quiz",
                                [this](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
                                    const foundation::Value& id = VelkoraScreenArguments::object1(arguments);
                                    if (!id.isNumber())
                                        return VelkoraScreenRegistry::instance().makeScreen("quizHome", arguments);
                                    auto screen = std::make_shared<OpenedStandIn>("quiz", id);
                                    opened_.push_back(screen);
                                    return screen;
                                });
        registry.registerScreen(
            "leaderboard", [this](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
                auto screen =
                    std::make_shared<OpenedStandIn>("leaderboard", VelkoraScreenArguments::object1(arguments));
                // As the kit's maker makes it: the feature's own profile button shown.
                screen->setShouldShowProfileButton(true);
                opened_.push_back(screen);
                return screen;
            });
    }

    // A session for a new user of the demo application, the kit holding the user's data and the
    // application data, and the coin packs' products asked of the store (`withProducts`).
    void startDemo(bool withProducts = true) {
        VelkoraAgentInternal::instance().initUserInfo(kDemo);
        startDemoUser();
        loadMyData();
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getAppData(Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        ASSERT_TRUE(VelkoraAgentInternal::instance().appData());
        if (withProducts) askProducts();
    }
    // A session for a new user of the tests' own application (its quizzes are the test's), the kit
    // holding the user's data and the application data.
    void startTestApp() {
        VelkoraAgentInternal::instance().initUserInfo(kApp);
        startNewUser();
        userId_ = *agent().userId();
        loadMyData();
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getAppData(Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        ASSERT_TRUE(VelkoraAgentInternal::instance().appData());
    }
    // The purchase layer asks the store for the packs the application data names, as at every arrival
    // of application data, until their products have come.
    void askProducts() {
        VelkoraQuizIAPServerManager::instance().initProducts();
        ASSERT_TRUE(waitAdvancing(
            [] { return VelkoraQuizIAPHelper::hasInstance() && VelkoraQuizIAPHelper::instance().didGetStoreData(); },
            30));
        loop().advance(0.1);
    }
    VelkoraAgentInternal& session() { return VelkoraAgentInternal::instance(); }
    std::shared_ptr<VelkoraUserInternal> me() { return session().velkoraUser(); }
    // The user's coins on the service, behind the kit's back, and in the kit as its next user data brings.
    void setCoins(int64_t coins, bool tellTheKit = true) {
        svc.setUserCoins(kDemo, userId_, coins);
        if (tellTheKit) loadMyData();
    }
    int64_t serviceCoins() { return std::stoll(svc.userColumn(kDemo, userId_, "coins")); }

    // The screen on top of the host's stack, as a kit screen.
    template <class T = ui::ViewController> std::shared_ptr<T> top() {
        return nav_ && !nav_->viewControllers().empty() ? std::dynamic_pointer_cast<T>(nav_->viewControllers().back())
                                                        : nullptr;
    }
    // The quiz home as the host opens feature 103 without a quiz id, in its own stack.
    std::shared_ptr<VelkoraQuizProfileViewController> openHome() {
        auto root = ui::ViewController::create();
        show(root);
        session().openFeature(103, nav_, true);
        loop().advance(1);
        if (window_) window_->layoutIfNeeded();
        return top<VelkoraQuizProfileViewController>();
    }
    // A screen pushed on a plain host screen, so that going back from it has somewhere to go.
    template <class T> std::shared_ptr<T> pushOnHost(const std::shared_ptr<T>& screen) {
        auto root = ui::ViewController::create();
        show(root);
        screen->setFeatureTabDelegate(container_);
        nav_->pushViewController(screen, false);
        loop().advance(1);
        window_->layoutIfNeeded();
        return screen;
    }
    static void tap(const std::shared_ptr<ui::Button>& button) {
        ASSERT_TRUE(button);
        button->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    }
    // The popup showing in an alert window, if any.
    template <class T> static std::shared_ptr<T> popupShowing() {
        for (const auto& w : ui::Application::instance().windows()) {
            if (w->isHidden()) continue;
            for (const auto& v : w->subviews())
                if (auto p = std::dynamic_pointer_cast<T>(v)) return p;
        }
        return nullptr;
    }
    // A row's cell, laid out.
    template <class Cell> std::shared_ptr<Cell> cellAt(ui::TableView& table, int row) {
        table.layoutIfNeeded();
        return std::dynamic_pointer_cast<Cell>(table.cellForRowAtIndexPath(ui::IndexPath{0, row}));
    }

    std::vector<std::shared_ptr<OpenedStandIn>> opened_;
};

} // namespace velkora::testing
