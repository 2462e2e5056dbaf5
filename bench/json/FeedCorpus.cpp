#include "FeedCorpus.h"

#include <array>
#include <cstdio>

namespace velkora::bench {

namespace {

// splitmix64: fully specified, unlike the standard library's distributions.
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint64_t next() {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint64_t below(uint64_t n) { return next() % n; }
    bool chance(unsigned percent) { return below(100) < percent; }

private:
    uint64_t s_;
};

const std::array<const char*, 24> kWords = {"the",
                                            "game",
                                            "level",
                                            "score",
                                            "friends",
                                            "great",
                                            "today",
                                            "play",
                                            "win",
                                            "quiz",
                                            "sticker",
                                            "chat",
                                            "new",
                                            "record",
                                            "beat",
                                            "me",
                                            "again",
                                            "fun",
                                            "team",
                                            "\\\"best\\\"",
                                            "caf\xC3\xA9",
                                            "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
                                            "\xF0\x9F\x8E\x89",
                                            "\\u00e9t\\u00e9"};
const std::array<const char*, 12> kNames = {"Ana", "Ben",  "Chloe", "Dov",   "Eitan", "Fiona",
                                            "Gal", "Hana", "Ido",   "Jonas", "Keren", "Lior"};

std::string number(uint64_t v) {
    return std::to_string(v);
}

std::string decimal(Rng& r, int whole, int places) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%d.%0*d", r.chance(30) ? "-" : "", static_cast<int>(r.below(whole)), places,
                  static_cast<int>(r.below(1000000) % 1000000));
    return buf;
}

std::string sentence(Rng& r, int minWords, int maxWords) {
    std::string s;
    int n = minWords + static_cast<int>(r.below(static_cast<uint64_t>(maxWords - minWords + 1)));
    for (int i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += kWords[r.below(kWords.size())];
    }
    if (r.chance(10)) s += "\\n";
    return s;
}

void user(Rng& r, std::string& out) {
    uint64_t id = 100000 + r.below(900000);
    const char* name = kNames[r.below(kNames.size())];
    out += "{\"userId\":\"" + number(id) + "\",\"name\":\"" + name + " " + kNames[r.below(kNames.size())] +
           "\",\"imageUrl\":\"https://img.velkora.example/u/" + number(id) + "/avatar_128.jpg\",\"fbId\":\"" +
           number(10000000000ull + r.below(9000000000ull)) + "\",\"status\":\"" + sentence(r, 0, 6) +
           "\",\"numFollowers\":" + number(r.below(5000)) + ",\"isFollowing\":" + (r.chance(40) ? "true" : "false") +
           ",\"lat\":" + decimal(r, 90, 6) + ",\"lon\":" + decimal(r, 180, 6) +
           ",\"score\":" + number(r.below(100000)) + ",\"lastSeen\":" + number(1765000000 + r.below(300000)) +
           ",\"badge\":" + (r.chance(20) ? "null" : "\"gold\"") + "}";
}

void message(Rng& r, uint64_t& nextId, std::string& out) {
    out += "{\"feedId\":\"" + number(nextId++) + "\",\"type\":" + number(r.below(4)) +
           ",\"time\":" + number(1765000000 + r.below(300000)) + ",\"text\":\"" + sentence(r, 3, 30) + "\",\"poster\":";
    user(r, out);
    out += ",\"numLikes\":" + number(r.below(50)) + ",\"likes\":[";
    int likes = static_cast<int>(r.below(4));
    for (int i = 0; i < likes; ++i) {
        if (i) out += ',';
        out += "{\"userId\":\"" + number(100000 + r.below(900000)) +
               "\",\"time\":" + number(1765000000 + r.below(300000)) + "}";
    }
    out += "],\"comments\":[";
    int comments = static_cast<int>(r.below(3));
    for (int i = 0; i < comments; ++i) {
        if (i) out += ',';
        out += "{\"commentId\":\"" + number(nextId++) + "\",\"text\":\"" + sentence(r, 1, 12) + "\",\"user\":";
        user(r, out);
        out += "}";
    }
    out += "]";
    if (r.chance(25))
        out += ",\"imageUrl\":\"https://img.velkora.example/f/" + number(nextId) +
               ".jpg\",\"imageRatio\":" + decimal(r, 3, 4);
    out += ",\"resent\":" + std::string(r.chance(10) ? "true" : "false") + "}";
}

} // namespace

std::string makeFeedPage(size_t targetBytes, uint64_t seed) {
    Rng r(seed);
    uint64_t nextId = 5000000;
    std::string out =
        "{\"changeNumber\":" + number(80000 + r.below(1000)) + ",\"serverTime\":1765300000.125,\"messages\":[";
    bool first = true;
    while (out.size() < targetBytes) {
        if (!first) out += ',';
        first = false;
        message(r, nextId, out);
    }
    out += "],\"hasMore\":true}";
    return out;
}

std::string makeUserReply(uint64_t seed) {
    Rng r(seed);
    std::string out = "{\"user\":";
    user(r, out);
    out += ",\"serverTime\":1765300000,\"coins\":120,\"friends\":[";
    bool first = true;
    while (out.size() < 4000) {
        if (!first) out += ',';
        first = false;
        user(r, out);
    }
    out += "]}";
    return out;
}

} // namespace velkora::bench
