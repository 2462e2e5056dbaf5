// The kit's main loop: every callback of the kit (completions, notifications, replies, timers) runs on
// it, on the thread that runs it. A host either gives it a thread with run() or pumps it from its own
// loop with runOnce(), as games do.
#pragma once

#include <functional>

#include "velkora/Export.h"

namespace velkora {

class VELKORA_EXPORT VelkoraMainLoop {
public:
    VelkoraMainLoop() = delete;
    // Runs until stop() is called; the calling thread becomes the kit's main thread.
    static void run();
    // Handles what is due now or arrives within `timeoutSeconds` (0: only what is due), then returns;
    // true when something was handled.
    static bool runOnce(double timeoutSeconds);
    // Makes run() return; safe from any thread.
    static void stop();
    // Runs `task` on the main loop's thread, in order with everything else; safe from any thread.
    static void post(std::function<void()> task);
};

} // namespace velkora
