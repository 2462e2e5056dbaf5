#include <gtest/gtest.h>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/ScrollView.h"

using namespace velkora::ui;
using velkora::foundation::RunLoop;

namespace {

struct Recorder : ScrollViewDelegate {
    std::vector<std::string> events;
    int scrolls = 0;
    void scrollViewDidScroll(ScrollView&) override { ++scrolls; }
    void scrollViewWillBeginDragging(ScrollView&) override { events.push_back("willBeginDragging"); }
    void scrollViewWillEndDragging(ScrollView&, Point, Point& target) override {
        events.push_back("willEndDragging " + std::to_string(int(target.x)) + "," + std::to_string(int(target.y)));
    }
    void scrollViewDidEndDragging(ScrollView&, bool decelerate) override {
        events.push_back(std::string("didEndDragging ") + (decelerate ? "decelerating" : "still"));
    }
    void scrollViewWillBeginDecelerating(ScrollView&) override { events.push_back("willBeginDecelerating"); }
    void scrollViewDidEndDecelerating(ScrollView&) override { events.push_back("didEndDecelerating"); }
    void scrollViewDidEndScrollingAnimation(ScrollView&) override { events.push_back("didEndScrollingAnimation"); }
};

class ViewScroll : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().useTestClock(1000);
        scroll = ScrollView::create({0, 0, 100, 200});
        scroll->setContentSize({300, 1000});
        recorder = std::make_shared<Recorder>();
        scroll->setDelegate(recorder);
    }
    void TearDown() override { RunLoop::main().reset(); }
    std::shared_ptr<ScrollView> scroll;
    std::shared_ptr<Recorder> recorder;
};

TEST_F(ViewScroll, AnimatedOffsetMovesOnTheClockAndEndsWithItsCallback) {
    scroll->setContentOffset({0, 300}, true);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 0}));
    RunLoop::main().advance(ScrollView::kAnimationDuration / 2);
    EXPECT_GT(scroll->contentOffset().y, 0);
    EXPECT_LT(scroll->contentOffset().y, 300);
    RunLoop::main().advance(ScrollView::kAnimationDuration);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 300}));
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"didEndScrollingAnimation"}));
    EXPECT_GT(recorder->scrolls, 2);
    // Set at once: no animation callback.
    recorder->events.clear();
    scroll->setContentOffset({0, 10});
    EXPECT_TRUE(recorder->events.empty());
}

TEST_F(ViewScroll, PagingDragSettlesOnTheNextPageAndInsetsWidenTheLimits) {
    scroll->setPagingEnabled(true);
    scroll->beginDragging();
    scroll->dragBy({-30, -50});  // finger up and left: content moves down and right
    EXPECT_EQ(scroll->contentOffset(), (Point{30, 50}));
    scroll->endDragging({0, 100});
    EXPECT_TRUE(scroll->isDecelerating());
    RunLoop::main().advance(1);
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 200}));
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"willBeginDragging", "willEndDragging 0,200",
                                                          "didEndDragging decelerating", "willBeginDecelerating",
                                                          "didEndDecelerating"}));

    // Past the end with bounces: comes back to the limit; a still finger does not decelerate.
    recorder->events.clear();
    scroll->setPagingEnabled(false);
    scroll->setContentInset({10, 0, 20, 0});
    EXPECT_EQ(scroll->minContentOffset(), (Point{0, -10}));
    EXPECT_EQ(scroll->maxContentOffset(), (Point{200, 820}));
    scroll->setContentOffset({0, 820});
    scroll->beginDragging();
    scroll->dragBy({0, -40});
    EXPECT_EQ(scroll->contentOffset().y, 860);
    scroll->endDragging({0, 0});
    RunLoop::main().advance(1);
    EXPECT_EQ(scroll->contentOffset().y, 820);
    scroll->beginDragging();
    scroll->endDragging({0, 0});
    EXPECT_EQ(recorder->events.back(), "didEndDragging still");

    // Without bounce the drag stops at the limit.
    scroll->setBounces(false);
    scroll->beginDragging();
    scroll->dragBy({0, -500});
    EXPECT_EQ(scroll->contentOffset().y, 820);
    scroll->endDragging({});
}

}  // namespace
