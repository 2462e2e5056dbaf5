// One GET to the in-process service over loopback HTTPS: through VelkoraUrlFetcher (libcurl's multi
// handle driven by the run loop) against a plain libcurl easy handle reused for the same address. Both
// keep their connection alive, so the figure shows the kit's own overhead per request; a fresh TLS
// handshake per request would show as a ratio far above 1.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <velkora_service/Service.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/VelkoraServerEndpoint.h"
#include "server/utils/RequestText.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"

namespace {

velkora::service::Service* g_service = nullptr;
std::string g_url;
std::string g_userDataUrl;  // one tagged getUserData request, for the plain handle
std::vector<double> g_fetcherTimes, g_plainTimes, g_pipelineTimes, g_plainUserDataTimes;

struct Counter : velkora::VelkoraUrlFetcherDelegate {
    int done = 0;
    void urlGotError(velkora::VelkoraUrlFetcher&, const velkora::foundation::ErrorPtr& e) override {
        std::fprintf(stderr, "fetcher error: %s\n", e->description().c_str());
        ++done;
    }
    void urlDidFinishWithString(velkora::VelkoraUrlFetcher&, const std::optional<std::string>&) override { ++done; }
};

double seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

void BM_VelkoraUrlFetcherGet(benchmark::State& state) {
    auto counter = std::make_shared<Counter>();
    auto fetcher = velkora::VelkoraUrlFetcher::create(counter);
    auto& loop = velkora::foundation::RunLoop::main();
    auto once = [&] {
        int target = counter->done + 1;
        fetcher->getUrl(g_url);
        loop.runUntil([&] { return counter->done >= target; }, 10);
    };
    once();  // the connection is made outside the measurement, as for the peer
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        once();
        g_fetcherTimes.push_back(seconds(t0, std::chrono::steady_clock::now()));
    }
}

size_t sink(char*, size_t size, size_t n, void* out) {
    static_cast<std::string*>(out)->append(size * n, 'x');
    return size * n;
}

// The peer: one plain libcurl easy handle, reused for every request to the same URL (its connection
// and TLS session stay warm, as the fetcher's should).
void plainCurlLoop(benchmark::State& state, const std::string& url, std::vector<double>& times) {
    CURL* easy = curl_easy_init();
    std::string body;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_CAINFO, g_service->caFile().c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &sink);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_perform(easy);
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        body.clear();
        CURLcode rc = curl_easy_perform(easy);
        times.push_back(seconds(t0, std::chrono::steady_clock::now()));
        if (rc != CURLE_OK) state.SkipWithError(curl_easy_strerror(rc));
    }
    curl_easy_cleanup(easy);
}

void BM_PlainCurlEasyGet(benchmark::State& state) { plainCurlLoop(state, g_url, g_plainTimes); }

// One getUserData through the whole kit: facade, agent, protocol object, fetcher, service, JSON reader,
// user parser and the caller's callback.
struct Answers {
    int done = 0;
    void answered(const velkora::foundation::Value&) { ++done; }
    void failed(const velkora::foundation::ErrorPtr& e) {
        std::fprintf(stderr, "pipeline error: %s\n", e->description().c_str());
        ++done;
    }
};

void BM_VelkoraServerApiGetUserData(benchmark::State& state) {
    auto answers = std::make_shared<Answers>();
    auto& loop = velkora::foundation::RunLoop::main();
    auto once = [&] {
        int target = answers->done + 1;
        velkora::VelkoraServerApi::getUserData(velkora::VelkoraCallback(answers, &Answers::answered, &Answers::failed));
        loop.runUntil([&] { return answers->done >= target; }, 10);
    };
    once();
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        once();
        g_pipelineTimes.push_back(seconds(t0, std::chrono::steady_clock::now()));
    }
}

void BM_PlainCurlEasyGetUserData(benchmark::State& state) {
    plainCurlLoop(state, g_userDataUrl, g_plainUserDataTimes);
}

BENCHMARK(BM_VelkoraUrlFetcherGet)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_PlainCurlEasyGet)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_VelkoraServerApiGetUserData)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_PlainCurlEasyGetUserData)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    velkora::service::Service service;
    if (!service.start()) {
        std::fprintf(stderr, "cannot start velkora-service\n");
        return 1;
    }
    g_service = &service;
    g_url = service.endpoint() + "?command=ping";
    velkora::foundation::UrlConnection::setCaFile(service.caFile());

    // A session already initialised for a user of the demo application.
    const std::string appId = velkora::service::Service::kDemoAppId;
    std::string userId = service.createUser(appId);
    velkora::VelkoraServerEndpoint::setServer(service.endpoint());
    auto& agent = velkora::VelkoraServerClientAgent::instance();
    agent.setAppId(appId);
    agent.setUserId(userId);
    agent.sessionInitialized();
    g_userDataUrl = velkora::tagRequestText(service.endpoint() + "?command=getUserData&clientType=1&build=2.5.7&appId=" +
                                            appId + "&userId=" + userId + "&clientV=15");

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    double fetcher = median(g_fetcherTimes) * 1e6, plain = median(g_plainTimes) * 1e6;
    double ratio = plain > 0 ? fetcher / plain : 0;
    std::printf("median GET: VelkoraUrlFetcher %.1f us, plain libcurl easy handle %.1f us, ratio %.2f (limit 1.30)\n",
                fetcher, plain, ratio);
    double pipeline = median(g_pipelineTimes) * 1e6, plainUserData = median(g_plainUserDataTimes) * 1e6;
    double pipelineRatio = plainUserData > 0 ? pipeline / plainUserData : 0;
    std::printf("median getUserData: VelkoraServerApi whole pipeline %.1f us, plain libcurl easy handle %.1f us, "
                "ratio %.2f (limit 1.50)\n",
                pipeline, plainUserData, pipelineRatio);
    return ratio <= 1.3 && pipelineRatio <= 1.5 ? 0 : 2;
}
