#include <gtest/gtest.h>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/View.h"

using namespace velkora::ui;
using velkora::foundation::RunLoop;
using velkora::foundation::Value;

namespace {

class TextInput : public View {
public:
    using View::View;
    std::shared_ptr<View> input;
    bool canBecomeFirstResponder() const override { return true; }
    bool isTextInput() const override { return true; }
    std::shared_ptr<View> inputView() const override { return input; }
};

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().useTestClock(1000);
        setNotificationPoster([this](const std::string& name, const std::shared_ptr<void>&, const Value& info) {
            posted.push_back({name, info});
        });
    }
    void TearDown() override {
        Responder::resignCurrentFirstResponder(true);
        setNotificationPoster(nullptr);
        Keyboard::instance().reset();
        RunLoop::main().reset();
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (auto& [n, i] : posted)
            if (n != kKeyboardWillChangeFrameNotification) out.push_back(n);
        return out;
    }
    const Value& last(const std::string& name) const {
        for (auto it = posted.rbegin(); it != posted.rend(); ++it)
            if (it->first == name) return it->second;
        static Value none;
        return none;
    }
    std::vector<std::pair<std::string, Value>> posted;
};

}  // namespace

TEST_F(KeyboardTest, BecomingAndResigningFirstResponderShowsAndHidesTheKeyboard) {
    auto field = std::make_shared<TextInput>(Rect(0, 0, 100, 30));
    auto other = std::make_shared<TextInput>(Rect(0, 40, 100, 30));
    Rect screen = Screen::main().bounds();
    Rect expected(0, screen.height() - 216, screen.width(), 216);

    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_EQ(names(), (std::vector<std::string>{kKeyboardWillShowNotification}));
    const Value& show = last(kKeyboardWillShowNotification);
    EXPECT_EQ(Keyboard::rectFromUserInfo(show, kKeyboardFrameEndUserInfoKey), expected);
    EXPECT_EQ(Keyboard::rectFromUserInfo(show, kKeyboardFrameBeginUserInfoKey), expected.offsetBy(0, 216));
    EXPECT_EQ(show[kKeyboardAnimationDurationUserInfoKey].doubleOr(0), 0.25);
    EXPECT_TRUE(Keyboard::instance().isVisible());
    EXPECT_EQ(Keyboard::instance().frame(), expected);
    RunLoop::main().advance(0.25);
    EXPECT_EQ(names().back(), kKeyboardDidShowNotification);

    // From one text input to another the keyboard stays.
    posted.clear();
    ASSERT_TRUE(other->becomeFirstResponder());
    RunLoop::main().advance(1);
    EXPECT_TRUE(posted.empty());

    ASSERT_TRUE(other->resignFirstResponder());
    EXPECT_EQ(names(), (std::vector<std::string>{kKeyboardWillHideNotification}));
    EXPECT_EQ(Keyboard::rectFromUserInfo(last(kKeyboardWillHideNotification), kKeyboardFrameBeginUserInfoKey), expected);
    RunLoop::main().advance(0.25);
    EXPECT_EQ(names().back(), kKeyboardDidHideNotification);
    EXPECT_FALSE(Keyboard::instance().isVisible());

    // A responder that is no text input brings no keyboard.
    class Plain : public View {
    public:
        bool canBecomeFirstResponder() const override { return true; }
    };
    posted.clear();
    auto plain = std::make_shared<Plain>();
    ASSERT_TRUE(plain->becomeFirstResponder());
    EXPECT_TRUE(posted.empty());
}

TEST_F(KeyboardTest, AnInputViewTakesTheKeyboardsPlace) {
    auto field = std::make_shared<TextInput>(Rect(0, 0, 100, 30));
    field->input = View::create({0, 0, 320, 260});
    ASSERT_TRUE(field->becomeFirstResponder());
    Rect end = Keyboard::rectFromUserInfo(last(kKeyboardWillShowNotification), kKeyboardFrameEndUserInfoKey);
    EXPECT_EQ(end.height(), 260);
    EXPECT_EQ(end.maxY(), Screen::main().bounds().maxY());
    EXPECT_EQ(Keyboard::instance().inputView(), field->input);
    EXPECT_EQ(field->input->frame(), end);
}
