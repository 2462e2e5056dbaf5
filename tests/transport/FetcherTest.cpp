// The URL fetcher against velkora-service over loopback HTTPS: replies, the status rule, retry modes on
// the test clock, the offline park, cancel, and certificates the client does not trust.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sched.h>
#include <thread>

#include <velkora_service/Service.h>

#include "platform/foundation/Log.h"
#include "platform/foundation/NetworkReachability.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/Image.h"
#include "server/utils/VelkoraReachability.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"

using namespace velkora;
using namespace velkora::foundation;
using velkora::service::Fault;

namespace {

struct Delegate : VelkoraUrlFetcherDelegate {
    std::vector<ErrorPtr> errors;
    std::vector<std::optional<std::string>> strings;
    std::vector<std::vector<uint8_t>> datas;
    std::vector<std::shared_ptr<ui::Image>> images;
    std::function<void(VelkoraUrlFetcher&)> onOutcome;

    size_t outcomes() const { return errors.size() + strings.size() + datas.size() + images.size(); }
    void after(VelkoraUrlFetcher& f) {
        if (auto cb = std::exchange(onOutcome, nullptr)) cb(f);
    }
    void urlGotError(VelkoraUrlFetcher& f, const ErrorPtr& e) override {
        errors.push_back(e);
        after(f);
    }
    void urlDidFinishWithString(VelkoraUrlFetcher& f, const std::optional<std::string>& s) override {
        strings.push_back(s);
        after(f);
    }
    void urlDidFinishWithData(VelkoraUrlFetcher& f, const std::vector<uint8_t>& d) override {
        datas.push_back(d);
        after(f);
    }
    void urlDidFinishWithImage(VelkoraUrlFetcher& f, const std::shared_ptr<ui::Image>& i) override {
        images.push_back(i);
        after(f);
    }
};

class FetcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(svc.start());
        UrlConnection::setCaFile(svc.caFile());
        provider = std::make_shared<TestReachabilityProvider>();
        NetworkReachability::setProvider(provider);
        VelkoraReachabilityManager::resetForTests(); // monitors this test's provider, parks nothing yet
        loop().useTestClock();
        delegate = std::make_shared<Delegate>();
    }
    void TearDown() override {
        for (auto& f : fetchers)
            f->cancel();
        VelkoraReachabilityManager::resetForTests();
        loop().reset();
        UrlConnection::closeIdleConnections(); // the service's stop waits out idle kept-alive connections
        NetworkReachability::setProvider(nullptr);
        UrlConnection::setCaFile("");
    }

    static RunLoop& loop() { return RunLoop::main(); }
    std::string url(const std::string& command) { return svc.endpoint() + "?command=" + command; }
    std::shared_ptr<VelkoraUrlFetcher> fetcher(int mode = 0) {
        auto f = VelkoraUrlFetcher::create(delegate);
        f->setRetryMode(mode);
        fetchers.push_back(f);
        return f;
    }
    bool waitFor(const std::function<bool()>& p) { return loop().runUntil(p, 20); }
    // Pumps real I/O for a while; for the cases that show something does NOT happen.
    void pumpFor(double seconds) {
        loop().runUntil([] { return false; }, seconds);
    }

    velkora::service::Service svc;
    std::shared_ptr<TestReachabilityProvider> provider;
    std::shared_ptr<Delegate> delegate;
    std::vector<std::shared_ptr<VelkoraUrlFetcher>> fetchers;
};

TEST_F(FetcherTest, DeliversTheReplyEvenWhenTheClientLetsGoOfTheBusyFetcher) {
    {
        auto f = VelkoraUrlFetcher::create(delegate);
        f->getUrl(url("ping"));
    }
    ASSERT_TRUE(waitFor([&] { return delegate->outcomes() == 1; }));
    ASSERT_EQ(delegate->strings.size(), 1u);
    ASSERT_TRUE(delegate->strings[0].has_value());
    EXPECT_EQ(delegate->strings[0]->front(), '{');

    // A body that is not UTF-8 reaches the text callback as no text; a picture that does not decode as
    // no picture.
    svc.addFault(Fault{"bytes", Fault::Kind::NotJson, "\xff\xfe\xfd", 200, 0, 2});
    fetcher()->getUrl(url("bytes"));
    ASSERT_TRUE(waitFor([&] { return delegate->strings.size() == 2; }));
    EXPECT_FALSE(delegate->strings[1].has_value());
    fetcher()->getImageUrl(url("bytes"));
    ASSERT_TRUE(waitFor([&] { return delegate->images.size() == 1; }));
    EXPECT_EQ(delegate->images[0], nullptr);
}

TEST_F(FetcherTest, AStatusOtherThan200IsOneErrorWithNoResendAndLeavesNothingBehind) {
    Log::Capture capture;
    // A request that was re-sent and then ends in a bad status leaves a clean count and buffer behind.
    svc.addFault(Fault{"flaky", Fault::Kind::Drop, "", 0, 0, 1});
    svc.addFault(Fault{"flaky", Fault::Kind::HttpStatus, "half a body", 503, 0, 1});
    auto f = fetcher(0);
    f->getUrl(url("flaky"));
    ASSERT_TRUE(waitFor([&] { return f->retryTimer() != nullptr; }));
    loop().advance(1.0);
    EXPECT_EQ(f->nRetries(), 1);
    ASSERT_TRUE(waitFor([&] { return delegate->outcomes() == 1; }));
    ASSERT_EQ(delegate->errors.size(), 1u);
    EXPECT_EQ(delegate->errors[0]->domain, "UrlFetcher wrong responseCode");
    EXPECT_EQ(delegate->errors[0]->code, 503);
    EXPECT_EQ(f->nRetries(), 0);
    EXPECT_EQ(f->responseData(), nullptr);
    EXPECT_EQ(f->connection(), nullptr);

    f->getUrl(svc.baseUrl() + "/no/such/place");
    ASSERT_TRUE(waitFor([&] { return delegate->outcomes() == 2; }));
    ASSERT_EQ(delegate->errors.size(), 2u);
    EXPECT_EQ(delegate->errors[1]->domain, "UrlFetcher wrong responseCode");
    EXPECT_EQ(delegate->errors[1]->code, 404);
    EXPECT_EQ(capture.count("Velkora - Url Fetcher: http rc was 404. Cancelling the connection"), 1u);
    loop().advance(30);
    pumpFor(0.2);
    EXPECT_EQ(delegate->outcomes(), 2u);
    EXPECT_EQ(capture.count("http rc was"), 2u);
    EXPECT_EQ(capture.count("Retrying"), 1u);
}

TEST_F(FetcherTest, ModeZeroResendsFiveTimesOneSecondApartOnTheTestClockThenReportsOnce) {
    Log::Capture capture;
    svc.addFault(Fault{"down", Fault::Kind::Drop, "", 0, 0, -1});
    auto f = fetcher(0);
    f->getUrl(url("down"));
    for (int k = 1; k <= 5; ++k) {
        ASSERT_TRUE(waitFor([&] { return capture.count(". Retrying") == static_cast<size_t>(k); })) << k;
        ASSERT_NE(f->retryTimer(), nullptr);
        loop().advance(0.999);
        EXPECT_EQ(f->nRetries(), k - 1) << "re-sent before a whole second";
        loop().advance(0.001);
        EXPECT_EQ(f->nRetries(), k);
    }
    ASSERT_TRUE(waitFor([&] { return delegate->outcomes() == 1; }));
    ASSERT_EQ(delegate->errors.size(), 1u);
    EXPECT_EQ(delegate->errors[0]->domain, kUrlConnectionErrorDomain);
    EXPECT_EQ(delegate->errors[0]->code, kUrlErrorNetworkConnectionLost);
    EXPECT_EQ(capture.count("Velkora - URLFetcher: Connection Failed UrlConnectionErrorDomain -1005. Retrying"), 5u);
    EXPECT_EQ(capture.count("Velkora - URLFetcher: Connection Failed UrlConnectionErrorDomain -1005"), 6u);
    EXPECT_EQ(f->nRetries(), 0);
    size_t sent = svc.requestsFor("down").size();
    loop().advance(30);
    pumpFor(0.2);
    EXPECT_EQ(svc.requestsFor("down").size(), sent);
    EXPECT_EQ(delegate->outcomes(), 1u);
}

TEST_F(FetcherTest, ModeOneSendsOnceMoreAtOnceThenReportsAndADataRequestStaysOneAcrossResends) {
    Log::Capture capture;
    // One failure: the same request goes again at once, without the clock moving, and its reply is heard.
    svc.addFault(Fault{"once", Fault::Kind::Drop, "", 0, 0, 1});
    fetcher(1)->getUrl(url("once"));
    ASSERT_TRUE(waitFor([&] { return delegate->outcomes() == 1; }));
    ASSERT_EQ(delegate->strings.size(), 1u);
    EXPECT_EQ(capture.count("Retrying"), 1u);
    auto sent = svc.requestsFor("once");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].query, sent[1].query);

    // Two failures: the second is the caller's error, and nothing more goes out.
    svc.addFault(Fault{"twice", Fault::Kind::Drop, "", 0, 0, 2});
    fetcher(1)->getUrl(url("twice"));
    ASSERT_TRUE(waitFor([&] { return delegate->outcomes() == 2; }));
    ASSERT_EQ(delegate->errors.size(), 1u);
    EXPECT_EQ(delegate->errors[0]->code, kUrlErrorNetworkConnectionLost);
    // (A request that went out on a kept-alive connection the service dropped is asked once more by the
    // connection itself, so the service may have seen three.)
    const size_t sentTwice = svc.requestsFor("twice").size();
    EXPECT_GE(sentTwice, 2u);
    loop().advance(30);
    pumpFor(0.2);
    EXPECT_EQ(svc.requestsFor("twice").size(), sentTwice);
    EXPECT_EQ(delegate->outcomes(), 2u);

    svc.addFault(Fault{"once", Fault::Kind::Drop, "", 0, 0, 1});
    auto f = fetcher(0);
    f->getDataUrl(url("once"));
    ASSERT_TRUE(waitFor([&] { return capture.count("Retrying") == 3; }));
    loop().advance(1.0);
    ASSERT_TRUE(waitFor([&] { return delegate->outcomes() == 3; }));
    ASSERT_EQ(delegate->datas.size(), 1u);
    EXPECT_EQ(delegate->datas[0].front(), '{');
}

TEST_F(FetcherTest, OfflineInModeZeroWaitsSilentlyThenSendsTheSameRequestOnce) {
    provider->setReachable(false);
    loop().advance(0);
    Log::Capture capture;
    auto f = fetcher(0);
    f->getUrlWithPostData(svc.endpoint(), std::string("command=offline&text=t%C3%A9"));
    EXPECT_EQ(capture.count("Velkora - No internet connection... waiting for internet connection"), 1u);
    loop().advance(120);
    pumpFor(0.2);
    EXPECT_EQ(delegate->outcomes(), 0u);
    EXPECT_TRUE(svc.requests().empty());

    provider->setReachable(true);
    loop().advance(0);
    ASSERT_TRUE(waitFor([&] { return delegate->outcomes() == 1; }));
    EXPECT_EQ(delegate->strings.size(), 1u);
    auto sent = svc.requestsFor("offline");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "POST");
    EXPECT_EQ(sent[0].body, "command=offline&text=t%C3%A9");
    // The time spent parked counts against the re-sends, as one.
    EXPECT_EQ(f->nRetries(), 0);
}

TEST_F(FetcherTest, CancelMeansNothingIsEverDelivered) {
    // During the wait for a re-send.
    Log::Capture capture;
    svc.addFault(Fault{"down", Fault::Kind::Drop, "", 0, 0, -1});
    auto f = fetcher(0);
    f->getUrl(url("down"));
    ASSERT_TRUE(waitFor([&] { return capture.count("Retrying") == 1; }));
    size_t sent = svc.requestsFor("down").size();
    f->cancel();
    loop().advance(10);
    pumpFor(0.2);
    EXPECT_EQ(svc.requestsFor("down").size(), sent);

    // While the reply is on its way.
    svc.addFault(Fault{"slow", Fault::Kind::Delay, "", 0, 0.3, 1});
    auto g = fetcher(0);
    g->setDelegate(delegate);
    g->getUrl(url("slow"));
    ASSERT_TRUE(waitFor([&] { return svc.requestsFor("slow").size() == 1; }));
    g->cancel();
    pumpFor(0.6);

    // While parked.
    provider->setReachable(false);
    loop().advance(0);
    auto h = fetcher(0);
    h->getUrl(url("parked"));
    h->cancel();
    provider->setReachable(true);
    loop().advance(0);
    pumpFor(0.2);

    EXPECT_EQ(delegate->outcomes(), 0u);
    EXPECT_TRUE(svc.requestsFor("parked").empty());
}

TEST_F(FetcherTest, AServerTheClientDoesNotTrustIsRefused) {
    velkora::service::Service stranger; // its own CA, unknown to the client
    ASSERT_TRUE(stranger.start());
    ASSERT_NE(stranger.caFile(), svc.caFile());
    auto f = fetcher(1);
    f->getUrl(stranger.endpoint() + "?command=ping");
    ASSERT_TRUE(waitFor([&] { return delegate->outcomes() == 1; }));
    ASSERT_EQ(delegate->errors.size(), 1u);
    EXPECT_EQ(delegate->errors[0]->domain, kUrlConnectionErrorDomain);
    EXPECT_EQ(delegate->errors[0]->code, kUrlErrorServerCertificateUntrusted);
    EXPECT_TRUE(stranger.requests().empty());

    // Nor with the system's bundle: a self-made CA is trusted only when configured.
    UrlConnection::setCaFile("");
    fetcher(1)->getUrl(url("ping"));
    ASSERT_TRUE(waitFor([&] { return delegate->outcomes() == 2; }));
    ASSERT_EQ(delegate->errors.size(), 2u);
    EXPECT_EQ(delegate->errors[1]->code, kUrlErrorServerCertificateUntrusted);
    EXPECT_TRUE(svc.requests().empty());
}

TEST_F(FetcherTest, ANewRequestReplacesWhatTheFetcherWasDoing) {
    // A POST replaces a POST in flight: only the second one is answered.
    svc.addFault(Fault{"slow", Fault::Kind::Delay, "", 0, 0.3, 1});
    auto f = fetcher(0);
    f->getUrlWithPostData(svc.endpoint(), std::string("command=slow"));
    ASSERT_TRUE(waitFor([&] { return svc.requestsFor("slow").size() == 1; }));
    f->getUrlWithPostData(svc.endpoint(), std::string("command=fast"));
    ASSERT_TRUE(waitFor([&] { return delegate->outcomes() == 1; }));
    pumpFor(0.6);
    EXPECT_EQ(delegate->outcomes(), 1u);

    // A request made during the wait for a re-send is not sent twice, and the old one is not re-sent.
    Log::Capture capture;
    svc.addFault(Fault{"first", Fault::Kind::Drop, "", 0, 0, 1});
    f->getUrl(url("first"));
    ASSERT_TRUE(waitFor([&] { return capture.count("Retrying") == 1; }));
    size_t firstSent = svc.requestsFor("first").size();
    f->getUrl(url("second"));
    loop().advance(1.0); // the old re-send falls due while the new request runs
    EXPECT_EQ(f->nRetries(), 0);
    ASSERT_TRUE(waitFor([&] { return delegate->outcomes() == 2; }));
    loop().advance(5);
    pumpFor(0.2);
    EXPECT_EQ(svc.requestsFor("first").size(), firstSent);
    EXPECT_EQ(svc.requestsFor("second").size(), 1u);
    EXPECT_EQ(delegate->outcomes(), 2u);

    // Two requests made while offline: the fetcher waits once, for the later one.
    provider->setReachable(false);
    loop().advance(0);
    f->getUrl(url("third"));
    f->getUrl(url("fourth"));
    EXPECT_EQ(VelkoraReachabilityManager::instance().pendingConnections().size(), 1u);
    provider->setReachable(true);
    loop().advance(0);
    ASSERT_TRUE(waitFor([&] { return delegate->outcomes() == 3; }));
    pumpFor(0.2);
    EXPECT_TRUE(svc.requestsFor("third").empty());
    EXPECT_EQ(svc.requestsFor("fourth").size(), 1u);
    EXPECT_EQ(delegate->outcomes(), 3u);
}

TEST_F(FetcherTest, ARequestStartedFromInsideTheCallbackIsNotWipedByTheCleanUp) {
    auto f = fetcher(0);
    delegate->onOutcome = [&](VelkoraUrlFetcher& same) { same.getUrl(url("next")); };
    f->getUrl(svc.baseUrl() + "/missing");
    ASSERT_TRUE(waitFor([&] { return delegate->outcomes() == 2; }));
    EXPECT_EQ(delegate->errors.size(), 1u);
    EXPECT_EQ(delegate->strings.size(), 1u);
    EXPECT_EQ(svc.requestsFor("next").size(), 1u);
}

TEST_F(FetcherTest, AConnectionThatCannotBeMadeIsStillReported) {
    Log::Capture capture;
    fetcher(0)->getUrl("ftp://127.0.0.1/file");
    fetcher(0)->getUrlWithPostData("no address at all", std::string("command=x"));
    EXPECT_EQ(capture.count("Velkora - ------------URLFetcher: Connection failed !------"), 1u);
    EXPECT_EQ(capture.count("Velkora - URLFetcher: Connection failed !"), 1u);
    EXPECT_EQ(delegate->outcomes(), 0u); // never from inside the call that starts the request
    loop().advance(0);
    ASSERT_EQ(delegate->errors.size(), 2u);
    EXPECT_EQ(delegate->errors[0]->code, kUrlErrorUnsupportedUrl);
    EXPECT_EQ(capture.count("Retrying"), 0u);
}

} // namespace

namespace {

struct ConnectionRecorder : UrlConnectionDelegate {
    std::vector<std::string> events;
    UrlResponse response;
    std::string body;
    void connectionDidReceiveResponse(UrlConnection&, const UrlResponse& r) override {
        events.push_back("response");
        response = r;
    }
    void connectionDidReceiveData(UrlConnection&, const uint8_t* d, size_t n) override {
        if (events.empty() || events.back() != "data") events.push_back("data");
        body.append(reinterpret_cast<const char*>(d), n);
    }
    void connectionDidFinishLoading(UrlConnection&) override { events.push_back("finish"); }
    void connectionDidFailWithError(UrlConnection&, const ErrorPtr&) override { events.push_back("fail"); }
};

TEST_F(FetcherTest, TheConnectionReportsStatusHeadersAndBodyInOrderAndLetsGoWhenDone) {
    auto recorder = std::make_shared<ConnectionRecorder>();
    std::weak_ptr<ConnectionRecorder> watch = recorder;
    auto c = UrlConnection::start(UrlRequest::post(svc.endpoint(), {'c', 'o', 'm', 'm', 'a', 'n', 'd', '=', 'x'}),
                                  std::move(recorder));
    ASSERT_NE(c, nullptr);
    auto r = watch.lock();
    ASSERT_TRUE(waitFor([&] { return !c->isRunning(); }));
    EXPECT_EQ(r->events, (std::vector<std::string>{"response", "data", "finish"}));
    EXPECT_EQ(r->response.statusCode, 200);
    EXPECT_NE(r->response.header("content-type").find("json"), std::string::npos);
    EXPECT_EQ(r->body.front(), '{');
    EXPECT_EQ(svc.requestsFor("x").at(0).body, "command=x");
    EXPECT_EQ(UrlConnection::activeCount(), 0u);
    r.reset();
    EXPECT_TRUE(watch.expired()); // the finished connection no longer holds its delegate
}

} // namespace

namespace {

TEST_F(FetcherTest, ABackgroundRequestCancelledBeforeItsTurnIsNeverSentAndOneLeftAloneIsDelivered) {
    auto cancelledRecorder = std::make_shared<ConnectionRecorder>();
    auto request = UrlRequest::post(svc.endpoint(), {'c', 'o', 'm', 'm', 'a', 'n', 'd', '=', 'b', 'g'});
    request.background = true;
    auto cancelled = UrlConnection::start(request, cancelledRecorder);
    ASSERT_NE(cancelled, nullptr);
    cancelled->cancel();
    auto recorder = std::make_shared<ConnectionRecorder>();
    auto sent = UrlConnection::start(request, recorder);
    ASSERT_NE(sent, nullptr);
    EXPECT_TRUE(sent->isRunning());
    ASSERT_TRUE(waitFor([&] { return !sent->isRunning(); }));
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"response", "data", "finish"}));
    EXPECT_TRUE(cancelledRecorder->events.empty());
    EXPECT_EQ(svc.requestsFor("bg").size(), 1u);
    EXPECT_EQ(UrlConnection::activeCount(), 0u);
}

} // namespace

namespace {

// A name server of this test alone, on a loopback address of its own: it hears the look-up and never
// answers, so the look-up hangs until the server goes away. Only this thread, in a mount namespace of its
// own, and the threads it starts read the resolver file that points at it.
class SilentNameServer {
public:
    // Empty when ready; otherwise why this machine cannot host it.
    std::string start() {
        int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (s < 0) return "no socket";
        std::string address;
        std::mt19937 pick(std::random_device{}());
        for (int attempt = 0; attempt < 20 && address.empty(); ++attempt) {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(53);
            a.sin_addr.s_addr = htonl((127u << 24) | (53u << 16) | ((pick() & 0xfffeu) + 1));
            if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
                char text[INET_ADDRSTRLEN];
                address = ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
            }
        }
        fd_ = s;
        if (address.empty()) return "cannot listen on port 53 here";
        conf_ = std::filesystem::temp_directory_path() / ("velkora-resolv-" + std::to_string(::getpid()));
        std::ofstream(conf_) << "nameserver " << address << "\noptions timeout:30 attempts:5\n";
        if (::unshare(CLONE_NEWNS) != 0) return "cannot make a mount namespace here";
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return "cannot make the mounts private";
        if (::mount(conf_.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0)
            return "cannot put a resolver file in place";
        mounted_ = true;
        return {};
    }
    bool heardLookUp() const {
        pollfd p{fd_.load(), POLLIN, 0};
        return ::poll(&p, 1, 0) == 1;
    }
    // Every question heard so far is answered "no such name", so the look-up ends at once.
    void goAway() {
        int s = fd_.exchange(-1);
        if (s < 0) return;
        uint8_t packet[512];
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        ssize_t n;
        while ((n = ::recvfrom(s, packet, sizeof packet, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
                               &fromSize)) >= 12) {
            packet[2] = 0x81; // a reply, recursion desired
            packet[3] = 0x83; // recursion available, no such name
            ::sendto(s, packet, static_cast<size_t>(n), 0, reinterpret_cast<sockaddr*>(&from), fromSize);
            fromSize = sizeof from;
        }
        ::close(s);
    }
    ~SilentNameServer() {
        goAway();
        if (mounted_) ::umount2("/etc/resolv.conf", MNT_DETACH);
        if (!conf_.empty()) std::filesystem::remove(conf_);
    }

private:
    std::atomic<int> fd_{-1};
    std::filesystem::path conf_;
    bool mounted_ = false;
};

TEST_F(FetcherTest, CancellingWhileTheHostNameIsLookedUpReturnsAtOnceAndDeliversNothing) {
    SilentNameServer dns;
    if (std::string why = dns.start(); !why.empty()) GTEST_SKIP() << why;
    auto recorder = std::make_shared<ConnectionRecorder>();
    auto c = UrlConnection::start(UrlRequest::get("https://pictures.lookup-hangs.test/photo.png"), recorder);
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(waitFor([&] { return dns.heardLookUp(); }));

    // Should the cancel wait for the look-up, the look-up is let go after a while, so the test ends either way.
    std::mutex m;
    std::condition_variable cv;
    bool returned = false;
    bool hadToLetGo = false;
    std::thread watchdog([&] {
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, std::chrono::seconds(3), [&] { return returned; })) {
            hadToLetGo = true;
            dns.goAway();
        }
    });
    c->cancel();
    {
        std::lock_guard lock(m);
        returned = true;
    }
    cv.notify_all();
    watchdog.join();
    EXPECT_FALSE(hadToLetGo) << "the cancel waited for the host name look-up";
    EXPECT_FALSE(c->isRunning());
    EXPECT_EQ(UrlConnection::activeCount(), 0u);

    dns.goAway(); // the look-up ends now, with nobody left to tell
    loop().advance(60);
    pumpFor(0.2);
    EXPECT_TRUE(recorder->events.empty());
}

} // namespace
