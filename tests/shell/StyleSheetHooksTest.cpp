#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/View.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraStyleSheetCustomizer.h"

using namespace velkora;

namespace {

struct Call {
    std::string hook;
    ui::View* element;
    uint32_t screen;
    friend bool operator==(const Call&, const Call&) = default;
};

// A host style sheet that answers every hook and writes down what reached it.
class RecordingSheet : public VelkoraStyleSheetProtocol {
public:
    std::vector<Call> calls;
#define VELKORA_STYLE_HOOK(name, kind)                                                                                 \
    void name(ui::View* element, uint32_t screen) override {                                                           \
        calls.push_back({#name, element, screen});                                                                     \
    }
#include "session/VelkoraStyleSheetHooks.inc"
#undef VELKORA_STYLE_HOOK
};

// A host that styles only its buttons in general.
class DefaultButtonOnlySheet : public VelkoraStyleSheetProtocol {
public:
    int defaults = 0;
    void customizeDefaultButtonStyle(ui::View*, uint32_t) override { ++defaults; }
};

struct Hook {
    std::string name;
    bool button;
    void (VelkoraStyleSheetCustomizer::*forward)(ui::View*, uint32_t);
};

const std::vector<Hook>& allHooks() {
    static const std::vector<Hook> hooks = {
#define VELKORA_STYLE_HOOK(name, kind) {#name, std::string(#kind) == "Button", &VelkoraStyleSheetCustomizer::name},
#include "session/VelkoraStyleSheetHooks.inc"
#undef VELKORA_STYLE_HOOK
    };
    return hooks;
}

class StyleSheetHooksTest : public ::testing::Test {
protected:
    void TearDown() override { VelkoraStyleSheetCustomizer::resetForTests(); }
    VelkoraStyleSheetCustomizer& customizer = VelkoraStyleSheetCustomizer::instance();
};

} // namespace

TEST_F(StyleSheetHooksTest, EveryHookReachesTheStyleSheetAndOnlyButtonHooksGiveTheDefaultStyleFirst) {
    auto sheet = std::make_shared<RecordingSheet>();
    customizer.setCustomStyleSheet(sheet);
    auto element = ui::Button::create();
    std::set<std::string> names;
    int buttons = 0;
    for (const Hook& hook : allHooks()) {
        SCOPED_TRACE(hook.name);
        names.insert(hook.name);
        sheet->calls.clear();
        (customizer.*hook.forward)(element.get(), 22);
        std::vector<Call> want;
        if (hook.button) {
            ++buttons;
            want.push_back({"customizeDefaultButtonStyle", element.get(), 22});
        }
        want.push_back({hook.name, element.get(), 22});
        EXPECT_EQ(sheet->calls, want);
    }
    EXPECT_EQ(names.size(), 148u);
    EXPECT_EQ(buttons, 48);
}

TEST_F(StyleSheetHooksTest, HooksOnButtonElementsThatStayPlain) {
    // Their elements are buttons, yet the host's default button style is not applied to them.
    const std::set<std::string> plainButtons = {
        "customizeTableCellFBConnectButton",    "customizeTableCellTwitterConnectButton",
        "customizeChatLoadEarlierButton",       "customizeChatUploadImageButton",
        "customizeChatroomUploadImageButton",   "customizeFacebookConnectButton",
        "customizeFacebookSignoutButton",       "customizeTwitterConnectButton",
        "customizeTwitterSignoutButton",        "customizeChangePasswordButton",
        "customizeForgotPasswordButton",        "customizeProfileEditAboutButton",
        "customizeProfileSettingsButton",       "customizeProfileMessagesButton",
        "customizeInviteFriendsFacebookButton", "customizeInviteFriendsTwitterButton"};
    auto sheet = std::make_shared<DefaultButtonOnlySheet>();
    customizer.setCustomStyleSheet(sheet);
    auto element = ui::Button::create();
    size_t found = 0;
    for (const Hook& hook : allHooks()) {
        int before = sheet->defaults;
        (customizer.*hook.forward)(element.get(), 3);
        // The default hook itself is the one plain hook that this style sheet answers.
        const bool answered = hook.button || hook.name == "customizeDefaultButtonStyle";
        EXPECT_EQ(sheet->defaults - before, answered ? 1 : 0) << hook.name;
        if (plainButtons.count(hook.name)) {
            ++found;
            EXPECT_FALSE(hook.button) << hook.name;
        }
    }
    EXPECT_EQ(found, plainButtons.size());
    EXPECT_EQ(sheet->defaults, 48 + 1);
}

TEST_F(StyleSheetHooksTest, NothingIsForwardedWithoutAStyleSheetOrWithoutAnElement) {
    auto sheet = std::make_shared<RecordingSheet>();
    customizer.setCustomStyleSheet(sheet);
    for (const Hook& hook : allHooks())
        (customizer.*hook.forward)(nullptr, 5);
    EXPECT_TRUE(sheet->calls.empty());

    // Taken away again: the hooks, button hooks included, reach nobody (and do not crash).
    customizer.setCustomStyleSheet(nullptr);
    auto element = ui::View::create();
    for (const Hook& hook : allHooks())
        (customizer.*hook.forward)(element.get(), 5);
    EXPECT_TRUE(sheet->calls.empty());
}

namespace {

// A style sheet that replaces itself while it runs: the customizer must not destroy it mid-call.
class SwappingSheet : public VelkoraStyleSheetProtocol {
public:
    bool ran = false;
    void customizeBackButton(ui::View*, uint32_t) override {
        VelkoraStyleSheetCustomizer::instance().setCustomStyleSheet(nullptr);
        ran = true; // touches this object after the customizer let go of it
    }
};

} // namespace

TEST_F(StyleSheetHooksTest, AStyleSheetMayReplaceItselfFromInsideAHook) {
    bool ran = false;
    {
        auto sheet = std::make_shared<SwappingSheet>();
        customizer.setCustomStyleSheet(sheet);
        std::weak_ptr<SwappingSheet> weak = sheet;
        sheet.reset();
        auto element = ui::View::create();
        customizer.customizeBackButton(element.get(), 0);
        EXPECT_TRUE(weak.expired());
        ran = true;
    }
    EXPECT_TRUE(ran);
    EXPECT_FALSE(customizer.customStyleSheet());
}

TEST(StyleScreenIdsTest, ThirtyEightIdsNumberedWithoutGaps) {
    std::vector<uint32_t> ids = {
#define VELKORA_STYLE_SCREEN_VALUE(name, value) name,
        VELKORA_STYLE_SCREENS(VELKORA_STYLE_SCREEN_VALUE)
#undef VELKORA_STYLE_SCREEN_VALUE
    };
    ASSERT_EQ(ids.size(), kVelkoraStyleScreenCount);
    for (uint32_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(ids[i], i);
    EXPECT_EQ(VelkoraStyleScreenChatRoomTopic, 22u);
    EXPECT_EQ(VelkoraStyleScreenWebPage, 37u);
}

TEST_F(StyleSheetHooksTest, TheSessionObjectHandsTheHostsStyleSheetToTheCustomizer) {
    auto sheet = std::make_shared<RecordingSheet>();
    VelkoraAgentInternal::instance().setCustomStyleSheet(sheet);
    EXPECT_EQ(customizer.customStyleSheet(), sheet);
}
