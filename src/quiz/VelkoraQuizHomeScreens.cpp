#include "quiz/VelkoraQuizHomeScreens.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TableView.h"
#include "quiz/VelkoraQuizProfileViewController.h"
#include "quiz/VelkoraQuizPurchaseViewController.h"
#include "quiz/VelkoraQuizzesViewController.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"
#include "shell/VelkoraWidgetClasses.h"

namespace velkora {

namespace quizhome {

std::string text(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

std::string interfaceName(const std::string& name) {
    return ui::Device::current().isPad() ? "iPad_" + name : name;
}

void registerViewClasses() {
    registerVelkoraWidgetClasses();
    auto& loader = ui::InterfaceLoader::instance();
    if (!loader.hasClass("TableView")) loader.registerClass("TableView", [] { return ui::TableView::create(); });
    if (!loader.hasClass("VelkoraQuizProfileTableCell"))
        loader.registerClass("VelkoraQuizProfileTableCell",
                             [] { return std::make_shared<VelkoraQuizProfileTableCell>(); });
    if (!loader.hasClass("VelkoraQuizCell"))
        loader.registerClass("VelkoraQuizCell", [] { return std::make_shared<VelkoraQuizCell>(); });
}

void showToast(const std::string& message) {
    foundation::Log::line("Velkora (W) - Quiz: %@", message);
    auto toast = VelkoraDefaultNotificationPopupView::initFromNib(message);
    if (toast) toast->showInView(ui::Application::instance().keyWindow());
}

void showFailureToast(const foundation::ErrorPtr& error, const char* otherwiseKey) {
    bool connection = false;
    for (auto e = error; e; e = e->underlying)
        connection = connection || e->domain == foundation::kUrlConnectionErrorDomain;
    showToast(text(connection ? "velkora_text_no_network_message" : otherwiseKey));
}

} // namespace quizhome

void registerQuizHomeScreens() {
    quizhome::registerViewClasses();
    // The "quiz" feature hands over here when it is opened without a quiz id, and a feed post's action
    // with {"quizId": id}; the opener sets the title.
    VelkoraScreenRegistry::instance().registerScreen(
        "quizHome", [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
            auto home = VelkoraQuizProfileViewController::initFromNib(true);
            if (arguments.isDictionary()) home->setQuizId(arguments["quizId"].int32Or(0));
            return home;
        });
    // The end panel's store: object 1 the quiz, object 2 the question it was opened at (-1 for none).
    VelkoraScreenRegistry::instance().registerScreen(
        "quizStore", [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
            int32_t quizId = -1, questionId = -1;
            if (arguments.isDictionary()) {
                quizId = arguments[VelkoraScreenArguments::kObject1].int32Or(-1);
                questionId = arguments[VelkoraScreenArguments::kObject2].int32Or(-1);
            }
            return VelkoraQuizPurchaseViewController::create(quizId, questionId);
        });
}

} // namespace velkora
