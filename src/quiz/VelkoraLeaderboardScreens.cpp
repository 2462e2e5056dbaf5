#include "quiz/VelkoraLeaderboardScreens.h"

#include <optional>
#include <string>

#include "platform/foundation/Bundle.h"
#include "platform/ui/Application.h"
#include "quiz/VelkoraActivityActionManager.h"
#include "quiz/VelkoraLeaderboardViewController.h"
#include "quiz/VelkoraQuizSuggestQuestionViewController.h"
#include "session/VelkoraKitObjects.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"

namespace velkora {

namespace {

// Object 1 of the arguments: their "object1" entry, or a plain argument as older callers pass it.
const foundation::Value& object1Of(const foundation::Value& arguments) {
    if (const auto* d = arguments.asDictionary())
        if (const foundation::Value* v = d->find(VelkoraScreenArguments::kObject1)) return *v;
    static const foundation::Value none;
    return arguments.isDictionary() ? none : arguments;
}

} // namespace

void showLeaderboardFailureNotice(const foundation::ErrorPtr& error, ui::View* fallback) {
    std::string message = foundation::Bundle::main().localizedString("velkora_text_no_network_message");
    if (error)
        if (auto said = error->userInfo["NSLocalizedDescription"].toText(); said && !said->empty()) message = *said;
    ui::View* host = ui::Application::instance().keyWindow();
    if (!host) host = fallback;
    if (auto toast = VelkoraDefaultNotificationPopupView::initFromNib(message); toast && host) toast->showInView(host);
}

void registerLeaderboardScreens() {
    auto& registry = VelkoraScreenRegistry::instance();
    // Object 1 is the score level ("" or none for the overall leaderboard); the sidebar's row hands it as
    // "level".
    registry.registerScreen(
        "leaderboard", [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
            std::optional<std::string> level = object1Of(arguments).toText();
            if (!level && arguments.isDictionary()) level = arguments["level"].toText();
            auto screen = VelkoraLeaderboardViewController::initFromNibWithLevel(level.value_or(""), true);
            // The session and the sidebar give their own title.
            screen->setTitleText(foundation::Bundle::main().localizedString("velkora_text_leaderboard_tab_title"));
            return screen;
        });
    // Object 1 is the quiz id; the opener presents the form modally.
    registry.registerScreen(
        "quizSuggestQuestion", [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
            const int64_t quizId = object1Of(arguments).int64Or(0);
            return VelkoraQuizSuggestQuestionViewController::initFromNibWithQuizId(static_cast<int32_t>(quizId));
        });
    registry.registerObject<VelkoraActivityActionHandler>(
        VelkoraKitObjectNames::kActivityActionManager,
        [](const foundation::Value&) -> std::shared_ptr<VelkoraActivityActionHandler> {
            return VelkoraActivityActionManager::instance();
        });
}

} // namespace velkora
