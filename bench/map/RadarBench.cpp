// The radar screen open in a phone-sized window, the device in Lisbon, when the service's reply of 2,000 or
// of 20,000 nearby users comes in: as many people to a square kilometre either way, so the larger reply
// reaches further out (a disc of 20 km and one of 63 km, nearest first as the service sends them; one in
// five anonymous, one in seven followed). The settled screen shows the same few streets either way.
//
// Time: from the reply's text to the settled screen. The text goes the way every reply of the service goes
// (the protocol's JSON reader, the users' reader into the users repository, the caller answered with the
// user objects), the screen takes it (list, pins, first zoom), then the test clock lets the map's zoom
// settle (the follow overlay is drawn then) and the pins' pictures come from the host's fetcher, and the
// window is laid out. The 2,000 run is the peer of the 20,000 run. Nothing in it waits (the clock is the
// test clock), so the figure is the process's CPU time, every thread's: the machine may be shared.
// Memory: the heap's high-water mark while the screen opens and takes the reply, above what the heap held
// just before it opened. Every malloc of the process (the kit, Cairo, Pango, the standard library) is
// counted by the allocation functions below, which wrap the C library's own.
#include <malloc.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BuildPaths.h"
#include "PeerFigures.h"
#include "ScreenHost.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraUsersRepository.h"
#include "people/VelkoraRadarMapViewController.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Device.h"
#include "platform/services/LocationManager.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "server/VelkoraProtocolWrapper.h"
#include "server/VelkoraReplyParsers.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "session/VelkoraAgentInternal.h"

// ---- the heap's bytes in use and their high-water mark

namespace {
std::atomic<long long> g_inUse{0};
std::atomic<long long> g_peak{0};

void counted(void* p, long long sign) {
    if (!p) return;
    const long long now = g_inUse.fetch_add(sign * static_cast<long long>(malloc_usable_size(p))) +
                          sign * static_cast<long long>(malloc_usable_size(p));
    long long peak = g_peak.load(std::memory_order_relaxed);
    while (now > peak && !g_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}
} // namespace

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t n, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);

void* malloc(size_t size) noexcept {
    void* p = __libc_malloc(size);
    counted(p, 1);
    return p;
}
void* calloc(size_t n, size_t size) noexcept {
    void* p = __libc_calloc(n, size);
    counted(p, 1);
    return p;
}
void* realloc(void* old, size_t size) noexcept {
    const long long before = old ? static_cast<long long>(malloc_usable_size(old)) : 0;
    void* p = __libc_realloc(old, size);
    if (p || size == 0) g_inUse.fetch_sub(before);
    counted(p, 1);
    return p;
}
void free(void* p) noexcept {
    counted(p, -1);
    __libc_free(p);
}
void* memalign(size_t alignment, size_t size) noexcept {
    void* p = __libc_memalign(alignment, size);
    counted(p, 1);
    return p;
}
void* aligned_alloc(size_t alignment, size_t size) noexcept {
    return memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
    void* p = memalign(alignment, size);
    if (!p) return ENOMEM;
    *out = p;
    return 0;
}
}

namespace {

using namespace velkora;

constexpr double kTimeLimit = 2.0;
constexpr double kMemoryLimit = 1.5;
constexpr double kLatitude = 38.7223, kLongitude = -9.1393;
// The disc the 2,000 users share, in metres; the radar's first request asks about some 60 km around.
constexpr double kRadiusFor2k = 20000;
constexpr double kMetresPerDegree = 111194.93;

// The reply's text as the service writes it: the users nearest first, each with its distance.
std::string replyText(int count) {
    struct Placed {
        double distance, latitude, longitude;
    };
    std::vector<Placed> placed;
    placed.reserve(static_cast<size_t>(count));
    uint32_t seed = 2024;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / double(1u << 24);
    };
    const double cosLatitude = std::cos(kLatitude * M_PI / 180);
    const double radius = kRadiusFor2k * std::sqrt(count / 2000.0);
    for (int i = 0; i < count; ++i) {
        // Evenly over the disc: the radius grows with the square root.
        const double r = radius * std::sqrt(next()), angle = 2 * M_PI * next();
        const double north = r * std::cos(angle), east = r * std::sin(angle);
        placed.push_back(
            {r, kLatitude + north / kMetresPerDegree, kLongitude + east / (kMetresPerDegree * cosLatitude)});
    }
    std::sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) { return a.distance < b.distance; });
    std::string text = "{\"users\":[";
    char buffer[1024];
    for (int i = 0; i < count; ++i) {
        const Placed& p = placed[static_cast<size_t>(i)];
        if (i) text += ',';
        std::snprintf(buffer, sizeof buffer, "{\"appId\":\"velkora-demo\",\"userId\":\"%08x%08x\",", 0x5eed0000u + i,
                      0x1234567u * static_cast<unsigned>(i + 1));
        text += buffer;
        if (i % 5 != 3) {
            std::snprintf(buffer, sizeof buffer,
                          "\"firstName\":\"Person%d\",\"lastName\":\"Nearby\",\"photoUrl\":\"https://pictures.example/"
                          "u%d.png\",\"city\":\"Lisboa\",\"country\":\"PT\",\"age\":%d,\"gender\":\"%s\",",
                          i, i, 18 + i % 50, i % 2 ? "F" : "M");
            text += buffer;
        }
        std::snprintf(buffer, sizeof buffer,
                      "\"facebookId\":0,\"twitterId\":0,\"location\":{\"longitude\":%.6f,\"latitude\":%.6f,"
                      "\"distance\":%.3f},\"score\":%d,\"coins\":0,\"followers\":%d,\"following\":%d,\"feeds\":%d,"
                      "\"stickerPackIds\":[],%s\"isBlocked\":false,\"isReported\":false}",
                      p.longitude, p.latitude, p.distance, i % 300, i % 40, i % 25, i % 12,
                      i % 7 == 0 ? "\"isFavorite\":true," : "");
        text += buffer;
    }
    return text + "]}";
}

const std::string& reply(int count) {
    static std::map<int, std::string> texts;
    auto& text = texts[count];
    if (text.empty()) text = replyText(count);
    return text;
}

struct Shown {
    std::shared_ptr<VelkoraRadarMapViewController> radar;
    std::shared_ptr<ui::NavigationController> nav;
    std::shared_ptr<ui::Window> window;
};

Shown openRadar(const std::shared_ptr<bench::ScreenHost>& host) {
    Shown shown;
    shown.radar = VelkoraRadarMapViewController::initFromNib();
    shown.radar->setFeatureTabDelegate(host);
    shown.nav = ui::NavigationController::create(shown.radar);
    shown.nav->setNavigationBarHidden(true);
    shown.window = ui::Window::createFullScreen();
    shown.window->setRootViewController(shown.nav);
    shown.window->makeKeyAndVisible();
    shown.window->layoutIfNeeded();
    foundation::RunLoop::main().advance(1.0);
    shown.window->layoutIfNeeded();
    return shown;
}

// The reply as the protocol hands it to its caller: read, its users parsed, answered as user objects.
foundation::Value answer(const std::string& text) {
    auto parsed = VelkoraProtocolWrapper::create(nullptr)->jsonWorkaround(text);
    if (!parsed) return {};
    const auto users = parseUsers((*parsed)["users"]);
    parsed.reset();
    foundation::Array answer;
    answer.reserve(users.size());
    for (const auto& u : users)
        answer.push_back(foundation::Value::object(u));
    return foundation::Value(std::move(answer));
}

void settle(const Shown& shown) {
    auto& loop = foundation::RunLoop::main();
    for (int i = 0; i < 3; ++i) {
        loop.advance(0.5);
        loop.runOnce(0);
        shown.window->layoutIfNeeded();
    }
}

size_t pinViews(const Shown& shown) {
    size_t n = 0;
    auto& map = *shown.radar->radarMapView();
    for (const auto& [id, annotation] : shown.radar->usersToAnnotationsMap())
        n += map.viewForAnnotation(annotation) != nullptr;
    return n;
}

// `fromText`: the reply's reading is measured with the screen. Otherwise the users are read before the
// screen opens (they sit in the heap before it opens) and only the screen's own part is measured.
void measure(benchmark::State& state, bool fromText) {
    const int count = static_cast<int>(state.range(0));
    const std::string& text = reply(count);
    static auto host = std::make_shared<bench::ScreenHost>();
    double peak = 0, views = 0, pins = 0;
    for (auto _ : state) {
        state.PauseTiming();
        VelkoraUsersRepository::instance().reset();
        foundation::Value users = fromText ? foundation::Value() : answer(text);
        const long long before = g_inUse.load();
        g_peak.store(before);
        Shown shown = openRadar(host);
        state.ResumeTiming();
        // The users as read, not a copy of them (a conditional would copy the array).
        if (fromText)
            shown.radar->gotNearbyUsers(answer(text));
        else
            shown.radar->gotNearbyUsers(users);
        settle(shown);
        state.PauseTiming();
        peak = double(g_peak.load() - before);
        views = double(pinViews(shown));
        pins = double(shown.radar->usersToAnnotationsMap().size());
        shown.window->setHidden(true);
        shown = {};
        users = {};
        foundation::RunLoop::main().advance(5);
        VelkoraUsersRepository::instance().reset();
        state.ResumeTiming();
    }
    state.counters["peak_bytes"] = peak;
    state.counters["pin_views"] = views;
    state.counters["pins"] = pins;
}

void BM_RadarReply(benchmark::State& state) {
    measure(state, true);
}
void BM_RadarScreen(benchmark::State& state) {
    measure(state, false);
}

BENCHMARK(BM_RadarReply)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime();
BENCHMARK(BM_RadarScreen)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime();

} // namespace

int main(int argc, char** argv) {
    foundation::Log::setSink([](foundation::LogLevel, const std::string&) {});
    foundation::RunLoop::main().useTestClock();
    // The device in Lisbon, its position allowed, the application's radar on: the screen centres on it.
    VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
    services::Device::instance().update(
        [](services::DeviceProfile& p) { p.privacyAnswers[services::Prompt::Location] = true; });
    services::LocationManager::setFix(services::LocationFix{kLatitude, kLongitude});
    foundation::Dictionary features;
    features.set("features", foundation::Value(foundation::Array{foundation::Value(foundation::Dictionary{
                                 {"id", foundation::Value("radar")}, {"name", foundation::Value("Radar")}})}));
    VelkoraAgentInternal::instance().setAppData(VelkoraAppData::fromReply(foundation::Value(std::move(features))));
    auto located = VelkoraAgentInternal::instance().getNonEmptyLocationManager();
    foundation::RunLoop::main().runUntil([&] { return located && located->location().has_value(); }, 10);
    VelkoraAgentInternal::instance().setImageFetcher(std::make_shared<bench::HostPictures>(128));
    bench::PeerFigures figures("peak_bytes", bench::PeerFigures::Time::Cpu);
    const int status = bench::runBenchmarks(argc, argv, {"--benchmark_repetitions=5"}, figures);
    // Reading a reply ten times the size (the protocol's JSON reader, the users' reader into the users
    // repository) is linear in its bytes by nature, so that line is a figure beside the screen's bars.
    std::printf("\n");
    const auto ratios = [&figures](const char* name, double& time, double& memory) {
        const std::string small = std::string(name) + "/2000", large = std::string(name) + "/20000";
        time = figures.timeRatio(large, small);
        memory = figures.counterRatio(large, small);
    };
    double time = 0, memory = 0;
    ratios("BM_RadarReply", time, memory);
    const char* reading =
        "radar taking a reply of 20000 nearby users against 2000 (reading is linear in the reply's bytes)";
    std::printf("%s, time: ratio %.2f\n", reading, time);
    std::printf("%s, peak memory: ratio %.2f\n", reading, memory);
    ratios("BM_RadarScreen", time, memory);
    const char* screen = "radar screen given 20000 read users against 2000";
    std::printf("%s, time: ratio %.2f (limit %.1f)\n", screen, time, kTimeLimit);
    std::printf("%s, peak memory: ratio %.2f (limit %.1f)\n", screen, memory, kMemoryLimit);
    return status;
}
