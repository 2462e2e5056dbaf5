// What a host's user meets when the kit connects their social accounts: the demo device's Twitter
// account logs the user in, the friends who use the application are found among its Twitter friends,
// and the three things a person may be asked or told on the way: which of several accounts to use, that
// the device has no account, and whether to take a Twitter identity from the account that holds it.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "BuildPaths.h"
#include "BuildTreeModules.h"
#include "DemoSteps.h"
#include "data/VelkoraUserInternal.h"
#include "social/VelkoraTwitterConnector.h"
#include "social/VelkoraUserSignUpHelper.h"
#include "social/VelkoraUsersFetcher.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/services/Device.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraWidgetClasses.h"

namespace {

using namespace velkora;
using foundation::Value;

struct Outcome {
    bool heard = false;
    Value answer;
    foundation::ErrorPtr error;
    void answered(const Value& v) {
        heard = true;
        answer = v;
    }
    void failed(const foundation::ErrorPtr& e) {
        heard = true;
        error = e;
    }
};

struct Friends : VelkoraUsersFetcherDelegate {
    std::vector<std::string> names;
    int replies = 0;
    void handleNewData(VelkoraUsersFetcher& fetcher) override {
        ++replies;
        for (const auto& u : fetcher.getUsers())
            names.push_back(u->firstName().value_or("") + " " + u->lastName().value_or(""));
    }
};

// The kit's popups are made from interface files whose animations live in the build tree's module.
void useKitInterfaces() {
    registerVelkoraWidgetClasses();
    demo::useBuildTreeModules("QuartzCore");
}

std::shared_ptr<ui::Window> hostWindow() {
    auto window = ui::Window::createFullScreen();
    window->setBackgroundColor(ui::Color::fromHex("#E9EDF2"));
    window->setRootViewController(std::make_shared<ui::ViewController>());
    window->makeKeyAndVisible();
    return window;
}

// The alert-level window a popup shows in, other than the host's.
std::shared_ptr<ui::Window> popupWindow(const std::shared_ptr<ui::Window>& host) {
    for (const auto& w : ui::Application::instance().windows())
        if (w != host && !w->isHidden()) return w;
    return nullptr;
}

void closePopups(const std::shared_ptr<ui::Window>& host) {
    while (auto w = popupWindow(host)) {
        bool closed = false;
        for (const auto& v : w->subviews())
            if (auto popup = std::dynamic_pointer_cast<VelkoraDefaultOKPopupView>(v)) {
                popup->close();
                closed = true;
            }
        if (!closed) w->setHidden(true);
        foundation::RunLoop::main().advance(1);
    }
}

} // namespace

VELKORA_DEMO_STEP(peopleAndFriends, 610, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    // The device the social accounts step loaded (or the host's own, from VELKORA_DEVICE).
    if (services::Device::instance().twitterAccounts().empty()) {
        demo.say("Twitter: the device has no account to log in with");
        return false;
    }
    useKitInterfaces();
    auto& loop = demo.loop();
    auto wait = [&](const std::function<bool()>& done) { return loop.runUntil(done, 20); };
    foundation::UrlConnection::setCaFile(demo.caFile());
    const std::string base = "https://127.0.0.1:" + std::to_string(demo.servicePort());
    services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::TwitterApi, base + "/twitter");
    services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::FacebookGraph, base + "/graph");
    auto& agent = VelkoraAgentInternal::instance();
    agent.initTwitterConnector();
    auto twitter = agent.twitterConnector();
    auto host = hostWindow();
    bool shown = true;

    // Log in with the device's Twitter account; the service knows it as a seeded account.
    auto details = std::make_shared<Outcome>();
    twitter->getUserDetailsWithView(host->rootViewController()->view().get(),
                                    VelkoraConnectorTarget::make(details, [details](const Value& v) {
                                        details->heard = true;
                                        details->answer = v;
                                    }));
    if (!wait([&] { return details->heard; }) || details->answer.isNull()) {
        demo.say("Twitter: the device's account did not identify the user");
        return false;
    }
    demo.say("Twitter: the device's account is @" + details->answer["screen_name"].textOr("?") + ", id " +
             details->answer["id"].toText().value_or("?"));
    auto helper = VelkoraUserSignUpHelper::create();
    auto login = std::make_shared<Outcome>();
    helper->connectServerWithDetails(details->answer, 1, 3, false, true,
                                     VelkoraCallback(login, &Outcome::answered, &Outcome::failed));
    wait([&] { return login->heard; });
    if (login->error || !login->answer.toText()) {
        demo.say("Twitter: the log-in failed");
        return false;
    }
    demo.say("Twitter: logged in as the account " + *login->answer.toText() + " (" +
             agent.velkoraUser()->firstName().value_or("") + ")");

    // The friends who use the application, found among the account's Twitter friends.
    auto fetcher = VelkoraSNUserFetcher::create();
    fetcher->setSocialNetwork(1);
    auto friends = std::make_shared<Friends>();
    fetcher->loadUsersWithDelegate(friends);
    wait([&] { return friends->replies > 0; });
    std::string list;
    for (const auto& name : friends->names)
        list += (list.empty() ? "" : ", ") + name;
    demo.say("Twitter friends using the application: " + (list.empty() ? std::string("none") : list));
    shown &= !friends->names.empty();

    // Several accounts on the device: the person chooses, here cancels.
    services::Device::instance().update([](services::DeviceProfile& p) {
        p.twitterAccounts.push_back(
            {"dana_games", "900000002", "900000002-gM4nB7xKe1TzQ9hUv", "sEcR3t-dana-games-4Wp8"});
        p.twitterAccounts.push_back({"dana_work", "900000003", "900000003-wR6cY2pLs8DfN3jAo", "sEcR3t-dana-work-1Kz5"});
    });
    auto chosen = std::make_shared<Outcome>();
    twitter->getUserDetailsWithView(
        host->rootViewController()->view().get(),
        VelkoraConnectorTarget::make(chosen, [chosen](const Value&) { chosen->heard = true; }));
    wait([&] { return twitter->chooser() != nullptr; });
    loop.advance(1);
    shown &= twitter->chooser() && demo.writeScreenPng("people-twitter-chooser");
    if (auto chooser = twitter->chooser()) chooser->tapButtonAtIndex(chooser->cancelButtonIndex());
    wait([&] { return chosen->heard; });

    // No account at all: the person is told what to do.
    services::Device::instance().update([](services::DeviceProfile& p) { p.twitterAccounts.clear(); });
    auto none = std::make_shared<Outcome>();
    twitter->getUserDetailsWithView(host->rootViewController()->view().get(),
                                    VelkoraConnectorTarget::make(none, [none](const Value&) { none->heard = true; }));
    wait([&] { return none->heard && popupWindow(host) != nullptr; });
    loop.advance(1);
    shown &= popupWindow(host) && demo.writeScreenPng("people-twitter-no-accounts");
    closePopups(host);

    // Mira's Twitter identity belongs to her own account: the signed-in user is asked before taking it.
    auto taken = std::make_shared<Outcome>();
    helper->connectServerWithDetails(
        Value(foundation::Dictionary{{"id", Value(foundation::Number("900000101"))}, {"name", Value("Mira Okafor")}}),
        0, 3, false, true, VelkoraCallback(taken, &Outcome::answered, &Outcome::failed));
    wait([&] { return popupWindow(host) != nullptr; });
    loop.advance(1);
    shown &= popupWindow(host) && demo.writeScreenPng("people-override-question");
    for (const auto& v : popupWindow(host) ? popupWindow(host)->subviews() : std::vector<ui::ViewPtr>{})
        if (auto popup = std::dynamic_pointer_cast<VelkoraDefaultOKPopupView>(v)) popup->cancelTapped(nullptr);
    wait([&] { return taken->heard; });
    demo.say(taken->heard && !taken->error
                 ? "the user said no: Mira's Twitter identity stays with her account, and nothing was connected"
                 : "the answer to the question was not what the user chose");
    closePopups(host);
    return shown;
}
