// The picture caches and the attributed label, each figure beside a plain peer measured in the same run.
// The last lines give every figure as "<what>: ratio R (limit L)" or "(at least L)".
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "BenchMain.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/TextLayout.h"
#include "shell/VelkoraAttributedLabel.h"
#include "server/utils/VelkoraCachedImageFetcher.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraResizedImagesCache.h"

using namespace velkora;

namespace {

constexpr int kAddresses = 3000;
const ui::Size kTarget{10, 10};

std::string address(int i) {
    return "https://127.0.0.1:8443/pictures/wall/" + std::to_string(i) + ".png";
}

std::shared_ptr<ui::Image> smallPicture() {
    static auto picture = ui::Image::create(10, 10);
    return picture;
}

// The peer's key, made for every lookup as the cache's callers name entries.
std::string textKey(const std::string& url, ui::Size size) {
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "-%f-%f", double(float(size.width)), double(float(size.height)));
    return url + numbers;
}

// Half the lookups hit (even addresses are held), half miss.
std::vector<std::string> lookupAddresses() {
    std::vector<std::string> out;
    std::mt19937 random(7);
    for (int i = 0; i < 4096; ++i)
        out.push_back(address(int(random() % (2 * kAddresses))));
    return out;
}

void BM_CacheLookup(benchmark::State& state) {
    auto& cache = VelkoraResizedImagesCache::instance();
    cache.removeAllImages();
    cache.setByteLimit(VelkoraResizedImagesCache::kDefaultByteLimit);
    for (int i = 0; i < 2 * kAddresses; i += 2)
        cache.insertImage(smallPicture(), address(i), kTarget);
    auto lookups = lookupAddresses();
    size_t at = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(cache.getImageWithKey(lookups[at], kTarget));
        at = (at + 1) & 4095;
    }
}

void BM_MapLookup(benchmark::State& state) {
    std::unordered_map<std::string, std::shared_ptr<ui::Image>> map;
    for (int i = 0; i < 2 * kAddresses; i += 2)
        map[textKey(address(i), kTarget)] = smallPicture();
    auto lookups = lookupAddresses();
    size_t at = 0;
    for (auto _ : state) {
        auto it = map.find(textKey(lookups[at], kTarget));
        benchmark::DoNotOptimize(it == map.end() ? nullptr : it->second);
        at = (at + 1) & 4095;
    }
}

// The stricter peer: its key texts made ahead, so only the hash lookup is measured.
void BM_MapLookupKeysMadeAhead(benchmark::State& state) {
    std::unordered_map<std::string, std::shared_ptr<ui::Image>> map;
    for (int i = 0; i < 2 * kAddresses; i += 2)
        map[textKey(address(i), kTarget)] = smallPicture();
    std::vector<std::string> keys;
    for (const auto& url : lookupAddresses())
        keys.push_back(textKey(url, kTarget));
    size_t at = 0;
    for (auto _ : state) {
        auto it = map.find(keys[at]);
        benchmark::DoNotOptimize(it == map.end() ? nullptr : it->second);
        at = (at + 1) & 4095;
    }
}

// ---- Disk hits

constexpr int kFiles = 1000;

struct DiskFixture {
    std::string root;
    std::vector<std::string> urls;
    DiskFixture() {
        char pattern[] = "/tmp/velkora-bench-images-XXXXXX";
        root = mkdtemp(pattern);
        foundation::Paths::setRoot(root);
        for (int i = 0; i < kFiles; ++i) {
            auto context = ui::GraphicsContext::bitmap({64, 64}, 1.0, true);
            context->setFillColor(ui::Color::rgba((i % 7) / 7.0, (i % 11) / 11.0, (i % 13) / 13.0));
            context->fillEllipseInRect({double(i % 20), double(i % 30), 30, 30});
            auto bytes = context->makeImage()->pngData();
            std::string url = address(i);
            foundation::writeFileAtomically(
                VelkoraCachedImageFetcher::fileNameForUrl(url),
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
            urls.push_back(url);
        }
    }
    ~DiskFixture() {
        VelkoraCachedImageFetcher::queue().waitUntilIdle();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

DiskFixture& disk() {
    static DiskFixture fixture;
    return fixture;
}

struct Counter : VelkoraLazyImageDelegate {
    int finished = 0;
    Counter() {
        imageDidFinish = [this](VelkoraLazyImageView&) { ++finished; };
    }
};

void BM_DiskHits(benchmark::State& state) {
    auto& files = disk();
    auto counter = std::make_shared<Counter>();
    for (auto _ : state) {
        counter->finished = 0;
        std::vector<std::shared_ptr<VelkoraLazyImageView>> views;
        views.reserve(kFiles);
        for (const auto& url : files.urls) {
            auto view = VelkoraLazyImageView::create({0, 0, 64, 64});
            view->setUsingCache(true);
            view->setDelegate(counter);
            view->getImage(url);
            views.push_back(std::move(view));
        }
        foundation::RunLoop::main().runUntil([&] { return counter->finished == kFiles; }, 120);
        if (counter->finished != kFiles) state.SkipWithError("not every picture arrived");
    }
}

void BM_PlainReadAndDecode(benchmark::State& state) {
    auto& files = disk();
    for (auto _ : state) {
        int decoded = 0;
        for (const auto& url : files.urls) {
            auto bytes = foundation::readFile(VelkoraCachedImageFetcher::fileNameForUrl(url));
            decoded += bytes && ui::Image::fromData(*bytes) ? 1 : 0;
        }
        benchmark::DoNotOptimize(decoded);
    }
}

// ---- Label measuring

constexpr int kLabels = 1000;

std::string commentText(int i) {
    return "Comment " + std::to_string(i) + ": the northern lights were out again tonight, see velkora.example/" +
           std::to_string(i) + " for the photos";
}

void BM_LabelSizeThatFits(benchmark::State& state) {
    std::vector<std::shared_ptr<VelkoraAttributedLabel>> labels;
    for (int i = 0; i < kLabels; ++i) {
        auto label = VelkoraAttributedLabel::create({0, 0, 240, 40});
        label->setFont(ui::Font::systemFont(14));
        label->setNumberOfLines(0);
        label->setText(commentText(i));
        label->sizeThatFits({240, 0}); // the first measure of an unchanged label
        labels.push_back(std::move(label));
    }
    for (auto _ : state) {
        for (auto& label : labels)
            benchmark::DoNotOptimize(label->sizeThatFits({240, 0}));
    }
}

void BM_FreshMeasureText(benchmark::State& state) {
    std::vector<ui::AttributedString> texts;
    ui::Attributes attributes{{ui::attr::Font, ui::Font::systemFont(14)}};
    for (int i = 0; i < kLabels; ++i)
        texts.emplace_back(commentText(i), attributes);
    for (auto _ : state) {
        for (const auto& text : texts)
            benchmark::DoNotOptimize(ui::measureText(text, 240));
    }
}

BENCHMARK(BM_CacheLookup);
BENCHMARK(BM_MapLookup);
BENCHMARK(BM_MapLookupKeysMadeAhead);
BENCHMARK(BM_DiskHits)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainReadAndDecode)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LabelSizeThatFits)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreshMeasureText)->Iterations(3)->Unit(benchmark::kMillisecond);

// ---- Hit rate of a replayed scroll (counted, not timed)

struct HitRate {
    double bounded = 0, unbounded = 0, peakShare = 0;
};

// A wall scrolled up and down over the addresses: the visible window of 30 pictures moves by small
// steps, mostly forward, sometimes back. The bound holds twice the window.
HitRate replayScroll() {
    auto& cache = VelkoraResizedImagesCache::instance();
    cache.removeAllImages();
    const size_t pictureBytes = 10 * 10 * 4;
    const size_t bound = 60 * pictureBytes;
    cache.setByteLimit(bound);
    std::unordered_map<std::string, std::shared_ptr<ui::Image>> unbounded;
    std::mt19937 random(11);
    int top = 0, lookups = 0, boundedHits = 0, unboundedHits = 0;
    size_t peak = 0;
    while (lookups < 20000) {
        int step = int(random() % 7) - 2; // -2 ... 4 rows of three
        top = std::clamp(top + step * 3, 0, kAddresses - 30);
        for (int i = top; i < top + 30 && lookups < 20000; ++i, ++lookups) {
            std::string url = address(i);
            if (cache.getImageWithKey(url, kTarget)) {
                ++boundedHits;
            } else {
                cache.insertImage(smallPicture(), url, kTarget);
            }
            peak = std::max(peak, cache.totalBytes());
            std::string key = textKey(url, kTarget);
            if (unbounded.count(key)) {
                ++unboundedHits;
            } else {
                unbounded[key] = smallPicture();
            }
        }
    }
    cache.setByteLimit(VelkoraResizedImagesCache::kDefaultByteLimit);
    cache.removeAllImages();
    return {double(boundedHits) / lookups, double(unboundedHits) / lookups, double(peak) / double(bound)};
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(HitRate rate) : rate_(rate) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!velkora::bench::isReportedFigure(run)) continue;
            std::string name = run.run_name.function_name.substr(3);
            if (velkora::bench::isMedian(run) || !times_.count(name)) times_[name] = run.GetAdjustedRealTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        auto ratio = [&](const char* a, const char* b) {
            return times_.count(a) && times_.count(b) && times_[b] > 0 ? times_[a] / times_[b] : -1.0;
        };
        std::printf("\nMemory lookups: ratio %.2f (limit 1.5)\n", ratio("CacheLookup", "MapLookup"));
        std::printf("Memory lookups, the peer's keys made ahead: ratio %.2f (limit 1.5)\n",
                    ratio("CacheLookup", "MapLookupKeysMadeAhead"));
        std::printf("Hit rate: ratio %.3f (at least 0.9)   [bounded %.3f, unbounded %.3f]\n",
                    rate_.unbounded > 0 ? rate_.bounded / rate_.unbounded : -1.0, rate_.bounded, rate_.unbounded);
        std::printf("Peak bytes / bound: ratio %.2f (limit 1.0)\n", rate_.peakShare);
        std::printf("Disk hits: ratio %.2f (limit 1.5)\n", ratio("DiskHits", "PlainReadAndDecode"));
        std::printf("Label measuring: ratio %.3f (limit 0.3)\n", ratio("LabelSizeThatFits", "FreshMeasureText"));
    }

private:
    HitRate rate_;
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    foundation::Log::setSink([](foundation::LogLevel, const std::string&) {});
    RatioReporter reporter(replayScroll());
    return velkora::bench::runBenchmarks(argc, argv, {"--benchmark_repetitions=3"}, reporter);
}
