// The host's start call through the public interface, from the call to "VelkoraIsReady" and to the
// completion (both first replies in), for a returning user and for a new one, beside a plain libcurl easy
// handle, reused, sending the same user's tagged getAppData and getUserData one after the other. Between
// starts the kit is restored by its test resets; the connections stay warm. Each start is followed by one
// run of the peer, and the ratios are of the medians of the two. The documents folder is memory-backed for
// the bar (every start writes the user record with a flush); the figures with the documents on disk are
// printed beside it.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <velkora_service/Service.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "BenchMain.h"
#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "session/VelkoraChatsRepository.h"
#include "session/VelkoraFeedMessagesRepository.h"
#include "session/VelkoraQuizzesRepository.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/UserDefaults.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/VelkoraServerEndpoint.h"
#include "server/utils/RequestText.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppSettings.h"
#include "velkora/Velkora.h"
#include "velkora/VelkoraMainLoop.h"
#include "velkora/VelkoraNotifications.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

velkora::service::Service* g_service = nullptr;
const std::string kApp = velkora::service::Service::kDemoAppId;

// Each start is followed by one run of the peer, so both see the machine as it was at that moment: the
// machines are shared, and a peer measured in a phase of its own can meet a quieter or a busier one.
struct Figures {
    std::vector<double> ready, completed, peer;
};
Figures g_returningMemory, g_returningDisk, g_newMemory, g_newDisk;
std::string g_appDataUrl, g_userDataUrl;

double seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

size_t sink(char*, size_t size, size_t n, void* out) {
    static_cast<std::string*>(out)->append(size * n, 'x');
    return size * n;
}

// The peer: the same user's two first requests over one warm easy handle, one after the other.
class Peer {
public:
    Peer() {
        easy_ = curl_easy_init();
        curl_easy_setopt(easy_, CURLOPT_CAINFO, g_service->caFile().c_str());
        curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &sink);
        curl_easy_setopt(easy_, CURLOPT_WRITEDATA, &body_);
        curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
        get(g_appDataUrl);
    }
    ~Peer() { curl_easy_cleanup(easy_); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool measure(Figures& figures) {
        auto t0 = Clock::now();
        if (!get(g_appDataUrl) || !get(g_userDataUrl)) return false;
        figures.peer.push_back(seconds(t0, Clock::now()));
        return true;
    }

private:
    bool get(const std::string& url) {
        curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
        body_.clear();
        return curl_easy_perform(easy_) == CURLE_OK;
    }
    CURL* easy_ = nullptr;
    std::string body_;
};

// The kit as a process starts it, its connections kept.
void resetKit() {
    velkora::VelkoraServerClientAgent::resetForTests();
    velkora::VelkoraAgentInternal::resetForTests();
    velkora::VelkoraAppSettings::resetForTests();
    velkora::VelkoraChatsRepository::resetForTests();
    velkora::VelkoraFeedMessagesRepository::resetForTests();
    velkora::VelkoraChatRoomsTopicsRepository::resetForTests();
    velkora::VelkoraQuizzesRepository::resetForTests();
    velkora::VelkoraServerEndpoint::setServer(g_service->endpoint());
}

void useDocuments(const std::string& root) {
    velkora::foundation::Paths::setRoot(root);
    velkora::foundation::UserDefaults::standard().setFilePath(root + "/Documents/velkora.userdefaults.json");
}

// What the last start left running after its completion is let finish before the next reset: its write
// of the user record, and the requests the completion does not wait for (the first poll, the promoted
// applications), which a reset would cancel; a cancelled request costs its connection, which the next
// start would then open and secure anew.
void settleRequests() {
    velkora::foundation::waitForBackgroundWrites();
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (velkora::foundation::UrlConnection::activeCount() > 0 && Clock::now() < deadline)
        velkora::VelkoraMainLoop::runOnce(0.01);
}

// One start: the call, then the loop pumped until the completion.
void startOnce(Figures& figures) {
    bool ready = false, completed = false;
    Clock::time_point readyAt, completedAt;
    auto readiness = velkora::observe(velkora::kVelkoraIsReady, [&](const velkora::VelkoraNotificationInfo&) {
        ready = true;
        readyAt = Clock::now();
    });
    const auto t0 = Clock::now();
    velkora::Velkora::initWithAppId(kApp, [&] {
        completed = true;
        completedAt = Clock::now();
    });
    const auto deadline = t0 + std::chrono::seconds(10);
    while (!(ready && completed) && Clock::now() < deadline)
        velkora::VelkoraMainLoop::runOnce(0.01);
    if (!(ready && completed)) {
        std::fprintf(stderr, "a start did not complete\n");
        return;
    }
    figures.ready.push_back(seconds(t0, readyAt));
    figures.completed.push_back(seconds(t0, completedAt));
}

// The service keeps each connection on one of its threads for as long as it lives, and on a shared
// machine one thread can sit on a busy core for a whole run. The starts are measured in rounds, each on
// connections made afresh (kit and peer alike), so no single placement decides the figures.
constexpr int kStartsPerRound = 50;

void returningUser(benchmark::State& state, const std::string& root, Figures& figures) {
    std::optional<Peer> peer;
    useDocuments(root);
    Figures unmeasured;
    int inRound = kStartsPerRound;
    for (auto _ : state) {
        state.PauseTiming();
        settleRequests();
        if (inRound == kStartsPerRound) {
            peer.reset();
            velkora::foundation::UrlConnection::closeIdleConnections();
            peer.emplace();
            resetKit();
            startOnce(unmeasured); // the user is made and stored, and the connections opened, unmeasured
            settleRequests();
            inRound = 0;
        }
        ++inRound;
        resetKit();
        state.ResumeTiming();
        startOnce(figures);
        state.PauseTiming();
        settleRequests();
        if (!peer->measure(figures)) state.SkipWithError("the peer's request failed");
        state.ResumeTiming();
    }
}

std::string memoryRoot() {
    return fs::exists("/dev/shm") ? "/dev/shm/velkora-bench-startup" : "/tmp/velkora-bench-memory";
}
std::string diskRoot() {
    return (fs::temp_directory_path() / "velkora-bench-startup-disk").string();
}

void BM_ReturningUserMemoryBacked(benchmark::State& state) {
    returningUser(state, memoryRoot(), g_returningMemory);
}
void BM_ReturningUserOnDisk(benchmark::State& state) {
    returningUser(state, diskRoot(), g_returningDisk);
}

void newUser(benchmark::State& state, const std::string& base, Figures& figures) {
    Peer peer;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        settleRequests();
        std::string root = base + "-new-" + std::to_string(n++);
        fs::remove_all(root);
        useDocuments(root);
        resetKit();
        state.ResumeTiming();
        startOnce(figures);
        state.PauseTiming();
        settleRequests();
        fs::remove_all(root);
        if (!peer.measure(figures)) state.SkipWithError("the peer's request failed");
        state.ResumeTiming();
    }
}

void BM_NewUserMemoryBacked(benchmark::State& state) { newUser(state, memoryRoot(), g_newMemory); }
void BM_NewUserOnDisk(benchmark::State& state) { newUser(state, diskRoot(), g_newDisk); }

BENCHMARK(BM_ReturningUserMemoryBacked)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_ReturningUserOnDisk)->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK(BM_NewUserMemoryBacked)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_NewUserOnDisk)->Unit(benchmark::kMillisecond)->Iterations(30);

} // namespace

int main(int argc, char** argv) {
    velkora::foundation::Log::setSink([](velkora::foundation::LogLevel, const std::string&) {});
    velkora::service::Service service;
    if (!service.start()) {
        std::fprintf(stderr, "cannot start velkora-service\n");
        return 1;
    }
    g_service = &service;
    velkora::foundation::UrlConnection::setCaFile(service.caFile());
    velkora::VelkoraServerEndpoint::setServer(service.endpoint());
    for (const auto& root : {memoryRoot(), diskRoot()})
        fs::remove_all(root);

    // The peer asks for a user of the same application: its configuration whole, then its data.
    std::string userId = service.createUser(kApp);
    g_appDataUrl =
        velkora::tagRequestText(service.endpoint() + "?command=getAppData&clientType=1&build=2.5.7&appId=" + kApp +
                                "&changeNumber=" + std::to_string(service.appChangeNumber(kApp)) + "&v=15");
    g_userDataUrl =
        velkora::tagRequestText(service.endpoint() + "?command=getUserData&clientType=1&build=2.5.7&appId=" + kApp +
                                "&userId=" + userId + "&clientV=15");

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const auto& root : {memoryRoot(), diskRoot()})
        fs::remove_all(root);

    auto ratio = [](const Figures& f) {
        const double peer = median(f.peer);
        return peer > 0 ? median(f.completed) / peer : 0;
    };
    std::printf("start to VelkoraIsReady: returning user %.2f ms, new user %.2f ms\n",
                median(g_returningMemory.ready) * 1e3, median(g_newMemory.ready) * 1e3);
    std::printf("plain libcurl easy handle, getAppData then getUserData: %.2f ms (beside the returning user's "
                "starts, documents in memory)\n",
                median(g_returningMemory.peer) * 1e3);
    std::printf("returning user, start to completion (documents in memory): %.2f ms: ratio %.2f (limit 1.50)\n",
                median(g_returningMemory.completed) * 1e3, ratio(g_returningMemory));
    std::printf("returning user, start to completion (documents on disk): %.2f ms: ratio %.2f\n",
                median(g_returningDisk.completed) * 1e3, ratio(g_returningDisk));
    std::printf("new user, start to completion (documents in memory): %.2f ms: ratio %.2f\n",
                median(g_newMemory.completed) * 1e3, ratio(g_newMemory));
    std::printf("new user, start to completion (documents on disk): %.2f ms: ratio %.2f\n",
                median(g_newDisk.completed) * 1e3, ratio(g_newDisk));
    return ratio(g_returningMemory) <= 1.5 ? 0 : 2;
}
