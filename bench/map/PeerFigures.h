// The figures of the map benches' runs, by benchmark and argument ("BM_MapWithPins/2000"): the median of
// the repetitions (or the one run) of the time (the wall clock's, or the process's CPU time for work that
// runs on one thread and never waits) and of one counter, for the ratios printed after the runs.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "BenchMain.h"

namespace velkora::bench {

class PeerFigures : public benchmark::ConsoleReporter {
public:
    enum class Time { Wall, Cpu };
    explicit PeerFigures(std::string counter, Time time = Time::Wall) : counter_(std::move(counter)), time_(time) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!isReportedFigure(run)) continue;
            const std::string key = run.run_name.function_name + "/" + run.run_name.args;
            if (isMedian(run) || !times_.count(key)) {
                times_[key] = time_ == Time::Cpu ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
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
    Time time_;
    std::map<std::string, double> times_;
    std::map<std::string, double> counters_;
};

} // namespace velkora::bench
