// The radar around a device in Lisbon: the first request centred on the device, pins in their looks, the
// list by distance in the served unit, the zoom from the nearest users, pins and rows opening profiles,
// the map and list switch; and the screens without an answer (no location, no fix, nobody near, an
// error), none of which hangs or asks the service for nothing.
#include "RadarFixture.h"
#include "people/VelkoraFindFriendsSelctionViewController.h"
#include "people/VelkoraOtherUserProfileViewController.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

const ui::MapCoordinate kLisbon{kLisbonLatitude, kLisbonLongitude};

std::vector<std::string> distancesOf(VelkoraRadarMapViewController& radar) {
    std::vector<std::string> out;
    auto& table = *radar.radarListView()->usersTable();
    table.layoutIfNeeded();
    for (int r = 0; r < table.numberOfRowsInSection(0); ++r)
        if (auto cell =
                std::dynamic_pointer_cast<VelkoraUserListCell>(table.cellForRowAtIndexPath(ui::IndexPath::of(r, 0))))
            out.push_back(cell->distanceField()->text());
    return out;
}

TEST_F(RadarTest, ALisbonFixAsksAroundTheDevicePinsEveryoneListsTheNamedAndZoomsToTheNearest) {
    startRadar(kLisbon);
    const auto near = placeUser("Nora", 300);
    placeUser("Felix", 900);
    placeUser("", 500, true);
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    ASSERT_TRUE(waitAdvancing([&] { return count("getNearbyUsers") >= 1; }));
    const auto first = svc.requestsFor("getNearbyUsers").front();
    auto& map = *radar->radarMapView();
    const auto fitted = map.regionThatFits({kLisbon, {0.5, 0.5}});
    EXPECT_EQ(param(first, "meters"), std::to_string(static_cast<int>(fitted.span.latitudeDelta * 120000)));
    EXPECT_NEAR(std::stod(param(first, "latitude")), kLisbonLatitude, 1e-6);
    EXPECT_NEAR(std::stod(param(first, "longitude")), kLisbonLongitude, 1e-6);

    ASSERT_TRUE(waitAdvancing([&] { return radar->nearbyUsersWereFetched(); }));
    settleRadar();
    EXPECT_EQ(userPins(), 3u);
    size_t anonymous = 0;
    for (const auto& [id, annotation] : radar->usersToAnnotationsMap())
        if (auto view = std::dynamic_pointer_cast<VelkoraUserAnnotationView>(map.viewForAnnotation(annotation)))
            anonymous += view->look() == VelkoraUserAnnotationView::Look::AnonymousFriend;
    EXPECT_EQ(anonymous, 1u);
    EXPECT_EQ(distancesOf(*radar), (std::vector<std::string>{"0.3 km", "0.9 km"}));
    const auto zoomed = map.regionThatFits({map.centerCoordinate(), {0.0117, 0.0117}});
    EXPECT_NEAR(map.region().span.latitudeDelta, zoomed.span.latitudeDelta, 1e-6) << "1,170 m from the second user";
    EXPECT_FALSE(radar->checkMyLocationTimer()) << "the position check ends with the first reply";
    EXPECT_TRUE(eventLogged("feature-viewed;radar"));
    radar->notNowTapped(nullptr);
    snapshot("radar_map");

    // A pin opens its user's profile.
    auto annotation = radar->usersToAnnotationsMap().at(near);
    auto view = map.viewForAnnotation(annotation);
    ASSERT_TRUE(view);
    radar->mapViewDidSelectAnnotationView(map, *view);
    loop().advance(1);
    ASSERT_EQ(stack().size(), 2u);
    EXPECT_TRUE(std::dynamic_pointer_cast<VelkoraOtherUserProfileViewController>(top()));
    nav->popViewController(false);

    // The list, then a row.
    radar->listViewTapped(nullptr);
    EXPECT_TRUE(map.isHidden());
    EXPECT_FALSE(radar->radarListView()->isHidden());
    EXPECT_FALSE(radar->mapViewButton()->isHidden());
    EXPECT_TRUE(radar->listViewButton()->isHidden());
    EXPECT_DOUBLE_EQ(radar->buttonsPanelImageView()->alpha(), 1.0);
    settleRadar();
    snapshot("radar_list");
    radar->radarListView()->didSelectRowAtIndexPath(*radar->radarListView()->usersTable(), ui::IndexPath::of(0, 0));
    loop().advance(1);
    EXPECT_EQ(stack().size(), 2u);
    nav->popViewController(false);
    radar->mapViewTapped(nullptr);
    EXPECT_FALSE(map.isHidden());
    EXPECT_DOUBLE_EQ(radar->buttonsPanelImageView()->alpha(), 0.8);
    drain();
}

TEST_F(RadarTest, DistancesInMiles) {
    startRadar(kLisbon, true, "M");
    placeUser("Nora", 300);
    placeUser("Felix", 900);
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    ASSERT_TRUE(waitAdvancing([&] { return radar->nearbyUsersWereFetched(); }));
    settleRadar();
    EXPECT_EQ(distancesOf(*radar), (std::vector<std::string>{"0.2 mi", "0.6 mi"}));
}

TEST_F(RadarTest, WithoutALocationNothingIsAskedTheCheckRunsAndALateFixRecentresAndAsks) {
    startRadar(std::nullopt);
    placeUser("Nora", 300);
    foundation::Log::Capture lines;
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    const auto start = radar->radarMapView()->region();
    for (int i = 0; i < 9; ++i)
        loop().advance(1);
    drain();
    EXPECT_EQ(count("getNearbyUsers"), 0u);
    EXPECT_EQ(lines.count("Velkora - Location didn't change significantly since last check"), 3u);
    EXPECT_EQ(userPins(), 0u);
    EXPECT_EQ(radar->radarListView()->usersTable()->numberOfRowsInSection(0), 0);
    EXPECT_EQ(radar->radarMapView()->region().center, start.center) << "the starting region stays";
    snapshot("radar_no_fix");

    placeFix(kLisbon);
    ASSERT_TRUE(waitAdvancing([&] { return radar->nearbyUsersWereFetched(); }));
    settleRadar();
    EXPECT_NEAR(radar->radarMapView()->centerCoordinate().latitude, kLisbonLatitude, 1e-3);
    EXPECT_GE(count("getNearbyUsers"), 1u);
    EXPECT_EQ(userPins(), 1u);
}

TEST_F(RadarTest, ARefusedLocationDrawsAnEmptyWorkingScreen) {
    startRadar(kLisbon, false);
    placeUser("Nora", 300);
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    for (int i = 0; i < 7; ++i)
        loop().advance(1);
    drain();
    EXPECT_EQ(count("getNearbyUsers"), 0u);
    EXPECT_EQ(userPins(), 0u);
    radar->listViewTapped(nullptr);
    EXPECT_EQ(radar->radarListView()->usersTable()->numberOfRowsInSection(0), 0);
    radar->mapViewTapped(nullptr);
    radar->showMeTapped(nullptr);
    drain();
    snapshot("radar_refused");
}

TEST_F(RadarTest, AFixFarFromEveryoneEndsCentredOnTheDeviceAtHalfADegreeWithAnEmptyList) {
    startRadar(ui::MapCoordinate{47.7, -9.1393});
    placeUser("Nora", 300);
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    ASSERT_TRUE(waitAdvancing([&] { return radar->nearbyUsersWereFetched(); }));
    settleRadar();
    EXPECT_EQ(radar->findOptimalSpanInMeters(), 50000);
    auto& map = *radar->radarMapView();
    EXPECT_NEAR(map.centerCoordinate().latitude, 47.7, 1e-3);
    EXPECT_NEAR(map.region().span.latitudeDelta,
                map.regionThatFits({map.centerCoordinate(), {0.5, 0.5}}).span.latitudeDelta, 1e-6);
    EXPECT_EQ(userPins(), 0u);
    EXPECT_EQ(radar->radarListView()->usersTable()->numberOfRowsInSection(0), 0);
    snapshot("radar_far");
}

TEST_F(RadarTest, AFailedRequestLeavesTheMapAsItWas) {
    startRadar(kLisbon);
    placeUser("Nora", 300);
    svc.addFault({"getNearbyUsers", service::Fault::Kind::ErrorCode, "INTERNAL_ERROR", 500, 0, -1});
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    ASSERT_TRUE(waitAdvancing([&] { return count("getNearbyUsers") >= 1; }));
    settleRadar();
    EXPECT_FALSE(radar->nearbyUsersWereFetched());
    EXPECT_EQ(userPins(), 0u);
    snapshot("radar_error");
}

// The radar's way to the network chooser, the button in its bottom bar (on the map and on the list): by
// its name, titled, on the radar's stack, with its container.
TEST_F(RadarTest, FindFriendsOpensTheTitledNetworkChooser) {
    startRadar(std::nullopt);
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    const auto& button = radar->findFriendsButton();
    ASSERT_TRUE(button) << "nothing on the radar opens the chooser";
    EXPECT_EQ(button->titleForState(ui::ControlStateNormal), std::optional<std::string>("Find Friends"));
    radar->listViewTapped(nullptr);
    EXPECT_FALSE(button->isHidden()) << "on the list too";
    radar->mapViewTapped(nullptr);
    EXPECT_FALSE(button->isHidden());
    button->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    loop().advance(1);
    auto chooser = std::dynamic_pointer_cast<VelkoraFindFriendsSelctionViewController>(nav->viewControllers().back());
    ASSERT_TRUE(chooser);
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    EXPECT_EQ(chooser->titleText(), "Find Friends");
    ASSERT_TRUE(chooser->titleLabel());
    EXPECT_EQ(chooser->titleLabel()->text(), "Find Friends");
    EXPECT_EQ(chooser->featureTabDelegate(), radar->featureTabDelegate());
    EXPECT_TRUE(VelkoraScreenRegistry::instance().hasScreen("findFriendsNetworks"));
}

TEST_F(RadarTest, AClosedRadarNeitherChecksNorAsks) {
    startRadar(std::nullopt);
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    loop().advance(4);
    std::weak_ptr<VelkoraRadarMapViewController> weak = radar;
    nav->setViewControllers({std::make_shared<ui::ViewController>()}, false);
    radar.reset();
    radar_.reset();
    drain();
    EXPECT_TRUE(weak.expired()) << "nothing keeps a closed radar alive";
    foundation::Log::Capture lines;
    svc.clearRequests();
    placeFix(kLisbon);
    for (int i = 0; i < 60; ++i)
        loop().advance(1);
    drain();
    EXPECT_EQ(lines.count("Velkora - Location didn't change significantly since last check"), 0u);
    EXPECT_EQ(count("getNearbyUsers"), 0u);
}

} // namespace

namespace {

// The first request asks about half a degree around the device; its reply then zooms to the nearest users.
// Everyone is pinned, but only the pins where the map settles get a view (and ask for a photo).
TEST_F(RadarTest, TheFirstReplyPinsEveryoneButBuildsViewsOnlyWhereTheMapSettles) {
    startRadar(kLisbon);
    for (int i = 0; i < 4; ++i)
        placeUser("Near" + std::to_string(i), 200 + 100 * i, i % 2 == 1);
    for (int i = 0; i < 24; ++i)
        placeUser("Far" + std::to_string(i), (i % 2 ? 1 : -1) * (3000 + 800 * i), i % 3 == 0);
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    ASSERT_TRUE(waitAdvancing([&] { return radar->nearbyUsersWereFetched(); }));
    auto& map = *radar->radarMapView();
    EXPECT_EQ(userPins(), 28u);
    EXPECT_FALSE(map.dequeueReusableAnnotationViewWithIdentifier(VelkoraRadarMapViewController::kAnnotationIdentifier))
        << "a view was built for a pin that the first zoom then put off the screen";
    settleRadar();
    size_t views = 0;
    for (const auto& [id, annotation] : radar->usersToAnnotationsMap())
        views += map.viewForAnnotation(annotation) != nullptr;
    EXPECT_EQ(views, 4u) << "the four nearest are in sight, the others 3 km and more away";
}

TEST_F(RadarTest, AUserWhoMovedOnTheServiceIsRepinnedAtTheNewPlaceAndListedOnce) {
    startRadar(kLisbon);
    const auto nora = placeUser("Nora", 300);
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    ASSERT_TRUE(waitAdvancing([&] { return radar->nearbyUsersWereFetched(); }));
    settleRadar();
    auto before = radar->usersToAnnotationsMap().at(nora);
    svc.setUserLocation(kApp, nora, kLisbonLongitude, kLisbonLatitude - 1000 * kDegreesPerMetre);
    const size_t asked = count("getNearbyUsers");
    radar->showMeTapped(nullptr);
    ASSERT_TRUE(waitAdvancing([&] { return count("getNearbyUsers") > asked; }));
    settleRadar();
    auto after = radar->usersToAnnotationsMap().at(nora);
    EXPECT_NE(after, before) << "moved 1.3 km, past 0.01 degree";
    EXPECT_NEAR(after->coordinate().latitude, kLisbonLatitude - 1000 * kDegreesPerMetre, 1e-9);
    EXPECT_EQ(userPins(), 1u);
    EXPECT_EQ(radar->radarListView()->dataSource()->sortedUsers().size(), 1u);
}

} // namespace
