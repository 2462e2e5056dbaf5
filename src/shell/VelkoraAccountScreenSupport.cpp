#include "shell/VelkoraAccountScreenSupport.h"

#include "data/VelkoraUserInternal.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Value.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarItems.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Utf16.h"
#include "platform/ui/Window.h"
#include "shell/VelkoraAttributedLabel.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraWidgetClasses.h"

namespace velkora::account {

using foundation::Log;

std::string localized(const std::string& key) {
    return foundation::Bundle::main().localizedString(key);
}

std::string interfaceName(const std::string& base) {
    return ui::Device::current().isPad() ? "iPad_" + base : base;
}

std::shared_ptr<VelkoraDefaultOKPopupView> showOKPopup(const std::string& titleKey, const std::string& messageKey) {
    auto popup = VelkoraDefaultOKPopupView::initFromNib(localized("velkora_text_ok_button"));
    if (popup->titleLabel()) popup->titleLabel()->setText(localized(titleKey));
    if (popup->messageLable()) popup->messageLable()->setText(localized(messageKey));
    popup->showInView(ui::Application::instance().keyWindow());
    return popup;
}

bool isBlankName(const std::string& name) {
    // The same rule that makes a user anonymous, so that no name passes here and is nobody there.
    VelkoraUserInternal probe;
    probe.setFirstName(name);
    probe.setLastName(std::string());
    return probe.isAnonymous();
}

bool isPasswordLongEnough(const std::string& password) {
    return ui::utf16::length(password) >= 6;
}

std::shared_ptr<ui::ActivityIndicatorView> startIndicator(ui::View& view, ui::ActivityIndicatorViewStyle style,
                                                          std::optional<ui::Point> centre) {
    auto indicator = ui::ActivityIndicatorView::create(style);
    indicator->setCenter(centre.value_or(ui::Point{view.bounds().midX(), view.bounds().midY()}));
    indicator->setHidesWhenStopped(true);
    indicator->startAnimating();
    view.addSubview(indicator);
    return indicator;
}

void decorateField(ui::TextField& field, const std::string& leftText) {
    field.setBorderStyle(ui::TextBorderStyle::RoundedRect);
    const ui::Rect frame = field.frame();
    auto label = ui::Label::create({0, 0, 80, frame.height() - 10});
    label->setText(leftText);
    label->setBackgroundColor(field.backgroundColor());
    label->setFont(ui::Font::systemFont(14));
    label->setTextColor(ui::Color::fromHex("#50555C"));
    label->setTextAlignment(ui::TextAlignment::Center);
    field.setLeftView(label);
    field.setLeftViewMode(ui::TextFieldViewMode::Always);
}

void moveMainButtonIfPanelHidden(VelkoraGeneralFeatureViewController& screen,
                                 const std::shared_ptr<ui::Button>& button) {
    auto container = screen.featureTabDelegate();
    if (!container || !container->isTopPanelHidden() || !button) return;
    if (ui::Device::current().compareSystemVersion("7.0") < 0)
        VelkoraGeneralFeatureViewController::removeConstraintsForView(button.get(), screen.topPanelView().get());
    button->removeFromSuperview();
    button->setTranslatesAutoresizingMaskIntoConstraints(true);
    screen.navigationItem().setRightBarButtonItem(ui::BarButtonItem::withCustomView(button));
}

void pushScreen(VelkoraGeneralFeatureViewController& opener,
                const std::shared_ptr<VelkoraGeneralFeatureViewController>& screen) {
    if (!screen) return;
    screen->setFeatureTabDelegate(opener.featureTabDelegate());
    ui::NavigationController* nav = opener.navigationController();
    if (!nav) {
        Log::line("Velkora (W) - the screen %@ is on no navigation stack; %@ is not shown", opener.className(),
                  screen->className());
        return;
    }
    nav->pushViewController(screen, true);
}

void registerAccountInterfaceClasses() {
    registerVelkoraWidgetClasses();
    auto& loader = ui::InterfaceLoader::instance();
    if (!loader.hasClass("VelkoraAttributedLabel")) VelkoraAttributedLabel::registerClass();
    if (!loader.hasClass("VelkoraLazyImageView")) VelkoraLazyImageView::registerClass();
    if (!loader.hasClass("ScrollView")) loader.registerClass<ui::ScrollView>("ScrollView");
    if (!loader.hasClass("TextField")) loader.registerClass<ui::TextField>("TextField");
}

} // namespace velkora::account
