// Typing from a keyboard the device does not draw: where keys and text go, what Return does, how Tab
// moves the focus, Backspace over characters made of several code points, and input-method composition.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/KeyInput.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"

using namespace velkora::ui;
using velkora::foundation::RunLoop;

namespace {

struct ReturnDelegate : TextFieldDelegate {
    bool answer = true;
    int asked = 0;
    bool refuseChanges = false;
    bool textFieldShouldReturn(TextField&) override {
        ++asked;
        return answer;
    }
    bool shouldChangeCharactersInRange(TextField&, TextRange, const std::string&) override { return !refuseChanges; }
};

class KeyInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().useTestClock(1000);
        window = Window::createFullScreen();
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        Responder::resignCurrentFirstResponder(true);
        Keyboard::instance().reset();
        window->setHidden(true);
        RunLoop::main().reset();
    }
    std::shared_ptr<TextField> field(Rect frame) {
        auto f = TextField::create(frame);
        window->addSubview(f);
        return f;
    }
    std::shared_ptr<TextView> textView(Rect frame) {
        auto t = TextView::create(frame);
        window->addSubview(t);
        return t;
    }
    // A focused field whose delegate answers the return key and counts the end-on-exit actions in `sent`.
    std::shared_ptr<TextField> focusedFieldWithReturnAction() {
        auto f = field({10, 10, 200, 30});
        f->setDelegate(returns);
        f->addAction([this](Control*) { ++sent; }, ControlEventEditingDidEndOnExit);
        f->becomeFirstResponder();
        return f;
    }
    KeyInput& keys = KeyInput::instance();
    std::shared_ptr<Window> window;
    std::shared_ptr<ReturnDelegate> returns = std::make_shared<ReturnDelegate>();
    int sent = 0;
};

} // namespace

// One Backspace takes what a person sees as one character, in a field and in a text view alike.
TEST_F(KeyInputTest, BackspaceTakesTheWholeCharacterBeforeTheCaret) {
    struct Case {
        const char* what;
        std::string before, after;
    } cases[] = {
        {"a plain letter", "ab", "a"},
        {"a letter with a combining accent", "cafe\u0301", "caf"},
        {"two combining marks", "xa\u0308\u0301", "x"},
        {"an emoji with a skin tone", "ok \U0001F44D\U0001F3FD", "ok "},
        {"a family joined by zero-width joiners", "\U0001F468\u200D\U0001F469\u200D\U0001F467", ""},
        {"the second of two flags", "\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA", "\U0001F1EB\U0001F1F7"},
        {"a letter outside the basic plane", "a\U0001D400", "a"},
        {"a Hangul syllable in jamo", "\u1100\u1161\u11A8", ""},
    };
    auto f = field({10, 10, 200, 30});
    auto t = textView({10, 60, 200, 100});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(f->becomeFirstResponder());
        f->setText(c.before);
        EXPECT_TRUE(keys.keyDown(Key::Backspace));
        EXPECT_EQ(f->text(), c.after);
        ASSERT_TRUE(t->becomeFirstResponder());
        t->setText(c.before);
        EXPECT_TRUE(keys.keyDown(Key::Backspace));
        EXPECT_EQ(t->text(), c.after);
    }
}

TEST_F(KeyInputTest, ReturnIsTheFieldsReturnKeyAndALineBreakInATextView) {
    auto f = focusedFieldWithReturnAction();
    auto& delegate = returns;
    keys.insertText("hello");

    delegate->answer = false; // the delegate keeps the field open: no end-on-exit
    EXPECT_TRUE(keys.keyDown(Key::Return));
    EXPECT_EQ(delegate->asked, 1);
    EXPECT_EQ(sent, 0);
    delegate->answer = true;
    EXPECT_TRUE(keys.keyDown(Key::Return));
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(f->text(), "hello"); // Return types nothing into a field
    // A line break arriving as text (a paste, some input methods) is the return key too.
    EXPECT_TRUE(keys.insertText("\n"));
    EXPECT_EQ(sent, 2);

    auto t = textView({10, 60, 200, 100});
    t->becomeFirstResponder();
    keys.insertText("one");
    keys.keyDown(Key::Return);
    keys.insertText("two");
    EXPECT_EQ(t->text(), "one\ntwo");
    EXPECT_EQ(sent, 2);
}

TEST_F(KeyInputTest, NothingFocusedTakesNoTyping) {
    auto f = field({10, 10, 200, 30});
    EXPECT_FALSE(keys.insertText("x"));
    EXPECT_FALSE(keys.keyDown(Key::Backspace));
    EXPECT_FALSE(keys.keyDown(Key::Return));
    EXPECT_EQ(f->text(), "");
    // A text view that is not editable takes no typing even when it holds the focus.
    auto t = textView({10, 60, 200, 100});
    t->setEditable(false);
    t->becomeFirstResponder();
    EXPECT_FALSE(keys.insertText("x"));
    EXPECT_EQ(t->text(), "");
}

TEST_F(KeyInputTest, TabMovesTheFocusInReadingOrderPassingOverWhatCannotTakeIt) {
    // Added out of order: reading order is by rows, then left to right.
    auto c = field({10, 100, 120, 30});
    auto b = field({180, 12, 120, 30}); // a row with a, a little lower
    auto a = field({10, 10, 120, 30});
    auto hidden = field({10, 150, 120, 30});
    hidden->setHidden(true);
    auto disabled = field({10, 180, 120, 30});
    disabled->setEnabled(false);
    auto d = textView({10, 220, 200, 80});
    auto readOnly = textView({10, 320, 200, 80});
    readOnly->setEditable(false);

    struct Step {
        unsigned modifiers;
        View* focused;
    } steps[] = {
        {KeyModifierNone, a.get()},  {KeyModifierNone, b.get()},  {KeyModifierNone, c.get()},
        {KeyModifierNone, d.get()},  {KeyModifierNone, a.get()}, // wraps round
        {KeyModifierShift, d.get()}, {KeyModifierShift, c.get()},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        EXPECT_TRUE(keys.keyDown(Key::Tab, steps[i].modifiers));
        EXPECT_EQ(dynamic_cast<View*>(Responder::currentFirstResponder()), steps[i].focused);
    }
    // Typing follows the focus.
    keys.insertText("typed");
    EXPECT_EQ(c->text(), "typed");
    EXPECT_EQ(a->text(), "");
}

TEST_F(KeyInputTest, ArrowsMoveTheCaretByWholeCharacters) {
    auto f = field({10, 10, 200, 30});
    f->becomeFirstResponder();
    keys.insertText("ace\u0301");
    struct Step {
        Key key;
        const char* typed;
        const char* text;
    } steps[] = {
        {Key::Left, "x", "acxe\u0301"}, // over the accented e whole
        {Key::Home, "<", "<acxe\u0301"},
        {Key::Right, "b", "<abcxe\u0301"}, // caret after the typed "<", then one to the right
        {Key::End, ">", "<abcxe\u0301>"},
        {Key::Left, "", "<abcxe\u0301>"},
    };
    for (const auto& s : steps) {
        keys.keyDown(s.key);
        keys.insertText(s.typed);
        EXPECT_EQ(f->text(), s.text);
    }
    keys.keyDown(Key::Delete); // the character after the caret
    EXPECT_EQ(f->text(), "<abcxe\u0301");
    keys.keyDown(Key::Left);
    keys.keyDown(Key::Delete); // the accented e, whole
    EXPECT_EQ(f->text(), "<abcx");

    auto t = textView({10, 60, 200, 100});
    t->becomeFirstResponder();
    keys.insertText("first\nsecond\nxy");
    keys.keyDown(Key::Up); // from the end of "xy" (column 2) to column 2 of "second"
    keys.insertText("|");
    EXPECT_EQ(t->text(), "first\nse|cond\nxy");
    keys.keyDown(Key::Up);
    keys.insertText("^");
    EXPECT_EQ(t->text(), "fir^st\nse|cond\nxy");
    keys.keyDown(Key::Down);
    keys.keyDown(Key::Down); // "xy" is shorter: its end
    keys.insertText("$");
    EXPECT_EQ(t->text(), "fir^st\nse|cond\nxy$");
}

TEST_F(KeyInputTest, CompositionShowsAsMarkedTextUntilCommitted) {
    auto f = focusedFieldWithReturnAction();
    auto& delegate = returns;
    keys.insertText("a");

    struct Step {
        const char* what;
        std::function<void()> act;
        const char* text;
        const char* marked;
    } steps[] = {
        {"composing", [&] { keys.setMarkedText("ni"); }, "a", "ni"},
        {"the input method replaces its composition", [&] { keys.setMarkedText("nih"); }, "a", "nih"},
        {"committed as text", [&] { keys.insertText("\u4f60"); }, "a\u4f60", ""},
        {"composing again", [&] { keys.setMarkedText("ha"); }, "a\u4f60", "ha"},
        {"Backspace edits the composition", [&] { keys.keyDown(Key::Backspace); }, "a\u4f60", "h"},
        {"Return commits it, and does not return", [&] { keys.keyDown(Key::Return); }, "a\u4f60h", ""},
        {"composing", [&] { keys.setMarkedText("zz"); }, "a\u4f60h", "zz"},
        {"Escape drops it", [&] { keys.keyDown(Key::Escape); }, "a\u4f60h", ""},
        {"composing", [&] { keys.setMarkedText("q"); }, "a\u4f60h", "q"},
        {"an arrow commits it first", [&] { keys.keyDown(Key::Left); }, "a\u4f60hq", ""},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        EXPECT_EQ(f->text(), s.text);
        EXPECT_EQ(f->markedText(), s.marked);
    }
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(delegate->asked, 0);

    // A composition never reaches a field that refuses the change, and goes when the focus goes.
    delegate->refuseChanges = true;
    keys.setMarkedText("w");
    keys.insertText("w");
    EXPECT_EQ(f->text(), "a\u4f60hq");
    keys.setMarkedText("v");
    f->resignFirstResponder();
    EXPECT_EQ(f->markedText(), "");
    EXPECT_EQ(keys.markedText(), "");
}
