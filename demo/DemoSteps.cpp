#include "DemoSteps.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/Application.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/WebView.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/VelkoraServerEndpoint.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppSettings.h"
#include "shell/VelkoraLazyImageView.h"

namespace velkora::demo {

namespace {

std::vector<DemoStep>& registered() {
    static std::vector<DemoStep> steps;
    return steps;
}

bool picturesArrived(const ui::View& view) {
    if (auto* lazy = dynamic_cast<const VelkoraLazyImageView*>(&view); lazy && lazy->isLoading()) return false;
    if (auto* page = dynamic_cast<const ui::WebView*>(&view); page && page->picturesLoading()) return false;
    for (const auto& sub : view.subviews())
        if (!picturesArrived(*sub)) return false;
    return true;
}

// A picture is taken once the pictures on show have come (or failed for good): a person looking at the
// screen a moment later sees them, not their placeholders. A download that failed tries again a second
// later on the loop's clock.
void waitForPictures(foundation::RunLoop& loop, ui::View* view) {
    auto arrived = [view] {
        if (view && !picturesArrived(*view)) return false;
        for (const auto& window : ui::Application::instance().windows())
            if (!window->isHidden() && !picturesArrived(*window)) return false;
        return true;
    };
    for (int round = 0; round < 4 && !arrived(); ++round) {
        if (loop.runUntil(arrived, 5)) break;
        loop.advance(1);
    }
    if (view) view->layoutIfNeeded();
}

} // namespace

void DemoSteps::add(DemoStep step) {
    registered().push_back(std::move(step));
}

std::vector<DemoStep> DemoSteps::all() {
    std::vector<DemoStep> steps = registered();
    std::stable_sort(steps.begin(), steps.end(),
                     [](const DemoStep& a, const DemoStep& b) { return a.order < b.order; });
    return steps;
}

Demo::Demo(std::string outputDir, int servicePort, std::string caFile)
    : outputDir_(std::move(outputDir)), servicePort_(servicePort), caFile_(std::move(caFile)) {}

foundation::RunLoop& Demo::loop() const {
    return foundation::RunLoop::main();
}

void Demo::say(const std::string& text) const {
    std::printf("velkora-demo: %s\n", text.c_str());
    std::fflush(stdout);
}

bool Demo::ensureSession() {
    if (sessionTried_) return sessionStarted_;
    sessionTried_ = true;
    if (!hasService()) {
        say("no velkora-service: no host session");
        return false;
    }
    foundation::UrlConnection::setCaFile(caFile_);
    VelkoraServerEndpoint::setServer("127.0.0.1:" + std::to_string(servicePort_));
    VelkoraAgentInternal::instance().initUserInfo(appId_);
    VelkoraAgentInternal::instance().initAppData(appId_);
    VelkoraAppSettings::instance().setAppId(appId_);
    VelkoraServerApi::startSession(appId_, nullptr);
    auto& agent = VelkoraServerClientAgent::instance();
    if (!loop().runUntil([&] { return agent.isSessionInitialized(); }, 20)) {
        say("the session did not get a user id");
        return false;
    }
    sessionStarted_ = true;
    say("session started; the service made our user " + agent.userId().value_or(""));
    // Screens take the application's name and colour from its configuration: it is in before any screen opens.
    auto caller = std::make_shared<int>(0);
    bool configured = false;
    VelkoraServerApi::getAppData(VelkoraCallback::make(caller, [&](const foundation::Value&) { configured = true; }));
    if (!loop().runUntil([&] { return configured; }, 10))
        say("the service sent no configuration: the screens show the kit's own name and colours");
    return true;
}

void Demo::endSession() {
    if (!sessionTried_) return;
    VelkoraServerApi::setMessagesDelegate({});
    VelkoraServerApi::pause();
    VelkoraServerClientAgent::resetForTests(); // lets go of the connections before the service stops
    foundation::UrlConnection::closeIdleConnections();
    sessionTried_ = sessionStarted_ = false;
}

bool Demo::writePng(ui::View& view, const std::string& name) const {
    waitForPictures(loop(), &view);
    std::string path = outputDir_ + "/" + name + ".png";
    bool written = ui::Snapshot::writePng(view, path);
    say(written ? "picture " + path : "could not write " + path);
    return written;
}

bool Demo::writeScreenPng(const std::string& name) const {
    waitForPictures(loop(), nullptr);
    std::string path = outputDir_ + "/" + name + ".png";
    bool written = ui::Snapshot::writeScreenPng(path);
    say(written ? "screen " + path : "could not write " + path);
    return written;
}

} // namespace velkora::demo
