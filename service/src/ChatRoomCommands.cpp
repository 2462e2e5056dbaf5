// The chat rooms: the topic list, one topic with its comments (latest page, or the page before a
// comment), posting and deleting comments, and the topic bound to an object of the host application.
// Every change to a topic or its comments takes the next value of the "topics" sequence, so the
// poll's "everything after N" (CoreCommands) is one comparison.
#include "Commands.h"

#include <cstdint>

namespace velkora::service {

namespace {

constexpr int kCommentPage = 20;
constexpr const char* kNotAllowed = "NOT_ALLOWED"; // deleting another user's comment
constexpr const char* kTopicNotFound = "TOPIC_NOT_FOUND";

bool acceptedCommentType(const std::string& type) {
    return type == "text/plain" || type == "image" || type == "sticker";
}

bool liveTopic(Database& db, const std::string& appId, int64_t topicId) {
    return db.scalarInteger("SELECT 1 FROM topics WHERE app_id = ? AND id = ? AND removed = 0", {appId, topicId})
        .has_value();
}

// The topics of the list: the owner's and users' rooms, not those bound to host objects, which are
// reached through their objects. A fresh list (after 0) leaves removed topics out; a later one
// brings their removal.
Json topicList(Database& db, const std::string& appId, const std::string& viewer, int64_t after) {
    Json topics = Json::array();
    Statement s = db.prepare("SELECT id FROM topics WHERE app_id = ? AND is_object = 0 AND change_number > ? AND "
                             "(removed = 0 OR ? > 0) ORDER BY position, id");
    s.bindAll({appId, after, after});
    while (s.step()) {
        Json topic = rows::topicJson(db, appId, s.integer(0), viewer, -1, 0);
        if (!topic.is_null()) topics.push_back(std::move(topic));
    }
    return topics;
}

// The ad slots the topic screen inserts among the comments: the application's "topicAds", or one
// native slot by default.
Json topicAds(Database& db, const std::string& appId) {
    Json config =
        Json::parse(db.scalarText("SELECT config FROM apps WHERE app_id = ?", {appId}).value_or("{}"), nullptr, false);
    if (config.is_object() && config.contains("topicAds") && config["topicAds"].is_array()) return config["topicAds"];
    return Json::array({{{"type", 0}, {"position", 5}}});
}

Json getTopics(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t after = ctx.integer("changeNumber", 0);
    Database& db = ctx.db();
    int64_t current =
        db.scalarInteger("SELECT MAX(change_number) FROM topics WHERE app_id = ? AND is_object = 0", {appId})
            .value_or(0);
    return {{"changeNumber", current}, {"topics", topicList(db, appId, userId, after)}};
}

// The application's page of comments: its "maxMessagesPerUpdate", or 20.
int64_t commentPageSize(Database& db, const std::string& appId) {
    Json config =
        Json::parse(db.scalarText("SELECT config FROM apps WHERE app_id = ?", {appId}).value_or("{}"), nullptr, false);
    if (config.is_object() && config.contains("maxMessagesPerUpdate") &&
        config["maxMessagesPerUpdate"].is_number_integer()) {
        int64_t n = config["maxMessagesPerUpdate"].get<int64_t>();
        if (n > 0) return n;
    }
    return kCommentPage;
}

// Comments with an id below `before` (all: nothing), at most a page of the newest, oldest first.
Json commentPage(Database& db, const std::string& appId, int64_t topicId, const std::string& viewer,
                 std::optional<int64_t> before) {
    Json comments = Json::array();
    Statement c = db.prepare("SELECT id FROM (SELECT id FROM topic_comments WHERE topic_id = ? AND deleted = 0 AND "
                             "id < ? ORDER BY id DESC LIMIT ?) ORDER BY id");
    c.bindAll({topicId, before.value_or(INT64_MAX), commentPageSize(db, appId)});
    while (c.step()) {
        Json comment = rows::commentJson(db, appId, c.integer(0), viewer);
        if (!comment.is_null()) comments.push_back(std::move(comment));
    }
    return comments;
}

Json getTopic(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t topicId = ctx.integer("topicId");
    std::optional<int64_t> offset = ctx.optInteger("offset");
    ctx.flag("clean");
    Database& db = ctx.db();
    Json reply = Json::object();
    Json topic = rows::topicJson(db, appId, topicId, userId, -1, 0);
    if (!topic.is_null()) {
        topic["comments"] = commentPage(db, appId, topicId, userId, offset);
        reply["topic"] = std::move(topic);
    }
    // Without a topic the ads are still answered, so the screen keeps its slots.
    if (!offset) reply["ads"] = topicAds(db, appId);
    return reply;
}

int64_t insertComment(CommandContext& ctx, const std::string& appId, const std::string& userId, int64_t topicId,
                      const std::string& text, const std::string& contentType) {
    Database& db = ctx.db();
    Transaction tx(db);
    db.run("INSERT INTO topic_comments(topic_id, app_id, user_id, text, content_type, change_number, time) "
           "VALUES(?, ?, ?, ?, ?, ?, ?)",
           {topicId, appId, userId, text, contentType, db.nextSequence("topics"), ctx.now()});
    int64_t id = db.lastInsertId();
    rows::touchTopic(db, topicId);
    tx.commit();
    return id;
}

Json addComment(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t topicId = ctx.integer("topicId");
    std::string text = ctx.nonEmpty("text");
    std::string contentType = ctx.optText("contentType").value_or("text/plain");
    if (contentType.empty()) contentType = "text/plain";
    if (!acceptedCommentType(contentType)) throw CommandError(errors::kBadRequest);
    if (!liveTopic(ctx.db(), appId, topicId)) throw CommandError(kTopicNotFound);
    insertComment(ctx, appId, userId, topicId, text, contentType);
    return Json::object();
}

// Sent as a form: the picture and its thumbnail in Base64. The comment's text is the address the
// picture is served at.
Json addImageComment(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t topicId = ctx.integer("topicId");
    std::optional<std::string> image = rows::decodeBase64(ctx.nonEmpty("image"));
    std::optional<std::string> small = rows::decodeBase64(ctx.nonEmpty("smallImage"));
    // Only pictures: bytes that do not decode as JPEG are stored nowhere.
    if (!image || !small || !rows::jpegSize(*image) || !rows::jpegSize(*small)) throw CommandError(errors::kBadRequest);
    if (!liveTopic(ctx.db(), appId, topicId)) throw CommandError(kTopicNotFound);
    std::string url = rows::storeImage(ctx, appId, userId, *image);
    rows::storeSmallImage(ctx.db(), ctx.db().lastInsertId(), *small);
    insertComment(ctx, appId, userId, topicId, url, "image");
    return {{"url", url}};
}

Json getChatroomData(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    ctx.requireUser(appId);
    std::string object = ctx.nonEmpty("object");
    std::string objectType = ctx.optText("objectType").value_or("");
    std::optional<std::string> title = ctx.optText("title");
    std::optional<std::string> text = ctx.optText("text");
    auto optional = [](const std::optional<std::string>& v) { return v ? SqlValue(*v) : SqlValue(std::monostate{}); };
    Database& db = ctx.db();
    Transaction tx(db);
    std::optional<int64_t> topicId =
        db.scalarInteger("SELECT id FROM topics WHERE app_id = ? AND is_object = 1 AND object = ?", {appId, object});
    if (!topicId) {
        // The first look at an object opens its room; it is not listed among the topics.
        db.run("INSERT INTO topics(app_id, title, text, is_object, object, object_type, change_number, time) "
               "VALUES(?, ?, ?, 1, ?, ?, ?, ?)",
               {appId, optional(title), optional(text), object, objectType, db.nextSequence("topics"), ctx.now()});
        topicId = db.lastInsertId();
    }
    int64_t count =
        *db.scalarInteger("SELECT COUNT(*) FROM topic_comments WHERE topic_id = ? AND deleted = 0", {*topicId});
    tx.commit();
    return {{"topicId", *topicId}, {"nComments", count}};
}

Json deleteComment(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t topicId = ctx.integer("topicId");
    int64_t commentId = ctx.integer("commentId");
    Database& db = ctx.db();
    auto author =
        db.scalarText("SELECT user_id FROM topic_comments WHERE id = ? AND topic_id = ? AND app_id = ? AND deleted = 0",
                      {commentId, topicId, appId});
    if (!author) return Json::object(); // already gone: deleting twice is no error
    if (*author != userId) throw CommandError(kNotAllowed);
    Transaction tx(db);
    db.run("UPDATE topic_comments SET deleted = 1, change_number = ? WHERE id = ?",
           {db.nextSequence("topics"), commentId});
    rows::touchTopic(db, topicId);
    tx.commit();
    return Json::object();
}

} // namespace

void registerChatRoomCommands(CommandTable& table) {
    table.commands["getTopics"] = getTopics;
    table.commands["getTopic"] = getTopic;
    table.commands["addComment"] = addComment;
    table.commands["addImageComment"] = addImageComment;
    table.commands["getChatroomData"] = getChatroomData;
    table.commands["deleteComment"] = deleteComment;
}

} // namespace velkora::service
