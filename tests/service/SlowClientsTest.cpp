// Clients that trickle or bloat their requests, over raw TLS on loopback so the test decides every byte
// and when it goes: the service cuts them at their deadlines and budgets and keeps serving the others.
// Every client here is bounded in lines and time, and stops by itself.
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

#include "ServiceFixture.h"

namespace velkora::service::testing {
namespace {

double steadyNow() {
    using namespace std::chrono;
    return duration_cast<duration<double>>(steady_clock::now().time_since_epoch()).count();
}

// TLS over a socket of its own; the service's certificate is not checked (the test knows whom it calls).
class RawTlsClient {
public:
    explicit RawTlsClient(uint16_t port) {
        // Writing to a connection the service cut must fail, not end the test.
        std::signal(SIGPIPE, SIG_IGN);
        context_ = SSL_CTX_new(TLS_client_method());
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (!context_ || fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
        ssl_ = SSL_new(context_);
        SSL_set_fd(ssl_, fd_);
        connected_ = SSL_connect(ssl_) == 1;
    }
    ~RawTlsClient() {
        if (ssl_) SSL_free(ssl_);
        if (fd_ >= 0) ::close(fd_);
        if (context_) SSL_CTX_free(context_);
    }
    RawTlsClient(const RawTlsClient&) = delete;
    RawTlsClient& operator=(const RawTlsClient&) = delete;

    bool connected() const { return connected_; }

    bool write(std::string_view text) {
        return connected_ && SSL_write(ssl_, text.data(), static_cast<int>(text.size())) == int(text.size());
    }

    // Waits up to `seconds` for the service to answer or close: what it answered (empty when nothing),
    // and whether the connection ended.
    std::pair<std::string, bool> read(double seconds) {
        std::string got;
        double until = steadyNow() + seconds;
        while (connected_) {
            if (SSL_pending(ssl_) == 0) {
                pollfd p{fd_, POLLIN, 0};
                int wait = int(std::max(0.0, until - steadyNow()) * 1000);
                if (::poll(&p, 1, wait) <= 0) return {got, false};
            }
            char buffer[4096];
            int n = SSL_read(ssl_, buffer, sizeof buffer);
            if (n <= 0) return {got, true};
            got.append(buffer, size_t(n));
        }
        return {got, true};
    }

private:
    SSL_CTX* context_ = nullptr;
    SSL* ssl_ = nullptr;
    int fd_ = -1;
    bool connected_ = false;
};

// A client that sends a request line and then one more line of its head (or of its body) every
// `interval`, up to `lines` of them, and notes when the service closed its connection.
class Dripper {
public:
    Dripper(uint16_t port, std::string start, std::string line, double interval, int lines)
        : thread_([=, this] { run(port, start, line, interval, lines); }) {}
    ~Dripper() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    // Until the request began going out (false when it never did).
    bool waitUntilStarted() {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::seconds(20), [&] { return started_ || ended_; });
        return started_;
    }
    // Seconds from the handshake's start until the service closed the connection; -1 while it is open.
    double closedAfter() {
        thread_.join();
        thread_ = std::thread([] {});
        return closedAfter_;
    }

private:
    void run(uint16_t port, const std::string& start, const std::string& line, double interval, int lines) {
        double begun = steadyNow();
        RawTlsClient client(port);
        bool sent = client.connected() && client.write(start);
        {
            std::lock_guard lock(mutex_);
            started_ = sent;
            ended_ = !sent;
        }
        wake_.notify_all();
        for (int i = 0; sent && i < lines; ++i) {
            // Waiting for the service to close is the pause between two lines.
            auto [answer, closed] = client.read(interval);
            if (closed) {
                closedAfter_ = steadyNow() - begun;
                return;
            }
            std::lock_guard lock(mutex_);
            if (stop_ || !client.write(line)) break;
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool started_ = false, ended_ = false, stop_ = false;
    double closedAfter_ = -1;
    std::thread thread_;
};

const std::string kHead = "GET /VelkoraServer2/api?command=getAppData HTTP/1.1\r\nHost: 127.0.0.1\r\n";

class SlowClients : public ServiceTest {};

TEST_F(SlowClients, ANormalRequestIsServedWithinASecondWhileSixteenClientsDrip) {
    std::vector<std::unique_ptr<Dripper>> drippers;
    for (int i = 0; i < 16; ++i)
        drippers.push_back(std::make_unique<Dripper>(service().port(), kHead, "X-Drip: 1\r\n", 0.5, 30));
    for (auto& d : drippers)
        ASSERT_TRUE(d->waitUntilStarted());

    auto c = client();
    double begun = steadyNow();
    auto res =
        c->Get(("/VelkoraServer2/api?" + tagged("command=getAppData&appId=velkora-demo&changeNumber=0")).c_str());
    double took = steadyNow() - begun;
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_LT(took, 1.0);
    std::printf("A normal request while 16 clients drip a header line every 0.5 s: served in %.0f ms (bound "
                "1000 ms)\n",
                took * 1000);
    RecordProperty("normal_request_ms", std::to_string(int(took * 1000)));
}

class SlowClientsWithShortDeadlines : public ServiceTest {
protected:
    ServiceOptions options() override {
        ServiceOptions o;
        o.requestHeadSeconds = 1;
        o.requestBodySeconds = 1;
        return o;
    }
};

TEST_F(SlowClientsWithShortDeadlines, ARequestThatTricklesIsCutAtItsDeadline) {
    struct Case {
        const char* what;
        std::string start, line;
    } cases[] = {
        {"head", kHead, "X-Drip: 1\r\n"},
        {"form body",
         "POST /VelkoraServer2/api HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
         "Content-Length: 100000\r\n\r\ncommand=getAppData",
         "&x=1234567890"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Dripper dripper(service().port(), c.start, c.line, 0.2, 30);
        ASSERT_TRUE(dripper.waitUntilStarted());
        double closed = dripper.closedAfter();
        EXPECT_GE(closed, 1.0);
        EXPECT_LE(closed, 3.0);
        std::printf("A %s trickling a line every 0.2 s against a deadline of 1 s: closed after %.2f s\n", c.what,
                    closed);
    }
    // And the service goes on answering.
    EXPECT_TRUE(get("command=getAppData&appId=velkora-demo&changeNumber=0").contains("appData"));
}

TEST_F(SlowClients, HeadsPastTheirLimitsAreRefused) {
    // Past the count of header lines: refused with 431, before anything runs.
    {
        std::string head = kHead;
        for (int i = 0; i < 200; ++i)
            head += "X-" + std::to_string(i) + ": 1\r\n";
        RawTlsClient raw(service().port());
        ASSERT_TRUE(raw.connected());
        ASSERT_TRUE(raw.write(head + "\r\n"));
        auto [answer, closed] = raw.read(10);
        EXPECT_EQ(answer.rfind("HTTP/1.1 431", 0), 0u) << answer.substr(0, 80);
    }
    // Past their bytes: 100,000 small lines are never taken in whole; the connection is closed unanswered.
    {
        RawTlsClient raw(service().port());
        ASSERT_TRUE(raw.connected());
        std::string lines;
        for (int i = 0; i < 1000; ++i)
            lines += "a: b\r\n";
        bool wrote = raw.write(kHead);
        for (int i = 0; wrote && i < 100; ++i)
            wrote = raw.write(lines);
        if (wrote) wrote = raw.write("\r\n");
        auto [answer, closed] = raw.read(10);
        EXPECT_TRUE(answer.empty()) << answer.substr(0, 80);
        EXPECT_TRUE(closed || !wrote);
    }
    EXPECT_TRUE(get("command=getAppData&appId=velkora-demo&changeNumber=0").contains("appData"));
}

} // namespace
} // namespace velkora::service::testing
