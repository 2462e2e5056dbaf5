// The map: regions fitted to the view in spherical Mercator, region changes settling on the run loop's
// clock, annotation views made by the delegate and reused, taps that select, pinching and panning under
// their switches, the device's own position following its fixes, and what the map looks like.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "BuildPaths.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Device.h"
#include "platform/services/LocationManager.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/MapView.h"
#include "platform/ui/PinchGestureRecognizer.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"
#include "support/SnapshotCompare.h"

using namespace velkora;
using namespace velkora::ui;
using foundation::RunLoop;
namespace fs = std::filesystem;

namespace {

constexpr const char* kReuseId = "VelkoraAnnotationViewID";

// The radar's own zoom arithmetic: pixel space at zoom 20, computed apart from the map's projection.
constexpr double kOffset = 268435456, kRadius = 85445659.44705395;
double pixelX(double longitude) {
    return std::round(kOffset + kRadius * longitude * M_PI / 180);
}
double pixelY(double latitude) {
    float s = std::sin(float(latitude * M_PI / 180));
    return std::round(kOffset - kRadius * std::log((1 + s) / (1 - s)) / 2);
}

struct Delegate : MapViewDelegate {
    std::vector<std::string> events;
    bool makesViews = true;
    int viewsMade = 0;
    std::vector<std::shared_ptr<MapAnnotation>> askedFor;
    std::vector<MapAnnotationView*> selected;
    std::vector<MapCoordinate> userLocations;
    std::function<void(MapView&)> onAsked; // once, from inside the next request for a view

    std::shared_ptr<MapAnnotationView> mapViewViewForAnnotation(MapView& map,
                                                                const std::shared_ptr<MapAnnotation>& a) override {
        askedFor.push_back(a);
        if (auto once = std::exchange(onAsked, nullptr)) once(map);
        if (!makesViews || std::dynamic_pointer_cast<MapUserLocation>(a)) return nullptr;
        auto view = map.dequeueReusableAnnotationViewWithIdentifier(kReuseId);
        if (!view) {
            view = std::make_shared<MapPinAnnotationView>(a, kReuseId);
            ++viewsMade;
        }
        view->setAnnotation(a);
        view->setCenterOffset({0, -24});
        return view;
    }
    void mapViewDidSelectAnnotationView(MapView&, MapAnnotationView& v) override { selected.push_back(&v); }
    void mapViewRegionWillChangeAnimated(MapView&, bool animated) override {
        events.push_back(animated ? "will animated" : "will");
    }
    void mapViewRegionDidChangeAnimated(MapView&, bool animated) override {
        events.push_back(animated ? "did animated" : "did");
    }
    void mapViewDidUpdateUserLocation(MapView&, MapUserLocation& u) override {
        userLocations.push_back(u.coordinate());
    }
};

class MapViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().useTestClock(1000);
        services::Device::instance().resetForTests();
        services::LocationManager::resetForTests();
        window = Window::create({0, 0, 320, 480});
        map = MapView::create({0, 0, 320, 480});
        delegate = std::make_shared<Delegate>();
        map->setDelegate(delegate);
        window->addSubview(map);
        window->makeKeyAndVisible();
        driver = std::make_unique<TouchDriver>(window);
    }
    void TearDown() override {
        TouchRouter::instance().reset();
        window->setHidden(true);
        map.reset();
        window.reset();
        services::LocationManager::resetForTests();
        services::Device::instance().resetForTests();
        RunLoop::main().reset();
    }
    size_t annotationViews() const {
        size_t n = 0;
        for (const auto& v : map->subviews())
            n += std::dynamic_pointer_cast<MapAnnotationView>(v) != nullptr;
        return n;
    }
    static std::shared_ptr<MapPointAnnotation> pin(double latitude, double longitude) {
        return std::make_shared<MapPointAnnotation>(MapCoordinate{latitude, longitude});
    }
    std::shared_ptr<Window> window;
    std::shared_ptr<MapView> map;
    std::shared_ptr<Delegate> delegate;
    std::unique_ptr<TouchDriver> driver;
};

} // namespace

TEST_F(MapViewTest, ARegionIsFittedToTheViewsAspectInMercator) {
    struct Case {
        const char* name;
        Size size;
        CoordinateRegion asked;
    };
    const Case cases[] = {
        {"tall view, the longitude binds", {320, 480}, {{-36.8485, 174.7633}, {0.5, 0.5}}},
        {"wide view, the latitude binds", {480, 320}, {{-36.8485, 174.7633}, {0.5, 0.5}}},
        {"far north, stretched", {320, 480}, {{64.1466, -21.9426}, {2, 1}}},
        {"on the equator and the date line", {300, 300}, {{0, 180}, {10, 10}}},
        {"a span of the radar's first zoom", {320, 416}, {{51.4779, 0}, {0.0117, 0.0117}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        map->setFrame({{0, 0}, c.size});
        map->setRegion(c.asked, false);
        CoordinateRegion shown = map->region();
        EXPECT_DOUBLE_EQ(shown.center.latitude, c.asked.center.latitude);
        EXPECT_DOUBLE_EQ(shown.center.longitude, c.asked.center.longitude);
        // All that was asked for shows, and one axis is exactly as asked.
        const double lat = c.asked.center.latitude, halfLat = c.asked.span.latitudeDelta / 2;
        const double west = c.asked.center.longitude - c.asked.span.longitudeDelta / 2;
        const double east = c.asked.center.longitude + c.asked.span.longitudeDelta / 2;
        Point nw = map->convertCoordinateToPoint({lat + halfLat, west});
        Point se = map->convertCoordinateToPoint({lat - halfLat, east});
        EXPECT_GE(nw.x, -1e-6);
        EXPECT_GE(nw.y, -1e-6);
        EXPECT_LE(se.x, c.size.width + 1e-6);
        EXPECT_LE(se.y, c.size.height + 1e-6);
        bool widthBinds = std::fabs(shown.span.longitudeDelta - c.asked.span.longitudeDelta) < 1e-9;
        bool heightBinds = std::fabs(nw.y) < 1e-6 || std::fabs(se.y - c.size.height) < 1e-6;
        EXPECT_TRUE(widthBinds || heightBinds);
        // The same scale on both axes, as the radar's pixel space measures it.
        double zoomFromWidth =
            20 + std::log2(c.size.width / std::fabs(pixelX(shown.center.longitude + shown.span.longitudeDelta / 2) -
                                                    pixelX(shown.center.longitude - shown.span.longitudeDelta / 2)));
        EXPECT_NEAR(map->zoomLevel(), zoomFromWidth, 1e-3);
        double scale = std::exp2(map->zoomLevel() - 20);
        Point a = map->convertCoordinateToPoint({lat + halfLat, lat});
        Point b = map->convertCoordinateToPoint({lat - halfLat, lat});
        EXPECT_NEAR(b.y - a.y, (pixelY(lat - halfLat) - pixelY(lat + halfLat)) * scale, 0.05);
        // Points and coordinates convert both ways.
        MapCoordinate back = map->convertPointToCoordinate(map->convertCoordinateToPoint({lat + halfLat / 2, east}));
        EXPECT_NEAR(back.latitude, lat + halfLat / 2, 1e-9);
        EXPECT_NEAR(std::remainder(back.longitude - east, 360.0), 0, 1e-9);
        Point middle = map->convertCoordinateToPoint(c.asked.center);
        EXPECT_NEAR(middle.x, c.size.width / 2, 1e-6);
        EXPECT_NEAR(middle.y, c.size.height / 2, 1e-6);
    }
}

TEST_F(MapViewTest, WillChangeComesAtOnceAndDidChangeWhenTheAnimationEnds) {
    const CoordinateRegion here{{-36.8485, 174.7633}, {0.5, 0.5}};
    map->setRegion(here, true);
    EXPECT_EQ(delegate->events, std::vector<std::string>{"will animated"});
    RunLoop::main().advance(MapView::kAnimationDuration - 0.01);
    EXPECT_EQ(delegate->events.size(), 1u);
    RunLoop::main().advance(0.02);
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"will animated", "did animated"}));

    // A change that interrupts an animation settles it first; without animation both come at once.
    delegate->events.clear();
    map->setCenterCoordinate({-36.9, 174.8}, true);
    map->setRegion(here, false);
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"will animated", "did animated", "will", "did"}));
    RunLoop::main().advance(1);
    EXPECT_EQ(delegate->events.size(), 4u);

    // Impossible regions are dropped with a log line and change nothing.
    delegate->events.clear();
    const CoordinateRegion impossible[] = {
        {{91, 0}, {1, 1}},   {{0, -180.5}, {1, 1}},     {{std::nan(""), 0}, {1, 1}},
        {{10, 10}, {-1, 1}}, {{10, 10}, {1, INFINITY}},
    };
    foundation::Log::Capture log;
    for (const auto& r : impossible)
        map->setRegion(r, true);
    map->setCenterCoordinate({0, 200}, false);
    EXPECT_EQ(log.count("Velkora (W) - Map region dropped"), 5u);
    EXPECT_EQ(log.count("Velkora (W) - Map centre dropped"), 1u);
    EXPECT_TRUE(delegate->events.empty());
    EXPECT_DOUBLE_EQ(map->region().center.latitude, here.center.latitude);
}

TEST_F(MapViewTest, AnnotationViewsAreReusedAndATapSelects) {
    map->setRegion({{-36.8485, 174.7633}, {0.2, 0.2}}, false);
    auto a = pin(-36.8485, 174.7633), b = pin(-36.80, 174.70), c = pin(-36.90, 174.82);
    map->addAnnotations({a, b, c, a});
    EXPECT_EQ(map->annotations().size(), 3u);
    EXPECT_EQ(delegate->viewsMade, 3);
    for (const auto& annotation : {a, b, c}) {
        auto view = map->viewForAnnotation(annotation);
        ASSERT_TRUE(view);
        EXPECT_EQ(view->annotation(), annotation);
        Point at = map->convertCoordinateToPoint(annotation->coordinate());
        EXPECT_NEAR(view->center().x, at.x, 1e-9);
        EXPECT_NEAR(view->center().y, at.y - 24, 1e-9);
    }

    // A removed annotation's view serves the next one.
    auto removedView = map->viewForAnnotation(b);
    map->removeAnnotation(b);
    EXPECT_FALSE(removedView->superview());
    auto d = pin(-36.86, 174.75);
    map->addAnnotation(d);
    EXPECT_EQ(map->viewForAnnotation(d), removedView);
    EXPECT_EQ(delegate->viewsMade, 3);

    // So does the view of an annotation the map scrolled away from.
    auto cView = map->viewForAnnotation(c);
    map->setCenterCoordinate({-30, 170}, false);
    EXPECT_FALSE(map->viewForAnnotation(c));
    map->setCenterCoordinate({-36.8485, 174.7633}, false);
    EXPECT_TRUE(map->viewForAnnotation(c));
    EXPECT_EQ(delegate->viewsMade, 3);

    // Impossible places never reach the map.
    foundation::Log::Capture log;
    map->addAnnotation(pin(-91, 10));
    map->addAnnotation(pin(10, std::nan("")));
    EXPECT_EQ(log.count("Velkora (W) - Map annotation dropped"), 2u);
    EXPECT_EQ(map->annotations().size(), 3u);

    // A tap on a pin selects it; a tap on the ground lets it go.
    auto dView = map->viewForAnnotation(d);
    driver->tap(dView->center());
    ASSERT_EQ(delegate->selected.size(), 1u);
    EXPECT_EQ(delegate->selected[0], dView.get());
    EXPECT_TRUE(dView->isSelected());
    EXPECT_EQ(map->selectedAnnotations(), std::vector<std::shared_ptr<MapAnnotation>>{d});
    driver->wait(1);
    driver->tap({10, 470});
    EXPECT_TRUE(map->selectedAnnotations().empty());
    EXPECT_FALSE(dView->isSelected());

    // Without a delegate's view the map draws its own pin.
    delegate->makesViews = false;
    auto e = pin(-36.84, 174.76);
    map->addAnnotation(e);
    auto eView = std::dynamic_pointer_cast<MapPinAnnotationView>(map->viewForAnnotation(e));
    ASSERT_TRUE(eView);
    EXPECT_EQ(eView->reuseIdentifier(), MapPinAnnotationView::kReuseIdentifier);
}

TEST_F(MapViewTest, PinsAddedWhileAViewIsMadeOrRemovedFromTheMiddleKeepTheirOwnViews) {
    map->setRegion({{-36.8485, 174.7633}, {0.2, 0.2}}, false);
    std::vector<std::shared_ptr<MapAnnotation>> pins{pin(-36.8485, 174.7633)};
    // Enough pins that the map's own list of them has to grow while it is placing the first one.
    delegate->onAsked = [&](MapView& m) {
        for (int i = 1; i < 64; ++i) {
            pins.push_back(pin(-36.88 + i * 0.001, 174.72 + i * 0.001));
            m.addAnnotation(pins.back());
        }
    };
    map->addAnnotation(pins[0]);
    ASSERT_EQ(map->annotations(), pins);
    auto expectOwnViews = [&] {
        for (const auto& a : map->annotations()) {
            auto view = map->viewForAnnotation(a);
            ASSERT_TRUE(view);
            EXPECT_EQ(view->annotation(), a);
            Point at = map->convertCoordinateToPoint(a->coordinate());
            EXPECT_NEAR(view->center().y, at.y - 24, 1e-9);
        }
    };
    expectOwnViews();

    for (size_t at : {size_t{0}, size_t{30}, pins.size() - 3}) {
        auto gone = pins[at];
        pins.erase(pins.begin() + static_cast<std::ptrdiff_t>(at));
        map->removeAnnotation(gone);
        EXPECT_FALSE(map->viewForAnnotation(gone));
    }
    EXPECT_EQ(map->annotations(), pins);
    expectOwnViews();
    // Several at once, in no order, one of them twice, one selected, one never held: the rest keep their
    // order and their own views, and the selection goes with its pin.
    map->selectAnnotation(pins[20], false);
    const std::vector<std::shared_ptr<MapAnnotation>> together{pins[40], pins[2],           pins[20],
                                                               pins[40], pin(-36.8, 174.7), pins.back()};
    for (const auto& gone : {pins.back(), pins[40], pins[20], pins[2]})
        pins.erase(std::find(pins.begin(), pins.end(), gone));
    map->removeAnnotations(together);
    EXPECT_EQ(map->annotations(), pins);
    EXPECT_TRUE(map->selectedAnnotations().empty());
    for (const auto& gone : together)
        EXPECT_FALSE(map->viewForAnnotation(gone));
    expectOwnViews();
    pins.push_back(pin(-36.85, 174.77));
    map->addAnnotation(pins.back());
    map->addAnnotation(pins[5]); // held already: stays once
    EXPECT_EQ(map->annotations(), pins);
    expectOwnViews();
}

namespace {

struct Look {
    const char* where;
    MapCoordinate centre;
    double span;
};
const Look kLooks[] = {
    {"Lisbon's streets", {38.7223, -9.1393}, 0.02},
    {"the date line from the west", {-16.5, 179.995}, 0.03},
    {"the date line from the east", {-16.5, -179.995}, 0.03},
    {"near the pole", {84.9, 40}, 2},
    {"the whole world", {0, 0}, 360},
    {"a city-sized region", {38.7223, -9.1393}, 0.6},
};

// Points scattered over the whole world and clustered round each look's place.
std::vector<MapCoordinate> scatteredPoints() {
    std::vector<MapCoordinate> points;
    uint32_t seed = 77;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / double(1u << 24);
    };
    for (int i = 0; i < 1500; ++i)
        points.push_back({-80 + 160 * next(), -180 + 360 * next()});
    for (const Look& look : kLooks)
        for (int i = 0; i < 150; ++i) {
            double longitude = look.centre.longitude + (next() - 0.5) * look.span * 1.5;
            longitude = std::remainder(longitude, 360.0);
            points.push_back({std::clamp(look.centre.latitude + (next() - 0.5) * look.span * 1.5, -85.0, 85.0),
                              std::clamp(longitude, -180.0, 180.0)});
        }
    return points;
}

} // namespace

// Pins scattered over the whole world and clustered round a few places: wherever the map looks, the pins
// whose points fall inside the view have views and the ones well outside have none, across the date
// line, near the pole and zoomed out to the whole world alike, before and after pins leave.
TEST_F(MapViewTest, ExactlyThePinsInSightHaveViewsWhereverTheMapLooks) {
    const auto& looks = kLooks;
    std::vector<std::shared_ptr<MapAnnotation>> pins;
    for (const MapCoordinate& c : scatteredPoints())
        pins.push_back(pin(c.latitude, c.longitude));
    map->addAnnotations(pins);

    auto expectViewsInSight = [&](const char* where) {
        const Rect inside = map->bounds(), wellOutside = map->bounds().insetBy(-120, -120);
        size_t shown = 0;
        for (const auto& a : pins) {
            const Point at = map->convertCoordinateToPoint(a->coordinate());
            const auto view = map->viewForAnnotation(a);
            if (inside.contains(at)) {
                ASSERT_TRUE(view) << where << ": a pin in sight at " << at.x << ", " << at.y << " has no view";
                EXPECT_EQ(view->annotation(), a) << where;
                EXPECT_NEAR(view->center().y, at.y - 24, 1e-9) << where;
                EXPECT_EQ(view->superview(), map.get()) << where;
            } else if (!wellOutside.contains(at)) {
                EXPECT_FALSE(view) << where << ": a pin far off the screen kept a view";
            }
            shown += view != nullptr;
        }
        EXPECT_EQ(annotationViews(), shown) << where << ": views left on the map without their pin";
    };
    for (const Look& look : looks) {
        map->setRegion({look.centre, {look.span, look.span}}, false);
        expectViewsInSight(look.where);
    }
    // Every third pin goes; the rest keep their views and the ones that come into sight get theirs.
    std::vector<std::shared_ptr<MapAnnotation>> gone;
    for (size_t i = 0; i < pins.size(); i += 3)
        gone.push_back(pins[i]);
    std::erase_if(pins, [&](const auto& a) { return std::find(gone.begin(), gone.end(), a) != gone.end(); });
    map->removeAnnotations(gone);
    EXPECT_EQ(map->annotations(), pins);
    for (const auto& a : gone)
        EXPECT_FALSE(map->viewForAnnotation(a));
    for (auto it = std::rbegin(looks); it != std::rend(looks); ++it) {
        map->setRegion({it->centre, {it->span, it->span}}, false);
        expectViewsInSight(it->where);
    }
}

namespace {

// The points' pins, answered through an index of their places; an annotation is made when the map asks
// and kept only while someone holds it.
struct PointPins : MapPinSource {
    explicit PointPins(std::vector<MapCoordinate> p) : points(std::move(p)), made(points.size()) {
        index.build(static_cast<uint32_t>(points.size()), [this](uint32_t at) { return placeOf(at); });
    }
    std::optional<MapCoordinate> placeOf(uint32_t at) const { return points[at]; }
    std::shared_ptr<MapAnnotation> annotationAt(uint32_t at) {
        auto annotation = made[at].lock();
        if (!annotation) made[at] = annotation = std::make_shared<MapPointAnnotation>(points[at]);
        return annotation;
    }
    void mapViewAnnotationsInRect(MapView&, const MapRect& rect,
                                  std::vector<std::shared_ptr<MapAnnotation>>& out) override {
        ++asked;
        for (uint32_t at : index.positionsIn(rect, [this](uint32_t p) { return placeOf(p); }))
            out.push_back(annotationAt(at));
    }
    size_t alive() const {
        return static_cast<size_t>(
            std::count_if(made.begin(), made.end(), [](const auto& weak) { return !weak.expired(); }));
    }
    std::vector<MapCoordinate> points;
    std::vector<std::weak_ptr<MapAnnotation>> made;
    MapPointIndex index;
    int asked = 0;
};

} // namespace

// The same points given by a pin source instead of added: wherever the map looks, exactly the points in
// sight have views and annotations (no other annotation lives), a view stays with its annotation when the
// source is asked again, a tap selects a source's pin, and the whole world is listed on demand.
TEST_F(MapViewTest, APinSourcesPointsInSightAloneHaveAnnotationsAndViewsWhereverTheMapLooks) {
    auto source = std::make_shared<PointPins>(scatteredPoints());
    map->setPinSource(source);
    auto expectViewsInSight = [&](const char* where) {
        delegate->askedFor.clear(); // the test's delegate keeps what it was asked for
        const Rect inside = map->bounds(), wellOutside = map->bounds().insetBy(-120, -120);
        size_t inSight = 0, views = 0;
        for (uint32_t at = 0; at < source->points.size(); ++at) {
            const Point p = map->convertCoordinateToPoint(source->points[at]);
            const auto annotation = source->made[at].lock();
            const auto view = annotation ? map->viewForAnnotation(annotation) : nullptr;
            if (inside.contains(p)) {
                ++inSight;
                ASSERT_TRUE(view) << where << ": a point in sight at " << p.x << ", " << p.y << " has no view";
                EXPECT_EQ(view->annotation(), annotation) << where;
                EXPECT_NEAR(view->center().y, p.y - 24, 1e-9) << where;
            } else if (!wellOutside.contains(p)) {
                EXPECT_FALSE(annotation) << where << ": an annotation far off the screen is still alive";
            }
            views += view != nullptr;
        }
        EXPECT_EQ(annotationViews(), views) << where << ": views left on the map without their pin";
        EXPECT_EQ(source->alive(), views) << where << ": annotations alive beyond the views";
        EXPECT_GT(inSight, 0u) << where;
    };
    for (const Look& look : kLooks) {
        map->setRegion({look.centre, {look.span, look.span}}, false);
        expectViewsInSight(look.where);
    }
    map->setRegion({kLooks[0].centre, {kLooks[0].span, kLooks[0].span}}, false);
    expectViewsInSight("back in Lisbon");
    std::vector<std::shared_ptr<MapAnnotationView>> before;
    for (const auto& v : map->subviews())
        if (auto view = std::dynamic_pointer_cast<MapAnnotationView>(v)) before.push_back(view);
    const int asked = source->asked;
    map->reloadPins();
    EXPECT_GT(source->asked, asked);
    for (const auto& view : before)
        EXPECT_EQ(map->viewForAnnotation(view->annotation()), view) << "asked again, a pin keeps its view";

    // A tap on a source's pin selects it: the topmost whose centre is on the screen.
    std::shared_ptr<MapAnnotationView> tapped;
    for (auto it = before.rbegin(); it != before.rend() && !tapped; ++it)
        if (map->bounds().contains((*it)->center())) tapped = *it;
    ASSERT_TRUE(tapped);
    driver->tap(tapped->center());
    ASSERT_EQ(map->selectedAnnotations().size(), 1u);
    EXPECT_EQ(map->selectedAnnotations().front(), tapped->annotation());
    ASSERT_FALSE(delegate->selected.empty());
    EXPECT_EQ(delegate->selected.back(), tapped.get());

    // Every point is listed, with the annotations in sight among them.
    const auto all = map->annotations();
    EXPECT_EQ(all.size(), source->points.size());
    EXPECT_NE(std::find(all.begin(), all.end(), tapped->annotation()), all.end());
    map->setPinSource({});
    EXPECT_EQ(annotationViews(), 0u) << "the views left with their source";
}

// A rectangle of the world names the indexed points inside it, edges included, across the date line, at
// the poles and for the whole world, and none without a place.
TEST(MapPointIndex, PointsInARectangleOfTheWorld) {
    const std::vector<std::optional<MapCoordinate>> points{
        MapCoordinate{38.7223, -9.1393},
        MapCoordinate{38.7300, -9.1400},
        std::nullopt,
        MapCoordinate{-16.5, 179.999},
        MapCoordinate{-16.5, -179.999},
        MapCoordinate{89.9, 10},
        MapCoordinate{-89.9, -10},
        MapCoordinate{0, 0},
        MapCoordinate{200, 0},
    };
    MapPointIndex index;
    const auto placeOf = [&](uint32_t at) { return points[at]; };
    index.build(static_cast<uint32_t>(points.size()), placeOf);
    EXPECT_EQ(index.size(), 7u) << "no place and an impossible one are left out";
    const auto rectOf = [](double west, double north, double east, double south) {
        const double x = MapView::mercatorX(west), y = MapView::mercatorY(north);
        return MapRect{x, y, MapView::mercatorX(east) - x, MapView::mercatorY(south) - y};
    };
    struct Case {
        const char* name;
        MapRect rect;
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        {"a few streets of Lisbon", rectOf(-9.15, 38.74, -9.13, 38.72), {0, 1}},
        {"one street", rectOf(-9.1395, 38.7225, -9.1390, 38.7220), {0}},
        {"west of the date line", rectOf(179.99, -16.4, 180, -16.6), {3}},
        {"east of the date line", rectOf(-180, -16.4, -179.99, -16.6), {4}},
        {"across the date line",
         {MapView::mercatorX(179.99), MapView::mercatorY(-16.4), 0.0001,
          MapView::mercatorY(-16.6) - MapView::mercatorY(-16.4)},
         {3, 4}},
        {"the top edge, past the projection", {0, 0, 1, 0.01}, {5}},
        {"the bottom edge, past the projection", {0, 0.99, 1, 0.01}, {6}},
        {"the whole world", MapRect::world(), {0, 1, 3, 4, 5, 6, 7}},
        {"open sea", rectOf(-40, 10, -30, 0), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(index.positionsIn(c.rect, placeOf), c.expected) << c.name;
    // Many points in one place and few elsewhere: the one place's answer is whole.
    std::vector<std::optional<MapCoordinate>> crowd(5000, MapCoordinate{38.7223, -9.1393});
    for (int i = 0; i < 100; ++i)
        crowd.push_back(MapCoordinate{-30.0 + i * 0.5, 100.0 + i});
    index.build(static_cast<uint32_t>(crowd.size()), [&](uint32_t at) { return crowd[at]; });
    EXPECT_EQ(index.positionsIn(rectOf(-9.15, 38.74, -9.13, 38.72), [&](uint32_t at) { return crowd[at]; }).size(),
              5000u);
}

TEST_F(MapViewTest, PinchingAndPanningFollowTheirSwitches) {
    map->setRegion({{48.8566, 2.3522}, {1, 1}}, false);
    delegate->events.clear();
    const double zoom = map->zoomLevel();
    const MapCoordinate centre = map->centerCoordinate();
    auto pinchApart = [&] {
        driver->down({110, 240}, 0);
        driver->down({210, 240}, 1);
        for (int i = 1; i <= 5; ++i) {
            driver->wait(0.02);
            driver->move({110.0 - 10 * i, 240}, 0);
            driver->move({210.0 + 10 * i, 240}, 1);
        }
        driver->up(0);
        driver->up(1);
        driver->wait(1);
    };

    // Zoom off: a pinch changes nothing.
    map->setZoomEnabled(false);
    pinchApart();
    EXPECT_DOUBLE_EQ(map->zoomLevel(), zoom);
    EXPECT_TRUE(delegate->events.empty());

    // Zoom on: the fingers twice as far apart, the map one level closer.
    map->setZoomEnabled(true);
    pinchApart();
    EXPECT_NEAR(map->zoomLevel(), zoom + 1, 1e-9);
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"will", "did"}));
    EXPECT_DOUBLE_EQ(map->pinchGestureRecognizer()->scale(), 1); // reset after the gesture

    // A drag moves the map under the finger, unless scrolling is off.
    const double zoomed = map->zoomLevel();
    struct Case {
        bool scroll;
        bool moves;
    };
    for (const Case& c : {Case{false, false}, Case{true, true}}) {
        SCOPED_TRACE(c.scroll);
        delegate->events.clear();
        map->setScrollEnabled(c.scroll);
        MapCoordinate before = map->centerCoordinate();
        Point grabbed{160, 240};
        MapCoordinate under = map->convertPointToCoordinate(grabbed);
        driver->drag(grabbed, {100, 200}, 6, 0.3);
        driver->wait(1);
        if (c.moves) {
            Point now = map->convertCoordinateToPoint(under);
            EXPECT_NEAR(now.x, 100, 1e-6);
            EXPECT_NEAR(now.y, 200, 1e-6);
            EXPECT_EQ(delegate->events, (std::vector<std::string>{"will", "did"}));
        } else {
            EXPECT_EQ(map->centerCoordinate(), before);
            EXPECT_TRUE(delegate->events.empty());
        }
        EXPECT_DOUBLE_EQ(map->zoomLevel(), zoomed);
    }
    EXPECT_NE(map->centerCoordinate(), centre);
}

TEST_F(MapViewTest, AMapGoneInTheMiddleOfAPinchHearsNothingMore) {
    std::weak_ptr<MapView> gone = map;
    driver->down({110, 240}, 0);
    driver->down({210, 240}, 1);
    driver->move({90, 240}, 0);
    driver->move({230, 240}, 1);
    ASSERT_EQ(map->pinchGestureRecognizer()->state(), GestureRecognizerState::Changed);
    map->removeFromSuperview();
    map.reset();
    ASSERT_TRUE(gone.expired());
    // The lifted fingers end the gesture the routing still holds.
    driver->up(0);
    driver->up(1);
    EXPECT_EQ(delegate->events, std::vector<std::string>{"will"});
}

TEST_F(MapViewTest, TheDeviceDotFollowsTheFixes) {
    services::Device::instance().update([](services::DeviceProfile& p) {
        p.privacyAnswers[services::Prompt::Location] = true;
        p.position = services::LocationFix{-36.8485, 174.7633};
        p.route = {{-36.85, 174.76}, {-36.86, 174.77}};
        p.routeInterval = 5;
    });
    map->setRegion({{-36.85, 174.76}, {0.1, 0.1}}, false);
    map->setShowsUserLocation(true);
    RunLoop::main().advance(0);
    auto user = map->userLocation();
    ASSERT_TRUE(user->location());
    EXPECT_DOUBLE_EQ(user->coordinate().latitude, -36.8485);
    // The map asks its delegate for the device's own view; without one it draws the blue dot.
    ASSERT_FALSE(delegate->askedFor.empty());
    EXPECT_EQ(delegate->askedFor.back(), user);
    auto dot = std::dynamic_pointer_cast<MapUserLocationView>(map->viewForAnnotation(user));
    ASSERT_TRUE(dot);
    EXPECT_TRUE(map->isUserLocationVisible());

    services::LocationManager::playRoute();
    RunLoop::main().advance(0);
    RunLoop::main().advance(5);
    ASSERT_EQ(delegate->userLocations.size(), 3u);
    EXPECT_DOUBLE_EQ(delegate->userLocations[1].latitude, -36.85);
    EXPECT_DOUBLE_EQ(delegate->userLocations[2].latitude, -36.86);
    Point at = map->convertCoordinateToPoint({-36.86, 174.77});
    EXPECT_EQ(map->viewForAnnotation(user), dot);
    EXPECT_NEAR(dot->center().x, at.x, 1e-9);
    EXPECT_NEAR(dot->center().y, at.y, 1e-9);

    // Hidden again, the dot leaves the map.
    map->setShowsUserLocation(false);
    EXPECT_FALSE(map->viewForAnnotation(user));
    EXPECT_FALSE(dot->superview());
    services::LocationManager::setFix(services::LocationFix{-36.9, 174.8});
    RunLoop::main().advance(0);
    EXPECT_EQ(delegate->userLocations.size(), 3u);
}

TEST_F(MapViewTest, InterfaceFilesMakeMapsWithTheirSwitches) {
    auto objects = InterfaceLoader::instance().loadFromText(
        R"({"objects": [{"class": "MapView", "frame": [0, 0, 320, 400],
            "properties": {"zoomEnabled": false, "scrollEnabled": false, "showsUserLocation": false}}]})",
        "Map.json", nullptr);
    ASSERT_EQ(objects.size(), 1u);
    auto loaded = std::dynamic_pointer_cast<MapView>(objects[0]);
    ASSERT_TRUE(loaded);
    EXPECT_FALSE(loaded->isZoomEnabled());
    EXPECT_FALSE(loaded->isScrollEnabled());
    EXPECT_FALSE(loaded->showsUserLocation());
}

TEST_F(MapViewTest, ThePictureShowsPinsAtTheirMercatorPoints) {
    services::Device::instance().update([](services::DeviceProfile& p) {
        p.privacyAnswers[services::Prompt::Location] = true;
        p.position = services::LocationFix{52.52, 13.405}; // Berlin
    });
    map->setFrame({0, 0, 320, 240});
    delegate->makesViews = false;
    map->setRegion({{51, 8}, {24, 30}}, false);
    const MapCoordinate places[] = {{48.8566, 2.3522}, {51.5072, -0.1276}, {41.9028, 12.4964}, {59.3293, 18.0686}};
    for (const auto& p : places)
        map->addAnnotation(std::make_shared<MapPointAnnotation>(p));
    map->setShowsUserLocation(true);
    RunLoop::main().advance(0);
    auto shot = Snapshot::imageOfView(*map);
    ASSERT_TRUE(shot);

    auto near = [](Color c, Color want) {
        return std::abs(c.r - want.r) < 0.1 && std::abs(c.g - want.g) < 0.1 && std::abs(c.b - want.b) < 0.1;
    };
    const Color red = Color::fromHex("#D93A2B"), blue = Color::fromHex("#2F7CF6"), ground = Color::fromHex("#EDEAE2");
    for (const auto& p : places) {
        // The needle's tip is the place; the pin's head stands 28 points above it.
        Point tip = map->convertCoordinateToPoint(p);
        SCOPED_TRACE(::testing::Message() << tip.x << "," << tip.y);
        EXPECT_TRUE(near(shot->colorAt(int(tip.x) + 2, int(tip.y) - 28), red));
        EXPECT_FALSE(near(shot->colorAt(int(tip.x), int(tip.y) - 4), ground)); // the needle
    }
    Point me = map->convertCoordinateToPoint({52.52, 13.405});
    EXPECT_TRUE(near(shot->colorAt(int(me.x), int(me.y)), blue));
    EXPECT_TRUE(near(shot->colorAt(3, 3), ground));
    // A grid line at 10 degrees east, through the middle.
    int gridX = int(std::lround(map->convertCoordinateToPoint({51, 10}).x));
    EXPECT_FALSE(near(shot->colorAt(gridX, 230), ground));

    fs::path reference = fs::path(VELKORA_TEST_DATA_DIR) / "map_pins.png";
    if (std::getenv("VELKORA_UPDATE_SNAPSHOTS")) {
        fs::create_directories(reference.parent_path());
        ASSERT_TRUE(shot->writePng(reference.string()));
    }
    auto expected = Image::fromFile(reference.string());
    ASSERT_TRUE(expected) << "missing reference " << reference;
    EXPECT_TRUE(velkora::testing::looksLike(*shot, *expected));
}
