// The nearby users (feature 4): a map of the users of the application around the device's position,
// the same users in a list by distance, a show-me button, a one-time overlay that suggests following the
// users in sight, and each user's profile on a tap. The first zoom comes from the distances of the
// nearest users; the application can keep the map from zooming closer than level 10.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "data/VelkoraUserInternal.h"
#include "people/VelkoraRadarListView.h"
#include "people/VelkoraUserAnnotationView.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Button.h"
#include "platform/ui/MapView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraSigninToFollowPopupHelper.h"
#include "shell/VelkoraUserListCell.h"

namespace velkora {

namespace foundation {
class Timer;
}
namespace ui {
class Image;
class ImageView;
class Label;
} // namespace ui
class VelkoraRadarMapViewController;

// The radar's pins by user id, one per nearby user with a place. The users stay where the screen keeps them
// (the list's users, each once); the map finds the pins it shows through a compact index of their places,
// and an annotation is made only for a pin the map shows or a caller names. A made annotation is kept
// while the map or a caller holds it: the same one for as long, staying where it was made until its user
// moves 0.01 degree (a test user's never moves); one made later is made where its user is then.
class VelkoraUserAnnotationMap : public ui::MapPinSource {
public:
    using Annotation = std::shared_ptr<VelkoraUserAnnotation>;
    class const_iterator {
    public:
        // The annotation is made for the walk when none is held: a walk over every pin keeps none.
        using value_type = std::pair<const std::string&, Annotation>;
        const_iterator(const VelkoraUserAnnotationMap* map, size_t at) : map_(map), at_(at) {}
        value_type operator*() const { return map_->entryAt(at_); }
        const_iterator& operator++() {
            at_ = map_->pinnedFrom(at_ + 1);
            return *this;
        }
        bool operator==(const const_iterator&) const = default;

    private:
        const VelkoraUserAnnotationMap* map_;
        size_t at_;
    };

    // The users whose pins these are.
    void setUsers(std::shared_ptr<const VelkoraRadarListDataSource> users);
    // Counts the pins: a walk of the users.
    size_t size() const;
    bool empty() const { return begin() == end(); }
    const_iterator begin() const { return const_iterator(this, pinnedFrom(0)); }
    const_iterator end() const;
    size_t count(std::string_view id) const { return find(id) ? 1 : 0; }
    // Throws std::out_of_range for an id without a pin.
    const Annotation& at(std::string_view id) const;
    // Null for an id without a pin. An id whose annotation is not held is found through a walk of the users.
    const Annotation* find(std::string_view id) const;

    // The annotation held for a user id, if one is; forgetting it lets the map drop it on its next ask.
    const Annotation* held(std::string_view id) const;
    void forget(std::string_view id);
    bool holdsNone() const { return made_.empty(); }

    void mapViewAnnotationsInRect(ui::MapView& map, const ui::MapRect& rect,
                                  std::vector<std::shared_ptr<ui::MapAnnotation>>& out) override;

private:
    const std::vector<VelkoraUserPtr>& users() const;
    // The first position from `from` on whose user has a pin (the end when none).
    size_t pinnedFrom(size_t from) const;
    const_iterator::value_type entryAt(size_t at) const;
    // A new annotation where the user is.
    static Annotation annotationOf(const VelkoraUserPtr& user);
    // The annotation held for the user at `at`, or one made and held now.
    const Annotation& annotationAt(size_t at) const;

    std::shared_ptr<const VelkoraRadarListDataSource> users_;
    struct IdHash {
        using is_transparent = void;
        size_t operator()(std::string_view id) const { return std::hash<std::string_view>()(id); }
    };
    // The annotations made and still wanted, by their users' ids (copied: the users repository may give a
    // user its id again as it updates it).
    mutable std::unordered_map<std::string, Annotation, IdHash, std::equal_to<>> made_;
};

// A clear button over a user's bubble in the follow overlay: a tap opens that user's profile.
class VelkoraRadarOverlayButton : public ui::Button {
public:
    static std::shared_ptr<VelkoraRadarOverlayButton> create(const ui::Rect& frame);
    explicit VelkoraRadarOverlayButton(const ui::Rect& frame) : ui::Button(frame) {}
    const char* className() const override { return "VelkoraRadarOverlayButton"; }
    const VelkoraUserPtr& selectedUser() const { return selectedUser_; }
    void setSelectedUser(VelkoraUserPtr user) { selectedUser_ = std::move(user); }
    std::shared_ptr<VelkoraRadarMapViewController> mapView() const { return mapView_.lock(); }
    void setMapView(std::weak_ptr<VelkoraRadarMapViewController> screen) { mapView_ = std::move(screen); }

private:
    VelkoraUserPtr selectedUser_;
    std::weak_ptr<VelkoraRadarMapViewController> mapView_;
};

class VelkoraRadarMapViewController : public VelkoraGeneralFeatureViewController,
                                      public ui::MapViewDelegate,
                                      public VelkoraRadarListViewDelegate,
                                      public VelkoraUserAnnotationViewDelegate,
                                      public VelkoraSigninToFollowPopupHelperDelegate,
                                      public VelkoraUserListCellDelegate {
public:
    static constexpr const char* kInterface = "VelkoraRadarView";
    static constexpr const char* kAnnotationIdentifier = "VelkoraAnnotationViewID";
    static constexpr uint32_t kScreenId = 18;
    static constexpr double kCheckLocationInterval = 3.0;
    static constexpr double kZoomGuardInterval = 0.05;
    static constexpr unsigned kZoomLimit = 10;
    // A level reads a hair above the one set (pixels are truncated): within this it counts as the limit.
    static constexpr double kZoomTolerance = 0.001;
    // Positions closer than this on both axes, in degrees, are the same place.
    static constexpr double kNearDegrees = 0.01;

    static std::shared_ptr<VelkoraRadarMapViewController> initFromNib();
    ~VelkoraRadarMapViewController() override;
    const char* className() const override { return "VelkoraRadarMapViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) const override;

    // ---- actions
    void mapViewTapped(ui::Control* sender);
    void listViewTapped(ui::Control* sender);
    void showMeTapped(ui::Control* sender);
    void findFriendsTapped(ui::Control* sender);
    void followAllTapped(ui::Control* sender);
    void notNowTapped(ui::Control* sender);
    void dontShowTapped(ui::Control* sender);
    void signinTapped(VelkoraUserAnnotationView& view) override;

    // ---- the list, its rows and the sign-in popup
    void followTapped(VelkoraUserListCell& cell) override;
    void unFollowTapped(VelkoraUserListCell& cell) override;
    void didSelectUser(const VelkoraUserPtr& user) override;
    void didSignin() override;
    void performLogin() override;
    void performSignUp() override;
    void followingDidChanged(const foundation::Notification& n);

    // ---- the map
    std::shared_ptr<ui::MapAnnotationView>
    mapViewViewForAnnotation(ui::MapView& map, const std::shared_ptr<ui::MapAnnotation>& annotation) override;
    void mapViewDidSelectAnnotationView(ui::MapView& map, ui::MapAnnotationView& view) override;
    void mapViewRegionWillChangeAnimated(ui::MapView& map, bool animated) override;
    void mapViewRegionDidChangeAnimated(ui::MapView& map, bool animated) override;

    // ---- steps
    void initMeLocation();
    void checkMeLocationOnTimer();
    void showMeInCenter();
    void refreshUsersInRegion();
    void gotNearbyUsers(const foundation::Value& users);
    int32_t findOptimalSpanInMeters() const;
    static ui::CoordinateSpan createMapRegionSpan(int32_t meters);
    void checkMapZoomLevel();
    void toggleView(bool map);
    void reloadAnnotationsOnFavoritesModeChanged();
    void refreshMeAnnotation();
    void showOverlayView();
    void hideOverlayView();
    // Black with each pixel's alpha inverted: what was drawn becomes a hole in the shade.
    static std::shared_ptr<ui::Image> inverseAlpha(const ui::Image& image);
    void openUserProfile(const VelkoraUserPtr& user);
    void findFriends();
    void inviteFriends();
    void orientationDidChange();
    static bool isLocationNearLocation(const ui::MapCoordinate& a, const ui::MapCoordinate& b);

    // ---- state
    bool nearbyUsersWereFetched() const { return nearbyUsersWereFetched_; }
    ui::MapCoordinate lastMeLocation() const { return lastMeLocation_; }
    bool overlayViewWasShown() const { return overlayViewWasShown_; }
    bool viewFavoritesOnly() const { return viewFavoritesOnly_; }
    void setViewFavoritesOnly(bool v) { viewFavoritesOnly_ = v; }
    bool showingMeInCenter() const { return showingMeInCenter_; }
    bool zoomLevelUnderControl() const { return zoomLevelUnderControl_; }
    const std::set<VelkoraUserPtr>& usersToFollowSet() const { return usersToFollowSet_; }
    const VelkoraUserAnnotationMap& usersToAnnotationsMap() const { return *usersToAnnotationsMap_; }
    const std::shared_ptr<foundation::Timer>& checkMyLocationTimer() const { return checkMyLocationTimer_; }
    const std::shared_ptr<foundation::Timer>& zoomLevelControlTimer() const { return zoomLevelControlTimer_; }
    const VelkoraUserPtr& tappedUser() const { return tappedUser_; }
    const std::shared_ptr<VelkoraSigninToFollowPopupHelper>& signinHelper() const { return signinHelper_; }

    const std::shared_ptr<ui::MapView>& radarMapView() const { return radarMapView_; }
    const std::shared_ptr<VelkoraRadarListView>& radarListView() const { return radarListView_; }
    const std::shared_ptr<ui::Button>& mapViewButton() const { return mapViewButton_; }
    const std::shared_ptr<ui::Button>& listViewButton() const { return listViewButton_; }
    const std::shared_ptr<ui::Button>& showMeButton() const { return showMeButton_; }
    const std::shared_ptr<ui::Button>& findFriendsButton() const { return findFriendsButton_; }
    const std::shared_ptr<ui::Button>& dontShowButton() const { return dontShowButton_; }
    const std::shared_ptr<ui::Button>& notNowButton() const { return notNowButton_; }
    const std::shared_ptr<ui::Button>& followButton() const { return followButton_; }
    const std::shared_ptr<ui::View>& overlayView() const { return overlayView_; }
    const std::shared_ptr<ui::ImageView>& overlayImageView() const { return overlayImageView_; }
    const std::shared_ptr<ui::Label>& numUsersLabel() const { return numUsersLabel_; }
    const std::shared_ptr<ui::Label>& numUsersSubTitleLabel() const { return numUsersSubTitleLabel_; }
    const std::shared_ptr<ui::View>& buttonsView() const { return buttonsView_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraRadarMapViewController();
    std::optional<ui::MapCoordinate> deviceCoordinate() const;
    // The users of the list and the pins: the list's own, or the screen's when it has no list.
    const std::shared_ptr<VelkoraRadarListDataSource>& nearbyUsers();
    // The users' pins the map shows now (only those have views), by user id.
    std::vector<std::pair<VelkoraUserAnnotation*, VelkoraUserAnnotationView*>> pinsInSight() const;
    void showSigninPopup(const std::string& messageKey);
    void stopZoomGuard();
    bool limitRadarZoom() const;

    std::shared_ptr<ui::Label> numUsersLabel_;
    std::set<VelkoraUserPtr> usersToFollowSet_;
    bool nearbyUsersWereFetched_ = false;
    ui::MapCoordinate lastMeLocation_;
    bool overlayViewWasShown_ = false;
    std::shared_ptr<VelkoraSigninToFollowPopupHelper> signinHelper_;
    bool viewFavoritesOnly_ = false;
    bool showingMeInCenter_ = false;
    bool zoomLevelUnderControl_ = false;
    // The guard pulled the map back since the last settled change: it does so once, so a level that
    // keeps reading above the limit cannot pull the map for ever.
    bool pulledBackSinceSettled_ = false;
    std::shared_ptr<ui::MapView> radarMapView_;
    std::shared_ptr<ui::Button> mapViewButton_, listViewButton_;
    std::shared_ptr<VelkoraRadarListView> radarListView_;
    std::shared_ptr<ui::Button> showMeButton_, dontShowButton_;
    std::shared_ptr<ui::Button> findFriendsButton_; // opens the network chooser
    std::shared_ptr<VelkoraUserAnnotationMap> usersToAnnotationsMap_ = std::make_shared<VelkoraUserAnnotationMap>();
    std::shared_ptr<VelkoraRadarListDataSource> ownUsers_;
    std::shared_ptr<foundation::Timer> checkMyLocationTimer_;
    std::shared_ptr<ui::ImageView> overlayImageView_;
    std::shared_ptr<ui::View> overlayView_;
    std::shared_ptr<ui::Button> notNowButton_;
    std::shared_ptr<ui::Label> numUsersSubTitleLabel_;
    std::shared_ptr<ui::View> buttonsView_;
    std::shared_ptr<ui::Button> followButton_;
    std::shared_ptr<foundation::Timer> zoomLevelControlTimer_;
    // The user of the list row whose follow is pending (the row may show someone else by the answer).
    VelkoraUserPtr tappedUser_;
    std::vector<std::shared_ptr<VelkoraRadarOverlayButton>> overlayButtons_;
    foundation::NotificationObserver followingObserver_;
    foundation::NotificationObserver rotationObserver_;
};

} // namespace velkora
