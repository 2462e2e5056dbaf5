// The connectors on the social stand-ins' fixture (the service's Twitter pages of two ids, the outside
// endpoints, Dana's device), with the kit's local record, interface files and modules, and a host window
// whose root view shows the connectors' popups. Prompts are answered by the test.
#pragma once

#include <gtest/gtest.h>

#include "BuildPaths.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Animation.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "services/SocialFixture.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraWidgetClasses.h"

namespace velkora::testing {

inline const services::TwitterAccount& kDana = kDanaTwitter;

class ConnectorTest : public SocialTest {
protected:
    static constexpr const char* kApp = "A";

    void SetUp() override {
        SocialTest::SetUp();
        ui::InterfaceLoader::instance().reset();
        ui::Animator::reset();
        ui::TouchRouter::instance().reset();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
        registerVelkoraWidgetClasses();
        services::Device::instance().setPromptPolicy(services::Prompt::TwitterAccounts, services::PromptPolicy::Grant);
        VelkoraAgentInternal::resetForTests();
        VelkoraAgentInternal::instance().initUserInfo(kApp);
        auto appData = std::make_shared<VelkoraAppData>();
        appData->setEnableTwitter(true);
        VelkoraAgentInternal::instance().setAppData(appData);
        host_ = ui::Window::createFullScreen();
        host_->setBackgroundColor(ui::Color::fromHex("#E9EDF2"));
        host_->setRootViewController(std::make_shared<ui::ViewController>());
        host_->makeKeyAndVisible();
        capture_ = std::make_unique<foundation::Log::Capture>();
    }

    void TearDown() override {
        capture_.reset();
        host_.reset();
        ui::TouchRouter::instance().reset();
        ui::Animator::reset();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        SocialTest::TearDown();
    }

    // Until the platform's requests are done and what they posted has run.
    void settle() {
        waitFor([] { return foundation::UrlConnection::activeCount() == 0; });
        loop().advance(0.1);
    }
    VelkoraUserInfo& info() { return *VelkoraAgentInternal::instance().userInfo(); }
    ui::View* hostView() { return host_->rootViewController()->view().get(); }
    std::string recordFile() const {
        return foundation::readFile(foundation::Paths::documents() + "/" + VelkoraAgentInternal::kUserInfoFile)
            .value_or("");
    }
    size_t windows() const { return ui::Application::instance().windows().size(); }
    bool logged(std::string_view text) const { return capture_->contains(text); }
    std::vector<std::string> lines() const { return capture_->lines(); }
    size_t linesHolding(std::string_view text) const {
        size_t n = 0;
        for (const auto& line : capture_->lines())
            n += line.find(text) != std::string::npos;
        return n;
    }

    std::shared_ptr<ui::Window> host_;
    std::unique_ptr<foundation::Log::Capture> capture_;
};

} // namespace velkora::testing
