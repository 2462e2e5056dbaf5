// A topic of 5,000 comments (texts of 1 to 500 UTF-16 units with emoji, stickers, pictures, three ads)
// at phone width: opening it (the comment list rebuilt, the rows mapped, every row's height for the first
// reload) beside measuring the same label texts once with the text layout, and one polled comment
// taken into the open topic beside that opening, in one run. Then the topic as the screen shows it (rows
// measured as they come into view) with 1,000 and with 100,000 comments: opening it and one polled comment
// should cost about the same at both sizes.
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchMain.h"
#include "ads/VelkoraNativeAd.h"
#include "conversations/VelkoraChatRoomsTopicViewController.h"
#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "feed/VelkoraFeedCellMeasure.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/Window.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "session/VelkoraScreenRegistry.h"
#include "data/VelkoraUserDetailsDisplayer.h"

namespace {

using namespace velkora;

constexpr int kComments = 5000;
constexpr int kSmall = 1000;
constexpr int kLarge = 100000;
constexpr double kSizeLimit = 2.0;
constexpr double kOpenLimit = 3.0;
constexpr double kPollLimit = 0.05;

// The screen's own work is measured, not the ad network's: ads are served at once and their rows are plain.
struct NoAds : VelkoraNativeAds {
    void reset() override {}
    void pullNativeAd(std::function<void(const std::shared_ptr<VelkoraNativeAd>&)> block) override { block(ad); }
    std::shared_ptr<VelkoraNativeAd> ad = std::make_shared<VelkoraNativeAd>();
};
class AdCell : public ui::TableViewCell, public VelkoraNativeAdRow {
public:
    double getHeight() const override { return 60; }
    void updateData(const std::shared_ptr<VelkoraNativeAd>&, int32_t) override {}
};

std::string textOf(int i) {
    static const char* kWords[] = {"hello", "from", "the", "room", "🎉", "where", "are", "you", "café", "🌍"};
    std::string s;
    const int units = 1 + (i * 37) % 500;
    while (static_cast<int>(s.size()) < units)
        s += std::string(s.empty() ? "" : " ") + kWords[(i + s.size()) % 10];
    return s;
}

VelkoraChatRoomsTopicPtr makeTopic(int comments = kComments) {
    auto topic = std::make_shared<VelkoraChatRoomsTopic>();
    topic->setTopicId(7);
    topic->setTitle(std::string("Bench room"));
    topic->setText(std::string("<p>x</p>"));
    topic->setContentType(std::string("text/html"));
    for (int i = 0; i < comments; ++i) {
        auto c = std::make_shared<VelkoraChatRoomsComment>();
        c->setCommentId(i + 1);
        c->setTopicId(7);
        auto u = std::make_shared<VelkoraUserInternal>();
        u->setUserId(bench::numbered("u", i % 50));
        u->setFirstName("Name" + std::to_string(i % 50));
        u->setLastName(std::string("Lund"));
        c->setUser(u);
        const int kind = i % 10;
        c->setContentType(std::string(kind == 3 ? "sticker" : kind == 7 ? "image" : "text/plain"));
        c->setText(kind == 3 ? "https://h.example/s.png" : kind == 7 ? "https://h.example/p.jpg" : textOf(i));
        topic->addComment(c);
    }
    return topic;
}

struct Opened {
    std::shared_ptr<VelkoraChatRoomsTopicViewController> screen;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::NavigationController> nav;
};

Opened open(const VelkoraChatRoomsTopicPtr& topic) {
    Opened o;
    o.screen = VelkoraChatRoomsTopicViewController::initWithTopic(topic);
    o.nav = ui::NavigationController::create(o.screen);
    o.window = ui::Window::createFullScreen();
    o.window->setRootViewController(o.nav);
    o.window->layoutIfNeeded();
    return o;
}

void showAds(VelkoraChatRoomsTopicViewController& screen) {
    screen.processAds(foundation::Value(foundation::Array{
        foundation::Value(foundation::Dictionary{{"type", foundation::Value(0)}, {"position", foundation::Value(2)}}),
        foundation::Value(foundation::Dictionary{{"type", foundation::Value(0)}, {"position", foundation::Value(40)}}),
        foundation::Value(
            foundation::Dictionary{{"type", foundation::Value(0)}, {"position", foundation::Value(900)}})}));
}

void BM_OpenTopic(benchmark::State& state) {
    auto topic = makeTopic();
    for (auto _ : state) {
        state.PauseTiming();
        auto o = open(topic);
        state.ResumeTiming();
        o.screen->reloadActiveComments();
        showAds(*o.screen);
        auto& table = *o.screen->commentsTableView();
        double total = 0;
        const int rows = table.numberOfRowsInSection(0);
        for (int r = 0; r < rows; ++r) {
            total += o.screen->heightForRowAtIndexPath(table, ui::IndexPath::of(r, 0));
            benchmark::DoNotOptimize(o.screen->commentForRow(r));
        }
        benchmark::DoNotOptimize(total);
    }
}

// The label texts the rows carry, measured once each in the label's font and width.
void BM_MeasureLabelTexts(benchmark::State& state) {
    auto topic = makeTopic();
    std::vector<std::string> texts;
    for (const auto& c : topic->getComments(false)) {
        const std::string name = VelkoraUserDetailsDisplayer::nameWithInitial(c->user().get());
        texts.push_back(*c->contentType() == "text/plain" ? name + " " + *c->text() : name);
    }
    const ui::Font font = ui::Font::systemFont(13);
    for (auto _ : state) {
        double total = 0;
        for (const auto& t : texts)
            total += velkoraMeasureLabelText(t, font, ui::LineBreakMode::WordWrap, 220).height;
        benchmark::DoNotOptimize(total);
    }
}

// A comment as a poll brings it.
VelkoraChatRoomsCommentPtr polledComment(int id) {
    auto c = std::make_shared<VelkoraChatRoomsComment>();
    c->setCommentId(id);
    auto u = std::make_shared<VelkoraUserInternal>();
    u->setUserId(std::string("poller"));
    u->setFirstName(std::string("Poll"));
    c->setUser(u);
    c->setContentType(std::string("text/plain"));
    c->setText(textOf(id + 1));
    return c;
}

void BM_OnePolledComment(benchmark::State& state) {
    auto topic = makeTopic();
    auto o = open(topic);
    o.screen->reloadActiveComments();
    auto& table = *o.screen->commentsTableView();
    for (int r = 0; r < table.numberOfRowsInSection(0); ++r)
        o.screen->heightForRowAtIndexPath(table, ui::IndexPath::of(r, 0));
    int next = kComments + 1;
    for (auto _ : state) {
        topic->addComment(polledComment(next++));
        o.screen->reloadActiveComments();
        double total = 0;
        for (int r = 0; r < table.numberOfRowsInSection(0); ++r)
            total += o.screen->heightForRowAtIndexPath(table, ui::IndexPath::of(r, 0));
        benchmark::DoNotOptimize(total);
    }
}

// The topic as the screen shows it: the comments listed, the ads placed and the window laid out, where
// the table measures the rows in view.
void BM_OpenShownTopic(benchmark::State& state) {
    auto topic = makeTopic(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto o = open(topic);
        state.ResumeTiming();
        o.screen->reloadActiveComments();
        showAds(*o.screen);
        o.window->layoutIfNeeded();
        benchmark::DoNotOptimize(o.screen->commentsTableView()->visibleCells().size());
    }
}

void BM_PolledCommentIntoShownTopic(benchmark::State& state) {
    const int comments = static_cast<int>(state.range(0));
    auto topic = makeTopic(comments);
    auto o = open(topic);
    o.screen->reloadActiveComments();
    showAds(*o.screen);
    o.window->layoutIfNeeded();
    int next = comments + 1;
    for (auto _ : state) {
        topic->addComment(polledComment(next++));
        o.screen->reloadActiveComments();
        o.window->layoutIfNeeded();
        benchmark::DoNotOptimize(o.screen->commentsTableView()->visibleCells().size());
    }
}

BENCHMARK(BM_OpenTopic)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasureLabelTexts)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OnePolledComment)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenShownTopic)->Arg(kSmall)->Arg(kLarge)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PolledCommentIntoShownTopic)->Arg(kSmall)->Arg(kLarge)->Iterations(20)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!bench::isReportedFigure(run)) continue;
            const std::string& args = run.run_name.args;
            const std::string name = run.run_name.function_name + (args.empty() ? "" : "/" + args);
            if (bench::isMedian(run) || !times_.count(name)) times_[name] = run.GetAdjustedRealTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nopening a topic of 5000 comments, against measuring its label texts: ratio %.2f (limit %.1f)\n",
                    times_["BM_OpenTopic"] / times_["BM_MeasureLabelTexts"], kOpenLimit);
        std::printf("one polled comment into it, against that opening: ratio %.3f (limit %.2f)\n",
                    times_["BM_OnePolledComment"] / times_["BM_OpenTopic"], kPollLimit);
        const std::string small = bench::numbered("/", kSmall), large = bench::numbered("/", kLarge);
        auto sized = [&](const char* what, const std::string& name) {
            std::printf("%s with %d comments against %d (%.2f ms, %.2f ms): ratio %.2f (limit %.1f)\n", what, kLarge,
                        kSmall, times_[name + large], times_[name + small], times_[name + large] / times_[name + small],
                        kSizeLimit);
        };
        sized("topic as shown, opened", "BM_OpenShownTopic");
        sized("one polled comment into it", "BM_PolledCommentIntoShownTopic");
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    foundation::Log::setSink([](foundation::LogLevel, const std::string&) {});
    foundation::RunLoop::main().useTestClock();
    auto data = std::make_shared<VelkoraAppData>();
    data->setMaxMessagesPerUpdate(20);
    data->setNAdsPerPeriod(10);
    data->setAdsPeriodSecs(3600);
    VelkoraAgentInternal::instance().setAppData(data);
    VelkoraAgentInternal::instance().initUserInfo("bench");
    auto ads = std::make_shared<NoAds>();
    VelkoraScreenRegistry::instance().registerObject<VelkoraNativeAds>(VelkoraKitObjectNames::kNativeAds,
                                                                       [ads](const foundation::Value&) { return ads; });
    VelkoraScreenRegistry::instance().registerObject<ui::TableViewCell>(
        VelkoraKitObjectNames::kNativeAdRow, [](const foundation::Value&) { return std::make_shared<AdCell>(); });
    RatioReporter reporter;
    return bench::runBenchmarks(argc, argv, {"--benchmark_repetitions=3"}, reporter);
}
