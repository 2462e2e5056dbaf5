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
    users_.reserve(users_.size() + users.size());
    for (const auto& u : users) {
        if (!u || !u->userId() || u->isBlockedByCurrentUser()) continue;
        auto [held, isNew] = users_.insert(u);
        if (!isNew && *held != u) {
            users_.erase(held);
            users_.insert(u);
        }
    }
    // The keys are read once: the comparison runs some n log n times.
    struct Keyed {
        bool placed;
        double distance;
        const std::string* id;
        const VelkoraUserPtr* user;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(users_.size());
    for (const auto& u : users_) {
        const auto distance = distanceOf(*u);
        keyed.push_back({distance.has_value(), distance.value_or(0), &*u->userId(), &u});
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.placed != b.placed) return a.placed;
        if (a.placed && a.distance != b.distance) return a.distance < b.distance;
        return *a.id < *b.id;
    });
    sortedUsers_.clear();
    sortedUsers_.reserve(keyed.size());
    for (const Keyed& k : keyed)
        sortedUsers_.push_back(*k.user);
    pickUsersInMode();
}

bool VelkoraRadarListDataSource::passes(const VelkoraUserInternal& user) const {
    return viewFavoritesOnly_ ? user.isFavorite() : !user.isAnonymous();
}

void VelkoraRadarListDataSource::pickUsersInMode() {
    usersInMode_.clear();
    for (size_t i = 0; i < sortedUsers_.size(); ++i)
        if (passes(*sortedUsers_[i])) usersInMode_.push_back(static_cast<uint32_t>(i));
}

VelkoraUserPtr VelkoraRadarListDataSource::getUserInModeAtIndex(int index) const {
    if (index < 0 || index >= numUsersInMode()) return nullptr;
    return sortedUsers_[usersInMode_[static_cast<size_t>(index)]];
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
    if (dataSource_) dataSource_->pickUsersInMode();
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
