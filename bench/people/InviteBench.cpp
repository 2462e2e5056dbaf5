// The invite list of 12,000 Facebook friends arriving in three pages, each page re-sorting and
// re-sectioning everyone received (keys worked out once, as each friend arrives), beside std::sort over
// the same keys computed beforehand plus one pass putting them in their sections; and one search keystroke
// beside std::string::find over names folded beforehand, each side collecting the friends found.
#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "BenchMain.h"
#include "social/VelkoraFBConnector.h"
#include "people/VelkoraInviteSocialNetworkViewController.h"
#include "people/VelkoraUserListSections.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/TextFolding.h"

namespace {

using namespace velkora;

constexpr int kFriends = 12000;
constexpr int kPages = 3;
constexpr double kPagesLimit = 2.0;
constexpr double kSearchLimit = 1.5;

// Names as a friends list holds them: mostly plain, some accented, a few lower-case or starting with a
// digit, in no order.
std::vector<VelkoraSocialFriendPtr> makeFriends() {
    static const char* kFirst[] = {"Ana",   "Bruno",      "Chlo\u00e9", "\u00c9mile", "J\u00f6anna", "Zoe",
                                   "marta", "Nuno",       "Ol\u00e1",   "Pedro",      "Rita",        "7up",
                                   "Sofia", "Tom\u00e1s", "In\u00eas",  "Carla"};
    static const char* kLast[] = {"Souza", "Lima", "Martin", "Laurent", "Lind", "Park", "Gon\u00e7alves", "Holm"};
    std::vector<VelkoraSocialFriendPtr> friends;
    friends.reserve(kFriends);
    for (int i = 0; i < kFriends; ++i) {
        const int k = (i * 7919) % kFriends;
        auto f = std::make_shared<VelkoraFBUser>();
        f->setFbId(100000000000 + k);
        f->setName(std::string(kFirst[k % 16]) + std::to_string(k % 97) + " " + kLast[(k / 16) % 8]);
        friends.push_back(f);
    }
    return friends;
}

const std::vector<VelkoraSocialFriendPtr>& allFriends() {
    static const std::vector<VelkoraSocialFriendPtr> made = makeFriends();
    return made;
}

std::vector<VelkoraSocialFriendPtr> page(int p) {
    const auto& all = allFriends();
    const size_t size = all.size() / kPages;
    return {all.begin() + static_cast<std::ptrdiff_t>(size * static_cast<size_t>(p)),
            all.begin() + static_cast<std::ptrdiff_t>(size * static_cast<size_t>(p + 1))};
}

void BM_InvitePages(benchmark::State& state) {
    std::array<std::vector<VelkoraSocialFriendPtr>, kPages> pages;
    for (int p = 0; p < kPages; ++p)
        pages[static_cast<size_t>(p)] = page(p);
    for (auto _ : state) {
        VelkoraInviteSections sections;
        for (const auto& p : pages) {
            sections.add(p);
            sections.rebuildSorted();
        }
        benchmark::DoNotOptimize(sections.section(1).data());
    }
    state.SetItemsProcessed(state.iterations() * kFriends);
}

// The peer: every key made beforehand; each page sorts everyone received so far, then buckets them.
void BM_SortPrecomputedKeysAndBucket(benchmark::State& state) {
    struct Keyed {
        std::string key;
        int section;
        VelkoraSocialFriendPtr user;
    };
    std::vector<Keyed> keyed;
    for (const auto& f : allFriends()) {
        const std::string name = f->fullName();
        keyed.push_back({VelkoraInviteSections::sortKey(name), VelkoraUserListSections::sectionForName(name), f});
    }
    const size_t size = keyed.size() / kPages;
    for (auto _ : state) {
        for (size_t received = size; received <= keyed.size(); received += size) {
            std::vector<Keyed> copy(keyed.begin(), keyed.begin() + static_cast<std::ptrdiff_t>(received));
            std::sort(copy.begin(), copy.end(), [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
            std::array<std::vector<VelkoraSocialFriendPtr>, 28> buckets;
            for (const auto& k : copy)
                buckets[static_cast<size_t>(k.section)].push_back(k.user);
            benchmark::DoNotOptimize(buckets[1].data());
        }
    }
    state.SetItemsProcessed(state.iterations() * kFriends);
}

const VelkoraInviteSections& listed() {
    static const VelkoraInviteSections made = [] {
        VelkoraInviteSections s;
        s.add(allFriends());
        s.rebuildSorted();
        return s;
    }();
    return made;
}

void BM_InviteSearchKeystroke(benchmark::State& state) {
    const auto& s = listed();
    for (auto _ : state) {
        auto found = s.filter("ANN");
        benchmark::DoNotOptimize(found.data());
    }
    state.SetItemsProcessed(state.iterations() * kFriends);
}

void BM_FindInFoldedNames(benchmark::State& state) {
    std::vector<std::pair<std::string, VelkoraSocialFriendPtr>> folded;
    for (const auto& f : allFriends())
        folded.emplace_back(foundation::foldForSearch(f->fullName()), f);
    const std::string needle = "ann";
    for (auto _ : state) {
        std::vector<VelkoraSocialFriendPtr> found;
        found.reserve(100);
        for (const auto& [name, user] : folded)
            if (name.find(needle) != std::string::npos) found.push_back(user);
        benchmark::DoNotOptimize(found.data());
    }
    state.SetItemsProcessed(state.iterations() * kFriends);
}

BENCHMARK(BM_InvitePages)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortPrecomputedKeysAndBucket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InviteSearchKeystroke)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindInFoldedNames)->Unit(benchmark::kMicrosecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!bench::isReportedFigure(run)) continue;
            const std::string name = run.run_name.function_name;
            if (bench::isMedian(run) || !times_.count(name)) times_[name] = run.GetAdjustedRealTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\ninvite list of %d Facebook friends in %d pages (keys, sort, sections each page): ratio %.2f "
                    "(limit %.1f)\n",
                    kFriends, kPages, times_["BM_InvitePages"] / times_["BM_SortPrecomputedKeysAndBucket"],
                    kPagesLimit);
        std::printf("invite list search keystroke over %d friends: ratio %.2f (limit %.1f)\n", kFriends,
                    times_["BM_InviteSearchKeystroke"] / times_["BM_FindInFoldedNames"], kSearchLimit);
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    foundation::Log::setSink([](foundation::LogLevel, const std::string&) {});
    RatioReporter reporter;
    return velkora::bench::runBenchmarks(argc, argv, {"--benchmark_repetitions=5"}, reporter);
}
