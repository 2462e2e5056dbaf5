// A host window of 320 x 480 points (or a 768 x 1024 tablet) with the kit's sidebar added beneath its root
// view by the host's call, as a host adds it: the session object makes the sidebar controller, its
// navigation controller and the gestures handler through the registry. The local user record and the
// configuration live in a temporary folder; the configuration is set by each test.
#pragma once

#include <filesystem>

#include "data/VelkoraAppDeal.h"
#include "data/VelkoraAppDealsRepository.h"
#include "data/VelkoraUserInternal.h"
#include "host/HostInternals.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/Window.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraAppData.h"
#include "session/VelkoraAppSettings.h"
#include "session/VelkoraScreenRegistry.h"
#include "session/VelkoraUserInfo.h"
#include "shell/VelkoraActivationGesturesHandler.h"
#include "shell/VelkoraSidebarScreens.h"
#include "shell/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraViewController.h"
#include "shell/WidgetFixture.h"

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

inline std::shared_ptr<VelkoraAppFeatures> feature(const std::string& name, std::optional<std::string> title,
                                                   bool custom = false, std::optional<std::string> icon = {}) {
    auto f = std::make_shared<VelkoraAppFeatures>();
    f->setFeatureId(name);
    f->setFeatureName(std::move(title));
    f->setIsCustom(custom);
    f->setFeatureIcon(std::move(icon));
    return f;
}

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

class SidebarFixture : public WidgetFixture, public SidebarHost {
protected:
    void SetUp() override {
        WidgetFixture::SetUp();
        char pattern[] = "/tmp/velkora-sidebar-XXXXXX";
        root_ = mkdtemp(pattern);
        foundation::Paths::setRoot(root_);
        VelkoraAgentInternal::resetForTests();
        prepareRegistry();
        VelkoraStyleSheetCustomizer::resetForTests();
        VelkoraAppDealsRepository::instance().cleaerRepository();
        VelkoraAppDealsRepository::instance().setLastUpdateTime(std::nullopt);
        ui::Screen::main().setBounds({0, 0, 320, 480});
        agent().initUserInfo("A");
        agent().initAppData("A");
        data().setAppName(std::string("Trailmix"));
        data().setChangeNumber(1);
        capture_ = std::make_unique<foundation::Log::Capture>();
    }
    void TearDown() override {
        uninstall();
        capture_.reset();
        VelkoraAgentInternal::resetForTests();
        VelkoraScreenRegistry::instance().resetForTests();
        WidgetFixture::TearDown();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
        foundation::Paths::reset();
    }

    static VelkoraAgentInternal& agent() { return VelkoraAgentInternal::instance(); }
    static VelkoraAppData& data() { return *agent().appData(); }
    static VelkoraUserInfo& record() { return *agent().userInfo(); }
    bool logged(const std::string& text) const { return capture_->contains(text); }

private:
    std::string root_;
    std::unique_ptr<foundation::Log::Capture> capture_;
};

} // namespace velkora::testing
