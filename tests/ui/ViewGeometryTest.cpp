#include <gtest/gtest.h>

#include <numbers>

#include "platform/ui/Application.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

using namespace velkora::ui;

namespace {

class ViewGeometry : public ::testing::Test {
protected:
    void TearDown() override { Application::instance().resetForTests(); }
};

TEST_F(ViewGeometry, QuarterTurnGivesTheBoundingBoxAndAFrameSetUnderItSwapsTheBounds) {
    auto v = View::create({10, 20, 100, 50});
    v->setTransform(AffineTransform::rotation(std::numbers::pi / 2));
    // The bounds and centre do not move; the frame is the turned box around the same centre.
    EXPECT_EQ(v->bounds(), Rect(0, 0, 100, 50));
    EXPECT_EQ(v->center(), (Point{60, 45}));
    EXPECT_EQ(v->frame(), Rect(35, -5, 50, 100));

    v->setFrame({0, 0, 200, 100});
    EXPECT_EQ(v->center(), (Point{100, 50}));
    EXPECT_EQ(v->bounds(), Rect(0, 0, 100, 200));
    EXPECT_EQ(v->frame(), Rect(0, 0, 200, 100));

    // Back to identity: the frame is the bounds around the centre again.
    v->setTransform(AffineTransform::identity());
    EXPECT_EQ(v->frame(), Rect(50, -50, 100, 200));
}

TEST_F(ViewGeometry, HalfTurnAndScaleKeepSizesAsThePlatformDoes) {
    struct Case {
        AffineTransform t;
        Rect frame;
        Size expectedBounds;
    } cases[] = {
        {AffineTransform::rotation(std::numbers::pi), {0, 0, 80, 40}, {80, 40}},
        {AffineTransform::rotation(-std::numbers::pi / 2), {0, 0, 80, 40}, {40, 80}},
        {AffineTransform::scale(2, 4), {0, 0, 80, 40}, {40, 10}},
    };
    for (auto& c : cases) {
        auto v = View::create({0, 0, 10, 10});
        v->setTransform(c.t);
        v->setFrame(c.frame);
        EXPECT_EQ(v->bounds().size, c.expectedBounds);
        EXPECT_EQ(v->frame(), c.frame);
    }
}

TEST_F(ViewGeometry, PointsConvertThroughBoundsOriginsTransformsAndWindows) {
    auto window = Window::create({0, 0, 320, 480});
    auto outer = View::create({10, 20, 200, 200});
    auto inner = View::create({5, 5, 50, 50});
    window->addSubview(outer);
    outer->addSubview(inner);
    EXPECT_EQ(inner->convertPointToView({1, 1}, nullptr), (Point{16, 26}));
    EXPECT_EQ(inner->convertPointToView({1, 1}, window.get()), (Point{16, 26}));
    EXPECT_EQ(window->convertPointToView({16, 26}, inner.get()), (Point{1, 1}));

    // Scrolling the outer view (its bounds origin) moves what is inside it.
    outer->setBounds({0, 100, 200, 200});
    EXPECT_EQ(inner->convertPointToView({1, 1}, nullptr), (Point{16, -74}));

    // A quarter-turned view (centre 120, 110): its local x axis runs down the screen, its top left
    // corner is at the top right of the turned box.
    auto turned = View::create({100, 100, 40, 20});
    window->addSubview(turned);
    turned->setTransform(AffineTransform::rotation(std::numbers::pi / 2));
    Point topLeft = turned->convertPointToView({0, 0}, nullptr);
    EXPECT_DOUBLE_EQ(topLeft.x, 130);
    EXPECT_DOUBLE_EQ(topLeft.y, 90);
    Point back = turned->convertPointFromView(topLeft, nullptr);
    EXPECT_NEAR(back.x, 0, 1e-9);
    EXPECT_NEAR(back.y, 0, 1e-9);

    // Two windows meet in screen coordinates.
    auto other = Window::create({0, 200, 320, 100});
    auto inOther = View::create({10, 10, 20, 20});
    other->addSubview(inOther);
    EXPECT_EQ(inOther->convertPointToView({0, 0}, inner.get()), (Point{-5, 285}));
    EXPECT_EQ(inOther->convertPointToScreen({0, 0}), (Point{10, 210}));
}

TEST_F(ViewGeometry, AutoresizingSharesTheChangeAmongFlexibleParts) {
    struct Case {
        unsigned mask;
        Rect expected;
    } cases[] = {
        {AutoresizingNone, {10, 10, 80, 30}},
        {AutoresizingFlexibleWidth, {10, 10, 180, 30}},
        {AutoresizingFlexibleLeftMargin, {110, 10, 80, 30}},
        {AutoresizingFlexibleLeftMargin | AutoresizingFlexibleRightMargin, {60, 10, 80, 30}},
        {AutoresizingFlexibleHeight | AutoresizingFlexibleTopMargin, {10, 16.25, 80, 48.75}},
        {AutoresizingFlexibleBottomMargin, {10, 10, 80, 30}},
    };
    for (auto& c : cases) {
        auto parent = View::create({0, 0, 100, 50});
        auto child = View::create({10, 10, 80, 30});
        child->setAutoresizingMask(c.mask);
        parent->addSubview(child);
        parent->setFrame({0, 0, 200, 75});
        EXPECT_EQ(child->frame(), c.expected) << "mask " << c.mask;
    }
    // Switched off on the parent: nothing moves.
    auto parent = View::create({0, 0, 100, 50});
    auto child = View::create({10, 10, 80, 30});
    child->setAutoresizingMask(AutoresizingFlexibleWidth);
    parent->setAutoresizesSubviews(false);
    parent->addSubview(child);
    parent->setFrame({0, 0, 200, 50});
    EXPECT_EQ(child->frame(), Rect(10, 10, 80, 30));
}

TEST_F(ViewGeometry, SubviewOrderAndMoves) {
    auto parent = View::create();
    auto a = View::create(), b = View::create(), c = View::create();
    a->setTag(1), b->setTag(2), c->setTag(3);
    parent->addSubview(a);
    parent->addSubview(b);
    parent->insertSubview(c, 0);
    auto tags = [&] {
        std::vector<int> t;
        for (auto& s : parent->subviews()) t.push_back(s->tag());
        return t;
    };
    EXPECT_EQ(tags(), (std::vector<int>{3, 1, 2}));
    parent->bringSubviewToFront(c.get());
    EXPECT_EQ(tags(), (std::vector<int>{1, 2, 3}));
    parent->sendSubviewToBack(b.get());
    EXPECT_EQ(tags(), (std::vector<int>{2, 1, 3}));
    parent->insertSubviewAbove(b, a.get());
    EXPECT_EQ(tags(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(parent->viewWithTag(2), b.get());

    // Moving a view to another parent takes it out of the first; a cycle is refused.
    auto other = View::create();
    other->addSubview(a);
    EXPECT_EQ(tags(), (std::vector<int>{2, 3}));
    EXPECT_EQ(a->superview(), other.get());
    a->addSubview(other);
    EXPECT_EQ(other->superview(), nullptr);
    a->removeFromSuperview();
    EXPECT_EQ(a->superview(), nullptr);
    EXPECT_TRUE(other->subviews().empty());

    // A view whose only owner was its superview survives its own removal call.
    std::weak_ptr<View> weak;
    {
        auto temp = View::create();
        weak = temp;
        parent->addSubview(temp);
    }
    weak.lock()->removeFromSuperview();
    EXPECT_TRUE(weak.expired());
}

class CountingView : public View {
public:
    using View::View;
    int layouts = 0;
    int draws = 0;
    void layoutSubviews() override {
        View::layoutSubviews();
        ++layouts;
    }
    void drawRect(GraphicsContext&, const Rect&) override { ++draws; }
};

TEST_F(ViewGeometry, LayoutAndDisplayPassesRunOnlyForMarkedViews) {
    auto parent = std::make_shared<CountingView>(Rect(0, 0, 100, 100));
    auto child = std::make_shared<CountingView>(Rect(0, 0, 10, 10));
    parent->addSubview(child);
    parent->layoutIfNeeded();
    EXPECT_EQ(parent->layouts, 1);
    EXPECT_EQ(child->layouts, 1);
    parent->layoutIfNeeded();
    EXPECT_EQ(parent->layouts, 1);
    child->setNeedsLayout();
    parent->layoutIfNeeded();
    EXPECT_EQ(parent->layouts, 1);
    EXPECT_EQ(child->layouts, 2);
    // A size change marks the view.
    parent->setFrame({0, 0, 50, 50});
    parent->layoutIfNeeded();
    EXPECT_EQ(parent->layouts, 2);

    // The display pass never dereferences the context itself; the hooks bracket each visible view.
    auto& context = *reinterpret_cast<GraphicsContext*>(parent.get());
    std::vector<std::string> order;
    DisplayHooks hooks{[&](View& v, GraphicsContext&) { order.push_back(std::string("+") + (&v == parent.get() ? "p" : "c")); },
                       [&](View& v, GraphicsContext&) { order.push_back(std::string("-") + (&v == parent.get() ? "p" : "c")); }};
    EXPECT_EQ(parent->displayIfNeeded(context, hooks), 2);
    EXPECT_EQ(order, (std::vector<std::string>{"+p", "+c", "-c", "-p"}));
    EXPECT_EQ(parent->displayIfNeeded(context), 0);
    child->setNeedsDisplay();
    child->setHidden(true);
    EXPECT_EQ(parent->displayIfNeeded(context), 0);
    child->setHidden(false);
    EXPECT_EQ(parent->displayIfNeeded(context), 1);
    EXPECT_EQ(child->draws, 2);
}

TEST_F(ViewGeometry, TreeDumpShowsClassFrameHiddenAndText) {
    auto root = View::create({0, 0, 320, 100});
    auto label = Label::create({10, 10, 100, 20});
    label->setText("Hello");
    auto hidden = View::create({0, 50, 5, 5});
    hidden->setHidden(true);
    root->addSubview(label);
    root->addSubview(hidden);
    EXPECT_EQ(root->dumpTree(),
              "View {{0, 0}, {320, 100}}\n"
              "  Label {{10, 10}, {100, 20}} \"Hello\"\n"
              "  View {{0, 50}, {5, 5}} hidden\n");
}

}  // namespace
