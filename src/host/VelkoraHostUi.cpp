// The host's side of the ui: its window, screens, navigation and tab-bar controllers, views, the device's
// facts, the information dictionary, location fixes and the return to the foreground.
#include "host/HostInternals.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/JsonSerialization.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/services/Device.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/UiNotifications.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "velkora/VelkoraAds.h"

namespace velkora {

namespace {

// A screen of the host's: a plain view in the host's colours.
class HostScreenController : public ui::ViewController {
public:
    const char* className() const override { return "VelkoraHostScreen"; }
    void loadView() override {
        auto view = ui::View::create(ui::Screen::main().bounds());
        view->setBackgroundColor(ui::Color::fromHex("#E9EDF2"));
        setView(view);
    }
};

// A screen of the host's that answers whether promoted applications may pop in, as the host's object says.
class AnsweringHostScreenController : public HostScreenController, public VelkoraPopinAdsAnswer {
public:
    explicit AnsweringHostScreenController(std::shared_ptr<const VelkoraPopinAdsAnswer> answer)
        : answer_(std::move(answer)) {}
    bool velkoraShouldPopinAds() const override { return answer_->velkoraShouldPopinAds(); }

private:
    std::shared_ptr<const VelkoraPopinAdsAnswer> answer_;
};

VelkoraRect rectOf(const ui::Rect& r) {
    return VelkoraRect{r.origin.x, r.origin.y, r.size.width, r.size.height};
}

} // namespace

std::shared_ptr<VelkoraHostScreen> VelkoraHostScreen::create(const std::string& title) {
    return create(title, nullptr);
}

std::shared_ptr<VelkoraHostScreen>
VelkoraHostScreen::create(const std::string& title, std::shared_ptr<const VelkoraPopinAdsAnswer> popinAdsAnswer) {
    auto screen = std::make_shared<VelkoraHostScreen>();
    screen->impl_ = std::make_shared<Impl>();
    if (popinAdsAnswer)
        screen->impl_->controller = std::make_shared<AnsweringHostScreenController>(std::move(popinAdsAnswer));
    else
        screen->impl_->controller = std::make_shared<HostScreenController>();
    screen->impl_->controller->setTitle(title);
    return screen;
}

std::string VelkoraHostScreen::title() const {
    return impl_->controller->title();
}

std::shared_ptr<VelkoraNavigationController>
VelkoraNavigationController::create(const std::shared_ptr<VelkoraHostScreen>& root) {
    auto nav = std::make_shared<VelkoraNavigationController>();
    nav->impl_ = std::make_shared<Impl>();
    nav->impl_->controller = ui::NavigationController::create(root ? root->impl()->controller : nullptr);
    return nav;
}

std::size_t VelkoraNavigationController::stackDepth() const {
    return impl_->controller->viewControllers().size();
}

std::string VelkoraNavigationController::topTitle() const {
    auto top = impl_->controller->topViewController();
    if (!top) return {};
    // The kit's screens carry their title in their own top panel, not in the controller's title.
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(top);
        feature && top->title().empty())
        return feature->titleText();
    return top->title();
}

bool VelkoraNavigationController::isPresenting() const {
    return impl_->controller->presentedViewController() != nullptr;
}

void VelkoraNavigationController::popToRoot() {
    impl_->controller->popToRootViewController(false);
}

std::shared_ptr<VelkoraTabBarController>
VelkoraTabBarController::create(const std::vector<std::shared_ptr<VelkoraHostScreen>>& screens) {
    auto tabs = std::make_shared<VelkoraTabBarController>();
    tabs->impl_ = std::make_shared<Impl>();
    tabs->impl_->controller = ui::TabBarController::create();
    std::vector<ui::ViewControllerPtr> controllers;
    for (const auto& s : screens)
        if (s) controllers.push_back(s->impl()->controller);
    tabs->impl_->controller->setViewControllers(std::move(controllers));
    return tabs;
}

std::size_t VelkoraTabBarController::count() const {
    return impl_->controller->viewControllers().size();
}

std::vector<std::string> VelkoraTabBarController::tabTitles() const {
    std::vector<std::string> titles;
    for (const auto& c : impl_->controller->viewControllers())
        titles.push_back(c->tabBarItem()->title());
    return titles;
}

std::vector<int> VelkoraTabBarController::tabTags() const {
    std::vector<int> tags;
    for (const auto& c : impl_->controller->viewControllers())
        tags.push_back(c->tabBarItem()->tag());
    return tags;
}

std::shared_ptr<VelkoraView> VelkoraView::create(const VelkoraRect& frame) {
    auto view = std::make_shared<VelkoraView>();
    view->impl_ = std::make_shared<Impl>();
    view->impl_->view = ui::View::create(ui::Rect{frame.x, frame.y, frame.width, frame.height});
    return view;
}

VelkoraRect VelkoraView::frame() const {
    return rectOf(impl_->view->frame());
}

std::shared_ptr<VelkoraWindow> VelkoraWindow::create() {
    auto bounds = ui::Screen::main().bounds();
    return create(bounds.size.width, bounds.size.height);
}

std::shared_ptr<VelkoraWindow> VelkoraWindow::create(double width, double height) {
    auto window = std::make_shared<VelkoraWindow>();
    window->impl_ = std::make_shared<Impl>();
    window->impl_->window = ui::Window::create(ui::Rect{0, 0, width, height});
    window->impl_->window->setBackgroundColor(ui::Color::fromHex("#E9EDF2"));
    return window;
}

void VelkoraWindow::setRootScreen(const std::shared_ptr<VelkoraHostScreen>& screen) {
    impl_->window->setRootViewController(screen ? screen->impl()->controller : nullptr);
}

void VelkoraWindow::setRootNavigationController(const std::shared_ptr<VelkoraNavigationController>& controller) {
    impl_->window->setRootViewController(controller ? controller->impl()->controller : nullptr);
}

void VelkoraWindow::setRootTabBarController(const std::shared_ptr<VelkoraTabBarController>& controller) {
    impl_->window->setRootViewController(controller ? controller->impl()->controller : nullptr);
}

void VelkoraWindow::addView(const std::shared_ptr<VelkoraView>& view) {
    if (view) impl_->window->addSubview(view->impl()->view);
}

void VelkoraWindow::makeKeyAndVisible() {
    impl_->window->makeKeyAndVisible();
}
bool VelkoraWindow::isKey() const {
    return impl_->window->isKeyWindow();
}
double VelkoraWindow::width() const {
    return impl_->window->frame().size.width;
}
double VelkoraWindow::height() const {
    return impl_->window->frame().size.height;
}

std::vector<std::uint8_t> VelkoraWindow::pngOfScreen() {
    auto image = ui::Snapshot::imageOfScreen();
    return image ? image->pngData() : std::vector<std::uint8_t>{};
}

bool VelkoraWindow::writeScreenPng(const std::string& path) {
    return ui::Snapshot::writeScreenPng(path);
}

void VelkoraWindow::touchDown(double x, double y) {
    impl_->touches = std::make_unique<ui::TouchDriver>(impl_->window);
    impl_->touches->down(ui::Point{x, y});
}

void VelkoraWindow::touchMove(double x, double y) {
    if (impl_->touches) impl_->touches->move(ui::Point{x, y});
}

void VelkoraWindow::touchUp(double x, double y) {
    if (!impl_->touches) return;
    impl_->touches->up(ui::Point{x, y});
    impl_->touches.reset();
}

double VelkoraBarItem::width() const {
    auto view = impl_->item->customView();
    return view ? view->frame().size.width : 0;
}

double VelkoraBarItem::height() const {
    auto view = impl_->item->customView();
    return view ? view->frame().size.height : 0;
}

VelkoraRect VelkoraButton::frame() const {
    return rectOf(impl_->button->frame());
}

double VelkoraDevice::screenWidth() {
    return ui::Screen::main().bounds().size.width;
}
double VelkoraDevice::screenHeight() {
    return ui::Screen::main().bounds().size.height;
}
bool VelkoraDevice::isTablet() {
    return ui::Device::current().isPad();
}

void VelkoraDevice::setTablet(bool tablet) {
    ui::Device::current().setUserInterfaceIdiom(tablet ? ui::UserInterfaceIdiom::Pad : ui::UserInterfaceIdiom::Phone);
    ui::Screen::main().setBounds(tablet ? ui::Rect{0, 0, 768, 1024} : ui::Rect{0, 0, 320, 568});
}

VelkoraOrientation VelkoraDevice::orientation() {
    return static_cast<VelkoraOrientation>(ui::Application::instance().statusBarOrientation());
}

void VelkoraDevice::setOrientation(VelkoraOrientation orientation) {
    ui::Application::instance().setStatusBarOrientation(static_cast<int>(orientation));
}

bool velkoraSetInfoDictionaryJson(const std::string& json) {
    auto value = foundation::JsonSerialization::JSONObjectWithData(json);
    if (!value || !value->isDictionary()) return false;
    foundation::Bundle::main().setInfoDictionary(std::move(*value));
    return true;
}

void velkoraSetDataFolder(const std::string& folder) {
    foundation::Paths::setRoot(folder);
    foundation::UserDefaults::standard().setFilePath(foundation::Paths::documents() + "/velkora.userdefaults.json");
}

void velkoraSetResourcesFolder(const std::string& folder) {
    foundation::Bundle::main().setResourcesPath(folder);
}

void velkoraSetModulesFolder(const std::string& folder) {
    VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(folder + "/%@/lib%@.so");
}

std::shared_ptr<VelkoraLocationManager> VelkoraLocationManager::create() {
    auto manager = std::make_shared<VelkoraLocationManager>();
    manager->impl_ = std::make_shared<Impl>();
    manager->impl_->manager = services::LocationManager::create();
    manager->impl_->manager->startUpdatingLocation();
    return manager;
}

void VelkoraLocationManager::setDeviceLocation(const VelkoraGeoLocation& location) {
    services::LocationManager::setFix(services::LocationFix{location.latitude, location.longitude});
}

void VelkoraLocationManager::setLocationAllowed(bool allowed) {
    services::Device::instance().update(
        [allowed](services::DeviceProfile& p) { p.privacyAnswers[services::Prompt::Location] = allowed; });
}

void velkoraApplicationWillEnterForeground() {
    ui::postNotification("UIApplicationWillEnterForegroundNotification");
}

} // namespace velkora
