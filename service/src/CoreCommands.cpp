// The commands of a session's life: creating the client's user, the application's configuration,
// the update poll, usage events and the settings dump.
#include "Commands.h"

namespace velkora::service {

namespace {

Json createUser(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    Database& db = ctx.db();
    // The older form names the id it wants. An id the service knows already belongs to someone: the
    // request gets a new one, as the newer form does, so no device takes over another's user.
    if (auto wanted = ctx.optText("userId"); wanted && !wanted->empty() && !rows::userExists(db, appId, *wanted)) {
        ctx.insertNewUser(appId, *wanted);
        return {{"userId", *wanted}};
    }
    std::string userId = rows::newUserId(db, appId);
    ctx.insertNewUser(appId, userId);
    // The application's welcome messages, oldest first so their change numbers follow their times.
    if (ctx.table().welcomeNewUsers)
        db.run("INSERT INTO messages(app_id, sender_user_id, recipient_user_id, message, content_type, time) "
               "SELECT app_id, from_user_id, ?2, message, content_type, ?3 - seconds_ago FROM new_user_messages "
               "WHERE app_id = ?1 ORDER BY seconds_ago DESC, id",
               {appId, userId, ctx.now()});
    return {{"userId", userId}};
}

Json getAppData(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    int64_t known = ctx.integer("changeNumber", 0);
    Statement s = ctx.db().prepare("SELECT config, change_number FROM apps WHERE app_id = ?");
    s.bindAll({appId});
    s.step();
    int64_t current = s.integer(1);
    // The client's copy is current: a null "appData" tells it to keep what it has.
    if (known != 0 && known == current) return {{"appData", nullptr}};
    Json config = Json::parse(s.text(0), nullptr, false);
    if (!config.is_object()) config = Json::object();
    config["changeNumber"] = current;
    return {{"appData", config}};
}

void recordEvent(CommandContext& ctx, const std::string& appId, const std::string& userId, const std::string& type,
                 const std::string& message) {
    ctx.db().run("INSERT INTO events(app_id, user_id, device_id, type, message, time) VALUES(?, ?, ?, ?, ?, ?)",
                 {appId, userId, ctx.optText("deviceId").value_or(""), type, message, ctx.now()});
}

Json update(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireDeviceUser(appId);
    Database& db = ctx.db();

    bool wantMessages = ctx.flag("wantMessages");
    int64_t changeNumber = ctx.integer("changeNumber", 0);
    // Read every number before touching the database, so a malformed one changes nothing.
    ctx.flag("wantFeed2");
    ctx.integer("feedChangeNumber", 0);
    ctx.flag("wantLikes");
    ctx.integer("likesChangeNumber", 0);
    ctx.flag("wantTopics");
    ctx.integer("topicsChangeNumber", 0);
    ctx.flag("wantTopic");
    ctx.integer("topicChangeNumber", 0);
    ctx.integer("topicId", 0);
    std::optional<double> longitude = ctx.optDecimal("longitude");
    std::optional<double> latitude = ctx.optDecimal("latitude");

    Transaction tx(db);
    if (longitude && latitude)
        db.run("UPDATE users SET longitude = ?, latitude = ? WHERE app_id = ? AND user_id = ?",
               {*longitude, *latitude, appId, userId});
    if (auto deviceId = ctx.optText("deviceId"); deviceId && !deviceId->empty())
        db.run(
            "INSERT INTO devices(device_id, app_id, user_id, last_seen) VALUES(?, ?, ?, ?) "
            "ON CONFLICT(app_id, device_id) DO UPDATE SET user_id = excluded.user_id, last_seen = excluded.last_seen",
            {*deviceId, appId, userId, ctx.now()});
    if (auto logs = ctx.optText("logs"); logs && !logs->empty()) recordEvent(ctx, appId, userId, "logs", *logs);

    Json reply = Json::object();
    reply["numFollowers"] = rows::followerCount(db, appId, userId);
    reply["score"] = *db.scalarInteger("SELECT score FROM users WHERE app_id = ? AND user_id = ?", {appId, userId});
    reply["coins"] = *db.scalarInteger("SELECT coins FROM users WHERE app_id = ? AND user_id = ?", {appId, userId});

    if (wantMessages) {
        Json messages = Json::array();
        Statement s = db.prepare("SELECT * FROM messages WHERE app_id = ? AND recipient_user_id = ? AND "
                                 "change_number > ? AND deleted_by_recipient = 0 ORDER BY change_number");
        s.bindAll({appId, userId, changeNumber});
        while (s.step())
            messages.push_back(rows::messageJson(db, s));
        reply["messages"] = messages;
    }
    for (const auto& part : ctx.table().updateParts)
        part(ctx, appId, userId, reply);
    tx.commit();
    return reply;
}

// The most a poll carries of each kind; the cursors bring the rest with the next poll.
constexpr int64_t kPollBatch = 100;

void feedPart(CommandContext& ctx, const std::string& appId, const std::string& userId, Json& reply) {
    if (!ctx.flag("wantFeed2")) return;
    Database& db = ctx.db();
    Json items = Json::array();
    Statement s = db.prepare("SELECT id FROM feed f WHERE f.app_id = ?1 AND f.id > ?2 AND f.deleted = 0 AND " +
                             rows::notBlockedBy("?4", "f.app_id", "f.user_id") + " ORDER BY f.id LIMIT ?3");
    s.bindAll({appId, ctx.integer("feedChangeNumber", 0), kPollBatch, userId});
    while (s.step()) {
        Json item = rows::feedItemJson(db, appId, s.integer(0), userId);
        if (!item.is_null()) items.push_back(std::move(item));
    }
    reply["feed2"] = std::move(items);
}

void likesPart(CommandContext& ctx, const std::string& appId, const std::string& userId, Json& reply) {
    if (!ctx.flag("wantLikes")) return;
    Database& db = ctx.db();
    Json likes = Json::array();
    Statement s = db.prepare("SELECT id FROM like_objects WHERE app_id = ? AND change_number > ? "
                             "ORDER BY change_number LIMIT ?");
    s.bindAll({appId, ctx.integer("likesChangeNumber", 0), kPollBatch});
    while (s.step()) {
        Json like = rows::likeObjectJson(db, appId, s.integer(0), userId);
        if (!like.is_null()) likes.push_back(std::move(like));
    }
    reply["likes"] = std::move(likes);
}

// The topic list while no topic is open, the open topic's news while one is.
void topicsPart(CommandContext& ctx, const std::string& appId, const std::string& userId, Json& reply) {
    Database& db = ctx.db();
    if (ctx.flag("wantTopics")) {
        Json topics = Json::array();
        int64_t highest = -1;
        Statement s = db.prepare("SELECT id, change_number FROM topics WHERE app_id = ? AND is_object = 0 AND "
                                 "change_number > ? ORDER BY change_number LIMIT ?");
        s.bindAll({appId, ctx.integer("topicsChangeNumber", 0), kPollBatch});
        while (s.step()) {
            Json topic = rows::topicJson(db, appId, s.integer(0), userId, -1, 0);
            if (topic.is_null()) continue;
            highest = s.integer(1);
            topics.push_back(std::move(topic));
        }
        if (!topics.empty()) reply["topics"] = {{"changeNumber", highest}, {"topics", std::move(topics)}};
    }
    if (ctx.flag("wantTopic")) {
        int64_t since = ctx.integer("topicChangeNumber", 0);
        int64_t topicId = ctx.integer("topicId", 0);
        auto current =
            db.scalarInteger("SELECT change_number FROM topics WHERE app_id = ? AND id = ?", {appId, topicId});
        if (current && *current > since) {
            // The oldest comments after the client's change number, a batch at a time: when more remain,
            // the reply's change number is the last given comment's, so the next poll goes on from there.
            Json topic = rows::topicJson(db, appId, topicId, userId, since, 0);
            if (!topic.is_null()) {
                Json comments = Json::array();
                int64_t lastGiven = since;
                int64_t given = 0;
                bool more = false;
                Statement c = db.prepare("SELECT id, change_number FROM topic_comments WHERE topic_id = ? AND "
                                         "deleted = 0 AND change_number > ? ORDER BY change_number, id LIMIT ?");
                c.bindAll({topicId, since, kPollBatch + 1});
                while (c.step()) {
                    if (given == kPollBatch) {
                        more = true;
                        break;
                    }
                    Json comment = rows::commentJson(db, appId, c.integer(0), userId);
                    lastGiven = c.integer(1);
                    ++given;
                    if (!comment.is_null()) comments.push_back(std::move(comment));
                }
                topic["comments"] = std::move(comments);
                if (more) topic["changeNumber"] = lastGiven;
                reply["topic"] = {{"topic", std::move(topic)}};
            }
        }
    }
}

Json reportEvent(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireDeviceUser(appId);
    recordEvent(ctx, appId, userId, ctx.nonEmpty("type"), ctx.text("logs"));
    return Json::object();
}

// The kit's settings file, or a diagnostic from a request that missed an id ("appId=ERROR"): kept
// whatever the ids, since it reports exactly the clients that have none.
Json dumpAppPlist(CommandContext& ctx) {
    ctx.db().run(
        "INSERT INTO plist_dumps(app_id, user_id, data, time) VALUES(?, ?, ?, ?)",
        {ctx.optText("appId").value_or(""), ctx.optText("userId").value_or(""), ctx.text("appData"), ctx.now()});
    return Json::object();
}

} // namespace

void registerCoreCommands(CommandTable& table) {
    table.commands["createUser"] = createUser;
    table.commands["getAppData"] = getAppData;
    table.commands["update"] = update;
    table.commands["reportEvent"] = reportEvent;
    table.commands["dumpAppPlist"] = dumpAppPlist;
    table.updateParts.push_back(feedPart);
    table.updateParts.push_back(likesPart);
    table.updateParts.push_back(topicsPart);
}

} // namespace velkora::service
