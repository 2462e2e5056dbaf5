// Watches the service's connections from their TLS handshake until they close, so that a slow or bloated
// request never holds a worker for long: a request's head must arrive whole within a deadline and within
// a byte budget, and a form's body within a deadline of its own, or the connection is shut down (its
// worker's read then fails and the worker goes on to other connections). Idle kept-alive connections are
// left to the server's own keep-alive time-out.
#pragma once

#include <openssl/ssl.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace velkora::service {

class ConnectionGuard {
public:
    struct Limits {
        double headSeconds = 10;        // from a request's first byte to its whole head
        double bodySeconds = 120;       // for a form's body, once its head is in
        uint64_t headBytes = 64 * 1024; // TLS record bytes read until a request's head is whole
    };

    explicit ConnectionGuard(Limits limits);
    ~ConnectionGuard(); // stops the watch
    ConnectionGuard(const ConnectionGuard&) = delete;
    ConnectionGuard& operator=(const ConnectionGuard&) = delete;

    // Connections of this context are watched from the start of their handshake.
    void watch(SSL_CTX* context);

    // What the request handlers say of the connection of `ssl`.
    void bodyStarts(const SSL* ssl);      // the head is in; a form's body is being read
    void requestReceived(const SSL* ssl); // all of the request is in: no deadline while it is answered
    void requestAnswered(const SSL* ssl); // the connection waits for its next request

    // Connections shut down so far for a deadline or the head's budget.
    uint64_t cutConnections() const;

private:
    enum class Phase { Head, Body, Answering };
    struct Watched {
        std::string peer; // "address:port", so a number reused by another connection is not mistaken
        Phase phase = Phase::Head;
        double since = 0;       // when the phase began (seconds, steady clock)
        uint64_t headBytes = 0; // record bytes read since the head phase began
        bool started = false;   // some of the request arrived
        double firstByte = 0;
    };

    static void onInfo(const SSL* ssl, int where, int ret);
    static void onRecord(int writing, int version, int contentType, const void* bytes, size_t length, SSL* ssl,
                         void* argument);
    void recordRead(int fd, size_t length);
    void registerConnection(int fd);
    void setPhase(const SSL* ssl, Phase phase);
    void run();

    Limits limits_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::map<int, Watched> watched_;
    uint64_t cut_ = 0;
    std::thread thread_;
};

} // namespace velkora::service
