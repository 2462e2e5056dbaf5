#include <gtest/gtest.h>

#include "platform/ui/Application.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/Window.h"

using namespace velkora::ui;

namespace {

class ControllerPopover : public ::testing::Test {
protected:
    void SetUp() override {
        Screen::main().setBounds({0, 0, 768, 1024});
        window = Window::createFullScreen();
        window->makeKeyAndVisible();
    }
    void TearDown() override { Application::instance().resetForTests(); }
    std::shared_ptr<Window> window;
};

TEST_F(ControllerPopover, ShowsBelowTheRectOrAboveWhenThereIsNoRoomAndKeepsItselfAlive) {
    struct Content : ViewController {
        int appeared = 0, disappeared = 0;
        void viewDidAppear(bool) override { ++appeared; }
        void viewDidDisappear(bool) override { ++disappeared; }
    };
    auto content = std::make_shared<Content>();
    content->setContentSizeForViewInPopover({320, 400});
    struct Delegate : PopoverControllerDelegate {
        bool allow = false;
        int dismissed = 0;
        bool popoverControllerShouldDismissPopover(PopoverController&) override { return allow; }
        void popoverControllerDidDismissPopover(PopoverController&) override { ++dismissed; }
    };
    auto delegate = std::make_shared<Delegate>();
    std::weak_ptr<PopoverController> weak;
    {
        auto popover = PopoverController::create(content);
        popover->setDelegate(delegate);
        EXPECT_EQ(popover->popoverContentSize(), (Size{320, 400}));
        popover->presentPopoverFromRect({100, 100, 40, 40}, window.get(), PopoverArrowDirectionAny, false);
        weak = popover;
    }
    auto popover = weak.lock();
    ASSERT_TRUE(popover && popover->isPopoverVisible());
    EXPECT_EQ(popover->popoverArrowDirection(), unsigned(PopoverArrowDirectionUp));
    EXPECT_EQ(popover->popoverView()->frame(), Rect(0, 140, 320, 400));  // kept inside the window
    EXPECT_EQ(content->appeared, 1);
    EXPECT_EQ(content->view()->frame().size, (Size{320, 400}));

    EXPECT_FALSE(popover->tapOutside());
    delegate->allow = true;
    EXPECT_TRUE(popover->tapOutside());
    EXPECT_EQ(delegate->dismissed, 1);
    EXPECT_EQ(content->disappeared, 1);

    popover->presentPopoverFromRect({300, 900, 40, 40}, window.get(), PopoverArrowDirectionAny, false);
    EXPECT_EQ(popover->popoverArrowDirection(), unsigned(PopoverArrowDirectionDown));
    EXPECT_EQ(popover->popoverView()->frame().maxY(), 900);
    popover->dismissPopoverAnimated(false);
    EXPECT_EQ(delegate->dismissed, 1);  // from code: not told
    popover.reset();
    EXPECT_TRUE(weak.expired());
}

TEST_F(ControllerPopover, CollectionGridSpreadsFullRowsAndReusesCells) {
    struct Source : CollectionViewDataSource, CollectionViewDelegate {
        int made = 0;
        std::vector<IndexPath> selected;
        int numberOfItemsInSection(CollectionView&, int) override { return 30; }
        CollectionViewCellPtr cellForItemAtIndexPath(CollectionView& view, const IndexPath& ip) override {
            return view.dequeueReusableCellWithReuseIdentifier("tile", ip);
        }
        void didSelectItemAtIndexPath(CollectionView&, const IndexPath& ip) override { selected.push_back(ip); }
    };
    auto source = std::make_shared<Source>();
    CollectionViewFlowLayout layout;
    layout.itemSize = {90, 90};
    layout.minimumInteritemSpacing = 5;
    layout.minimumLineSpacing = 10;
    layout.sectionInset = {10, 10, 10, 10};
    auto grid = CollectionView::create({0, 0, 320, 200}, layout);
    grid->registerCellFactory("tile", [s = source.get()] {
        ++s->made;
        return std::make_shared<CollectionViewCell>();
    });
    grid->setDataSource(source);
    grid->setDelegate(source);
    grid->layoutIfNeeded();
    // 300 points across: 3 items of 90 fit with 5 between; the 30 left spread into 15-point gaps.
    EXPECT_EQ(grid->frameForItemAtIndexPath({0, 0}), Rect(10, 10, 90, 90));
    EXPECT_EQ(grid->frameForItemAtIndexPath({0, 1}), Rect(115, 10, 90, 90));
    EXPECT_EQ(grid->frameForItemAtIndexPath({0, 2}), Rect(220, 10, 90, 90));
    EXPECT_EQ(grid->frameForItemAtIndexPath({0, 3}), Rect(10, 110, 90, 90));
    // 10 rows of 90 with 9 gaps of 10 and the insets.
    EXPECT_EQ(grid->contentSize().height, 10 + 10 * 90 + 9 * 10 + 10);
    int made = source->made;
    EXPECT_EQ(made, 6);  // the rows at 10 and 110 meet the 200-point window
    grid->setContentOffset({0, grid->maxContentOffset().y});
    EXPECT_LE(source->made, made + 3);
    EXPECT_TRUE(grid->tapItemAtIndexPath({0, 29}));
    EXPECT_EQ(source->selected, (std::vector<IndexPath>{{0, 29}}));
    EXPECT_TRUE(grid->cellForItemAtIndexPath({0, 29})->isSelected());
    EXPECT_EQ(grid->indexPathForItemAtPoint({130, 20}), (IndexPath{0, 1}));
}

}  // namespace
