#include "ConnectionGuard.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <string>

namespace velkora::service {

namespace {

constexpr double kTickSeconds = 0.05;

double steadyNow() {
    using namespace std::chrono;
    return duration_cast<duration<double>>(steady_clock::now().time_since_epoch()).count();
}

// "address:port" of the connection's far end; empty once the socket is closed.
std::string peerOf(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
    char text[INET6_ADDRSTRLEN] = {};
    uint16_t port = 0;
    if (address.ss_family == AF_INET) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        port = ntohs(v4->sin_port);
    } else if (address.ss_family == AF_INET6) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        port = ntohs(v6->sin6_port);
    }
    return std::string(text) + ":" + std::to_string(port);
}

int contextIndex() {
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

} // namespace

ConnectionGuard::ConnectionGuard(Limits limits) : limits_(limits), thread_([this] { run(); }) {}

ConnectionGuard::~ConnectionGuard() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ConnectionGuard::watch(SSL_CTX* context) {
    SSL_CTX_set_ex_data(context, contextIndex(), this);
    SSL_CTX_set_info_callback(context, &ConnectionGuard::onInfo);
    SSL_CTX_set_msg_callback(context, &ConnectionGuard::onRecord);
}

void ConnectionGuard::onRecord(int writing, int, int contentType, const void* bytes, size_t length, SSL* ssl, void*) {
    // Every record the connection reads passes here with its header, on the thread that reads it: a head
    // past its budget is cut before the next record is taken in.
    if (writing || contentType != SSL3_RT_HEADER || length < 5) return;
    auto* header = static_cast<const unsigned char*>(bytes);
    auto* guard = static_cast<ConnectionGuard*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), contextIndex()));
    if (guard) guard->recordRead(SSL_get_fd(ssl), (size_t(header[3]) << 8) | header[4]);
}

void ConnectionGuard::recordRead(int fd, size_t length) {
    if (fd < 0) return;
    std::lock_guard lock(mutex_);
    auto it = watched_.find(fd);
    if (it == watched_.end() || it->second.phase != Phase::Head) return;
    Watched& w = it->second;
    if (!w.started) {
        w.started = true;
        w.firstByte = steadyNow();
    }
    w.headBytes += length;
    if (w.headBytes <= limits_.headBytes) return;
    ::shutdown(fd, SHUT_RDWR);
    ++cut_;
    watched_.erase(it);
}

void ConnectionGuard::onInfo(const SSL* ssl, int where, int) {
    if (!(where & SSL_CB_HANDSHAKE_START) || !SSL_is_server(const_cast<SSL*>(ssl))) return;
    auto* guard = static_cast<ConnectionGuard*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), contextIndex()));
    int fd = SSL_get_fd(ssl);
    // A renegotiation or key update starts a handshake on a connection already watched: nothing new.
    if (guard && fd >= 0) guard->registerConnection(fd);
}

void ConnectionGuard::registerConnection(int fd) {
    std::string peer = peerOf(fd);
    double now = steadyNow();
    std::lock_guard lock(mutex_);
    auto it = watched_.find(fd);
    if (it != watched_.end() && it->second.peer == peer) return;
    // The handshake is the start of the first request: it counts against the head's deadline and budget.
    watched_[fd] = Watched{peer, Phase::Head, now, 0, true, now};
}

void ConnectionGuard::setPhase(const SSL* ssl, Phase phase) {
    int fd = ssl ? SSL_get_fd(ssl) : -1;
    if (fd < 0) return;
    double now = steadyNow();
    std::lock_guard lock(mutex_);
    auto it = watched_.find(fd);
    if (it == watched_.end()) return;
    Watched& w = it->second;
    w.phase = phase;
    w.since = now;
    if (phase == Phase::Head) {
        w.headBytes = 0;
        w.started = false;
    }
}

void ConnectionGuard::bodyStarts(const SSL* ssl) {
    setPhase(ssl, Phase::Body);
}

void ConnectionGuard::requestReceived(const SSL* ssl) {
    setPhase(ssl, Phase::Answering);
}

void ConnectionGuard::requestAnswered(const SSL* ssl) {
    setPhase(ssl, Phase::Head);
}

uint64_t ConnectionGuard::cutConnections() const {
    std::lock_guard lock(mutex_);
    return cut_;
}

void ConnectionGuard::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, std::chrono::duration<double>(kTickSeconds), [this] { return stopping_; });
        double now = steadyNow();
        for (auto it = watched_.begin(); it != watched_.end();) {
            int fd = it->first;
            Watched& w = it->second;
            // A closed connection (or its number taken by another) is forgotten.
            if (peerOf(fd) != w.peer) {
                it = watched_.erase(it);
                continue;
            }
            bool cut = false;
            if (w.phase == Phase::Head) {
                cut = w.started && now - w.firstByte > limits_.headSeconds;
            } else if (w.phase == Phase::Body) {
                cut = now - w.since > limits_.bodySeconds;
            }
            if (!cut) {
                ++it;
                continue;
            }
            ::shutdown(fd, SHUT_RDWR);
            ++cut_;
            it = watched_.erase(it);
        }
    }
}

} // namespace velkora::service
