// Private messages between the users of one application.
#include "Commands.h"

namespace velkora::service {

namespace {

// "appId" and "userId" name the recipient; "senderAppId" and "senderUserId" the writer.
Json sendMessage(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string recipient = ctx.requireUser(appId);
    std::string senderAppId = ctx.nonEmpty("senderAppId");
    if (senderAppId != appId) throw CommandError(errors::kBadRequest); // no messages across applications
    std::string sender = ctx.requireUser(appId, "senderUserId");
    std::string contentType = ctx.optText("contentType").value_or("text/plain");
    static const char* const kContentTypes[] = {"text/plain", "image", "text/html", "text/link", "sticker"};
    if (std::find(std::begin(kContentTypes), std::end(kContentTypes), contentType) == std::end(kContentTypes))
        throw CommandError(errors::kBadRequest);
    int64_t messageType = ctx.integer("messageType", 0);
    int64_t rating = ctx.integer("rating", 0);
    ctx.db().run("INSERT INTO messages(app_id, sender_user_id, recipient_user_id, message, content_type, "
                 "message_type, rating, time) VALUES(?, ?, ?, ?, ?, ?, ?, ?)",
                 {appId, sender, recipient, ctx.text("message"), contentType, messageType, rating, ctx.now()});
    return Json::object();
}

} // namespace

void registerMessageCommands(CommandTable& table) {
    table.commands["sendMessage"] = sendMessage;
}

} // namespace velkora::service
