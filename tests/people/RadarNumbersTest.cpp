// The radar's numbers and rules: the span from the nearest users, Mercator pixels and zoom levels, the
// zoom guard pulling a pinch back to level 10 once, the position check, pins that move or stay, the list
// holding each user once nearest first, and the follow overlay offered once.
#include <cstdio>
#include <map>

#include "RadarFixture.h"
#include "data/VelkoraUserInfo.h"
#include "people/VelkoraMapZoomLevel.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/UiNotifications.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

const ui::MapCoordinate kLisbon{kLisbonLatitude, kLisbonLongitude};

VelkoraUserPtr at(const std::string& id, double distance, std::optional<ui::MapCoordinate> where = std::nullopt,
                  const std::string& first = "Person") {
    auto u = std::make_shared<VelkoraUserInternal>();
    u->setUserId(id);
    u->setAppId(std::string("A"));
    u->setFirstName(first);
    u->setLastName(std::string("X"));
    auto location = std::make_shared<VelkoraLocation>();
    location->setDistance(distance);
    const auto c = where.value_or(ui::MapCoordinate{kLisbonLatitude + distance * kDegreesPerMetre, kLisbonLongitude});
    location->setLatitude(c.latitude);
    location->setLongitude(c.longitude);
    u->setLocation(location);
    return u;
}

Value reply(const std::vector<VelkoraUserPtr>& users) {
    foundation::Array array;
    for (const auto& u : users)
        array.push_back(Value::object(u));
    return Value(std::move(array));
}

std::vector<std::string> idsOf(const std::vector<VelkoraUserPtr>& users) {
    std::vector<std::string> ids;
    for (const auto& u : users)
        ids.push_back(u->userId().value_or("?"));
    return ids;
}

TEST(RadarMercator, PixelsAndDegreesRoundTripAndLevelsReadBack) {
    for (double longitude : {-179.9, -9.1393, 0.0, 34.7818, 179.9})
        EXPECT_NEAR(mapzoom::pixelSpaceXToLongitude(mapzoom::longitudeToPixelSpaceX(longitude)), longitude, 1e-5);
    for (double latitude : {-80.0, -33.9, 0.0, 38.7223, 59.9139, 80.0})
        EXPECT_NEAR(mapzoom::pixelSpaceYToLatitude(mapzoom::latitudeToPixelSpaceY(latitude)), latitude, 1e-4);
    EXPECT_EQ(mapzoom::longitudeToPixelSpaceX(0), mapzoom::kMercatorOffset);
    EXPECT_EQ(mapzoom::latitudeToPixelSpaceY(0), mapzoom::kMercatorOffset);

    auto map = ui::MapView::create({0, 0, 320, 484});
    for (unsigned level : {8u, 10u, 15u}) {
        mapzoom::setCenterCoordinate(*map, kLisbon, level, false);
        EXPECT_NEAR(mapzoom::getZoomLevel(*map), level, 0.01) << level;
    }
    mapzoom::setCenterCoordinate(*map, kLisbon, 40, false);
    EXPECT_LE(mapzoom::getZoomLevel(*map), 28.001) << "limited to 28";
}

class RadarNumbersTest : public RadarTest {};

TEST_F(RadarNumbersTest, TheSpanComesFromTheFourthNearestUserWithinItsBounds) {
    startRadar(std::nullopt);
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    auto& source = *radar->radarListView()->dataSource();
    EXPECT_EQ(radar->findOptimalSpanInMeters(), 50000);
    source.addUsers({at("a", 300), at("b", 900)});
    EXPECT_EQ(radar->findOptimalSpanInMeters(), 1170);
    const auto span = VelkoraRadarMapViewController::createMapRegionSpan(1170);
    EXPECT_DOUBLE_EQ(span.latitudeDelta, 0.0117);
    EXPECT_DOUBLE_EQ(span.longitudeDelta, 0.0117);
    auto one = openRadar();
    one->radarListView()->dataSource()->addUsers({at("c", 100)});
    EXPECT_EQ(one->findOptimalSpanInMeters(), 1000);
    auto far = openRadar();
    far->radarListView()->dataSource()->addUsers(
        {at("d", 10), at("e", 20), at("f", 30), at("g", 1000000), at("h", 2000000)});
    EXPECT_EQ(far->findOptimalSpanInMeters(), 500000);
}

TEST_F(RadarNumbersTest, TheListHoldsEachUserOnceNearestFirstTiesByIdAndTheUnplacedLast) {
    startRadar(std::nullopt);
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    auto unplaced = at("a0", 0);
    unplaced->setLocation(nullptr);
    auto blocked = at("zz", 5);
    blocked->setIsBlockedByCurrentUser(true);
    auto anonymous = at("anon", 50, std::nullopt, "");
    anonymous->setLastName(std::string());
    radar->gotNearbyUsers(reply({at("u2", 400), at("u1", 400), unplaced, blocked, anonymous}));
    radar->gotNearbyUsers(reply({at("u3", 100), at("u2", 50)}));
    auto& source = *radar->radarListView()->dataSource();
    EXPECT_EQ(idsOf(source.sortedUsers()), (std::vector<std::string>{"anon", "u2", "u3", "u1", "a0"}));
    EXPECT_EQ(source.numUsersInMode(), 4) << "the anonymous user is on the map only";
    EXPECT_EQ(source.getUserInModeAtIndex(1)->userId(), "u3");
    EXPECT_EQ(radar->radarListView()->usersTable()->numberOfRowsInSection(0), 4);
    EXPECT_EQ(radar->usersToAnnotationsMap().count("zz"), 0u);
    source.setViewFavoritesOnly(true);
    EXPECT_EQ(source.numUsersInMode(), 0);
}

// Enough users, in replies that overlap, that the list's lookup by id grows and its order is put in place
// through long cycles: each user once, the newest copy, nearest first with ties by id, the unplaced last.
TEST(RadarList, OverlappingRepliesOfManyUsersAreHeldOnceNewestAndInOrder) {
    VelkoraRadarListDataSource source;
    std::map<std::string, VelkoraUserPtr> newest;
    uint32_t seed = 5;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    auto user = [&](int n) {
        char id[16];
        std::snprintf(id, sizeof id, "u%03d", n);
        // Whole hundreds of metres: many ties, ordered by id.
        auto u = at(id, 100.0 * (next() % 40));
        if (n % 97 == 0) u->setLocation(nullptr);
        return u;
    };
    for (const auto& [from, to] : {std::pair{0, 400}, std::pair{200, 500}, std::pair{450, 460}}) {
        std::vector<VelkoraUserPtr> reply;
        for (int n = from; n < to; ++n)
            reply.push_back(user(n));
        reply.push_back(user(from + 7)); // twice in one reply: the later copy stays
        for (const auto& u : reply)
            newest[*u->userId()] = u;
        source.addUsers(reply);
    }
    std::vector<VelkoraUserPtr> expected;
    for (const auto& [id, u] : newest)
        expected.push_back(u);
    std::stable_sort(expected.begin(), expected.end(), [](const VelkoraUserPtr& a, const VelkoraUserPtr& b) {
        if (!a->location() || !b->location()) return a->location() && !b->location();
        return a->location()->distance() < b->location()->distance();
    });
    ASSERT_EQ(idsOf(source.sortedUsers()), idsOf(expected));
    EXPECT_EQ(source.sortedUsers(), expected) << "the newest copy of each user";
}

// The list's rows in each mode across blocks of 512 users, for replies that extend the order and for one
// that reorders it: every row is the user the mode picks, in the list's order.
TEST(RadarList, RowsInEachModeAreTheUsersTheModePicksInOrder) {
    VelkoraRadarListDataSource source;
    auto user = [](int n, double distance) {
        char id[16];
        std::snprintf(id, sizeof id, "r%04d", n);
        auto u = at(id, distance, std::nullopt, n % 3 == 0 ? "" : "Person");
        if (n % 3 == 0) u->setLastName(std::string());
        u->setIsFavorite(n % 5 == 0);
        return u;
    };
    const auto expectRows = [&source](const char* when) {
        for (bool favorites : {false, true}) {
            source.setViewFavoritesOnly(favorites);
            std::vector<VelkoraUserPtr> expected;
            for (const auto& u : source.sortedUsers())
                if (favorites ? u->isFavorite() : !u->isAnonymous()) expected.push_back(u);
            ASSERT_EQ(source.numUsersInMode(), static_cast<int>(expected.size())) << when;
            for (int row = 0; row < source.numUsersInMode(); ++row)
                ASSERT_EQ(source.getUserInModeAtIndex(row), expected[static_cast<size_t>(row)])
                    << when << ", row " << row;
            EXPECT_FALSE(source.getUserInModeAtIndex(source.numUsersInMode())) << when;
            EXPECT_FALSE(source.getUserInModeAtIndex(-1)) << when;
        }
        source.setViewFavoritesOnly(false);
    };
    std::vector<VelkoraUserPtr> first, further, nearer;
    for (int n = 0; n < 1300; ++n)
        first.push_back(user(n, 10.0 * n));
    source.addUsers(first);
    expectRows("one reply in order");
    for (int n = 1300; n < 1400; ++n)
        further.push_back(user(n, 10.0 * n));
    source.addUsers(further);
    expectRows("a reply further out");
    for (int n = 1400; n < 1500; ++n)
        nearer.push_back(user(n, 5.0 + 10.0 * (n - 1400)));
    source.addUsers(nearer);
    expectRows("a reply among the users held");
    EXPECT_EQ(source.sortedUsers().size(), 1500u);
    EXPECT_TRUE(std::is_sorted(source.sortedUsers().begin(), source.sortedUsers().end(),
                               [](const VelkoraUserPtr& a, const VelkoraUserPtr& b) {
                                   return a->location()->distance() < b->location()->distance();
                               }));
}

// Many users, near and far: annotations live for the pins the map shows and nowhere else, a walk over
// every pin keeps none of the others, and a pin named by id is found wherever it is.
TEST_F(RadarNumbersTest, AnnotationsLiveOnlyForThePinsInSight) {
    startRadar(std::nullopt);
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    auto& map = *radar->radarMapView();
    map.setCenterCoordinate(kLisbon, false);
    std::vector<VelkoraUserPtr> users;
    for (int i = 0; i < 1200; ++i) {
        std::string id = "u";
        id += std::to_string(i); // GCC 12 sees a false overlap in a literal + a number's text
        users.push_back(at(id, 100 + 25.0 * i));
    }
    radar->gotNearbyUsers(reply(users));
    loop().advance(1);
    host->layoutIfNeeded();
    const auto viewsOnTheMap = [&map] {
        size_t n = 0;
        for (const auto& v : map.subviews())
            if (auto view = std::dynamic_pointer_cast<VelkoraUserAnnotationView>(v))
                n += std::dynamic_pointer_cast<VelkoraUserAnnotation>(view->annotation()) != nullptr;
        return n;
    };
    const size_t views = viewsOnTheMap();
    EXPECT_GT(views, 0u);
    EXPECT_LT(views, 100u) << "1,000 m of 30 km in sight";
    std::vector<std::weak_ptr<VelkoraUserAnnotation>> walked;
    for (const auto& [id, annotation] : radar->usersToAnnotationsMap()) {
        EXPECT_EQ(*annotation->velkoraUser()->userId(), id);
        EXPECT_EQ(map.viewForAnnotation(annotation) != nullptr,
                  map.bounds().insetBy(-60, -60).contains(map.convertCoordinateToPoint(annotation->coordinate())));
        walked.push_back(annotation);
    }
    EXPECT_EQ(walked.size(), 1200u);
    EXPECT_EQ(radar->usersToAnnotationsMap().size(), 1200u);
    const auto alive = static_cast<size_t>(
        std::count_if(walked.begin(), walked.end(), [](const auto& weak) { return !weak.expired(); }));
    EXPECT_EQ(alive, views) << "annotations alive beyond the pins in sight";
    const auto far = radar->usersToAnnotationsMap().at("u1199");
    EXPECT_NEAR(far->coordinate().latitude, kLisbonLatitude + (100 + 25.0 * 1199) * kDegreesPerMetre, 1e-9);
    EXPECT_FALSE(map.viewForAnnotation(far));
    EXPECT_EQ(radar->usersToAnnotationsMap().at("u1199"), far) << "the same while it is held";
    EXPECT_EQ(userPins(), 1200u);
}

TEST_F(RadarNumbersTest, ATestUsersPinNeverMovesAnotherUsersIsReplacedOnceMovedFarEnough) {
    startRadar(std::nullopt);
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    radar->gotNearbyUsers(reply({at("test-quinn", 100), at("u1", 200)}));
    auto quinn = radar->usersToAnnotationsMap().at("test-quinn");
    auto mover = radar->usersToAnnotationsMap().at("u1");
    // A small step keeps both pins; a step of 0.01 degree replaces the ordinary user's only.
    radar->gotNearbyUsers(reply({at("test-quinn", 100 + 500), at("u1", 200 + 500)}));
    EXPECT_EQ(radar->usersToAnnotationsMap().at("test-quinn"), quinn);
    EXPECT_EQ(radar->usersToAnnotationsMap().at("u1"), mover);
    radar->gotNearbyUsers(reply({at("test-quinn", 100 + 1200), at("u1", 200 + 1200)}));
    EXPECT_EQ(radar->usersToAnnotationsMap().at("test-quinn"), quinn);
    auto moved = radar->usersToAnnotationsMap().at("u1");
    EXPECT_NE(moved, mover);
    EXPECT_NEAR(moved->coordinate().latitude, kLisbonLatitude + 1400 * kDegreesPerMetre, 1e-9);
    EXPECT_EQ(userPins(), 2u) << "the old pin left the map";
    EXPECT_EQ(moved->title(), "Dummy");
    // Twice in one reply, moved far between: one pin, at the later place.
    radar->gotNearbyUsers(reply({at("u1", 5000), at("u2", 300), at("u1", 9000)}));
    const auto last = radar->usersToAnnotationsMap().at("u1");
    EXPECT_NEAR(last->coordinate().latitude, kLisbonLatitude + 9000 * kDegreesPerMetre, 1e-9);
    const auto held = radar->radarMapView()->annotations();
    EXPECT_EQ(std::count(held.begin(), held.end(), last), 1);
    EXPECT_EQ(userPins(), 3u) << "quinn, u1 and u2";
}

TEST_F(RadarNumbersTest, APositionCheckLogsSmallStepsAndRecentresOnBigOnes) {
    startRadar(kLisbon);
    // Nobody answers, so the check keeps running.
    svc.addFault({"getNearbyUsers", service::Fault::Kind::ErrorCode, "INTERNAL_ERROR", 500, 0, -1});
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    settleRadar();
    ASSERT_TRUE(radar->checkMyLocationTimer());
    foundation::Log::Capture lines;
    const char* const kLine = "Velkora - Location didn't change significantly since last check";
    auto moveTo = [&](double latitude) {
        placeFix(ui::MapCoordinate{latitude, kLisbonLongitude});
        auto manager = VelkoraAgentInternal::instance().getNonEmptyLocationManager();
        ASSERT_TRUE(waitFor([&] {
            auto fix = manager->location();
            return fix && std::abs(fix->latitude - latitude) < 1e-9;
        }));
    };
    const size_t before = lines.count(kLine);
    moveTo(kLisbonLatitude + 0.005);
    loop().advance(3);
    EXPECT_EQ(lines.count(kLine), before + 1) << "a step under 0.01 degree";
    EXPECT_NEAR(radar->radarMapView()->centerCoordinate().latitude, kLisbonLatitude, 1e-6);

    const size_t moved = lines.count(kLine);
    moveTo(kLisbonLatitude + 0.016);
    loop().advance(3);
    EXPECT_EQ(lines.count(kLine), moved) << "a step of 0.01 degree re-centres instead";
    EXPECT_NEAR(radar->radarMapView()->centerCoordinate().latitude, kLisbonLatitude + 0.016, 1e-6);
    EXPECT_NEAR(radar->lastMeLocation().latitude, kLisbonLatitude + 0.016, 1e-9);
    settleRadar();
}

TEST_F(RadarNumbersTest, WithTheZoomLimitAPinchPastTenIsPulledBackOnceAndLevelTenStays) {
    startRadar(kLisbon, true, "K", R"(,"limitRadarZoom":true)");
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    ASSERT_TRUE(waitAdvancing([&] { return radar->nearbyUsersWereFetched(); }));
    settleRadar();
    auto& map = *radar->radarMapView();
    // Level 10 set on purpose reads a hair above 10 at most: nothing pulls it.
    mapzoom::setCenterCoordinate(map, kLisbon, 10, true);
    settleRadar();
    const auto ten = map.region();
    EXPECT_NEAR(mapzoom::getZoomLevel(map), 10, 0.01);
    EXPECT_FALSE(radar->zoomLevelUnderControl());
    EXPECT_FALSE(radar->zoomLevelControlTimer());

    // Two fingers moving apart: a level closer, and back to 10 within 0.05 s of going past it.
    ui::TouchDriver driver(host);
    const auto mid = map.convertRectToView(map.bounds(), host.get()).center();
    driver.down({mid.x - 50, mid.y}, 0);
    driver.down({mid.x + 50, mid.y}, 1);
    for (int i = 1; i <= 5; ++i) {
        driver.wait(0.02);
        driver.move({mid.x - 50 - 10 * i, mid.y}, 0);
        driver.move({mid.x + 50 + 10 * i, mid.y}, 1);
    }
    driver.up(0);
    driver.up(1);
    driver.wait(1);
    settleRadar();
    EXPECT_NEAR(mapzoom::getZoomLevel(map), 10, 0.01);
    EXPECT_NEAR(map.region().span.longitudeDelta, ten.span.longitudeDelta, ten.span.longitudeDelta * 0.01);
    EXPECT_TRUE(map.isZoomEnabled());
    EXPECT_FALSE(radar->zoomLevelControlTimer());
}

TEST_F(RadarNumbersTest, TheOverlayCountsUsersInSightOnceAndFollowAllFollowsThem) {
    startRadar(kLisbon);
    const auto nora = placeUser("Nora", 300);
    const auto felix = placeUser("Felix", 250, true);
    placeUser("", -250);
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    ASSERT_TRUE(waitAdvancing([&] { return radar->nearbyUsersWereFetched(); }));
    settleRadar();
    ASSERT_FALSE(radar->overlayView()->isHidden());
    EXPECT_TRUE(radar->overlayViewWasShown());
    EXPECT_EQ(radar->usersToFollowSet().size(), 2u);
    EXPECT_EQ(radar->numUsersLabel()->text(), "2 people near you");
    EXPECT_EQ(radar->followButton()->currentTitle(), "Follow them all");
    // The shade is black with holes where the users are.
    auto shade = radar->overlayImageView()->image();
    ASSERT_TRUE(shade);
    EXPECT_EQ(shade->pixelAt(2, 2) >> 24, 255u);
    EXPECT_EQ(shade->pixelAt(2, 2) & 0xFFFFFFu, 0u);
    auto bubble = radar->overlayView()->convertRectFromView(
        std::dynamic_pointer_cast<VelkoraUserAnnotationView>(
            radar->radarMapView()->viewForAnnotation(radar->usersToAnnotationsMap().at(nora)))
            ->bgImageView()
            ->bounds(),
        std::dynamic_pointer_cast<VelkoraUserAnnotationView>(
            radar->radarMapView()->viewForAnnotation(radar->usersToAnnotationsMap().at(nora)))
            ->bgImageView()
            .get());
    EXPECT_LT(shade->pixelAt(static_cast<int>(bubble.midX()), static_cast<int>(bubble.midY())) >> 24, 64u);
    // The overlay's buttons stand above the bar of "Show me", not over it.
    const ui::Rect offer = radar->buttonsView()->convertRectToView(radar->buttonsView()->bounds(), nullptr);
    const ui::Rect showMe = radar->showMeButton()->convertRectToView(radar->showMeButton()->bounds(), nullptr);
    EXPECT_LE(offer.maxY(), showMe.minY());
    snapshot("radar_overlay");

    radar->followAllTapped(nullptr);
    EXPECT_TRUE(radar->overlayView()->isHidden());
    ASSERT_TRUE(waitForRequests("favoriteAdd", 2));
    drain();
    EXPECT_TRUE(svc.isFollowing(kApp, myId(), nora));
    EXPECT_TRUE(svc.isFollowing(kApp, myId(), felix));

    // Once per screen: later changes offer nothing.
    radar->showMeTapped(nullptr);
    settleRadar();
    EXPECT_TRUE(radar->overlayView()->isHidden());
}

TEST_F(RadarNumbersTest, OneUserGivesTheOneTextAndRotationHidesTheOverlay) {
    startRadar(kLisbon);
    placeUser("Nora", 300, false, false, "Lind");
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    ASSERT_TRUE(waitAdvancing([&] { return radar->nearbyUsersWereFetched(); }));
    settleRadar();
    ASSERT_FALSE(radar->overlayView()->isHidden());
    EXPECT_EQ(radar->numUsersLabel()->text(), "1 person near you");
    EXPECT_EQ(radar->followButton()->currentTitle(), "Follow Nora L.");
    foundation::NotificationCenter::defaultCenter().post(ui::kApplicationDidChangeStatusBarOrientationNotification);
    EXPECT_TRUE(radar->overlayView()->isHidden());
}

TEST_F(RadarNumbersTest, NoOverlayAfterTheListOrAfterDontShowEvenOnTheNextRun) {
    startRadar(kLisbon);
    placeUser("Nora", 300);
    auto radar = openRadar();
    ASSERT_TRUE(radar);
    radar->listViewTapped(nullptr);
    ASSERT_TRUE(waitAdvancing([&] { return radar->nearbyUsersWereFetched(); }));
    settleRadar();
    radar->mapViewTapped(nullptr);
    radar->showMeTapped(nullptr);
    settleRadar();
    EXPECT_TRUE(radar->overlayView()->isHidden()) << "the list was seen";

    auto second = openRadar();
    ASSERT_TRUE(waitAdvancing([&] { return second->nearbyUsersWereFetched(); }));
    settleRadar();
    ASSERT_FALSE(second->overlayView()->isHidden());
    second->dontShowTapped(nullptr);
    EXPECT_TRUE(second->overlayView()->isHidden());
    EXPECT_TRUE(info().dontShowRadarOverlayView());
    EXPECT_NE(recordFile().find("velkoraDontShowRadarOverlayView"), std::string::npos) << "kept in the record";

    auto third = openRadar();
    ASSERT_TRUE(waitAdvancing([&] { return third->nearbyUsersWereFetched(); }));
    settleRadar();
    EXPECT_TRUE(third->overlayView()->isHidden());
}

} // namespace
