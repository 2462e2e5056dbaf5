#include <gtest/gtest.h>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"

using namespace velkora::ui;

namespace {

class Controls : public ::testing::Test {
protected:
    void TearDown() override {
        Responder::resignCurrentFirstResponder(true);
        Application::instance().resetForTests();
    }
};

TEST_F(Controls, ButtonStatesFallBackToNormalAndActionsNeedTheirTarget) {
    auto button = Button::create();
    auto normal = Image::create(10, 10), pressed = Image::create(20, 20);
    button->setTitle("Go");
    button->setTitle("Going", ControlStateHighlighted);
    button->setTitleColor(Color::black());
    button->setImage(normal);
    button->setImage(pressed, ControlStateHighlighted);
    button->setBackgroundImage(pressed, ControlStateSelected);
    EXPECT_EQ(button->currentTitle(), "Go");
    EXPECT_EQ(button->currentImage(), normal);
    EXPECT_EQ(button->currentBackgroundImage(), nullptr);
    button->setHighlighted(true);
    EXPECT_EQ(button->currentTitle(), "Going");
    EXPECT_EQ(button->currentImage(), pressed);
    EXPECT_EQ(button->titleLabel()->text(), "Going");
    button->setHighlighted(false);
    button->setSelected(true);
    EXPECT_EQ(button->state(), unsigned(ControlStateSelected));
    EXPECT_EQ(button->currentTitle(), "Go");  // no selected title: the normal one
    EXPECT_EQ(button->currentBackgroundImage(), pressed);
    button->setEnabled(false);
    EXPECT_EQ(button->state(), unsigned(ControlStateSelected | ControlStateDisabled));
    EXPECT_EQ(button->currentTitle(), "Go");
    button->setEnabled(true);

    // Insets move the title inside the bounds.
    button->setFrame({0, 0, 200, 44});
    button->setImage(nullptr);
    button->setContentEdgeInsets({0, 0, 0, 100});
    button->layoutIfNeeded();
    EXPECT_LT(button->titleLabel()->frame().maxX(), 100.5);

    struct Owner {
        int taps = 0;
        void tapped(Control*) { ++taps; }
    };
    auto owner = std::make_shared<Owner>();
    std::vector<std::string> events;
    button->addTarget(owner, &Owner::tapped, ControlEventTouchUpInside, "tapped:");
    button->addAction([&](Control* sender) { events.push_back(sender == button.get() ? "down" : "?"); }, ControlEventTouchDown);
    EXPECT_EQ(button->actionsForTarget(owner.get(), ControlEventTouchUpInside), (std::vector<std::string>{"tapped:"}));
    button->tap();
    EXPECT_EQ(owner->taps, 1);
    EXPECT_EQ(events, (std::vector<std::string>{"down"}));
    button->setEnabled(false);
    button->tap();
    EXPECT_EQ(owner->taps, 1);
    button->setEnabled(true);
    // A target that is gone is never called.
    owner.reset();
    button->tap();
    EXPECT_EQ(events.size(), 2u);
    button->removeTarget(nullptr, ControlEventTouchDown);
    EXPECT_EQ(button->allControlEvents(), unsigned(ControlEventTouchUpInside));
}

// Title insets take room from the content: the title is placed, at its own width, in what is left.
TEST_F(Controls, ButtonTitleInsetsMoveTheTitleWithoutNarrowingIt) {
    auto button = Button::create();
    button->setFrame({0, 0, 280, 44});
    button->setTitle("Seven");
    button->layoutIfNeeded();
    const Rect plain = button->titleLabel()->frame();
    ASSERT_GT(plain.width(), 20);
    const struct {
        const char* what;
        EdgeInsets insets;
        double x, width;
    } cases[] = {
        {"room on both sides", {0, 5, 0, 5}, plain.x(), plain.width()},
        {"a share label on the left", {0, 45, 0, 5}, 45 + (230 - plain.width()) / 2, plain.width()},
        {"moved right, same room", {0, 4, 0, -4}, plain.x() + 4, plain.width()},
        {"less room than the title", {0, 250, 0, 5}, 250, 25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        button->setTitleEdgeInsets(c.insets);
        button->layoutIfNeeded();
        EXPECT_DOUBLE_EQ(button->titleLabel()->frame().x(), c.x);
        EXPECT_DOUBLE_EQ(button->titleLabel()->frame().width(), c.width);
        EXPECT_DOUBLE_EQ(button->titleLabel()->frame().height(), plain.height());
    }
}

TEST_F(Controls, SwitchSpinnerAndPageControl) {
    auto sw = Switch::create({5, 5, 100, 100});
    EXPECT_EQ(sw->frame().size, Switch::kSize);
    int changes = 0;
    sw->addAction([&](Control*) { ++changes; }, ControlEventValueChanged);
    sw->setOn(true);
    EXPECT_EQ(changes, 0);
    sw->tap();
    EXPECT_FALSE(sw->isOn());
    EXPECT_EQ(changes, 1);

    auto spinner = ActivityIndicatorView::create(ActivityIndicatorViewStyle::WhiteLarge);
    EXPECT_EQ(spinner->bounds().size, (Size{37, 37}));
    EXPECT_TRUE(spinner->isHidden());
    spinner->startAnimating();
    EXPECT_FALSE(spinner->isHidden());
    spinner->setHidesWhenStopped(false);
    spinner->stopAnimating();
    EXPECT_FALSE(spinner->isHidden());
    EXPECT_FALSE(spinner->isAnimating());

    auto pages = PageControl::create({0, 0, 100, 37});
    pages->setNumberOfPages(3);
    pages->setCurrentPage(7);
    EXPECT_EQ(pages->currentPage(), 2);
    pages->setNumberOfPages(2);
    EXPECT_EQ(pages->currentPage(), 1);
    int moved = 0;
    pages->addAction([&](Control*) { ++moved; }, ControlEventValueChanged);
    pages->tapAt({10, 10});
    EXPECT_EQ(pages->currentPage(), 0);
    pages->tapAt({10, 10});
    EXPECT_EQ(moved, 1);
    pages->setNumberOfPages(1);
    pages->setHidesForSinglePage(true);
    EXPECT_FALSE(pages->showsDots());
    EXPECT_EQ(PageControl::sizeForNumberOfPages(3).width, 3 * 7 + 2 * 9);
}

TEST_F(Controls, TextFieldAsksItsDelegateAndCountsInUtf16Units) {
    struct Delegate : TextFieldDelegate {
        std::vector<std::string> events;
        size_t maxUnits = 5;
        bool allowBegin = true;
        bool textFieldShouldBeginEditing(TextField&) override { return allowBegin; }
        void textFieldDidBeginEditing(TextField&) override { events.push_back("begin"); }
        void textFieldDidEndEditing(TextField&) override { events.push_back("end"); }
        bool shouldChangeCharactersInRange(TextField& f, TextRange r, const std::string& s) override {
            events.push_back("change " + std::to_string(r.location) + "+" + std::to_string(r.length));
            return utf16::length(f.text()) - r.length + utf16::length(s) <= maxUnits;
        }
        bool textFieldShouldReturn(TextField& f) override {
            events.push_back("return");
            f.resignFirstResponder();
            return false;
        }
    };
    auto field = TextField::create({0, 0, 200, 30});
    auto delegate = std::make_shared<Delegate>();
    field->setDelegate(delegate);
    std::vector<std::pair<Responder*, Responder*>> changes;
    auto token = Responder::addFirstResponderObserver([&](Responder* a, Responder* b) { changes.emplace_back(a, b); });

    EXPECT_FALSE(field->insertText("x"));  // not editing
    delegate->allowBegin = false;
    EXPECT_FALSE(field->becomeFirstResponder());
    delegate->allowBegin = true;
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_TRUE(field->isEditing());
    int edits = 0;
    field->addAction([&](Control*) { ++edits; }, ControlEventEditingChanged);
    EXPECT_TRUE(field->insertText("ab"));
    // An emoji is two UTF-16 units: "ab" + emoji = 4 units, a second emoji would make 6.
    EXPECT_TRUE(field->insertText("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(field->insertText("\xF0\x9F\x98\x80"));
    EXPECT_EQ(field->text(), "ab\xF0\x9F\x98\x80");
    // Deleting takes the whole emoji: a range of two units at 2.
    EXPECT_TRUE(field->deleteBackward());
    EXPECT_EQ(field->text(), "ab");
    EXPECT_EQ(edits, 3);
    EXPECT_FALSE(field->pressReturn());
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"begin", "change 0+0", "change 2+0", "change 4+0", "change 2+2", "return", "end"}));
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].second, field.get());
    EXPECT_EQ(changes[1].first, field.get());
    Responder::removeFirstResponderObserver(token);

    // Side views follow their modes; a secure field dumps dots.
    auto left = View::create({0, 0, 20, 20});
    field->setLeftView(left);
    field->setLeftViewMode(TextFieldViewMode::UnlessEditing);
    field->layoutIfNeeded();
    EXPECT_EQ(left->superview(), field.get());
    EXPECT_EQ(field->textRectForBounds(field->bounds()).x(), 20);
    field->setSecureTextEntry(true);
    EXPECT_EQ(field->dumpText(), "\u2022\u2022");
}

TEST_F(Controls, TextViewReplacesTheSelectionAndTellsItsDelegate) {
    struct Delegate : TextViewDelegate {
        int changes = 0;
        bool textViewShouldBeginEditing(TextView&) override { return true; }
        bool shouldChangeTextInRange(TextView&, TextRange, const std::string& text) override { return text != "\n"; }
        void textViewDidChange(TextView&) override { ++changes; }
    };
    auto view = TextView::create({0, 0, 200, 100});
    auto delegate = std::make_shared<Delegate>();
    view->setDelegate(delegate);
    view->setText("hello world");
    ASSERT_TRUE(view->becomeFirstResponder());
    view->setSelectedRange({0, 5});
    EXPECT_TRUE(view->insertText("bye"));
    EXPECT_EQ(view->text(), "bye world");
    EXPECT_EQ(view->selectedRange(), (TextRange{3, 0}));
    EXPECT_FALSE(view->insertText("\n"));
    EXPECT_TRUE(view->deleteBackward());
    EXPECT_EQ(view->text(), "by world");
    EXPECT_EQ(delegate->changes, 2);
    view->setEditable(false);
    EXPECT_FALSE(view->isEditing());
    EXPECT_FALSE(view->insertText("x"));
}

TEST_F(Controls, AlertButtonsByIndexInAWindowOfItsOwn) {
    struct Delegate : AlertViewDelegate {
        std::vector<std::string> events;
        void clickedButtonAtIndex(AlertView&, int i) override { events.push_back("clicked " + std::to_string(i)); }
        void willDismissWithButtonIndex(AlertView&, int i) override { events.push_back("will " + std::to_string(i)); }
        void didDismissWithButtonIndex(AlertView&, int i) override { events.push_back("did " + std::to_string(i)); }
    };
    auto delegate = std::make_shared<Delegate>();
    auto appWindow = Window::createFullScreen();
    appWindow->makeKeyAndVisible();
    std::weak_ptr<AlertView> weak;
    {
        auto alert = AlertView::create("Title", "Message", delegate, "Cancel", {"OK", "More"});
        EXPECT_EQ(alert->cancelButtonIndex(), 0);
        EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
        EXPECT_EQ(alert->numberOfButtons(), 3);
        EXPECT_EQ(alert->buttonTitleAtIndex(2), "More");
        alert->show();
        weak = alert;
    }
    // Nobody keeps the alert but its window, which the application keeps while it shows.
    auto alert = weak.lock();
    ASSERT_TRUE(alert && alert->isVisible());
    Window* window = alert->window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowLevel(), WindowLevel::Alert);
    EXPECT_TRUE(window->isKeyWindow());
    // A touch on the "OK" button goes through the alert's window.
    auto ok = alert->buttons()[1];
    Point onOk = ok->convertPointToScreen({5, 5});
    EXPECT_EQ(Application::instance().hitTest(onOk), ok.get());
    ok->tap();
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"clicked 1", "will 1", "did 1"}));
    EXPECT_FALSE(alert->isVisible());
    EXPECT_TRUE(appWindow->isKeyWindow());
    alert.reset();
    EXPECT_TRUE(weak.expired());
}

TEST_F(Controls, ActionSheetPutsDestructiveFirstAndCancelLast) {
    struct Delegate : ActionSheetDelegate {
        int clicked = -1;
        void clickedButtonAtIndex(ActionSheet&, int i) override { clicked = i; }
    };
    auto delegate = std::make_shared<Delegate>();
    auto sheet = ActionSheet::create("Photo", delegate, "Cancel", "Delete", {"Camera", "Library"});
    EXPECT_EQ(sheet->destructiveButtonIndex(), 0);
    EXPECT_EQ(sheet->firstOtherButtonIndex(), 1);
    EXPECT_EQ(sheet->cancelButtonIndex(), 3);
    auto host = View::create({0, 0, 100, 100});
    sheet->showInView(host.get());
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->frame().maxY(), Screen::main().bounds().maxY());
    sheet->dismissWithClickedButtonIndex(3, false);
    EXPECT_EQ(delegate->clicked, -1);  // from code: no click
    sheet->showInView(host.get());
    sheet->tapButtonAtIndex(2);
    EXPECT_EQ(delegate->clicked, 2);
    EXPECT_FALSE(sheet->isVisible());
}

}  // namespace
