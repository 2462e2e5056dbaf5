// The address-book reader over 5,000 contacts, a fifth of them with a JPEG photo, beside a plain loop
// over the platform's address book that reads the same values and decodes the same photos, in the same
// run. Both read on a thread of their own, as the invite screen's reader does. The last line gives the
// figure as "<what>: ratio R (limit L)".
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BenchMain.h"
#include "BuildPaths.h"
#include "social/VelkoraContactsConnctor.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/AddressBook.h"
#include "platform/services/Device.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"

using namespace velkora;

namespace {

constexpr int kContacts = 5000;

// Photo-sized JPEGs, a few different ones so that no decoder cache helps either side.
std::vector<std::string> photos() {
    std::vector<std::string> out;
    for (int i = 0; i < 8; ++i) {
        auto context = ui::GraphicsContext::bitmap({96, 96}, 1.0, true);
        context->setFillColor(ui::Color::rgba((i % 3) / 3.0, (i % 5) / 5.0, (i % 7) / 7.0));
        context->fillEllipseInRect({double(i * 4), double(i * 3), 60, 60});
        auto bytes = context->makeImage()->jpegData(0.8);
        out.emplace_back(bytes.begin(), bytes.end());
    }
    return out;
}

struct Book {
    std::string root;
    Book() {
        char pattern[] = "/tmp/velkora-bench-contacts-XXXXXX";
        root = mkdtemp(pattern);
        foundation::Paths::setRoot(root);
        VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
        auto pictures = photos();
        std::vector<services::Contact> contacts;
        contacts.reserve(kContacts);
        for (int i = 0; i < kContacts; ++i) {
            const std::string n = std::to_string(i);
            contacts.push_back({" First" + n,
                                "Last" + n + "\t",
                                {"person" + n + "@mail.example", "other" + n + "@x.org"},
                                i % 5 == 0 ? pictures[size_t(i / 5) % pictures.size()] : std::string()});
        }
        services::Device::instance().update([&](services::DeviceProfile& p) { p.contacts = std::move(contacts); });
        services::Device::instance().setPromptPolicy(services::Prompt::Contacts, services::PromptPolicy::Grant);
    }
    ~Book() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

Book& book() {
    static Book b;
    return b;
}

// What the reader makes of one person, built by hand.
struct Plain {
    std::string email, first, last;
    std::shared_ptr<ui::Image> photo;
};

std::vector<Plain> plainRead() {
    std::vector<Plain> out;
    out.reserve(100);
    auto addressBook = services::AddressBook::createWithOptions();
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false, granted = false;
    addressBook->requestAccessWithCompletion([&](bool ok, const foundation::ErrorPtr&) {
        std::lock_guard lock(mutex);
        granted = ok;
        done = true;
        answered.notify_one();
    });
    {
        std::unique_lock lock(mutex);
        answered.wait(lock, [&] { return done; });
    }
    if (!granted) return out;
    for (const auto& person : addressBook->copyArrayOfAllPeople()) {
        auto emails = person->emails();
        if (!emails || emails->count() < 1) continue;
        Plain p{emails->copyValueAtIndex(0), person->copyValue(services::kABPersonFirstNameProperty).textOr(""),
                person->copyValue(services::kABPersonLastNameProperty).textOr(""), nullptr};
        if (person->hasImageData()) p.photo = ui::Image::fromData(person->copyImageData());
        out.push_back(std::move(p));
    }
    return out;
}

// Milliseconds of one read on a thread of its own; negative when not every contact came back.
template <class Read> double timedRead(Read read) {
    size_t found = 0;
    const auto start = std::chrono::steady_clock::now();
    std::thread reader([&] { found = read().size(); });
    reader.join();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return found == kContacts ? took.count() : -1;
}

double readerOnce() {
    return timedRead([] { return VelkoraContactsConnctor::retrieveFriendsContactUsers(); });
}

double plainOnce() {
    return timedRead([] { return plainRead(); });
}

template <class Once> void onItsOwnThread(benchmark::State& state, Once once) {
    book();
    for (auto _ : state) {
        const double took = once();
        if (took < 0) {
            state.SkipWithError("not every contact was read");
            break;
        }
        state.SetIterationTime(took / 1000);
    }
}

void BM_Reader(benchmark::State& state) {
    onItsOwnThread(state, readerOnce);
}

void BM_PlainLoop(benchmark::State& state) {
    onItsOwnThread(state, plainOnce);
}

// The figure: both reads side by side, taking turns to go first, so that the load of a shared machine
// weighs on both alike; the ratio of their medians.
std::vector<double> readerTimes, plainTimes;

void BM_SideBySide(benchmark::State& state) {
    book();
    bool readerFirst = true;
    for (auto _ : state) {
        const double a = readerFirst ? readerOnce() : plainOnce();
        const double b = readerFirst ? plainOnce() : readerOnce();
        const double reader = readerFirst ? a : b, plain = readerFirst ? b : a;
        if (reader < 0 || plain < 0) {
            state.SkipWithError("not every contact was read");
            break;
        }
        readerTimes.push_back(reader);
        plainTimes.push_back(plain);
        readerFirst = !readerFirst;
        state.SetIterationTime((reader + plain) / 1000);
    }
}

double median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

BENCHMARK(BM_Reader)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLoop)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SideBySide)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double reader = median(readerTimes), plain = median(plainTimes);
        std::printf("\nAddress-book reader over %d contacts: ratio %.2f (limit 1.3)   [medians %.1f ms, %.1f ms]\n",
                    kContacts, plain > 0 && reader > 0 ? reader / plain : -1.0, reader, plain);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("VELKORA_BENCH_LOG")) foundation::Log::setSink([](foundation::LogLevel, const std::string&) {});
    // The host's main loop lives on this thread; the readers run beside it.
    foundation::RunLoop::main().adoptCurrentThread();
    RatioReporter reporter;
    return velkora::bench::runBenchmarks(argc, argv, {"--benchmark_repetitions=3"}, reporter);
}
