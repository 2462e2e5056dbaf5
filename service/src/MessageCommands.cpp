// Private messages between users and the application's owner: sending text and pictures, marking
// them read or deleted, and reading them back as chats.
#include <algorithm>
#include <cctype>

#include "Commands.h"

namespace velkora::service {

namespace {

// A chat's page when the application names no "maxMessagesPerUpdate".
constexpr int64_t kChatPageSize = 20;

// The page size the kit reads from the same configuration, so its load-earlier rule and the pages agree.
int64_t chatPageSize(Database& db, const std::string& appId) {
    Json config =
        Json::parse(db.scalarText("SELECT config FROM apps WHERE app_id = ?", {appId}).value_or("{}"), nullptr, false);
    if (config.is_object() && config.contains("maxMessagesPerUpdate")) {
        const Json& n = config["maxMessagesPerUpdate"];
        if (n.is_number_integer() && n.get<int64_t>() > 0) return n.get<int64_t>();
    }
    return kChatPageSize;
}

// Pictures of messages are JPEG: anything else is refused rather than stored under a ".jpg" address.
bool isJpeg(const std::string& bytes) {
    return bytes.size() > 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xD8 && static_cast<unsigned char>(bytes[2]) == 0xFF;
}

// The messages one user still sees of what they sent to another (?1 app, ?2 the user, ?3 the other user),
// and of what the other sent them. Each side is read through the sender-recipient index on its own: an
// OR of the two would have SQLite read every message of the app.
constexpr const char* kSentWhere =
    "app_id = ?1 AND sender_user_id = ?2 AND recipient_user_id = ?3 AND deleted_by_sender = 0";
constexpr const char* kReceivedWhere =
    "app_id = ?1 AND sender_user_id = ?3 AND recipient_user_id = ?2 AND deleted_by_recipient = 0";

bool blocks(Database& db, const std::string& appId, const std::string& userId, const std::string& otherUserId) {
    return db.scalarInteger("SELECT value FROM relations WHERE app_id = ? AND user_id = ? AND other_app_id = ? AND "
                            "other_user_id = ? AND type = 'b'",
                            {appId, userId, appId, otherUserId})
               .value_or(0) != 0;
}

int64_t insertMessage(CommandContext& ctx, const std::string& appId, const std::string& sender,
                      const std::string& recipient, const std::string& text, const std::string& contentType,
                      int64_t messageType, int64_t rating, const SqlValue& extraData = std::monostate{}) {
    // A user who blocked the sender never sees what they send; the sender still has it in the chat.
    int64_t hidden = blocks(ctx.db(), appId, recipient, sender) ? 1 : 0;
    ctx.db().run("INSERT INTO messages(app_id, sender_user_id, recipient_user_id, message, content_type, "
                 "message_type, rating, extra_data, deleted_by_recipient, time) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                 {appId, sender, recipient, text, contentType, messageType, rating, extraData, hidden, ctx.now()});
    return ctx.db().lastInsertId();
}

// The sender ("senderAppId", "senderUserId") and the recipient ("userId") of a message; both in the
// application of "appId", where the messages are kept.
std::pair<std::string, std::string> parties(CommandContext& ctx, std::string& appId) {
    appId = ctx.requireApp();
    // No messages across applications.
    if (ctx.nonEmpty("senderAppId") != appId) throw CommandError(errors::kBadRequest);
    std::string sender = ctx.requireUser(appId, "senderUserId");
    std::string recipient = ctx.requireUser(appId, "userId");
    if (sender == recipient) throw CommandError(errors::kBadRequest);
    return {sender, recipient};
}

Json sendMessage(CommandContext& ctx) {
    std::string appId;
    auto [sender, recipient] = parties(ctx, appId);
    std::string text = ctx.text("message");
    std::string contentType = ctx.optText("contentType").value_or("");
    if (contentType.empty()) contentType = "text/plain";
    static const char* const kContentTypes[] = {"text/plain", "image", "text/html", "text/link", "sticker"};
    if (std::find(std::begin(kContentTypes), std::end(kContentTypes), contentType) == std::end(kContentTypes))
        throw CommandError(errors::kBadRequest);
    int64_t messageType = ctx.integer("messageType", 0);
    int64_t rating = ctx.integer("rating", 0);
    // Ordinary messages, feature requests, bug reports and feedback; stars only from none to five.
    if (messageType != 0 && messageType != 1 && messageType != 2 && messageType != 4)
        throw CommandError(errors::kBadRequest);
    if (rating < 0 || rating > 5) throw CommandError(errors::kBadRequest);
    insertMessage(ctx, appId, sender, recipient, text, contentType, messageType, rating);
    return Json::object();
}

Json sendImageMessage(CommandContext& ctx) {
    std::string appId;
    auto [sender, recipient] = parties(ctx, appId);
    std::optional<std::string> image = rows::decodeBase64(ctx.text("image"));
    if (!image || !isJpeg(*image)) throw CommandError(errors::kBadRequest);
    std::optional<std::string> small = rows::decodeBase64(ctx.optText("smallImage").value_or(""));
    if (small && !isJpeg(*small)) throw CommandError(errors::kBadRequest);
    Transaction tx(ctx.db());
    std::string url = rows::storeImage(ctx, appId, sender, *image);
    // The small picture, when there is one, travels in the message's extra data for the chat's list, and
    // is served at the picture's own address with "_small" before its ".jpg", where the kit looks for it.
    SqlValue smallUrl = std::monostate{};
    if (small) {
        const int64_t imageId = ctx.db().lastInsertId();
        smallUrl = rows::storeImage(ctx, appId, sender, *small);
        ctx.db().run("INSERT INTO image_smalls(image_id, small_id) VALUES(?, ?)", {imageId, ctx.db().lastInsertId()});
    }
    insertMessage(ctx, appId, sender, recipient, url, "image", 0, 0, smallUrl);
    tx.commit();
    return {{"url", url}};
}

// The message-id list: the numbers in the text, whatever separates them ("1,2,3", "[1, 2]", ...).
std::vector<int64_t> messageIds(const std::string& text) {
    std::vector<int64_t> ids;
    size_t i = 0;
    while (i < text.size()) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
            ++end;
        if (auto n = parseInteger(std::string_view(text).substr(i, end - i))) ids.push_back(*n);
        i = end;
    }
    return ids;
}

Json markMessages(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    std::vector<int64_t> ids = messageIds(ctx.text("messages"));
    bool deleted = ctx.flag("markDeleted");
    Transaction tx(ctx.db());
    for (int64_t id : ids) {
        // Only the user's own side of a message changes: reading or deleting it leaves the other's copy.
        if (deleted) {
            ctx.db().run("UPDATE messages SET deleted_by_recipient = 1 WHERE change_number = ? AND app_id = ? AND "
                         "recipient_user_id = ?",
                         {id, appId, userId});
            ctx.db().run("UPDATE messages SET deleted_by_sender = 1 WHERE change_number = ? AND app_id = ? AND "
                         "sender_user_id = ?",
                         {id, appId, userId});
        } else {
            ctx.db().run("UPDATE messages SET was_read = 1 WHERE change_number = ? AND app_id = ? AND "
                         "recipient_user_id = ?",
                         {id, appId, userId});
        }
    }
    tx.commit();
    return Json::object();
}

// One chat as the replies give it: the other user, the total of messages and a page of them,
// newest first.
Json chatJson(Database& db, const std::string& appId, const std::string& userId, const std::string& otherUserId,
              int64_t offset, int64_t limit) {
    Json messages = Json::array();
    // The newest offset + limit of each side are enough to fill the page from both.
    Statement s = db.prepare(std::string("SELECT * FROM (SELECT * FROM (SELECT * FROM messages WHERE ") + kSentWhere +
                             " ORDER BY change_number DESC LIMIT ?4 + ?5) UNION ALL SELECT * FROM (SELECT * FROM "
                             "messages WHERE " +
                             kReceivedWhere +
                             " ORDER BY change_number DESC LIMIT ?4 + ?5)) ORDER BY change_number DESC LIMIT ?4 "
                             "OFFSET ?5");
    s.bindAll({appId, userId, otherUserId, limit, offset});
    while (s.step())
        messages.push_back(rows::messageJson(db, s));
    const int64_t numMessages =
        *db.scalarInteger(std::string("SELECT (SELECT COUNT(*) FROM messages WHERE ") + kSentWhere +
                              ") + (SELECT COUNT(*) FROM messages WHERE " + kReceivedWhere + ")",
                          {appId, userId, otherUserId});
    // Filled in place: a braced list would copy each nested value once more.
    Json chat = Json::object();
    chat["user"] = rows::userJson(db, appId, otherUserId, userId);
    chat["messages"] = std::move(messages);
    chat["numMessages"] = numMessages;
    chat["isSystem"] = otherUserId == "_OWNER";
    return chat;
}

Json getChats(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    Database& db = ctx.db();
    // Every other user with a message this user still sees, the latest conversation first.
    Statement s =
        db.prepare("SELECT other, MAX(change_number) AS latest FROM (SELECT recipient_user_id AS other, change_number "
                   "FROM messages WHERE app_id = ?1 AND sender_user_id = ?2 AND deleted_by_sender = 0 UNION ALL "
                   "SELECT sender_user_id, change_number FROM messages WHERE app_id = ?1 AND recipient_user_id = ?2 "
                   "AND deleted_by_recipient = 0) GROUP BY other ORDER BY latest DESC");
    s.bindAll({appId, userId});
    Json chats = Json::array();
    while (s.step())
        chats.push_back(chatJson(db, appId, userId, s.text(0), 0, 1));
    Json reply = Json::object();
    reply["chats"] = std::move(chats);
    return reply;
}

Json getChat(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    std::string otherAppId = ctx.optText("otherAppId").value_or("");
    if (!otherAppId.empty() && otherAppId != appId) throw CommandError(errors::kBadRequest);
    std::string otherUserId = ctx.requireUser(appId, "otherUserId");
    int64_t offset = ctx.integer("offset", 0);
    if (offset < 0) throw CommandError(errors::kBadRequest);
    return {{"chat", chatJson(ctx.db(), appId, userId, otherUserId, offset, chatPageSize(ctx.db(), appId))}};
}

} // namespace

void registerMessageCommands(CommandTable& table) {
    table.commands["sendMessage"] = sendMessage;
    table.commands["sendImageMessage"] = sendImageMessage;
    table.commands["markMessages"] = markMessages;
    table.commands["getChats"] = getChats;
    table.commands["getChat"] = getChat;
}

} // namespace velkora::service
