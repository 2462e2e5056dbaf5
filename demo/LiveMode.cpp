// velkora-demo --window: the kit live in a desktop window against the service, with the demo's data. The
// host's screen carries the kit's activation button, which opens the sidebar; from there a person clicks
// and types through every feature. SIGUSR1 writes the screen as the headless drawing shows it, and a list
// of what is on it with its place, beside the --snapshot path (for scripts that drive the window).
#include "LiveMode.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "DemoHost.h"
#include "VelkoraKitScreens.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Label.h"
#include "platform/ui/LiveWindow.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "shell/VelkoraActivationView.h"

namespace velkora::demo {

namespace {

std::atomic<bool> snapshotAsked{false};

void askSnapshot(int) {
    snapshotAsked = true;
    foundation::RunLoop::main().wakeUp();
}

void listViews(ui::View& v, const ui::Window& window, std::ofstream& out) {
    if (v.isHidden() || v.alpha() < 0.01) return;
    // One line a view: its place on screen in points, its class and its text (on one line).
    std::string text = v.dumpText();
    for (char& c : text)
        if (c == '\n') c = ' ';
    ui::Rect r = v.convertRectToView(v.bounds(), nullptr);
    ui::Point origin = window.convertPointToWindow({r.x(), r.y()}, nullptr);
    out << origin.x << ' ' << origin.y << ' ' << r.width() << ' ' << r.height() << ' ' << v.className() << ' ' << text
        << '\n';
    for (auto& sub : v.subviews())
        listViews(*sub, window, out);
}

void writeSnapshot(const Demo& demo, const std::string& path, double scale) {
    bool written = ui::Snapshot::writeScreenPng(path, scale);
    std::ofstream list(path + ".txt");
    for (auto& w : ui::Application::instance().windows())
        if (!w->isHidden()) listViews(*w, *w, list);
    demo.say(written ? "snapshot " + path : "could not write " + path);
}

} // namespace

int runLiveWindow(Demo& demo, const LiveOptions& options) {
    if (!demo.ensureSession()) return 1;
    auto& loop = demo.loop();
    auto caller = std::make_shared<int>(0);
    bool configured = false;
    VelkoraServerApi::getAppData(VelkoraCallback::make(caller, [&](const foundation::Value&) { configured = true; }));
    loop.runUntil([&] { return configured; }, 10);
    if (auto data = VelkoraAgentInternal::instance().appData()) data->setWelcomePopupMode(0);
    ensureUserData(demo);

    // The host's own screen, with the kit's button that opens the sidebar.
    auto window = ui::Window::createFullScreen();
    auto host = std::make_shared<ui::ViewController>();
    host->view()->setBackgroundColor(ui::Color::fromHex("#F4F1EA"));
    auto hostLabel = ui::Label::create({20, 200, 280, 40});
    hostLabel->setText("The host's own screen");
    hostLabel->setTextAlignment(ui::TextAlignment::Center);
    host->view()->addSubview(hostLabel);
    auto button = VelkoraActivationView::create();
    button->setFrame({12, 28, button->frame().width(), button->frame().height()});
    host->view()->addSubview(button);
    window->setRootViewController(host);
    window->makeKeyAndVisible();
    registerKitScreens();
    VelkoraAgentInternal::instance().addSidebar(window, true);

    std::string error;
    auto live = ui::LiveWindow::open({"Velkora demo", options.scale}, &error);
    if (!live) {
        demo.say("no window could be opened: " + error);
        return 1;
    }
    std::signal(SIGUSR1, askSnapshot);
    live->drawIfNeeded();
    char id[32];
    std::snprintf(id, sizeof id, "%lu", live->nativeId());
    demo.say(std::string("live window ") + id + " ready; close it to end");
    while (!live->isClosed()) {
        loop.runOnce(1.0);
        live->drawIfNeeded();
        if (snapshotAsked.exchange(false) && !options.snapshotPath.empty())
            writeSnapshot(demo, options.snapshotPath, options.scale);
    }
    std::signal(SIGUSR1, SIG_DFL);
    VelkoraAgentInternal::instance().closeView();
    window->setHidden(true);
    return 0;
}

} // namespace velkora::demo
