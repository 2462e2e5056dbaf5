// What a host's user sees of a quiz game: the seeded quiz opened as feature 103, its first question
// answered right, the hints panel with the coins and the coin packs, a wrong answer and the end of the game.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "BuildPaths.h"
#include "BuildTreeModules.h"
#include "DemoHost.h"
#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "data/VelkoraQuiz.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "quiz/VelkoraQuizIAPHelper.h"
#include "quiz/VelkoraQuizPlayViewController.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraResizeableButton.h"

namespace {

using namespace velkora;

// The seeded quiz whose answers carry how often players picked them.
constexpr int64_t kSeededQuiz = 3;

void settle(demo::Demo& demo, ui::Window& window) {
    demo.loop().runUntil([] { return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty(); }, 20);
    demo.loop().advance(0.3);
    window.layoutIfNeeded();
}

// The slot of the question's correct answer, or of a wrong one.
int slotOf(const VelkoraQuizQuestion& q, bool correct) {
    for (size_t i = 0; i < q.answers().size() && i < 4; ++i)
        if (q.answers()[i] && q.answers()[i]->isCorrect() == correct) return static_cast<int>(i);
    return -1;
}

} // namespace

VELKORA_DEMO_STEP(quizPlay, 714, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    demo::useBuildTreeModules("StoreKit");
    registerKitScreens();
    demo::ensureUserData(demo);
    auto& session = VelkoraAgentInternal::instance();
    if (auto me = session.velkoraUser(); me && me->coins() < 25) me->setCoins(25);
    VelkoraQuizIAPServerManager::instance().initProducts();
    demo.loop().runUntil(
        [] {
            return VelkoraQuizIAPServerManager::instance().productByKey(VelkoraQuizPlayViewController::kCoinPack1) !=
                   nullptr;
        },
        10);

    demo.say("The host opens feature 103 with the seeded quiz: its first question, the countdown and the ladder.");
    // What earlier steps left on screen (their popups among it) is not part of this one.
    for (const auto& w : ui::Application::instance().windows())
        w->setHidden(true);
    auto host = std::make_shared<demo::DemoHost>();
    auto made = VelkoraScreenRegistry::instance().makeScreen(
        "quiz", foundation::Value(foundation::Dictionary{
                    {VelkoraScreenArguments::kOpenedAs, foundation::Value(VelkoraScreenArguments::kOpenedInNavigation)},
                    {VelkoraScreenArguments::kObject1, foundation::Value(kSeededQuiz)}}));
    auto screen = std::dynamic_pointer_cast<VelkoraQuizPlayViewController>(made);
    if (!screen) {
        demo.say("the quiz screen is not part of this build");
        return false;
    }
    auto window = demo::showAsHostScreen(screen, host).window;
    window->layoutIfNeeded();
    demo.loop().runUntil([&] { return screen->quiz() != nullptr || screen->loadFailedPopup() != nullptr; }, 20);
    if (!screen->quiz() || screen->quiz()->questions().size() < 2) {
        demo.say("the seeded quiz did not come");
        return false;
    }
    settle(demo, *window);
    demo.loop().advance(2.0);
    window->layoutIfNeeded();
    bool ok = demo.writeScreenPng("quiz-question");

    if (auto timer = screen->quizTimerView()) {
        demo.say(std::string("With ") + std::to_string(timer->nWarningSeconds()) +
                 " seconds left the countdown blinks red and the hints button pulses.");
        const double left = timer->nSeconds() - timer->diffFromStart();
        demo.loop().advance(std::max(0.0, left - timer->nWarningSeconds() + 1.2));
        window->layoutIfNeeded();
        ok = demo.writeScreenPng("quiz-countdown-warning") && ok;
    }

    demo.say("The player answers right in time: the answer turns green.");
    auto q = screen->currentQuestion();
    screen->updateWithAnswer(slotOf(*q, true));
    demo.loop().advance(0.2);
    window->layoutIfNeeded();
    ok = demo.writeScreenPng("quiz-answer-right") && ok;
    demo.say("The next question follows; the player opens the hints panel.");
    demo.loop().advance(0.5);
    screen->helpClicked(nullptr);
    settle(demo, *window);
    ok = demo.writeScreenPng("quiz-hints") && ok;
    screen->quizHintsPopularAnswerClicked(nullptr);
    settle(demo, *window);

    demo.say("A wrong answer: red beside the green of the right one, then the end of the game.");
    q = screen->currentQuestion();
    screen->updateWithAnswer(slotOf(*q, false));
    demo.loop().advance(0.2);
    window->layoutIfNeeded();
    ok = demo.writeScreenPng("quiz-answer-wrong") && ok;
    demo.loop().advance(0.5);
    settle(demo, *window);
    ok = demo.writeScreenPng("quiz-end") && ok;
    if (!screen->quizEndView() || screen->quizEndView()->isHidden()) {
        demo.say("the end of the game did not show");
        ok = false;
    }
    screen->goBack();
    window->setHidden(true);
    return ok;
}
