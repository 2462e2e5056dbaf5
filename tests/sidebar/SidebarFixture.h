// A host window of 320 x 480 points (or a 768 x 1024 tablet) with the kit's sidebar added beneath its root
// view by the host's call, as a host adds it: the session object makes the sidebar controller, its
// navigation controller and the gestures handler through the registry. The kit runs against
// velkora-service; the local user record lives in a temporary folder.
#pragma once

#include <filesystem>
#include <iostream>

#include <nlohmann/json.hpp>

#include "BuildPaths.h"
#include "data/VelkoraAppDeal.h"
#include "data/VelkoraAppDealsRepository.h"
#include "session/VelkoraChatsRepository.h"
#include "data/VelkoraUserInternal.h"
#include "host/HostInternals.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "session/VelkoraScreenRegistry.h"
#include "data/VelkoraUserInfo.h"
#include "shell/ShellServiceFixture.h"
#include "shell/VelkoraActivationGesturesHandler.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraMessageNotificationView.h"
#include "shell/VelkoraSidebarScreens.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraViewController.h"
#include "shell/VelkoraWidgetClasses.h"
#include "velkora/Velkora.h"
#include "velkora/VelkoraHost.h"

namespace velkora::testing {

// Every notification of some names, in order.
struct Recorder {
    std::vector<foundation::Notification> seen;
    std::vector<foundation::NotificationObserver> observers;
    explicit Recorder(std::initializer_list<const char*> names) {
        for (auto* name : names)
            observers.emplace_back(name, nullptr, [this](const foundation::Notification& n) { seen.push_back(n); });
    }
    size_t count(const std::string& name) const {
        return size_t(std::count_if(seen.begin(), seen.end(), [&](auto& n) { return n.name == name; }));
    }
    const foundation::Notification* last(const std::string& name) const {
        for (auto it = seen.rbegin(); it != seen.rend(); ++it)
            if (it->name == name) return &*it;
        return nullptr;
    }
};

inline std::shared_ptr<VelkoraUserInternal> user(const std::string& id, const std::string& first,
                                                 const std::string& last, std::optional<std::string> city = {}) {
    auto u = std::make_shared<VelkoraUserInternal>();
    u->setUserId(id);
    u->setFirstName(first);
    u->setLastName(last);
    u->setCity(std::move(city));
    return u;
}

// The host's window with the sidebar installed beneath its root view.
class SidebarHost {
public:
    // Leaves the registry to the test: the kit's own screens are registered once per process by the
    // host's first call, so that registration is made (and forgotten) before the test registers its own.
    static void prepareRegistry() {
        host::prepareKit();
        VelkoraScreenRegistry::instance().resetForTests();
    }
    // The host's window and root view, then the sidebar added beneath it on the given side by the host's
    // call (the configuration must have a change number).
    void install(bool left = true) {
        hostWindow = VelkoraWindow::create();
        window = hostWindow->impl()->window;
        host = std::make_shared<ui::ViewController>();
        host->view()->setBackgroundColor(ui::Color::fromHex("#F4F1EA"));
        window->setRootViewController(host);
        window->makeKeyAndVisible();
        registerSidebarScreens();
        Velkora::addSidebar(hostWindow, left);
        auto& session = VelkoraAgentInternal::instance();
        sidebar = std::dynamic_pointer_cast<VelkoraViewController>(session.velkoraVC());
        ASSERT_TRUE(sidebar) << "the sidebar was not added";
        nav = sidebar->velkoraNavController();
        gestures = VelkoraActivationGesturesHandler::current();
        ASSERT_TRUE(gestures);
        sidebar->view();
        foundation::RunLoop::main().advance(1);
    }
    void uninstall() {
        VelkoraAgentInternal::instance().closeView();
        sidebar.reset();
        nav.reset();
        gestures.reset();
        if (window) window->setHidden(true);
        window.reset();
        hostWindow.reset();
        host.reset();
    }
    VelkoraPanelView& panel() { return *sidebar->panelView(); }
    std::vector<std::string> rowIds() {
        std::vector<std::string> ids;
        for (auto& c : panel().commands())
            ids.push_back(c->commandId().value_or("?"));
        return ids;
    }
    double hostOffset() const { return host->view()->frame().origin.x; }
    static std::shared_ptr<ui::Image> screenshot() { return ui::Snapshot::imageOfScreen(); }

    std::shared_ptr<VelkoraWindow> hostWindow;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::ViewController> host;
    std::shared_ptr<VelkoraActivationGesturesHandler> gestures;
    std::shared_ptr<VelkoraViewController> sidebar;
    std::shared_ptr<ui::NavigationController> nav;
};

// The kit started by the host's call against velkora-service over loopback HTTPS, as a new device or as a
// user the service knows, with the configuration the service serves; the sidebar is added by the host's
// call when the test installs it. Time runs on the test clock; the ui starts fresh.
class SidebarFixture : public ShellServiceTest, public SidebarHost {
protected:
    // The configuration served when a test names none.
    static std::string plainConfiguration() { return configuration({}); }

    void SetUp() override {
        ShellServiceTest::SetUp();
        // The person answered the location prompt long ago: a menu with the radar asks nothing on screen.
        services::Device::instance().update(
            [](services::DeviceProfile& p) { p.privacyAnswers[services::Prompt::Location] = true; });
        VelkoraChatsRepository::resetForTests();
        resetUi();
        ui::Screen::main().setBounds({0, 0, 320, 480});
        prepareRegistry();
        VelkoraStyleSheetCustomizer::resetForTests();
        VelkoraAppDealsRepository::instance().cleaerRepository();
        VelkoraAppDealsRepository::instance().setLastUpdateTime(std::nullopt);
        svc.setAppConfiguration(kApp, plainConfiguration());
    }
    void TearDown() override {
        // What the kit logged explains most failures.
        if (HasFailure())
            for (const auto& line : capture_->lines())
                std::cerr << line << "\n";
        for (auto& w : ui::Application::instance().windows())
            for (auto& v : std::vector<ui::ViewPtr>(w->subviews()))
                if (auto b = std::dynamic_pointer_cast<VelkoraMessageNotificationView>(v))
                    b->closeNotificationTapped(nullptr);
        uninstall();
        resetUi();
        VelkoraChatsRepository::resetForTests();
        VelkoraScreenRegistry::instance().resetForTests();
        ShellServiceTest::TearDown();
    }
    static void resetUi() {
        ui::Application::instance().resetForTests();
        ui::InterfaceLoader::instance().reset();
        ui::Animator::reset();
        ui::TouchRouter::instance().reset();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
        registerVelkoraWidgetClasses();
    }

    // The application's configuration as the service serves it: the menu's rows in order, and other
    // settings of the configuration ({"welcomePopupMode": 1, ...}).
    struct Row {
        Row(std::string id, std::optional<std::string> name = {}, bool custom = false,
            std::optional<std::string> icon = {})
            : id(std::move(id)), name(std::move(name)), custom(custom), icon(std::move(icon)) {}
        std::string id;
        std::optional<std::string> name;
        bool custom;
        std::optional<std::string> icon;
    };
    static std::string configuration(const std::vector<Row>& rows, nlohmann::json settings = nlohmann::json::object()) {
        if (!settings.contains("appName")) settings["appName"] = "Trailmix";
        if (!settings.contains("leadingColor")) settings["leadingColor"] = 0x3B8FE0;
        if (!rows.empty()) {
            auto& list = settings["features"] = nlohmann::json::array();
            for (auto& r : rows) {
                nlohmann::json row{{"id", r.id}, {"custom", r.custom}};
                if (r.name) row["name"] = *r.name;
                if (r.icon) row["icon"] = *r.icon;
                list.push_back(std::move(row));
            }
        }
        return settings.dump();
    }
    // Serves a configuration: before the kit starts it is the one the kit starts with; once started, the
    // kit reads it again as it does on the return from the background.
    void serve(const std::string& json) {
        svc.setAppConfiguration(kApp, json);
        if (!started_) return;
        size_t asked = count("getAppData");
        velkoraApplicationWillEnterForeground();
        ASSERT_TRUE(waitFor([&] { return count("getAppData") > asked; }) && settle());
    }
    void serve(const std::vector<Row>& rows, nlohmann::json settings = nlohmann::json::object()) {
        serve(configuration(rows, std::move(settings)));
    }
    // The host starts the kit with its application id, as a new device unless the record names a user, and
    // waits for its completion; or, when the user's data is not to be waited for, for the configuration only.
    void start(bool waitForUser = true) {
        completed_ = false;
        Velkora::initWithAppId(kApp, [this] { completed_ = true; });
        started_ = true;
        if (waitForUser) {
            ASSERT_TRUE(waitFor([&] { return completed_; }) && settle());
            ASSERT_TRUE(agent().velkoraUser());
        } else {
            ASSERT_TRUE(waitFor([] { return agent().appData() && agent().appData()->changeNumber() != 0; }));
        }
        ASSERT_TRUE(agent().appData() && data().changeNumber() != 0);
    }
    // The kit started for a user the service knows, as a device whose record kept that user: the header
    // shows the user as the service answers getUserData.
    void startAs(const service::UserFields& fields) { startAsExisting(svc.createUser(kApp, fields)); }
    void startAsExisting(const std::string& id) {
        agent().initUserInfo(kApp);
        record().setUserId(id);
        record().setDeviceId(id);
        record().setAppId(std::string(kApp));
        agent().saveUserInfo();
        start();
        ASSERT_EQ(myId(), id);
    }
    // The next run of the host: the kit made anew reads its record from its file and starts again.
    void restart() {
        uninstall();
        VelkoraServerClientAgent::resetForTests();
        VelkoraAgentInternal::resetForTests();
        resetUi();
        prepareRegistry();
        started_ = false;
        start();
    }
    void install(bool left = true) {
        if (!started_) start();
        SidebarHost::install(left);
    }

    static VelkoraAgentInternal& agent() { return VelkoraAgentInternal::instance(); }
    static VelkoraAppData& data() { return *agent().appData(); }
    static VelkoraUserInfo& record() { return *agent().userInfo(); }
    static std::string myId() { return record().userId().value_or(""); }
    static service::UserFields named(const std::string& first, const std::string& last, const std::string& city = {}) {
        service::UserFields fields;
        fields.firstName = first;
        fields.lastName = last;
        fields.city = city;
        return fields;
    }
    // The popup on screen, if any.
    static std::shared_ptr<VelkoraDefaultOKPopupView> popup() {
        for (auto& w : ui::Application::instance().windows())
            if (!w->isHidden() && w->windowLevel() == ui::WindowLevel::Alert)
                for (auto& v : w->subviews())
                    if (auto p = std::dynamic_pointer_cast<VelkoraDefaultOKPopupView>(v)) return p;
        return nullptr;
    }
    // A tablet of 768 x 1024 points.
    static void becomeTablet() {
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Pad);
        ui::Screen::main().setBounds({0, 0, 768, 1024});
    }

private:
    bool started_ = false;
    bool completed_ = false;
};

} // namespace velkora::testing
