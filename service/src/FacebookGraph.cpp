// The Facebook graph stand-in under "/graph": the log-in dialog of the known applications, which hands
// the device's signed-in user a token; "me" with fields by permission; the friend list in pages; user
// pictures; and the feed dialog, which keeps what it posts.
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "Commands.h"
#include "OutsideRoutes.h"

namespace velkora::service {

namespace {

constexpr double kTokenLifetimeSeconds = 60 * 24 * 3600;

LocalReply graphError(int code, const std::string& message, const std::string& type = "OAuthException",
                      int status = 400) {
    Json body = {{"error", {{"message", message}, {"type", type}, {"code", code}}}};
    return outside::json(status, body.dump());
}

std::string newToken() {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string token = "EAAV";
    for (int i = 0; i < 60; ++i)
        token += digits[random() % (sizeof digits - 1)];
    return token;
}

struct Grant {
    int64_t userId = 0;
    std::set<std::string> scope;
};

// The user and permissions of the request's token, or the 400 with code 190 that refuses it.
std::variant<Grant, LocalReply> authenticate(OutsideRequest& r) {
    std::string token = r.params.value("access_token");
    if (token.empty())
        return graphError(2500, "An active access token must be used to query information about the current user.");
    Statement s = r.db.prepare("SELECT user_id, scope, expires FROM graph_tokens WHERE token = ?");
    s.bindAll({token});
    if (!s.step()) return graphError(190, "Invalid OAuth access token.");
    if (s.real(2) <= r.now) return graphError(190, "Error validating access token: Session has expired.");
    Grant grant{s.integer(0), {}};
    std::stringstream scope(s.text(1));
    std::string item;
    while (std::getline(scope, item, ','))
        grant.scope.insert(item);
    return grant;
}

LocalReply oauthDialog(OutsideRequest& r) {
    std::string appId = r.params.value("client_id");
    if (!r.db.scalarInteger("SELECT 1 FROM graph_apps WHERE app_id = ?", {appId}))
        return graphError(101, "Error validating application. Invalid application ID.");
    // The return address is the application's own scheme and nothing else: a dialog that redirected
    // anywhere it was told would hand the token to whoever asked.
    std::string redirect = "fb" + appId + "://authorize";
    std::string asked = r.params.value("redirect_uri", redirect);
    if (asked != redirect) return graphError(191, "The redirect_uri URL must be the application's own.");
    // The device names its signed-in user and proves it with that user's password.
    auto user = parseInteger(r.params.value("user"));
    if (!user || !outside::passwordOfAccount(r.db, "graph_users", "id", *user, r.params.value("password")))
        return graphError(100, "No user is signed in to Facebook on this device.", "GraphMethodException");
    std::string token = newToken();
    r.db.run("INSERT INTO graph_tokens(token, app_id, user_id, scope, expires) VALUES(?, ?, ?, ?, ?)",
             {token, appId, *user, r.params.value("scope"), r.now + kTokenLifetimeSeconds});
    LocalReply reply{302, "", "text/html", false, {}};
    reply.headers.emplace_back("Location", redirect + "#access_token=" + token + "&expires_in=" +
                                               std::to_string(static_cast<int64_t>(kTokenLifetimeSeconds)));
    return reply;
}

// "First Last", or the first name alone.
std::string fullName(std::string first, const std::string& last) {
    if (!last.empty()) first.append(" ").append(last);
    return first;
}

LocalReply me(OutsideRequest& r, const Grant& grant) {
    Statement s =
        r.db.prepare("SELECT id, first_name, last_name, gender, birthday, location FROM graph_users WHERE id = ?");
    s.bindAll({grant.userId});
    if (!s.step()) return graphError(100, "Unsupported get request.", "GraphMethodException");
    // Ids go out as strings, as the graph sends them: they do not fit a double.
    Json user = {{"id", std::to_string(s.integer(0))},
                 {"name", fullName(s.text(1), s.text(2))},
                 {"first_name", s.text(1)},
                 {"last_name", s.text(2)},
                 {"gender", s.text(3)}};
    if (grant.scope.count("user_birthday") && !s.text(4).empty()) user["birthday"] = s.text(4);
    if (grant.scope.count("user_location") && !s.text(5).empty())
        user["location"] = {{"id", std::to_string(100000000 + (std::hash<std::string>{}(s.text(5)) % 899999999))},
                            {"name", s.text(5)}};
    std::string fields = r.params.value("fields");
    if (!fields.empty()) {
        std::set<std::string> wanted{"id"};
        std::stringstream list(fields);
        std::string item;
        while (std::getline(list, item, ','))
            wanted.insert(item);
        for (auto it = user.begin(); it != user.end();)
            it = wanted.count(it.key()) ? std::next(it) : user.erase(it);
    }
    return outside::json(200, user.dump());
}

LocalReply friends(OutsideRequest& r, const Grant& grant) {
    int64_t limit = std::clamp<int64_t>(parseInteger(r.params.value("limit", "5000")).value_or(5000), 1, 5000);
    int64_t offset = std::max<int64_t>(parseInteger(r.params.value("offset", "0")).value_or(0), 0);
    Statement s = r.db.prepare("SELECT u.id, u.first_name, u.last_name FROM graph_friends f JOIN graph_users u "
                               "ON u.id = f.friend_id WHERE f.user_id = ? ORDER BY f.position LIMIT ? OFFSET ?");
    s.bindAll({grant.userId, limit, offset});
    Json data = Json::array();
    while (s.step())
        data.push_back({{"id", std::to_string(s.integer(0))}, {"name", fullName(s.text(1), s.text(2))}});
    Json page = {{"data", data}};
    std::string token = outside::percentEncode(r.params.value("access_token"));
    if (!data.empty())
        page["paging"] = {{"next", r.baseUrl + "/graph/me/friends?limit=" + std::to_string(limit) +
                                       "&offset=" + std::to_string(offset + limit) + "&access_token=" + token}};
    return outside::json(200, page.dump());
}

LocalReply feedDialog(OutsideRequest& r, const Grant& grant) {
    Json fields = Json::object();
    for (const char* key : {"name", "link", "description", "picture", "caption", "message"})
        if (r.params.has(key)) fields[key] = r.params.value(key);
    std::string to = r.params.value("to");
    int64_t wallOf = grant.userId;
    if (!to.empty()) {
        auto id = parseInteger(to);
        if (!id || !r.db.scalarInteger("SELECT 1 FROM graph_users WHERE id = ?", {*id}))
            return graphError(100, "Invalid parameter: to", "GraphMethodException");
        wallOf = *id;
    }
    r.db.run("INSERT INTO graph_posts(from_id, to_id, fields, created) VALUES(?, ?, ?, ?)",
             {grant.userId, wallOf, fields.dump(), r.now});
    return outside::json(200,
                         Json{{"post_id", std::to_string(wallOf) + "_" + std::to_string(r.db.lastInsertId())}}.dump());
}

LocalReply answerGraph(OutsideRequest& r) {
    if (r.path == "dialog/oauth") return oauthDialog(r);
    const std::string picture = "/picture";
    if (r.path.size() > picture.size() &&
        r.path.compare(r.path.size() - picture.size(), picture.size(), picture) == 0) {
        std::string id = r.path.substr(0, r.path.size() - picture.size());
        if (!parseInteger(id)) return graphError(803, "Some of the aliases you requested do not exist: " + id);
        return {200, outside::picturePng("graph/" + id), "image/png", false, {}};
    }
    using Handler = LocalReply (*)(OutsideRequest&, const Grant&);
    static const std::pair<const char*, Handler> routes[] = {
        {"me", me}, {"me/friends", friends}, {"dialog/feed", feedDialog}};
    for (const auto& [path, handler] : routes) {
        if (r.path != path) continue;
        auto auth = authenticate(r);
        if (auto* refusal = std::get_if<LocalReply>(&auth)) return *refusal;
        return handler(r, std::get<Grant>(auth));
    }
    return graphError(803, "Unknown path components: /" + r.path);
}

void createGraphSchema(Database& db) {
    db.exec(R"(
CREATE TABLE IF NOT EXISTS graph_apps (app_id TEXT PRIMARY KEY);
CREATE TABLE IF NOT EXISTS graph_users (
    id INTEGER PRIMARY KEY,
    first_name TEXT NOT NULL DEFAULT '',
    last_name TEXT NOT NULL DEFAULT '',
    gender TEXT NOT NULL DEFAULT '',
    birthday TEXT NOT NULL DEFAULT '',   -- MM/dd/yyyy
    location TEXT NOT NULL DEFAULT ''
);
CREATE TABLE IF NOT EXISTS graph_friends (user_id INTEGER NOT NULL, friend_id INTEGER NOT NULL, position INTEGER NOT NULL,
    PRIMARY KEY (user_id, friend_id));
CREATE TABLE IF NOT EXISTS graph_tokens (token TEXT PRIMARY KEY, app_id TEXT NOT NULL, user_id INTEGER NOT NULL,
    scope TEXT NOT NULL, expires REAL NOT NULL);
CREATE TABLE IF NOT EXISTS graph_posts (id INTEGER PRIMARY KEY AUTOINCREMENT, from_id INTEGER NOT NULL,
    to_id INTEGER NOT NULL, fields TEXT NOT NULL, created REAL NOT NULL);
)");
    // Folders made before users signed in with a password get the columns now.
    for (const char* column : {"password_salt", "password_hash"})
        if (!db.scalarInteger("SELECT 1 FROM pragma_table_info('graph_users') WHERE name = ?", {std::string(column)}))
            db.exec(std::string("ALTER TABLE graph_users ADD COLUMN ") + column + " TEXT");
}

void seedGraph(Database& db, const std::string& seedPath, double) {
    std::ifstream in(seedPath);
    Json seed = Json::parse(in, nullptr, false);
    if (!seed.is_object() || !seed.contains("facebook")) return;
    if (db.scalarInteger("SELECT 1 FROM graph_users LIMIT 1")) return;
    const Json& facebook = seed["facebook"];
    for (const Json& app : facebook.value("apps", Json::array()))
        db.run("INSERT OR IGNORE INTO graph_apps(app_id) VALUES(?)", {app.get<std::string>()});
    for (const Json& u : facebook.value("users", Json::array())) {
        int64_t id = std::stoll(u.at("id").get<std::string>());
        db.run(
            "INSERT INTO graph_users(id, first_name, last_name, gender, birthday, location) VALUES(?, ?, ?, ?, ?, ?)",
            {id, u.value("first_name", ""), u.value("last_name", ""), u.value("gender", ""), u.value("birthday", ""),
             u.value("location", "")});
        for (const Json& member : u.value("velkoraUsers", Json::array()))
            db.run("UPDATE users SET facebook_id = ? WHERE app_id = ? AND user_id = ?",
                   {id, member.at(0).get<std::string>(), member.at(1).get<std::string>()});
    }
    const Json friendsByUser = facebook.value("friends", Json::object());
    for (const auto& [userId, friendIds] : friendsByUser.items()) {
        int64_t position = 0;
        for (const Json& f : friendIds)
            db.run("INSERT OR IGNORE INTO graph_friends(user_id, friend_id, position) VALUES(?, ?, ?)",
                   {std::stoll(userId), std::stoll(f.get<std::string>()), position++});
    }
}

} // namespace

OutsideRoute graphRoute() {
    return {"/graph", createGraphSchema, answerGraph, seedGraph};
}

} // namespace velkora::service
