// The Twitter stand-in under "/twitter": version 1.1's users/show, friends/ids, users/lookup and
// statuses/update, signed by the device's accounts with their secrets, with per-account rate limits in
// windows of fifteen minutes of the service's clock.
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <fstream>
#include <sstream>

#include "Commands.h"
#include "OutsideRoutes.h"

namespace velkora::service {

namespace {

constexpr double kRateWindowSeconds = 15 * 60;

LocalReply twitterError(int status, int code, const std::string& message) {
    Json body = {{"errors", Json::array({{{"code", code}, {"message", message}}})}};
    return outside::json(status, body.dump());
}

std::string base64(const unsigned char* data, size_t size) {
    std::string out(4 * ((size + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, static_cast<int>(size));
    out.resize(static_cast<size_t>(std::max(n, 0)));
    return out;
}

// "OAuth k="v", k2="v2"": the pairs, their values percent-decoded.
std::vector<std::pair<std::string, std::string>> readAuthorization(const std::string& header) {
    std::vector<std::pair<std::string, std::string>> out;
    const std::string scheme = "OAuth ";
    if (header.compare(0, scheme.size(), scheme) != 0) return out;
    std::string rest = header.substr(scheme.size());
    size_t pos = 0;
    while (pos < rest.size()) {
        size_t comma = rest.find(',', pos);
        std::string item = rest.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        pos = comma == std::string::npos ? rest.size() : comma + 1;
        size_t eq = item.find('=');
        if (eq == std::string::npos) continue;
        std::string key = item.substr(0, eq);
        key.erase(0, key.find_first_not_of(' '));
        std::string value = item.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        out.emplace_back(key, percentDecode(value, false));
    }
    return out;
}

std::string signatureOf(const std::string& method, const std::string& url,
                        std::vector<std::pair<std::string, std::string>> params, const std::string& secret) {
    for (auto& [k, v] : params) {
        k = outside::percentEncode(k);
        v = outside::percentEncode(v);
    }
    std::sort(params.begin(), params.end());
    std::string joined;
    for (const auto& [k, v] : params)
        joined += (joined.empty() ? "" : "&") + k + "=" + v;
    std::string base = method + "&" + outside::percentEncode(url) + "&" + outside::percentEncode(joined);
    std::string key = std::string("&").append(outside::percentEncode(secret));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(base.data()),
         base.size(), digest, &length);
    return base64(digest, length);
}

Json userObject(Statement& s, const std::string& baseUrl) {
    int64_t id = s.integer(0);
    std::string picture = baseUrl + "/twitter/profile_images/" + std::to_string(id) + ".png";
    return {{"id", id},
            {"id_str", std::to_string(id)},
            {"screen_name", s.text(1)},
            {"name", s.text(2)},
            {"location", s.text(3)},
            {"profile_image_url", picture},
            {"profile_image_url_https", picture}};
}

constexpr const char* kUserColumns = "SELECT id, screen_name, name, location FROM twitter_users ";

struct Account {
    int64_t id = 0;
    std::string screenName;
    std::string token;
};

// How far a signed request's time stamp may be from the service's clock; its nonce is remembered for as
// long, so a request seen once is never taken again.
constexpr double kTimestampWindowSeconds = 300;

// The account that signed the request, or the 401 that refuses it.
std::variant<Account, LocalReply> authenticate(OutsideRequest& r) {
    auto oauth = readAuthorization(r.authorization);
    std::string token, signature, nonce, timestamp;
    std::vector<std::pair<std::string, std::string>> signedParams = r.params.pairs();
    for (const auto& [k, v] : oauth) {
        if (k == "oauth_signature")
            signature = v;
        else {
            if (k == "oauth_token") token = v;
            if (k == "oauth_nonce") nonce = v;
            if (k == "oauth_timestamp") timestamp = v;
            if (k.rfind("oauth_", 0) == 0) signedParams.emplace_back(k, v);
        }
    }
    if (token.empty() || signature.empty()) return twitterError(401, 215, "Bad Authentication data.");
    Statement s = r.db.prepare("SELECT id, screen_name, secret FROM twitter_users WHERE token = ?");
    s.bindAll({token});
    if (!s.step()) return twitterError(401, 89, "Invalid or expired token.");
    Account account{s.integer(0), s.text(1), token};
    if (signatureOf(r.method, r.url, signedParams, s.text(2)) != signature)
        return twitterError(401, 32, "Could not authenticate you.");
    // Against the real time: tests move the service's own clock to play token expiry, not the device's.
    const double now = double(std::time(nullptr));
    std::optional<int64_t> stamped = parseInteger(timestamp);
    if (!stamped || std::abs(double(*stamped) - now) > kTimestampWindowSeconds)
        return twitterError(401, 135, "Timestamp out of bounds.");
    // A signed request replayed by whoever saw it carries the nonce it was signed with.
    r.db.run("DELETE FROM twitter_nonces WHERE seen < ?", {now - 2 * kTimestampWindowSeconds});
    if (nonce.empty() ||
        r.db.scalarInteger("SELECT 1 FROM twitter_nonces WHERE token = ? AND nonce = ?", {token, nonce}))
        return twitterError(401, 32, "Could not authenticate you.");
    r.db.run("INSERT INTO twitter_nonces(token, nonce, seen) VALUES(?, ?, ?)", {token, nonce, now});
    return account;
}

struct Limit {
    const char* path;
    int perWindow;
};
constexpr Limit kLimits[] = {
    {"1.1/users/show.json", 180}, {"1.1/friends/ids.json", 15}, {"1.1/users/lookup.json", 180}};

// Counts one request of the account against its window; answers the requests left after it, or -1 when
// the window was used up before it. Nothing when the interface has no limit.
std::optional<int> spendRate(OutsideRequest& r, const Account& account) {
    const Limit* limit = nullptr;
    for (const Limit& l : kLimits)
        if (r.path == l.path) limit = &l;
    if (!limit) return std::nullopt;
    int64_t window = static_cast<int64_t>(std::floor(r.now / kRateWindowSeconds));
    int64_t used = r.db.scalarInteger("SELECT used FROM twitter_rate WHERE token = ? AND resource = ? AND window = ?",
                                      {account.token, r.path, window})
                       .value_or(0);
    if (used >= limit->perWindow) return -1;
    r.db.run("INSERT OR REPLACE INTO twitter_rate(token, resource, window, used) VALUES(?, ?, ?, ?)",
             {account.token, r.path, window, used + 1});
    return static_cast<int>(limit->perWindow - used - 1);
}

LocalReply usersShow(OutsideRequest& r) {
    Statement s = r.db.prepare(std::string(kUserColumns) + "WHERE screen_name = ? COLLATE NOCASE");
    s.bindAll({r.params.value("screen_name")});
    if (!s.step()) return twitterError(404, 50, "User not found.");
    return outside::json(200, userObject(s, r.baseUrl).dump());
}

LocalReply friendsIds(OutsideRequest& r) {
    Statement who = r.db.prepare("SELECT id FROM twitter_users WHERE screen_name = ? COLLATE NOCASE");
    who.bindAll({r.params.value("screen_name")});
    if (!who.step()) return twitterError(404, 34, "Sorry, that page does not exist.");
    int64_t userId = who.integer(0);
    // A cursor is the offset of the page it opens; -1 (or none) is the first page.
    int64_t cursor = parseInteger(r.params.value("cursor", "-1")).value_or(-1);
    int64_t offset = cursor < 0 ? 0 : cursor;
    int64_t pageSize = r.options.twitterPageSize;
    if (auto count = parseInteger(r.params.value("count"))) pageSize = *count;
    pageSize = std::clamp<int64_t>(pageSize, 1, 5000);
    Statement s = r.db.prepare("SELECT friend_id FROM twitter_friends WHERE user_id = ? ORDER BY position "
                               "LIMIT ? OFFSET ?");
    s.bindAll({userId, pageSize + 1, offset});
    Json ids = Json::array();
    bool more = false;
    while (s.step()) {
        if (static_cast<int64_t>(ids.size()) == pageSize) {
            more = true;
            break;
        }
        ids.push_back(s.integer(0));
    }
    int64_t next = more ? offset + pageSize : 0;
    int64_t previous = offset > 0 ? -std::max<int64_t>(offset - pageSize, 1) : 0;
    Json page = {{"ids", ids},
                 {"next_cursor", next},
                 {"next_cursor_str", std::to_string(next)},
                 {"previous_cursor", previous},
                 {"previous_cursor_str", std::to_string(previous)}};
    return outside::json(200, page.dump());
}

LocalReply usersLookup(OutsideRequest& r) {
    Json users = Json::array();
    std::stringstream list(r.params.value("user_id"));
    std::string item;
    while (std::getline(list, item, ',')) {
        auto id = parseInteger(item);
        if (!id) continue;
        Statement s = r.db.prepare(std::string(kUserColumns) + "WHERE id = ?");
        s.bindAll({*id});
        if (s.step()) users.push_back(userObject(s, r.baseUrl));
    }
    if (users.empty()) return twitterError(404, 17, "No user matches for specified terms.");
    return outside::json(200, users.dump());
}

LocalReply statusesUpdate(OutsideRequest& r, const Account& account) {
    if (r.method != "POST") return twitterError(404, 34, "Sorry, that page does not exist.");
    std::string text = r.params.value("status");
    if (text.empty()) return twitterError(403, 170, "Missing required parameter: status.");
    r.db.run("INSERT INTO tweets(user_id, text, created) VALUES(?, ?, ?)", {account.id, text, r.now});
    int64_t tweetId = r.db.lastInsertId();
    Statement s = r.db.prepare(std::string(kUserColumns) + "WHERE id = ?");
    s.bindAll({account.id});
    s.step();
    Json tweet = {
        {"id", tweetId}, {"id_str", std::to_string(tweetId)}, {"text", text}, {"user", userObject(s, r.baseUrl)}};
    return outside::json(200, tweet.dump());
}

LocalReply answerTwitter(OutsideRequest& r) {
    const std::string images = "profile_images/";
    if (r.path.rfind(images, 0) == 0) {
        std::string name = r.path.substr(images.size());
        if (name.size() < 5 || name.compare(name.size() - 4, 4, ".png") != 0)
            return twitterError(404, 34, "Sorry, that page does not exist.");
        return {200, outside::picturePng("twitter/" + name), "image/png", false, {}};
    }
    using Handler = LocalReply (*)(OutsideRequest&);
    static const std::pair<const char*, Handler> reads[] = {{"1.1/users/show.json", usersShow},
                                                            {"1.1/friends/ids.json", friendsIds},
                                                            {"1.1/users/lookup.json", usersLookup}};
    bool isUpdate = r.path == "1.1/statuses/update.json";
    Handler handler = nullptr;
    for (const auto& [path, h] : reads)
        if (r.path == path) handler = h;
    if (!handler && !isUpdate) return twitterError(404, 34, "Sorry, that page does not exist.");

    auto auth = authenticate(r);
    if (auto* refusal = std::get_if<LocalReply>(&auth)) return *refusal;
    const Account& account = std::get<Account>(auth);
    std::optional<int> remaining = spendRate(r, account);
    LocalReply reply = remaining && *remaining < 0 ? twitterError(429, 88, "Rate limit exceeded")
                       : isUpdate                  ? statusesUpdate(r, account)
                                                   : handler(r);
    if (remaining) reply.headers.emplace_back("x-rate-limit-remaining", std::to_string(std::max(*remaining, 0)));
    return reply;
}

void createTwitterSchema(Database& db) {
    db.exec(R"(
CREATE TABLE IF NOT EXISTS twitter_users (
    id INTEGER PRIMARY KEY,
    screen_name TEXT NOT NULL UNIQUE COLLATE NOCASE,
    name TEXT NOT NULL DEFAULT '',
    location TEXT NOT NULL DEFAULT '',
    token TEXT UNIQUE,             -- the device accounts only
    secret TEXT
);
CREATE TABLE IF NOT EXISTS twitter_friends (user_id INTEGER NOT NULL, friend_id INTEGER NOT NULL, position INTEGER NOT NULL,
    PRIMARY KEY (user_id, friend_id));
CREATE TABLE IF NOT EXISTS tweets (id INTEGER PRIMARY KEY AUTOINCREMENT, user_id INTEGER NOT NULL, text TEXT NOT NULL,
    created REAL NOT NULL);
CREATE TABLE IF NOT EXISTS twitter_nonces (token TEXT NOT NULL, nonce TEXT NOT NULL, seen REAL NOT NULL,
    PRIMARY KEY (token, nonce));
CREATE TABLE IF NOT EXISTS twitter_rate (token TEXT NOT NULL, resource TEXT NOT NULL, window INTEGER NOT NULL,
    used INTEGER NOT NULL, PRIMARY KEY (token, resource, window));
)");
}

void seedTwitter(Database& db, const std::string& seedPath, double) {
    std::ifstream in(seedPath);
    Json seed = Json::parse(in, nullptr, false);
    if (!seed.is_object() || !seed.contains("twitter")) return;
    if (db.scalarInteger("SELECT 1 FROM twitter_users LIMIT 1")) return;
    const Json& twitter = seed["twitter"];
    for (const Json& u : twitter.value("users", Json::array())) {
        SqlValue token = std::monostate{}, secret = std::monostate{};
        if (u.contains("token")) token = u["token"].get<std::string>();
        if (u.contains("secret")) secret = u["secret"].get<std::string>();
        db.run("INSERT INTO twitter_users(id, screen_name, name, location, token, secret) VALUES(?, ?, ?, ?, ?, ?)",
               {u.at("id").get<int64_t>(), u.at("screen_name").get<std::string>(), u.value("name", ""),
                u.value("location", ""), token, secret});
        // The service's own users who are on Twitter too: the friend matching finds them.
        for (const Json& member : u.value("velkoraUsers", Json::array()))
            db.run("UPDATE users SET twitter_id = ? WHERE app_id = ? AND user_id = ?",
                   {u.at("id").get<int64_t>(), member.at(0).get<std::string>(), member.at(1).get<std::string>()});
    }
    const Json friendsByUser = twitter.value("friends", Json::object());
    for (const auto& [screenName, friends] : friendsByUser.items()) {
        auto userId = db.scalarInteger("SELECT id FROM twitter_users WHERE screen_name = ?", {screenName});
        if (!userId) continue;
        int64_t position = 0;
        for (const Json& f : friends)
            db.run("INSERT OR IGNORE INTO twitter_friends(user_id, friend_id, position) "
                   "SELECT ?, id, ? FROM twitter_users WHERE screen_name = ?",
                   {*userId, position++, f.get<std::string>()});
    }
}

} // namespace

OutsideRoute twitterRoute() {
    return {"/twitter", createTwitterSchema, answerTwitter, seedTwitter};
}

} // namespace velkora::service
