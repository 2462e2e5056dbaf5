// The live window (SDL's off-screen driver, so it runs anywhere) over the feed screen holding 10,000
// items: one frame after a scroll step, and one after a single row changed, each beside a full redraw of
// the same screen in the same run; then the window left alone for two seconds, which must draw nothing.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchMain.h"
#include "ScreenHost.h"
#include "session/VelkoraFeedMessagesRepository.h"
#include "data/VelkoraUserInternal.h"
#include "feed/VelkoraFeedViewController.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Label.h"
#include "platform/ui/LiveWindow.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace {

using namespace velkora;
using Clock = std::chrono::steady_clock;

constexpr int kItems = 10000;
constexpr double kScrollLimit = 1.0;
constexpr double kOneRowLimit = 0.25;

using Host = bench::ScreenHost;

struct Feed {
    std::shared_ptr<Host> host = std::make_shared<Host>();
    std::shared_ptr<VelkoraFeedViewController> screen;
    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::LiveWindow> live;
};

Feed& feed() {
    static Feed* f = [] {
        auto* made = new Feed;
        const double now = foundation::RunLoop::main().now();
        std::vector<VelkoraFeedMessagePtr> posts;
        for (int i = 0; i < kItems; ++i) {
            auto sender = std::make_shared<VelkoraUserInternal>();
            sender->setUserId(bench::numbered("u", i % 300));
            sender->setFirstName(bench::numbered("Zo\u00eb ", i % 300));
            sender->setLastName(std::string("Lund"));
            auto p = std::make_shared<VelkoraFeedMessage>();
            p->setMessageId(i + 1);
            p->setSender(sender);
            p->setMessage("Harbour lights, quiz night and \u00e9t\u00e9 tiles, item " + std::to_string(i) +
                          std::string(size_t(i % 5) * 12, 'a'));
            p->setTime(now - i * 7.3);
            posts.push_back(p);
        }
        made->screen = VelkoraFeedViewController::initFromNib(false);
        made->screen->setFeatureTabDelegate(made->host);
        auto nav = ui::NavigationController::create(made->screen);
        nav->setNavigationBarHidden(true);
        made->window = ui::Window::createFullScreen();
        made->window->setRootViewController(nav);
        made->window->makeKeyAndVisible();
        VelkoraFeedMessagesRepository::instance().gotFirstFeedMessages(posts, {});
        foundation::RunLoop::main().runUntil([&] { return made->screen->listIsCurrent(); }, 600);
        std::string error;
        made->live = ui::LiveWindow::open({"bench", 2.0}, &error);
        if (!made->live)
            std::fprintf(stderr, "no window: %s\n", error.c_str());
        else
            made->live->drawIfNeeded();
        return made;
    }();
    return *f;
}

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_FullRedraw(benchmark::State& state) {
    auto& f = feed();
    if (!f.live) return state.SkipWithError("no window");
    for (auto _ : state) {
        f.live->renderer().invalidateAll();
        const auto start = Clock::now();
        f.live->drawIfNeeded();
        state.SetIterationTime(since(start));
    }
}

// One wheel notch down the feed: the offset moves, the table lays out its rows, the frame is drawn and
// shown.
void BM_ScrollFrame(benchmark::State& state) {
    auto& f = feed();
    if (!f.live) return state.SkipWithError("no window");
    auto table = f.screen->feedTable();
    double y = table->contentOffset().y;
    for (auto _ : state) {
        y += 40;
        if (y > table->maxContentOffset().y) y = 0;
        const auto start = Clock::now();
        table->setContentOffset({0, y}, false);
        if (!f.live->drawIfNeeded()) state.SkipWithError("the scroll drew nothing");
        state.SetIterationTime(since(start));
    }
}

// The first label of a row on screen.
ui::Label* firstLabel(ui::View& v) {
    if (auto* l = dynamic_cast<ui::Label*>(&v); l && !l->text().empty() && !l->isHidden()) return l;
    for (auto& sub : v.subviews())
        if (auto* l = firstLabel(*sub)) return l;
    return nullptr;
}

void BM_OneRowChanged(benchmark::State& state) {
    auto& f = feed();
    if (!f.live) return state.SkipWithError("no window");
    auto table = f.screen->feedTable();
    f.live->drawIfNeeded();
    int round = 0;
    for (auto _ : state) {
        auto cells = table->visibleCells();
        ui::Label* label = cells.empty() ? nullptr : firstLabel(*cells[cells.size() / 2]);
        if (!label) return state.SkipWithError("no row on screen");
        const auto start = Clock::now();
        label->setText("changed " + std::to_string(++round));
        if (!f.live->drawIfNeeded()) state.SkipWithError("the change drew nothing");
        state.SetIterationTime(since(start));
    }
}

BENCHMARK(BM_FullRedraw)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollFrame)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneRowChanged)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

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
        std::printf("\nwindow feed scroll, median frame / full redraw: ratio %.2f (limit %.2f)\n",
                    times_["BM_ScrollFrame"] / times_["BM_FullRedraw"], kScrollLimit);
        std::printf("window feed, one row changed, median frame / full redraw: ratio %.2f (limit %.2f)\n",
                    times_["BM_OneRowChanged"] / times_["BM_FullRedraw"], kOneRowLimit);
        idleFigure();
    }

private:
    // The window with nothing to do for two seconds of real time draws no frame.
    static void idleFigure() {
        auto& f = feed();
        if (!f.live) return;
        f.live->drawIfNeeded();
        const auto before = f.live->renderer().framesDrawn();
        auto stop = foundation::RunLoop::main().schedule(2.0, false, [&](foundation::Timer&) { f.live->stop(); });
        f.live->run();
        std::printf("idle window for 2 s, frames drawn: ratio %.0f (limit 0)\n",
                    double(f.live->renderer().framesDrawn() - before));
    }
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    foundation::Log::setSink([](foundation::LogLevel, const std::string&) {});
    // An off-screen window unless a display is chosen.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    ui::Screen::main().setBounds({0, 0, 320, 568});
    RatioReporter reporter;
    return velkora::bench::runBenchmarks(argc, argv, {"--benchmark_repetitions=3"}, reporter);
}
