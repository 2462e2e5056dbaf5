// The quiz play screen against velkora-service's demo application (its quizzes and coin packs): a fresh
// kit and service per test, a session for a new player whose data and the application's the kit holds,
// the screens registered, a host window to show the screen in, all on the test clock.
#pragma once

#include <cstdint>
#include <string>

#include "platform/foundation/DateFormatter.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Label.h"
#include "quiz/VelkoraQuizIAPHelper.h"
#include "quiz/VelkoraQuizPlayViewController.h"
#include "server/StoreFixture.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "shell/VelkoraResizeableButton.h"
#include "support/ScreenFixture.h"

namespace velkora::testing {

class QuizPlayTest : public ScreenFixture<StoreTest> {
protected:
    void SetUp() override {
        ScreenFixture<StoreTest>::SetUp();
        VelkoraQuizPlayViewController::setRandomSourceForTests({});
        VelkoraQuizIAPServerManager::resetForTests();
        VelkoraQuizIAPHelper::resetForTests();
        // Bonuses show with an English locale's grouping.
        foundation::DateFormatter::setCurrentLocaleIdentifier("en_US");
    }
    void TearDown() override {
        if (screen_) screen_->setFeatureTabDelegate({});
        screen_.reset();
        VelkoraQuizPlayViewController::setRandomSourceForTests({});
        foundation::DateFormatter::setCurrentLocaleIdentifier("");
        ScreenFixture<StoreTest>::TearDown();
        VelkoraQuizIAPServerManager::resetForTests();
        VelkoraQuizIAPHelper::resetForTests();
    }

    // A player of the demo application with that many coins, the kit holding its data and the
    // application's.
    void startPlayer(int coins = 0) {
        startDemoUser();
        if (coins) svc.setUserCoins(kDemo, userId_, coins);
        loadMyData();
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getAppData(Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        ASSERT_TRUE(settle());
    }
    int64_t addQuiz(const std::string& json) { return svc.addQuiz(kDemo, json); }

    // One timed question of four answers; `correct` is the index of the right one.
    static std::string question(int id, int score = 10, int timeLimit = 15, int timeBonus = 5, int correct = 0,
                                int level = 1, const std::string& hits = "0,0,0,0") {
        std::string answers;
        size_t from = 0;
        for (int i = 0; i < 4; ++i) {
            size_t comma = hits.find(',', from);
            std::string h = hits.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
            from = comma == std::string::npos ? hits.size() : comma + 1;
            answers += std::string(i ? "," : "") + "{\"id\":" + std::to_string(id * 10 + i) + ",\"answer\":\"Answer " +
                       std::to_string(id) + char('A' + i) + "\",\"correct\":" + (i == correct ? "true" : "false") +
                       ",\"picks\":" + (h.empty() ? "0" : h) + "}";
        }
        return "{\"id\":" + std::to_string(id) + ",\"question\":\"Question number " + std::to_string(id) +
               "?\",\"level\":" + std::to_string(level) + ",\"score\":" + std::to_string(score) +
               ",\"timeLimit\":" + std::to_string(timeLimit) + ",\"timeBonus\":" + std::to_string(timeBonus) +
               ",\"answers\":[" + answers + "]}";
    }
    static std::string quizJson(const std::string& questions, const std::string& reserves = "") {
        return "{\"name\":\"Test quiz\",\"questions\":[" + questions + "],\"reserves\":[" + reserves + "]}";
    }

    // Opens the screen as the registry makes it for feature 103 and waits for its quiz (or its failure).
    std::shared_ptr<VelkoraQuizPlayViewController> open(int64_t quizId) {
        auto made = VelkoraScreenRegistry::instance().makeScreen(
            "quiz",
            foundation::Value(foundation::Dictionary{
                {VelkoraScreenArguments::kOpenedAs, foundation::Value(VelkoraScreenArguments::kOpenedInNavigation)},
                {VelkoraScreenArguments::kObject1, foundation::Value(int64_t(quizId))}}));
        screen_ = std::dynamic_pointer_cast<VelkoraQuizPlayViewController>(made);
        if (!screen_) return nullptr;
        show(screen_);
        waitLoaded();
        return screen_;
    }
    void waitLoaded() {
        // A dropped connection is tried again a second apart on the clock.
        EXPECT_TRUE(waitAdvancing(
            [&] {
                return screen_->quiz() || screen_->loadFailedPopup() ||
                       (screen_->activityIndicator() && !screen_->activityIndicator()->isAnimating());
            },
            30));
        EXPECT_TRUE(settle());
        if (window_) window_->layoutIfNeeded();
    }

    // Taps an answer slot as the player does, through its button.
    void answer(int slot) {
        auto& button = screen_->answerButtonsArray()[static_cast<size_t>(slot)].button;
        ASSERT_TRUE(button);
        ASSERT_FALSE(button->isHidden());
        ASSERT_TRUE(screen_->view()->isUserInteractionEnabled());
        button->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    }
    std::vector<std::string> shownAnswers() const {
        std::vector<std::string> out;
        for (const auto& slot : screen_->answerButtonsArray())
            if (slot.button && !slot.button->isHidden())
                out.push_back(slot.button->titleForState(ui::ControlStateNormal).value_or(""));
        return out;
    }
    int serviceCoins() const { return std::stoi(svc.userColumn(kDemo, userId_, "coins")); }
    int serviceScore() const { return std::stoi(svc.userColumn(kDemo, userId_, "score")); }
    // The usage events logged so far, without their time stamps.
    static std::vector<std::string> loggedEvents() {
        std::vector<std::string> out;
        for (const auto& e : VelkoraLogEventsManager::instance().loggedEvents()) {
            auto cut = e.rfind(';');
            out.push_back(cut == std::string::npos ? e : e.substr(0, cut));
        }
        return out;
    }

    std::shared_ptr<VelkoraQuizPlayViewController> screen_;
};

} // namespace velkora::testing
