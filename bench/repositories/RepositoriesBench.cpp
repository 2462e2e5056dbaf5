// One update poll (100 new feed items and 100 private messages, half of them from new senders) merged
// into the feed and chats repositories when they already hold 1,000, 10,000 and 100,000 items, beside a
// plain merge that scans vectors. The time per poll should hardly move with what is held.
//
// Measured twice: with the caches as the reload before the poll left them, and with them emptied first.
// Polls come seconds apart and the host does other work in between, so the second is the poll as it
// runs in an application; the first also shows how much of the growth is the data falling out of the
// caches (a thousand conversations fit in the second-level cache, a hundred thousand in no cache).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "BenchMain.h"
#include "session/VelkoraChatsRepository.h"
#include "session/VelkoraFeedMessagesRepository.h"
#include "platform/foundation/Log.h"

using namespace velkora;

namespace {

constexpr int kPerPoll = 100;

VelkoraUserPtr makeUser(const std::string& id) {
    auto u = std::make_shared<VelkoraUserInternal>();
    u->setUserId(id);
    return u;
}

VelkoraMessagePtr makeMessage(int32_t id, const VelkoraUserPtr& sender, double time) {
    auto m = std::make_shared<VelkoraMessageInternal>();
    m->setMessageId(id);
    m->setSender(sender);
    m->setTime(time);
    return m;
}

VelkoraFeedMessagePtr makeItem(int32_t id) {
    auto f = std::make_shared<VelkoraFeedMessage>();
    f->setMessageId(id);
    f->setResendId(id);
    return f;
}

// What the repositories hold before the poll, and the poll itself; built once per size.
struct World {
    std::vector<VelkoraChatPtr> chats;
    std::vector<VelkoraFeedMessagePtr> feed;
    std::vector<VelkoraMessagePtr> pollFeed;
    std::vector<VelkoraMessagePtr> pollMessages;
    // The conversations the poll's messages from known senders go to, to take those messages back out.
    std::vector<VelkoraChatPtr> touched;

    explicit World(int held) {
        std::mt19937 random(7);
        for (int i = 0; i < held; ++i) {
            auto chat = std::make_shared<VelkoraChat>();
            chat->setUser(makeUser(std::to_string(i).insert(0, 1, 'u')));
            chat->mutableMessages().push_back(makeMessage(i + 1, chat->user(), 1e9 - i));
            chat->setNumMessages(1);
            chats.push_back(chat);
            feed.push_back(makeItem(held - i));
        }
        for (int i = 0; i < kPerPoll; ++i)
            pollFeed.push_back(makeItem(held + kPerPoll - i));
        for (int i = 0; i < kPerPoll; ++i) {
            VelkoraUserPtr sender;
            if (i % 2 == 0) {
                auto chat = chats[random() % chats.size()];
                touched.push_back(chat);
                sender = chat->user();
            } else {
                sender = makeUser(std::to_string(i).insert(0, "new"));
            }
            pollMessages.push_back(makeMessage(held + 1 + i, sender, 2e9 + i));
        }
    }
    void untouch() {
        for (auto& chat : touched) {
            auto& messages = chat->mutableMessages();
            messages.erase(messages.begin());
            chat->setNumMessages(chat->numMessages() - 1);
        }
    }
};

// Reloading a repository between polls frees as many small blocks as it held. The allocator sorts them
// a bounded number at a time on later requests that its small lists cannot answer, which would otherwise
// be the poll's: a cost of the reload, not of the merge, so such requests are made while the timing is
// paused, enough of them to sort everything the largest reload freed.
void settleAllocator() {
    for (int i = 0; i < 64; ++i) {
        void* block = std::malloc(64 * 1024);
        benchmark::DoNotOptimize(block);
        std::free(block);
    }
}

// Walks a buffer a few times the size of the last-level cache, which leaves none of the repositories'
// data in any cache.
void emptyCaches() {
    static std::vector<char> junk = [] {
        long llc = sysconf(_SC_LEVEL3_CACHE_SIZE);
        size_t size = std::max<size_t>(64u << 20, llc > 0 ? 4 * static_cast<size_t>(llc) : 0);
        return std::vector<char>(size, 1);
    }();
    for (size_t i = 0; i < junk.size(); i += 64)
        junk[i] = static_cast<char>(junk[i] + 1);
    benchmark::DoNotOptimize(junk.data());
}

World& world(int held) {
    static std::map<int, std::unique_ptr<World>> worlds;
    auto& w = worlds[held];
    if (!w) w = std::make_unique<World>(held);
    return *w;
}

void mergePolls(benchmark::State& state, bool cold) {
    World& w = world(static_cast<int>(state.range(0)));
    auto& chats = VelkoraChatsRepository::instance();
    auto& feed = VelkoraFeedMessagesRepository::instance();
    for (auto _ : state) {
        state.PauseTiming();
        chats.gotChats(w.chats);
        feed.gotFirstFeedMessages(w.feed, {});
        settleAllocator();
        if (cold) emptyCaches();
        state.ResumeTiming();
        feed.gotMessages(w.pollFeed);
        chats.gotMessages(w.pollMessages);
        state.PauseTiming();
        if (chats.userToChats().size() != w.chats.size() + kPerPoll / 2 ||
            feed.feedMessages().size() != w.feed.size() + kPerPoll)
            state.SkipWithError("the poll was not merged");
        w.untouch();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 2 * kPerPoll);
}

void BM_Repositories(benchmark::State& state) {
    mergePolls(state, false);
}

void BM_RepositoriesColdCaches(benchmark::State& state) {
    mergePolls(state, true);
}

// The same merge on plain vectors: a linear search for each item and a full sort of the conversations.
void BM_VectorScan(benchmark::State& state) {
    World& w = world(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<VelkoraFeedMessagePtr> feed = w.feed;
        std::vector<VelkoraChatPtr> chats = w.chats;
        settleAllocator();
        state.ResumeTiming();
        for (auto it = w.pollFeed.rbegin(); it != w.pollFeed.rend(); ++it) {
            auto item = std::static_pointer_cast<VelkoraFeedMessage>(*it);
            bool held = std::any_of(feed.begin(), feed.end(),
                                    [&](const auto& f) { return f->messageId() == item->messageId(); });
            if (!held) feed.insert(feed.begin(), item);
        }
        for (const auto& m : w.pollMessages) {
            auto found = std::find_if(chats.begin(), chats.end(),
                                      [&](const auto& c) { return c->user()->isEqual(m->sender()); });
            if (found == chats.end()) {
                auto chat = std::make_shared<VelkoraChat>();
                chat->setUser(m->sender());
                chat->mutableMessages().push_back(m);
                chats.insert(chats.begin(), chat);
            } else {
                (*found)->mutableMessages().insert((*found)->mutableMessages().begin(), m);
            }
        }
        std::stable_sort(chats.begin(), chats.end(), [](const auto& a, const auto& b) {
            return *a->messages().front()->time() > *b->messages().front()->time();
        });
        benchmark::DoNotOptimize(chats.data());
        state.PauseTiming();
        w.untouch();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 2 * kPerPoll);
}

BENCHMARK(BM_Repositories)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RepositoriesColdCaches)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_VectorScan)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(40)->Unit(benchmark::kMicrosecond);

// Prints the usual table, then for each merge the median time per poll at each size and its ratio to the
// smallest size.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!bench::isReportedFigure(run)) continue;
            const bool median = bench::isMedian(run);
            const std::string name = run.run_name.function_name.substr(3); // without "BM_"
            const int held = std::stoi(run.run_name.args);
            const double micros = run.GetAdjustedRealTime(); // in the benchmark's unit, microseconds
            if (median || !medians_[name].count(held)) medians_[name][held] = micros;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto& [name, bySize] : medians_) {
            std::printf("\n%s: median time per poll (100 feed items + 100 messages)\n", name.c_str());
            const double smallest = bySize.begin()->second;
            for (const auto& [held, micros] : bySize)
                std::printf("  %7d held  %10.1f us   x%.2f of %d held   (the logarithm grows x%.2f)\n", held, micros,
                            micros / smallest, bySize.begin()->first,
                            std::log(double(held)) / std::log(double(bySize.begin()->first)));
        }
    }

private:
    std::map<std::string, std::map<int, double>> medians_;
};

} // namespace

int main(int argc, char** argv) {
    // The repositories ask the server client to poll when they load; without a session it only logs.
    foundation::Log::setSink([](foundation::LogLevel, const std::string&) {});
    RatioReporter reporter;
    return velkora::bench::runBenchmarks(argc, argv, {"--benchmark_repetitions=5"}, reporter);
}
