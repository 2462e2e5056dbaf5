// The map showing a few streets of a city while 2,000 or 20,000 pins are added around it, as many to a
// square kilometre either way (more people nearby reach further out): time to add them all with the pin
// views the delegate makes, and the heap the map then holds. The 2,000 run is the peer of the 20,000 run.
#include <malloc.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
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

std::vector<std::shared_ptr<MapAnnotation>> makePins(int count) {
    const double side = kSideFor2k * std::sqrt(count / 2000.0);
    std::vector<std::shared_ptr<MapAnnotation>> pins;
    pins.reserve(static_cast<size_t>(count));
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / double(1u << 24);
    };
    for (int i = 0; i < count; ++i)
        pins.push_back(std::make_shared<MapPointAnnotation>(
            MapCoordinate{kLatitude + (next() - 0.5) * side, kLongitude + (next() - 0.5) * side}));
    return pins;
}

void BM_MapWithPins(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    auto delegate = std::make_shared<PinMaker>();
    double held = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto pins = makePins(count);
        const size_t before = mallinfo2().uordblks;
        state.ResumeTiming();
        auto map = MapView::create({0, 0, 320, 480});
        map->setDelegate(delegate);
        map->setRegion({{kLatitude, kLongitude}, {0.05, 0.05}}, false);
        map->addAnnotations(pins);
        map->layoutIfNeeded();
        benchmark::DoNotOptimize(map->viewForAnnotation(pins.back()));
        state.PauseTiming();
        held = double(mallinfo2().uordblks - before);
        map.reset();
        pins.clear();
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
