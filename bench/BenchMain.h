// What the benchmark programs share: their default options and the choice of the figure each run reports.
#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

namespace velkora::bench {

// A name with a number after it ("u42", "/20000"). Written as an append: GCC 12 at -O3 warns of an
// overlapping copy inside `"literal" + std::to_string(n)`.
inline std::string numbered(std::string_view prefix, long long n) {
    std::string text(prefix);
    text += std::to_string(n);
    return text;
}

inline bool isMedian(const benchmark::BenchmarkReporter::Run& run) {
    return run.run_type == benchmark::BenchmarkReporter::Run::RT_Aggregate && run.aggregate_name == "median";
}

// The median of a run's repetitions, or the run itself when it was not repeated.
inline bool isReportedFigure(const benchmark::BenchmarkReporter::Run& run) {
    if (run.error_occurred) return false;
    if (run.run_type == benchmark::BenchmarkReporter::Run::RT_Iteration) return true;
    return isMedian(run);
}

// Runs the registered benchmarks through `reporter`. Unless the command line names its own repetitions,
// `defaults` are added to it (the machine may be shared: repeated runs give a median).
inline int runBenchmarks(int argc, char** argv, std::vector<std::string> defaults,
                         benchmark::BenchmarkReporter& reporter) {
    std::vector<char*> args(argv, argv + argc);
    bool given = false;
    for (int i = 1; i < argc; ++i)
        given = given || std::string(argv[i]).starts_with("--benchmark_repetitions");
    if (!given) {
        for (auto& option : defaults)
            args.insert(args.begin() + 1, option.data());
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace velkora::bench
