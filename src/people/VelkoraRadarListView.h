// The radar's list: the nearby users, each once, nearest first, as rows of the user list's radar cell.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/VelkoraUserInternal.h"
#include "platform/foundation/Value.h"
#include "platform/ui/MapPointIndex.h"
#include "platform/ui/TableView.h"
#include "platform/ui/View.h"
#include "shell/VelkoraUserListCell.h"

namespace velkora {

class VelkoraRadarListDataSource : public ui::TableViewDataSource {
public:
    static constexpr const char* kCellIdentifier = "VelkorafavUserCell";

    // Adds the users not held yet and takes the newest copy of those held (their distance moves them);
    // users the viewer blocked are left out. Then sorts: nearest first, equal distances by id, users
    // without a location last.
    void addUsers(const std::vector<VelkoraUserPtr>& users);
    // The same for a reply's user objects, read where they are (values that hold no user are passed over).
    void addUsers(const foundation::Array& users);
    void gotFavorites(const std::vector<VelkoraUserPtr>& users) { addUsers(users); }
    // Normal mode: users who are not anonymous; favourites mode: users the viewer follows. The rows are
    // picked when users come, when the mode changes and when the table reloads (follows change then).
    int numUsersInMode() const;
    VelkoraUserPtr getUserInModeAtIndex(int index) const;
    void pickUsersInMode();

    int numberOfSectionsInTableView(ui::TableView& table) override;
    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    bool viewFavoritesOnly() const { return viewFavoritesOnly_; }
    void setViewFavoritesOnly(bool v) {
        viewFavoritesOnly_ = v;
        pickUsersInMode();
    }
    const std::vector<VelkoraUserPtr>& sortedUsers() const { return sortedUsers_; }
    // Where the users with a location are, by their positions in sortedUsers(): made as users come.
    const ui::MapPointIndex& places() const { return places_; }
    // A user's location as a map coordinate; none without one.
    static std::optional<ui::MapCoordinate> placeOf(const VelkoraUserInternal& user);
    std::shared_ptr<VelkoraUserListCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraUserListCellDelegate> d) { delegate_ = std::move(d); }

private:
    template <class UserAt> void addEach(size_t count, const UserAt& userAt);
    void sortUsers();
    bool passes(const VelkoraUserInternal& user) const;
    void pickIfNeeded() const;
    // Counts the rows of the bits held.
    void countRows() const;

    bool viewFavoritesOnly_ = false;
    // The users held, each once by id (a user's id does not change once it is held).
    std::vector<VelkoraUserPtr> sortedUsers_;
    // The rows the table shows: a bit per held user, and the rows before each block of 512 users, so a
    // row is found without a list of them.
    mutable std::vector<uint64_t> inMode_;
    mutable std::vector<uint32_t> rowsBefore_;
    mutable bool picked_ = false;
    ui::MapPointIndex places_;
    std::weak_ptr<VelkoraUserListCellDelegate> delegate_;
};

class VelkoraRadarListViewDelegate {
public:
    virtual ~VelkoraRadarListViewDelegate() = default;
    virtual void didSelectUser(const VelkoraUserPtr& user) = 0;
};

class VelkoraRadarListView : public ui::View, public ui::TableViewDelegate {
public:
    explicit VelkoraRadarListView(const ui::Rect& frame = {});
    const char* className() const override { return "VelkoraRadarListView"; }

    // The rows' follow buttons talk to `cellDelegate`.
    void myInitWithDelegate(std::weak_ptr<VelkoraUserListCellDelegate> cellDelegate);
    void reloadData();
    bool isViewFavoritesOnly() const { return dataSource_ && dataSource_->viewFavoritesOnly(); }
    void gotFollowing(const std::vector<VelkoraUserPtr>& users);

    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    const std::shared_ptr<ui::TableView>& usersTable() const { return usersTable_; }
    const std::shared_ptr<VelkoraRadarListDataSource>& dataSource() const { return dataSource_; }
    std::shared_ptr<VelkoraRadarListViewDelegate> radarListDelegate() const { return radarListDelegate_.lock(); }
    void setRadarListDelegate(std::weak_ptr<VelkoraRadarListViewDelegate> d) { radarListDelegate_ = std::move(d); }

private:
    std::shared_ptr<ui::TableView> usersTable_;
    std::shared_ptr<VelkoraRadarListDataSource> dataSource_;
    std::weak_ptr<VelkoraRadarListViewDelegate> radarListDelegate_;
};

} // namespace velkora
