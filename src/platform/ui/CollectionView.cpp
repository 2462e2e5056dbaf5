#include "platform/ui/CollectionView.h"

#include <algorithm>
#include <set>

#include "platform/foundation/Log.h"

namespace velkora::ui {

using foundation::Log;

CollectionViewCell::CollectionViewCell(const Rect& frame) : View(frame) {
    contentView_ = View::create(bounds());
    contentView_->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    addSubview(contentView_);
}

void CollectionViewCell::setBackgroundView(ViewPtr v) {
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(v);
    if (backgroundView_) {
        backgroundView_->setFrame(bounds());
        backgroundView_->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
        insertSubview(backgroundView_, 0);
    }
}

void CollectionViewCell::setSelected(bool s) {
    selected_ = s;
    if (!selectedBackgroundView_) return;
    if (s && selectedBackgroundView_->superview() != this) {
        selectedBackgroundView_->setFrame(bounds());
        insertSubviewBelow(selectedBackgroundView_, contentView_.get());
    } else if (!s) {
        selectedBackgroundView_->removeFromSuperview();
    }
}

CollectionView::CollectionView(const Rect& frame, CollectionViewFlowLayout layout) : ScrollView(frame), layout_(layout) {}

void CollectionView::setLayout(CollectionViewFlowLayout layout) {
    layout_ = layout;
    if (loaded_) {
        computeLayout();
        tile();
    }
}

void CollectionView::setDataSource(std::weak_ptr<CollectionViewDataSource> d) {
    dataSource_ = std::move(d);
    loaded_ = false;
    setNeedsLayout();
}

void CollectionView::setDelegate(std::weak_ptr<CollectionViewDelegate> d) {
    delegate_ = d;
    ScrollView::setDelegate(std::weak_ptr<ScrollViewDelegate>(d.lock()));
    setNeedsLayout();
}

void CollectionView::registerCellFactory(const std::string& identifier, CellFactory factory) {
    factories_[identifier] = std::move(factory);
}

CollectionViewCellPtr CollectionView::dequeueReusableCellWithReuseIdentifier(const std::string& identifier, const IndexPath& ip) {
    auto& pool = reusable_[identifier];
    if (!pool.empty()) {
        auto cell = pool.back();
        pool.pop_back();
        cell->prepareForReuse();
        return cell;
    }
    auto factory = factories_.find(identifier);
    if (factory == factories_.end() || !factory->second) {
        Log::line("Velkora (E) - No cell is registered for the identifier %@ (asked for %@)", identifier, ip.description());
        return nullptr;
    }
    auto cell = factory->second();
    if (cell && cell->reuseIdentifier().empty()) cell->setReuseIdentifier(identifier);
    return cell;
}

size_t CollectionView::reusableCellCount(const std::string& identifier) const {
    auto it = reusable_.find(identifier);
    return it == reusable_.end() ? 0 : it->second.size();
}

void CollectionView::reloadData() {
    auto self = sharedView();
    auto cells = std::move(visible_);
    visible_.clear();
    for (auto& [ip, cell] : cells) enqueue(ip, cell);
    selected_.clear();
    loadData();
    tile();
}

void CollectionView::loadData() {
    loaded_ = true;
    counts_.clear();
    if (auto source = dataSource()) {
        int sections = std::max(0, source->numberOfSectionsInCollectionView(*this));
        for (int s = 0; s < sections; ++s) counts_.push_back(std::max(0, source->numberOfItemsInSection(*this, s)));
    }
    computeLayout();
}

// The flow layout, written for rows; a horizontal layout runs the same steps with the axes swapped.
void CollectionView::computeLayout() {
    bool vertical = layout_.scrollDirection == CollectionViewScrollDirection::Vertical;
    auto along = [&](Size s) { return vertical ? s.width : s.height; };   // along a line
    auto across = [&](Size s) { return vertical ? s.height : s.width; };  // line thickness
    const EdgeInsets& in = layout_.sectionInset;
    double lineStartInset = vertical ? in.left : in.top;
    double lineEndInset = vertical ? in.right : in.bottom;
    double sectionStartInset = vertical ? in.top : in.left;
    double sectionEndInset = vertical ? in.bottom : in.right;
    double available = along(bounds().size) - lineStartInset - lineEndInset;
    auto delegate = collectionDelegate();

    frames_.assign(counts_.size(), {});
    double position = 0;  // across lines, from the content's start
    for (size_t s = 0; s < counts_.size(); ++s) {
        position += across(layout_.headerReferenceSize) + sectionStartInset;
        std::vector<Size> sizes;
        for (int i = 0; i < counts_[s]; ++i) {
            Size size = delegate ? delegate->sizeForItemAtIndexPath(*this, {int(s), i}) : Size{-1, -1};
            sizes.push_back(size.width < 0 ? layout_.itemSize : size);
        }
        std::vector<Rect>& frames = frames_[s];
        frames.resize(sizes.size());
        size_t i = 0;
        bool firstLine = true;
        std::optional<double> fullLineSpacing;
        while (i < sizes.size()) {
            if (!firstLine) position += layout_.minimumLineSpacing;
            firstLine = false;
            // Fill a line.
            size_t start = i;
            double used = along(sizes[i]);
            double thickness = across(sizes[i]);
            ++i;
            while (i < sizes.size() && used + layout_.minimumInteritemSpacing + along(sizes[i]) <= available) {
                used += layout_.minimumInteritemSpacing + along(sizes[i]);
                thickness = std::max(thickness, across(sizes[i]));
                ++i;
            }
            size_t n = i - start;
            bool last = i == sizes.size();
            double spacing = layout_.minimumInteritemSpacing;
            double offset = lineStartInset;
            if (n == 1) {
                offset = lineStartInset + (available - along(sizes[start])) / 2;
            } else if (!last) {
                double itemsLength = used - layout_.minimumInteritemSpacing * double(n - 1);
                spacing = (available - itemsLength) / double(n - 1);
                fullLineSpacing = spacing;
            } else if (fullLineSpacing) {
                // The last line lines up with the full ones above it.
                spacing = *fullLineSpacing;
            }
            for (size_t k = start; k < i; ++k) {
                double a = along(sizes[k]), c = across(sizes[k]);
                double crossOffset = position + (thickness - c) / 2;
                frames[k] = vertical ? Rect(offset, crossOffset, a, c) : Rect(crossOffset, offset, c, a);
                offset += a + spacing;
            }
            position += thickness;
        }
        position += sectionEndInset + across(layout_.footerReferenceSize);
    }
    setContentSize(vertical ? Size{bounds().width(), position} : Size{position, bounds().height()});
}

int CollectionView::numberOfItemsInSection(int section) const {
    if (section < 0 || section >= int(counts_.size())) return 0;
    return counts_[size_t(section)];
}

Rect CollectionView::frameForItemAtIndexPath(const IndexPath& ip) const {
    if (ip.section < 0 || ip.section >= int(frames_.size())) return {};
    auto& frames = frames_[size_t(ip.section)];
    if (ip.row < 0 || ip.row >= int(frames.size())) return {};
    return frames[size_t(ip.row)];
}

std::optional<IndexPath> CollectionView::indexPathForItemAtPoint(Point p) const {
    for (size_t s = 0; s < frames_.size(); ++s)
        for (size_t i = 0; i < frames_[s].size(); ++i)
            if (frames_[s][i].contains(p)) return IndexPath{int(s), int(i)};
    return std::nullopt;
}

std::optional<IndexPath> CollectionView::indexPathForCell(const CollectionViewCell* cell) const {
    for (auto& [ip, c] : visible_)
        if (c.get() == cell) return ip;
    return std::nullopt;
}

CollectionViewCellPtr CollectionView::cellForItemAtIndexPath(const IndexPath& ip) const {
    auto it = visible_.find(ip);
    return it == visible_.end() ? nullptr : it->second;
}

std::vector<CollectionViewCellPtr> CollectionView::visibleCells() const {
    std::vector<CollectionViewCellPtr> out;
    for (auto& [ip, c] : visible_) out.push_back(c);
    return out;
}

std::vector<IndexPath> CollectionView::indexPathsForVisibleItems() const {
    std::vector<IndexPath> out;
    for (auto& [ip, c] : visible_) out.push_back(ip);
    return out;
}

void CollectionView::enqueue(const IndexPath& ip, const CollectionViewCellPtr& cell) {
    cell->removeFromSuperview();
    cell->setSelected(false);
    if (auto d = collectionDelegate()) d->didEndDisplayingCell(*this, *cell, ip);
    if (!cell->reuseIdentifier().empty()) reusable_[cell->reuseIdentifier()].push_back(cell);
}

void CollectionView::layoutSubviews() {
    ScrollView::layoutSubviews();
    if (!loaded_) loadData();
    tile();
}

void CollectionView::contentOffsetDidChange() {
    if (loaded_) tile();
}

void CollectionView::boundsSizeDidChange(Size oldSize) {
    if (loaded_ && oldSize != bounds().size) computeLayout();
}

void CollectionView::tile() {
    if (tiling_ || !loaded_) return;
    tiling_ = true;
    auto self = sharedView();
    Rect visibleRect = bounds();
    std::set<IndexPath> wanted;
    for (size_t s = 0; s < frames_.size(); ++s)
        for (size_t i = 0; i < frames_[s].size(); ++i)
            if (frames_[s][i].intersects(visibleRect)) wanted.insert({int(s), int(i)});
    for (auto it = visible_.begin(); it != visible_.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        auto [ip, cell] = *it;
        it = visible_.erase(it);
        enqueue(ip, cell);
    }
    auto source = dataSource();
    auto delegate = collectionDelegate();
    for (const IndexPath& ip : wanted) {
        auto it = visible_.find(ip);
        if (it != visible_.end()) {
            it->second->setFrame(frameForItemAtIndexPath(ip));
            continue;
        }
        if (!source) break;
        auto cell = source->cellForItemAtIndexPath(*this, ip);
        if (!cell) {
            Log::line("Velkora (E) - The collection's data source gave no cell for %@", ip.description());
            continue;
        }
        cell->setFrame(frameForItemAtIndexPath(ip));
        cell->setSelected(std::find(selected_.begin(), selected_.end(), ip) != selected_.end());
        visible_[ip] = cell;
        addSubview(cell);
        if (delegate) delegate->willDisplayCell(*this, *cell, ip);
    }
    tiling_ = false;
}

void CollectionView::selectItemAtIndexPath(const std::optional<IndexPath>& ip, bool animated, CollectionViewScrollPosition position) {
    if (!allowsMultipleSelection_ || !ip) {
        for (auto& old : selected_)
            if (auto cell = cellForItemAtIndexPath(old)) cell->setSelected(false);
        selected_.clear();
    }
    if (!ip || frameForItemAtIndexPath(*ip).isEmpty()) return;
    if (std::find(selected_.begin(), selected_.end(), *ip) == selected_.end()) selected_.push_back(*ip);
    if (auto cell = cellForItemAtIndexPath(*ip)) cell->setSelected(true);
    if (position != CollectionViewScrollPosition::None) scrollToItemAtIndexPath(*ip, position, animated);
}

void CollectionView::deselectItemAtIndexPath(const IndexPath& ip, bool /*animated*/) {
    auto it = std::find(selected_.begin(), selected_.end(), ip);
    if (it == selected_.end()) return;
    selected_.erase(it);
    if (auto cell = cellForItemAtIndexPath(ip)) cell->setSelected(false);
}

bool CollectionView::tapItemAtIndexPath(const IndexPath& ip) {
    if (!allowsSelection_ || frameForItemAtIndexPath(ip).isEmpty()) return false;
    auto self = sharedView();
    auto delegate = collectionDelegate();
    if (allowsMultipleSelection_ && std::find(selected_.begin(), selected_.end(), ip) != selected_.end()) {
        deselectItemAtIndexPath(ip, false);
        if (delegate) delegate->didDeselectItemAtIndexPath(*this, ip);
        return false;
    }
    if (delegate && !delegate->shouldSelectItemAtIndexPath(*this, ip)) return false;
    if (!allowsMultipleSelection_) {
        for (auto old : std::vector<IndexPath>(selected_)) {
            if (old == ip) continue;
            deselectItemAtIndexPath(old, false);
            if (delegate) delegate->didDeselectItemAtIndexPath(*this, old);
        }
    }
    if (std::find(selected_.begin(), selected_.end(), ip) == selected_.end()) selected_.push_back(ip);
    if (auto cell = cellForItemAtIndexPath(ip)) cell->setSelected(true);
    if (delegate) delegate->didSelectItemAtIndexPath(*this, ip);
    return true;
}

void CollectionView::scrollToItemAtIndexPath(const IndexPath& ip, CollectionViewScrollPosition position, bool animated) {
    if (!loaded_) loadData();
    Rect f = frameForItemAtIndexPath(ip);
    if (f.isEmpty()) {
        Log::line("Velkora (E) - Can't scroll to item %@: the collection has no such item", ip.description());
        return;
    }
    Rect b = bounds();
    Point offset = contentOffset();
    switch (position) {
    case CollectionViewScrollPosition::Top: offset.y = f.minY(); break;
    case CollectionViewScrollPosition::CenteredVertically: offset.y = f.midY() - b.height() / 2; break;
    case CollectionViewScrollPosition::Bottom: offset.y = f.maxY() - b.height(); break;
    case CollectionViewScrollPosition::Left: offset.x = f.minX(); break;
    case CollectionViewScrollPosition::CenteredHorizontally: offset.x = f.midX() - b.width() / 2; break;
    case CollectionViewScrollPosition::Right: offset.x = f.maxX() - b.width(); break;
    case CollectionViewScrollPosition::None: scrollRectToVisible(f, animated); return;
    }
    setContentOffset(clampedOffset(offset), animated);
}

}  // namespace velkora::ui
