// Where the URL connection stops: a reply too large to hold, and a redirect from https to plain http.
// Against velkora-service and small servers of the test's own over loopback.
#include <gtest/gtest.h>
#include <httplib.h>

#include <velkora_service/Service.h>

#include <atomic>
#include <thread>

#include "platform/foundation/Log.h"
#include "platform/foundation/NetworkReachability.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"

using namespace velkora;
using namespace velkora::foundation;
using velkora::service::Fault;

namespace {

struct Recorder : UrlConnectionDelegate {
    size_t bytes = 0;
    std::string body;
    int finished = 0;
    std::vector<ErrorPtr> failures;
    long status = 0;
    std::string finalUrl;

    bool ended() const { return finished + failures.size() > 0; }
    void connectionDidReceiveResponse(UrlConnection&, const UrlResponse& r) override {
        status = r.statusCode;
        finalUrl = r.url;
    }
    void connectionDidReceiveData(UrlConnection&, const uint8_t* data, size_t size) override {
        bytes += size;
        if (body.size() < 4096) body.append(reinterpret_cast<const char*>(data), size);
    }
    void connectionDidFinishLoading(UrlConnection&) override { ++finished; }
    void connectionDidFailWithError(UrlConnection&, const ErrorPtr& e) override { failures.push_back(e); }
};

struct FetcherDelegate : VelkoraUrlFetcherDelegate {
    std::vector<ErrorPtr> errors;
    int answers = 0;
    void urlGotError(VelkoraUrlFetcher&, const ErrorPtr& e) override { errors.push_back(e); }
    void urlDidFinishWithString(VelkoraUrlFetcher&, const std::optional<std::string>&) override { ++answers; }
};

// An https server with the service's own certificate, so the kit trusts it, and a plain http one.
class Servers {
public:
    explicit Servers(const velkora::service::Service& svc)
        : secure_((svc.dataDir() + "/server.pem").c_str(), (svc.dataDir() + "/server-key.pem").c_str()) {
        plain_.Get("/landing", [this](const httplib::Request&, httplib::Response& res) {
            ++plainHits;
            res.set_content("landed in the clear", "text/plain");
        });
        secure_.Get("/landing",
                    [](const httplib::Request&, httplib::Response& res) { res.set_content("landed", "text/plain"); });
        securePort_ = secure_.bind_to_any_port("127.0.0.1");
        plainPort_ = plain_.bind_to_any_port("127.0.0.1");
        secure_.Get("/to-http", [this](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("http://127.0.0.1:" + std::to_string(plainPort_) + "/landing");
        });
        secure_.Get("/to-https", [this](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("https://127.0.0.1:" + std::to_string(securePort_) + "/landing");
        });
        secureThread_ = std::thread([this] { secure_.listen_after_bind(); });
        plainThread_ = std::thread([this] { plain_.listen_after_bind(); });
        while (!secure_.is_running() || !plain_.is_running())
            std::this_thread::yield();
    }
    ~Servers() {
        UrlConnection::closeIdleConnections(); // a server's stop waits out kept-alive connections
        secure_.stop();
        plain_.stop();
        secureThread_.join();
        plainThread_.join();
    }
    std::string secure(const std::string& path) const {
        return "https://127.0.0.1:" + std::to_string(securePort_) + path;
    }

    std::atomic<int> plainHits{0};

private:
    httplib::SSLServer secure_;
    httplib::Server plain_;
    int securePort_ = 0, plainPort_ = 0;
    std::thread secureThread_, plainThread_;
};

class ReplyLimitsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(svc.start());
        UrlConnection::setCaFile(svc.caFile());
        loop().useTestClock();
    }
    void TearDown() override {
        loop().reset();
        UrlConnection::closeIdleConnections();
        NetworkReachability::setProvider(nullptr);
        UrlConnection::setCaFile("");
    }
    static RunLoop& loop() { return RunLoop::main(); }
    std::shared_ptr<Recorder> fetch(const std::string& url) {
        auto recorder = std::make_shared<Recorder>();
        EXPECT_TRUE(UrlConnection::start(UrlRequest::get(url), recorder));
        EXPECT_TRUE(loop().runUntil([&] { return recorder->ended(); }, 30));
        return recorder;
    }

    velkora::service::Service svc;
};

TEST_F(ReplyLimitsTest, AReplyPastTheLimitEndsInOneBadResponseError) {
    const size_t size = 40u * 1024 * 1024;
    svc.addFault(Fault{"huge", Fault::Kind::HttpStatus, std::string(size, 'x'), 200, 0, -1});
    auto recorder = fetch(svc.endpoint() + "?command=huge");
    EXPECT_EQ(recorder->finished, 0);
    ASSERT_EQ(recorder->failures.size(), 1u);
    EXPECT_EQ(recorder->failures[0]->domain, kUrlConnectionErrorDomain);
    EXPECT_EQ(recorder->failures[0]->code, kUrlErrorBadServerResponse);
    EXPECT_LE(recorder->bytes, UrlConnection::kMaxReplyBytes);

    // Through the fetcher the caller hears it once, after the re-sends its mode allows.
    auto delegate = std::make_shared<FetcherDelegate>();
    auto fetcher = VelkoraUrlFetcher::create(delegate);
    fetcher->getUrl(svc.endpoint() + "?command=huge");
    for (int attempt = 0; attempt < 10 && delegate->errors.empty(); ++attempt) {
        loop().runUntil([&] { return !delegate->errors.empty() || fetcher->retryTimer() != nullptr; }, 30);
        if (fetcher->retryTimer()) loop().advance(1.0);
    }
    ASSERT_EQ(delegate->errors.size(), 1u);
    EXPECT_EQ(delegate->errors[0]->code, kUrlErrorBadServerResponse);
    EXPECT_EQ(delegate->answers, 0);
    loop().advance(10);
    loop().runUntil([] { return false; }, 0.2);
    EXPECT_EQ(delegate->errors.size(), 1u);
    fetcher->cancel();

    // A reply just under the limit is whole.
    svc.clearFaults();
    svc.addFault(Fault{"large", Fault::Kind::HttpStatus, std::string(UrlConnection::kMaxReplyBytes, 'y'), 200, 0, 1});
    auto whole = fetch(svc.endpoint() + "?command=large");
    EXPECT_EQ(whole->finished, 1);
    EXPECT_EQ(whole->bytes, UrlConnection::kMaxReplyBytes);
}

TEST_F(ReplyLimitsTest, AnHttpsRequestFollowsHttpsRedirectsOnly) {
    Servers servers(svc);
    auto safe = fetch(servers.secure("/to-https"));
    EXPECT_EQ(safe->finished, 1);
    EXPECT_EQ(safe->status, 200);
    EXPECT_EQ(safe->body, "landed");
    EXPECT_EQ(safe->finalUrl, servers.secure("/landing"));

    auto refused = fetch(servers.secure("/to-http"));
    EXPECT_EQ(refused->finished, 0);
    ASSERT_EQ(refused->failures.size(), 1u);
    EXPECT_EQ(refused->failures[0]->code, kUrlErrorUnsupportedUrl);
    EXPECT_EQ(refused->body.find("in the clear"), std::string::npos);
    EXPECT_EQ(servers.plainHits.load(), 0);
}

} // namespace
