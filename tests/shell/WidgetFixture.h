// A fresh ui for each test of the shared widgets: the test clock, no windows, phone idiom and screen, the
// kit's interface files and classes, and the build tree's "QuartzCore" module.
#pragma once

#include <gtest/gtest.h>

#include "BuildPaths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TouchRouter.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "shell/VelkoraWidgetClasses.h"

namespace velkora::testing {

class WidgetFixture : public ::testing::Test {
protected:
    void SetUp() override {
        foundation::RunLoop::main().useTestClock(1'000'000);
        ui::Application::instance().resetForTests();
        ui::InterfaceLoader::instance().reset();
        ui::Animator::reset();
        ui::TouchRouter::instance().reset();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
        registerVelkoraWidgetClasses();
    }
    void TearDown() override {
        ui::TouchRouter::instance().reset();
        ui::Animator::reset();
        ui::Application::instance().resetForTests();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        foundation::RunLoop::main().reset();
    }

    static foundation::RunLoop& loop() { return foundation::RunLoop::main(); }

    // A tablet of 768 x 1024 points.
    static void becomeTablet() {
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Pad);
        ui::Screen::main().setBounds({0, 0, 768, 1024});
    }
};

} // namespace velkora::testing
