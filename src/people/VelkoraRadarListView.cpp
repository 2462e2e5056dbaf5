#include "people/VelkoraRadarListView.h"

#include <algorithm>
#include <array>
#include <bit>

#include "people/VelkoraUserIdTable.h"

namespace velkora {

namespace {

// A user's distance, or none without a location.
std::optional<double> distanceOf(const VelkoraUserInternal& u) {
    if (!u.location()) return std::nullopt;
    return u.location()->distance();
}

// What the list is ordered by: the placed first, nearest first, then by id.
struct SortKey {
    double distance;
    const std::string* id;
    bool placed;
    explicit SortKey(const VelkoraUserInternal& u)
        : distance(distanceOf(u).value_or(0)), id(&*u.userId()), placed(u.location() != nullptr) {}
    bool operator<(const SortKey& b) const {
        if (placed != b.placed) return placed;
        if (placed && distance != b.distance) return distance < b.distance;
        return *id < *b.id;
    }
};

// Marks a coordinate as none: no place has it.
constexpr double kNoPlace = 1000;

} // namespace

void VelkoraRadarListDataSource::addUsers(const std::vector<VelkoraUserPtr>& users) {
    addEach(users.size(), [&users](size_t i) { return users[i]; });
}

void VelkoraRadarListDataSource::addUsers(const foundation::Array& users) {
    addEach(users.size(), [&users](size_t i) { return users[i].asObject<VelkoraUserInternal>(); });
}

template <class UserAt> void VelkoraRadarListDataSource::addEach(size_t count, const UserAt& userAt) {
    const size_t heldBefore = sortedUsers_.size();
    // Each user is read once here: what the order, the rows and the places need is taken while it is at
    // hand. The service sends the nearest first, so the new users mostly come in order after those held;
    // then nothing is read again.
    std::vector<ui::MapCoordinate> placesAdded;
    bool inOrder = true;
    {
        // Found by id through a table of positions made for this call: the list holds nothing per user
        // beyond its pointer, and the order may move every position anyway.
        const auto idOf = [this](uint32_t at) { return &*sortedUsers_[at]->userId(); };
        VelkoraUserIdTable held;
        held.reserve(heldBefore + count, idOf);
        for (uint32_t at = 0; at < heldBefore; ++at)
            held.insert(*sortedUsers_[at]->userId(), at, idOf);
        sortedUsers_.reserve(heldBefore + count);
        placesAdded.reserve(count);
        inMode_.resize((heldBefore + count + 63) / 64);
        std::optional<SortKey> last;
        if (heldBefore) last.emplace(*sortedUsers_.back());
        // The users a few places ahead are taken early and their ids asked of the memory, so reading an
        // id seldom waits for it.
        constexpr size_t kAhead = 16;
        std::array<VelkoraUserPtr, kAhead> ahead;
        const auto take = [&userAt](size_t i) {
            VelkoraUserPtr u = userAt(i);
            if (u && u->userId()) {
                __builtin_prefetch(u->userId()->data());
                __builtin_prefetch(&u->location());
                __builtin_prefetch(&u->isBlockedByCurrentUser());
                __builtin_prefetch(&u->lastName());
            }
            return u;
        };
        for (size_t i = 0; i < std::min(count, kAhead); ++i)
            ahead[i] = take(i);
        for (size_t i = 0; i < count; ++i) {
            VelkoraUserPtr u = std::move(ahead[i % kAhead]);
            if (i + kAhead < count) ahead[i % kAhead] = take(i + kAhead);
            // Halfway there, its place is asked for too.
            if (const auto& next = ahead[(i + kAhead / 2) % kAhead]; next && next->location())
                __builtin_prefetch(next->location().get());
            if (!u || !u->userId() || u->isBlockedByCurrentUser()) continue;
            const auto [at, isNew] = held.insert(*u->userId(), static_cast<uint32_t>(sortedUsers_.size()), idOf);
            if (!isNew) {
                sortedUsers_[at] = std::move(u);
                inOrder = false;
                continue;
            }
            if (inOrder) {
                const SortKey key(*u);
                if (last && key < *last) inOrder = false;
                last = key;
                placesAdded.push_back(placeOf(*u).value_or(ui::MapCoordinate{kNoPlace, kNoPlace}));
                if (passes(*u)) inMode_[at / 64] |= uint64_t(1) << (at % 64);
            }
            sortedUsers_.push_back(std::move(u));
        }
    }
    if (inOrder && (picked_ || heldBefore == 0)) {
        // The rows held keep their bits (their users' follows are read again when the table reloads).
        countRows();
    } else {
        if (!inOrder) sortUsers();
        picked_ = false;
        pickIfNeeded();
    }
    const auto& users = sortedUsers_;
    const bool fromAdded = inOrder;
    places_.build(static_cast<uint32_t>(users.size()), [&](uint32_t at) -> std::optional<ui::MapCoordinate> {
        if (fromAdded && at >= heldBefore) {
            const ui::MapCoordinate& c = placesAdded[at - heldBefore];
            if (c.latitude == kNoPlace) return std::nullopt;
            return c;
        }
        return placeOf(*users[at]);
    });
}

std::optional<ui::MapCoordinate> VelkoraRadarListDataSource::placeOf(const VelkoraUserInternal& user) {
    const auto& location = user.location();
    if (!location) return std::nullopt;
    return ui::MapCoordinate{location->latitude(), location->longitude()};
}

void VelkoraRadarListDataSource::sortUsers() {
    // The service sends the nearest first, so a reply mostly extends the order: users are moved back into
    // place one by one, with nothing to allocate, while the moves stay few.
    const size_t n = sortedUsers_.size();
    size_t moves = 0;
    const size_t budget = 8 * n + 64;
    bool inOrder = true;
    if (n > 1) {
        SortKey previous(*sortedUsers_[0]);
        for (size_t i = 1; i < n && inOrder; ++i) {
            const SortKey key(*sortedUsers_[i]);
            if (!(key < previous)) {
                previous = key;
                continue;
            }
            VelkoraUserPtr moving = std::move(sortedUsers_[i]);
            size_t to = i;
            for (; to > 0 && key < SortKey(*sortedUsers_[to - 1]); --to) {
                sortedUsers_[to] = std::move(sortedUsers_[to - 1]);
                if (++moves > budget) {
                    inOrder = false;
                    --to;
                    break;
                }
            }
            sortedUsers_[to] = std::move(moving);
        }
    }
    if (inOrder) return;
    // Far from the order: the keys are read once (the comparison runs some n log n times), then the users
    // are put in their order in place, so the list is not held twice while it sorts.
    struct Keyed {
        SortKey key;
        uint32_t at;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(n);
    for (uint32_t at = 0; at < n; ++at)
        keyed.push_back({SortKey(*sortedUsers_[at]), at});
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
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
}

bool VelkoraRadarListDataSource::passes(const VelkoraUserInternal& user) const {
    return viewFavoritesOnly_ ? user.isFavorite() : !user.isAnonymous();
}

namespace {
constexpr size_t kWordsPerBlock = 8; // 512 users
}

void VelkoraRadarListDataSource::pickUsersInMode() {
    picked_ = false;
    pickIfNeeded();
}

void VelkoraRadarListDataSource::pickIfNeeded() const {
    if (picked_) return;
    const size_t n = sortedUsers_.size();
    inMode_.assign((n + 63) / 64, 0);
    for (size_t i = 0; i < n; ++i)
        if (passes(*sortedUsers_[i])) inMode_[i / 64] |= uint64_t(1) << (i % 64);
    countRows();
}

void VelkoraRadarListDataSource::countRows() const {
    picked_ = true;
    inMode_.resize((sortedUsers_.size() + 63) / 64);
    rowsBefore_.assign(1, 0);
    uint32_t rows = 0;
    for (size_t w = 0; w < inMode_.size(); ++w) {
        rows += static_cast<uint32_t>(std::popcount(inMode_[w]));
        if ((w + 1) % kWordsPerBlock == 0 || w + 1 == inMode_.size()) rowsBefore_.push_back(rows);
    }
}

int VelkoraRadarListDataSource::numUsersInMode() const {
    pickIfNeeded();
    return static_cast<int>(rowsBefore_.back());
}

VelkoraUserPtr VelkoraRadarListDataSource::getUserInModeAtIndex(int index) const {
    if (index < 0 || index >= numUsersInMode()) return nullptr;
    const auto row = static_cast<uint32_t>(index);
    // The last block starting at or before the row, then its words.
    const size_t block =
        static_cast<size_t>(std::upper_bound(rowsBefore_.begin(), rowsBefore_.end(), row) - rowsBefore_.begin()) - 1;
    uint32_t left = row - rowsBefore_[block];
    for (size_t w = block * kWordsPerBlock; w < inMode_.size(); ++w) {
        uint64_t word = inMode_[w];
        const auto inWord = static_cast<uint32_t>(std::popcount(word));
        if (left >= inWord) {
            left -= inWord;
            continue;
        }
        for (; left > 0; --left)
            word &= word - 1;
        return sortedUsers_[w * 64 + static_cast<size_t>(std::countr_zero(word))];
    }
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
