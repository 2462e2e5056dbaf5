// The commands on people: searching, nearby users, social friends, follows and their lists,
// suggestions, and blocking and reporting.
#include <algorithm>
#include <cmath>

#include "Commands.h"

namespace velkora::service {

namespace {

constexpr size_t kListLimit = 100;

// Metres along the earth's surface between two points given in degrees.
double greatCircleMeters(double lon1, double lat1, double lon2, double lat2) {
    constexpr double kEarthRadius = 6371008.8; // mean radius, metres
    constexpr double kRadians = 3.14159265358979323846 / 180.0;
    double dLat = (lat2 - lat1) * kRadians, dLon = (lon2 - lon1) * kRadians;
    double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
               std::cos(lat1 * kRadians) * std::cos(lat2 * kRadians) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(a)));
}

struct Origin {
    double longitude, latitude;
};

// The users of a list reply, each as the viewer sees it, with its distance from `origin` when both
// places are known.
Json usersJson(Database& db, const std::string& appId, const std::string& viewer, const std::vector<std::string>& ids,
               std::optional<Origin> origin = {}) {
    Json users = Json::array();
    for (const std::string& id : ids) {
        Json u = rows::userJson(db, appId, id, viewer);
        if (u.is_null()) continue;
        if (origin && u.contains("location"))
            u["location"]["distance"] =
                greatCircleMeters(origin->longitude, origin->latitude, u["location"]["longitude"].get<double>(),
                                  u["location"]["latitude"].get<double>());
        users.push_back(std::move(u));
    }
    return {{"users", users}};
}

std::vector<std::string> column(Statement& s) {
    std::vector<std::string> out;
    while (s.step())
        out.push_back(s.text(0));
    return out;
}

// Who a viewer may be shown in searches and suggestions: not themself, not the application's
// owner, not a user they blocked, and test users only when asked for.
std::string visibleTo(bool withTestUsers) {
    std::string sql = " AND u.user_id <> ?1 AND u.user_id <> '_OWNER' AND NOT EXISTS (SELECT 1 FROM relations r "
                      "WHERE r.app_id = u.app_id AND r.user_id = ?1 AND r.other_app_id = u.app_id AND "
                      "r.other_user_id = u.user_id AND r.type = 'b' AND r.value <> 0)";
    if (!withTestUsers) sql += " AND u.is_test = 0";
    return sql;
}

Json query(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    struct Field {
        const char* key;
        const char* column;
        enum { Text, Decimal, Integer } kind;
    };
    static const Field kFields[] = {
        {"firstName", "first_name", Field::Text},
        {"lastName", "last_name", Field::Text},
        {"email", "email", Field::Text},
        {"city", "city", Field::Text},
        {"state", "state", Field::Text},
        {"country", "country", Field::Text},
        {"zipcode", "zipcode", Field::Text},
        {"customString1", "custom_string1", Field::Text},
        {"customString2", "custom_string2", Field::Text},
        {"customString3", "custom_string3", Field::Text},
        {"customFloat1", "custom_float1", Field::Decimal},
        {"customFloat2", "custom_float2", Field::Decimal},
        {"customFloat3", "custom_float3", Field::Decimal},
        {"age", "age", Field::Integer},
        {"gender", "gender", Field::Text},
    };
    // ?1 is the viewer; the fields follow.
    std::string sql = "SELECT u.user_id FROM users u WHERE u.app_id = ?2" + visibleTo(false);
    std::vector<SqlValue> values{userId, appId};
    for (const Field& f : kFields) {
        if (!ctx.params().has(f.key)) continue;
        std::string p = std::string("?").append(std::to_string(values.size() + 1));
        switch (f.kind) {
        case Field::Text:
            sql += std::string(" AND u.") + f.column + " = " + p + " COLLATE NOCASE";
            values.emplace_back(ctx.text(f.key));
            break;
        case Field::Decimal:
            sql += std::string(" AND u.") + f.column + " = " + p;
            values.emplace_back(*ctx.optDecimal(f.key));
            break;
        case Field::Integer:
            sql += std::string(" AND u.") + f.column + " = " + p;
            values.emplace_back(ctx.integer(f.key));
            break;
        }
    }
    sql += " ORDER BY u.score DESC, u.created LIMIT " + std::to_string(kListLimit);
    Statement s = ctx.db().prepare(sql);
    s.bindAll(values);
    return usersJson(ctx.db(), appId, userId, column(s));
}

Origin readOrigin(CommandContext& ctx) {
    std::optional<double> longitude = ctx.optDecimal("longitude"), latitude = ctx.optDecimal("latitude");
    if (!longitude || !latitude || std::abs(*longitude) > 180 || std::abs(*latitude) > 90)
        throw CommandError(errors::kBadRequest);
    return {*longitude, *latitude};
}

Json getNearbyUsers(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    Origin origin = readOrigin(ctx);
    int64_t meters = ctx.integer("meters");
    if (meters < 0) throw CommandError(errors::kBadRequest);
    bool withTestUsers = ctx.flag("test");

    Statement s = ctx.db().prepare("SELECT u.user_id, u.longitude, u.latitude FROM users u WHERE u.app_id = ?2 AND "
                                   "u.longitude IS NOT NULL AND u.latitude IS NOT NULL" +
                                   visibleTo(withTestUsers));
    s.bindAll({userId, appId});
    std::vector<std::pair<double, std::string>> near;
    while (s.step()) {
        double d = greatCircleMeters(origin.longitude, origin.latitude, s.real(1), s.real(2));
        if (d <= static_cast<double>(meters)) near.emplace_back(d, s.text(0));
    }
    std::sort(near.begin(), near.end());
    if (near.size() > kListLimit) near.resize(kListLimit);
    std::vector<std::string> ids;
    for (auto& [d, id] : near)
        ids.push_back(id);
    return usersJson(ctx.db(), appId, userId, ids, origin);
}

Json getSocialNetworkFriends(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    std::string network = ctx.text("network");
    std::string friendIds = ctx.text("friendIds");
    const char* columnName = network == "facebook" ? "facebook_id" : network == "twitter" ? "twitter_id" : nullptr;
    std::vector<std::string> ids;
    if (columnName) {
        Statement s = ctx.db().prepare(std::string("SELECT u.user_id FROM users u WHERE u.app_id = ?1 AND u.") +
                                       columnName + " = ?2 AND u.user_id <> ?3 AND " +
                                       rows::notBlockedBy("?3", "u.app_id", "u.user_id") + " LIMIT 1");
        size_t start = 0;
        while (start <= friendIds.size()) {
            size_t end = friendIds.find(',', start);
            if (end == std::string::npos) end = friendIds.size();
            std::optional<int64_t> id = parseInteger(friendIds.substr(start, end - start));
            start = end + 1;
            if (!id || *id == 0) continue;
            s.reset();
            s.bindAll({appId, *id, userId});
            if (s.step() && std::find(ids.begin(), ids.end(), s.text(0)) == ids.end()) ids.push_back(s.text(0));
        }
    }
    return usersJson(ctx.db(), appId, userId, ids);
}

// The other user of a relation: "otherAppId" (this application when empty) and "otherUserId".
std::pair<std::string, std::string> otherUser(CommandContext& ctx, const std::string& appId) {
    std::string otherAppId = ctx.optText("otherAppId").value_or("");
    if (otherAppId.empty()) otherAppId = appId;
    if (!rows::appExists(ctx.db(), otherAppId)) throw CommandError(errors::kAppNotFound);
    return {otherAppId, ctx.requireUser(otherAppId, "otherUserId")};
}

Json favoriteAdd(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    auto [otherAppId, otherUserId] = otherUser(ctx, appId);
    const bool publish = ctx.flag("publish");
    if (otherAppId == appId && otherUserId == userId) throw CommandError(errors::kBadRequest);
    // A second follow of the same user is the same relation: the counts move once.
    ctx.db().run("INSERT OR IGNORE INTO follows(app_id, user_id, other_app_id, other_user_id, created) "
                 "VALUES(?, ?, ?, ?, ?)",
                 {appId, userId, otherAppId, otherUserId, ctx.now()});
    // A new relation made in public is told in the feed as "started following".
    if (publish && ctx.db().changes() > 0 && otherAppId == appId)
        ctx.db().run("INSERT INTO feed(app_id, user_id, message_type, other_user_id, time) VALUES(?, ?, 1, ?, ?)",
                     {appId, userId, otherUserId, ctx.now()});
    return Json::object();
}

Json favoriteRemove(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    auto [otherAppId, otherUserId] = otherUser(ctx, appId);
    ctx.db().run("DELETE FROM follows WHERE app_id = ? AND user_id = ? AND other_app_id = ? AND other_user_id = ?",
                 {appId, userId, otherAppId, otherUserId});
    return Json::object();
}

// Direction 1: whom the subject follows; 0: who follows the subject.
Json favoritesOf(CommandContext& ctx, const std::string& viewerAppId, const std::string& viewer,
                 const std::string& subjectAppId, const std::string& subject) {
    std::optional<Origin> origin;
    if (ctx.params().has("longitude") || ctx.params().has("latitude")) origin = readOrigin(ctx);
    int64_t direction = ctx.integer("direction");
    if (direction != 0 && direction != 1) throw CommandError(errors::kBadRequest);
    // The whole list, newest first: the kit has no paging here, so a cap would hide followers the count shows.
    // Users the viewer blocked are left out.
    const std::string hidden =
        " AND " + rows::notBlockedBy("?4", "?3", direction == 1 ? "fo.other_user_id" : "fo.user_id");
    Statement s = ctx.db().prepare(
        direction == 1 ? "SELECT fo.other_user_id FROM follows fo WHERE fo.app_id = ?1 AND fo.user_id = ?2 AND "
                         "fo.other_app_id = ?3" +
                             hidden + " ORDER BY fo.created DESC, fo.other_user_id"
                       : "SELECT fo.user_id FROM follows fo WHERE fo.other_app_id = ?1 AND fo.other_user_id = ?2 AND "
                         "fo.app_id = ?3" +
                             hidden + " ORDER BY fo.created DESC, fo.user_id");
    s.bindAll({subjectAppId, subject, subjectAppId, subjectAppId == viewerAppId ? viewer : std::string()});
    std::vector<std::string> ids = column(s);
    return usersJson(ctx.db(), subjectAppId, subjectAppId == viewerAppId ? viewer : std::string(), ids, origin);
}

Json getFavorites(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    return favoritesOf(ctx, appId, userId, appId, userId);
}

Json getOtherFavorites(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    auto [otherAppId, otherUserId] = otherUser(ctx, appId);
    return favoritesOf(ctx, appId, userId, otherAppId, otherUserId);
}

// People worth following: those the user does not follow yet, the most followed first. Guests (no first or
// last name) are left out: a row of one tells nobody whom they would follow, and the feed leaves their
// posts out too.
Json getSuggestions(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    ctx.flag("force");
    ctx.integer("followings", 0);
    bool withTestUsers = ctx.flag("test");
    // A list pinned for the user answers as it was kept, users followed since included.
    Statement pinned = ctx.db().prepare(
        "SELECT other_user_id FROM suggestion_pins WHERE app_id = ?1 AND user_id = ?2 ORDER BY position");
    pinned.bindAll({appId, userId});
    std::vector<std::string> pins = column(pinned);
    if (!pins.empty()) return usersJson(ctx.db(), appId, userId, pins);
    Statement s = ctx.db().prepare(
        "SELECT u.user_id FROM users u WHERE u.app_id = ?2" + visibleTo(withTestUsers) +
        " AND (TRIM(COALESCE(u.first_name, ''), char(32, 9, 10, 11, 12, 13)) <> '' OR "
        "TRIM(COALESCE(u.last_name, ''), char(32, 9, 10, 11, 12, 13)) <> '')"
        " AND NOT EXISTS (SELECT 1 FROM follows f WHERE f.app_id = ?2 AND f.user_id = ?1 AND f.other_app_id = ?2 "
        "AND f.other_user_id = u.user_id) ORDER BY (SELECT COUNT(*) FROM follows g WHERE g.other_app_id = ?2 AND "
        "g.other_user_id = u.user_id) DESC, u.score DESC, u.created LIMIT 20");
    s.bindAll({userId, appId});
    return usersJson(ctx.db(), appId, userId, column(s));
}

Json setUserRelation(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    auto [otherAppId, otherUserId] = otherUser(ctx, appId);
    std::string type = ctx.text("type");
    if (type != "b" && type != "r") throw CommandError(errors::kBadRequest);
    int64_t value = ctx.flag("value") ? 1 : 0;
    if (otherAppId == appId && otherUserId == userId) throw CommandError(errors::kBadRequest);
    ctx.db().run("INSERT INTO relations(app_id, user_id, other_app_id, other_user_id, type, value) "
                 "VALUES(?, ?, ?, ?, ?, ?) ON CONFLICT(app_id, user_id, other_app_id, other_user_id, type) "
                 "DO UPDATE SET value = excluded.value",
                 {appId, userId, otherAppId, otherUserId, type, value});
    return Json::object();
}

} // namespace

void registerRelationCommands(CommandTable& table) {
    table.commands["query"] = query;
    table.commands["getNearbyUsers"] = getNearbyUsers;
    table.commands["getSocialNetworkFriends"] = getSocialNetworkFriends;
    table.commands["favoriteAdd"] = favoriteAdd;
    table.commands["favoriteRemove"] = favoriteRemove;
    table.commands["getFavorites"] = getFavorites;
    table.commands["getOtherFavorites"] = getOtherFavorites;
    table.commands["getSuggestions"] = getSuggestions;
    table.commands["setUserRelation"] = setUserRelation;
}

} // namespace velkora::service
