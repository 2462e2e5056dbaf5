// A chat of 10,000 messages over 200 days (texts of 1 to 300 UTF-16 units with emoji, stickers and photos
// mixed in) in a phone-sized table: opening it (the data source filled, the first reload with every row's
// height) beside measuring the same texts once with the text layout, and one live message taken into the
// opened chat (admitted, the table updated, scrolled to the end) beside that opening, in one run.
// Then the chat as the screen shows it (rows measured as they come into view) with 1,000 and with
// 100,000 messages: opening it and one live message should cost about the same at both sizes.
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchMain.h"
#include "conversations/VelkoraChatOneCells.h"
#include "conversations/VelkoraChatOneDataSource.h"
#include "data/VelkoraChat.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextLayout.h"
#include "server/VelkoraServerApi.h"

namespace {

using namespace velkora;

constexpr int kMessages = 10000;
constexpr int kSmall = 1000;
constexpr int kLarge = 100000;
constexpr double kSizeLimit = 2.0;
constexpr int kDays = 200;
constexpr double kOpenLimit = 2.0;
constexpr double kLiveLimit = 0.02;
constexpr double kStart = 1.7e9;

struct Heights : ui::TableViewDelegate {
    std::shared_ptr<VelkoraChatOneDataSource> source;
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip) override {
        return source->getCellHeight(source->getMessageFromIndexPath(ip));
    }
    double heightForHeaderInSection(ui::TableView&, int) override { return 30; }
};

VelkoraUserPtr user(const char* id) {
    auto u = std::make_shared<VelkoraUserInternal>();
    u->setUserId(std::string(id));
    u->setAppId(std::string("bench"));
    return u;
}

// 1 to 300 UTF-16 units: words, with an emoji (two units) now and then.
std::string text(int i) {
    static const char* kWords[] = {"see", "you", "at", "eight", "tonight", "\xF0\x9F\x98\x80", "quiz", "caf\xC3\xA9"};
    const int units = 1 + (i * 7919) % 300;
    std::string s;
    int n = 0;
    for (int w = 0; n < units; ++w) {
        std::string word = kWords[(i + w) % 8];
        const int len = word[0] == '\xF0' ? 2 : static_cast<int>(word.size());
        if (n + len + (n ? 1 : 0) > units) {
            s += std::string(static_cast<size_t>(units - n), 'x');
            break;
        }
        s += (n ? " " : "") + word;
        n += len + (n ? 1 : 0);
    }
    return s;
}

struct Conversation {
    VelkoraUserPtr me = user("me"), other = user("other");
    std::vector<VelkoraMessagePtr> newestFirst;
    std::vector<std::string> measured; // the texts as a row measures them
};

// `messages` over the same 200 days.
const Conversation& conversation(int messages = kMessages) {
    static std::map<int, Conversation> bySize;
    auto found = bySize.find(messages);
    if (found != bySize.end()) return found->second;
    Conversation& c = bySize[messages];
    c = [messages] {
        Conversation made;
        VelkoraServerApi::setUserId(std::string("me"));
        std::vector<VelkoraMessagePtr> oldestFirst;
        for (int i = 0; i < messages; ++i) {
            auto m = std::make_shared<VelkoraMessageInternal>();
            const bool mine = i % 3 == 0;
            m->setSender(mine ? made.me : made.other);
            m->setOtherUser(mine ? made.other : made.me);
            m->setMessageId(i + 1);
            m->setTime(kStart + (static_cast<double>(i) * kDays * 86400.0) / messages);
            if (i % 10 == 7) {
                m->setContentType(std::string("sticker"));
                m->setMessage(std::string("https://h.example/stickers/1.png"));
            } else if (i % 13 == 5) {
                m->setContentType(std::string("image"));
                m->setMessage(std::string("https://h.example/images/") + std::to_string(i) + ".jpg");
            } else {
                m->setContentType(std::string("text/plain"));
                m->setMessage(text(i));
                made.measured.push_back(VelkoraMessageTableCell::measuredText(*m->message()));
            }
            oldestFirst.push_back(m);
        }
        made.newestFirst.assign(oldestFirst.rbegin(), oldestFirst.rend());
        return made;
    }();
    return c;
}

struct Opened {
    std::shared_ptr<VelkoraChatOneDataSource> source;
    std::shared_ptr<Heights> heights;
    std::shared_ptr<ui::TableView> table;
};

// With `estimate` above zero the table measures rows as they come into view, as the screen's does.
Opened open(int messages = kMessages, double estimate = 0) {
    const Conversation& c = conversation(messages);
    Opened o;
    o.source = std::make_shared<VelkoraChatOneDataSource>();
    auto chat = std::make_shared<VelkoraChat>();
    chat->setUser(c.other);
    chat->setMessages(c.newestFirst);
    o.source->gotChat(chat);
    o.heights = std::make_shared<Heights>();
    o.heights->source = o.source;
    o.table = ui::TableView::create({0, 0, 320, 440});
    o.table->setEstimatedRowHeight(estimate);
    o.source->setMessagesTable(o.table);
    o.table->setDataSource(std::weak_ptr<ui::TableViewDataSource>(o.source));
    o.table->setDelegate(std::weak_ptr<ui::TableViewDelegate>(o.heights));
    o.table->reloadData();
    o.table->setContentOffset({0, o.table->maxContentOffset().y});
    o.table->layoutIfNeeded();
    return o;
}

void BM_OpenChat(benchmark::State& state) {
    conversation();
    for (auto _ : state) {
        Opened o = open();
        benchmark::DoNotOptimize(o.table->contentSize().height);
    }
}

// The same texts, in the row's font and width, once each through the text layout.
void BM_MeasureTextsAlone(benchmark::State& state) {
    const Conversation& c = conversation();
    auto cell = VelkoraMessageTableCell::initFromNib();
    const auto& font = *cell->messageTextLabelMe()->font();
    const double width = chatRowWidth(true) - 90;
    for (auto _ : state) {
        double total = 0;
        for (const auto& t : c.measured)
            total += ui::measureText(t, font, width, 0, ui::LineBreakMode::WordWrap).height;
        benchmark::DoNotOptimize(total);
    }
}

void liveMessages(benchmark::State& state, int messages, double estimate) {
    const Conversation& c = conversation(messages);
    Opened o = open(messages, estimate);
    int32_t id = messages + 1;
    for (auto _ : state) {
        auto m = std::make_shared<VelkoraMessageInternal>();
        m->setSender(c.other);
        m->setOtherUser(c.me);
        m->setMessageId(id);
        m->setTime(kStart + kDays * 86400.0 + id);
        m->setContentType(std::string("text/plain"));
        m->setMessage(std::string("one more thing \xF0\x9F\x98\x80 ") + std::to_string(id++));
        const int admitted = o.source->gotMessages({m});
        o.source->showAdmitted(*o.table, admitted, m);
        o.table->setContentOffset({0, o.table->maxContentOffset().y});
        o.table->layoutIfNeeded();
    }
}

void BM_OneLiveMessage(benchmark::State& state) {
    liveMessages(state, kMessages, 0);
}

// The chat as the screen shows it, at the size given.
void BM_OpenShownChat(benchmark::State& state) {
    const int messages = static_cast<int>(state.range(0));
    conversation(messages);
    for (auto _ : state) {
        Opened o = open(messages, VelkoraChatOneDataSource::kEstimatedRowHeight);
        benchmark::DoNotOptimize(o.table->contentSize().height);
    }
}

void BM_LiveMessageIntoShownChat(benchmark::State& state) {
    liveMessages(state, static_cast<int>(state.range(0)), VelkoraChatOneDataSource::kEstimatedRowHeight);
}

BENCHMARK(BM_OpenChat)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasureTextsAlone)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneLiveMessage)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenShownChat)->Arg(kSmall)->Arg(kLarge)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveMessageIntoShownChat)->Arg(kSmall)->Arg(kLarge)->Iterations(20)->Unit(benchmark::kMillisecond);

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
        const double open = times_["BM_OpenChat"];
        std::printf("\nchat of 10000 messages opened, against measuring its texts once: ratio %.2f (limit %.1f)\n",
                    open / times_["BM_MeasureTextsAlone"], kOpenLimit);
        std::printf("one live message into it, against opening it: ratio %.4f (limit %.2f)\n",
                    times_["BM_OneLiveMessage"] / open, kLiveLimit);
        const std::string small = bench::numbered("/", kSmall), large = bench::numbered("/", kLarge);
        std::printf("chat as shown, opened with %d messages against %d (%.2f ms, %.2f ms): ratio %.2f (limit %.1f)\n",
                    kLarge, kSmall, times_["BM_OpenShownChat" + large], times_["BM_OpenShownChat" + small],
                    times_["BM_OpenShownChat" + large] / times_["BM_OpenShownChat" + small], kSizeLimit);
        std::printf(
            "one live message into it at %d messages against %d (%.2f ms, %.2f ms): ratio %.2f (limit %.1f)\n", kLarge,
            kSmall, times_["BM_LiveMessageIntoShownChat" + large], times_["BM_LiveMessageIntoShownChat" + small],
            times_["BM_LiveMessageIntoShownChat" + large] / times_["BM_LiveMessageIntoShownChat" + small], kSizeLimit);
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    foundation::Log::setSink([](foundation::LogLevel, const std::string&) {});
    foundation::DateFormatter::setCurrentTimeZoneIdentifier("Europe/Berlin");
    foundation::DateFormatter::setCurrentLocaleIdentifier("en_US");
    RatioReporter reporter;
    return velkora::bench::runBenchmarks(argc, argv, {"--benchmark_repetitions=3"}, reporter);
}
