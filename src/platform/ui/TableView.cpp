#include "platform/ui/TableView.h"

#include <algorithm>
#include <set>

#include "platform/foundation/Log.h"

namespace velkora::ui {

using foundation::Log;

std::string IndexPath::description() const {
    return "{section " + std::to_string(section) + ", row " + std::to_string(row) + "}";
}

// ---- Header and footer views

TableViewHeaderFooterView::TableViewHeaderFooterView(std::string title) : View(Rect{}) {
    textLabel_ = Label::create();
    textLabel_->setText(std::move(title));
    addSubview(textLabel_);
    setBackgroundColor(Color::white(0.97));
}

void TableViewHeaderFooterView::layoutSubviews() {
    View::layoutSubviews();
    Rect b = bounds();
    textLabel_->setFrame({15, 0, std::max(0.0, b.width() - 30), b.height()});
}

// ---- The table

TableView::TableView(const Rect& frame, TableViewStyle style) : ScrollView(frame), style_(style) {
    setAlwaysBounceVertical(true);
    if (style == TableViewStyle::Grouped) {
        sectionHeaderHeight_ = 10;
        sectionFooterHeight_ = 10;
    }
}

void TableView::setDataSource(std::weak_ptr<TableViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    loaded_ = false;
    setNeedsLayout();
}

void TableView::setDelegate(std::weak_ptr<TableViewDelegate> delegate) {
    delegate_ = delegate;
    ScrollView::setDelegate(std::weak_ptr<ScrollViewDelegate>(delegate.lock()));
    setNeedsLayout();
}

void TableView::setTableHeaderView(ViewPtr v) {
    if (tableHeaderView_) tableHeaderView_->removeFromSuperview();
    tableHeaderView_ = std::move(v);
    if (tableHeaderView_) addSubview(tableHeaderView_);
    if (loaded_) layoutGeometry();
    setNeedsLayout();
}

void TableView::setTableFooterView(ViewPtr v) {
    if (tableFooterView_) tableFooterView_->removeFromSuperview();
    tableFooterView_ = std::move(v);
    if (tableFooterView_) addSubview(tableFooterView_);
    if (loaded_) layoutGeometry();
    setNeedsLayout();
}

void TableView::setBackgroundView(ViewPtr v) {
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(v);
    if (backgroundView_) insertSubview(backgroundView_, 0);
    setNeedsLayout();
}

// ---- Data

void TableView::reloadData() {
    auto self = sharedView();
    swipedRow_.reset();
    selected_.clear();
    clearVisible();
    loadData();
    tile();
}

void TableView::setEstimatedRowHeight(double h) {
    estimatedRowHeight_ = std::max(0.0, h);
    if (loaded_) layoutGeometry();
    setNeedsLayout();
}

void TableView::loadData() {
    // With estimated heights, what was known of the rows at the same places is the best estimate: a
    // reload of the same rows (or of more at the end) keeps what lies above the view where it was.
    std::vector<Section> old;
    if (estimating()) old = std::move(sections_);
    loadSections();
    for (size_t s = 0; s < std::min(old.size(), sections_.size()); ++s)
        sections_[s].geometry = std::move(old[s].geometry);
    layoutGeometry();
}

// Counts and titles of the sections, and the section index, as the data source gives them now.
void TableView::loadSections() {
    loaded_ = true;
    sections_.clear();
    indexTitles_.clear();
    auto source = dataSource();
    if (!source) return;
    int count = std::max(0, source->numberOfSectionsInTableView(*this));
    sections_.resize(size_t(count));
    for (int s = 0; s < count; ++s) {
        Section& sec = sections_[size_t(s)];
        sec.rows = std::max(0, source->numberOfRowsInSection(*this, s));
        sec.headerTitle = source->titleForHeaderInSection(*this, s);
        sec.footerTitle = source->titleForFooterInSection(*this, s);
    }
    indexTitles_ = source->sectionIndexTitlesForTableView(*this);
}

// Heights of the headers and footers, and of every row: asked of the delegate, or with estimated
// heights forgotten until each row shows again (what was known stays as its estimate, so nothing in
// view jumps when it is asked again); then the positions and the content size.
void TableView::layoutGeometry() {
    auto delegate = tableDelegate();
    tableHeaderHeight_ = tableHeaderView_ ? tableHeaderView_->frame().height() : 0;
    for (int s = 0; s < int(sections_.size()); ++s) {
        Section& sec = sections_[size_t(s)];
        double header = delegate ? delegate->heightForHeaderInSection(*this, s) : -1;
        bool hasHeader = (sec.headerTitle && !sec.headerTitle->empty()) ||
                         (delegate && header < 0 && delegate->viewForHeaderInSection(*this, s));
        sec.headerHeight = header >= 0 ? header : (hasHeader || style_ == TableViewStyle::Grouped ? sectionHeaderHeight_ : 0);
        double footer = delegate ? delegate->heightForFooterInSection(*this, s) : -1;
        bool hasFooter = (sec.footerTitle && !sec.footerTitle->empty()) ||
                         (delegate && footer < 0 && delegate->viewForFooterInSection(*this, s));
        sec.footerHeight =
            footer >= 0 ? footer : (hasFooter || style_ == TableViewStyle::Grouped ? sectionFooterHeight_ : 0);
        if (estimating()) {
            sec.geometry.resize(sec.rows);
            sec.geometry.setBase(estimatedRowHeight_);
            sec.geometry.forgetMeasured();
            continue;
        }
        // Only the rows that differ from the table's own height are held.
        sec.geometry.reset(sec.rows, rowHeight_);
        for (int r = 0; delegate && r < sec.rows; ++r) {
            double h = delegate->heightForRowAtIndexPath(*this, {s, r});
            if (h >= 0 && h != rowHeight_) sec.geometry.set(r, h, true);
        }
    }
    layoutPositions();
}

// Positions of the sections from the heights held, and the content size.
void TableView::layoutPositions() {
    double y = tableHeaderHeight_;
    for (Section& sec : sections_) {
        sec.top = y;
        y += sec.headerHeight + sec.geometry.total() + sec.footerHeight;
    }
    double footerHeight = tableFooterView_ ? tableFooterView_->frame().height() : 0;
    setContentSize({bounds().width(), y + footerHeight});
}

bool TableView::measureRowsIn(const Rect* area) {
    if (!estimating() || measuring_) return false;
    measuring_ = true;
    auto self = sharedView();
    auto delegate = tableDelegate();
    // What holds the view still: its bottom while it rests at the end, else the first row in view whose
    // height is known (rows coming into view above it grow upwards, those below it downwards).
    const bool atEnd = contentOffset().y > minContentOffset().y && contentOffset().y >= maxContentOffset().y - 0.5;
    std::optional<IndexPath> anchor;
    double anchorY = 0;
    if (!atEnd) {
        for (const IndexPath& ip : indexPathsForRowsInRect(bounds())) {
            const bool measured = sections_[size_t(ip.section)].geometry.measured(ip.row);
            if (!anchor || measured) {
                anchor = ip;
                anchorY = rectForRowAtIndexPath(ip).minY() - contentOffset().y;
            }
            if (measured) break;
        }
    }
    bool moved = false;
    // Each round asks the rows in the area; what they pushed out makes room for rows asked in the next.
    for (;;) {
        bool changed = false;
        for (const IndexPath& ip : indexPathsForRowsInRect(area ? *area : bounds())) {
            TableRowGeometry& rows = sections_[size_t(ip.section)].geometry;
            if (rows.measured(ip.row)) continue;
            double h = delegate ? delegate->heightForRowAtIndexPath(*this, ip) : -1;
            if (h < 0) h = rowHeight_;
            if (rows.set(ip.row, h, true)) changed = true;
        }
        if (!changed) break;
        moved = true;
        layoutPositions();
        if (atEnd)
            shiftContentOffset(maxContentOffset().y - contentOffset().y);
        else if (anchor)
            shiftContentOffset(rectForRowAtIndexPath(*anchor).minY() - anchorY - contentOffset().y);
    }
    measuring_ = false;
    return moved;
}

void TableView::measureRowsInView() {
    const bool moved = measureRowsIn(nullptr);
    if (scrollTarget_ && !isScrollAnimating()) scrollTarget_.reset();
    if (moved && scrollTarget_)
        retargetScrollAnimation(clampedOffset(offsetForRow(scrollTarget_->first, scrollTarget_->second)));
}

void TableView::carryHeights(std::vector<Section>& old, const std::vector<int>& oldOfNew,
                             const std::vector<IndexPath>& deleted, const std::vector<IndexPath>& inserted,
                             const std::vector<IndexPath>& reloaded, const std::vector<int>& reloadedSections) {
    // Index paths come sorted by section, then row: each section's share is one run of them.
    auto rowsOf = [](const std::vector<IndexPath>& paths, int section) {
        auto lo = std::lower_bound(paths.begin(), paths.end(), IndexPath{section, 0});
        auto hi = std::lower_bound(paths.begin(), paths.end(), IndexPath{section + 1, 0});
        return std::pair{lo, hi};
    };
    for (int s = 0; s < int(sections_.size()); ++s) {
        const int o = oldOfNew[size_t(s)];
        if (o < 0 || std::find(reloadedSections.begin(), reloadedSections.end(), o) != reloadedSections.end()) continue;
        const auto deletedRun = rowsOf(deleted, o), insertedRun = rowsOf(inserted, s), reloadedRun = rowsOf(reloaded, o);
        auto del = deletedRun.first, delEnd = deletedRun.second;
        auto ins = insertedRun.first, insEnd = insertedRun.second;
        auto rel = reloadedRun.first, relEnd = reloadedRun.second;
        // Only the rows held move, each past the deletions above it and then the insertions at or
        // above where it lands; both walks go down with the rows.
        int deletedAbove = 0, insertedAbove = 0;
        sections_[size_t(s)].geometry.carry(old[size_t(o)].geometry, [&](int oldRow) {
            for (; del != delEnd && del->row < oldRow; ++del)
                ++deletedAbove;
            while (rel != relEnd && rel->row < oldRow)
                ++rel;
            if ((del != delEnd && del->row == oldRow) || (rel != relEnd && rel->row == oldRow)) return -1;
            int row = oldRow - deletedAbove + insertedAbove;
            for (; ins != insEnd && ins->row <= row; ++ins, ++row)
                ++insertedAbove;
            return row;
        });
    }
}

int TableView::numberOfSections() const {
    return int(sections_.size());
}

int TableView::numberOfRowsInSection(int section) const {
    if (section < 0 || section >= int(sections_.size())) return 0;
    return sections_[size_t(section)].rows;
}

bool TableView::validIndexPath(const IndexPath& ip) const {
    return ip.section >= 0 && ip.section < int(sections_.size()) && ip.row >= 0 &&
           ip.row < sections_[size_t(ip.section)].rows;
}

Rect TableView::rectForSection(int section) const {
    if (section < 0 || section >= int(sections_.size())) return {};
    const Section& s = sections_[size_t(section)];
    return {0, s.top, bounds().width(), s.headerHeight + s.geometry.total() + s.footerHeight};
}

Rect TableView::rectForRowAtIndexPath(const IndexPath& ip) const {
    if (!validIndexPath(ip)) return {};
    const Section& s = sections_[size_t(ip.section)];
    return {0, s.top + s.headerHeight + s.geometry.top(ip.row), bounds().width(), s.geometry.height(ip.row)};
}

Rect TableView::rectForHeaderInSection(int section) const {
    if (section < 0 || section >= int(sections_.size())) return {};
    const Section& s = sections_[size_t(section)];
    return {0, s.top, bounds().width(), s.headerHeight};
}

Rect TableView::rectForFooterInSection(int section) const {
    Rect r = rectForSection(section);
    if (r.isEmpty()) return {};
    double h = sections_[size_t(section)].footerHeight;
    return {0, r.maxY() - h, r.width(), h};
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(Point p) const {
    for (const IndexPath& ip : indexPathsForRowsInRect({0, p.y, bounds().width(), 1}))
        if (rectForRowAtIndexPath(ip).contains(p)) return ip;
    return std::nullopt;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell* cell) const {
    for (auto& [ip, c] : visible_)
        if (c.get() == cell) return ip;
    return std::nullopt;
}

std::vector<IndexPath> TableView::indexPathsForRowsInRect(const Rect& rect) const {
    std::vector<IndexPath> out;
    for (int s = 0; s < int(sections_.size()); ++s) {
        Rect sr = rectForSection(s);
        if (sr.maxY() <= rect.minY() || sr.minY() >= rect.maxY()) continue;
        const Section& sec = sections_[size_t(s)];
        const double base = sec.top + sec.headerHeight;
        // The last row starting at or above the rect's top is the first that can reach into it.
        int r = std::max(0, sec.geometry.rowAt(rect.minY() - base));
        for (double top = base + sec.geometry.top(r); r < sec.rows; ++r) {
            const double h = sec.geometry.height(r);
            if (top >= rect.maxY()) break;
            if (h > 0 && top + h > rect.minY()) out.push_back({s, r});
            top += h;
        }
    }
    return out;
}

// ---- Cells

std::vector<TableViewCellPtr> TableView::visibleCells() const {
    std::vector<TableViewCellPtr> out;
    for (auto& [ip, c] : visible_) out.push_back(c);
    return out;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() const {
    std::vector<IndexPath> out;
    for (auto& [ip, c] : visible_) out.push_back(ip);
    return out;
}

TableViewCellPtr TableView::cellForRowAtIndexPath(const IndexPath& ip) const {
    auto it = visible_.find(ip);
    return it == visible_.end() ? nullptr : it->second;
}

ViewPtr TableView::headerViewForSection(int section) const {
    auto it = visibleHeaders_.find(section);
    return it == visibleHeaders_.end() ? nullptr : it->second;
}

TableViewCellPtr TableView::dequeueReusableCellWithIdentifier(const std::string& identifier) {
    auto it = reusable_.find(identifier);
    if (it == reusable_.end() || it->second.empty()) return nullptr;
    TableViewCellPtr cell = it->second.back();
    it->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

TableViewCellPtr TableView::dequeueReusableCellWithIdentifier(const std::string& identifier, const IndexPath& ip) {
    if (auto cell = dequeueReusableCellWithIdentifier(identifier)) return cell;
    auto factory = factories_.find(identifier);
    if (factory == factories_.end() || !factory->second) {
        Log::line("Velkora (E) - No cell is registered for the identifier %@ (asked for %@)", identifier, ip.description());
        return nullptr;
    }
    TableViewCellPtr cell = factory->second();
    if (cell && cell->reuseIdentifier().empty()) cell->setReuseIdentifier(identifier);
    return cell;
}

void TableView::registerCellFactory(const std::string& identifier, CellFactory factory) {
    factories_[identifier] = std::move(factory);
}

size_t TableView::reusableCellCount(const std::string& identifier) const {
    auto it = reusable_.find(identifier);
    return it == reusable_.end() ? 0 : it->second.size();
}

void TableView::enqueue(const IndexPath& ip, const TableViewCellPtr& cell) {
    cell->removeFromSuperview();
    cell->setSelected(false);
    cell->setHighlighted(false);
    cell->setShowingDeleteConfirmation(false);
    if (auto d = tableDelegate()) d->didEndDisplayingCell(*this, *cell, ip);
    // A cell without an identifier cannot be asked for again: it is dropped.
    if (!cell->reuseIdentifier().empty()) reusable_[cell->reuseIdentifier()].push_back(cell);
}

void TableView::clearVisible() {
    auto cells = std::move(visible_);
    visible_.clear();
    for (auto& [ip, cell] : cells) enqueue(ip, cell);
    for (auto& [s, v] : visibleHeaders_) v->removeFromSuperview();
    for (auto& [s, v] : visibleFooters_) v->removeFromSuperview();
    visibleHeaders_.clear();
    visibleFooters_.clear();
}

// ---- Tiling

void TableView::layoutSubviews() {
    ScrollView::layoutSubviews();
    if (!loaded_) {
        auto self = sharedView();
        loadData();
    }
    tile();
}

void TableView::contentOffsetDidChange() {
    if (loaded_) tile();
}

void TableView::boundsSizeDidChange(Size oldSize) {
    if (loaded_ && oldSize.width != bounds().width()) layoutGeometry();
    if (loaded_ && estimating() && oldSize.height != bounds().height()) tile();
}

// Gives every row, header and footer inside the bounds a view, and takes them from everything outside.
void TableView::tile() {
    if (tiling_ || !loaded_) return;
    tiling_ = true;
    auto self = sharedView();
    if (estimating()) measureRowsInView();
    Rect visibleRect = bounds();
    double width = bounds().width();
    if (backgroundView_) backgroundView_->setFrame(visibleRect);
    if (tableHeaderView_) {
        Rect f = tableHeaderView_->frame();
        tableHeaderView_->setFrame({0, 0, width, f.height()});
    }
    if (tableFooterView_) {
        Rect f = tableFooterView_->frame();
        tableFooterView_->setFrame({0, contentSize().height - f.height(), width, f.height()});
    }

    std::vector<IndexPath> wanted = indexPathsForRowsInRect(visibleRect);
    std::set<IndexPath> wantedSet(wanted.begin(), wanted.end());
    std::vector<std::pair<IndexPath, TableViewCellPtr>> leaving;
    for (auto& [ip, cell] : visible_)
        if (!wantedSet.count(ip)) leaving.emplace_back(ip, cell);
    for (auto& [ip, cell] : leaving) {
        visible_.erase(ip);
        enqueue(ip, cell);
    }

    auto source = dataSource();
    auto delegate = tableDelegate();
    for (const IndexPath& ip : wanted) {
        Rect frame = rectForRowAtIndexPath(ip);
        auto it = visible_.find(ip);
        if (it != visible_.end()) {
            it->second->setFrame(frame);
            continue;
        }
        if (!source) break;
        TableViewCellPtr cell = source->cellForRowAtIndexPath(*this, ip);
        if (!cell) {
            Log::line("Velkora (E) - The table's data source gave no cell for %@", ip.description());
            continue;
        }
        cell->setFrame(frame);
        cell->setEditing(editing_);
        cell->setSelected(std::find(selected_.begin(), selected_.end(), ip) != selected_.end());
        visible_[ip] = cell;
        // Cells lie below the headers and the table's own header and footer views.
        insertSubview(cell, backgroundView_ ? 1 : 0);
        if (delegate) delegate->willDisplayCell(*this, *cell, ip);
    }

    auto tileSupplementary = [&](std::map<int, ViewPtr>& shown, bool header) {
        std::set<int> keep;
        for (int s = 0; s < int(sections_.size()); ++s) {
            Rect r = header ? rectForHeaderInSection(s) : rectForFooterInSection(s);
            if (r.height() <= 0 || r.maxY() <= visibleRect.minY() || r.minY() >= visibleRect.maxY()) continue;
            keep.insert(s);
            auto it = shown.find(s);
            if (it == shown.end()) {
                ViewPtr v = delegate ? (header ? delegate->viewForHeaderInSection(*this, s) : delegate->viewForFooterInSection(*this, s))
                                     : nullptr;
                const auto& title = header ? sections_[size_t(s)].headerTitle : sections_[size_t(s)].footerTitle;
                if (!v && title && !title->empty()) v = std::make_shared<TableViewHeaderFooterView>(*title);
                if (!v) continue;
                it = shown.emplace(s, v).first;
                addSubview(v);
            }
            it->second->setFrame(r);
        }
        for (auto it = shown.begin(); it != shown.end();) {
            if (keep.count(it->first)) {
                ++it;
                continue;
            }
            it->second->removeFromSuperview();
            it = shown.erase(it);
        }
    };
    tileSupplementary(visibleHeaders_, true);
    tileSupplementary(visibleFooters_, false);
    tiling_ = false;
}

// ---- Batch updates

bool TableView::Updates::empty() const {
    return insertRows.empty() && deleteRows.empty() && reloadRows.empty() && insertSections.empty() &&
           deleteSections.empty() && reloadSections.empty();
}

void TableView::beginUpdates() { ++updateDepth_; }

bool TableView::endUpdates() {
    if (updateDepth_ == 0) {
        Log::line("Velkora (W) - endUpdates without beginUpdates");
        return false;
    }
    if (--updateDepth_ > 0) return true;
    return applyUpdates();
}

namespace {

template <typename T>
void append(std::vector<T>& to, const std::vector<T>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

}  // namespace

bool TableView::insertRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation) {
    append(pending_.insertRows, paths);
    return updateDepth_ > 0 || applyUpdates();
}

bool TableView::deleteRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation) {
    append(pending_.deleteRows, paths);
    return updateDepth_ > 0 || applyUpdates();
}

bool TableView::reloadRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation) {
    append(pending_.reloadRows, paths);
    return updateDepth_ > 0 || applyUpdates();
}

bool TableView::insertSections(const std::vector<int>& sections, TableViewRowAnimation) {
    append(pending_.insertSections, sections);
    return updateDepth_ > 0 || applyUpdates();
}

bool TableView::deleteSections(const std::vector<int>& sections, TableViewRowAnimation) {
    append(pending_.deleteSections, sections);
    return updateDepth_ > 0 || applyUpdates();
}

bool TableView::reloadSections(const std::vector<int>& sections, TableViewRowAnimation) {
    append(pending_.reloadSections, sections);
    return updateDepth_ > 0 || applyUpdates();
}

bool TableView::failUpdate(const std::string& message) {
    lastUpdateError_ = message;
    Log::line("Velkora (E) - %@", message);
    // What is shown must match the data source again, whatever the caller believed.
    reloadData();
    return false;
}

bool TableView::applyUpdates() {
    Updates u = std::move(pending_);
    pending_ = Updates{};
    if (u.empty()) return true;
    auto self = sharedView();
    auto source = dataSource();
    if (!loaded_ || !source) {
        // Nothing was shown yet: there is nothing to check against.
        reloadData();
        return true;
    }
    std::sort(u.deleteSections.begin(), u.deleteSections.end());
    u.deleteSections.erase(std::unique(u.deleteSections.begin(), u.deleteSections.end()), u.deleteSections.end());
    std::sort(u.insertSections.begin(), u.insertSections.end());
    u.insertSections.erase(std::unique(u.insertSections.begin(), u.insertSections.end()), u.insertSections.end());

    int oldSections = int(sections_.size());
    int newSections = std::max(0, source->numberOfSectionsInTableView(*this));
    for (int s : u.deleteSections)
        if (s < 0 || s >= oldSections)
            return failUpdate(foundation::format("Invalid update: attempt to delete section %d, but there are only %d sections before the update", s, oldSections));
    for (int s : u.insertSections)
        if (s < 0 || s >= newSections)
            return failUpdate(foundation::format("Invalid update: attempt to insert section %d, but there are only %d sections after the update", s, newSections));
    int expectedSections = oldSections - int(u.deleteSections.size()) + int(u.insertSections.size());
    if (newSections != expectedSections)
        return failUpdate(foundation::format(
            "Invalid update: invalid number of sections. The number of sections contained in the table view after the "
            "update (%d) must be equal to the number of sections contained in the table view before the update (%d), "
            "plus or minus the number of sections inserted or deleted (%d inserted, %d deleted).",
            newSections, oldSections, int(u.insertSections.size()), int(u.deleteSections.size())));

    // Old section of each new section (-1 for an inserted one), and new section of each old one.
    std::vector<int> oldOfNew(size_t(newSections), -1), newOfOld(size_t(oldSections), -1);
    {
        int old = 0;
        for (int s = 0; s < newSections; ++s) {
            if (std::binary_search(u.insertSections.begin(), u.insertSections.end(), s)) continue;
            while (old < oldSections && std::binary_search(u.deleteSections.begin(), u.deleteSections.end(), old)) ++old;
            oldOfNew[size_t(s)] = old;
            newOfOld[size_t(old)] = s;
            ++old;
        }
    }
    std::set<IndexPath> deleted(u.deleteRows.begin(), u.deleteRows.end());
    std::set<IndexPath> inserted(u.insertRows.begin(), u.insertRows.end());
    std::set<IndexPath> reloaded(u.reloadRows.begin(), u.reloadRows.end());
    std::vector<int> newCounts(static_cast<size_t>(newSections), 0);
    for (int s = 0; s < newSections; ++s) newCounts[size_t(s)] = std::max(0, source->numberOfRowsInSection(*this, s));

    for (const IndexPath& ip : deleted) {
        if (ip.section < 0 || ip.section >= oldSections || ip.row < 0 || ip.row >= sections_[size_t(ip.section)].rows)
            return failUpdate(foundation::format("Invalid update: attempt to delete row %d from section %d, which only "
                                                 "contains %d rows before the update",
                                                 ip.row, ip.section, numberOfRowsInSection(ip.section)));
    }
    for (const IndexPath& ip : reloaded) {
        if (!validIndexPath(ip))
            return failUpdate(foundation::format("Invalid update: attempt to reload row %d from section %d, which only "
                                                 "contains %d rows before the update",
                                                 ip.row, ip.section, numberOfRowsInSection(ip.section)));
    }
    for (const IndexPath& ip : inserted) {
        if (ip.section < 0 || ip.section >= newSections || ip.row < 0 || ip.row >= newCounts[size_t(ip.section)])
            return failUpdate(foundation::format(
                "Invalid update: attempt to insert row %d into section %d, but there are only %d rows in section %d "
                "after the update",
                ip.row, ip.section, ip.section < 0 || ip.section >= newSections ? 0 : newCounts[size_t(ip.section)],
                ip.section));
    }
    for (int s = 0; s < newSections; ++s) {
        int old = oldOfNew[size_t(s)];
        if (old < 0) continue;  // an inserted section holds whatever it holds
        if (std::find(u.reloadSections.begin(), u.reloadSections.end(), old) != u.reloadSections.end()) continue;
        int before = sections_[size_t(old)].rows;
        int ins = int(std::count_if(inserted.begin(), inserted.end(), [&](auto& ip) { return ip.section == s; }));
        int del = int(std::count_if(deleted.begin(), deleted.end(), [&](auto& ip) { return ip.section == old; }));
        int after = newCounts[size_t(s)];
        if (after != before + ins - del)
            return failUpdate(
                foundation::format("Invalid update: invalid number of rows in section %d. The number of rows contained "
                                   "in an existing section after the update (%d) must be equal to the number of rows "
                                   "contained in that section before the update (%d), plus or minus the number of rows "
                                   "inserted or deleted from that section (%d inserted, %d deleted).",
                                   s, after, before, ins, del));
    }

    // The update holds: move what is shown and selected to the rows' new places.
    auto remap = [&](const IndexPath& ip) -> std::optional<IndexPath> {
        if (ip.section < 0 || ip.section >= oldSections) return std::nullopt;
        int s = newOfOld[size_t(ip.section)];
        if (s < 0 || deleted.count(ip) || reloaded.count(ip)) return std::nullopt;
        if (std::find(u.reloadSections.begin(), u.reloadSections.end(), ip.section) != u.reloadSections.end())
            return std::nullopt;
        int row = ip.row;
        for (const IndexPath& d : deleted)
            if (d.section == ip.section && d.row < ip.row) --row;
        for (const IndexPath& i : inserted)  // ascending
            if (i.section == s && i.row <= row) ++row;
        return IndexPath{s, row};
    };
    auto oldVisible = std::move(visible_);
    visible_.clear();
    std::vector<std::pair<IndexPath, TableViewCellPtr>> gone;
    for (auto& [ip, cell] : oldVisible) {
        if (auto to = remap(ip)) visible_[*to] = cell;
        else gone.emplace_back(ip, cell);
    }
    std::vector<IndexPath> selected;
    for (auto& ip : selected_)
        if (auto to = remap(ip)) selected.push_back(*to);
    selected_ = std::move(selected);
    if (swipedRow_) swipedRow_ = remap(*swipedRow_);
    for (auto& [ip, cell] : gone) enqueue(ip, cell);
    for (auto& [s, v] : visibleHeaders_) v->removeFromSuperview();
    for (auto& [s, v] : visibleFooters_) v->removeFromSuperview();
    visibleHeaders_.clear();
    visibleFooters_.clear();

    // Counts, titles and heights from the data source as it is now. With estimated heights only the
    // changed rows and those in view are asked again; the others keep what was known of them.
    auto keptVisible = std::move(visible_);
    if (estimating()) {
        std::vector<Section> old = std::move(sections_);
        loadSections();
        layoutGeometry();
        carryHeights(old, oldOfNew, {deleted.begin(), deleted.end()}, {inserted.begin(), inserted.end()},
                     {reloaded.begin(), reloaded.end()}, u.reloadSections);
        for (auto& [ip, cell] : keptVisible)
            if (validIndexPath(ip)) sections_[size_t(ip.section)].geometry.unmark(ip.row);
        layoutPositions();
    } else {
        loadData();
    }
    visible_ = std::move(keptVisible);
    tile();
    return true;
}

// ---- Selection

std::optional<IndexPath> TableView::indexPathForSelectedRow() const {
    if (selected_.empty()) return std::nullopt;
    return selected_.front();
}

void TableView::selectRowAtIndexPath(const std::optional<IndexPath>& ip, bool animated, TableViewScrollPosition position) {
    for (auto& old : selected_)
        if (auto cell = cellForRowAtIndexPath(old)) cell->setSelected(false, animated);
    selected_.clear();
    if (!ip || !validIndexPath(*ip)) return;
    selected_.push_back(*ip);
    if (auto cell = cellForRowAtIndexPath(*ip)) cell->setSelected(true, animated);
    if (position != TableViewScrollPosition::None) scrollToRowAtIndexPath(*ip, position, animated);
}

void TableView::deselectRowAtIndexPath(const IndexPath& ip, bool animated) {
    auto it = std::find(selected_.begin(), selected_.end(), ip);
    if (it == selected_.end()) return;
    selected_.erase(it);
    if (auto cell = cellForRowAtIndexPath(ip)) cell->setSelected(false, animated);
}

bool TableView::tapRowAtIndexPath(const IndexPath& ip) {
    if (!validIndexPath(ip)) return false;
    if (editing_ ? !allowsSelectionDuringEditing_ : !allowsSelection_) return false;
    auto self = sharedView();
    auto delegate = tableDelegate();
    if (swipedRow_) {
        // A tap while a delete button shows only puts the button away.
        cancelSwipeToDelete();
        return false;
    }
    if (delegate && !delegate->shouldHighlightRowAtIndexPath(*this, ip)) return false;
    std::optional<IndexPath> target = delegate ? delegate->willSelectRowAtIndexPath(*this, ip) : ip;
    if (!target || !validIndexPath(*target)) return false;
    auto previous = selected_;
    for (auto& old : previous) {
        if (old == *target) continue;
        std::optional<IndexPath> toDeselect = delegate ? delegate->willDeselectRowAtIndexPath(*this, old) : old;
        if (!toDeselect) continue;
        deselectRowAtIndexPath(*toDeselect, false);
        if (delegate) delegate->didDeselectRowAtIndexPath(*this, *toDeselect);
    }
    if (std::find(selected_.begin(), selected_.end(), *target) == selected_.end()) selected_.push_back(*target);
    if (auto cell = cellForRowAtIndexPath(*target)) cell->setSelected(true, false);
    if (delegate) delegate->didSelectRowAtIndexPath(*this, *target);
    return true;
}

// ---- Scrolling

Point TableView::offsetForRow(const IndexPath& ip, TableViewScrollPosition position) const {
    Rect r = rectForRowAtIndexPath(ip);
    double h = bounds().height();
    Point offset = contentOffset();
    switch (position) {
    case TableViewScrollPosition::Top:
        offset.y = r.minY();
        break;
    case TableViewScrollPosition::Middle:
        offset.y = r.midY() - h / 2;
        break;
    case TableViewScrollPosition::Bottom:
        offset.y = r.maxY() - h;
        break;
    case TableViewScrollPosition::None:
        if (r.minY() < offset.y)
            offset.y = r.minY();
        else if (r.maxY() > offset.y + h)
            offset.y = r.maxY() - h;
        break;
    }
    return offset;
}

void TableView::scrollToRowAtIndexPath(const IndexPath& ip, TableViewScrollPosition position, bool animated) {
    if (!loaded_) loadData();
    if (!validIndexPath(ip)) {
        Log::line("Velkora (E) - Can't scroll to row %@: the table has no such row", ip.description());
        return;
    }
    scrollTarget_.reset();
    if (estimating()) {
        // The row and those around where it will show are asked first, so it lands where it would with
        // every height known; rows met on the way are asked as they pass and the target follows them.
        for (;;) {
            Rect row = rectForRowAtIndexPath(ip);
            Point target = clampedOffset(offsetForRow(ip, position));
            double top = std::min(row.minY(), target.y), bottom = std::max(row.maxY(), target.y + bounds().height());
            Rect around{0, top, bounds().width(), bottom - top};
            if (!measureRowsIn(&around)) break;
        }
        if (animated) scrollTarget_ = std::pair{ip, position};
    }
    setContentOffset(clampedOffset(offsetForRow(ip, position)), animated);
}

void TableView::tapSectionIndexAtIndex(int index) {
    if (index < 0 || index >= int(indexTitles_.size())) return;
    auto source = dataSource();
    if (!source) return;
    int section = source->sectionForSectionIndexTitle(*this, indexTitles_[size_t(index)], index);
    if (section < 0 || section >= int(sections_.size())) return;
    Point offset{contentOffset().x, rectForSection(section).minY()};
    setContentOffset(clampedOffset(offset), false);
}

// ---- Editing

void TableView::setEditing(bool editing, bool animated) {
    if (swipedRow_) cancelSwipeToDelete();
    editing_ = editing;
    for (auto& [ip, cell] : visible_) cell->setEditing(editing, animated);
}

bool TableView::swipeToDeleteRowAtIndexPath(const IndexPath& ip) {
    if (editing_ || !validIndexPath(ip)) return false;
    auto source = dataSource();
    if (!source || !source->canEditRowAtIndexPath(*this, ip)) return false;
    auto delegate = tableDelegate();
    TableViewCellEditingStyle style = delegate ? delegate->editingStyleForRowAtIndexPath(*this, ip) : TableViewCellEditingStyle::Delete;
    if (style != TableViewCellEditingStyle::Delete) return false;
    if (swipedRow_) cancelSwipeToDelete();
    auto self = sharedView();
    swipedRow_ = ip;
    if (delegate) delegate->willBeginEditingRowAtIndexPath(*this, ip);
    if (auto cell = cellForRowAtIndexPath(ip)) cell->setShowingDeleteConfirmation(true);
    return true;
}

bool TableView::tapDeleteConfirmation() {
    if (!swipedRow_) return false;
    auto self = sharedView();
    IndexPath ip = *swipedRow_;
    swipedRow_.reset();
    if (auto cell = cellForRowAtIndexPath(ip)) cell->setShowingDeleteConfirmation(false);
    if (auto source = dataSource()) source->commitEditingStyle(*this, TableViewCellEditingStyle::Delete, ip);
    if (auto delegate = tableDelegate()) delegate->didEndEditingRowAtIndexPath(*this, ip);
    return true;
}

void TableView::cancelSwipeToDelete() {
    if (!swipedRow_) return;
    IndexPath ip = *swipedRow_;
    swipedRow_.reset();
    if (auto cell = cellForRowAtIndexPath(ip)) cell->setShowingDeleteConfirmation(false);
    if (auto delegate = tableDelegate()) delegate->didEndEditingRowAtIndexPath(*this, ip);
}

bool TableView::commitEditingAtIndexPath(const IndexPath& ip) {
    if (!editing_ || !validIndexPath(ip)) return false;
    auto source = dataSource();
    if (!source || !source->canEditRowAtIndexPath(*this, ip)) return false;
    auto delegate = tableDelegate();
    TableViewCellEditingStyle style = delegate ? delegate->editingStyleForRowAtIndexPath(*this, ip) : TableViewCellEditingStyle::Delete;
    if (style == TableViewCellEditingStyle::None) return false;
    auto self = sharedView();
    source->commitEditingStyle(*this, style, ip);
    return true;
}

}  // namespace velkora::ui
