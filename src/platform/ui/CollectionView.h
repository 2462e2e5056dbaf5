// The collection view: items of sections laid out in a grid by a flow layout, with cells reused by
// identifier and selection.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"

namespace velkora::ui {

class CollectionView;

enum class CollectionViewScrollDirection { Vertical = 0, Horizontal = 1 };
enum class CollectionViewScrollPosition { None = 0, Top, CenteredVertically, Bottom, Left, CenteredHorizontally, Right };

// Items flow along lines (rows when scrolling vertically, columns when horizontally); the space left on
// a full line goes between its items, a single item is centred, the last line keeps the spacing of the full lines above it.
struct CollectionViewFlowLayout {
    CollectionViewScrollDirection scrollDirection = CollectionViewScrollDirection::Vertical;
    Size itemSize{50, 50};
    double minimumLineSpacing = 10;
    double minimumInteritemSpacing = 10;
    EdgeInsets sectionInset;
    Size headerReferenceSize;
    Size footerReferenceSize;
};

class CollectionViewCell : public View {
public:
    CollectionViewCell() : CollectionViewCell(Rect{}) {}
    explicit CollectionViewCell(const Rect& frame);
    const char* className() const override { return "CollectionViewCell"; }
    const ViewPtr& contentView() const { return contentView_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(std::string id) { reuseIdentifier_ = std::move(id); }
    const ViewPtr& backgroundView() const { return backgroundView_; }
    void setBackgroundView(ViewPtr v);
    const ViewPtr& selectedBackgroundView() const { return selectedBackgroundView_; }
    void setSelectedBackgroundView(ViewPtr v) { selectedBackgroundView_ = std::move(v); }
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool s);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool h) { highlighted_ = h; }
    virtual void prepareForReuse() {}

private:
    ViewPtr contentView_, backgroundView_, selectedBackgroundView_;
    std::string reuseIdentifier_;
    bool selected_ = false;
    bool highlighted_ = false;
};

using CollectionViewCellPtr = std::shared_ptr<CollectionViewCell>;

class CollectionViewDataSource {
public:
    virtual ~CollectionViewDataSource() = default;
    virtual int numberOfSectionsInCollectionView(CollectionView& /*view*/) { return 1; }
    virtual int numberOfItemsInSection(CollectionView& view, int section) = 0;
    // The index path's row is the item.
    virtual CollectionViewCellPtr cellForItemAtIndexPath(CollectionView& view, const IndexPath& indexPath) = 0;
};

class CollectionViewDelegate : public ScrollViewDelegate {
public:
    // A negative width: the layout's item size.
    virtual Size sizeForItemAtIndexPath(CollectionView& /*view*/, const IndexPath& /*indexPath*/) { return {-1, -1}; }
    virtual bool shouldSelectItemAtIndexPath(CollectionView& /*view*/, const IndexPath& /*indexPath*/) { return true; }
    virtual void didSelectItemAtIndexPath(CollectionView& /*view*/, const IndexPath& /*indexPath*/) {}
    virtual void didDeselectItemAtIndexPath(CollectionView& /*view*/, const IndexPath& /*indexPath*/) {}
    virtual void willDisplayCell(CollectionView& /*view*/, CollectionViewCell& /*cell*/, const IndexPath& /*indexPath*/) {}
    virtual void didEndDisplayingCell(CollectionView& /*view*/, CollectionViewCell& /*cell*/, const IndexPath& /*indexPath*/) {}
};

class CollectionView : public ScrollView {
public:
    explicit CollectionView(const Rect& frame = {}, CollectionViewFlowLayout layout = {});
    static std::shared_ptr<CollectionView> create(const Rect& frame = {}, CollectionViewFlowLayout layout = {}) {
        return std::make_shared<CollectionView>(frame, layout);
    }
    const char* className() const override { return "CollectionView"; }

    const CollectionViewFlowLayout& layout() const { return layout_; }
    void setLayout(CollectionViewFlowLayout layout);
    void setDataSource(std::weak_ptr<CollectionViewDataSource> d);
    std::shared_ptr<CollectionViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDelegate(std::weak_ptr<CollectionViewDelegate> d);
    std::shared_ptr<CollectionViewDelegate> collectionDelegate() const { return delegate_.lock(); }
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool a) { allowsSelection_ = a; }
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool a) { allowsMultipleSelection_ = a; }

    using CellFactory = std::function<CollectionViewCellPtr()>;
    void registerCellFactory(const std::string& identifier, CellFactory factory);
    // A cell waiting under the identifier, else a new one from its factory; null (logged) when none is registered.
    CollectionViewCellPtr dequeueReusableCellWithReuseIdentifier(const std::string& identifier, const IndexPath& indexPath);
    size_t reusableCellCount(const std::string& identifier) const;

    void reloadData();
    int numberOfSections() const { return int(frames_.size()); }
    int numberOfItemsInSection(int section) const;
    // In content coordinates; empty outside the data.
    Rect frameForItemAtIndexPath(const IndexPath& indexPath) const;
    std::optional<IndexPath> indexPathForItemAtPoint(Point p) const;
    std::optional<IndexPath> indexPathForCell(const CollectionViewCell* cell) const;
    CollectionViewCellPtr cellForItemAtIndexPath(const IndexPath& indexPath) const;
    std::vector<CollectionViewCellPtr> visibleCells() const;
    std::vector<IndexPath> indexPathsForVisibleItems() const;

    std::vector<IndexPath> indexPathsForSelectedItems() const { return selected_; }
    void selectItemAtIndexPath(const std::optional<IndexPath>& indexPath, bool animated, CollectionViewScrollPosition position);
    void deselectItemAtIndexPath(const IndexPath& indexPath, bool animated);
    // A tap on an item, as the touch routing delivers it.
    bool tapItemAtIndexPath(const IndexPath& indexPath);
    void scrollToItemAtIndexPath(const IndexPath& indexPath, CollectionViewScrollPosition position, bool animated);
    // Changes of the data are shown by reloading: the items are few.
    void insertItemsAtIndexPaths(const std::vector<IndexPath>&) { reloadData(); }
    void deleteItemsAtIndexPaths(const std::vector<IndexPath>&) { reloadData(); }
    void reloadItemsAtIndexPaths(const std::vector<IndexPath>&) { reloadData(); }

    void layoutSubviews() override;

protected:
    void contentOffsetDidChange() override;
    void boundsSizeDidChange(Size oldSize) override;

private:
    void loadData();
    void computeLayout();
    void tile();
    void enqueue(const IndexPath& ip, const CollectionViewCellPtr& cell);

    CollectionViewFlowLayout layout_;
    std::weak_ptr<CollectionViewDataSource> dataSource_;
    std::weak_ptr<CollectionViewDelegate> delegate_;
    bool allowsSelection_ = true;
    bool allowsMultipleSelection_ = false;
    bool loaded_ = false;
    bool tiling_ = false;
    std::vector<int> counts_;
    std::vector<std::vector<Rect>> frames_;
    std::map<IndexPath, CollectionViewCellPtr> visible_;
    std::map<std::string, std::vector<CollectionViewCellPtr>> reusable_;
    std::map<std::string, CellFactory> factories_;
    std::vector<IndexPath> selected_;
};

}  // namespace velkora::ui
