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
#include <utility>
#include <vector>

#include "data/VelkoraUserInternal.h"
#include "people/VelkoraRadarListView.h"
#include "people/VelkoraUserAnnotationView.h"
#include "people/VelkoraUserIdTable.h"
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

// The radar's pins by user id, one annotation per user. An annotation is found through the id its user
// carries: nothing per user is held beside the annotation's pointer and a slot of the id table.
class VelkoraUserAnnotationMap {
public:
    using Annotation = std::shared_ptr<VelkoraUserAnnotation>;
    class const_iterator {
    public:
        using value_type = std::pair<const std::string&, const Annotation&>;
        explicit const_iterator(std::vector<Annotation>::const_iterator at) : at_(at) {}
        value_type operator*() const { return {*(*at_)->velkoraUser()->userId(), *at_}; }
        const_iterator& operator++() {
            ++at_;
            return *this;
        }
        bool operator==(const const_iterator&) const = default;

    private:
        std::vector<Annotation>::const_iterator at_;
    };

    size_t size() const { return annotations_.size(); }
    bool empty() const { return annotations_.empty(); }
    const_iterator begin() const { return const_iterator(annotations_.begin()); }
    const_iterator end() const { return const_iterator(annotations_.end()); }
    size_t count(std::string_view id) const { return find(id) ? 1 : 0; }
    // Throws std::out_of_range for an id not held.
    const Annotation& at(std::string_view id) const;
    // Null for an id not held; the annotation held may be replaced through it by one of the same user id.
    const Annotation* find(std::string_view id) const;
    Annotation* find(std::string_view id);
    // An annotation whose user has an id not held yet.
    void add(Annotation annotation);
    void reserve(size_t count);

private:
    const std::string* idAt(uint32_t at) const;

    std::vector<Annotation> annotations_;
    VelkoraUserIdTable ids_;
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
    const VelkoraUserAnnotationMap& usersToAnnotationsMap() const { return usersToAnnotationsMap_; }
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
    struct Pins {
        std::vector<std::shared_ptr<ui::MapAnnotation>> added, removed;
    };
    void placeUser(const VelkoraUserPtr& user, Pins& pins);
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
    VelkoraUserAnnotationMap usersToAnnotationsMap_;
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
