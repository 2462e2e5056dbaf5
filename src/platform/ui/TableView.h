// The table: sections of rows from a data source, heights, headers and footers from a delegate, cells
// reused by identifier, batch updates checked against the data source, selection, scrolling to a row,
// the section index and swipe-to-delete editing.
#pragma once

#include <compare>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/ScrollView.h"
#include "platform/ui/TableRowGeometry.h"
#include "platform/ui/TableViewCell.h"

namespace velkora::ui {

class TableView;

struct IndexPath {
    int section = 0;
    int row = 0;
    friend auto operator<=>(const IndexPath&, const IndexPath&) = default;
    static IndexPath of(int row, int section) { return {section, row}; }
    std::string description() const;
};

enum class TableViewStyle { Plain = 0, Grouped = 1 };
enum class TableViewRowAnimation { Fade = 0, Right, Left, Top, Bottom, None, Middle, Automatic = 100 };
enum class TableViewScrollPosition { None = 0, Top, Middle, Bottom };
enum class TableViewCellSeparatorStyle { None = 0, SingleLine, SingleLineEtched };

// The title of the magnifying-glass entry of a section index.
inline constexpr const char* kTableViewIndexSearch = "{search}";

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfSectionsInTableView(TableView& /*table*/) { return 1; }
    virtual int numberOfRowsInSection(TableView& table, int section) = 0;
    virtual TableViewCellPtr cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) = 0;
    virtual std::optional<std::string> titleForHeaderInSection(TableView& /*table*/, int /*section*/) { return std::nullopt; }
    virtual std::optional<std::string> titleForFooterInSection(TableView& /*table*/, int /*section*/) { return std::nullopt; }
    virtual std::vector<std::string> sectionIndexTitlesForTableView(TableView& /*table*/) { return {}; }
    virtual int sectionForSectionIndexTitle(TableView& /*table*/, const std::string& /*title*/, int index) { return index; }
    // A data source that edits rows (swipe to delete) says which here.
    virtual bool canEditRowAtIndexPath(TableView& /*table*/, const IndexPath& /*indexPath*/) { return false; }
    virtual void commitEditingStyle(TableView& /*table*/, TableViewCellEditingStyle /*style*/, const IndexPath& /*indexPath*/) {}
};

class TableViewDelegate : public ScrollViewDelegate {
public:
    // Negative: the table's own height (rowHeight, or the section header and footer heights).
    virtual double heightForRowAtIndexPath(TableView& /*table*/, const IndexPath& /*indexPath*/) { return -1; }
    virtual double heightForHeaderInSection(TableView& /*table*/, int /*section*/) { return -1; }
    virtual double heightForFooterInSection(TableView& /*table*/, int /*section*/) { return -1; }
    virtual ViewPtr viewForHeaderInSection(TableView& /*table*/, int /*section*/) { return nullptr; }
    virtual ViewPtr viewForFooterInSection(TableView& /*table*/, int /*section*/) { return nullptr; }
    virtual void willDisplayCell(TableView& /*table*/, TableViewCell& /*cell*/, const IndexPath& /*indexPath*/) {}
    virtual void didEndDisplayingCell(TableView& /*table*/, TableViewCell& /*cell*/, const IndexPath& /*indexPath*/) {}
    virtual bool shouldHighlightRowAtIndexPath(TableView& /*table*/, const IndexPath& /*indexPath*/) { return true; }
    // Null: the row is not selected. Another index path: that row is selected instead.
    virtual std::optional<IndexPath> willSelectRowAtIndexPath(TableView& /*table*/, const IndexPath& indexPath) { return indexPath; }
    virtual void didSelectRowAtIndexPath(TableView& /*table*/, const IndexPath& /*indexPath*/) {}
    virtual std::optional<IndexPath> willDeselectRowAtIndexPath(TableView& /*table*/, const IndexPath& indexPath) { return indexPath; }
    virtual void didDeselectRowAtIndexPath(TableView& /*table*/, const IndexPath& /*indexPath*/) {}
    virtual void accessoryButtonTappedForRowWithIndexPath(TableView& /*table*/, const IndexPath& /*indexPath*/) {}
    virtual TableViewCellEditingStyle editingStyleForRowAtIndexPath(TableView& /*table*/, const IndexPath& /*indexPath*/) {
        return TableViewCellEditingStyle::Delete;
    }
    virtual std::string titleForDeleteConfirmationButtonForRowAtIndexPath(TableView& /*table*/, const IndexPath& /*indexPath*/) {
        return "Delete";
    }
    virtual void willBeginEditingRowAtIndexPath(TableView& /*table*/, const IndexPath& /*indexPath*/) {}
    virtual void didEndEditingRowAtIndexPath(TableView& /*table*/, const IndexPath& /*indexPath*/) {}
};

// The view a section header or footer title is shown in.
class TableViewHeaderFooterView : public View {
public:
    explicit TableViewHeaderFooterView(std::string title);
    const char* className() const override { return "TableViewHeaderFooterView"; }
    const std::shared_ptr<Label>& textLabel() const { return textLabel_; }
    void layoutSubviews() override;

private:
    std::shared_ptr<Label> textLabel_;
};

class TableView : public ScrollView {
public:
    explicit TableView(const Rect& frame = {}, TableViewStyle style = TableViewStyle::Plain);
    static std::shared_ptr<TableView> create(const Rect& frame = {}, TableViewStyle style = TableViewStyle::Plain) {
        return std::make_shared<TableView>(frame, style);
    }
    const char* className() const override { return "TableView"; }
    TableViewStyle style() const { return style_; }

    // Neither is retained.
    void setDataSource(std::weak_ptr<TableViewDataSource> dataSource);
    std::shared_ptr<TableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDelegate(std::weak_ptr<TableViewDelegate> delegate);
    std::shared_ptr<TableViewDelegate> tableDelegate() const { return delegate_.lock(); }

    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double h) { rowHeight_ = h; }
    // Zero (the default): every row's height is asked whenever the table loads or changes. Above zero: a
    // row not yet shown counts this high until it comes into view, where its height is asked and kept;
    // an update asks again only for the rows it changes and those in view. What is in view does not
    // move when an estimate gives way to the real height, and scrolling to a row lands where it would
    // with every height known.
    double estimatedRowHeight() const { return estimatedRowHeight_; }
    void setEstimatedRowHeight(double h);
    double sectionHeaderHeight() const { return sectionHeaderHeight_; }
    void setSectionHeaderHeight(double h) { sectionHeaderHeight_ = h; }
    double sectionFooterHeight() const { return sectionFooterHeight_; }
    void setSectionFooterHeight(double h) { sectionFooterHeight_ = h; }
    TableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
    void setSeparatorStyle(TableViewCellSeparatorStyle s) { separatorStyle_ = s; }
    Color separatorColor() const { return separatorColor_; }
    void setSeparatorColor(Color c) { separatorColor_ = c; }
    EdgeInsets separatorInset() const { return separatorInset_; }
    void setSeparatorInset(EdgeInsets i) { separatorInset_ = i; }
    const ViewPtr& tableHeaderView() const { return tableHeaderView_; }
    void setTableHeaderView(ViewPtr v);
    const ViewPtr& tableFooterView() const { return tableFooterView_; }
    void setTableFooterView(ViewPtr v);
    const ViewPtr& backgroundView() const { return backgroundView_; }
    void setBackgroundView(ViewPtr v);
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool a) { allowsSelection_ = a; }
    bool allowsSelectionDuringEditing() const { return allowsSelectionDuringEditing_; }
    void setAllowsSelectionDuringEditing(bool a) { allowsSelectionDuringEditing_ = a; }

    // ---- Data
    // Asks the data source again for everything; visible cells go back to the reuse queues, the
    // selection is cleared. Never checks counts.
    void reloadData();
    int numberOfSections() const;
    int numberOfRowsInSection(int section) const;
    // In content coordinates; empty for an index path out of range.
    Rect rectForSection(int section) const;
    Rect rectForRowAtIndexPath(const IndexPath& indexPath) const;
    Rect rectForHeaderInSection(int section) const;
    Rect rectForFooterInSection(int section) const;
    std::optional<IndexPath> indexPathForRowAtPoint(Point p) const;
    std::optional<IndexPath> indexPathForCell(const TableViewCell* cell) const;
    std::vector<IndexPath> indexPathsForRowsInRect(const Rect& rect) const;

    // ---- Cells
    std::vector<TableViewCellPtr> visibleCells() const;
    std::vector<IndexPath> indexPathsForVisibleRows() const;
    // Only a visible row has a cell.
    TableViewCellPtr cellForRowAtIndexPath(const IndexPath& indexPath) const;
    ViewPtr headerViewForSection(int section) const;
    // A cell waiting for reuse under the identifier (prepared for reuse), or null.
    TableViewCellPtr dequeueReusableCellWithIdentifier(const std::string& identifier);
    // As above, else a new cell from the factory registered for the identifier; null (logged) when none is.
    TableViewCellPtr dequeueReusableCellWithIdentifier(const std::string& identifier, const IndexPath& indexPath);
    using CellFactory = std::function<TableViewCellPtr()>;
    void registerCellFactory(const std::string& identifier, CellFactory factory);
    size_t reusableCellCount(const std::string& identifier) const;

    // ---- Batch updates
    // Inside begin/end, the changes are applied together at the end; outside, each call is applied at
    // once. Deletions name rows and sections as they were before, insertions as they are after. When the
    // data source's counts do not add up, the update fails: the reason is logged as an error, kept in
    // lastUpdateError(), the call answers false, and the table reloads from the data source.
    void beginUpdates();
    bool endUpdates();
    bool insertRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
    bool deleteRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
    bool reloadRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
    bool insertSections(const std::vector<int>& sections, TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
    bool deleteSections(const std::vector<int>& sections, TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
    bool reloadSections(const std::vector<int>& sections, TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
    const std::string& lastUpdateError() const { return lastUpdateError_; }

    // ---- Selection
    std::optional<IndexPath> indexPathForSelectedRow() const;
    // From code: the delegate is not told.
    void selectRowAtIndexPath(const std::optional<IndexPath>& indexPath, bool animated, TableViewScrollPosition position);
    void deselectRowAtIndexPath(const IndexPath& indexPath, bool animated);
    // A tap on a row, as the touch routing delivers it: will-select (which may block or redirect), the
    // previous row deselected, did-select. Answers whether a row was selected.
    bool tapRowAtIndexPath(const IndexPath& indexPath);

    // ---- Scrolling
    void scrollToRowAtIndexPath(const IndexPath& indexPath, TableViewScrollPosition position, bool animated);

    // ---- Section index
    const std::vector<std::string>& sectionIndexTitles() const { return indexTitles_; }
    // A tap on an entry of the index: scrolls to the section the data source names for it.
    void tapSectionIndexAtIndex(int index);

    // ---- Editing
    bool isEditing() const { return editing_; }
    void setEditing(bool editing, bool animated = false);
    // A swipe across a row: shows its delete button when the data source can edit it and its style is
    // delete. Answers whether it did.
    bool swipeToDeleteRowAtIndexPath(const IndexPath& indexPath);
    std::optional<IndexPath> rowShowingDeleteConfirmation() const { return swipedRow_; }
    // A tap on the delete button: the data source commits the deletion.
    bool tapDeleteConfirmation();
    void cancelSwipeToDelete();
    // A tap on the editing control of a row in editing mode: commits its editing style.
    bool commitEditingAtIndexPath(const IndexPath& indexPath);

    void layoutSubviews() override;

protected:
    void contentOffsetDidChange() override;
    void boundsSizeDidChange(Size oldSize) override;

private:
    struct Section {
        int rows = 0;
        double top = 0;
        double headerHeight = 0;
        double footerHeight = 0;
        // Heights and tops relative to the section's first row; with estimated heights, which rows were
        // asked of the delegate and kept.
        TableRowGeometry geometry;
        std::optional<std::string> headerTitle, footerTitle;
    };
    struct Updates {
        std::vector<IndexPath> insertRows, deleteRows, reloadRows;
        std::vector<int> insertSections, deleteSections, reloadSections;
        bool empty() const;
    };

    void loadData();
    void loadSections();
    void layoutGeometry();
    void layoutPositions();
    bool estimating() const { return estimatedRowHeight_ > 0; }
    // With estimated heights: asks the heights of the rows in `area` (null: the view) not asked yet,
    // keeping what is in view where it is; answers whether any height changed.
    bool measureRowsIn(const Rect* area);
    void measureRowsInView();
    Point offsetForRow(const IndexPath& ip, TableViewScrollPosition position) const;
    void carryHeights(std::vector<Section>& old, const std::vector<int>& oldOfNew,
                      const std::vector<IndexPath>& deleted, const std::vector<IndexPath>& inserted,
                      const std::vector<IndexPath>& reloaded, const std::vector<int>& reloadedSections);
    void tile();
    void enqueue(const IndexPath& ip, const TableViewCellPtr& cell);
    void clearVisible();
    bool applyUpdates();
    bool failUpdate(const std::string& message);
    bool validIndexPath(const IndexPath& ip) const;

    TableViewStyle style_;
    std::weak_ptr<TableViewDataSource> dataSource_;
    std::weak_ptr<TableViewDelegate> delegate_;
    double rowHeight_ = 44;
    double estimatedRowHeight_ = 0;
    double sectionHeaderHeight_ = 22;
    double sectionFooterHeight_ = 22;
    TableViewCellSeparatorStyle separatorStyle_ = TableViewCellSeparatorStyle::SingleLine;
    Color separatorColor_ = Color::white(0.8);
    EdgeInsets separatorInset_{0, 15, 0, 0};
    ViewPtr tableHeaderView_, tableFooterView_, backgroundView_;
    bool allowsSelection_ = true;
    bool allowsSelectionDuringEditing_ = false;

    bool loaded_ = false;
    std::vector<Section> sections_;
    double tableHeaderHeight_ = 0;
    std::vector<std::string> indexTitles_;
    std::map<IndexPath, TableViewCellPtr> visible_;
    std::map<int, ViewPtr> visibleHeaders_, visibleFooters_;
    std::map<std::string, std::vector<TableViewCellPtr>> reusable_;
    std::map<std::string, CellFactory> factories_;
    std::vector<IndexPath> selected_;
    int updateDepth_ = 0;
    Updates pending_;
    std::string lastUpdateError_;
    bool editing_ = false;
    std::optional<IndexPath> swipedRow_;
    bool tiling_ = false;
    bool measuring_ = false;
    // The row an animated scroll is heading for: its place is found again as heights become known.
    std::optional<std::pair<IndexPath, TableViewScrollPosition>> scrollTarget_;
};

}  // namespace velkora::ui
