// velkora-demo: a host application in miniature. It starts velkora-service as a child process when it is
// given one, runs the demo's steps (see DemoSteps.h) against it, writes their screens as PNGs into the
// output folder, and exits by itself.
//
//   velkora-demo [--service PATH] [--output DIR]
//   velkora-demo --window [--service PATH | --port N --ca FILE] [--scale N] [--snapshot PATH]
// With --window the kit runs live in a desktop window instead (see LiveMode.h), against the service it
// starts or one already listening on the loopback port given, signed by the CA file given.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "BuildTreeModules.h"
#include "DemoSteps.h"
#include "LiveMode.h"
#include "ServiceProcess.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "velkora/Version.h"

using namespace velkora::foundation;
using velkora::demo::Demo;
using velkora::demo::DemoStep;
using velkora::demo::DemoSteps;

namespace {

void say(const std::string& text) {
    std::printf("velkora-demo: %s\n", text.c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    // A reader that stops early (velkora-demo | head) must not cut the run short before it cleans up.
    std::signal(SIGPIPE, SIG_IGN);
    std::string servicePath;
    std::string outputDir = "velkora-demo-output";
    bool window = false;
    int serverPort = 0;
    std::string serverCa;
    velkora::demo::LiveOptions live;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--service" && i + 1 < argc) {
            servicePath = argv[++i];
        } else if (arg == "--output" && i + 1 < argc) {
            outputDir = argv[++i];
        } else if (arg == "--window") {
            window = true;
        } else if (arg == "--port" && i + 1 < argc) {
            serverPort = std::atoi(argv[++i]);
        } else if (arg == "--ca" && i + 1 < argc) {
            serverCa = argv[++i];
        } else if (arg == "--scale" && i + 1 < argc) {
            live.scale = std::atof(argv[++i]);
        } else if (arg == "--snapshot" && i + 1 < argc) {
            live.snapshotPath = argv[++i];
        } else {
            std::fprintf(stderr, "usage: velkora-demo [--service PATH] [--output DIR]\n"
                                 "       velkora-demo --window [--service PATH | --port N --ca FILE] "
                                 "[--scale N] [--snapshot PATH]\n");
            return 2;
        }
    }
    if (!createDirectories(outputDir)) {
        say("cannot make the output folder " + outputDir);
        return 1;
    }

    // Everything else the run writes goes to a scratch folder, removed on the way out.
    std::string scratch = createTemporaryDirectory("velkora-demo-");
    if (scratch.empty()) {
        say("cannot make a scratch folder");
        return 1;
    }
    struct Cleanup {
        std::string path;
        ~Cleanup() { removeTree(path); }
    } cleanup{scratch};
    // Every step finds the kit's optional modules in the build tree, whichever step first needs one.
    velkora::demo::useBuildTreeModules("QuartzCore");
    Paths::setAppName("velkora-demo");
    Paths::setRoot(scratch + "/host");
    say("Velkora " + velkora::versionString() + "; pictures go to " + outputDir);

    // The narration is for the person watching; the kit's own lines go to a file beside the pictures.
    auto kitLog = std::make_shared<std::ofstream>(outputDir + "/velkora.log", std::ios::trunc);
    if (*kitLog) {
        Log::setSink([kitLog](LogLevel, const std::string& line) { *kitLog << line << '\n' << std::flush; });
        say("the kit's log goes to " + outputDir + "/velkora.log");
    }
    struct RestoreLog {
        ~RestoreLog() { Log::useStandardError(); }
    } restoreLog;

    velkora::demo::ServiceProcess service;
    bool serviceFailed = false;
    if (servicePath.empty()) {
        say("no --service given: only the steps that need no service run");
    } else if (::access(servicePath.c_str(), X_OK) != 0) {
        say("velkora-service is absent (" + servicePath + "): only the steps that need no service run");
    } else {
        std::string error;
        if (service.start(servicePath, scratch + "/service", 30.0, &error)) {
            say("velkora-service (pid " + std::to_string(service.pid()) +
                ") listens on https://127.0.0.1:" + std::to_string(service.port()) + "/VelkoraServer2/api");
        } else {
            serviceFailed = true;
            say("velkora-service did not start: " + error);
        }
    }

    if (window) {
        int port = service.pid() > 0 ? service.port() : 0;
        std::string ca = service.caFile();
        if (serverPort > 0) {
            port = serverPort;
            ca = serverCa;
        }
        Demo liveDemo(outputDir, port, ca);
        int status = velkora::demo::runLiveWindow(liveDemo, live);
        liveDemo.endSession();
        if (service.pid() > 0) say("velkora-service " + service.stop());
        return status;
    }

    Demo demo(outputDir, service.pid() > 0 ? service.port() : 0, service.caFile());
    std::vector<std::string> failed;
    for (const DemoStep& step : DemoSteps::all()) {
        if (step.needs == DemoStep::NeedsService && !demo.hasService()) continue;
        say("-- " + step.name);
        if (!step.run(demo)) {
            say(step.name + ": something did not arrive in time");
            failed.push_back(step.name);
        }
    }
    demo.endSession();

    if (service.pid() > 0) say("velkora-service " + service.stop());
    std::string summary;
    for (const auto& name : failed)
        summary += " " + name;
    say(failed.empty() ? "done" : "done; not shown in full:" + summary);
    return failed.empty() && !serviceFailed ? 0 : 1;
}
