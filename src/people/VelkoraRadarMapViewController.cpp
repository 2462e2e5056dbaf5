#include "people/VelkoraRadarMapViewController.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "data/VelkoraAppData.h"
#include "data/VelkoraUserDetailsDisplayer.h"
#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUtils.h"
#include "people/VelkoraFriendsSupport.h"
#include "people/VelkoraInviteSelectionViewController.h"
#include "people/VelkoraMapZoomLevel.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/LocationManager.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarItems.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "server/VelkoraServerApi.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraProfileSupport.h"
#include "shell/VelkoraSidebarClasses.h"

namespace velkora {

namespace {

constexpr const char* kShadeImage = "VelImg_NewFollowersShadeInvert.png";

foundation::Value userArgument(const VelkoraUserPtr& user) {
    return foundation::Value(foundation::Dictionary{{"object1", foundation::Value::object(user)}});
}

} // namespace

void VelkoraUserAnnotationMap::setUsers(std::shared_ptr<const VelkoraRadarListDataSource> users) {
    users_ = std::move(users);
    made_.clear();
}

const std::vector<VelkoraUserPtr>& VelkoraUserAnnotationMap::users() const {
    static const std::vector<VelkoraUserPtr> none;
    return users_ ? users_->sortedUsers() : none;
}

size_t VelkoraUserAnnotationMap::pinnedFrom(size_t from) const {
    const auto& all = users();
    for (; from < all.size(); ++from) {
        const auto& user = *all[from];
        // A user without a place now keeps a pin only while its annotation is held.
        if (user.location() || (!made_.empty() && made_.count(*user.userId()))) return from;
    }
    return all.size();
}

VelkoraUserAnnotationMap::const_iterator VelkoraUserAnnotationMap::end() const {
    return const_iterator(this, users().size());
}

size_t VelkoraUserAnnotationMap::size() const {
    size_t n = 0;
    for (auto it = begin(); it != end(); ++it)
        ++n;
    return n;
}

VelkoraUserAnnotationMap::const_iterator::value_type VelkoraUserAnnotationMap::entryAt(size_t at) const {
    const auto& user = users()[at];
    const std::string& id = *user->userId();
    if (const Annotation* annotation = held(id)) return {id, *annotation};
    return {id, annotationOf(user)};
}

VelkoraUserAnnotationMap::Annotation VelkoraUserAnnotationMap::annotationOf(const VelkoraUserPtr& user) {
    auto annotation = VelkoraUserAnnotation::initWithCoordinate(*VelkoraRadarListDataSource::placeOf(*user));
    annotation->setVelkoraUser(user);
    return annotation;
}

const VelkoraUserAnnotationMap::Annotation& VelkoraUserAnnotationMap::annotationAt(size_t at) const {
    const auto& user = users()[at];
    if (const Annotation* annotation = held(*user->userId())) return *annotation;
    return made_.emplace(*user->userId(), annotationOf(user)).first->second;
}

void VelkoraUserAnnotationMap::forget(std::string_view id) {
    if (const auto it = made_.find(id); it != made_.end()) made_.erase(it);
}

const VelkoraUserAnnotationMap::Annotation* VelkoraUserAnnotationMap::held(std::string_view id) const {
    const auto it = made_.find(id);
    return it == made_.end() ? nullptr : &it->second;
}

const VelkoraUserAnnotationMap::Annotation* VelkoraUserAnnotationMap::find(std::string_view id) const {
    if (const Annotation* annotation = held(id)) return annotation;
    const auto& all = users();
    for (size_t at = 0; at < all.size(); ++at)
        if (all[at]->location() && *all[at]->userId() == id) return &annotationAt(at);
    return nullptr;
}

const VelkoraUserAnnotationMap::Annotation& VelkoraUserAnnotationMap::at(std::string_view id) const {
    if (const Annotation* found = find(id)) return *found;
    throw std::out_of_range("no annotation for user " + std::string(id));
}

void VelkoraUserAnnotationMap::mapViewAnnotationsInRect(ui::MapView&, const ui::MapRect& rect,
                                                        std::vector<std::shared_ptr<ui::MapAnnotation>>& out) {
    if (!users_) return;
    // What nobody holds any more (the map let go of it when it left the screen) is made again if needed.
    std::erase_if(made_, [](const auto& entry) { return entry.second.use_count() == 1; });
    const auto& all = users();
    const auto placeOf = [&all](uint32_t at) { return VelkoraRadarListDataSource::placeOf(*all[at]); };
    // The held annotations stay where they were made: they are given whatever the rectangle, and the map
    // keeps those in sight.
    for (const auto& entry : made_)
        out.push_back(entry.second);
    for (uint32_t at : users_->places().positionsIn(rect, placeOf))
        if (!held(*all[at]->userId())) out.push_back(annotationAt(at));
}

std::shared_ptr<VelkoraRadarOverlayButton> VelkoraRadarOverlayButton::create(const ui::Rect& frame) {
    auto button = std::make_shared<VelkoraRadarOverlayButton>(frame);
    button->setBackgroundColor(ui::Color::clear());
    button->addAction(
        [](ui::Control* sender) {
            auto* self = static_cast<VelkoraRadarOverlayButton*>(sender);
            auto screen = self->mapView();
            if (screen && self->selectedUser())
                friends::pushFeature(*screen, "profile", userArgument(self->selectedUser()));
        },
        ui::ControlEventTouchUpInside);
    return button;
}

std::shared_ptr<VelkoraRadarMapViewController> VelkoraRadarMapViewController::initFromNib() {
    return std::shared_ptr<VelkoraRadarMapViewController>(new VelkoraRadarMapViewController());
}

VelkoraRadarMapViewController::VelkoraRadarMapViewController() : VelkoraGeneralFeatureViewController(kInterface) {
    friends::registerFriendsViewClasses();
    setStyleScreenIdentifier(kScreenId);
}

VelkoraRadarMapViewController::~VelkoraRadarMapViewController() {
    VelkoraServerApi::clearUserDelegate(this);
    // Timers hold the screen weakly, but they would keep firing for nobody.
    if (checkMyLocationTimer_) checkMyLocationTimer_->invalidate();
    if (zoomLevelControlTimer_) zoomLevelControlTimer_->invalidate();
    if (radarMapView_) {
        radarMapView_->setShowsUserLocation(false);
        radarMapView_->setDelegate({});
    }
    if (signinHelper_) signinHelper_->setDelegate({});
    if (radarListView_) radarListView_->removeFromSuperview();
}

void VelkoraRadarMapViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("numUsersLabel", numUsersLabel_);
    b.outlet("radarMapView", radarMapView_);
    b.outlet("mapViewButton", mapViewButton_);
    b.outlet("listViewButton", listViewButton_);
    b.outlet("radarListView", radarListView_);
    b.outlet("showMeButton", showMeButton_);
    b.outlet("findFriendsButton", findFriendsButton_);
    b.outlet("dontShowButton", dontShowButton_);
    b.outlet("overlayImageView", overlayImageView_);
    b.outlet("overlayView", overlayView_);
    b.outlet("notNowButton", notNowButton_);
    b.outlet("numUsersSubTitleLabel", numUsersSubTitleLabel_);
    b.outlet("buttonsView", buttonsView_);
    b.outlet("followButton", followButton_);
    b.action("mapViewTapped:", this, &VelkoraRadarMapViewController::mapViewTapped);
    b.action("listViewTapped:", this, &VelkoraRadarMapViewController::listViewTapped);
    b.action("showMeTapped:", this, &VelkoraRadarMapViewController::showMeTapped);
    b.action("findFriendsTapped:", this, &VelkoraRadarMapViewController::findFriendsTapped);
    b.action("followAllTapped:", this, &VelkoraRadarMapViewController::followAllTapped);
    b.action("notNowTapped:", this, &VelkoraRadarMapViewController::notNowTapped);
    b.action("dontShowTapped:", this, &VelkoraRadarMapViewController::dontShowTapped);
}

void VelkoraRadarMapViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    auto self = sharedAs<VelkoraRadarMapViewController>();
    if (radarMapView_) radarMapView_->setDelegate(std::static_pointer_cast<ui::MapViewDelegate>(self));
    if (radarListView_) {
        radarListView_->setRadarListDelegate(std::static_pointer_cast<VelkoraRadarListViewDelegate>(self));
        radarListView_->myInitWithDelegate(std::static_pointer_cast<VelkoraUserListCellDelegate>(self));
    }
    usersToAnnotationsMap_->setUsers(nearbyUsers());
    if (radarMapView_) radarMapView_->setPinSource(usersToAnnotationsMap_);
    if (overlayView_) overlayView_->setHidden(true);
    if (numUsersSubTitleLabel_) numUsersSubTitleLabel_->setText(profiles::text("velkora_text_radar_overlay_subtitle"));
    if (dontShowButton_) dontShowButton_->setTitle(profiles::text("velkora_text_radar_dont_show_button"));
    if (notNowButton_) notNowButton_->setTitle(profiles::text("velkora_text_radar_not_now_button"));
    if (findFriendsButton_) findFriendsButton_->setTitle(profiles::text("velkora_text_find_friends_title"));
    initMeLocation();
    showMeInCenter();
    toggleView(true);
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeRadarOverlayImageView(overlayImageView_.get(), kScreenId);
    style.customizeRadarDontShowButton(dontShowButton_.get(), kScreenId);
    style.customizeRadarNotNowButton(notNowButton_.get(), kScreenId);
    style.customizeRadarShowMeButton(showMeButton_.get(), kScreenId);
    style.customizeRadarMapButton(mapViewButton_.get(), kScreenId);
    style.customizeRadarListButton(listViewButton_.get(), kScreenId);
    style.customizeRadarFollowAllButton(followButton_.get(), kScreenId);
    std::weak_ptr<VelkoraRadarMapViewController> weak = self;
    followingObserver_ = foundation::NotificationObserver("VelkoraChangedFollowingNotification", nullptr,
                                                          [weak](const foundation::Notification& n) {
                                                              if (auto s = weak.lock()) s->followingDidChanged(n);
                                                          });
    rotationObserver_ = foundation::NotificationObserver(ui::kApplicationDidChangeStatusBarOrientationNotification,
                                                         nullptr, [weak](const foundation::Notification&) {
                                                             if (auto s = weak.lock()) s->orientationDidChange();
                                                         });
}

void VelkoraRadarMapViewController::viewWillAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewWillAppear(animated);
    if (radarListView_) radarListView_->reloadData();
}

void VelkoraRadarMapViewController::viewDidAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewDidAppear(animated);
    VelkoraLogEventsManager::instance().logEvent("feature-viewed;radar");
}

bool VelkoraRadarMapViewController::shouldAutorotateToInterfaceOrientation(int orientation) const {
    return orientation == ui::InterfaceOrientationPortrait;
}

bool VelkoraRadarMapViewController::limitRadarZoom() const {
    auto appData = VelkoraAgentInternal::instance().appData();
    return appData && appData->limitRadarZoom();
}

// ---- the device's position

std::optional<ui::MapCoordinate> VelkoraRadarMapViewController::deviceCoordinate() const {
    auto manager = VelkoraAgentInternal::instance().getNonEmptyLocationManager();
    if (!manager) return std::nullopt;
    auto fix = manager->location();
    if (!fix) return std::nullopt;
    return ui::MapCoordinate{fix->latitude, fix->longitude};
}

bool VelkoraRadarMapViewController::isLocationNearLocation(const ui::MapCoordinate& a, const ui::MapCoordinate& b) {
    return std::abs(a.latitude - b.latitude) < kNearDegrees && std::abs(a.longitude - b.longitude) < kNearDegrees;
}

void VelkoraRadarMapViewController::initMeLocation() {
    std::weak_ptr<VelkoraRadarMapViewController> weak = sharedAs<VelkoraRadarMapViewController>();
    // The timer holds the screen weakly: a closed radar is not kept alive by its own check.
    checkMyLocationTimer_ = foundation::Timer::scheduled(kCheckLocationInterval, true, [weak](foundation::Timer& t) {
        if (auto self = weak.lock())
            self->checkMeLocationOnTimer();
        else
            t.invalidate();
    });
    lastMeLocation_ = deviceCoordinate().value_or(ui::MapCoordinate{});
}

void VelkoraRadarMapViewController::checkMeLocationOnTimer() {
    const ui::MapCoordinate current = deviceCoordinate().value_or(ui::MapCoordinate{});
    const bool near = isLocationNearLocation(current, lastMeLocation_);
    lastMeLocation_ = current;
    if (nearbyUsersWereFetched_) {
        if (checkMyLocationTimer_) checkMyLocationTimer_->invalidate();
        checkMyLocationTimer_.reset();
        return;
    }
    if (near)
        foundation::Log::line("Velkora - Location didn't change significantly since last check");
    else
        showMeInCenter();
}

void VelkoraRadarMapViewController::showMeInCenter() {
    if (!radarMapView_) return;
    auto region = radarMapView_->region();
    lastMeLocation_ = deviceCoordinate().value_or(ui::MapCoordinate{});
    // A latitude of exactly 0 is no position at all.
    if (lastMeLocation_.latitude == 0) return;
    region.center = lastMeLocation_;
    region.span = createMapRegionSpan(findOptimalSpanInMeters());
    showingMeInCenter_ = true;
    radarMapView_->setRegion(region, true);
}

const std::shared_ptr<VelkoraRadarListDataSource>& VelkoraRadarMapViewController::nearbyUsers() {
    if (radarListView_ && radarListView_->dataSource()) return radarListView_->dataSource();
    if (!ownUsers_) ownUsers_ = std::make_shared<VelkoraRadarListDataSource>();
    return ownUsers_;
}

int32_t VelkoraRadarMapViewController::findOptimalSpanInMeters() const {
    static const std::vector<VelkoraUserPtr> none;
    const auto& users = radarListView_ && radarListView_->dataSource() ? radarListView_->dataSource()->sortedUsers()
                        : ownUsers_                                    ? ownUsers_->sortedUsers()
                                                                       : none;
    const size_t n = std::min<size_t>(users.size(), 4);
    if (n == 0) return 50000;
    const auto& location = users[n - 1]->location();
    const double distance = location ? location->distance() : 0;
    auto meters = static_cast<int64_t>(distance * 1.3);
    return static_cast<int32_t>(std::clamp<int64_t>(meters, 1000, 500000));
}

ui::CoordinateSpan VelkoraRadarMapViewController::createMapRegionSpan(int32_t meters) {
    return {meters / 100000.0, meters / 100000.0};
}

void VelkoraRadarMapViewController::refreshUsersInRegion() {
    if (!radarMapView_) return;
    const auto region = radarMapView_->region();
    const auto meters = static_cast<int32_t>(region.span.latitudeDelta * 120000);
    VelkoraServerApi::getNearbyUsers(
        meters,
        VelkoraCallback(sharedAs<VelkoraRadarMapViewController>(), &VelkoraRadarMapViewController::gotNearbyUsers),
        VelkoraCoordinate{region.center.longitude, region.center.latitude});
}

void VelkoraRadarMapViewController::gotNearbyUsers(const foundation::Value& reply) {
    static const foundation::Array kNone;
    const foundation::Array* array = reply.asArray() ? reply.asArray() : &kNone;
    auto& pins = *usersToAnnotationsMap_;
    // A pin in sight (or held by a caller) stays where it is unless its user moved 0.01 degree; a test
    // user's never moves. The others are placed where their users are when the map next asks.
    if (!pins.holdsNone())
        for (const auto& v : *array) {
            const auto u = v.asObject<VelkoraUserInternal>();
            if (!u || u->isBlockedByCurrentUser() || !u->location() || !u->userId() || u->isTestUser()) continue;
            if (const auto* held = pins.held(*u->userId());
                held &&
                !isLocationNearLocation((*held)->coordinate(), {u->location()->latitude(), u->location()->longitude()}))
                pins.forget(*u->userId());
        }
    nearbyUsers()->addUsers(*array);
    // The rows were picked as the users came.
    if (radarListView_ && radarListView_->usersTable()) radarListView_->usersTable()->reloadData();
    // The first reply zooms to the nearest users before the map asks for their pins: a pin gets a view only
    // if it shows where the map settles, not in the wide opening region the reply was asked for.
    if (!nearbyUsersWereFetched_) {
        nearbyUsersWereFetched_ = true;
        if (radarMapView_)
            radarMapView_->setRegion(
                {radarMapView_->centerCoordinate(), createMapRegionSpan(findOptimalSpanInMeters())}, true);
    }
    if (radarMapView_) radarMapView_->reloadPins();
}

// ---- region changes and the zoom guard

void VelkoraRadarMapViewController::mapViewRegionWillChangeAnimated(ui::MapView&, bool) {
    if (!limitRadarZoom() || showingMeInCenter_ || zoomLevelControlTimer_) return;
    zoomLevelUnderControl_ = false;
    std::weak_ptr<VelkoraRadarMapViewController> weak = sharedAs<VelkoraRadarMapViewController>();
    zoomLevelControlTimer_ = foundation::Timer::scheduled(kZoomGuardInterval, true, [weak](foundation::Timer& t) {
        if (auto self = weak.lock())
            self->checkMapZoomLevel();
        else
            t.invalidate();
    });
}

void VelkoraRadarMapViewController::checkMapZoomLevel() {
    if (!radarMapView_ || zoomLevelUnderControl_ || pulledBackSinceSettled_) return;
    if (mapzoom::getZoomLevel(*radarMapView_) <= kZoomLimit + kZoomTolerance) return;
    zoomLevelUnderControl_ = true;
    pulledBackSinceSettled_ = true;
    // Back to the limit first: switching zooming off ends the pinch, and the change that ends with it
    // then already reads the limit.
    mapzoom::setCenterCoordinate(*radarMapView_, radarMapView_->centerCoordinate(), kZoomLimit, true);
    radarMapView_->setZoomEnabled(false);
}

void VelkoraRadarMapViewController::stopZoomGuard() {
    if (zoomLevelControlTimer_) zoomLevelControlTimer_->invalidate();
    zoomLevelControlTimer_.reset();
}

void VelkoraRadarMapViewController::mapViewRegionDidChangeAnimated(ui::MapView& map, bool) {
    if (limitRadarZoom()) {
        stopZoomGuard();
        map.setZoomEnabled(true);
        if (mapzoom::getZoomLevel(map) > kZoomLimit + kZoomTolerance && !pulledBackSinceSettled_) {
            pulledBackSinceSettled_ = true;
            mapzoom::setCenterCoordinate(map, map.centerCoordinate(), kZoomLimit, true);
            return;
        }
    }
    pulledBackSinceSettled_ = false;
    showingMeInCenter_ = false;
    showOverlayView();
    refreshUsersInRegion();
}

// ---- map and list

void VelkoraRadarMapViewController::toggleView(bool map) {
    if (mapViewButton_) mapViewButton_->setHidden(map);
    if (listViewButton_) listViewButton_->setHidden(!map);
    if (showMeButton_) showMeButton_->setHidden(!map);
    auto container = featureTabDelegate();
    if (container && container->isTopPanelHidden()) {
        // The switches ride in the navigation bar: they leave the hidden panel's layout.
        for (const auto& button : {mapViewButton_, listViewButton_})
            if (button && topPanelView()) removeConstraintsForView(button.get(), topPanelView().get());
        const auto& visible = map ? listViewButton_ : mapViewButton_;
        if (visible) {
            auto item = ui::BarButtonItem::create();
            item->setCustomView(visible);
            navigationItem().setRightBarButtonItem(item);
        }
    }
    if (radarListView_) radarListView_->setHidden(map);
    if (radarMapView_) radarMapView_->setHidden(!map);
    if (buttonsPanelImageView()) buttonsPanelImageView()->setAlpha(map ? 0.8 : 1.0);
}

void VelkoraRadarMapViewController::mapViewTapped(ui::Control*) {
    toggleView(true);
}

void VelkoraRadarMapViewController::listViewTapped(ui::Control*) {
    // Whoever saw the list is not offered the overlay any more.
    overlayViewWasShown_ = true;
    hideOverlayView();
    toggleView(false);
}

void VelkoraRadarMapViewController::showMeTapped(ui::Control*) {
    showMeInCenter();
}

std::shared_ptr<ui::MapAnnotationView>
VelkoraRadarMapViewController::mapViewViewForAnnotation(ui::MapView& map,
                                                        const std::shared_ptr<ui::MapAnnotation>& annotation) {
    auto view = std::dynamic_pointer_cast<VelkoraUserAnnotationView>(
        map.dequeueReusableAnnotationViewWithIdentifier(kAnnotationIdentifier));
    if (!view) {
        view = VelkoraUserAnnotationView::initWithAnnotation(annotation, kAnnotationIdentifier);
        view->setDelegate(
            std::static_pointer_cast<VelkoraUserAnnotationViewDelegate>(sharedAs<VelkoraRadarMapViewController>()));
    }
    view->setAnnotation(annotation);
    view->setCenterOffset({0, -24});
    if (viewFavoritesOnly_)
        if (auto user = std::dynamic_pointer_cast<VelkoraUserAnnotation>(annotation))
            view->setHidden(!(user->velkoraUser() && user->velkoraUser()->isFavorite()));
    return view;
}

void VelkoraRadarMapViewController::mapViewDidSelectAnnotationView(ui::MapView& map, ui::MapAnnotationView& view) {
    view.setSelected(false, false);
    auto annotation = view.annotation();
    if (auto user = std::dynamic_pointer_cast<VelkoraUserAnnotation>(annotation))
        if (user->velkoraUser() && !user->velkoraUser()->isAnonymous()) openUserProfile(user->velkoraUser());
    if (annotation) map.deselectAnnotation(annotation, false);
}

std::vector<std::pair<VelkoraUserAnnotation*, VelkoraUserAnnotationView*>>
VelkoraRadarMapViewController::pinsInSight() const {
    std::vector<std::pair<VelkoraUserAnnotation*, VelkoraUserAnnotationView*>> pins;
    if (!radarMapView_) return pins;
    for (const auto& subview : radarMapView_->subviews()) {
        auto* view = dynamic_cast<VelkoraUserAnnotationView*>(subview.get());
        auto* annotation = view ? dynamic_cast<VelkoraUserAnnotation*>(view->annotation().get()) : nullptr;
        if (annotation && annotation->velkoraUser() && annotation->velkoraUser()->userId())
            pins.emplace_back(annotation, view);
    }
    std::sort(pins.begin(), pins.end(), [](const auto& a, const auto& b) {
        return *a.first->velkoraUser()->userId() < *b.first->velkoraUser()->userId();
    });
    return pins;
}

void VelkoraRadarMapViewController::reloadAnnotationsOnFavoritesModeChanged() {
    for (const auto& [annotation, view] : pinsInSight()) {
        const auto& user = annotation->velkoraUser();
        view->setHidden(viewFavoritesOnly_ && !user->isFavorite());
    }
}

void VelkoraRadarMapViewController::refreshMeAnnotation() {
    if (!radarMapView_) return;
    radarMapView_->setShowsUserLocation(false);
    if (auto me = radarMapView_->userLocation())
        if (auto view = radarMapView_->viewForAnnotation(me)) view->setAnnotation(me);
    radarMapView_->setShowsUserLocation(true);
}

void VelkoraRadarMapViewController::openUserProfile(const VelkoraUserPtr& user) {
    if (user) friends::pushFeature(*this, "profile", userArgument(user));
}

void VelkoraRadarMapViewController::didSelectUser(const VelkoraUserPtr& user) {
    openUserProfile(user);
}

void VelkoraRadarMapViewController::findFriendsTapped(ui::Control*) {
    findFriends();
}

void VelkoraRadarMapViewController::findFriends() {
    friends::pushFeature(*this, "findFriendsNetworks");
}

void VelkoraRadarMapViewController::inviteFriends() {
    friends::push(*this, VelkoraInviteSelectionViewController::create());
}

// ---- the follow overlay

std::shared_ptr<ui::Image> VelkoraRadarMapViewController::inverseAlpha(const ui::Image& image) {
    auto shade = ui::Image::create(image.pixelWidth(), image.pixelHeight(), image.scale());
    if (!shade) return nullptr;
    for (int y = 0; y < image.pixelHeight(); ++y)
        for (int x = 0; x < image.pixelWidth(); ++x) {
            const uint32_t a = image.pixelAt(x, y) >> 24;
            const auto inverted = static_cast<uint32_t>((1.0 - a / 255.0) * 255.0);
            shade->setPixelAt(x, y, inverted << 24);
        }
    return shade;
}

void VelkoraRadarMapViewController::showOverlayView() {
    auto info = VelkoraAgentInternal::instance().userInfo();
    if (usersToAnnotationsMap_->empty() || overlayViewWasShown_ || (info && info->dontShowRadarOverlayView())) return;
    if (!overlayView_ || !overlayImageView_ || !radarMapView_) return;
    overlayView_->layoutIfNeeded();
    const auto size = overlayImageView_->bounds().size;
    if (size.width < 1 || size.height < 1) return;
    auto spots = ui::Image::create(static_cast<int>(size.width), static_cast<int>(size.height));
    auto context = spots ? ui::GraphicsContext::forImage(spots) : nullptr;
    auto shadeImage = ui::Image::named(kShadeImage);
    for (const auto& b : overlayButtons_)
        b->removeFromSuperview();
    overlayButtons_.clear();
    usersToFollowSet_.clear();
    const double width = VelkoraUtils::widthAdjustedForInterfaceOrientation(true, sidebarScreenState());
    const double bottom = buttonsView_
                              ? overlayView_->convertRectFromView(buttonsView_->bounds(), buttonsView_.get()).minY()
                              : size.height;
    auto self = sharedAs<VelkoraRadarMapViewController>();
    for (const auto& [annotation, view] : pinsInSight()) {
        const auto& user = annotation->velkoraUser();
        if (user->isFavorite() || user->isAnonymous()) continue;
        if (view->isHidden() || !view->bgImageView()) continue;
        const ui::Rect bubble =
            overlayView_->convertRectFromView(view->bgImageView()->bounds(), view->bgImageView().get());
        if (bubble.minX() < 0 || bubble.maxX() > width || bubble.minY() < 0 || bubble.maxY() > bottom) continue;
        if (context && shadeImage) {
            const auto s = shadeImage->size();
            const double side = std::max({bubble.width(), bubble.height(), s.width}) * 1.2;
            context->drawImage(*shadeImage, ui::Rect(bubble.midX() - side / 2, bubble.midY() - side / 2, side, side));
        }
        auto button = VelkoraRadarOverlayButton::create(bubble);
        button->setSelectedUser(user);
        button->setMapView(self);
        overlayView_->addSubview(button);
        overlayButtons_.push_back(button);
        usersToFollowSet_.insert(user);
    }
    context.reset();
    if (usersToFollowSet_.empty()) return;
    if (spots) overlayImageView_->setImage(inverseAlpha(*spots));
    overlayViewWasShown_ = true;
    overlayView_->setHidden(false);
    if (usersToFollowSet_.size() == 1) {
        const auto& only = *usersToFollowSet_.begin();
        if (numUsersLabel_) numUsersLabel_->setText(profiles::text("velkora_text_radar_one_to_follow_message"));
        if (followButton_)
            followButton_->setTitle(friends::textWithText("velkora_text_radar_follow_one_message",
                                                          VelkoraUserDetailsDisplayer::nameWithInitial(only.get())));
    } else {
        if (numUsersLabel_)
            numUsersLabel_->setText(friends::textWithNumber("velkora_text_radar_many_to_follow_message",
                                                            static_cast<long long>(usersToFollowSet_.size())));
        if (followButton_) followButton_->setTitle(profiles::text("velkora_text_radar_follow_many_message"));
    }
}

void VelkoraRadarMapViewController::hideOverlayView() {
    if (overlayView_) overlayView_->setHidden(true);
}

void VelkoraRadarMapViewController::followAllTapped(ui::Control*) {
    for (const auto& user : usersToFollowSet_)
        if (!user->isFavorite()) VelkoraServerApi::addFollowing(user);
    hideOverlayView();
}

void VelkoraRadarMapViewController::notNowTapped(ui::Control*) {
    hideOverlayView();
}

void VelkoraRadarMapViewController::dontShowTapped(ui::Control*) {
    auto& agent = VelkoraAgentInternal::instance();
    if (auto info = agent.userInfo()) {
        info->setDontShowRadarOverlayView(true);
        agent.saveUserInfo();
    }
    hideOverlayView();
}

void VelkoraRadarMapViewController::orientationDidChange() {
    if (overlayView_ && !overlayView_->isHidden()) hideOverlayView();
}

// ---- following from the list

void VelkoraRadarMapViewController::showSigninPopup(const std::string& messageKey) {
    if (signinHelper_) signinHelper_->setDelegate({});
    signinHelper_ = VelkoraSigninToFollowPopupHelper::create();
    auto window = ui::Application::instance().keyWindowShared();
    signinHelper_->showSigninPopupInView(
        window ? window.get() : view().get(), profiles::text(messageKey),
        std::static_pointer_cast<VelkoraSigninToFollowPopupHelperDelegate>(sharedAs<VelkoraRadarMapViewController>()));
}

void VelkoraRadarMapViewController::followTapped(VelkoraUserListCell& cell) {
    tappedUser_ = cell.theUser();
    if (profiles::viewerIsAnonymous()) {
        showSigninPopup("velkora_text_follow_connect_message");
        return;
    }
    didSignin();
}

void VelkoraRadarMapViewController::unFollowTapped(VelkoraUserListCell& cell) {
    tappedUser_ = cell.theUser();
    if (tappedUser_) VelkoraServerApi::removeFollowing(tappedUser_);
}

void VelkoraRadarMapViewController::signinTapped(VelkoraUserAnnotationView&) {
    showSigninPopup("velkora_text_radar_connect_message");
}

void VelkoraRadarMapViewController::didSignin() {
    if (tappedUser_) VelkoraServerApi::addFollowing(tappedUser_);
    refreshMeAnnotation();
}

void VelkoraRadarMapViewController::performLogin() {
    friends::pushFeature(*this, "login");
}

void VelkoraRadarMapViewController::performSignUp() {
    friends::pushFeature(*this, "signup");
}

void VelkoraRadarMapViewController::followingDidChanged(const foundation::Notification&) {
    if (tappedUser_ && radarListView_ && radarListView_->usersTable()) {
        for (const auto& visible : radarListView_->usersTable()->visibleCells())
            if (auto cell = std::dynamic_pointer_cast<VelkoraUserListCell>(visible))
                if (cell->theUser() && cell->theUser()->isEqual(tappedUser_)) cell->updateButtons();
    }
    tappedUser_.reset();
    if (radarListView_) radarListView_->reloadData();
}

} // namespace velkora
