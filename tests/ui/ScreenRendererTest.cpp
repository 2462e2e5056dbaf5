// The live screen's frames: drawn only where something changed, and then the same picture as drawing the
// whole screen afresh; nothing drawn while nothing changes. And the on-screen keyboard's keys.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/KeyInput.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/KeyboardView.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScreenPointer.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"
#include "support/SnapshotCompare.h"

using namespace velkora::ui;
using velkora::foundation::RunLoop;

namespace {

// A view that draws from state of its own, and says so with setNeedsDisplay.
class Dot : public View {
public:
    using View::View;
    Color color = Color::rgba(1, 0, 0);
    void setColor(Color c) {
        color = c;
        setNeedsDisplay();
    }
    void drawRect(GraphicsContext& g, const Rect& b) override {
        g.setFillColor(color);
        g.fillEllipseInRect(b.insetBy(4, 4));
    }
};

// A stripe each row draws itself, counting how often rows are drawn.
class Stripe : public View {
public:
    using View::View;
    static inline int drawn = 0;
    int row = 0;
    void drawRect(GraphicsContext& g, const Rect& b) override {
        ++drawn;
        g.setFillColor(Color::rgba((row * 53 % 100) / 100.0, 0.4, (row * 29 % 100) / 100.0));
        g.fillRect({b.x() + 4, b.y() + 4, 10, b.height() - 8});
    }
};

class StripeList : public TableViewDataSource, public TableViewDelegate {
public:
    int numberOfRowsInSection(TableView&, int) override { return 500; }
    TableViewCellPtr cellForRowAtIndexPath(TableView& t, const IndexPath& ip) override {
        auto cell = t.dequeueReusableCellWithIdentifier("row");
        if (!cell) {
            cell = TableViewCell::create(TableViewCellStyle::Default, "row");
            auto stripe = std::make_shared<Stripe>(Rect(280, 0, 20, 40));
            stripe->setTag(7);
            cell->contentView()->addSubview(stripe);
        }
        cell->textLabel()->setText("Row " + std::to_string(ip.row) + (ip.row % 3 ? "" : " \u00e9t\u00e9 gy"));
        auto stripe = std::static_pointer_cast<Stripe>(cell->contentView()->viewWithTag(7)->sharedView());
        stripe->row = ip.row;
        stripe->setNeedsDisplay();
        return cell;
    }
    double heightForRowAtIndexPath(TableView&, const IndexPath& ip) override { return 30 + (ip.row % 4) * 7; }
};

class ScreenRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().useTestClock(1000);
        window = Window::createFullScreen();
        window->setBackgroundColor(Color::white(0.95));
        for (int i = 0; i < 10; ++i) {
            auto row = Label::create({10, 10 + 40.0 * i, 200, 30});
            row->setText("Row " + std::to_string(i));
            row->setBackgroundColor(Color::whiteColor());
            window->addSubview(row);
            rows.push_back(row);
        }
        dot = std::make_shared<Dot>(Rect(240, 10, 40, 40));
        window->addSubview(dot);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        Responder::resignCurrentFirstResponder(true);
        Keyboard::instance().reset();
        window->setHidden(true);
        RunLoop::main().reset();
    }
    // The frame matches a fresh drawing of the whole screen.
    void expectSameAsFresh(ScreenRenderer& r) {
        auto fresh = Snapshot::imageOfScreen(r.scale());
        auto shown = r.image();
        ASSERT_TRUE(fresh && shown);
        EXPECT_EQ(velkora::testing::shareOfPixelsDiffering(*shown, *fresh, 2), 0.0);
    }
    static double share(const PixelRect& r) {
        Rect s = Screen::main().bounds();
        return double(r.width) * r.height / (s.width() * s.height() * 4);
    }
    std::shared_ptr<Window> window;
    std::vector<std::shared_ptr<Label>> rows;
    std::shared_ptr<Dot> dot;
};

} // namespace

TEST_F(ScreenRendererTest, DrawsEverythingOnceThenNothingWhileNothingChanges) {
    ScreenRenderer r(2);
    EXPECT_TRUE(r.needsDrawing());
    PixelRect first = r.drawFrame();
    EXPECT_EQ(first, (PixelRect{0, 0, r.pixelWidth(), r.pixelHeight()}));
    expectSameAsFresh(r);
    // Layout passes, timers and a text set to what it already was change nothing on screen.
    RunLoop::main().advance(5);
    rows[3]->setText("Row 3");
    EXPECT_FALSE(r.needsDrawing());
    EXPECT_TRUE(r.drawFrame().isEmpty());
    EXPECT_EQ(r.framesDrawn(), 1u);
}

// Each change redraws a small part, and the picture is the one a fresh drawing gives.
TEST_F(ScreenRendererTest, RedrawsOnlyWhatChangedAndShowsWhatAFreshDrawingShows) {
    struct Case {
        const char* what;
        std::function<void()> change;
        double largestShare; // of the screen's pixels
    } cases[] = {
        {"one row's text", [&] { rows[4]->setText("Row four, longer"); }, 0.05},
        {"one row's colour", [&] { rows[5]->setBackgroundColor(Color::rgba(0.8, 0.9, 1)); }, 0.05},
        {"a custom drawing", [&] { dot->setColor(Color::rgba(0, 0.6, 0)); }, 0.02},
        {"a row hidden", [&] { rows[6]->setHidden(true); }, 0.05},
        {"a row moved",
         [&] {
             rows[7]->setFrame({60, 290, 200, 30});
         },
         0.08},
        {"a row removed", [&] { rows[8]->removeFromSuperview(); }, 0.05},
        {"a row faded", [&] { rows[9]->setAlpha(0.4); }, 0.05},
        {"overlapping rows restacked",
         [&] {
             rows[0]->setFrame({10, 30, 200, 30});
         },
         0.1},
        {"the overlapping one brought to front", [&] { window->bringSubviewToFront(rows[0].get()); }, 0.1},
        {"a new view",
         [&] {
             auto badge = Label::create({250, 300, 40, 20});
             badge->setText("9");
             badge->setBackgroundColor(Color::rgba(1, 0.2, 0.2));
             window->addSubview(badge);
         },
         0.02},
    };
    ScreenRenderer r(2);
    r.drawFrame();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.change();
        EXPECT_TRUE(r.needsDrawing());
        PixelRect changed = r.drawFrame();
        EXPECT_FALSE(changed.isEmpty());
        EXPECT_LE(share(changed), c.largestShare);
        expectSameAsFresh(r);
    }
}

TEST_F(ScreenRendererTest, ScrollingRedrawsTheScrolledViewAndMatchesAFreshDrawing) {
    auto scroller = ScrollView::create({0, 0, 320, 300});
    scroller->setClipsToBounds(true);
    scroller->setBackgroundColor(Color::whiteColor());
    scroller->setContentSize({320, 2000});
    for (int i = 0; i < 50; ++i) {
        auto l = Label::create({10, 40.0 * i, 300, 36});
        l->setText("Item " + std::to_string(i));
        scroller->addSubview(l);
    }
    window->addSubview(scroller);
    ScreenRenderer r(1);
    r.drawFrame();
    EXPECT_TRUE(ScreenPointer::scroll({100, 100}, 0, 130));
    EXPECT_EQ(scroller->contentOffset().y, 130);
    PixelRect changed = r.drawFrame();
    EXPECT_LE(changed.y + changed.height, 300 + 4); // nothing below the scroll view
    expectSameAsFresh(r);
    // At the end the wheel goes nowhere.
    EXPECT_TRUE(ScreenPointer::scroll({100, 100}, 0, 5000));
    EXPECT_FALSE(ScreenPointer::scroll({100, 100}, 0, 10));
    r.drawFrame();
    expectSameAsFresh(r);
}

// Without a keyboard of its own a person types with the on-screen keys.
TEST_F(ScreenRendererTest, TheKeyboardsKeysTypeIntoTheFocusedField) {
    auto field = TextField::create({10, 300, 300, 30});
    field->setReturnKeyType(ReturnKeyType::Send);
    int sent = 0;
    field->addAction([&](Control*) { ++sent; }, ControlEventEditingDidEndOnExit);
    window->addSubview(field);
    KeyboardKeys::setShown(true);
    EXPECT_EQ(KeyboardKeys::window(), nullptr); // only while the keyboard is up
    // A click on the field gives it the focus, and the keyboard comes up with its keys.
    ScreenPointer::down(0, {100, 315});
    ScreenPointer::up(0, {100, 315});
    ASSERT_TRUE(field->isFirstResponder());
    auto keysWindow = KeyboardKeys::window();
    auto keys = KeyboardKeys::keys();
    ASSERT_TRUE(keysWindow && keys);
    EXPECT_EQ(keysWindow->frame(), Keyboard::instance().frame());
    EXPECT_EQ(keys->keyTitled("return")->currentTitle(), "Send");

    auto tap = [&](const std::string& key) {
        auto b = keys->keyTitled(key);
        ASSERT_TRUE(b) << key;
        Point c = b->convertPointToScreen({b->bounds().midX(), b->bounds().midY()});
        ScreenPointer::down(0, c);
        ScreenPointer::up(0, c);
    };
    for (const char* k : {"shift", "h", "i", "space", "7", "x", "delete"})
        tap(k);
    EXPECT_EQ(field->text(), "Hi 7");
    EXPECT_FALSE(keys->isShifted());
    EXPECT_TRUE(field->isFirstResponder()); // tapping keys keeps the focus
    tap("return");
    EXPECT_EQ(sent, 1);

    // The keys are part of the screen and of its frames.
    ScreenRenderer r(1);
    r.drawFrame();
    expectSameAsFresh(r);
    auto shot = r.image();
    Rect k = Keyboard::instance().frame();
    EXPECT_NE(shot->pixelAt(int(k.midX()), int(k.maxY()) - 2), 0xff000000u); // not the black screen
    field->resignFirstResponder();
    EXPECT_EQ(KeyboardKeys::window(), nullptr);
    PixelRect changed = r.drawFrame();
    EXPECT_GE(changed.y + changed.height, int(k.maxY()) - 1);
    expectSameAsFresh(r);
}

// A scroll moves the pixels that stay in view and draws only what came into view; the frame is still the
// picture a fresh drawing of the whole screen gives: the rows that came into view, the bars above and
// below the list, and a badge over it.
TEST_F(ScreenRendererTest, AScrollMovesThePixelsThatStayAndDrawsOnlyWhatCameIntoView) {
    auto screen = Window::createFullScreen();
    screen->setBackgroundColor(Color::white(0.9));
    auto top = Label::create({0, 0, 320, 44.5});
    top->setText("Feed");
    top->setTextAlignment(TextAlignment::Center);
    top->setBackgroundColor(Color::rgba(0.2, 0.3, 0.5));
    auto table = TableView::create({0, 44.5, 320, 400});
    table->setBackgroundColor(Color::whiteColor());
    table->setClipsToBounds(true);
    auto list = std::make_shared<StripeList>();
    table->setDataSource(list);
    table->setDelegate(list);
    auto bottom = Label::create({0, 444.5, 320, 60});
    bottom->setText("Write something");
    bottom->setBackgroundColor(Color::rgba(0.9, 0.5, 0.2));
    auto badge = Label::create({250, 420, 60, 40}); // over the list's lower edge and the bar below
    badge->setText("12");
    badge->setBackgroundColor(Color::rgba(1, 0.2, 0.2, 0.8));
    for (auto& v : std::vector<std::shared_ptr<View>>{table, top, bottom, badge})
        screen->addSubview(v);
    screen->makeKeyAndVisible();

    struct Step {
        const char* what;
        double by;
        bool moved; // the pixels that stay are moved rather than drawn
    } steps[] = {
        {"one wheel notch down", 40, true},
        {"a few more", 120, true},
        {"back up", -80, true},
        {"a step that is not whole pixels", 13.25, false},
        {"after it", 40, true},
        {"further than the list shows", 900, false},
        {"one pixel", 0.5, true},
    };
    ScreenRenderer r(2);
    r.drawFrame();
    expectSameAsFresh(r);
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        Stripe::drawn = 0;
        table->setContentOffset({0, table->contentOffset().y + step.by}, false);
        ASSERT_TRUE(r.needsDrawing());
        PixelRect changed = r.drawFrame();
        const int drawn = Stripe::drawn;
        expectSameAsFresh(r);
        // What a display copies covers the list and stays off the bars (but for the badge over both, and
        // the bar's edge).
        EXPECT_GE(changed.y, int(44.5 * 2) - 6);
        EXPECT_LE(changed.y + changed.height, 460 * 2 + 4);
        const int rowsInView = int(table->visibleCells().size());
        if (step.moved)
            EXPECT_LE(drawn, int(std::ceil(std::fabs(step.by) / 30)) + 2) << "of " << rowsInView;
        else
            EXPECT_GE(drawn, rowsInView - 1);
    }
    // Scrolled content under an opaque list that is see-through or rounded is drawn whole, and right.
    table->setBackgroundColor(Color::clear());
    r.drawFrame();
    table->setContentOffset({0, table->contentOffset().y + 40}, false);
    r.drawFrame();
    expectSameAsFresh(r);
    table->setBackgroundColor(Color::whiteColor());
    table->layer().setCornerRadius(12);
    r.drawFrame();
    table->setContentOffset({0, table->contentOffset().y + 40}, false);
    r.drawFrame();
    expectSameAsFresh(r);
    // A text view scrolls too, but draws its text where it shows.
    auto text = TextView::create({20, 120, 280, 120});
    text->setBackgroundColor(Color::whiteColor());
    text->setClipsToBounds(true);
    text->setText("One line\nTwo lines\nThree lines\nFour lines\nFive lines\nSix lines\nSeven lines");
    text->setContentSize({280, 400});
    screen->addSubview(text);
    r.drawFrame();
    text->setContentOffset({0, 20}, false);
    r.drawFrame();
    expectSameAsFresh(r);
    screen->setHidden(true);
}
