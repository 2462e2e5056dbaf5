// The prompts as the person holding the device sees them: the purchase prompt and a privacy alert.
#include <gtest/gtest.h>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Device.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Snapshot.h"
#include "shell/WidgetSnapshot.h"

using namespace velkora;
using services::Device;
using services::Prompt;

namespace {

class PromptSnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        foundation::RunLoop::main().useTestClock();
        ui::Application::instance().resetForTests();
        Device::instance().resetForTests();
        foundation::Dictionary info;
        info.set("CFBundleDisplayName", foundation::Value("Velkora Demo"));
        foundation::Bundle::main().setInfoDictionary(foundation::Value(std::move(info)));
    }
    void TearDown() override {
        Device::instance().resetForTests();
        ui::Application::instance().resetForTests();
        foundation::Bundle::main().setInfoDictionary(foundation::Value());
        foundation::RunLoop::main().reset();
    }
};

TEST_F(PromptSnapshotTest, ThePromptsShowTheirQuestionAndBothAnswers) {
    struct Case {
        Prompt kind;
        services::PromptText text;
        const char* reference;
    } cases[] = {
        {Prompt::Purchase,
         {"Confirm Your In-App Purchase", "Do you want to buy one 500 Coins for $3.99?"},
         "purchase_prompt"},
        {Prompt::Contacts, {}, "privacy_alert_contacts"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reference);
        bool answered = false;
        Device::instance().ask(
            c.kind, [&](bool) { answered = true; }, c.text);
        foundation::RunLoop::main().advance(0);
        auto alert = Device::instance().promptAlert(c.kind);
        ASSERT_TRUE(alert);
        velkora::testing::expectMatchesReference(ui::Snapshot::imageOfScreen(1.0), c.reference);
        Device::instance().answerPrompt(c.kind, false);
        foundation::RunLoop::main().runUntil([&] { return answered; }, 10);
        EXPECT_FALSE(alert->isVisible());
    }
}

} // namespace
