#include "people/VelkoraRadarListView.h"

#include <algorithm>

namespace velkora {

namespace {

// A user's distance, or none without a location.
std::optional<double> distanceOf(const VelkoraUserInternal& u) {
    if (!u.location()) return std::nullopt;
    return u.location()->distance();
}

} // namespace

void VelkoraRadarListDataSource::addUsers(const std::vector<VelkoraUserPtr>& users) {
    for (const auto& u : users) {
        if (!u || !u->userId() || u->isBlockedByCurrentUser()) continue;
        users_[*u->userId()] = u;
    }
    sortedUsers_.clear();
    sortedUsers_.reserve(users_.size());
    for (const auto& [id, u] : users_)
        sortedUsers_.push_back(u);
    std::sort(sortedUsers_.begin(), sortedUsers_.end(), [](const VelkoraUserPtr& a, const VelkoraUserPtr& b) {
        const auto da = distanceOf(*a), db = distanceOf(*b);
        if (da.has_value() != db.has_value()) return da.has_value();
        if (da && db && *da != *db) return *da < *db;
        return *a->userId() < *b->userId();
    });
}

bool VelkoraRadarListDataSource::passes(const VelkoraUserInternal& user) const {
    return viewFavoritesOnly_ ? user.isFavorite() : !user.isAnonymous();
}

int VelkoraRadarListDataSource::numUsersInMode() const {
    return static_cast<int>(std::count_if(sortedUsers_.begin(), sortedUsers_.end(),
                                          [this](const VelkoraUserPtr& u) { return passes(*u); }));
}

VelkoraUserPtr VelkoraRadarListDataSource::getUserInModeAtIndex(int index) const {
    if (index < 0) return nullptr;
    for (const auto& u : sortedUsers_)
        if (passes(*u) && index-- == 0) return u;
    return nullptr;
}

int VelkoraRadarListDataSource::numberOfSectionsInTableView(ui::TableView&) {
    return 1;
}

int VelkoraRadarListDataSource::numberOfRowsInSection(ui::TableView&, int) {
    return numUsersInMode();
}

ui::TableViewCellPtr VelkoraRadarListDataSource::cellForRowAtIndexPath(ui::TableView& table,
                                                                       const ui::IndexPath& indexPath) {
    auto cell =
        std::dynamic_pointer_cast<VelkoraUserListCell>(table.dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell) {
        cell = VelkoraUserListCell::initFromNibRadarWithDelegate(delegate_);
        if (!cell) return ui::TableViewCell::create(ui::TableViewCellStyle::Default, kCellIdentifier);
        cell->setReuseIdentifier(kCellIdentifier);
        cell->setShowFollowButton(true);
    }
    const int n = numUsersInMode();
    if (indexPath.row < n) cell->updateData(getUserInModeAtIndex(indexPath.row), indexPath.row == n - 1);
    return cell;
}

VelkoraRadarListView::VelkoraRadarListView(const ui::Rect& frame) : ui::View(frame) {
    usersTable_ = ui::TableView::create(bounds());
    usersTable_->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    addSubview(usersTable_);
}

void VelkoraRadarListView::myInitWithDelegate(std::weak_ptr<VelkoraUserListCellDelegate> cellDelegate) {
    usersTable_->setDelegate(std::static_pointer_cast<ui::TableViewDelegate>(sharedAs<VelkoraRadarListView>()));
    dataSource_ = std::make_shared<VelkoraRadarListDataSource>();
    dataSource_->setDelegate(std::move(cellDelegate));
    if (auto probe = VelkoraUserListCell::initFromNibRadarWithDelegate({}))
        usersTable_->setRowHeight(probe->frame().height());
    usersTable_->setDataSource(dataSource_);
}

void VelkoraRadarListView::reloadData() {
    usersTable_->reloadData();
}

void VelkoraRadarListView::gotFollowing(const std::vector<VelkoraUserPtr>& users) {
    if (dataSource_) dataSource_->gotFavorites(users);
    reloadData();
}

void VelkoraRadarListView::willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

void VelkoraRadarListView::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) {
    if (!dataSource_ || indexPath.row < 0 || indexPath.row >= dataSource_->numUsersInMode()) return;
    if (auto d = radarListDelegate_.lock()) d->didSelectUser(dataSource_->getUserInModeAtIndex(indexPath.row));
}

} // namespace velkora
