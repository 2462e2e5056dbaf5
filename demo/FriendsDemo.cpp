// What a host's user sees of finding and inviting friends and of the people nearby: the find and invite
// menu, the Facebook and Twitter friends who use the application, the contacts to invite by e-mail, the
// network chooser, and the radar as a map, as a list and with its follow overlay, around the demo device taken
// to Lisbon, where the seeded people are.
#include <memory>
#include <string>

#include "BuildPaths.h"
#include "DemoHost.h"
#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraSNFriendsRepository.h"
#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUserInternal.h"
#include "people/VelkoraFindFriendsViewController.h"
#include "people/VelkoraInviteSocialNetworkViewController.h"
#include "people/VelkoraRadarMapViewController.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Device.h"
#include "platform/services/LocationManager.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace {

using namespace velkora;

bool settled() {
    return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty();
}

// Shows a screen as the root of a host's stack until its requests are answered; `ready` says when what
// it shows has arrived. The window stays up while `then` runs, and the picture is written.
bool showScreen(demo::Demo& demo, const std::shared_ptr<demo::DemoHost>& host,
                const std::shared_ptr<ui::ViewController>& screen, const std::string& picture,
                const std::function<bool()>& ready = {}, const std::function<bool(ui::Window&)>& then = {}) {
    if (!screen) {
        demo.say(picture + ": no screen");
        return false;
    }
    auto window = demo::showAsHostScreen(screen, host).window;
    auto& loop = demo.loop();
    loop.advance(0.5);
    if (ready) {
        for (int i = 0; i < 20 && !ready(); ++i) {
            loop.runUntil(ready, 1);
            loop.advance(1);
        }
    }
    loop.runUntil(settled, 20);
    loop.advance(1);
    loop.runUntil(settled, 20);
    window->layoutIfNeeded();
    bool shown = demo.writePng(*window, picture);
    if (then) shown = then(*window) && shown;
    loop.advance(3);
    return shown;
}

} // namespace

VELKORA_DEMO_STEP(friendsAndRadar, 630, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    registerKitScreens();
    auto& device = services::Device::instance();
    if (!device.position())
        if (auto error = device.loadProfile(VELKORA_TESTS_SOURCE_DIR + "/../demo/device.json")) {
            demo.say("the device profile could not be read: " + error->description());
            return false;
        }
    auto& loop = demo.loop();
    auto caller = std::make_shared<int>(0);
    bool configured = false, named = false;
    VelkoraServerApi::getAppData(VelkoraCallback::make(caller, [&](const foundation::Value&) { configured = true; }));
    loop.runUntil([&] { return configured; }, 10);
    auto& agent = VelkoraAgentInternal::instance();
    if (!agent.twitterConnector()) agent.initTwitterConnector();
    if (!agent.fbConnector()) agent.initFacebookConnector();
    VelkoraServerApi::getUserData(VelkoraCallback::make(caller, [&](const foundation::Value& answer) {
        if (auto user = answer.asObject<VelkoraUserInternal>()) agent.setVelkoraUser(user);
        named = true;
    }));
    loop.runUntil([&] { return named; }, 20);
    if (auto me = agent.velkoraUser(); me && me->isAnonymous()) {
        me->setFirstName(std::string("Dana"));
        me->setLastName(std::string("Demo"));
        VelkoraServerApi::setUserData(me, {});
        loop.runUntil(settled, 20);
    }

    auto host = std::make_shared<demo::DemoHost>();
    bool shown = true;
    demo.say("The find and invite menu: the friends not yet followed on the badge, connect buttons");
    const std::vector<std::string> ids{"u-mira", "u-tomas", "u-lena", "u-ravi", "u-fan01", "u-fan02", "u-fan03"};
    // The people the friends lists show, as the service describes them.
    std::vector<VelkoraUserPtr> friends(ids.size());
    size_t described = 0;
    for (size_t i = 0; i < ids.size(); ++i)
        VelkoraServerApi::getOtherUserData(ids[i], VelkoraCallback::make(caller, [&, i](const foundation::Value& a) {
                                               friends[i] = a.asObject<VelkoraUserInternal>();
                                               ++described;
                                           }));
    loop.runUntil([&] { return described == ids.size(); }, 20);
    std::erase(friends, nullptr);
    if (friends.size() < 7) {
        demo.say("the seeded friends did not all come");
        return false;
    }
    VelkoraSNFriendsRepository::instance().setFacebookFriends(
        std::vector<VelkoraUserPtr>(friends.begin(), friends.begin() + 6));
    VelkoraSNFriendsRepository::instance().setTwitterFriends({friends[6]});
    shown &= showScreen(demo, host, VelkoraScreenRegistry::instance().makeScreen("invite"), "friends_menu");

    demo.say("Facebook and Twitter friends who use the application: four and \"more\", each with a follow button");
    agent.userInfo()->setFbId(100009000000001);
    shown &= showScreen(demo, host, VelkoraFindFriendsViewController::create(), "friends_find");
    agent.userInfo()->setFbId(0);

    demo.say("The device's contacts to invite by e-mail, in an index with a search field");
    auto contacts = VelkoraInviteSocialNetworkViewController::create();
    contacts->importFromContacts();
    shown &= showScreen(demo, host, contacts, "friends_invite_contacts", [&] { return contacts->hasList(); });

    demo.say("The network chooser");
    {
        // A host that names its Facebook application, on a device signed in to Twitter: both networks are
        // offered. The device and the host are put back as they were afterwards.
        auto& bundle = foundation::Bundle::main();
        const foundation::Value info = bundle.infoDictionary();
        foundation::Dictionary named = info.asDictionary() ? *info.asDictionary() : foundation::Dictionary{};
        named.set("CFBundleURLTypes",
                  foundation::Value(foundation::Array{foundation::Value(foundation::Dictionary{
                      {"CFBundleURLSchemes",
                       foundation::Value(foundation::Array{foundation::Value("fb100009000000009")})}})}));
        bundle.setInfoDictionary(foundation::Value(std::move(named)));
        VelkoraAppSettings::instance().retreiveFBAppIdFromPlist();
        const auto accounts = device.twitterAccounts();
        if (accounts.empty())
            device.update([](services::DeviceProfile& p) {
                p.twitterAccounts.push_back(
                    {"dana_games", "900000002", "900000002-gM4nB7xKe1TzQ9hUv", "sEcR3t-dana-games-4Wp8"});
            });
        if (auto data = agent.appData()) {
            data->setEnableFacebook(true);
            data->setEnableTwitter(true);
        }
        shown &= showScreen(demo, host, VelkoraScreenRegistry::instance().makeScreen("findFriendsNetworks"),
                            "friends_chooser");
        bundle.setInfoDictionary(info);
        VelkoraAppSettings::instance().retreiveFBAppIdFromPlist();
        device.update([&](services::DeviceProfile& p) { p.twitterAccounts = accounts; });
    }

    demo.say("The radar around the device: the people near it pinned, then the list, then the overlay");
    // The seeded people live in Lisbon: the device goes there for the radar.
    services::LocationManager::setFix(services::LocationFix{38.7200, -9.1420});
    agent.getNonEmptyLocationManager();
    loop.advance(1);
    if (auto info = agent.userInfo()) info->setDontShowRadarOverlayView(false);
    auto radar =
        std::dynamic_pointer_cast<VelkoraRadarMapViewController>(VelkoraScreenRegistry::instance().makeScreen("radar"));
    shown &= showScreen(
        demo, host, radar, "radar_overlay", [&] { return radar && radar->nearbyUsersWereFetched(); },
        [&](ui::Window& window) {
            radar->hideOverlayView();
            window.layoutIfNeeded();
            bool ok = demo.writePng(window, "radar_map");
            radar->listViewTapped(nullptr);
            loop.advance(1);
            window.layoutIfNeeded();
            return demo.writePng(window, "radar_list") && ok;
        });
    return shown;
}
