// What a host sees of the device's location and the map: the location prompt answered as the device
// profile says, a map around the device with a few people pinned near it, and the blue dot following the
// device along its route.
#include <memory>
#include <string>

#include "BuildPaths.h"
#include "DemoSteps.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Device.h"
#include "platform/services/LocationManager.h"
#include "platform/ui/MapView.h"
#include "platform/ui/Window.h"

namespace {

using namespace velkora;

struct MapWatcher : ui::MapViewDelegate {
    explicit MapWatcher(demo::Demo& d) : demo(d) {}
    demo::Demo& demo;
    int moves = 0;
    void mapViewDidUpdateUserLocation(ui::MapView&, ui::MapUserLocation& me) override {
        ++moves;
        demo.say(foundation::format("the device is at %@, %@", me.coordinate().latitude, me.coordinate().longitude));
    }
    void mapViewDidFailToLocateUser(ui::MapView&, const foundation::ErrorPtr& error) override {
        demo.say("the map could not locate the device: " + error->description());
    }
};

} // namespace

VELKORA_DEMO_STEP(mapAndLocation, 430, DemoStep::Nothing) {
    using namespace velkora;
    auto& device = services::Device::instance();
    if (!device.position()) {
        if (auto error = device.loadProfile(VELKORA_TESTS_SOURCE_DIR + "/../demo/device.json")) {
            demo.say("the device profile could not be read: " + error->description());
            return false;
        }
    }
    auto here = device.position();
    if (!here) {
        demo.say("the device has no position to show");
        return false;
    }
    auto& loop = demo.loop();

    auto window = ui::Window::createFullScreen();
    auto map = ui::MapView::create(window->bounds());
    auto watcher = std::make_shared<MapWatcher>(demo);
    map->setDelegate(watcher);
    window->addSubview(map);
    window->makeKeyAndVisible();
    map->setRegion({{here->latitude, here->longitude}, {0.03, 0.03}}, false);

    // People near the device, as the radar would pin them.
    const struct {
        double latitude, longitude;
        const char* name;
    } people[] = {
        {32.0921, 34.7750, "Noa"},
        {32.0799, 34.7901, "Itai"},
        {32.0885, 34.7925, "Maya"},
        {32.0770, 34.7760, "Omer"},
    };
    for (const auto& p : people)
        map->addAnnotation(
            std::make_shared<ui::MapPointAnnotation>(ui::MapCoordinate{p.latitude, p.longitude}, p.name));
    demo.say(foundation::format("%@ people pinned around the device", map->annotations().size()));

    // The first use asks for the location; the profile answers the prompt.
    map->setShowsUserLocation(true);
    bool located = loop.runUntil([&] { return map->userLocation()->location().has_value(); }, 5);
    if (!located) {
        demo.say("the device's position never reached the map");
        window->setHidden(true);
        return false;
    }
    bool shown = demo.writePng(*map, "map");

    // Along the device's route, a fix at a time.
    for (const auto& fix : device.profile().route)
        services::LocationManager::setFix(fix);
    loop.runUntil([&] { return watcher->moves > int(device.profile().route.size()); }, 5);
    shown &= map->isUserLocationVisible();
    shown &= demo.writePng(*map, "map-after-route");
    map->setShowsUserLocation(false);
    window->setHidden(true);
    return shown;
}
