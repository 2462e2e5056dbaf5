#include "quiz/VelkoraActivityActionManager.h"

#include <charconv>
#include <mutex>

#include "feed/VelkoraFeedActivityCell.h"
#include "feed/VelkoraFeedLikeActivityCell.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/NavigationController.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

std::shared_ptr<VelkoraActivityActionManager> VelkoraActivityActionManager::instance() {
    static std::once_flag once;
    static std::shared_ptr<VelkoraActivityActionManager> shared;
    std::call_once(once, [] { shared.reset(new VelkoraActivityActionManager()); });
    return shared;
}

std::string VelkoraActivityActionManager::actionIdOfCell(const ui::TableViewCell& cell) {
    VelkoraFeedMessagePtr post;
    if (const auto* activity = dynamic_cast<const VelkoraFeedActivityCell*>(&cell))
        post = activity->theFeedMessage();
    else if (const auto* liked = dynamic_cast<const VelkoraFeedLikeActivityCell*>(&cell))
        post = liked->theFeedMessage();
    return post && post->actionId() ? *post->actionId() : std::string();
}

bool VelkoraActivityActionManager::handleActionOfActivity(ui::TableViewCell& cell, ui::ViewController* fromVC) {
    const std::string actionId = actionIdOfCell(cell);
    const std::string_view prefix = kActionPrefix;
    if (!actionId.starts_with(prefix)) return false;
    performActivityAction(actionId.substr(prefix.size()), fromVC);
    return true;
}

void VelkoraActivityActionManager::performActivityAction(const std::string& action, ui::ViewController* vc) {
    const size_t dash = action.find('-');
    const std::string name = action.substr(0, dash);
    if (name != kQuizAction) return;
    if (dash == std::string::npos) {
        foundation::Log::line("Velkora - Can't perform Quiz Activity Action with no quiz id (%@)", action);
        return;
    }
    // The argument's integer value, as the platform reads a number from the start of a text.
    const std::string argument = action.substr(dash + 1);
    int32_t quizId = 0;
    const char* first = argument.data();
    while (first < argument.data() + argument.size() && *first == ' ')
        ++first;
    if (first < argument.data() + argument.size() && *first == '+') ++first;
    std::from_chars(first, argument.data() + argument.size(), quizId);
    openQuiz(quizId, vc);
}

void VelkoraActivityActionManager::openQuiz(int32_t quizId, ui::ViewController* vc) {
    // The quiz home lists every quiz; it is handed the post's quiz for whatever it does with one.
    auto screen = VelkoraScreenRegistry::instance().makeScreen(
        "quizHome", foundation::Value(foundation::Dictionary{{"quizId", foundation::Value(quizId)}}));
    if (!screen) return;
    auto* opener = dynamic_cast<VelkoraGeneralFeatureViewController*>(vc);
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen)) {
        if (opener) feature->setFeatureTabDelegate(opener->featureTabDelegate());
        feature->setTitleText(foundation::Bundle::main().localizedString("velkora_text_quiz_profile_title"));
    }
    if (auto* nav = vc ? vc->navigationController() : nullptr) nav->pushViewController(screen, true);
}

} // namespace velkora
