// What a host's user sees of the leaderboard and of suggesting a question: a few players' scores of today
// on the overall board with the rows around the user's own place, on a phone and a tablet, and the form in
// which a player proposes a question for a quiz.
#include <memory>
#include <optional>
#include <string>

#include "DemoHost.h"
#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"
#include "quiz/VelkoraLeaderboardViewController.h"
#include "quiz/VelkoraQuizSuggestQuestionViewController.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/VelkoraServerEndpoint.h"
#include "server/utils/RequestText.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"
#include "session/VelkoraScreenRegistry.h"

namespace {

using namespace velkora;
using demo::Demo;
using demo::DemoHost;
using demo::HostScreen;
using demo::showAsHostScreen;

// The answer to one request a seeded player makes.
struct PlayerRequest : VelkoraUrlFetcherDelegate {
    bool done = false, failed = false;
    void urlGotError(VelkoraUrlFetcher&, const foundation::ErrorPtr&) override { done = failed = true; }
    void urlDidFinishWithString(VelkoraUrlFetcher&, const std::optional<std::string>&) override { done = true; }
};

// A seeded player reports a score of today, as that player's own device would.
bool playerScores(Demo& demo, const std::string& userId, int score) {
    auto answer = std::make_shared<PlayerRequest>();
    auto fetcher = VelkoraUrlFetcher::create(answer);
    fetcher->getUrl(tagRequestText(VelkoraServerEndpoint::url() + "?command=setScore&appId=" + demo.appId() +
                                   "&userId=" + userId + "&level=&score=" + std::to_string(score) +
                                   "&clientType=1&build=2.5.7"));
    demo.loop().runUntil([&] { return answer->done; }, 10);
    return answer->done && !answer->failed;
}

void settle(Demo& demo) {
    demo.loop().runUntil([] { return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty(); }, 20);
    demo.loop().advance(0.5);
}

HostScreen showInWindow(Demo& demo, const std::shared_ptr<ui::ViewController>& screen,
                        const std::shared_ptr<DemoHost>& host) {
    auto shown = showAsHostScreen(screen, host);
    demo.loop().advance(0.5);
    settle(demo);
    shown.window->layoutIfNeeded();
    return shown;
}

bool showLeaderboard(Demo& demo, const std::shared_ptr<DemoHost>& host, const std::string& picture) {
    auto screen = VelkoraScreenRegistry::instance().makeScreen(
        "leaderboard", foundation::Value(foundation::Dictionary{{"object1", foundation::Value("")}}));
    if (!screen) {
        demo.say("leaderboard: no screen");
        return false;
    }
    auto shown = showInWindow(demo, screen, host);
    // Pictures of the players come from the service.
    demo.loop().runUntil([] { return false; }, 1.0);
    demo.loop().advance(0.5);
    shown.window->layoutIfNeeded();
    auto board = std::dynamic_pointer_cast<VelkoraLeaderboardViewController>(screen);
    demo.say("leaderboard: " + std::to_string(board ? board->leaders().size() : 0) + " players today, " +
             std::to_string(board ? board->myNeighbours().size() : 0) + " around the user's place");
    const bool written = demo.writePng(*shown.window, picture);
    demo.loop().advance(3);
    return written && board && !board->leaders().empty();
}

} // namespace

VELKORA_DEMO_STEP(leaderboardAndSuggestion, 716, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    registerKitScreens();
    // A notice an earlier step left up would stand over this step's pictures.
    for (const auto& window : ui::Application::instance().windows())
        window->setHidden(true);
    auto host = std::make_shared<DemoHost>();
    bool shown = true;

    demo.say("Four players and the user score today");
    for (const auto& [player, score] :
         {std::pair{"u-mira", 420}, std::pair{"u-tomas", 310}, std::pair{"u-lena", 150}, std::pair{"u-ravi", 95}})
        shown &= playerScores(demo, player, score);
    VelkoraServerApi::setScore(std::string(""), 260);
    settle(demo);
    // The session learns the user's score with the user's data.
    VelkoraAgentInternal::instance().setVelkoraUser(nullptr);
    demo::ensureUserData(demo);

    demo.say("The overall leaderboard of today, on a phone");
    shown &= showLeaderboard(demo, host, "leaderboard");
    demo.say("The same on a tablet");
    ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Pad);
    ui::Screen::main().setBounds({0, 0, 768, 1024});
    shown &= showLeaderboard(demo, host, "leaderboard_tablet");
    ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Phone);
    ui::Screen::main().setBounds({0, 0, 320, 568});

    demo.say("Suggesting a question for the quiz \"World Capitals\", presented over the host's screen");
    auto under = showInWindow(demo, std::make_shared<ui::ViewController>(), host);
    auto form = std::dynamic_pointer_cast<VelkoraQuizSuggestQuestionViewController>(
        VelkoraScreenRegistry::instance().makeScreen(
            "quizSuggestQuestion", foundation::Value(foundation::Dictionary{{"object1", foundation::Value(1)}})));
    if (!form) {
        demo.say("suggestion form: no screen");
        return false;
    }
    form->setFeatureTabDelegate(host);
    under.nav->presentViewController(form, false);
    demo.loop().advance(0.5);
    if (form->questionTextView() && form->correctAnswerTextField() && form->wrongAnswer1TextField()) {
        form->questionTextView()->becomeFirstResponder();
        form->questionTextView()->insertText("What is the capital of Canada?");
        form->questionTextView()->resignFirstResponder();
        form->correctAnswerTextField()->setText("Ottawa");
        form->wrongAnswer1TextField()->setText("Toronto");
        form->wrongAnswer2TextField()->setText("Vancouver");
    }
    demo.loop().advance(1);
    under.window->layoutIfNeeded();
    shown &= demo.writeScreenPng("suggest_question");
    form->sendClicked(nullptr);
    settle(demo);
    const bool thanked = form->popup() != nullptr;
    demo.say(thanked ? "the suggestion was sent and the player thanked" : "the suggestion was not sent");
    shown &= demo.writeScreenPng("suggest_question_sent");
    if (form->popup()) form->popup()->okTapped(nullptr);
    demo.loop().advance(3);
    return shown && thanked;
}
