// The two ends of a quiz game as a host's user sees them: the seeded quiz answered right to the last
// question (congratulations, the reward offer when the network has one, the score posted to the feed),
// then a new game lost at its first question (game over, with a life for 50 coins).
#include <memory>

#include "DemoHost.h"
#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "data/VelkoraQuiz.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/WebView.h"
#include "platform/ui/Window.h"
#include "quiz/VelkoraQuizIAPHelper.h"
#include "quiz/VelkoraQuizPlayViewController.h"
#include "server/VelkoraServerClientAgent.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraScreenRegistry.h"

namespace {

using namespace velkora;

// Plays the current question with its right answer, or a wrong one, and waits for what follows.
bool answerCurrent(demo::Demo& demo, VelkoraQuizPlayViewController& screen, bool right) {
    auto q = screen.currentQuestion();
    if (!q) return false;
    for (size_t i = 0; i < q->answers().size() && i < 4; ++i)
        if (q->answers()[i] && q->answers()[i]->isCorrect() == right) {
            screen.updateWithAnswer(static_cast<int32_t>(i));
            demo.loop().advance(0.7);
            return true;
        }
    return false;
}

void settleEnd(demo::Demo& demo, ui::Window& window, VelkoraQuizPlayViewController& screen) {
    demo.loop().runUntil(
        [&] {
            return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty() &&
                   (!screen.rewardWebView() || !screen.rewardWebView()->isLoading());
        },
        20);
    demo.loop().advance(0.3);
    window.layoutIfNeeded();
}

} // namespace

VELKORA_DEMO_STEP(quizEnd, 725, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    registerKitScreens();
    demo::ensureUserData(demo);
    if (auto me = VelkoraAgentInternal::instance().velkoraUser(); me && me->coins() < 60) me->setCoins(60);
    VelkoraQuizIAPServerManager::instance().initProducts();

    demo.say("The seeded quiz answered right to the end: congratulations, and the score posted to the feed.");
    for (const auto& w : ui::Application::instance().windows())
        w->setHidden(true);
    auto host = std::make_shared<demo::DemoHost>();
    auto screen = std::dynamic_pointer_cast<VelkoraQuizPlayViewController>(VelkoraScreenRegistry::instance().makeScreen(
        "quiz", foundation::Value(foundation::Dictionary{
                    {VelkoraScreenArguments::kOpenedAs, foundation::Value(VelkoraScreenArguments::kOpenedInNavigation)},
                    {VelkoraScreenArguments::kObject1, foundation::Value(int64_t(3))}})));
    if (!screen) {
        demo.say("the quiz screen is not part of this build");
        return false;
    }
    auto window = demo::showAsHostScreen(screen, host).window;
    window->layoutIfNeeded();
    demo.loop().runUntil([&] { return screen->quiz() != nullptr || screen->loadFailedPopup() != nullptr; }, 20);
    if (!screen->quiz() || screen->quiz()->questions().empty()) {
        demo.say("the seeded quiz did not come");
        return false;
    }
    // The offer is decided when the game ends, from the network's page as read by then; a player takes
    // longer than the page, the demo's answers do not, so the page is waited for before the first answer.
    demo.loop().runUntil([&] { return screen->rewardWebView() && !screen->rewardWebView()->isLoading(); }, 20);
    if (screen->rewardUrlStr().empty()) demo.say("the ad network has no reward offer for this application");
    bool ok = true;
    while (ok && screen->currentQuestion())
        ok = answerCurrent(demo, *screen, true);
    settleEnd(demo, *window, *screen);
    ok = demo.writeScreenPng("quiz-end-congratulations") && ok;
    screen->postToFeed();
    settleEnd(demo, *window, *screen);

    demo.say("A new game lost at its first question: game over, with a life for 50 coins.");
    screen->quizEndDidSelectOption(VelkoraQuizPlayViewController::QuizEndNewGame);
    demo.loop().runUntil([&] { return screen->currentQuestion() != nullptr; }, 20);
    ok = answerCurrent(demo, *screen, false) && ok;
    settleEnd(demo, *window, *screen);
    ok = demo.writeScreenPng("quiz-end-game-over") && ok;
    if (!screen->quizEndView() || screen->quizEndView()->isHidden()) {
        demo.say("the end of the game did not show");
        ok = false;
    }
    screen->goBack();
    window->setHidden(true);
    return ok;
}
