#include "people/VelkoraRadarListView.h"

#include <algorithm>

#include "people/VelkoraUserIdTable.h"

namespace velkora {

namespace {

// A user's distance, or none without a location.
std::optional<double> distanceOf(const VelkoraUserInternal& u) {
    if (!u.location()) return std::nullopt;
    return u.location()->distance();
}

} // namespace

void VelkoraRadarListDataSource::addUsers(const std::vector<VelkoraUserPtr>& users) {
    {
        // Found by id through a table of positions made for this call: the list holds nothing per user
        // beyond its pointer, and the sort below moves every position anyway.
        const auto idOf = [this](uint32_t at) { return &*sortedUsers_[at]->userId(); };
        VelkoraUserIdTable held;
        held.reserve(sortedUsers_.size() + users.size(), idOf);
        for (uint32_t at = 0; at < sortedUsers_.size(); ++at)
            held.insert(*sortedUsers_[at]->userId(), at, idOf);
        sortedUsers_.reserve(sortedUsers_.size() + users.size());
        for (const auto& u : users) {
            if (!u || !u->userId() || u->isBlockedByCurrentUser()) continue;
            const auto [at, isNew] = held.insert(*u->userId(), static_cast<uint32_t>(sortedUsers_.size()), idOf);
            if (isNew)
                sortedUsers_.push_back(u);
            else
                sortedUsers_[at] = u;
        }
    }
    // The keys are read once (the comparison runs some n log n times), then the users are put in their
    // order in place: a second list of them would double what the list holds while it sorts.
    struct Keyed {
        double distance;
        uint32_t at;
        bool placed;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(sortedUsers_.size());
    for (uint32_t at = 0; at < sortedUsers_.size(); ++at) {
        const auto distance = distanceOf(*sortedUsers_[at]);
        keyed.push_back({distance.value_or(0), at, distance.has_value()});
    }
    std::sort(keyed.begin(), keyed.end(), [this](const Keyed& a, const Keyed& b) {
        if (a.placed != b.placed) return a.placed;
        if (a.placed && a.distance != b.distance) return a.distance < b.distance;
        return *sortedUsers_[a.at]->userId() < *sortedUsers_[b.at]->userId();
    });
    // Each cycle of the order is walked once; a walked place is marked by pointing at itself.
    for (uint32_t start = 0; start < keyed.size(); ++start) {
        if (keyed[start].at == start) continue;
        VelkoraUserPtr first = std::move(sortedUsers_[start]);
        uint32_t to = start;
        while (keyed[to].at != start) {
            const uint32_t from = keyed[to].at;
            sortedUsers_[to] = std::move(sortedUsers_[from]);
            keyed[to].at = to;
            to = from;
        }
        sortedUsers_[to] = std::move(first);
        keyed[to].at = to;
    }
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
