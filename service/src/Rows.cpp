// The parameter readers of a command and the rows that several commands share: users and messages.
#include <cmath>
#include <ctime>
#include <random>

#include "Commands.h"

namespace velkora::service {

std::string CommandContext::text(const char* key) const {
    const std::string* v = params_.find(key);
    if (!v) throw CommandError(errors::kBadRequest);
    return *v;
}

std::string CommandContext::nonEmpty(const char* key) const {
    std::string v = text(key);
    if (v.empty()) throw CommandError(errors::kBadRequest);
    return v;
}

std::optional<std::string> CommandContext::optText(const char* key) const {
    const std::string* v = params_.find(key);
    if (!v) return std::nullopt;
    return *v;
}

std::optional<int64_t> CommandContext::optInteger(const char* key) const {
    const std::string* v = params_.find(key);
    if (!v) return std::nullopt;
    std::optional<int64_t> n = parseInteger(*v);
    if (!n) throw CommandError(errors::kBadRequest);
    return n;
}

int64_t CommandContext::integer(const char* key) const {
    std::optional<int64_t> n = optInteger(key);
    if (!n) throw CommandError(errors::kBadRequest);
    return *n;
}

int64_t CommandContext::integer(const char* key, int64_t fallback) const {
    return optInteger(key).value_or(fallback);
}

std::optional<double> CommandContext::optDecimal(const char* key) const {
    const std::string* v = params_.find(key);
    if (!v) return std::nullopt;
    std::optional<double> d = parseDecimal(*v);
    if (!d) throw CommandError(errors::kBadRequest);
    return d;
}

bool CommandContext::flag(const char* key, bool fallback) const {
    std::optional<int64_t> n = optInteger(key);
    return n ? *n != 0 : fallback;
}

std::string CommandContext::requireApp(const char* key) {
    std::string appId = nonEmpty(key);
    if (!rows::appExists(db_, appId)) throw CommandError(errors::kAppNotFound);
    return appId;
}

std::string CommandContext::requireUser(const std::string& appId, const char* key) {
    std::string userId = nonEmpty(key);
    if (!rows::userExists(db_, appId, userId)) throw CommandError(errors::kUserNotFound);
    return userId;
}

namespace rows {

std::string formatServerTime(double secondsSince1970) {
    auto t = static_cast<time_t>(std::floor(secondsSince1970));
    struct tm parts {};
    localtime_r(&t, &parts);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &parts);
    return buffer;
}

bool appExists(Database& db, const std::string& appId) {
    return db.scalarInteger("SELECT 1 FROM apps WHERE app_id = ?", {appId}).has_value();
}

bool userExists(Database& db, const std::string& appId, const std::string& userId) {
    return db.scalarInteger("SELECT 1 FROM users WHERE app_id = ? AND user_id = ?", {appId, userId}).has_value();
}

std::string newUserId(Database& db, const std::string& appId) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    for (;;) {
        char buffer[24];
        std::snprintf(buffer, sizeof buffer, "u%015llx",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFFFFull));
        if (!userExists(db, appId, buffer)) return buffer;
    }
}

void insertUser(Database& db, const std::string& appId, const std::string& userId, double now) {
    db.run("INSERT INTO users(app_id, user_id, is_test, created) VALUES(?, ?, ?, ?)",
           {appId, userId, int64_t(userId.rfind("test", 0) == 0 ? 1 : 0), now});
}

int followerCount(Database& db, const std::string& appId, const std::string& userId) {
    return static_cast<int>(*db.scalarInteger(
        "SELECT COUNT(*) FROM follows WHERE other_app_id = ? AND other_user_id = ?", {appId, userId}));
}

int followingCount(Database& db, const std::string& appId, const std::string& userId) {
    return static_cast<int>(
        *db.scalarInteger("SELECT COUNT(*) FROM follows WHERE app_id = ? AND user_id = ?", {appId, userId}));
}

Json userJson(Database& db, const std::string& appId, const std::string& userId, const std::string& viewerUserId) {
    Statement s = db.prepare(
        "SELECT first_name, last_name, photo_url, email, city, state, country, zipcode, custom_string1, "
        "custom_string2, custom_string3, custom_float1, custom_float2, custom_float3, age, gender, data, "
        "facebook_id, twitter_id, longitude, latitude, score, coins FROM users WHERE app_id = ? AND user_id = ?");
    s.bindAll({appId, userId});
    if (!s.step()) return nullptr;

    Json u = Json::object();
    u["appId"] = appId;
    u["userId"] = userId;
    static const char* const kTextKeys[] = {"firstName",     "lastName",      "photoUrl",     "email",
                                            "city",          "state",         "country",      "zipcode",
                                            "customString1", "customString2", "customString3"};
    for (int i = 0; i < 11; ++i) {
        if (s.isNull(i)) continue;
        // Another user's e-mail address is theirs to keep.
        if (i == 3 && !viewerUserId.empty() && viewerUserId != userId) continue;
        u[kTextKeys[i]] = s.text(i);
    }
    static const char* const kFloatKeys[] = {"customFloat1", "customFloat2", "customFloat3"};
    for (int i = 0; i < 3; ++i)
        if (auto f = s.optReal(11 + i)) u[kFloatKeys[i]] = *f;
    if (auto age = s.optInteger(14)) u["age"] = *age;
    if (!s.isNull(15)) u["gender"] = s.text(15);
    if (!s.isNull(16)) u["data"] = s.text(16);
    u["facebookId"] = s.integer(17);
    u["twitterId"] = s.integer(18);
    if (!s.isNull(19) && !s.isNull(20)) u["location"] = {{"longitude", s.real(19)}, {"latitude", s.real(20)}};
    u["score"] = s.integer(21);
    u["coins"] = s.integer(22);

    u["followers"] = followerCount(db, appId, userId);
    u["following"] = followingCount(db, appId, userId);
    u["feeds"] = *db.scalarInteger("SELECT COUNT(*) FROM feed WHERE app_id = ? AND user_id = ? AND deleted = 0",
                                   {appId, userId});

    Json packs = Json::array();
    Statement p = db.prepare("SELECT pack_id FROM user_sticker_packs WHERE app_id = ? AND user_id = ? ORDER BY time");
    p.bindAll({appId, userId});
    while (p.step())
        packs.push_back(p.integer(0));
    u["stickerPackIds"] = packs;

    if (!viewerUserId.empty() && viewerUserId != userId) {
        // The kit sets its follow flag whenever the key is present, whatever its value.
        if (db.scalarInteger("SELECT 1 FROM follows WHERE app_id = ? AND user_id = ? AND other_app_id = ? AND "
                             "other_user_id = ?",
                             {appId, viewerUserId, appId, userId}))
            u["isFavorite"] = true;
        auto relation = [&](const char* type) {
            return db.scalarInteger("SELECT value FROM relations WHERE app_id = ? AND user_id = ? AND "
                                    "other_app_id = ? AND other_user_id = ? AND type = ?",
                                    {appId, viewerUserId, appId, userId, std::string(type)})
                       .value_or(0) != 0;
        };
        u["isBlocked"] = relation("b");
        u["isReported"] = relation("r");
    }
    return u;
}

Json messageJson(Database& db, Statement& row) {
    // Column order of "SELECT * FROM messages".
    std::string appId = row.text(1);
    std::string sender = row.text(2);
    std::string recipient = row.text(3);
    Json m = Json::object();
    m["sender"] = userJson(db, appId, sender, recipient);
    m["otherUser"] = userJson(db, appId, recipient, sender);
    m["message"] = row.isNull(4) ? Json(nullptr) : Json(row.text(4));
    m["contentType"] = row.text(5);
    m["changeNumber"] = row.integer(0);
    m["messageType"] = row.integer(6);
    m["isSystem"] = row.integer(8) != 0;
    if (!row.isNull(9)) m["messageName"] = row.text(9);
    if (!row.isNull(10)) m["extraData"] = row.text(10);
    m["wasRead"] = row.integer(11) != 0;
    m["time"] = formatServerTime(row.real(14));
    return m;
}

} // namespace rows
} // namespace velkora::service
