// The answers the service gave to requests that changed something, kept a short while so that a
// client re-sending a request whose answer it never received gets that answer again instead of a
// second copy of the effect (a second message, a second score).
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>

namespace velkora::service {

class ReplyRecord {
public:
    // A client re-sends for at most six attempts of up to a minute each; ten minutes covers them all.
    static constexpr double kLifetimeSeconds = 600;
    static constexpr size_t kMaxEntries = 4096;
    static constexpr size_t kMaxBytes = 16 * 1024 * 1024;

    // The key of a request that may be a re-send: the same user and the same request text, tag included.
    // Nothing for requests that name no user, or GETs without their time stamp and CRC: a re-send of
    // those cannot be told from a new request.
    static std::optional<std::string> keyFor(const std::string& method, const std::string& appId,
                                             const std::string& userId, const std::string& rawQuery,
                                             const std::string& body, bool tagged);

    std::optional<std::string> find(const std::string& key, double now);
    void keep(const std::string& key, std::string reply, double now);
    size_t size() const { return entries_.size(); }

private:
    struct Entry {
        std::string reply;
        double time;
    };
    void forgetOldest();

    std::unordered_map<std::string, Entry> entries_;
    std::deque<std::string> order_; // keys, oldest first
    size_t bytes_ = 0;
};

} // namespace velkora::service
