// What a host's user sees of the activity feed: the feed with its invitation as an anonymous user, the
// same feed after an e-mail sign-up, and one seeded user's posts.
#include <functional>
#include <memory>
#include <string>

#include "DemoHost.h"
#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "data/VelkoraLikeObject.h"
#include "data/VelkoraUsersRepository.h"
#include "feed/VelkoraFeedLikeImageCell.h"
#include "feed/VelkoraFeedTableController.h"
#include "feed/VelkoraFeedViewController.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraFeedMessagesRepository.h"
#include "session/VelkoraScreenRegistry.h"
#include "velkora/VelkoraUser.h"

namespace {

using namespace velkora;

bool idle() {
    return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty();
}

// Shows a screen as a host would, lets its requests (and what `drain` waits for) and pictures arrive, and
// writes it; `then` runs with the screen still up, after its picture.
bool showAndWrite(demo::Demo& demo, const std::shared_ptr<demo::DemoHost>& host,
                  const std::shared_ptr<ui::ViewController>& screen, const std::string& picture,
                  const std::function<void()>& drain = {}, const std::function<bool(ui::Window&)>& then = {}) {
    auto window = demo::showAsHostScreen(screen, host).window;
    auto& loop = demo.loop();
    for (int i = 0; i < 4; ++i) {
        loop.advance(0.5);
        loop.runUntil(idle, 20);
        if (drain) drain();
        loop.runUntil([] { return false; }, 0.5);
    }
    window->layoutIfNeeded();
    bool written = demo.writePng(*window, picture);
    if (then) written = then(*window) && written;
    loop.advance(3);
    return written;
}

// A feed screen, written once its list has come.
bool showFeed(demo::Demo& demo, const std::shared_ptr<demo::DemoHost>& host, const std::string& feature,
              foundation::Value arguments, const std::string& picture,
              const std::function<bool(VelkoraFeedViewController&, ui::Window&)>& then = {}) {
    auto screen = std::dynamic_pointer_cast<VelkoraFeedViewController>(
        VelkoraScreenRegistry::instance().makeScreen(feature, arguments));
    if (!screen) {
        demo.say(feature + ": no screen");
        return false;
    }
    const bool written = showAndWrite(
        demo, host, screen, picture,
        [&] {
            if (screen->serialQueue()) screen->serialQueue()->waitUntilIdle();
        },
        then ? std::function<bool(ui::Window&)>([&](ui::Window& w) { return then(*screen, w); }) : nullptr);
    return written && !screen->getMessagesAndLikes().empty();
}

// Another of the feed's screens, by its feature name.
bool showScreen(demo::Demo& demo, const std::shared_ptr<demo::DemoHost>& host, const std::string& feature,
                const std::string& picture) {
    auto screen = VelkoraScreenRegistry::instance().makeScreen(feature);
    if (!screen) {
        demo.say(feature + ": no screen");
        return false;
    }
    return showAndWrite(demo, host, screen, picture);
}

// A liked picture of the host's, the row a person shares.
bool isPicture(const VelkoraActivityModel* item) {
    const auto* like = dynamic_cast<const VelkoraLikeObject*>(item);
    return like && like->type() == VelkoraLikeObject::IMAGE;
}

} // namespace

VELKORA_DEMO_STEP(feedScreen, 640, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    registerKitScreens();
    auto host = std::make_shared<demo::DemoHost>();
    auto& loop = demo.loop();
    // The demo's user follows the seeded people, so their posts and likes reach its feed.
    for (const char* id : {"u-mira", "u-tomas", "u-lena", "u-ravi"}) {
        auto user = VelkoraUsersRepository::instance().userWithId(id);
        if (!user->userId()) user->setUserId(std::string(id));
        user->setAppId(demo.appId());
        VelkoraServerApi::addFollowing(user);
    }
    loop.runUntil(idle, 20);
    auto& feed = VelkoraFeedMessagesRepository::instance();
    feed.resetRepository();
    loop.runUntil([&] { return feed.didFinishLoading(); }, 20);
    bool shown = true;
    // An earlier step may have signed the demo's user in: the anonymous feed is shown for a nameless copy.
    auto& session = VelkoraAgentInternal::instance();
    auto me = session.velkoraUser();
    if (me && !me->isAnonymous()) {
        auto nameless = me->copy();
        nameless->setFirstName(std::string());
        nameless->setLastName(std::string());
        session.setVelkoraUser(nameless);
    }
    demo.say("The feed as an anonymous user sees it: the invitation over the people followed");
    shown &= showFeed(demo, host, "feed", {}, "feed_anonymous");
    if (me && !me->isAnonymous()) {
        session.setVelkoraUser(me);
    } else {
        bool answered = false;
        VelkoraUser::signUpWithEmail("feed.demo@demo.velkora.example", "Feed Demo", "harbour42",
                                     [&](std::shared_ptr<VelkoraUser>, bool) { answered = true; });
        loop.runUntil([&] { return answered; }, 30);
        loop.runUntil(idle, 20);
    }
    demo.say("The feed of a user signed up by e-mail: people to follow instead of the invitation");
    shown &=
        showFeed(demo, host, "feed", {}, "feed_signed_up", [&](VelkoraFeedViewController& screen, ui::Window& window) {
            // The user scrolls down to a picture someone liked and taps the share button under it.
            const auto& items = screen.getMessagesAndLikes();
            for (size_t i = 0; i < items.size(); ++i) {
                if (!isPicture(items[i].get())) continue;
                screen.feedTable()->scrollToRowAtIndexPath(ui::IndexPath::of(static_cast<int>(i), 0),
                                                           ui::TableViewScrollPosition::Middle, false);
                break;
            }
            window.layoutIfNeeded();
            // Its picture comes before the popup goes up over it.
            loop.runUntil([] { return foundation::UrlConnection::activeCount() == 0; }, 20);
            loop.advance(1);
            window.layoutIfNeeded();
            std::shared_ptr<VelkoraFeedLikeImageCell> pictureRow;
            for (const auto& cell : screen.feedTable()->visibleCells())
                if (auto row = std::dynamic_pointer_cast<VelkoraFeedLikeImageCell>(cell);
                    row && !pictureRow && isPicture(row->likeObject().get()))
                    pictureRow = row;
            if (!pictureRow || !screen.tableController()) {
                // Not a failure of the kit: the feed in view simply holds no picture to share.
                demo.say("No picture is in view in this feed, so the share popup is not shown here");
                return true;
            }
            screen.tableController()->shareTapped(*pictureRow);
            loop.advance(1);
            window.layoutIfNeeded();
            demo.say("Sharing a picture from the feed: the popup offers Facebook, Twitter and e-mail");
            const bool ok = demo.writePng(window, "feed_share");
            screen.tableController()->closeTapped(nullptr);
            loop.advance(1);
            return ok;
        });

    demo.say("The people the service suggests to follow, on a screen of their own with a button that follows them all");
    shown &= showScreen(demo, host, "suggestedUsers", "feed_suggested_users");

    demo.say("Mira's posts");
    shown &= showFeed(demo, host, "userPosts",
                      foundation::Value(foundation::Dictionary{{"object1", foundation::Value("u-mira")}}),
                      "feed_user_posts");
    return shown;
}
