// The stand-in service's getChats for a user with 1,000 and with 10,000 conversations: each other user
// wrote once and was answered once, and posted three feed items, so the feed and the messages grow with
// the inbox. The request is answered in-process (no network), so the figure is the query and the reply.
// Twice the conversations should cost about twice the time: the ratio of the two sizes is the bar.
#include <velkora_service/Service.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchMain.h"
#include "platform/foundation/Log.h"
#include "server/utils/RequestText.h"

namespace {

using namespace velkora;

constexpr int kSmall = 1000;
constexpr int kLarge = 10000;
constexpr double kLinearLimit = 12.0;

struct Inbox {
    std::unique_ptr<service::Service> service;
    std::string target;
};

// A service whose user "me" has `conversations` chats, each with another user who also posts to the feed.
Inbox& inbox(int conversations) {
    static std::map<int, Inbox> made;
    auto it = made.find(conversations);
    if (it != made.end()) return it->second;
    Inbox box;
    box.service = std::make_unique<service::Service>();
    if (!box.service->start()) {
        std::fprintf(stderr, "cannot start velkora-service\n");
        std::exit(1);
    }
    service::Service& svc = *box.service;
    const std::string app = service::Service::kDemoAppId;
    service::UserFields mine;
    mine.firstName = "Me";
    const std::string me = svc.createUser(app, mine);
    std::vector<service::UserFields> fields(static_cast<size_t>(conversations));
    for (int i = 0; i < conversations; ++i)
        fields[static_cast<size_t>(i)].firstName = "Friend " + std::to_string(i);
    const std::vector<std::string> others = svc.createUsers(app, fields);
    for (const std::string& other : others) {
        svc.sendMessage(app, other, me, "hello from " + other);
        svc.sendMessage(app, me, other, "hello back");
        for (int p = 0; p < 3; ++p)
            svc.postFeed(app, other, "post " + std::to_string(p));
    }
    const std::string text =
        tagRequestText(svc.endpoint() + "?command=getChats&clientType=1&build=2.5.7&appId=" + app + "&userId=" + me);
    box.target = "/VelkoraServer2/api" + text.substr(svc.endpoint().size());
    // Once before it is timed, for both sizes alike: the larger inbox takes a single timed run, so without
    // this its figure alone would carry the first read of the database into the page cache.
    svc.answer("GET", box.target);
    return made.emplace(conversations, std::move(box)).first->second;
}

void BM_GetChats(benchmark::State& state) {
    const int conversations = static_cast<int>(state.range(0));
    Inbox& box = inbox(conversations);
    for (auto _ : state) {
        auto reply = box.service->answer("GET", box.target);
        if (reply.status != 200 || reply.body.find("\"chats\"") == std::string::npos) {
            state.SkipWithError("getChats failed");
            break;
        }
        benchmark::DoNotOptimize(reply.body.data());
    }
    state.SetItemsProcessed(state.iterations() * conversations);
}

BENCHMARK(BM_GetChats)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond)->MinTime(0.5);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!bench::isReportedFigure(run)) continue;
            const std::string name = run.benchmark_name();
            const std::string key = name.find(bench::numbered("/", kLarge)) != std::string::npos ? "large" : "small";
            if (bench::isMedian(run) || !times_.count(key)) times_[key] = run.GetAdjustedRealTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nservice getChats, %d conversations against %d (%.1f ms, %.1f ms): ratio %.2f (limit %.1f)\n",
                    kLarge, kSmall, times_["large"], times_["small"], times_["large"] / times_["small"], kLinearLimit);
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    foundation::Log::setSink([](foundation::LogLevel, const std::string&) {});
    RatioReporter reporter;
    return velkora::bench::runBenchmarks(argc, argv, {"--benchmark_repetitions=3"}, reporter);
}
