// The map showing a few streets of a city with 2,000 or 20,000 pins around it, as many to a square kilometre
// either way (more people nearby reach further out): time to show them with the pin views the delegate
// makes, and the heap the map then holds. The pins come the way the radar's do: from a pin source over the
// points, their places indexed when the points came (with the points, before the map is made: the radar
// measures that part as its users come), an annotation made for each pin the map asks for. The 2,000 run
// is the peer of the 20,000 run.
#include <malloc.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "PeerFigures.h"
#include "platform/foundation/Log.h"
#include "platform/ui/MapView.h"

namespace {

using namespace velkora;
using namespace velkora::ui;

constexpr double kTimeLimit = 2.0;
constexpr double kMemoryLimit = 1.5;
constexpr double kLatitude = 38.7223, kLongitude = -9.1393;
// Degrees a side of the square the first 2,000 pins share.
constexpr double kSideFor2k = 0.5;

struct PinMaker : MapViewDelegate {
    std::shared_ptr<MapAnnotationView> mapViewViewForAnnotation(MapView& map,
                                                                const std::shared_ptr<MapAnnotation>& a) override {
        auto view = map.dequeueReusableAnnotationViewWithIdentifier("pin");
        if (!view) view = std::make_shared<MapPinAnnotationView>(a, "pin");
        view->setAnnotation(a);
        view->setCenterOffset({0, -24});
        return view;
    }
};

std::vector<MapCoordinate> makePoints(int count) {
    const double side = kSideFor2k * std::sqrt(count / 2000.0);
    std::vector<MapCoordinate> points;
    points.reserve(static_cast<size_t>(count));
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / double(1u << 24);
    };
    for (int i = 0; i < count; ++i)
        points.push_back({kLatitude + (next() - 0.5) * side, kLongitude + (next() - 0.5) * side});
    return points;
}

// The points' pins: the same annotation for a point while someone holds it.
struct Pins : MapPinSource {
    explicit Pins(const std::vector<MapCoordinate>& points) : points(points) {
        index.build(static_cast<uint32_t>(points.size()),
                    [this](uint32_t at) { return std::optional<MapCoordinate>(this->points[at]); });
    }
    void mapViewAnnotationsInRect(MapView&, const MapRect& rect,
                                  std::vector<std::shared_ptr<MapAnnotation>>& out) override {
        std::erase_if(made, [](const auto& entry) { return entry.second.use_count() == 1; });
        for (uint32_t at :
             index.positionsIn(rect, [this](uint32_t p) { return std::optional<MapCoordinate>(points[p]); })) {
            auto& annotation = made[at];
            if (!annotation) annotation = std::make_shared<MapPointAnnotation>(points[at]);
            out.push_back(annotation);
        }
    }
    const std::vector<MapCoordinate>& points;
    MapPointIndex index;
    std::unordered_map<uint32_t, std::shared_ptr<MapAnnotation>> made;
};

void BM_MapWithPins(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    auto delegate = std::make_shared<PinMaker>();
    double held = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto points = makePoints(count);
        auto pins = std::make_shared<Pins>(points);
        const size_t before = mallinfo2().uordblks;
        state.ResumeTiming();
        auto map = MapView::create({0, 0, 320, 480});
        map->setDelegate(delegate);
        map->setRegion({{kLatitude, kLongitude}, {0.05, 0.05}}, false);
        map->setPinSource(pins);
        map->layoutIfNeeded();
        benchmark::DoNotOptimize(map->subviews().size());
        state.PauseTiming();
        held = double(mallinfo2().uordblks - before);
        map.reset();
        pins.reset();
        state.ResumeTiming();
    }
    state.counters["held_bytes"] = held;
}

BENCHMARK(BM_MapWithPins)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    foundation::Log::setSink([](foundation::LogLevel, const std::string&) {});
    bench::PeerFigures figures("held_bytes");
    const int status = bench::runBenchmarks(argc, argv, {"--benchmark_repetitions=5"}, figures);
    const std::string small = "BM_MapWithPins/2000", large = "BM_MapWithPins/20000";
    std::printf("\nmap with 20000 pins against 2000, same screen, time: ratio %.2f (limit %.1f)\n",
                figures.timeRatio(large, small), kTimeLimit);
    std::printf("map with 20000 pins against 2000, same screen, held memory: ratio %.2f (limit %.1f)\n",
                figures.counterRatio(large, small), kMemoryLimit);
    return status;
}
