#include "ReplyRecord.h"

#include <openssl/evp.h>

namespace velkora::service {

namespace {

// Bodies carry whole pictures: the record keeps a digest of the text, not the text.
std::string sha256(const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr) != 1) return text;
    return std::string(reinterpret_cast<const char*>(digest), length);
}

} // namespace

std::optional<std::string> ReplyRecord::keyFor(const std::string& method, const std::string& appId,
                                               const std::string& userId, const std::string& rawQuery,
                                               const std::string& body, bool tagged) {
    if (userId.empty()) return std::nullopt;
    if (method == "GET") {
        if (!tagged) return std::nullopt;
        return sha256("GET\n" + appId + "\n" + userId + "\n" + rawQuery);
    }
    return sha256(method + "\n" + appId + "\n" + userId + "\n" + body);
}

std::optional<std::string> ReplyRecord::find(const std::string& key, double now) {
    while (!order_.empty()) {
        auto oldest = entries_.find(order_.front());
        if (oldest != entries_.end() && now - oldest->second.time < kLifetimeSeconds) break;
        forgetOldest();
    }
    auto it = entries_.find(key);
    if (it == entries_.end()) return std::nullopt;
    return it->second.reply;
}

void ReplyRecord::keep(const std::string& key, std::string reply, double now) {
    if (entries_.count(key)) return; // the first answer stands
    bytes_ += key.size() + reply.size();
    entries_.emplace(key, Entry{std::move(reply), now});
    order_.push_back(key);
    while (order_.size() > kMaxEntries || (bytes_ > kMaxBytes && order_.size() > 1))
        forgetOldest();
}

void ReplyRecord::forgetOldest() {
    auto it = entries_.find(order_.front());
    if (it != entries_.end()) {
        bytes_ -= it->first.size() + it->second.reply.size();
        entries_.erase(it);
    }
    order_.pop_front();
}

} // namespace velkora::service
