// A host application in miniature: it finds the installed kit, starts a session with velkora-service
// (VELKORA_SERVER, VELKORA_SERVER_CA), pumps the kit's main loop from its own loop and says when the kit
// is ready and the start has completed. With the service it then places the like and comment controls
// in a view of its own, binds them to a picture of its own and taps them.
#include <velkora/Velkora.h>
#include <velkora/VelkoraCommentButton.h>
#include <velkora/VelkoraHost.h>
#include <velkora/VelkoraLikeButton.h>
#include <velkora/VelkoraMainLoop.h>
#include <velkora/VelkoraNotifications.h>
#include <velkora/Version.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>

namespace {

// Pumps the kit's loop until `done`, for at most `seconds`.
bool pumpUntil(const std::function<bool()>& done, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        velkora::VelkoraMainLoop::runOnce(0.1);
    return done();
}

bool fail(const char* what) {
    std::cerr << "velkora consumer: " << what << "\n";
    return false;
}

bool controls() {
    using velkora::host::VelkoraCommentButton;
    using velkora::host::VelkoraLikeButton;
    auto window = velkora::VelkoraWindow::create();
    auto screen = velkora::VelkoraView::create({0, 60, 320, 200});
    window->addView(screen);
    window->makeKeyAndVisible();

    // The host's things are new on every run: the script runs the host twice against one service.
    const std::string picture =
        "consumer-picture-" + std::to_string(std::chrono::system_clock::now().time_since_epoch().count());
    auto like = VelkoraLikeButton::create({20, 20, 64, 28});
    like->addTo(screen);
    int settled = 0;
    like->setDelegate([&](const std::string&, bool liked) { settled += liked ? 1 : 0; });
    like->updateLikeObject(picture, VelkoraLikeButton::IMAGE, std::string("The host's picture"));
    auto comment = VelkoraCommentButton::create({100, 20, 64, 28});
    comment->addTo(screen);
    comment->updateImageCommentObject(picture, std::string("The host's picture"));
    if (!pumpUntil([&] { return like->isReady() && comment->isReady(); }, 30)) return fail("controls not ready");
    window->touchDown(40, 94);
    window->touchUp(40, 94);
    if (!like->isPending() || like->count() != 1) return fail("the tap did not show the like at once");
    if (!pumpUntil([&] { return !like->isPending(); }, 30) || !like->isLiked() || settled != 1)
        return fail("the like did not settle");
    comment->click();

    // A control gone with its like on the way is never called; the like itself is kept.
    auto gone = VelkoraLikeButton::create({20, 60, 64, 28});
    gone->addTo(screen);
    gone->updateLikeObject(picture + "-2", VelkoraLikeButton::IMAGE);
    if (!pumpUntil([&] { return gone->isReady(); }, 30)) return fail("second control not ready");
    int calls = 0;
    gone->setDelegate([&](const std::string&, bool) { ++calls; });
    gone->clickLike();
    gone.reset();
    auto again = VelkoraLikeButton::create({20, 60, 64, 28});
    again->updateLikeObject(picture + "-2", VelkoraLikeButton::IMAGE);
    if (!pumpUntil([&] { return again->isReady() && !again->isPending() && again->isLiked(); }, 30))
        return fail("the like of the destroyed control was lost");
    if (calls != 0) return fail("a destroyed control was called back");
    return true;
}

} // namespace

int main() {
    bool ready = false;
    bool completed = false;
    auto readiness =
        velkora::observe(velkora::kVelkoraIsReady, [&](const velkora::VelkoraNotificationInfo&) { ready = true; });
    velkora::Velkora::initWithAppId("velkora-demo", [&] { completed = true; });
    if (!pumpUntil([&] { return ready && completed; }, 60)) {
        std::cerr << "velkora: not ready (ready " << ready << ", completed " << completed << ")\n";
        return 1;
    }
    // Without a service nothing answers the controls.
    if (std::getenv("VELKORA_SERVER") && !controls()) return 1;
    std::cout << "velkora " << velkora::versionString() << " ready\n";
    return 0;
}
