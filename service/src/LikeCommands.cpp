// Likes of any object: a host object named by its text (a picture's address, a post), a feed item,
// a chat-room topic or comment. Each liked thing has one row in like_objects, whose id is the
// "objectId" the kit keys its cache by, and whose change number moves at every like and unlike so
// that the update poll brings what changed after its cursor.
#include "Commands.h"
#include "Pictures.h"

#include <algorithm>

namespace velkora::service {

namespace {

constexpr const char* kTopicNotFound = "TOPIC_NOT_FOUND";
constexpr const char* kFeedNotFound = "FEED_NOT_FOUND";

const char* const kObjectTypes[] = {"NONE", "IMAGE", "VIDEO", "POST", "COMMENT", "TOPIC", "OTHER"};

SqlValue optional(const std::optional<int64_t>& v) {
    return v ? SqlValue(*v) : SqlValue(std::monostate{});
}

struct Target {
    std::string type, object, description;
    std::optional<int64_t> feedId, topicId, commentId;
};

// The chat-room forms name a topic, and a comment in it; nothing when the request names no topic.
std::optional<Target> roomTarget(CommandContext& ctx, const std::string& appId) {
    std::optional<int64_t> topicId = ctx.optInteger("topicId");
    if (!topicId) return std::nullopt;
    Database& db = ctx.db();
    if (!db.scalarInteger("SELECT 1 FROM topics WHERE app_id = ? AND id = ? AND removed = 0", {appId, *topicId}))
        throw CommandError(kTopicNotFound);
    Target t;
    t.topicId = topicId;
    if (auto commentId = ctx.optInteger("commentId")) {
        if (!db.scalarInteger("SELECT 1 FROM topic_comments WHERE id = ? AND topic_id = ? AND deleted = 0",
                              {*commentId, *topicId}))
            throw CommandError(kTopicNotFound);
        t.type = "COMMENT";
        t.commentId = commentId;
        t.object = std::to_string(*commentId);
    } else {
        t.type = "TOPIC";
        t.object = std::to_string(*topicId);
    }
    return t;
}

// The service's own pictures are kept under the address mark, as the seed keeps them, so an object named
// by a picture's address is the same thing on every port the service runs on.
std::string objectText(CommandContext& ctx) {
    std::string text = ctx.nonEmpty("object");
    const std::string own = ctx.baseUrl() + kPicturesPrefix + "/";
    if (!ctx.baseUrl().empty() && text.rfind(own, 0) == 0)
        text = std::string(kServiceAddressMark) + text.substr(ctx.baseUrl().size());
    return text;
}

std::optional<int64_t> liveFeedItem(Database& db, const std::string& appId, const std::string& text) {
    std::optional<int64_t> id = parseInteger(text);
    if (!id) return std::nullopt;
    return db.scalarInteger("SELECT id FROM feed WHERE app_id = ? AND id = ? AND deleted = 0", {appId, *id});
}

// What a like names: a room's topic or comment, a feed item ("feedId"), or any object by its text.
Target likeTarget(CommandContext& ctx, const std::string& appId) {
    if (auto room = roomTarget(ctx, appId)) return *room;
    Database& db = ctx.db();
    Target t;
    t.type = ctx.optText("objectType").value_or("OTHER");
    if (std::find(std::begin(kObjectTypes), std::end(kObjectTypes), t.type) == std::end(kObjectTypes))
        throw CommandError(errors::kBadRequest);
    t.description = ctx.optText("objectDesc").value_or("");
    if (auto feedId = ctx.optInteger("feedId")) {
        if (!db.scalarInteger("SELECT 1 FROM feed WHERE app_id = ? AND id = ? AND deleted = 0", {appId, *feedId}))
            throw CommandError(kFeedNotFound);
        t.type = "POST";
        t.feedId = feedId;
        t.object = std::to_string(*feedId);
        return t;
    }
    t.object = objectText(ctx);
    // A post liked by its number is the feed item's like object.
    if (t.type == "POST") t.feedId = liveFeedItem(db, appId, t.object);
    return t;
}

int64_t likeObjectRow(CommandContext& ctx, const std::string& appId, const Target& t) {
    Database& db = ctx.db();
    int64_t id = rows::likeObjectId(db, appId, t.type, t.object, ctx.now());
    db.run("UPDATE like_objects SET feed_id = COALESCE(?, feed_id), topic_id = COALESCE(?, topic_id), "
           "comment_id = COALESCE(?, comment_id), description = COALESCE(NULLIF(?, ''), description) WHERE id = ?",
           {optional(t.feedId), optional(t.topicId), optional(t.commentId), t.description, id});
    return id;
}

// A like or unlike that changed something: the poll's likes cursor moves, and so does the room's,
// so that the open topic shows its new count.
void changed(CommandContext& ctx, int64_t likeObjectId, const std::optional<int64_t>& topicId) {
    Database& db = ctx.db();
    db.run("UPDATE like_objects SET change_number = ? WHERE id = ?", {db.nextSequence("likes"), likeObjectId});
    if (topicId) rows::touchTopic(db, *topicId);
}

Json like(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    Database& db = ctx.db();
    Transaction tx(db);
    Target t = likeTarget(ctx, appId);
    int64_t id = likeObjectRow(ctx, appId, t);
    db.run("INSERT OR IGNORE INTO likes(object_id, user_id, time) VALUES(?, ?, ?)", {id, userId, ctx.now()});
    if (db.changes() > 0) changed(ctx, id, t.topicId);
    tx.commit();
    return Json::object();
}

Json unlike(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    Database& db = ctx.db();
    Transaction tx(db);
    std::vector<std::pair<int64_t, std::optional<int64_t>>> objects; // like object, its room
    if (std::optional<Target> t = roomTarget(ctx, appId)) {
        if (auto id = db.scalarInteger("SELECT id FROM like_objects WHERE app_id = ? AND type = ? AND object = ?",
                                       {appId, t->type, t->object}))
            objects.emplace_back(*id, t->topicId);
    } else {
        // The request carries no type: the object's text, or the number of a feed item.
        Statement s = db.prepare(
            "SELECT id FROM like_objects WHERE app_id = ? AND object = ? AND type NOT IN ('COMMENT', 'TOPIC')");
        s.bindAll({appId, objectText(ctx)});
        while (s.step())
            objects.emplace_back(s.integer(0), std::nullopt);
    }
    for (const auto& [id, topicId] : objects) {
        db.run("DELETE FROM likes WHERE object_id = ? AND user_id = ?", {id, userId});
        if (db.changes() > 0) changed(ctx, id, topicId);
    }
    tx.commit();
    return Json::object();
}

Json getLikes(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    std::string object = objectText(ctx);
    Database& db = ctx.db();
    // The object's text; of several kinds with the same text, the one with most likes.
    std::optional<int64_t> id = db.scalarInteger(
        "SELECT o.id FROM like_objects o WHERE o.app_id = ? AND o.object = ? AND o.type NOT IN ('COMMENT', 'TOPIC') "
        "ORDER BY (SELECT COUNT(*) FROM likes l WHERE l.object_id = o.id) DESC, o.id LIMIT 1",
        {appId, object});
    if (!id) {
        // Nothing liked yet: an object with no likes, so the client can still show it.
        return {{"objectId", 0},     {"users", Json::array()}, {"object", object},  {"desc", ""},
                {"type", "OTHER"},   {"changeNumber", 0},      {"numLikes", 0},     {"isLike", false}};
    }
    return rows::likeObjectJson(db, appId, *id, userId);
}

} // namespace

void registerLikeCommands(CommandTable& table) {
    table.commands["like"] = like;
    table.commands["unlike"] = unlike;
    table.commands["getLikes"] = getLikes;
}

} // namespace velkora::service
