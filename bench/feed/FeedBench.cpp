// 10,000 feed rows of all seven kinds: the row height computed from each row's text value (the feed's
// serial queue does this), beside measuring the same sentences with the text layout alone, in one run.
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchMain.h"
#include "data/VelkoraChatRoomsComment.h"
#include "data/VelkoraChatRoomsTopic.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "feed/VelkoraFeedActivityCell.h"
#include "feed/VelkoraFeedClasses.h"
#include "feed/VelkoraFeedLikeActivityCell.h"
#include "feed/VelkoraFeedLikeImageCell.h"
#include "feed/VelkoraFeedLikeTopicCell.h"
#include "feed/VelkoraFeedLikeTopicImageCell.h"
#include "feed/VelkoraFeedTableCell.h"
#include "platform/foundation/Log.h"

namespace {

using namespace velkora;

constexpr int kRows = 10000;
constexpr double kLimit = 1.3;

struct Rows {
    std::vector<VelkoraFeedCellText> texts;
    std::map<int, VelkoraFeedCellGeometry> geometries;
};

VelkoraUserPtr user(int i) {
    auto u = std::make_shared<VelkoraUserInternal>();
    u->setUserId(std::to_string(i));
    u->setAppId(std::string("bench"));
    u->setFirstName(std::string(i % 3 ? "Zo\u00eb" : "Ame\u0301lie") + std::to_string(i));
    u->setLastName(std::string("Lund"));
    return u;
}

// Sentences of every length from a few words to several lines.
std::string words(int i) {
    static const char* kWords[] = {"played", "a", "round", "of", "Capitals", "with", "friends", "tonight"};
    std::string s;
    for (int w = 0; w < 2 + i % 23; ++w)
        s += std::string(w ? " " : "") + kWords[(i + w) % 8];
    return s;
}

const Rows& rows() {
    static Rows r = [] {
        Rows made;
        registerVelkoraFeedClasses();
        std::vector<std::shared_ptr<VelkoraFeedCell>> cells = {
            VelkoraFeedTableCell::initFromNib({}),          VelkoraFeedActivityCell::initFromNib({}),
            VelkoraFeedLikeActivityCell::initFromNib({}),   VelkoraFeedLikeImageCell::initFromNib({}),
            VelkoraFeedLikeTopicCell::initFromNib({}),      VelkoraFeedLikeTopicCommentCell::initFromNib({}),
            VelkoraFeedLikeTopicImageCell::initFromNib({}),
        };
        for (const auto& cell : cells)
            if (cell) made.geometries[cell->kind()] = cell->geometry();
        for (int i = 0; i < kRows; ++i) {
            const int kind = 1 + i % 7;
            auto post = std::make_shared<VelkoraFeedMessage>();
            post->setSender(user(i));
            post->setOtherUser(user(i + 1));
            post->setMessage(words(i));
            post->setMessageType(kind == 1 ? 1 + i % 3 : 0);
            post->setTopicTitle(words(i + 3));
            auto topic = std::make_shared<VelkoraChatRoomsTopic>();
            topic->setTitle(words(i + 5));
            if (i % 2) topic->setPhotoUrl(std::string("https://h.example/t.png"));
            auto comment = std::make_shared<VelkoraChatRoomsComment>();
            comment->setUser(user(i + 2));
            comment->setText(words(i + 7));
            auto like = std::make_shared<VelkoraLikeObject>();
            like->setUsers({user(i + 3)});
            like->setDescription(words(i + 1));
            like->setFeedMessage(kind == 3 ? post : nullptr);
            like->setChatRoomsTopic(topic);
            like->setChatRoomsComment(comment);
            VelkoraActivityPtr item = kind <= 2 ? VelkoraActivityPtr(post) : VelkoraActivityPtr(like);
            made.texts.push_back(cells[kind - 1]->textFor(item));
        }
        return made;
    }();
    return r;
}

void BM_RowHeightFromText(benchmark::State& state) {
    const Rows& r = rows();
    for (auto _ : state) {
        double total = 0;
        for (const auto& text : r.texts)
            total += velkoraFeedRowHeight(text, r.geometries.at(text.kind));
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

// The same sentences, in the same fonts and widths, through the text layout alone.
void BM_MeasureTextAlone(benchmark::State& state) {
    const Rows& r = rows();
    for (auto _ : state) {
        double total = 0;
        for (const auto& text : r.texts) {
            const auto& g = r.geometries.at(text.kind);
            if (text.kind == 1) continue;
            total += ui::measureText(text.activity, g.activity.font, velkoraLabelWidth(text, g.activity), 0,
                                     g.activity.lineBreakMode)
                         .height;
            if (text.kind == 3 || text.kind == 7)
                total += ui::measureText(text.poster, g.poster.font, velkoraLabelWidth(text, g.poster), 0,
                                         g.poster.lineBreakMode)
                             .height;
            if (text.kind == 5 && !text.hasTopicPhoto)
                total += ui::measureText(text.description, g.description.font, velkoraDescriptionWidth(text, g), 0,
                                         g.description.lineBreakMode)
                             .height;
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_RowHeightFromText)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasureTextAlone)->Iterations(5)->Unit(benchmark::kMillisecond);

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
        const double ratio = times_["BM_RowHeightFromText"] / times_["BM_MeasureTextAlone"];
        std::printf("\nfeed row height from its text value, 10000 rows: ratio %.2f (limit %.1f)\n", ratio, kLimit);
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    foundation::Log::setSink([](foundation::LogLevel, const std::string&) {});
    RatioReporter reporter;
    return velkora::bench::runBenchmarks(argc, argv, {"--benchmark_repetitions=5"}, reporter);
}
