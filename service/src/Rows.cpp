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

void CommandContext::insertNewUser(const std::string& appId, const std::string& userId) {
    rows::insertUser(db_, appId, userId, now_);
    if (table_.welcomeNewUsers) rows::welcomeUser(db_, appId, userId, now_);
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

// A new user of an application that seeds a welcome finds the owner's messages in the inbox and a few
// people in the friends lists, so a fresh install has something to show.
void welcomeUser(Database& db, const std::string& appId, const std::string& userId, double now) {
    db.run("INSERT INTO messages(app_id, sender_user_id, recipient_user_id, message, content_type, is_system, "
           "message_name, extra_data, time) SELECT app_id, '_OWNER', ?2, message, content_type, 1, title, extra_data, "
           "?3 FROM welcome_messages WHERE app_id = ?1 ORDER BY id",
           {appId, userId, now});
    db.run("INSERT OR IGNORE INTO follows(app_id, user_id, other_app_id, other_user_id, created) "
           "SELECT app_id, CASE WHEN follower <> 0 THEN user_id ELSE ?2 END, app_id, "
           "CASE WHEN follower <> 0 THEN ?2 ELSE user_id END, ?3 FROM welcome_follows WHERE app_id = ?1",
           {appId, userId, now});
}

std::string notBlockedBy(const std::string& viewerParam, const std::string& appColumn, const std::string& userColumn) {
    return "NOT EXISTS (SELECT 1 FROM relations rb WHERE rb.app_id = " + appColumn + " AND rb.user_id = " + viewerParam +
           " AND rb.other_app_id = " + appColumn + " AND rb.other_user_id = " + userColumn +
           " AND rb.type = 'b' AND rb.value <> 0)";
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

namespace velkora::service::rows {

namespace {

void putText(Json& out, const char* key, Statement& s, int column) {
    if (!s.isNull(column)) out[key] = s.text(column);
}

Json usersWhoLike(Database& db, int64_t objectId, const std::string& appId, const std::string& viewerUserId) {
    Json users = Json::array();
    Statement s = db.prepare("SELECT user_id FROM likes WHERE object_id = ? ORDER BY time, user_id");
    s.bindAll({objectId});
    while (s.step()) {
        Json u = userJson(db, appId, s.text(0), viewerUserId);
        if (!u.is_null()) users.push_back(std::move(u));
    }
    return users;
}

} // namespace

int likeCount(Database& db, const std::string& appId, const std::string& type, const std::string& object) {
    return static_cast<int>(db.scalarInteger("SELECT COUNT(*) FROM likes JOIN like_objects o ON o.id = likes.object_id "
                                             "WHERE o.app_id = ? AND o.type = ? AND o.object = ?",
                                             {appId, type, object})
                                .value_or(0));
}

int64_t likeObjectId(Database& db, const std::string& appId, const std::string& type, const std::string& object,
                     double now) {
    if (auto id = db.scalarInteger("SELECT id FROM like_objects WHERE app_id = ? AND type = ? AND object = ?",
                                   {appId, type, object}))
        return *id;
    db.run("INSERT INTO like_objects(app_id, type, object, time) VALUES(?, ?, ?, ?)", {appId, type, object, now});
    return db.lastInsertId();
}

void likeFeedItem(Database& db, const std::string& appId, const std::string& userId, int64_t feedId, double now) {
    int64_t objectId = likeObjectId(db, appId, "POST", std::to_string(feedId), now);
    db.run("UPDATE like_objects SET feed_id = ?, change_number = ? WHERE id = ?",
           {feedId, db.nextSequence("likes"), objectId});
    db.run("INSERT OR IGNORE INTO likes(object_id, user_id, time) VALUES(?, ?, ?)", {objectId, userId, now});
}

void touchTopic(Database& db, int64_t topicId) {
    db.run("UPDATE topics SET change_number = ? WHERE id = ?", {db.nextSequence("topics"), topicId});
}

Json feedItemJson(Database& db, const std::string& appId, int64_t feedId, const std::string& viewerUserId) {
    Statement s =
        db.prepare("SELECT user_id, message, content_type, url, message_type, other_user_id, reply_to, original_id, "
                   "desc_image_url, desc_text, desc_sub_text, action_verb, action_id, topic_id, topic_title, time "
                   "FROM feed WHERE app_id = ? AND id = ? AND deleted = 0");
    s.bindAll({appId, feedId});
    if (!s.step()) return nullptr;
    Json f = Json::object();
    f["id"] = feedId;
    f["sender"] = userJson(db, appId, s.text(0), viewerUserId);
    putText(f, "message", s, 1);
    f["contentType"] = s.text(2);
    putText(f, "url", s, 3);
    f["messageType"] = s.integer(4);
    if (!s.isNull(5)) f["otherUser"] = userJson(db, appId, s.text(5), viewerUserId);
    f["replyTo"] = s.integer(6);
    if (s.integer(6) > 0) {
        if (auto poster = db.scalarText("SELECT user_id FROM feed WHERE app_id = ? AND id = ?", {appId, s.integer(6)}))
            f["replyToUser"] = userJson(db, appId, *poster, viewerUserId);
    }
    f["originalId"] = s.integer(7) > 0 ? s.integer(7) : feedId;
    putText(f, "descImageUrl", s, 8);
    putText(f, "descText", s, 9);
    putText(f, "descSubText", s, 10);
    putText(f, "actionVerb", s, 11);
    putText(f, "actionId", s, 12);
    f["topicId"] = s.integer(13);
    putText(f, "topicTitle", s, 14);
    f["time"] = formatServerTime(s.real(15));

    Json resenders = Json::array();
    double latest = 0;
    Statement r = db.prepare("SELECT user_id, time FROM feed_resends WHERE app_id = ? AND feed_id = ? ORDER BY time");
    r.bindAll({appId, feedId});
    while (r.step()) {
        Json u = userJson(db, appId, r.text(0), viewerUserId);
        if (!u.is_null()) resenders.push_back(std::move(u));
        latest = r.real(1);
    }
    f["resends"] = resenders.size();
    f["resenders"] = resenders;
    if (latest > 0) f["resendTime"] = formatServerTime(latest);
    f["numLikes"] = likeCount(db, appId, "POST", std::to_string(f["originalId"].get<int64_t>()));
    return f;
}

Json commentJson(Database& db, const std::string& appId, int64_t commentId, const std::string& viewerUserId) {
    Statement s = db.prepare("SELECT user_id, text, content_type, time FROM topic_comments "
                             "WHERE app_id = ? AND id = ? AND deleted = 0");
    s.bindAll({appId, commentId});
    if (!s.step()) return nullptr;
    Json c = Json::object();
    c["id"] = commentId;
    c["nLikes"] = likeCount(db, appId, "COMMENT", std::to_string(commentId));
    c["text"] = s.isNull(1) ? Json(nullptr) : Json(s.text(1));
    c["contentType"] = s.text(2);
    c["user"] = userJson(db, appId, s.text(0), viewerUserId);
    c["time"] = formatServerTime(s.real(3));
    return c;
}

Json topicJson(Database& db, const std::string& appId, int64_t topicId, const std::string& viewerUserId,
               int64_t commentsAfter, int maxComments) {
    Statement s = db.prepare("SELECT title, text, content_type, photo_url, user_id, is_object, change_number, time, "
                             "removed FROM topics WHERE app_id = ? AND id = ?");
    s.bindAll({appId, topicId});
    if (!s.step()) return nullptr;
    Json t = Json::object();
    t["id"] = topicId;
    t["changeNumber"] = s.integer(6);
    t["removed"] = s.integer(8) != 0;
    t["isObject"] = s.integer(5) != 0;
    t["nComments"] =
        *db.scalarInteger("SELECT COUNT(*) FROM topic_comments WHERE topic_id = ? AND deleted = 0", {topicId});
    t["nLikes"] = likeCount(db, appId, "TOPIC", std::to_string(topicId));
    putText(t, "title", s, 0);
    putText(t, "text", s, 1);
    t["contentType"] = s.text(2);
    putText(t, "photoUrl", s, 3);
    if (!s.isNull(4)) t["user"] = userJson(db, appId, s.text(4), viewerUserId);
    t["time"] = formatServerTime(s.real(7));

    Json comments = Json::array();
    if (maxComments > 0) {
        Statement c = db.prepare("SELECT id FROM (SELECT id FROM topic_comments WHERE topic_id = ? AND deleted = 0 "
                                 "AND change_number > ? ORDER BY id DESC LIMIT ?) ORDER BY id");
        c.bindAll({topicId, commentsAfter, int64_t(maxComments)});
        while (c.step()) {
            Json comment = commentJson(db, appId, c.integer(0), viewerUserId);
            if (!comment.is_null()) comments.push_back(std::move(comment));
        }
    }
    t["comments"] = comments;
    return t;
}

Json likeObjectJson(Database& db, const std::string& appId, int64_t objectId, const std::string& viewerUserId) {
    Statement s = db.prepare("SELECT type, object, description, feed_id, topic_id, comment_id, change_number "
                             "FROM like_objects WHERE app_id = ? AND id = ?");
    s.bindAll({appId, objectId});
    if (!s.step()) return nullptr;
    Json l = Json::object();
    l["objectId"] = objectId;
    Json users = usersWhoLike(db, objectId, appId, viewerUserId);
    bool viewerLikes = false;
    for (const Json& u : users)
        if (u.value("userId", std::string()) == viewerUserId) viewerLikes = true;
    l["numLikes"] = users.size();
    l["users"] = std::move(users);
    if (auto feedId = s.optInteger(3)) {
        Json item = feedItemJson(db, appId, *feedId, viewerUserId);
        if (!item.is_null()) l["feedMessage"] = std::move(item);
    }
    if (auto topicId = s.optInteger(4)) {
        Json topic = topicJson(db, appId, *topicId, viewerUserId, -1, 0);
        if (!topic.is_null()) {
            if (auto commentId = s.optInteger(5)) {
                Json comment = commentJson(db, appId, *commentId, viewerUserId);
                if (!comment.is_null()) topic["comments"].push_back(std::move(comment));
            }
            l["topic"] = std::move(topic);
        }
    }
    l["object"] = s.text(1);
    putText(l, "desc", s, 2);
    l["type"] = s.text(0);
    if (auto latest = db.scalarText("SELECT MAX(time) FROM likes WHERE object_id = ?", {objectId}))
        l["time"] = formatServerTime(std::stod(*latest));
    l["changeNumber"] = s.integer(6);
    l["isLike"] = viewerLikes;
    return l;
}

} // namespace velkora::service::rows
