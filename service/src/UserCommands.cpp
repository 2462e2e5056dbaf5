// The commands on a user's own record and on another user's.
#include "Commands.h"

namespace velkora::service {

namespace {

Json getUserData(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    return {{"serverTime", rows::formatServerTime(ctx.now())},
            {"user", rows::userJson(ctx.db(), appId, userId, userId)}};
}

Json getOtherUserData(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    std::string otherAppId = ctx.optText("otherAppId").value_or(appId);
    if (otherAppId.empty()) otherAppId = appId;
    if (!rows::appExists(ctx.db(), otherAppId)) throw CommandError(errors::kAppNotFound);
    std::string otherUserId = ctx.requireUser(otherAppId, "otherUserId");
    return {{"user", rows::userJson(ctx.db(), otherAppId, otherUserId, otherAppId == appId ? userId : "")}};
}

Json setUserData(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);

    struct Column {
        const char* key;
        const char* column;
        enum { Text, Integer, Decimal } kind;
    };
    static const Column kColumns[] = {
        {"firstName", "first_name", Column::Text},
        {"lastName", "last_name", Column::Text},
        {"photoUrl", "photo_url", Column::Text},
        {"email", "email", Column::Text},
        {"city", "city", Column::Text},
        {"state", "state", Column::Text},
        {"country", "country", Column::Text},
        {"zipcode", "zipcode", Column::Text},
        {"customString1", "custom_string1", Column::Text},
        {"customString2", "custom_string2", Column::Text},
        {"customString3", "custom_string3", Column::Text},
        {"facebookId", "facebook_id", Column::Integer},
        {"twitterId", "twitter_id", Column::Integer},
        {"customFloat1", "custom_float1", Column::Decimal},
        {"customFloat2", "custom_float2", Column::Decimal},
        {"customFloat3", "custom_float3", Column::Decimal},
        {"age", "age", Column::Integer},
        {"gender", "gender", Column::Text},
        {"data", "data", Column::Text},
    };

    // Every value is read before anything is written: one malformed number leaves the record whole.
    // A field the request leaves out keeps its stored value (the kit sends only the fields it has).
    std::string sql = "UPDATE users SET app_id = app_id";
    std::vector<SqlValue> values;
    for (const Column& c : kColumns) {
        if (!ctx.params().has(c.key)) continue;
        switch (c.kind) {
        case Column::Text:
            values.emplace_back(ctx.text(c.key));
            break;
        case Column::Integer:
            values.emplace_back(ctx.integer(c.key));
            break;
        case Column::Decimal:
            values.emplace_back(*ctx.optDecimal(c.key));
            break;
        }
        sql += std::string(", ") + c.column + " = ?";
    }
    if (auto age = ctx.optInteger("age"); age && (*age < 0 || *age > 1000)) throw CommandError(errors::kBadRequest);
    sql += " WHERE app_id = ? AND user_id = ?";
    values.emplace_back(appId);
    values.emplace_back(userId);
    ctx.db().run(sql, values);
    return Json::object();
}

} // namespace

void registerUserCommands(CommandTable& table) {
    table.commands["getUserData"] = getUserData;
    table.commands["getOtherUserData"] = getOtherUserData;
    table.commands["setUserData"] = setUserData;
}

} // namespace velkora::service
