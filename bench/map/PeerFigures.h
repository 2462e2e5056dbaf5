// The figures of the map benches' runs, by benchmark and argument ("BM_MapWithPins/2000"): the median of
// the repetitions (or the one run) of the time and of one counter, for the ratios printed after the runs.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "BenchMain.h"

namespace velkora::bench {

class PeerFigures : public benchmark::ConsoleReporter {
public:
    explicit PeerFigures(std::string counter) : counter_(std::move(counter)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!isReportedFigure(run)) continue;
            const std::string key = run.run_name.function_name + "/" + run.run_name.args;
            if (isMedian(run) || !times_.count(key)) {
                times_[key] = run.GetAdjustedRealTime();
                auto counter = run.counters.find(counter_);
                if (counter != run.counters.end()) counters_[key] = counter->second.value;
            }
        }
    }
    // The larger's figure over the smaller's.
    double timeRatio(const std::string& large, const std::string& small) { return times_[large] / times_[small]; }
    double counterRatio(const std::string& large, const std::string& small) {
        return counters_[large] / counters_[small];
    }

private:
    std::string counter_;
    std::map<std::string, double> times_;
    std::map<std::string, double> counters_;
};

} // namespace velkora::bench
