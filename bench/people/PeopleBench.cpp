// A user list of 5,000 people: the list's new data (full names, folding for search, the case-sensitive sort
// and the 28 sections) beside std::sort over the same full names computed beforehand plus one pass putting
// them in their sections; and one search keystroke beside std::string::find over names folded beforehand,
// each side collecting the users found.
#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchMain.h"
#include "data/VelkoraUserInternal.h"
#include "people/VelkoraUserListSections.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/TextFolding.h"
#include "data/VelkoraUserDetailsDisplayer.h"

namespace {

using namespace velkora;

constexpr int kUsers = 5000;
constexpr double kNewDataLimit = 2.0;
constexpr double kSearchLimit = 1.5;

// Names as a list of followers holds them: mostly plain, some accented, a few lower-case or starting with a
// digit, in no order.
std::vector<VelkoraUserPtr> makeUsers() {
    static const char* kFirst[] = {"Ana",   "Bruno",      "Chlo\u00e9", "\u00c9mile", "J\u00f6anna", "Zoe",
                                   "marta", "Nuno",       "Ol\u00e1",   "Pedro",      "Rita",        "7up",
                                   "Sofia", "Tom\u00e1s", "In\u00eas",  "Carla"};
    static const char* kLast[] = {"Souza", "Lima", "Martin", "Laurent", "Lind", "Park", "Gon\u00e7alves", "Holm"};
    std::vector<VelkoraUserPtr> users;
    users.reserve(kUsers);
    for (int i = 0; i < kUsers; ++i) {
        const int k = (i * 7919) % kUsers; // a spread, not the order of creation
        auto u = std::make_shared<VelkoraUserInternal>();
        u->setUserId(bench::numbered("u", k));
        u->setAppId(std::string("bench"));
        u->setFirstName(std::string(kFirst[k % 16]) + std::to_string(k % 97));
        u->setLastName(std::string(kLast[(k / 16) % 8]));
        users.push_back(u);
    }
    return users;
}

const std::vector<VelkoraUserPtr>& users() {
    static const std::vector<VelkoraUserPtr> made = makeUsers();
    return made;
}

void BM_ListNewData(benchmark::State& state) {
    const auto& all = users();
    for (auto _ : state) {
        VelkoraUserListSections sections;
        sections.merge(all);
        sections.rebuild();
        benchmark::DoNotOptimize(sections.section(1).data());
    }
    state.SetItemsProcessed(state.iterations() * kUsers);
}

// The peer: the full names already made, sorted with std::sort, then one pass into the sections.
void BM_SortPrecomputedKeysAndBucket(benchmark::State& state) {
    const auto& all = users();
    std::vector<std::pair<std::string, VelkoraUserPtr>> keyed;
    keyed.reserve(all.size());
    for (const auto& u : all)
        keyed.emplace_back(VelkoraUserDetailsDisplayer::nameFull(u.get()), u);
    for (auto _ : state) {
        auto copy = keyed;
        std::sort(copy.begin(), copy.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::array<std::vector<VelkoraUserPtr>, 28> buckets;
        for (const auto& [name, user] : copy)
            buckets[static_cast<size_t>(VelkoraUserListSections::sectionForName(name))].push_back(user);
        benchmark::DoNotOptimize(buckets[1].data());
    }
    state.SetItemsProcessed(state.iterations() * kUsers);
}

const VelkoraUserListSections& listed() {
    static const VelkoraUserListSections made = [] {
        VelkoraUserListSections s;
        s.merge(users());
        s.rebuild();
        return s;
    }();
    return made;
}

// Typed in capitals without the accent: every keystroke folds it again, as the screen does.
const char* const kTyped = "ANN";

void BM_SearchKeystroke(benchmark::State& state) {
    const auto& s = listed();
    for (auto _ : state) {
        auto found = s.filter(kTyped);
        benchmark::DoNotOptimize(found.data());
    }
    state.SetItemsProcessed(state.iterations() * kUsers);
}

// The peer: the names folded beforehand, each searched with std::string::find, the hits collected as the
// list's result.
void BM_FindInFoldedNames(benchmark::State& state) {
    struct Folded {
        std::string first, last;
        VelkoraUserPtr user;
    };
    std::vector<Folded> folded;
    for (const auto& u : users())
        folded.push_back({foundation::foldForSearch(u->firstName().value_or("")),
                          foundation::foldForSearch(u->lastName().value_or("")), u});
    const std::string needle = "ann";
    for (auto _ : state) {
        std::vector<VelkoraUserPtr> found;
        found.reserve(100);
        for (const auto& f : folded)
            if (f.first.find(needle) != std::string::npos || f.last.find(needle) != std::string::npos)
                found.push_back(f.user);
        benchmark::DoNotOptimize(found.data());
    }
    state.SetItemsProcessed(state.iterations() * kUsers);
}

BENCHMARK(BM_ListNewData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortPrecomputedKeysAndBucket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchKeystroke)->Unit(benchmark::kMicrosecond);
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
        std::printf("\nuser list new data of %d users (names, folding, sort, sections): ratio %.2f (limit %.1f)\n",
                    kUsers, times_["BM_ListNewData"] / times_["BM_SortPrecomputedKeysAndBucket"], kNewDataLimit);
        std::printf("user list search keystroke over %d users: ratio %.2f (limit %.1f)\n", kUsers,
                    times_["BM_SearchKeystroke"] / times_["BM_FindInFoldedNames"], kSearchLimit);
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
