// The activity feed: posting items (the user's own, "commented on a topic", "joined"), re-posting
// another user's item, deleting, and reading the feed (its items and the likes of what the user's people
// liked), one item, another user's items and the re-posters. A re-post is a feed row of its own that points at the
// original, so the feed order and the poll's cursor are both the row id; the poll's feed part lives with the poll
// (CoreCommands).
#include "Commands.h"

#include <set>

namespace velkora::service {

namespace {

constexpr int kFeedPage = 100;

// The items a user sees: their own, those of the users they follow, and the owner's.
Json feedFor(Database& db, const std::string& appId, const std::string& userId, int64_t after, bool withTest) {
    Json items = Json::array();
    Statement s = db.prepare(
        "SELECT f.id FROM feed f JOIN users u ON u.app_id = f.app_id AND u.user_id = f.user_id WHERE f.app_id = ? AND "
        "f.deleted = 0 AND f.id > ? AND (u.is_test = 0 OR ? = 1) AND (f.user_id = ? OR f.user_id = '_OWNER' OR "
        "f.user_id IN (SELECT other_user_id FROM follows WHERE app_id = ? AND user_id = ? AND other_app_id = ?)) AND " +
        rows::notBlockedBy("?9", "f.app_id", "f.user_id") + " ORDER BY f.id DESC LIMIT ?8");
    s.bindAll({appId, after, int64_t(withTest ? 1 : 0), userId, appId, userId, appId, int64_t(kFeedPage), userId});
    while (s.step())
        items.push_back(rows::feedItemJson(db, appId, s.integer(0), userId));
    return items;
}

Json likesOfItems(Database& db, const std::string& appId, const Json& items, const std::string& viewer) {
    Json list = Json::array();
    std::set<int64_t> seen; // an original and its re-posts share one like object
    for (const Json& item : items) {
        Statement s = db.prepare("SELECT id FROM like_objects WHERE app_id = ? AND feed_id = ?");
        s.bindAll({appId, item["originalId"].get<int64_t>()});
        while (s.step())
            if (seen.insert(s.integer(0)).second) list.push_back(rows::likeObjectJson(db, appId, s.integer(0), viewer));
    }
    return list;
}

// The likes of what is not a feed item (a host's picture, video or other thing, a topic, a comment) that
// the user or someone the user sees in the feed liked: they are activity of the feed as much as the items
// are, newest like first.
Json likesOfOtherThings(Database& db, const std::string& appId, const std::string& userId, bool withTest) {
    Json list = Json::array();
    Statement s = db.prepare(
        "SELECT o.id FROM like_objects o WHERE o.app_id = ?1 AND o.feed_id IS NULL AND EXISTS (SELECT 1 FROM likes l "
        "JOIN users u ON u.app_id = o.app_id AND u.user_id = l.user_id WHERE l.object_id = o.id AND (u.is_test = 0 OR "
        "?2 = 1) AND (l.user_id = ?3 OR l.user_id = '_OWNER' OR l.user_id IN (SELECT other_user_id FROM follows WHERE "
        "app_id = ?1 AND user_id = ?3 AND other_app_id = ?1)) AND " +
        rows::notBlockedBy("?3", "o.app_id", "l.user_id") + ") ORDER BY o.change_number DESC LIMIT ?4");
    s.bindAll({appId, int64_t(withTest ? 1 : 0), userId, int64_t(kFeedPage)});
    while (s.step())
        if (Json like = rows::likeObjectJson(db, appId, s.integer(0), userId); !like.is_null()) list.push_back(like);
    return list;
}

std::string optionalText(CommandContext& ctx, const char* key) {
    return ctx.optText(key).value_or("");
}

int64_t insertItem(CommandContext& ctx, const std::string& appId, const std::string& userId,
                   const std::vector<std::pair<const char*, SqlValue>>& fields) {
    std::string columns = "app_id, user_id, time", marks = "?, ?, ?";
    std::vector<SqlValue> values{appId, userId, ctx.now()};
    for (const auto& [column, value] : fields) {
        columns += std::string(", ") + column;
        marks += ", ?";
        values.push_back(value);
    }
    ctx.db().run("INSERT INTO feed(" + columns + ") VALUES(" + marks + ")", values);
    return ctx.db().lastInsertId();
}

Json sendFeed2(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    std::string contentType = ctx.optText("contentType").value_or("text/plain");
    if (contentType.empty()) contentType = "text/plain";
    int64_t replyTo = ctx.integer("replyTo", 0);
    std::string message = ctx.text("message");
    if (replyTo != 0 &&
        !ctx.db().scalarInteger("SELECT 1 FROM feed WHERE app_id = ? AND id = ? AND deleted = 0", {appId, replyTo}))
        throw CommandError("FEED_NOT_FOUND");
    int64_t id = insertItem(ctx, appId, userId,
                            {{"message", message},
                             {"content_type", contentType},
                             {"reply_to", replyTo},
                             {"desc_image_url", optionalText(ctx, "descImageUrl")},
                             {"desc_text", optionalText(ctx, "descText")},
                             {"desc_sub_text", optionalText(ctx, "descSubText")},
                             {"action_verb", optionalText(ctx, "actionVerb")},
                             {"action_id", optionalText(ctx, "actionId")}});
    return {{"id", id}};
}

Json sendCommentFeed(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t topicId = ctx.integer("topicId");
    Statement topic = ctx.db().prepare("SELECT title FROM topics WHERE app_id = ? AND id = ? AND removed = 0");
    topic.bindAll({appId, topicId});
    if (!topic.step()) throw CommandError("TOPIC_NOT_FOUND");
    SqlValue title = topic.isNull(0) ? SqlValue(std::monostate{}) : SqlValue(topic.text(0));
    // Feed message types: 1 followed, 2 joined, 3 commented on a topic.
    insertItem(ctx, appId, userId, {{"message_type", int64_t(3)}, {"topic_id", topicId}, {"topic_title", title}});
    return Json::object();
}

Json sendJoinedFeed(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    // One "joined" item per user, however often the client says so.
    if (!ctx.db().scalarInteger("SELECT 1 FROM feed WHERE app_id = ? AND user_id = ? AND message_type = 2",
                                {appId, userId}))
        insertItem(ctx, appId, userId, {{"message_type", int64_t(2)}});
    return Json::object();
}

Json resendFeed2(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t feedId = ctx.integer("feedId");
    Database& db = ctx.db();
    auto original = db.scalarInteger(
        "SELECT CASE original_id WHEN 0 THEN id ELSE original_id END FROM feed WHERE app_id = ? AND id = ? AND "
        "deleted = 0",
        {appId, feedId});
    if (!original) throw CommandError("FEED_NOT_FOUND");
    if (db.scalarInteger("SELECT 1 FROM feed WHERE original_id = ? AND user_id = ? AND deleted = 0",
                         {*original, userId}))
        return Json::object();
    Transaction tx(db);
    db.run(
        "INSERT INTO feed(app_id, user_id, message, content_type, url, message_type, other_user_id, reply_to, "
        "original_id, desc_image_url, desc_text, desc_sub_text, action_verb, action_id, topic_id, topic_title, time) "
        "SELECT app_id, ?, message, content_type, url, message_type, other_user_id, reply_to, id, desc_image_url, "
        "desc_text, desc_sub_text, action_verb, action_id, topic_id, topic_title, ? FROM feed WHERE id = ?",
        {userId, ctx.now(), *original});
    db.run("INSERT OR REPLACE INTO feed_resends(feed_id, app_id, user_id, time) VALUES(?, ?, ?, ?)",
           {*original, appId, userId, ctx.now()});
    tx.commit();
    return Json::object();
}

Json deleteFeed2(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t feedId = ctx.integer("feedId");
    Database& db = ctx.db();
    auto author = db.scalarText(
        "SELECT user_id FROM feed WHERE app_id = ? AND id = ? AND deleted = 0 AND original_id = 0", {appId, feedId});
    if (!author) return Json::object();
    if (*author != userId) throw CommandError("NOT_ALLOWED");
    // The re-posts go with the original.
    db.run("UPDATE feed SET deleted = 1 WHERE app_id = ? AND (id = ? OR original_id = ?)", {appId, feedId, feedId});
    return Json::object();
}

Json deleteResend2(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t feedId = ctx.integer("feedId");
    Database& db = ctx.db();
    // The number may name the original or the user's re-post of it.
    db.run("UPDATE feed SET deleted = 1 WHERE app_id = ? AND user_id = ? AND original_id != 0 AND (id = ? OR "
           "original_id = ?)",
           {appId, userId, feedId, feedId});
    db.run("DELETE FROM feed_resends WHERE app_id = ? AND user_id = ? AND feed_id = ?", {appId, userId, feedId});
    return Json::object();
}

Json getFeed2(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    bool test = ctx.flag("test");
    bool wantLikes = ctx.flag("wantLikes");
    Database& db = ctx.db();
    Json items = feedFor(db, appId, userId, 0, test);
    Json reply = {{"messages", items}};
    if (wantLikes) {
        Json likes = likesOfItems(db, appId, items, userId);
        for (Json& like : likesOfOtherThings(db, appId, userId, test))
            likes.push_back(std::move(like));
        reply["likes"] = std::move(likes);
    }
    return reply;
}

Json getOtherFeed2(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    std::string otherAppId = ctx.optText("otherAppId").value_or(appId);
    if (otherAppId.empty()) otherAppId = appId;
    if (!rows::appExists(ctx.db(), otherAppId)) throw CommandError(errors::kAppNotFound);
    std::string other = ctx.requireUser(otherAppId, "otherUserId");
    bool wantLikes = ctx.flag("wantLikes");
    Database& db = ctx.db();
    Json items = Json::array();
    Statement s = db.prepare("SELECT id FROM feed WHERE app_id = ? AND user_id = ? AND deleted = 0 ORDER BY id DESC "
                             "LIMIT ?");
    s.bindAll({otherAppId, other, int64_t(kFeedPage)});
    while (s.step())
        items.push_back(rows::feedItemJson(db, otherAppId, s.integer(0), otherAppId == appId ? userId : ""));
    Json reply = {{"messages", items}};
    if (wantLikes) reply["likes"] = likesOfItems(db, otherAppId, items, userId);
    return reply;
}

Json getOneFeed2(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    Json item = rows::feedItemJson(ctx.db(), appId, ctx.integer("feedId"), userId);
    if (item.is_null()) throw CommandError("FEED_NOT_FOUND");
    return {{"feed", item}};
}

Json getResenders2(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t feedId = ctx.integer("feedId");
    Json users = Json::array();
    Statement s = ctx.db().prepare("SELECT user_id FROM feed WHERE app_id = ? AND original_id = ? AND deleted = 0 "
                                   "ORDER BY id");
    s.bindAll({appId, feedId});
    while (s.step())
        if (Json u = rows::userJson(ctx.db(), appId, s.text(0), userId); !u.is_null()) users.push_back(u);
    return {{"users", users}};
}

} // namespace

void registerFeedCommands(CommandTable& table) {
    table.commands["sendFeed2"] = sendFeed2;
    table.commands["sendCommentFeed"] = sendCommentFeed;
    table.commands["sendJoinedFeed"] = sendJoinedFeed;
    table.commands["resendFeed2"] = resendFeed2;
    table.commands["deleteFeed2"] = deleteFeed2;
    table.commands["deleteResend2"] = deleteResend2;
    table.commands["getFeed2"] = getFeed2;
    table.commands["getOtherFeed2"] = getOtherFeed2;
    table.commands["getOneFeed2"] = getOneFeed2;
    table.commands["getResenders2"] = getResenders2;
}

} // namespace velkora::service
