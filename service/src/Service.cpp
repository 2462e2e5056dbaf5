#include "velkora_service/Service.h"

#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include <httplib.h>
#include <openssl/ssl.h>

#include "AppStore.h"
#include "Certificates.h"
#include "Commands.h"
#include "ConnectionGuard.h"
#include "OutsideRoutes.h"
#include "PasswordHash.h"
#include "Pictures.h"
#include "ReplyRecord.h"
#include "Seed.h"

namespace velkora::service {

namespace {

constexpr const char* kApiPath = "/VelkoraServer2/api";
// The ad exchange's interface, served beside the API; its requests are logged as the command "getads".
constexpr const char* kExchangePath = "/1.1/getads";

double wallNow() {
    using namespace std::chrono;
    return duration_cast<duration<double>>(system_clock::now().time_since_epoch()).count();
}

std::string dumpJson(const Json& reply) {
    return reply.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// A Host header as clients send it: a name or an address, with a port or without. Anything else (markup,
// a second header, a path) never reaches the pages and addresses the service builds from it.
bool isHostHeader(std::string_view host) {
    if (host.empty() || host.size() > 255) return false;
    size_t colon = host.rfind(':');
    std::string_view name = host, port;
    if (host.front() == '[') {
        size_t close = host.find(']');
        if (close == std::string_view::npos) return false;
        name = host.substr(1, close - 1);
        port = host.substr(close + 1);
        if (!port.empty() && port.front() != ':') return false;
        if (!name.empty() && name.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos) return false;
    } else {
        if (colon != std::string_view::npos) {
            name = host.substr(0, colon);
            port = host.substr(colon);
        }
        if (name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") !=
            std::string_view::npos)
            return false;
    }
    if (name.empty()) return false;
    if (!port.empty()) {
        port.remove_prefix(1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos ||
            std::stoi(std::string(port)) > 65535)
            return false;
    }
    return true;
}

LocalReply jsonReply(const Json& reply) {
    return {200, dumpJson(reply), "application/json; charset=utf-8", false, {}};
}

// The seed in the data folder of the prefix the program lies in (bin/ beside share/), or of the build tree,
// which keeps its programs a folder or two deeper.
std::string seedFile() {
    std::error_code ec;
    auto at = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
    const std::filesystem::path seed = std::filesystem::path(VELKORA_SERVICE_DATADIR) / "velkora-service/demo.json";
    if (seed.is_absolute()) return seed.string();
    for (int level = 0; level < 4 && !at.empty(); ++level, at = at.parent_path()) {
        if (std::filesystem::exists(at / seed, ec)) return (at / seed).string();
        if (at == at.root_path()) break;
    }
    return seed.string();
}

std::string makeTemporaryDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velkora-service-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) return {};
    return buffer.data();
}

} // namespace

struct Service::Impl {
    ServiceOptions options;
    std::string dataDir;
    bool ownsDataDir = false;
    CertificateFiles certs;
    std::unique_ptr<ConnectionGuard> guard; // outlives the server, whose connections it watches
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    std::atomic<uint16_t> port{0};
    std::atomic<bool> running{false};
    std::atomic<double> clockOffset{0};

    mutable std::mutex dbMutex;
    std::unique_ptr<Database> db;
    CommandTable table;
    std::vector<OutsideRoute> outside;

    ReplyRecord replies; // under dbMutex, as the commands whose answers it keeps

    mutable std::mutex logMutex;
    std::deque<RecordedRequest> log;
    size_t logBytes = 0;
    std::map<std::string, int> connectionRequests; // "address:port" → requests seen on that connection

    std::mutex faultMutex;
    std::vector<Fault> faults;

    std::mutex waitMutex;
    std::condition_variable waitCv;
    bool stopping = false;
    uint64_t releases = 0; // raised by releaseDelays: every delay waiting then ends

    explicit Impl(ServiceOptions o) : options(std::move(o)) {}

    double now() const { return wallNow() + clockOffset.load(); } // the service's clock

    bool open();
    void close();
    LocalReply answer(const std::string& method, const std::string& target, const std::string& body,
                      const std::string& host, const std::string& connection, const std::string& authorization = {});
    const OutsideRoute* outsideRouteFor(const std::string& path) const;
    LocalReply runOutside(const OutsideRoute& route, const std::string& method, const std::string& path,
                          const std::string& query, const std::string& body, const std::string& host,
                          const std::string& authorization);
    void handleApi(const httplib::Request& req, httplib::Response& res, const std::string& body);
    std::optional<std::string> readBody(const httplib::ContentReader& reader) const;
    std::optional<Fault> takeFault(const std::string& command, bool delay, bool consume);
    uint64_t releasesSoFar();
    // Until the time passes, the service stops, or releaseDelays runs after `releasesBefore` was read.
    void waitFor(double seconds, uint64_t releasesBefore);
    void record(RecordedRequest request);
    Json runCommand(const std::string& command, const QueryText& params, const std::string& baseUrl,
                    const std::optional<std::string>& resendKey, const PasswordWork* passwords = nullptr);
    Json runHandler(const CommandHandler& handler, const std::string& command, const QueryText& params,
                    const std::string& baseUrl, const PasswordWork* passwords = nullptr);
    Json runLocked(const CommandHandler& handler, const std::string& command, const QueryText& params,
                   const std::string& baseUrl, const PasswordWork* passwords); // with dbMutex held
};

bool Service::Impl::open() {
    dataDir = options.dataDir;
    ownsDataDir = dataDir.empty();
    if (ownsDataDir) dataDir = makeTemporaryDir();
    std::error_code ec;
    if (dataDir.empty() || (!std::filesystem::create_directories(dataDir, ec) && ec)) {
        std::fprintf(stderr, "velkora-service: cannot make the data folder %s\n", dataDir.c_str());
        return false;
    }
    std::string error;
    if (!ensureCertificates(dataDir, certs, error)) {
        std::fprintf(stderr, "velkora-service: %s\n", error.c_str());
        return false;
    }
    try {
        db = std::make_unique<Database>(dataDir + "/velkora.sqlite");
        db->createSchema();
        hashStoredPasswords(*db);
        if (options.seedDemo && !seedDatabase(*db, seedFile(), wallNow(), error)) {
            std::fprintf(stderr, "velkora-service: %s\n", error.c_str());
            return false;
        }
        outside = buildOutsideRoutes();
        std::string socialSeed = std::filesystem::path(seedFile()).replace_filename("social.json").string();
        for (const OutsideRoute& route : outside) {
            route.createSchema(*db);
            if (options.seedDemo && route.seed) route.seed(*db, socialSeed, wallNow());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velkora-service: database: %s\n", e.what());
        return false;
    }
    table = buildCommandTable();
    table.welcomeNewUsers = options.welcomeNewUsers;
    return true;
}

void Service::Impl::close() {
    db.reset();
    if (ownsDataDir && !dataDir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(dataDir, ec);
    }
}

std::optional<Fault> Service::Impl::takeFault(const std::string& command, bool delay, bool consume) {
    std::lock_guard lock(faultMutex);
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if ((it->kind == Fault::Kind::Delay) != delay) continue;
        if (it->command != "*" && it->command != command) continue;
        Fault f = *it;
        if (consume && it->times > 0 && --it->times == 0) faults.erase(it);
        return f;
    }
    return std::nullopt;
}

uint64_t Service::Impl::releasesSoFar() {
    std::lock_guard lock(waitMutex);
    return releases;
}

void Service::Impl::waitFor(double seconds, uint64_t releasesBefore) {
    std::unique_lock lock(waitMutex);
    waitCv.wait_for(lock, std::chrono::duration<double>(seconds),
                    [&] { return stopping || releases != releasesBefore; });
}

// A request that may be a re-send is looked up first: the command runs once, and each later copy of the
// request gets the answer the first one got, even when that answer never reached the client.
Json Service::Impl::runCommand(const std::string& command, const QueryText& params, const std::string& baseUrl,
                               const std::optional<std::string>& resendKey, const PasswordWork* passwords) {
    auto it = table.commands.find(command);
    if (it == table.commands.end()) return Json::object(); // built by a later command group
    if (!resendKey) return runHandler(it->second, command, params, baseUrl, passwords);
    std::lock_guard lock(dbMutex);
    double wall = wallNow();
    if (std::optional<std::string> first = replies.find(*resendKey, wall)) return Json::parse(*first);
    int64_t changesBefore = db->totalChanges();
    Json reply = runLocked(it->second, command, params, baseUrl, passwords);
    // Reads run again (their fresh answer is the better one); the poll too, whose writes only note
    // when a device was last seen.
    bool changed = db->totalChanges() != changesBefore;
    if (changed && command != "update" && reply.is_object() && !reply.contains("error"))
        replies.keep(*resendKey, dumpJson(reply), wall);
    return reply;
}

void Service::Impl::record(RecordedRequest request) {
    std::lock_guard lock(logMutex);
    logBytes += request.query.size() + request.body.size();
    log.push_back(std::move(request));
    // The newest request stays whatever its size: a test reads what it just sent.
    while (log.size() > 1 && (log.size() > options.requestLogEntries || logBytes > options.requestLogBytes)) {
        logBytes -= log.front().query.size() + log.front().body.size();
        log.pop_front();
    }
}

Json Service::Impl::runHandler(const CommandHandler& handler, const std::string& command, const QueryText& params,
                               const std::string& baseUrl, const PasswordWork* passwords) {
    std::lock_guard lock(dbMutex);
    return runLocked(handler, command, params, baseUrl, passwords);
}

Json Service::Impl::runLocked(const CommandHandler& handler, const std::string& command, const QueryText& params,
                              const std::string& baseUrl, const PasswordWork* passwords) {
    try {
        CommandContext ctx(table, *db, params, now(), baseUrl, passwords);
        return handler(ctx);
    } catch (const CommandError& e) {
        return {{"error", e.what()}};
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velkora-service: %s failed: %s\n", command.c_str(), e.what());
        return {{"error", errors::kInternal}};
    }
}

const OutsideRoute* Service::Impl::outsideRouteFor(const std::string& path) const {
    for (const OutsideRoute& route : outside)
        if (path.size() > route.prefix.size() + 1 && path.compare(0, route.prefix.size(), route.prefix) == 0 &&
            path[route.prefix.size()] == '/')
            return &route;
    return nullptr;
}

LocalReply Service::Impl::runOutside(const OutsideRoute& route, const std::string& method, const std::string& path,
                                     const std::string& query, const std::string& body, const std::string& host,
                                     const std::string& authorization) {
    // A POST's form fields follow the query's, as one list.
    bool withBody = method == "POST" && !body.empty();
    QueryText params = QueryText::parse(withBody ? (query.empty() ? body : query + "&" + body) : query);
    std::lock_guard lock(dbMutex);
    try {
        OutsideRequest request{*db,
                               options,
                               method,
                               path.substr(route.prefix.size() + 1),
                               "https://" + host + path,
                               params,
                               authorization,
                               now(),
                               "https://" + host};
        return route.handler(request);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velkora-service: %s failed: %s\n", path.c_str(), e.what());
        return {500, "", "text/plain", false, {}};
    }
}

LocalReply Service::Impl::answer(const std::string& method, const std::string& target, const std::string& body,
                                 const std::string& hostHeader, const std::string& connection,
                                 const std::string& authorization) {
    const std::string host = isHostHeader(hostHeader) ? hostHeader : options.host + ":" + std::to_string(port.load());
    bool isGet = method == "GET";
    size_t question = target.find('?');
    std::string rawPath = target.substr(0, question);
    std::string rawQuery = question == std::string::npos ? std::string() : target.substr(question + 1);
    QueryText params = isGet ? QueryText::parse(rawQuery) : QueryText::parse(body, false);
    bool exchange = rawPath == kExchangePath;
    const OutsideRoute* outsideRoute = outsideRouteFor(rawPath);
    std::string command = exchange ? "getads" : outsideRoute ? rawPath : params.value("command");

    record({method, rawPath, rawQuery, body, command, wallNow()});
    bool freshConnection = true;
    {
        std::lock_guard lock(logMutex);
        // Connections come and go; a bounded memory of them is enough to tell a fresh one.
        if (connectionRequests.size() > 10000) connectionRequests.clear();
        freshConnection = ++connectionRequests[connection] == 1;
    }

    // Read before the fault is taken: a release between the two still ends this wait.
    const uint64_t releasesBefore = releasesSoFar();
    while (auto delay = takeFault(command, true, true))
        waitFor(delay->delaySeconds, releasesBefore);

    // A client retries a request whose reused connection died without a byte of reply; a drop is
    // spent only on a fresh connection, so the client sees the failure once per time asked.
    std::optional<Fault> fault = takeFault(command, false, false);
    bool drops = fault && (fault->kind == Fault::Kind::Drop || fault->kind == Fault::Kind::RunThenDrop);
    if (fault && (!drops || freshConnection)) takeFault(command, false, true);
    std::string warning;
    bool dropAfterRunning = false;
    if (fault) {
        switch (fault->kind) {
        case Fault::Kind::ErrorCode:
            return jsonReply({{"error", fault->value}});
        case Fault::Kind::ErrorNull:
            return jsonReply({{"error", nullptr}});
        case Fault::Kind::NotJson:
            return {200,
                    fault->value.empty() ? "<html><body>Service unavailable</body></html>" : fault->value,
                    "text/html",
                    false,
                    {}};
        case Fault::Kind::HttpStatus:
            return {fault->status, fault->value, "text/plain", false, {}};
        case Fault::Kind::Drop:
            return {0, "", "", true, {}};
        case Fault::Kind::Warning:
            warning = fault->value;
            break;
        case Fault::Kind::RunThenDrop:
            dropAfterRunning = true;
            break;
        case Fault::Kind::Answer:
            return {200, fault->value, "application/json", false, {}};
        case Fault::Kind::Delay:
            break;
        }
    }

    if (outsideRoute) {
        LocalReply out = runOutside(*outsideRoute, method, rawPath, rawQuery, body, host, authorization);
        return dropAfterRunning ? LocalReply{0, "", "", true, {}} : out;
    }

    Json reply;
    if (!isGet && body.size() > options.maxBodyBytes) {
        reply = {{"error", errors::kTooLarge}};
    } else if (exchange) {
        reply = runHandler(exchangeAds, command, params, "https://" + host);
    } else if (isGet && checkTag("https://" + host + rawPath, rawQuery) != TagCheck::Ok) {
        reply = {{"error", errors::kBadCrc}};
    } else if (command.empty()) {
        reply = {{"error", errors::kBadRequest}};
    } else {
        std::string userId = params.value("userId");
        if (userId.empty()) userId = params.value("deviceId");
        // A form carries no CRC; a picture in it is what would be stored twice, and the number the kit
        // draws for each picture it sends tells a re-send of one from a second send of the same picture.
        // Receipts in forms are taken once by the commands themselves.
        bool resendable = isGet || (params.has("image") && params.has("sendId"));
        PasswordWork passwords = preparePasswordWork(command, params, *db, dbMutex);
        reply =
            runCommand(command, params, "https://" + host,
                       resendable ? ReplyRecord::keyFor(method, params.value("appId"), userId, rawQuery, body, isGet)
                                  : std::nullopt,
                       &passwords);
    }
    if (dropAfterRunning) return {0, "", "", true, {}};
    if (!warning.empty() && reply.is_object()) reply["warning"] = warning;
    LocalReply out = jsonReply(reply);
    out.body = expandServiceAddresses(std::move(out.body), "https://" + host);
    return out;
}

void Service::Impl::handleApi(const httplib::Request& req, httplib::Response& res, const std::string& body) {
    guard->requestReceived(req.ssl);
    struct Answered {
        ConnectionGuard& guard;
        const SSL* ssl;
        ~Answered() { guard.requestAnswered(ssl); }
    } answered{*guard, req.ssl};
    LocalReply out =
        answer(req.method, req.target, body, req.get_header_value("Host"),
               req.remote_addr + ":" + std::to_string(req.remote_port), req.get_header_value("Authorization"));
    if (out.dropped) {
        if (req.ssl) ::shutdown(SSL_get_fd(req.ssl), SHUT_RDWR);
        return;
    }
    res.status = out.status;
    for (const auto& [name, value] : out.headers)
        res.set_header(name, value);
    res.set_content(out.body, out.contentType);
}

// Form bodies are read here rather than by the server, whose own form reading refuses anything over 8 KB
// before a handler sees it. Past the service's limit the rest is read and let go: one byte over is
// enough for the answer to say the body was too large. Nothing when the server stopped reading (a body
// beyond its own cut-off, or a connection gone).
std::optional<std::string> Service::Impl::readBody(const httplib::ContentReader& reader) const {
    std::string body;
    size_t keep = options.maxBodyBytes + 1;
    bool whole = reader([&](const char* data, size_t length) {
        if (body.size() < keep) body.append(data, std::min(length, keep - body.size()));
        return true;
    });
    if (!whole) return std::nullopt;
    return body;
}

LocalReply Service::answer(const std::string& method, const std::string& target, const std::string& body) {
    if (!impl_->running) return {503, "", "text/plain", false, {}};
    return impl_->answer(method, target, body, impl_->options.host + ":" + std::to_string(port()), "local");
}

Service::Service(ServiceOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Service::~Service() {
    stop();
}

bool Service::start() {
    if (impl_->running) return true;
    {
        std::lock_guard lock(impl_->waitMutex);
        impl_->stopping = false;
    }
    if (!impl_->open()) {
        impl_->close();
        return false;
    }
    auto server = std::make_unique<httplib::SSLServer>(impl_->certs.certFile.c_str(), impl_->certs.keyFile.c_str());
    if (!server->is_valid()) {
        std::fprintf(stderr, "velkora-service: cannot load the server certificate\n");
        impl_->close();
        return false;
    }
    impl_->guard = std::make_unique<ConnectionGuard>(ConnectionGuard::Limits{
        impl_->options.requestHeadSeconds, impl_->options.requestBodySeconds, impl_->options.requestHeadBytes});
    impl_->guard->watch(server->ssl_context());
    const size_t workers = std::max<size_t>(1, impl_->options.workerThreads);
    server->new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
    Impl* impl = impl_.get();
    auto api = [impl](const httplib::Request& req, httplib::Response& res) { impl->handleApi(req, res, req.body); };
    auto form = [impl](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
        impl->guard->bodyStarts(req.ssl);
        if (std::optional<std::string> body = impl->readBody(reader)) {
            impl->handleApi(req, res, *body);
        } else {
            impl->guard->requestAnswered(req.ssl);
            res.status = 413;
            res.set_content(dumpJson({{"error", errors::kTooLarge}}), "application/json; charset=utf-8");
        }
    };
    // Replies go out as headers then body; without this, Nagle and the client's delayed ACK hold every
    // reply on a reused connection for about 40 ms.
    server->set_tcp_nodelay(true);
    // A client keeps its connections for the life of its session, as a production front end lets it
    // (nginx keeps one for a thousand requests); the library's own limit of five closed a polling client's
    // connection every few requests, so its next request paid a new TLS handshake.
    server->set_keep_alive_max_count(1000);
    server->Get(kApiPath, api);
    server->Post(kApiPath, form);
    server->Get(kExchangePath, api);
    for (const OutsideRoute& route : impl_->outside) {
        server->Get(route.prefix + "/.*", api);
        server->Post(route.prefix + "/.*", form);
    }
    // Header lines past the limit are refused before any body is read.
    const size_t maxHeaderLines = impl_->options.maxHeaderLines;
    server->set_pre_routing_handler([impl, maxHeaderLines](const httplib::Request& req, httplib::Response& res) {
        if (req.headers.size() <= maxHeaderLines) return httplib::Server::HandlerResponse::Unhandled;
        impl->guard->requestAnswered(req.ssl);
        res.status = 431;
        res.set_header("Connection", "close");
        res.set_content("431 Request Header Fields Too Large\n", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
    });
    // Big bodies still get a JSON answer from the handler; only absurd ones are cut off here.
    server->set_payload_max_length(impl_->options.maxBodyBytes * 2 + 1024 * 1024);
    server->set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.status == 413) {
            res.set_content(dumpJson({{"error", errors::kTooLarge}}), "application/json; charset=utf-8");
        } else if (res.body.empty()) {
            res.set_content(std::to_string(res.status) + (res.status == 404 ? " Not Found\n" : "\n"), "text/plain");
        }
    });

    int port = impl_->options.port == 0
                   ? server->bind_to_any_port(impl_->options.host)
                   : (server->bind_to_port(impl_->options.host, impl_->options.port) ? impl_->options.port : -1);
    if (port <= 0) {
        std::fprintf(stderr, "velkora-service: cannot listen on %s:%u\n", impl_->options.host.c_str(),
                     unsigned(impl_->options.port));
        impl_->close();
        return false;
    }
    impl_->port = static_cast<uint16_t>(port);
    impl_->server = std::move(server);
    impl_->thread = std::thread([impl] { impl->server->listen_after_bind(); });
    // stop() only reaches a server whose accept loop runs; wait for it so start/stop never race.
    while (!impl_->server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    impl_->running = true;
    return true;
}

void Service::stop() {
    if (!impl_->running) return;
    {
        std::lock_guard lock(impl_->waitMutex);
        impl_->stopping = true;
    }
    impl_->waitCv.notify_all();
    impl_->server->stop();
    if (impl_->thread.joinable()) impl_->thread.join();
    impl_->server.reset();
    impl_->guard.reset();
    impl_->running = false;
    std::lock_guard lock(impl_->dbMutex);
    impl_->close();
}

bool Service::running() const {
    return impl_->running;
}
uint16_t Service::port() const {
    return impl_->port;
}
std::string Service::caFile() const {
    return impl_->certs.caFile;
}
std::string Service::dataDir() const {
    return impl_->dataDir;
}
std::string Service::baseUrl() const {
    return "https://" + impl_->options.host + ":" + std::to_string(port());
}
std::string Service::endpoint() const {
    return baseUrl() + kApiPath;
}

void Service::setClockOffset(double seconds) {
    impl_->clockOffset = seconds;
}

std::string Service::addPicture(const std::string& path, const std::string& bytes, const std::string& contentType) {
    std::lock_guard lock(impl_->dbMutex);
    storePicture(*impl_->db, path, bytes, contentType);
    return baseUrl() + kPicturesPrefix + "/" + path;
}

std::vector<RecordedRequest> Service::requests() const {
    std::lock_guard lock(impl_->logMutex);
    return {impl_->log.begin(), impl_->log.end()};
}

void Service::clearRequests() {
    std::lock_guard lock(impl_->logMutex);
    impl_->log.clear();
    impl_->logBytes = 0;
}

std::vector<RecordedRequest> Service::requestsFor(const std::string& command) const {
    std::lock_guard lock(impl_->logMutex);
    std::vector<RecordedRequest> out;
    for (const auto& r : impl_->log)
        if (r.command == command) out.push_back(r);
    return out;
}

void Service::addFault(Fault f) {
    if (f.times == 0) return;
    std::lock_guard lock(impl_->faultMutex);
    impl_->faults.push_back(std::move(f));
}

void Service::clearFaults() {
    std::lock_guard lock(impl_->faultMutex);
    impl_->faults.clear();
}

void Service::releaseDelays() {
    {
        std::lock_guard lock(impl_->faultMutex);
        std::erase_if(impl_->faults, [](const Fault& f) { return f.kind == Fault::Kind::Delay; });
    }
    {
        std::lock_guard lock(impl_->waitMutex);
        ++impl_->releases;
    }
    impl_->waitCv.notify_all();
}

namespace {

std::string insertTestUser(Database& db, const std::string& appId, const UserFields& f, double now) {
    std::string userId = rows::newUserId(db, appId);
    auto opt = [](const std::string& s) -> SqlValue {
        if (s.empty()) return std::monostate{};
        return s;
    };
    db.run("INSERT INTO users(app_id, user_id, first_name, last_name, email, photo_url, city, state, country, gender, "
           "age, score, coins, longitude, latitude, created) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
           {appId, userId, opt(f.firstName), opt(f.lastName), opt(f.email), opt(f.photoUrl), opt(f.city), opt(f.state),
            opt(f.country), opt(f.gender), f.age ? SqlValue(int64_t(*f.age)) : SqlValue(std::monostate{}),
            int64_t(f.score), int64_t(f.coins), f.located ? SqlValue(f.longitude) : SqlValue(std::monostate{}),
            f.located ? SqlValue(f.latitude) : SqlValue(std::monostate{}), now});
    const bool signedUp = f.signedUp || f.facebookId || f.twitterId || !f.password.empty();
    db.run("UPDATE users SET facebook_id = ?, twitter_id = ?, password = ?, signed_up = ?, custom_string1 = ?, "
           "is_test = ? WHERE app_id = ? AND user_id = ?",
           {f.facebookId.value_or(0), f.twitterId.value_or(0), opt(f.password), int64_t(signedUp ? 1 : 0),
            opt(f.customString1), int64_t(f.isTest ? 1 : 0), appId, userId});
    return userId;
}

} // namespace

std::string Service::createUser(const std::string& appId, const UserFields& f) {
    std::lock_guard lock(impl_->dbMutex);
    return insertTestUser(*impl_->db, appId, f, impl_->now());
}

std::vector<std::string> Service::createUsers(const std::string& appId, const std::vector<UserFields>& users) {
    std::lock_guard lock(impl_->dbMutex);
    Database& db = *impl_->db;
    std::vector<std::string> ids;
    ids.reserve(users.size());
    Transaction tx(db);
    const double now = impl_->now();
    for (const UserFields& f : users)
        ids.push_back(insertTestUser(db, appId, f, now));
    tx.commit();
    return ids;
}

void Service::addTwitterUser(int64_t id, const std::string& screenName, const std::string& name,
                             const std::string& token, const std::string& secret) {
    std::lock_guard lock(impl_->dbMutex);
    auto opt = [](const std::string& s) -> SqlValue {
        if (s.empty()) return std::monostate{};
        return s;
    };
    impl_->db->run("INSERT INTO twitter_users(id, screen_name, name, token, secret) VALUES(?, ?, ?, ?, ?)",
                   {id, screenName, name, opt(token), opt(secret)});
}

void Service::addTwitterFriends(const std::string& screenName, int count, int64_t firstId) {
    std::lock_guard lock(impl_->dbMutex);
    Database& db = *impl_->db;
    auto userId = db.scalarInteger("SELECT id FROM twitter_users WHERE screen_name = ?", {screenName});
    if (!userId) return;
    auto position = db.scalarInteger("SELECT COUNT(*) FROM twitter_friends WHERE user_id = ?", {*userId}).value_or(0);
    Transaction tx(db);
    for (int i = 0; i < count; ++i) {
        const int64_t id = firstId + i;
        db.run("INSERT OR IGNORE INTO twitter_users(id, screen_name) VALUES(?, ?)",
               {id, "friend_" + std::to_string(id)});
        db.run("INSERT OR IGNORE INTO twitter_friends(user_id, friend_id, position) VALUES(?, ?, ?)",
               {*userId, id, position + i});
    }
    tx.commit();
}

void Service::setTwitterPageSize(int ids) {
    std::lock_guard lock(impl_->dbMutex);
    impl_->options.twitterPageSize = ids;
}

void Service::addFacebookFriends(int64_t userId, int count, int64_t firstId) {
    std::lock_guard lock(impl_->dbMutex);
    Database& db = *impl_->db;
    auto position = db.scalarInteger("SELECT COUNT(*) FROM graph_friends WHERE user_id = ?", {userId}).value_or(0);
    Transaction tx(db);
    db.run("INSERT OR IGNORE INTO graph_users(id, first_name) VALUES(?, ?)", {userId, std::string("Friendly")});
    for (int i = 0; i < count; ++i) {
        const int64_t id = firstId + i;
        db.run("INSERT OR IGNORE INTO graph_users(id, first_name, last_name) VALUES(?, ?, ?)",
               {id, std::string("Friend"), std::to_string(id)});
        db.run("INSERT OR IGNORE INTO graph_friends(user_id, friend_id, position) VALUES(?, ?, ?)",
               {userId, id, position + i});
    }
    tx.commit();
}

bool Service::userExists(const std::string& appId, const std::string& userId) const {
    std::lock_guard lock(impl_->dbMutex);
    return rows::userExists(*impl_->db, appId, userId);
}

int64_t Service::sendMessage(const std::string& appId, const std::string& fromUserId, const std::string& toUserId,
                             const std::string& text, const std::string& contentType) {
    std::lock_guard lock(impl_->dbMutex);
    impl_->db->run("INSERT INTO messages(app_id, sender_user_id, recipient_user_id, message, content_type, time) "
                   "VALUES(?, ?, ?, ?, ?, ?)",
                   {appId, fromUserId, toUserId, text, contentType, impl_->now()});
    return impl_->db->lastInsertId();
}

int64_t Service::sendSystemMessage(const std::string& appId, const std::string& toUserId, const std::string& title,
                                   const std::string& contentType, const std::string& text,
                                   const std::string& extraData) {
    std::lock_guard lock(impl_->dbMutex);
    impl_->db->run("INSERT INTO messages(app_id, sender_user_id, recipient_user_id, message, content_type, is_system, "
                   "message_name, extra_data, time) VALUES(?, '_OWNER', ?, ?, ?, 1, ?, ?, ?)",
                   {appId, toUserId, text, contentType, title, extraData, impl_->now()});
    return impl_->db->lastInsertId();
}

int64_t Service::sendMessageAt(const std::string& appId, const std::string& fromUserId, const std::string& toUserId,
                               const std::string& text, double time, const std::string& contentType) {
    std::lock_guard lock(impl_->dbMutex);
    impl_->db->run("INSERT INTO messages(app_id, sender_user_id, recipient_user_id, message, content_type, time) "
                   "VALUES(?, ?, ?, ?, ?, ?)",
                   {appId, fromUserId, toUserId, text, contentType, time});
    return impl_->db->lastInsertId();
}

void Service::deleteMessageFor(const std::string& appId, const std::string& userId, int64_t changeNumber) {
    std::lock_guard lock(impl_->dbMutex);
    impl_->db->run("UPDATE messages SET deleted_by_recipient = 1 WHERE change_number = ? AND app_id = ? AND "
                   "recipient_user_id = ?",
                   {changeNumber, appId, userId});
    impl_->db->run("UPDATE messages SET deleted_by_sender = 1 WHERE change_number = ? AND app_id = ? AND "
                   "sender_user_id = ?",
                   {changeNumber, appId, userId});
}

void Service::follow(const std::string& appId, const std::string& userId, const std::string& otherUserId) {
    std::lock_guard lock(impl_->dbMutex);
    impl_->db->run("INSERT OR IGNORE INTO follows(app_id, user_id, other_app_id, other_user_id, created) "
                   "VALUES(?, ?, ?, ?, ?)",
                   {appId, userId, appId, otherUserId, impl_->now()});
}

void Service::setUserLocation(const std::string& appId, const std::string& userId, double longitude, double latitude) {
    std::lock_guard lock(impl_->dbMutex);
    impl_->db->run("UPDATE users SET longitude = ?, latitude = ? WHERE app_id = ? AND user_id = ?",
                   {longitude, latitude, appId, userId});
}

void Service::pinSuggestions(const std::string& appId, const std::string& userId,
                             const std::vector<std::string>& others) {
    std::lock_guard lock(impl_->dbMutex);
    impl_->db->run("DELETE FROM suggestion_pins WHERE app_id = ? AND user_id = ?", {appId, userId});
    for (size_t i = 0; i < others.size(); ++i)
        impl_->db->run("INSERT INTO suggestion_pins(app_id, user_id, position, other_user_id) VALUES(?, ?, ?, ?)",
                       {appId, userId, static_cast<int64_t>(i), others[i]});
}

bool Service::isFollowing(const std::string& appId, const std::string& userId, const std::string& otherUserId) const {
    std::lock_guard lock(impl_->dbMutex);
    return impl_->db
        ->scalarInteger("SELECT 1 FROM follows WHERE app_id = ? AND user_id = ? AND other_app_id = ? AND "
                        "other_user_id = ?",
                        {appId, userId, appId, otherUserId})
        .has_value();
}

std::optional<bool> Service::relation(const std::string& appId, const std::string& userId,
                                      const std::string& otherUserId, const std::string& type) const {
    std::lock_guard lock(impl_->dbMutex);
    auto value = impl_->db->scalarInteger("SELECT value FROM relations WHERE app_id = ? AND user_id = ? AND "
                                          "other_app_id = ? AND other_user_id = ? AND type = ?",
                                          {appId, userId, appId, otherUserId, type});
    if (!value) return std::nullopt;
    return *value != 0;
}

void Service::setAppConfiguration(const std::string& appId, const std::string& json) {
    std::lock_guard lock(impl_->dbMutex);
    Database& db = *impl_->db;
    if (!rows::appExists(db, appId))
        insertApp(db, appId, json, impl_->now());
    else
        db.run("UPDATE apps SET config = ?, change_number = change_number + 1 WHERE app_id = ?", {json, appId});
}

int Service::appChangeNumber(const std::string& appId) const {
    std::lock_guard lock(impl_->dbMutex);
    return static_cast<int>(
        impl_->db->scalarInteger("SELECT change_number FROM apps WHERE app_id = ?", {appId}).value_or(0));
}

std::string Service::userColumn(const std::string& appId, const std::string& userId, const std::string& column) const {
    std::lock_guard lock(impl_->dbMutex);
    // The column name cannot be bound: accept only a plain identifier.
    for (char c : column)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return {};
    try {
        return impl_->db
            ->scalarText("SELECT CAST(" + column + " AS TEXT) FROM users WHERE app_id = ? AND user_id = ?",
                         {appId, userId})
            .value_or("");
    } catch (const DatabaseError&) {
        return {};
    }
}

std::vector<std::vector<std::string>> Service::selectRows(const std::string& sql,
                                                          const std::vector<std::string>& params) const {
    std::lock_guard lock(impl_->dbMutex);
    std::vector<std::vector<std::string>> out;
    Statement s = impl_->db->prepare(sql);
    for (size_t i = 0; i < params.size(); ++i)
        s.bind(static_cast<int>(i + 1), params[i]);
    while (s.step()) {
        std::vector<std::string> row;
        for (int column = 0; column < s.columnCount(); ++column)
            row.push_back(s.text(column));
        out.push_back(std::move(row));
    }
    return out;
}

std::vector<int64_t> Service::userStickerPackIds(const std::string& appId, const std::string& userId) const {
    std::lock_guard lock(impl_->dbMutex);
    std::vector<int64_t> ids;
    Statement s = impl_->db->prepare(
        "SELECT pack_id FROM user_sticker_packs WHERE app_id = ? AND user_id = ? ORDER BY time, rowid");
    s.bindAll({appId, userId});
    while (s.step())
        ids.push_back(s.integer(0));
    return ids;
}

std::vector<Service::PurchaseRow> Service::purchases(const std::string& appId) const {
    std::lock_guard lock(impl_->dbMutex);
    std::vector<PurchaseRow> rows;
    Statement s = impl_->db->prepare("SELECT user_id, product_id, data FROM purchases WHERE app_id = ? ORDER BY id");
    s.bindAll({appId});
    while (s.step())
        rows.push_back({s.text(0), s.text(1), s.text(2)});
    return rows;
}

int64_t Service::addStickerPack(const std::string& appId, const std::string& json) {
    std::lock_guard lock(impl_->dbMutex);
    Json pack = Json::parse(json, nullptr, false);
    if (!pack.is_object()) return 0;
    Json data = pack;
    data.erase("stickers");
    int64_t position =
        impl_->db->scalarInteger("SELECT COUNT(*) FROM sticker_packs WHERE app_id = ?", {appId}).value_or(0);
    impl_->db->run("INSERT INTO sticker_packs(app_id, data, position) VALUES(?, ?, ?)", {appId, data.dump(), position});
    int64_t packId = impl_->db->lastInsertId();
    int64_t stickerPosition = 0;
    for (const Json& sticker : pack.value("stickers", Json::array()))
        impl_->db->run("INSERT INTO stickers(pack_id, data, position) VALUES(?, ?, ?)",
                       {packId, sticker.dump(), stickerPosition++});
    return packId;
}

std::vector<Service::ReceivedMessage> Service::messagesTo(const std::string& appId, const std::string& userId) const {
    std::lock_guard lock(impl_->dbMutex);
    std::vector<ReceivedMessage> out;
    Statement s = impl_->db->prepare("SELECT sender_user_id, message, message_type, rating FROM messages "
                                     "WHERE app_id = ? AND recipient_user_id = ? ORDER BY change_number");
    s.bindAll({appId, userId});
    while (s.step())
        out.push_back({s.text(0), s.text(1), static_cast<int>(s.integer(2)), static_cast<int>(s.integer(3))});
    return out;
}

int64_t Service::rowCount(const std::string& table, const std::string& column, const std::string& value) const {
    std::lock_guard lock(impl_->dbMutex);
    // Names cannot be bound: accept only plain identifiers.
    for (const std::string* name : {&table, &column})
        for (char c : *name)
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return -1;
    try {
        return impl_->db->scalarInteger("SELECT COUNT(*) FROM " + table + " WHERE " + column + " = ?", {value})
            .value_or(0);
    } catch (const DatabaseError&) {
        return -1;
    }
}

std::vector<std::string> Service::events(const std::string& appId) const {
    std::lock_guard lock(impl_->dbMutex);
    std::vector<std::string> out;
    Statement s = impl_->db->prepare("SELECT type, message FROM events WHERE app_id = ? ORDER BY id");
    s.bindAll({appId});
    while (s.step())
        out.push_back(s.text(0) + "|" + s.text(1));
    return out;
}

} // namespace velkora::service

namespace velkora::service {

int64_t Service::postFeed(const std::string& appId, const std::string& userId, const std::string& text) {
    std::lock_guard lock(impl_->dbMutex);
    impl_->db->run("INSERT INTO feed(app_id, user_id, message, time) VALUES(?, ?, ?, ?)",
                   {appId, userId, text, impl_->now()});
    return impl_->db->lastInsertId();
}

int64_t Service::addTopic(const std::string& appId, const std::string& title, const std::string& text,
                          const std::string& photoUrl, const std::string& kind) {
    std::lock_guard lock(impl_->dbMutex);
    Database& db = *impl_->db;
    SqlValue photo = photoUrl.empty() ? SqlValue(std::monostate{}) : SqlValue(photoUrl);
    db.run("INSERT INTO topics(app_id, title, text, content_type, photo_url, change_number, time) "
           "VALUES(?, ?, ?, ?, ?, ?, ?)",
           {appId, title, text, kind, photo, db.nextSequence("topics"), impl_->now()});
    return db.lastInsertId();
}

int64_t Service::addTopicComment(const std::string& appId, int64_t topicId, const std::string& userId,
                                 const std::string& text, const std::string& contentType, double secondsAgo) {
    std::lock_guard lock(impl_->dbMutex);
    Database& db = *impl_->db;
    db.run("INSERT INTO topic_comments(topic_id, app_id, user_id, text, content_type, change_number, time) "
           "VALUES(?, ?, ?, ?, ?, ?, ?)",
           {topicId, appId, userId, text, contentType, db.nextSequence("topics"), impl_->now() - secondsAgo});
    int64_t commentId = db.lastInsertId();
    rows::touchTopic(db, topicId);
    return commentId;
}

std::vector<int64_t> Service::topicCommentIds(const std::string& appId, int64_t topicId) const {
    std::lock_guard lock(impl_->dbMutex);
    std::vector<int64_t> ids;
    Statement s = impl_->db->prepare(
        "SELECT id FROM topic_comments WHERE app_id = ? AND topic_id = ? AND deleted = 0 ORDER BY id");
    s.bindAll({appId, topicId});
    while (s.step())
        ids.push_back(s.integer(0));
    return ids;
}

void Service::removeTopic(const std::string& appId, int64_t topicId) {
    std::lock_guard lock(impl_->dbMutex);
    Database& db = *impl_->db;
    db.run("UPDATE topics SET removed = 1, change_number = ? WHERE id = ? AND app_id = ?",
           {db.nextSequence("topics"), topicId, appId});
}

void Service::deleteTopicComment(const std::string& appId, int64_t topicId, int64_t commentId) {
    std::lock_guard lock(impl_->dbMutex);
    Database& db = *impl_->db;
    db.run("UPDATE topic_comments SET deleted = 1, change_number = ? WHERE id = ? AND topic_id = ? AND app_id = ?",
           {db.nextSequence("topics"), commentId, topicId, appId});
    rows::touchTopic(db, topicId);
}

int64_t Service::addQuiz(const std::string& appId, const std::string& json) {
    std::lock_guard lock(impl_->dbMutex);
    Database& db = *impl_->db;
    int64_t position = db.scalarInteger("SELECT COUNT(*) FROM quizzes WHERE app_id = ?", {appId}).value_or(0);
    db.run("INSERT INTO quizzes(app_id, data, position) VALUES(?, ?, ?)", {appId, json, position});
    return db.lastInsertId();
}

int64_t Service::addAppDeal(const std::string& appId, const std::string& json) {
    std::lock_guard lock(impl_->dbMutex);
    Database& db = *impl_->db;
    int64_t position = db.scalarInteger("SELECT COUNT(*) FROM app_deals WHERE app_id = ?", {appId}).value_or(0);
    db.run("INSERT INTO app_deals(app_id, data, position) VALUES(?, ?, ?)", {appId, json, position});
    return db.lastInsertId();
}

void Service::addWebPage(const std::string& name, const std::string& title, const std::string& body,
                         const std::string& redirectTo) {
    std::lock_guard lock(impl_->dbMutex);
    impl_->db->run("INSERT OR REPLACE INTO web_pages(name, title, body, redirect) VALUES(?, ?, ?, ?)",
                   {name, title, body, redirectTo.empty() ? SqlValue() : SqlValue(redirectTo)});
}

void Service::likeFeed(const std::string& appId, const std::string& userId, int64_t feedId) {
    std::lock_guard lock(impl_->dbMutex);
    rows::likeFeedItem(*impl_->db, appId, userId, feedId, impl_->now());
}

int64_t Service::addFeedItem(const std::string& appId, const std::string& userId, const FeedItemFields& f) {
    std::lock_guard lock(impl_->dbMutex);
    auto text = [](const std::string& v) { return v.empty() ? SqlValue(std::monostate{}) : SqlValue(v); };
    Database& db = *impl_->db;
    SqlValue topicTitle = std::monostate{};
    if (f.topicId) {
        Statement s = db.prepare("SELECT title FROM topics WHERE app_id = ? AND id = ?");
        s.bindAll({appId, f.topicId});
        if (s.step() && !s.isNull(0)) topicTitle = s.text(0);
    }
    db.run("INSERT INTO feed(app_id, user_id, message, message_type, other_user_id, topic_id, topic_title, "
           "action_verb, action_id, desc_text, desc_image_url, desc_sub_text, time) "
           "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
           {appId, userId, text(f.message), int64_t(f.messageType), text(f.otherUserId), f.topicId, topicTitle,
            text(f.actionVerb), text(f.actionId), text(f.descText), text(f.descImageUrl), text(f.descSubText),
            impl_->now() - f.secondsAgo});
    return db.lastInsertId();
}

namespace {
// One user's like of a thing, as the like command keeps it: the thing's row, the like, a new change number.
int64_t storeLike(Database& db, const std::string& appId, const std::string& userId, const std::string& type,
                  const std::string& object, const std::string& description, std::optional<int64_t> topicId,
                  std::optional<int64_t> commentId, double time) {
    auto optional = [](const std::optional<int64_t>& v) { return v ? SqlValue(*v) : SqlValue(std::monostate{}); };
    int64_t id = rows::likeObjectId(db, appId, type, object, time);
    db.run("UPDATE like_objects SET topic_id = COALESCE(?, topic_id), comment_id = COALESCE(?, comment_id), "
           "description = COALESCE(NULLIF(?, ''), description), time = ?, change_number = ? WHERE id = ?",
           {optional(topicId), optional(commentId), description, time, db.nextSequence("likes"), id});
    db.run("INSERT OR IGNORE INTO likes(object_id, user_id, time) VALUES(?, ?, ?)", {id, userId, time});
    if (topicId) rows::touchTopic(db, *topicId);
    return id;
}
} // namespace

int64_t Service::likeObject(const std::string& appId, const std::string& userId, const std::string& type,
                            const std::string& object, const std::string& description, double secondsAgo) {
    std::lock_guard lock(impl_->dbMutex);
    return storeLike(*impl_->db, appId, userId, type, object, description, std::nullopt, std::nullopt,
                     impl_->now() - secondsAgo);
}

int64_t Service::likeTopic(const std::string& appId, const std::string& userId, int64_t topicId, double secondsAgo) {
    std::lock_guard lock(impl_->dbMutex);
    return storeLike(*impl_->db, appId, userId, "TOPIC", std::to_string(topicId), {}, topicId, std::nullopt,
                     impl_->now() - secondsAgo);
}

int64_t Service::likeTopicComment(const std::string& appId, const std::string& userId, int64_t topicId,
                                  int64_t commentId, double secondsAgo) {
    std::lock_guard lock(impl_->dbMutex);
    return storeLike(*impl_->db, appId, userId, "COMMENT", std::to_string(commentId), {}, topicId, commentId,
                     impl_->now() - secondsAgo);
}

int Service::likesOf(const std::string& appId, const std::string& type, const std::string& object) const {
    std::lock_guard lock(impl_->dbMutex);
    return rows::likeCount(*impl_->db, appId, type, object);
}

} // namespace velkora::service

namespace velkora::service {

std::string Service::signStoreReceipt(const std::string& productId, const std::string& transactionId,
                                      const std::string& account) {
    std::lock_guard lock(impl_->dbMutex);
    return recordStorePurchase(*impl_->db, account, productId, transactionId, impl_->now());
}

bool Service::setStoreOutcome(const std::string& productId, StoreOutcome outcome) {
    std::lock_guard lock(impl_->dbMutex);
    return service::setStoreOutcome(*impl_->db, productId, outcome);
}

} // namespace velkora::service

namespace velkora::service {

void Service::setUserCoins(const std::string& appId, const std::string& userId, int64_t coins) {
    std::lock_guard lock(impl_->dbMutex);
    impl_->db->run("UPDATE users SET coins = ? WHERE app_id = ? AND user_id = ?", {coins, appId, userId});
}

std::vector<Service::PurchaseRow> Service::purchases(const std::string& appId, const std::string& userId) const {
    std::vector<PurchaseRow> rows;
    for (auto& row : purchases(appId))
        if (row.userId == userId) rows.push_back(std::move(row));
    return rows;
}

std::vector<Service::QuizSuggestion> Service::quizSuggestions(const std::string& appId) const {
    std::lock_guard lock(impl_->dbMutex);
    std::vector<QuizSuggestion> out;
    Statement s = impl_->db->prepare("SELECT user_id, data FROM quiz_suggestions WHERE app_id = ? ORDER BY id");
    s.bindAll({appId});
    while (s.step()) {
        Json data = Json::parse(s.text(1), nullptr, false);
        if (!data.is_object()) continue;
        QuizSuggestion q;
        q.userId = s.text(0);
        q.quizId = data.value("quizId", int64_t(0));
        q.question = data.value("question", "");
        q.correct = data.value("correct", "");
        const Json wrong = data.value("wrong", Json::array());
        std::string* slots[] = {&q.wrong1, &q.wrong2, &q.wrong3};
        for (size_t i = 0; i < 3 && i < wrong.size(); ++i)
            if (wrong[i].is_string()) *slots[i] = wrong[i].get<std::string>();
        out.push_back(std::move(q));
    }
    return out;
}

} // namespace velkora::service
