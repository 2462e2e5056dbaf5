// The demo is a list of steps, each in a .cpp of its own that registers itself with VELKORA_DEMO_STEP.
// main() starts velkora-service, runs the steps in their order and reports which of them did not show
// what they meant to. A step tells the person what a host sees, and writes its screens as PNGs into the
// output folder.
//
//   VELKORA_DEMO_STEP(feedScreen, 300, DemoStep::NeedsService) {
//       if (!demo.ensureSession()) return false;
//       ... open the screen, pump demo.loop() ...
//       demo.writeScreenPng("feed");
//       return true;
//   }
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace velkora::foundation {
class RunLoop;
}
namespace velkora::ui {
class View;
}

namespace velkora::demo {

class Demo {
public:
    Demo(std::string outputDir, int servicePort, std::string caFile);

    // The application id the demo's host uses with the service.
    const std::string& appId() const { return appId_; }
    bool hasService() const { return servicePort_ > 0; }
    int servicePort() const { return servicePort_; }
    const std::string& caFile() const { return caFile_; }
    const std::string& outputDir() const { return outputDir_; }
    foundation::RunLoop& loop() const;

    // One line for the person watching.
    void say(const std::string& text) const;

    // A host session against the service, started by the first step that needs one: the local user, the
    // application record, the session start and its user id. False (said why) when there is no service or
    // no user id came. Later calls answer the first one's result.
    bool ensureSession();
    bool sessionStarted() const { return sessionStarted_; }
    // Lets go of the session and its connections; main() calls it before the service stops.
    void endSession();

    // Writes a picture into the output folder as "<name>.png" and says where; false when it could not.
    bool writePng(ui::View& view, const std::string& name) const;
    bool writeScreenPng(const std::string& name) const;

private:
    std::string appId_ = "velkora-demo";
    std::string outputDir_;
    int servicePort_;
    std::string caFile_;
    bool sessionTried_ = false;
    bool sessionStarted_ = false;
};

struct DemoStep {
    enum Needs { Nothing, NeedsService };
    std::string name;
    int order; // steps run from the lowest order up; ties keep the order of registration
    Needs needs;
    std::function<bool(Demo&)> run; // true when everything the step meant to show was shown
};

class DemoSteps {
public:
    static void add(DemoStep step);
    // Sorted by order.
    static std::vector<DemoStep> all();
};

struct DemoStepRegistration {
    DemoStepRegistration(std::string name, int order, DemoStep::Needs needs, std::function<bool(Demo&)> run) {
        DemoSteps::add(DemoStep{std::move(name), order, needs, std::move(run)});
    }
};

} // namespace velkora::demo

#define VELKORA_DEMO_STEP(name, order, needs)                                                                          \
    static bool name(::velkora::demo::Demo& demo);                                                                     \
    static const ::velkora::demo::DemoStepRegistration name##Registration(#name, order, ::velkora::demo::needs, name); \
    static bool name([[maybe_unused]] ::velkora::demo::Demo& demo)
