// Reading pages into what the web view draws: a hostile page (end tags of elements never opened after each
// start tag) beside a plain page of the same size, at 90 KB and at 900 KB. The last lines give every figure
// as "<what>: ratio R (limit L)".
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

#include "BenchMain.h"
#include "platform/foundation/Log.h"
#include "platform/ui/WebViewDocument.h"

using namespace velkora;

namespace {

std::string repeated(const std::string& piece, size_t bytes) {
    std::string out;
    out.reserve(bytes + piece.size());
    while (out.size() < bytes)
        out += piece;
    return out;
}

std::string hostilePage(size_t bytes) {
    return repeated("<div></x>", bytes);
}

std::string plainPage(size_t bytes) {
    return repeated("<p>Lorem ipsum dolor sit amet, consectetur.</p>\n", bytes);
}

constexpr size_t kSmall = 90 * 1024;
constexpr size_t kLarge = 900 * 1024;

void BM_Page(benchmark::State& state, std::string (*make)(size_t), size_t bytes) {
    std::string page = make(bytes);
    for (auto _ : state) {
        auto doc = ui::WebViewDocument::parse(page, "https://host.example/");
        benchmark::DoNotOptimize(doc.text().length());
    }
}

BENCHMARK_CAPTURE(BM_Page, Hostile90K, hostilePage, kSmall)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Page, Plain90K, plainPage, kSmall)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Page, Hostile900K, hostilePage, kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Page, Plain900K, plainPage, kLarge)->Unit(benchmark::kMillisecond);

// The peak memory one reading of the page adds, in kilobytes: measured in a child process of its own, as
// the growth of its peak resident size.
long peakKilobytes(std::string (*make)(size_t), size_t bytes) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return -1;
    pid_t child = ::fork();
    if (child == 0) {
        std::string page = make(bytes);
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        auto doc = ui::WebViewDocument::parse(page, "https://host.example/");
        benchmark::DoNotOptimize(doc.text().length());
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        long grown = after.ru_maxrss - before.ru_maxrss;
        (void)!::write(pipeEnds[1], &grown, sizeof grown);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    long grown = -1;
    if (child < 0 || ::read(pipeEnds[0], &grown, sizeof grown) != sizeof grown) grown = -1;
    ::close(pipeEnds[0]);
    if (child > 0) ::waitpid(child, nullptr, 0);
    return grown;
}

struct Memory {
    long hostileSmall, hostileLarge, plainSmall, plainLarge;
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(Memory memory) : memory_(memory) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!velkora::bench::isReportedFigure(run)) continue;
            std::string name = run.run_name.function_name;
            name = name.substr(name.find('/') + 1);
            if (velkora::bench::isMedian(run) || !times_.count(name)) times_[name] = run.GetAdjustedRealTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        auto ratio = [&](const char* a, const char* b) {
            return times_.count(a) && times_.count(b) && times_[b] > 0 ? times_[a] / times_[b] : -1.0;
        };
        std::printf("\nHostile page of 90 KB: %.2f ms, %ld KB at its peak; of 900 KB: %.2f ms, %ld KB at its peak\n",
                    times_["Hostile90K"], memory_.hostileSmall, times_["Hostile900K"], memory_.hostileLarge);
        std::printf("Plain page of 90 KB: %.2f ms, %ld KB at its peak; of 900 KB: %.2f ms, %ld KB at its peak\n",
                    times_["Plain90K"], memory_.plainSmall, times_["Plain900K"], memory_.plainLarge);
        // Linear: ten times the bytes cost about ten times as much.
        std::printf("Hostile page, 900 KB against 90 KB: ratio %.2f (limit 15)\n", ratio("Hostile900K", "Hostile90K"));
        std::printf("Hostile page against a plain page, 900 KB: ratio %.2f (limit 2)\n",
                    ratio("Hostile900K", "Plain900K"));
        std::printf("Hostile page's peak memory against a plain page's, 900 KB: ratio %.2f (limit 2)\n",
                    memory_.plainLarge > 0 ? double(memory_.hostileLarge) / double(memory_.plainLarge) : -1.0);
    }

private:
    Memory memory_;
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    foundation::Log::setSink([](foundation::LogLevel, const std::string&) {});
    Memory memory{peakKilobytes(hostilePage, kSmall), peakKilobytes(hostilePage, kLarge),
                  peakKilobytes(plainPage, kSmall), peakKilobytes(plainPage, kLarge)};
    RatioReporter reporter(memory);
    return velkora::bench::runBenchmarks(argc, argv, {"--benchmark_repetitions=3"}, reporter);
}
