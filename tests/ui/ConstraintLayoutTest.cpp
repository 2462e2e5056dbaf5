#include "platform/ui/layout/LayoutConstraint.h"

#include <gtest/gtest.h>

#include "platform/foundation/Log.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/View.h"

namespace velkora::ui {
namespace {

using A = LayoutAttribute;
constexpr auto EQ = LayoutRelation::Equal;
constexpr auto GE = LayoutRelation::GreaterThanOrEqual;
constexpr auto LE = LayoutRelation::LessThanOrEqual;

// A view with a content size of its own, as labels and images have.
class ContentView : public View {
public:
    explicit ContentView(Size s = {-1, -1}) : content(s) {}
    Size intrinsicContentSize() const override { return content; }
    Size content;
};

ViewPtr constrained(const ViewPtr& parent, Size content = {-1, -1}) {
    auto v = std::make_shared<ContentView>(content);
    v->setTranslatesAutoresizingMaskIntoConstraints(false);
    parent->addSubview(v);
    return v;
}

// Installs `a.attr REL b.attr * m + c` on `on` at a priority.
LayoutConstraintPtr rel(View& on, const ViewPtr& a, A aa, LayoutRelation r, const ViewPtr& b, A ba, double c,
                        double priority = LayoutPriorityRequired, double m = 1) {
    auto k = LayoutConstraint::create(a, aa, r, b, ba, m, c);
    k->setPriority(priority);
    addConstraint(on, k);
    return k;
}
LayoutConstraintPtr pin(View& on, const ViewPtr& a, A aa, const ViewPtr& b, A ba, double c = 0,
                        double priority = LayoutPriorityRequired) {
    return rel(on, a, aa, EQ, b, ba, c, priority);
}
LayoutConstraintPtr fixed(View& on, const ViewPtr& a, A aa, double c) {
    auto k = LayoutConstraint::create(a, aa, EQ, c);
    addConstraint(on, k);
    return k;
}

TEST(ConstraintLayout, EdgesSizesCentringAndMultipliers) {
    auto root = View::create({0, 0, 320, 480});
    auto bar = constrained(root);
    pin(*root, bar, A::Leading, root, A::Leading, 10);
    pin(*root, bar, A::Trailing, root, A::Trailing, -10);
    pin(*root, bar, A::Top, root, A::Top, 20);
    fixed(*root, bar, A::Height, 44);
    auto box = constrained(root);
    pin(*root, box, A::CenterX, root, A::CenterX);
    pin(*root, box, A::CenterY, root, A::CenterY, 15);
    fixed(*root, box, A::Width, 100);
    rel(*root, box, A::Height, EQ, root, A::Height, 0, LayoutPriorityRequired, 0.25);
    auto half = constrained(root);
    rel(*root, half, A::Width, EQ, root, A::Width, 0, LayoutPriorityRequired, 0.5);
    pin(*root, half, A::Right, root, A::Right);
    pin(*root, half, A::Bottom, root, A::Bottom);
    fixed(*root, half, A::Height, 30);
    root->layoutIfNeeded();
    EXPECT_EQ(bar->frame(), Rect(10, 20, 300, 44));
    EXPECT_EQ(box->frame(), Rect(110, 195, 100, 120));
    EXPECT_EQ(half->frame(), Rect(160, 450, 160, 30));

    // The container grows: everything follows on the next pass.
    root->setFrame({0, 0, 480, 320});
    root->layoutIfNeeded();
    EXPECT_EQ(bar->frame(), Rect(10, 20, 460, 44));
    EXPECT_EQ(box->frame(), Rect(190, 135, 100, 80));
    EXPECT_EQ(half->frame(), Rect(240, 290, 240, 30));
}

TEST(ConstraintLayout, HorizontalChainSharesTheWidth) {
    auto root = View::create({0, 0, 310, 50});
    auto a = constrained(root), b = constrained(root), c = constrained(root);
    pin(*root, a, A::Left, root, A::Left, 10);
    pin(*root, b, A::Left, a, A::Right, 10);
    pin(*root, c, A::Left, b, A::Right, 10);
    pin(*root, c, A::Right, root, A::Right, -10);
    pin(*root, b, A::Width, a, A::Width);
    pin(*root, c, A::Width, a, A::Width);
    for (const auto& v : {a, b, c}) {
        pin(*root, v, A::Top, root, A::Top);
        pin(*root, v, A::Bottom, root, A::Bottom);
    }
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame(), Rect(10, 0, 90, 50));
    EXPECT_EQ(b->frame(), Rect(110, 0, 90, 50));
    EXPECT_EQ(c->frame(), Rect(210, 0, 90, 50));
}

// A cell: title label, picture, subtitle label and a separator, each below the one before. The row
// height is read from the separator's bottom after layout, and the fitting size agrees.
struct ChainCell {
    ViewPtr cell = View::create({0, 0, 320, 44});
    ViewPtr title, picture, subtitle, separator, icon;
    LayoutConstraintPtr separatorToIcon, separatorToSubtitle, pictureHeight;

    ChainCell() {
        auto& c = *cell;
        title = constrained(cell, {120, 21});
        picture = constrained(cell, {200, 150});
        subtitle = constrained(cell, {180, 34});
        separator = constrained(cell);
        icon = constrained(cell, {40, 40});
        pin(c, icon, A::Leading, cell, A::Leading, 8);
        pin(c, icon, A::Top, cell, A::Top, 8);
        // Fixed, or the solver would rather stretch the icon (breaking only its hugging at 250) than
        // give up either alternative below.
        fixed(c, icon, A::Height, 40);
        for (const auto& v : {title, picture, subtitle})
            pin(c, v, A::Leading, icon, A::Trailing, 8);
        pin(c, title, A::Top, cell, A::Top, 10);
        pin(c, picture, A::Top, title, A::Bottom, 6);
        pictureHeight = fixed(c, picture, A::Height, 100);
        rel(c, picture, A::Width, EQ, picture, A::Height, 0, LayoutPriorityRequired, 2);
        pin(c, subtitle, A::Top, picture, A::Bottom, 4);
        pin(c, separator, A::Leading, cell, A::Leading);
        pin(c, separator, A::Trailing, cell, A::Trailing);
        fixed(c, separator, A::Height, 1);
        separatorToIcon = pin(c, separator, A::Top, icon, A::Bottom, 8, 800);
        separatorToSubtitle = pin(c, separator, A::Top, subtitle, A::Bottom, 8, 700);
    }
};

TEST(ConstraintLayout, VerticalChainGivesTheSeparatorBottomAsTheCellHeight) {
    ChainCell t;
    // The subtitle ends below the icon, so the cell's code swaps the priorities: now the subtitle wins.
    t.separatorToIcon->setPriority(700);
    t.separatorToSubtitle->setPriority(800);
    t.cell->layoutIfNeeded();
    EXPECT_EQ(t.title->frame(), Rect(56, 10, 120, 21));
    EXPECT_EQ(t.picture->frame(), Rect(56, 37, 200, 100));
    EXPECT_EQ(t.subtitle->frame(), Rect(56, 141, 180, 34));
    EXPECT_EQ(t.separator->frame(), Rect(0, 183, 320, 1));
    EXPECT_EQ(t.separator->frame().maxY(), 184); // the row height

    // Measuring with the separator tied to the bottom gives the same height for any starting height.
    pin(*t.cell, t.separator, A::Bottom, t.cell, A::Bottom);
    EXPECT_EQ(systemLayoutSizeFittingSize(*t.cell, {320, 0}, LayoutPriorityRequired), (Size{320, 184}));
    t.pictureHeight->setConstant(0); // no picture
    EXPECT_EQ(systemLayoutSizeFittingSize(*t.cell, {320, 0}, LayoutPriorityRequired), (Size{320, 84}));
}

TEST(ConstraintLayout, SwitchingPrioritiesBetween700And800MovesTheView) {
    ChainCell t;
    t.cell->layoutIfNeeded();
    EXPECT_EQ(t.separator->frame().y(), 56); // icon bottom 48 + 8
    struct Step {
        double toIcon, toSubtitle, y;
    } steps[] = {{700, 800, 183}, {800, 700, 56}, {700, 800, 183}};
    for (auto s : steps) {
        t.separatorToIcon->setPriority(s.toIcon);
        t.separatorToSubtitle->setPriority(s.toSubtitle);
        EXPECT_TRUE(t.cell->needsLayout());
        t.cell->layoutIfNeeded();
        EXPECT_EQ(t.separator->frame().y(), s.y) << s.toIcon << "/" << s.toSubtitle;
    }
}

// The inbox's trick: five alternatives for the table's top at 500, the one that fits raised to 750.
TEST(ConstraintLayout, RaisedAlternativeBeatsAllTheLowered) {
    auto root = View::create({0, 0, 320, 480});
    auto table = constrained(root);
    pin(*root, table, A::Leading, root, A::Leading);
    pin(*root, table, A::Trailing, root, A::Trailing);
    pin(*root, table, A::Bottom, root, A::Bottom);
    std::vector<LayoutConstraintPtr> tops;
    for (double y : {0.0, 120.0, 120.0, 120.0, 200.0})
        tops.push_back(pin(*root, table, A::Top, root, A::Top, y, 500));
    for (size_t raised : {0u, 4u, 2u}) {
        for (auto& k : tops)
            k->setPriority(500);
        tops[raised]->setPriority(750);
        root->layoutIfNeeded();
        EXPECT_EQ(table->frame().y(), tops[raised]->constant());
        EXPECT_EQ(table->frame().maxY(), 480);
    }
}

TEST(ConstraintLayout, ConstantsChangeAtRunTime) {
    auto root = View::create({0, 0, 320, 480});
    auto panel = constrained(root);
    auto top = pin(*root, panel, A::Top, root, A::Top, 64);
    auto bottom = pin(*root, panel, A::Bottom, root, A::Bottom, 0);
    pin(*root, panel, A::Leading, root, A::Leading);
    auto width = fixed(*root, panel, A::Width, 270);
    root->layoutIfNeeded();
    EXPECT_EQ(panel->frame(), Rect(0, 64, 270, 416));
    top->setConstant(20);
    bottom->setConstant(-30);
    width->setConstant(450);
    root->layoutIfNeeded();
    EXPECT_EQ(panel->frame(), Rect(0, 20, 450, 430));
    EXPECT_EQ(top->constant(), 20);
}

TEST(ConstraintLayout, NestedContainersAndFramedAnchors) {
    auto root = View::create({0, 0, 320, 480});
    // A view placed by its frame (autoresizing) serves as an anchor for constrained views.
    auto header = View::create({0, 0, 320, 64});
    root->addSubview(header);
    auto content = constrained(root);
    pin(*root, content, A::Top, header, A::Bottom, 10);
    pin(*root, content, A::Leading, root, A::Leading, 20);
    pin(*root, content, A::Trailing, root, A::Trailing, -20);
    pin(*root, content, A::Bottom, root, A::Bottom, -20);
    auto inner = constrained(content, {50, 20});
    pin(*content, inner, A::CenterX, content, A::CenterX);
    pin(*content, inner, A::Bottom, content, A::Bottom, -5);
    // A constraint between views of different containers, held by their common ancestor.
    auto badge = constrained(root);
    pin(*root, badge, A::Leading, inner, A::Trailing, 2);
    pin(*root, badge, A::CenterY, inner, A::CenterY);
    fixed(*root, badge, A::Width, 10);
    fixed(*root, badge, A::Height, 10);
    root->layoutIfNeeded();
    EXPECT_EQ(content->frame(), Rect(20, 74, 280, 386));
    EXPECT_EQ(inner->frame(), Rect(115, 361, 50, 20)); // its intrinsic size, inside the content view
    EXPECT_EQ(badge->frame(), Rect(187, 440, 10, 10));

    header->setFrame({0, 0, 320, 100});
    root->setNeedsLayout();
    root->layoutIfNeeded();
    EXPECT_EQ(content->frame(), Rect(20, 110, 280, 350));
    EXPECT_EQ(inner->frame(), Rect(115, 325, 50, 20));
    EXPECT_EQ(badge->frame(), Rect(187, 440, 10, 10));
}

TEST(ConstraintLayout, IntrinsicSizeYieldsByPriority) {
    auto root = View::create({0, 0, 200, 100});
    auto label = constrained(root, {150, 20});
    auto button = constrained(root, {80, 30});
    pin(*root, label, A::Leading, root, A::Leading, 10);
    pin(*root, button, A::Leading, label, A::Trailing, 10);
    rel(*root, button, A::Trailing, LE, root, A::Trailing, -10);
    pin(*root, label, A::Top, root, A::Top);
    pin(*root, button, A::Top, root, A::Top);
    root->layoutIfNeeded();
    // Both resist compression at 750 and 60 points must go: any split will do, but the required edge
    // holds and the heights are untouched.
    EXPECT_LE(button->frame().maxX(), 190);
    EXPECT_EQ(label->frame().height(), 20);
    EXPECT_EQ(button->frame().height(), 30);
    // Holding the button's width a little higher makes the label give way, as a cell does for long names.
    auto keepButton = LayoutConstraint::create(button, A::Width, GE, 80);
    keepButton->setPriority(760);
    addConstraint(*root, keepButton);
    root->layoutIfNeeded();
    EXPECT_EQ(button->frame(), Rect(110, 0, 80, 30));
    EXPECT_EQ(label->frame(), Rect(10, 0, 90, 20));
    EXPECT_EQ(constraintsInvolving(*root, button.get()).size(), 4u);
    keepButton->setActive(false);
    EXPECT_EQ(constraintsInvolving(*root, button.get()).size(), 3u);
}

TEST(ConstraintLayout, ActivationInstallsOnTheCommonAncestor) {
    auto root = View::create({0, 0, 320, 480});
    auto box = View::create();
    root->addSubview(box);
    auto a = constrained(box), b = constrained(box);
    auto k = LayoutConstraint::create(a, A::Top, EQ, b, A::Bottom, 1, 5);
    k->setActive(true);
    EXPECT_EQ(k->installedView(), box);
    ASSERT_EQ(box->constraints().size(), 1u);
    k->setActive(false);
    EXPECT_TRUE(box->constraints().empty());
    EXPECT_FALSE(k->isActive());
    // Items in two separate trees cannot be related.
    foundation::Log::Capture log;
    auto stranger = View::create();
    auto bad = LayoutConstraint::create(a, A::Top, EQ, stranger, A::Top, 1, 0);
    bad->setActive(true);
    EXPECT_FALSE(bad->installedView());
    EXPECT_TRUE(log.contains("Velkora (E) - cannot activate constraint"));
}

TEST(ConstraintLayout, ContradictionKeepsTheFirstAndWarns) {
    foundation::Log::Capture log;
    auto root = View::create({0, 0, 320, 480});
    auto v = constrained(root);
    pin(*root, v, A::Top, root, A::Top);
    pin(*root, v, A::Left, root, A::Left);
    fixed(*root, v, A::Height, 10);
    fixed(*root, v, A::Width, 100);
    auto clash = fixed(*root, v, A::Width, 200);
    root->layoutIfNeeded();
    EXPECT_EQ(v->frame(), Rect(0, 0, 100, 10));
    EXPECT_TRUE(log.contains("Velkora (W) - unable to satisfy"));
    // Views that are gone or moved out of the tree are left out, not crashed on.
    auto gone = constrained(root);
    pin(*root, v, A::Top, gone, A::Bottom, 0, 900);
    gone->removeFromSuperview();
    gone.reset();
    clash->setConstant(100);
    root->layoutIfNeeded();
    EXPECT_EQ(v->frame(), Rect(0, 0, 100, 10));
}

// A wrapping label's height follows the width its constraints give it, so the row below it lands right.
TEST(ConstraintLayout, WrappingLabelTakesTheHeightOfItsWidth) {
    auto cell = View::create({0, 0, 320, 44});
    auto label = Label::create();
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    label->setNumberOfLines(0);
    label->setText(std::string(120, 'w'));
    cell->addSubview(label);
    auto line = constrained(cell);
    pin(*cell, label, A::Leading, cell, A::Leading, 10);
    pin(*cell, label, A::Trailing, cell, A::Trailing, -10);
    pin(*cell, label, A::Top, cell, A::Top, 10);
    pin(*cell, line, A::Top, label, A::Bottom, 8);
    pin(*cell, line, A::Leading, cell, A::Leading);
    pin(*cell, line, A::Trailing, cell, A::Trailing);
    fixed(*cell, line, A::Height, 1);
    cell->layoutIfNeeded();
    double wrapped = label->sizeThatFits({300, 0}).height;
    EXPECT_GT(wrapped, label->sizeThatFits({0, 0}).height); // more than one line
    EXPECT_EQ(label->frame(), Rect(10, 10, 300, wrapped));
    EXPECT_EQ(line->frame().maxY(), 10 + wrapped + 8 + 1);
}

TEST(ConstraintLayout, AttributeNames) {
    EXPECT_EQ(layoutAttributeFromName("centerY"), A::CenterY);
    EXPECT_EQ(layoutAttributeFromName("6"), A::Trailing);
    EXPECT_EQ(layoutAttributeFromName("middle"), A::NotAnAttribute);
    EXPECT_EQ(layoutAttributeFromName("99"), A::NotAnAttribute);
    EXPECT_STREQ(layoutAttributeName(A::Leading), "leading");
}

// Rows placed by their frames inside a scrolling container: their content keeps its place in the row as
// the container scrolls and rows move, and a view held to the container's own edges follows its bounds.
TEST(ConstraintLayout, RowsKeepTheirContentWhileTheContainerScrolls) {
    auto list = std::make_shared<ScrollView>(Rect{0, 0, 320, 200});
    list->setContentSize({320, 1000});
    std::vector<std::shared_ptr<TableViewCell>> rows;
    std::vector<ViewPtr> badges;
    for (int i = 0; i < 3; ++i) {
        auto row = TableViewCell::create();
        row->setFrame({0, 60.0 * i, 320, 60});
        list->addSubview(row);
        auto badge = constrained(row, {40, 20});
        pin(*row, badge, A::Trailing, row, A::Trailing, -8);
        pin(*row, badge, A::CenterY, row, A::CenterY);
        rows.push_back(row);
        badges.push_back(badge);
    }
    // A plain framed view's content is the container's to solve.
    auto panel = View::create({0, 180, 320, 40});
    list->addSubview(panel);
    auto mark = constrained(panel, {16, 16});
    pin(*panel, mark, A::Leading, panel, A::Leading, 12);
    pin(*panel, mark, A::Bottom, panel, A::Bottom, -2);
    auto floating = constrained(list, {100, 10});
    pin(*list, floating, A::Top, list, A::Top, 4);
    pin(*list, floating, A::Leading, list, A::Leading, 4);
    list->layoutIfNeeded();
    for (const auto& badge : badges)
        EXPECT_EQ(badge->frame(), Rect(272, 20, 40, 20));
    EXPECT_EQ(floating->frame(), Rect(4, 4, 100, 10));
    EXPECT_EQ(mark->frame(), Rect(12, 22, 16, 16));

    list->setContentOffset({0, 150});
    rows[0]->setFrame({0, 300, 320, 80}); // a row taken for another place, taller
    list->layoutIfNeeded();
    EXPECT_EQ(badges[0]->frame(), Rect(272, 30, 40, 20));
    EXPECT_EQ(badges[1]->frame(), Rect(272, 20, 40, 20));
    EXPECT_EQ(floating->frame(), Rect(4, 154, 100, 10)) << "held to the visible edges, as before";
    EXPECT_EQ(mark->frame(), Rect(12, 22, 16, 16));
    panel->setFrame({0, 400, 320, 60});
    list->setContentOffset({0, 300});
    list->layoutIfNeeded();
    EXPECT_EQ(mark->frame(), Rect(12, 42, 16, 16));
    EXPECT_EQ(floating->frame(), Rect(4, 304, 100, 10));
}

// A row's own content is solved by the row's pass; whenever its container is laid out, so is the row (a
// change the row was not told of is still picked up). A constraint that reaches into a row from outside
// keeps that row in the container's pass.
TEST(ConstraintLayout, ContainerLaysOutItsRowsAndWhatReachesIntoThem) {
    auto root = View::create({0, 0, 320, 400});
    auto row = TableViewCell::create();
    row->setFrame({0, 100, 320, 60});
    root->addSubview(row);
    auto content = std::make_shared<ContentView>(Size{40, 20});
    content->setTranslatesAutoresizingMaskIntoConstraints(false);
    row->addSubview(content);
    pin(*row, content, A::Leading, row, A::Leading, 10);
    pin(*row, content, A::Top, row, A::Top, 5);
    root->layoutIfNeeded();
    EXPECT_EQ(content->frame(), Rect(10, 5, 40, 20));
    content->content = {90, 30}; // nobody is told
    root->setNeedsLayout();
    root->layoutIfNeeded();
    EXPECT_EQ(content->frame(), Rect(10, 5, 90, 30));

    // A view outside the row lines up with one inside it.
    auto marker = constrained(root, {8, 8});
    auto other = std::make_shared<ContentView>(Size{30, 12});
    other->setTranslatesAutoresizingMaskIntoConstraints(false);
    row->addSubview(other);
    pin(*root, other, A::Leading, marker, A::Trailing, 6);
    pin(*root, other, A::Top, row, A::Top, 30);
    pin(*root, marker, A::Leading, root, A::Leading, 200);
    pin(*root, marker, A::Top, root, A::Top, 0);
    root->layoutIfNeeded();
    EXPECT_EQ(marker->frame(), Rect(200, 0, 8, 8));
    EXPECT_EQ(other->frame(), Rect(214, 30, 30, 12)) << "in the row's coordinates";
    EXPECT_EQ(content->frame(), Rect(10, 5, 90, 30));
}

} // namespace
} // namespace velkora::ui
