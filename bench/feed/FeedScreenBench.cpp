// The feed screen over 1,000, 10,000 and 100,000 items of every kind held in memory, in a phone-sized
// window: the first display (from the repository's notification to the wired, reloaded table) of 10,000
// beside measuring the same sentences once with the text layout; the first display and one poll of 20
// items and 3 refreshed likes at 100,000 items beside the same at 1,000 (what a screen costs should follow
// what it shows, not how long the list is), with the repository's taking of the items before the first
// display printed beside it as a figure; and a scroll over every row of 10,000 with pictures: the
// resized-images cache's peak against its bound and the cells made.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BenchMain.h"
#include "ScreenHost.h"
#include "data/VelkoraChatRoomsComment.h"
#include "data/VelkoraChatRoomsTopic.h"
#include "feed/VelkoraFeedCell.h"
#include "feed/VelkoraFeedViewController.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/Window.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraFeedMessagesRepository.h"
#include "shell/VelkoraImageFetcher.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraResizedImagesCache.h"

namespace {

using namespace velkora;
using Clock = std::chrono::steady_clock;

constexpr int kItems = 10000;
constexpr int kFewItems = 1000;
constexpr int kManyItems = 100000;
constexpr int kUsers = 500;
constexpr double kFirstLimit = 2.0;
constexpr double kGrowthLimit = 2.0;

// Texts of 1 to 300 UTF-16 units, with emoji (two units each).
std::string text(int i) {
    static const char* kWords[] = {"harbour", "\U0001F600", "tiles", "quiz", "\u00e9t\u00e9", "lights", "run", "a"};
    const size_t units = 1 + static_cast<size_t>((i * 37) % 300);
    std::string s;
    size_t n = 0;
    for (int w = 0; n < units; ++w) {
        std::string word = kWords[(i + w) % 8];
        s += word + " ";
        n += (word == "\U0001F600" ? 2 : word.size()) + 1;
    }
    return s.substr(0, s.size() - 1);
}

VelkoraUserPtr user(int i) {
    static std::vector<VelkoraUserPtr> users = [] {
        std::vector<VelkoraUserPtr> made;
        for (int u = 0; u < kUsers; ++u) {
            auto p = std::make_shared<VelkoraUserInternal>();
            // Spelled with snprintf: GCC 12 warns falsely on a literal + std::to_string here.
            char id[16], first[32];
            std::snprintf(id, sizeof id, "u%d", u);
            p->setUserId(std::string(id));
            p->setAppId(std::string("bench"));
            std::snprintf(first, sizeof first, "%s%d", u % 3 ? "Zo\u00eb" : "Ame\u0301lie", u);
            p->setFirstName(std::string(first));
            p->setLastName(std::string("Lund"));
            p->setUserPhotoUrl("https://pictures.example/u" + std::to_string(u) + ".png");
            made.push_back(p);
        }
        return made;
    }();
    return users[static_cast<size_t>(i % kUsers)];
}

struct Items {
    std::vector<VelkoraFeedMessagePtr> posts;
    std::vector<VelkoraLikeObjectPtr> likes;
};

VelkoraFeedMessagePtr post(int i, double now) {
    auto p = std::make_shared<VelkoraFeedMessage>();
    p->setMessageId(i + 1);
    p->setSender(user(i));
    p->setOtherUser(user(i + 7));
    p->setMessageType(i % 4 == 0 ? 1 + i % 3 : 0);
    p->setMessage(text(i));
    p->setDescText(text(i + 11));
    p->setTopicTitle(text(i + 3));
    p->setTime(now - i * 7.3);
    return p;
}

VelkoraLikeObjectPtr like(int i, double now) {
    static const int32_t kTypes[] = {VelkoraLikeObject::POST, VelkoraLikeObject::IMAGE, VelkoraLikeObject::TOPIC,
                                     VelkoraLikeObject::COMMENT, VelkoraLikeObject::VIDEO};
    auto l = std::make_shared<VelkoraLikeObject>();
    l->setObjectId(i + 1);
    l->setChangeNumber(i + 1);
    // Likes are every fifth item: their own count picks the type, so every kind of like is there.
    l->setType(kTypes[(i / 5) % 5]);
    l->setUsers({user(i + 3)});
    l->setNumLikes(1 + i % 9);
    l->setDescription(text(i + 1));
    // A picture of its own per like, so the scroll fills the resized-images cache up to its bound.
    l->setData("https://pictures.example/p" + std::to_string(i) + ".png");
    l->setTime(now - i * 36.1);
    auto topic = std::make_shared<VelkoraChatRoomsTopic>();
    topic->setTitle(text(i + 5));
    auto comment = std::make_shared<VelkoraChatRoomsComment>();
    comment->setUser(user(i + 2));
    comment->setText(i % 2 ? text(i + 9) : "https://pictures.example/c.png");
    comment->setContentType(std::string(i % 2 ? "text/plain" : "image"));
    l->setChatRoomsTopic(topic);
    l->setChatRoomsComment(comment);
    l->setFeedMessage(post(100000 + i, now));
    return l;
}

Items items(double now, int count) {
    Items made;
    for (int i = 0; i < count; ++i) {
        if (i % 5 == 4)
            made.likes.push_back(like(i, now));
        else
            made.posts.push_back(post(i, now));
    }
    return made;
}

using bench::HostPictures;
using Host = bench::ScreenHost;

struct Shown {
    std::shared_ptr<VelkoraFeedViewController> screen;
    std::shared_ptr<ui::Window> window;
};

// A shown window is held by the application until it hides: a screen left showing would go on taking
// every later feed and poll, and its work would count in the next screen's figures.
void close(Shown& shown) {
    if (shown.window) shown.window->setHidden(true);
    shown = {};
}

bool shownAll(const VelkoraFeedViewController& s) {
    return s.listIsCurrent() && s.tableController() && s.tableController()->isWired();
}

void pumpUntilShown(const VelkoraFeedViewController& s) {
    foundation::RunLoop::main().runUntil([&] { return shownAll(s); }, 600);
}

// A screen over the held items, appeared and observing, its table wired to the empty first list.
Shown openScreen(const std::shared_ptr<Host>& host) {
    auto screen = VelkoraFeedViewController::initFromNib(false);
    screen->setFeatureTabDelegate(host);
    auto nav = ui::NavigationController::create(screen);
    nav->setNavigationBarHidden(true);
    auto window = ui::Window::createFullScreen();
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    window->layoutIfNeeded();
    foundation::RunLoop::main().runUntil(
        [&] { return screen->tableController() && screen->tableController()->isWired(); }, 60);
    pumpUntilShown(*screen);
    return {screen, window};
}

std::shared_ptr<Host>& host() {
    static auto h = std::make_shared<Host>();
    return h;
}

double seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// The items of one size at a time: the largest list alone holds hundreds of megabytes.
const Items& heldItems(int count) {
    static int madeCount = 0;
    static Items made;
    if (madeCount != count) {
        made = {};
        made = items(foundation::RunLoop::main().now(), count);
        madeCount = count;
    }
    return made;
}

// A screen made over an empty repository, so the arrival of the feed starts its whole list.
Shown emptyScreen() {
    VelkoraFeedMessagesRepository::resetForTests();
    return openScreen(host());
}

void fill(int count) {
    const Items& held = heldItems(count);
    VelkoraFeedMessagesRepository::instance().gotFirstFeedMessages(held.posts, held.likes);
}

// A screen showing the whole feed.
Shown loadedScreen(int count) {
    auto shown = emptyScreen();
    fill(count);
    pumpUntilShown(*shown.screen);
    return shown;
}

// The first display runs from the repository's notification of the new feed to the wired, reloaded table,
// as a person who opened the feed waits for it. Before it, the repository takes the feed's items: loading
// data that grows with the list by nature, timed on its own beside it.
void BM_FirstDisplay(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const Items& held = heldItems(count);
    // The pictures come from the host, as in the poll: the figure is the screen's, not the network's (a
    // download let go while its host name is still being looked up holds the main thread until the
    // look-up ends).
    VelkoraAgentInternal::instance().setImageFetcher(std::make_shared<HostPictures>());
    auto& center = foundation::NotificationCenter::defaultCenter();
    double taking = 0;
    for (auto _ : state) {
        VelkoraFeedMessagesRepository::resetForTests();
        Clock::time_point announced{};
        // Registered before the screen, so it is told first.
        const auto observer = center.addObserver(VelkoraFeedMessagesRepository::kGotFeedNotification, nullptr,
                                                 [&](const foundation::Notification&) { announced = Clock::now(); });
        auto shown = openScreen(host());
        // The items as a reply's reader hands them over: made before the clock starts, then moved in.
        auto posts = held.posts;
        auto likes = held.likes;
        const auto start = Clock::now();
        VelkoraFeedMessagesRepository::instance().gotFirstFeedMessages(std::move(posts), std::move(likes));
        pumpUntilShown(*shown.screen);
        const auto end = Clock::now();
        center.removeObserver(observer);
        if (announced == Clock::time_point{}) {
            state.SkipWithError("the feed was not announced");
            break;
        }
        state.SetIterationTime(seconds(announced, end));
        taking += seconds(start, announced);
        if (shown.screen->getMessagesAndLikes().size() < static_cast<size_t>(count) * 9 / 10)
            state.SkipWithError("the list is not whole");
        close(shown);
    }
    state.counters["taking_ms"] = 1000 * taking / static_cast<double>(std::max<int64_t>(1, state.iterations()));
    VelkoraAgentInternal::instance().setImageFetcher(nullptr);
}

// The same sentences measured once each with the text layout, in a loop.
void BM_MeasureSentencesOnce(benchmark::State& state) {
    auto shown = loadedScreen(kItems);
    auto controller = shown.screen->tableController();
    std::vector<VelkoraFeedCellText> texts;
    for (const auto& item : shown.screen->getMessagesAndLikes()) {
        auto cell = controller->feedCellsPerType().at(VelkoraFeedTableController::feedCellTypeForActivity(*item));
        texts.push_back(cell->textFor(item));
    }
    for (auto _ : state) {
        const auto start = Clock::now();
        double total = 0;
        for (const auto& t : texts) {
            const auto& g = controller->feedCellsPerType().at(t.kind)->geometry();
            total += ui::measureText(t.activity, g.activity.font, velkoraLabelWidth(t, g.activity), 0,
                                     g.activity.lineBreakMode)
                         .height;
            if (t.kind == 3 || t.kind == 7)
                total +=
                    ui::measureText(t.poster, g.poster.font, velkoraLabelWidth(t, g.poster), 0, g.poster.lineBreakMode)
                        .height;
            if ((t.kind == 5 || t.kind == 6) && !t.hasTopicPhoto)
                total += ui::measureText(t.description, g.description.font, velkoraDescriptionWidth(t, g), 0,
                                         g.description.lineBreakMode)
                             .height;
        }
        benchmark::DoNotOptimize(total);
        state.SetIterationTime(seconds(start, Clock::now()));
    }
    close(shown);
}

// Every picture asked for under the view has come.
bool noPictureLoading(const ui::View& view) {
    if (const auto* lazy = dynamic_cast<const VelkoraLazyImageView*>(&view); lazy && lazy->isLoading()) return false;
    for (const auto& sub : view.subviews())
        if (!noPictureLoading(*sub)) return false;
    return true;
}

// One poll: 20 new items on top and 3 held likes refreshed in place by new likers, as the reply's reader
// refreshes the like objects the repository holds.
void BM_OnePoll(benchmark::State& state) {
    // The pictures of the rows a poll brings come from the host, and they are all in before the next
    // poll: the time is the poll's, not that of the last poll's pictures.
    VelkoraAgentInternal::instance().setImageFetcher(std::make_shared<HostPictures>());
    auto shown = loadedScreen(static_cast<int>(state.range(0)));
    auto picturesIn = [&] {
        if (!foundation::RunLoop::main().runUntil([&] { return noPictureLoading(*shown.window); }, 60))
            state.SkipWithError("the pictures did not arrive");
    };
    picturesIn();
    auto& repository = VelkoraFeedMessagesRepository::instance();
    int next = 1000000;
    double later = 1;
    int round = 0;
    for (auto _ : state) {
        const double now = foundation::RunLoop::main().now();
        std::vector<VelkoraMessagePtr> fresh;
        for (int i = 0; i < 20; ++i) {
            auto p = post(next++, now);
            p->setTime(now + later++);
            fresh.push_back(p);
        }
        std::vector<VelkoraLikeObjectPtr> refreshed;
        for (int i = 0; i < 3; ++i) {
            const int item = 4 + 5 * (i + round * 3);
            auto l = repository.likeObjectWithId(item + 1);
            l->setChangeNumber(next++);
            l->setUsers({user(next), user(item + 3)});
            l->setNumLikes(l->numLikes() + 1);
            l->setTime(now + later++);
            refreshed.push_back(l);
        }
        ++round;
        const auto start = Clock::now();
        repository.gotMessages(fresh);
        repository.gotLikes(refreshed);
        pumpUntilShown(*shown.screen);
        state.SetIterationTime(seconds(start, Clock::now()));
        picturesIn();
    }
    close(shown);
    VelkoraAgentInternal::instance().setImageFetcher(nullptr);
}

BENCHMARK(BM_FirstDisplay)
    ->Arg(kFewItems)
    ->Arg(kItems)
    ->Arg(kManyItems)
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasureSentencesOnce)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OnePoll)
    ->Arg(kFewItems)
    ->Arg(kItems)
    ->Arg(kManyItems)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// Every row scrolled through with its pictures: the cache's peak against its bound, and the cells made.
void scrollFigures() {
    auto pictures = std::make_shared<HostPictures>();
    VelkoraAgentInternal::instance().setImageFetcher(pictures);
    auto shown = loadedScreen(kItems);
    auto table = shown.screen->feedTable();
    auto& cache = VelkoraResizedImagesCache::instance();
    size_t peak = 0, mostVisible = 0;
    const double height = table->bounds().height();
    // The content grows or shrinks as estimated rows are measured on the way down.
    for (double y = 0; y < table->contentSize().height; y += height * 0.5) {
        table->setContentOffset({0, y}, false);
        shown.window->layoutIfNeeded();
        // The pictures of the rows on screen arrive before the next step.
        if (!foundation::RunLoop::main().runUntil([&] { return noPictureLoading(*table); }, 60)) {
            std::printf("feed scroll: the pictures at %.0f did not arrive\n", y);
            break;
        }
        peak = std::max(peak, cache.totalBytes());
        mostVisible = std::max(mostVisible, table->visibleCells().size());
    }
    VelkoraAgentInternal::instance().setImageFetcher(nullptr);
    std::printf("feed scroll, resized-images cache peak / bound: ratio %.3f (limit 1.0) [%zu of %zu bytes]\n",
                static_cast<double>(peak) / static_cast<double>(cache.byteLimit()), peak, cache.byteLimit());
    std::printf("feed scroll, cells made / (rows on screen + one per kind): ratio %.2f (limit 1.0) [%zu cells, %zu "
                "rows on screen]\n",
                static_cast<double>(shown.screen->tableController()->cellsMade()) /
                    static_cast<double>(mostVisible + 7),
                shown.screen->tableController()->cellsMade(), mostVisible);
    close(shown);
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!bench::isReportedFigure(run)) continue;
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
            if (bench::isMedian(run) || !times_.count(name)) {
                times_[name] = run.GetAdjustedRealTime();
                if (auto taking = run.counters.find("taking_ms"); taking != run.counters.end())
                    taking_[name] = taking->second;
            }
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        auto at = [this](const char* name, int count) {
            return times_[std::string(name) + "/" + std::to_string(count)];
        };
        std::printf("\nfeed first display / measuring the sentences once: ratio %.2f (limit %.1f)\n",
                    at("BM_FirstDisplay", kItems) / times_["BM_MeasureSentencesOnce"], kFirstLimit);
        std::printf("feed first display of 100,000 items / of 1,000: ratio %.2f (limit %.1f) [%.1f ms, %.1f ms]\n",
                    at("BM_FirstDisplay", kManyItems) / at("BM_FirstDisplay", kFewItems), kGrowthLimit,
                    at("BM_FirstDisplay", kManyItems), at("BM_FirstDisplay", kFewItems));
        const double takingMany = taking_["BM_FirstDisplay/" + std::to_string(kManyItems)],
                     takingFew = taking_["BM_FirstDisplay/" + std::to_string(kFewItems)];
        std::printf("feed taken into the repository before it, 100,000 items / 1,000 (loading grows with the "
                    "items): ratio %.2f [%.1f ms, %.1f ms]\n",
                    takingFew > 0 ? takingMany / takingFew : 0.0, takingMany, takingFew);
        std::printf("feed one poll of 20 items and 3 refreshed likes over 100,000 items / over 1,000: ratio %.2f "
                    "(limit %.1f) [%.2f ms, %.2f ms]\n",
                    at("BM_OnePoll", kManyItems) / at("BM_OnePoll", kFewItems), kGrowthLimit,
                    at("BM_OnePoll", kManyItems), at("BM_OnePoll", kFewItems));
        scrollFigures();
    }

private:
    std::map<std::string, double> times_;
    std::map<std::string, double> taking_;
};

} // namespace

int main(int argc, char** argv) {
    foundation::Log::setSink([](foundation::LogLevel, const std::string&) {});
    ui::Screen::main().setBounds({0, 0, 320, 568});
    RatioReporter reporter;
    return velkora::bench::runBenchmarks(argc, argv, {"--benchmark_repetitions=3"}, reporter);
}
