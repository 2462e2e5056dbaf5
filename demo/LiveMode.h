// velkora-demo --window: the kit live in a desktop window.
#pragma once

#include <string>

#include "DemoSteps.h"

namespace velkora::demo {

struct LiveOptions {
    double scale = 1.0;
    std::string snapshotPath; // where SIGUSR1 writes the screen; empty: nowhere
};

// Runs until the person closes the window; the exit status.
int runLiveWindow(Demo& demo, const LiveOptions& options);

} // namespace velkora::demo
