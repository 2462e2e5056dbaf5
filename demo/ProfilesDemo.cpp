// What a host's user sees of people: a seeded user's profile with posts, the user's own profile signed in
// and as an anonymous user would see it, the bio editor, and a list of a dozen followers.
#include <memory>
#include <string>

#include "DemoHost.h"
#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace {

using namespace velkora;

using demo::DemoHost;

// Opens a feature as a host would, waits for its requests, and writes its picture.
bool showFeature(demo::Demo& demo, const std::shared_ptr<DemoHost>& host, const std::string& feature,
                 foundation::Value object1, const std::string& picture) {
    auto screen = VelkoraScreenRegistry::instance().makeScreen(
        feature, foundation::Value(foundation::Dictionary{{"object1", std::move(object1)}}));
    if (!screen) {
        demo.say(feature + ": no screen");
        return false;
    }
    auto window = demo::showAsHostScreen(screen, host).window;
    auto& loop = demo.loop();
    loop.advance(0.5);
    loop.runUntil([] { return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty(); }, 20);
    loop.advance(0.5);
    window->layoutIfNeeded();
    const bool written = demo.writePng(*window, picture);
    loop.advance(3); // notices close before the window goes
    return written;
}

} // namespace

VELKORA_DEMO_STEP(profilesAndLists, 620, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    registerKitScreens();
    auto host = std::make_shared<DemoHost>();
    bool shown = true;
    demo.say("Mira's profile: her picture, place, bio, counts and posts");
    shown &= showFeature(demo, host, "profile", foundation::Value("u-mira"), "profile_other");

    demo::ensureUserData(demo);
    auto& session = VelkoraAgentInternal::instance();
    auto me = session.velkoraUser();
    demo.say("The user's own profile, with the block of their own settings");
    shown &= showFeature(demo, host, "myprofile", {}, "profile_own");
    if (me && me->isAnonymous()) {
        // The same screen once the user gave a name: the details and the block instead of the invitation.
        auto named = me->copy();
        named->setFirstName(std::string("Demo"));
        named->setLastName(std::string("User"));
        named->setCity(std::string("Lisbon"));
        session.setVelkoraUser(named);
        demo.say("The own profile of a user with a name: details over the block");
        shown &= showFeature(demo, host, "myprofile", {}, "profile_own_named");
        session.setVelkoraUser(me);
    }
    demo.say("The bio editor");
    shown &= showFeature(demo, host, "editAbout", {}, "profile_bio_editor");
    demo.say("Quinn's dozen followers in alphabetical order, each with a follow button");
    shown &= showFeature(demo, host, "userfollowers", foundation::Value("test-quinn"), "profile_followers");
    return shown;
}
