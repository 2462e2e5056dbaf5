// The page control: a row of dots, one per page, the current one lit.
#pragma once

#include <memory>

#include "platform/ui/Control.h"

namespace velkora::ui {

class PageControl : public Control {
public:
    using Control::Control;
    static std::shared_ptr<PageControl> create(const Rect& frame = {}) { return std::make_shared<PageControl>(frame); }
    const char* className() const override { return "PageControl"; }

    int numberOfPages() const { return numberOfPages_; }
    // The current page is kept inside the new range.
    void setNumberOfPages(int n);
    int currentPage() const { return currentPage_; }
    // Clamped to the pages there are.
    void setCurrentPage(int page);
    bool hidesForSinglePage() const { return hidesForSinglePage_; }
    void setHidesForSinglePage(bool h) { hidesForSinglePage_ = h; }
    bool defersCurrentPageDisplay() const { return defersCurrentPageDisplay_; }
    void setDefersCurrentPageDisplay(bool d) { defersCurrentPageDisplay_ = d; }
    Color pageIndicatorTintColor() const { return pageIndicatorTintColor_; }
    void setPageIndicatorTintColor(Color c) { pageIndicatorTintColor_ = c; }
    Color currentPageIndicatorTintColor() const { return currentPageIndicatorTintColor_; }
    void setCurrentPageIndicatorTintColor(Color c) { currentPageIndicatorTintColor_ = c; }
    // Whether the dots show: not for a single page when told to hide then, never for none.
    bool showsDots() const { return numberOfPages_ > (hidesForSinglePage_ ? 1 : 0); }

    // Dots 7 points wide, 9 points apart, in a row 37 points high.
    static Size sizeForNumberOfPages(int pages);
    Size sizeThatFits(Size) const override { return sizeForNumberOfPages(numberOfPages_); }
    // A tap on the left half goes back a page, on the right half forward; value-changed when it moved.
    void tapAt(Point p);
    std::string dumpText() const override;

private:
    int numberOfPages_ = 0;
    int currentPage_ = 0;
    bool hidesForSinglePage_ = false;
    bool defersCurrentPageDisplay_ = false;
    Color pageIndicatorTintColor_ = Color::white(1, 0.2);
    Color currentPageIndicatorTintColor_ = Color::whiteColor();
};

}  // namespace velkora::ui
