// Reads the same generated JSON with the kit's reader, nlohmann::json, RapidJSON and simdjson (DOM) in one
// run and prints each one's MB/s and the kit's throughput against each peer.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <simdjson.h>

#include "BenchMain.h"
#include "FeedCorpus.h"
#include "server/utils/VelkoraKXJsonParser.h"

namespace {

const std::string& corpus(int which) {
    static const std::string feed = velkora::bench::makeFeedPage();
    static const std::string reply = velkora::bench::makeUserReply();
    return which == 0 ? feed : reply;
}

const char* corpusName(int which) {
    return which == 0 ? "feed" : "reply";
}

// Each iteration reads the whole text into a document and throws the document away, as a reply handler does.
void BM_Kit(benchmark::State& state) {
    const std::string& text = corpus(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        velkora::VelkoraKXJsonParser parser;
        auto value = parser.objectWithString(text);
        if (!value) state.SkipWithError("the kit's reader refused the corpus");
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetLabel(corpusName(static_cast<int>(state.range(0))));
}

void BM_Nlohmann(benchmark::State& state) {
    const std::string& text = corpus(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto value = nlohmann::json::parse(text, nullptr, false);
        if (value.is_discarded()) state.SkipWithError("nlohmann refused the corpus");
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetLabel(corpusName(static_cast<int>(state.range(0))));
}

void BM_RapidJson(benchmark::State& state) {
    const std::string& text = corpus(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(text.data(), text.size());
        if (document.HasParseError()) state.SkipWithError("RapidJSON refused the corpus");
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetLabel(corpusName(static_cast<int>(state.range(0))));
}

void BM_SimdjsonDom(benchmark::State& state) {
    const std::string& text = corpus(static_cast<int>(state.range(0)));
    simdjson::padded_string padded(text);
    simdjson::dom::parser parser;
    for (auto _ : state) {
        simdjson::dom::element element;
        if (parser.parse(padded).get(element)) state.SkipWithError("simdjson refused the corpus");
        benchmark::DoNotOptimize(element);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetLabel(corpusName(static_cast<int>(state.range(0))));
}

BENCHMARK(BM_Kit)->Arg(0)->Arg(1);
BENCHMARK(BM_Nlohmann)->Arg(0)->Arg(1);
BENCHMARK(BM_RapidJson)->Arg(0)->Arg(1);
BENCHMARK(BM_SimdjsonDom)->Arg(0)->Arg(1);

// Prints the usual table, then the kit's throughput as a multiple of each peer's on each corpus, from the
// median of the repetitions (the machine may be shared; runs are interleaved so load hits all alike).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!velkora::bench::isReportedFigure(run)) continue;
            const bool median = velkora::bench::isMedian(run);
            auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end()) continue;
            std::string name = run.run_name.function_name.substr(3); // without "BM_"
            auto& slot = mbPerSecond_[run.report_label][name];
            if (median) medians_[run.report_label][name] = it->second.value / 1e6;
            slot.push_back(it->second.value / 1e6);
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto& [corpusLabel, results] : mbPerSecond_) {
            std::map<std::string, double> mb;
            for (const auto& [name, values] : results) {
                auto m = medians_[corpusLabel].find(name);
                mb[name] = m != medians_[corpusLabel].end() ? m->second : values.back();
            }
            auto kit = mb.find("Kit");
            if (kit == mb.end()) continue;
            std::printf("\n%s (%zu bytes), median MB/s:\n", corpusLabel.c_str(),
                        corpus(corpusLabel == "feed" ? 0 : 1).size());
            for (const auto& [peer, value] : mb)
                std::printf("  %-12s %9.1f MB/s\n", peer.c_str(), value);
            for (const auto& [peer, value] : mb)
                if (peer != "Kit") std::printf("  kit / %-11s %6.2fx\n", peer.c_str(), kit->second / value);
        }
        // The bars: the kit's throughput against RapidJSON's, a reader of the same kind (a whole document
        // in memory), on each corpus.
        for (const auto& [corpusLabel, bar] : std::map<std::string, double>{{"feed", 1.0}, {"reply", 1.2}}) {
            auto kit = medians_[corpusLabel].find("Kit");
            auto peer = medians_[corpusLabel].find("RapidJson");
            if (kit == medians_[corpusLabel].end() || peer == medians_[corpusLabel].end()) continue;
            std::printf("JSON reader on the %s corpus, kit's throughput / RapidJSON's: ratio %.2f (at least %.1f)\n",
                        corpusLabel.c_str(), kit->second / peer->second, bar);
        }
    }

private:
    std::map<std::string, std::map<std::string, std::vector<double>>> mbPerSecond_;
    std::map<std::string, std::map<std::string, double>> medians_;
};

} // namespace

int main(int argc, char** argv) {
    // Interleaved, so that load on the machine hits every reader alike.
    RatioReporter reporter;
    return velkora::bench::runBenchmarks(
        argc, argv, {"--benchmark_enable_random_interleaving=true", "--benchmark_repetitions=5"}, reporter);
}
