// The commands of a user's account: sign-up and log-in by e-mail or social identity, sign-out,
// connecting and disconnecting identities, the profile photo, passwords and the push token.
#include <algorithm>
#include <cctype>

#include "Commands.h"
#include "PasswordHash.h"

namespace velkora::service {

namespace {

inline constexpr const char* kAlreadySignedUp = "USER_ALREADY_SIGNED_UP";

// The identity a connect method names: the column that holds it and the value to look for.
struct Identity {
    const char* column;
    SqlValue value;
    bool isEmail() const { return std::string_view(column) == "email"; }
};

Identity identity(int64_t method, const std::string& value) {
    switch (method) {
    case 1:
        if (value.empty()) break;
        return {"email", value};
    case 2:
    case 3: {
        std::optional<int64_t> id = parseInteger(value);
        if (!id || *id == 0) break;
        return {method == 2 ? "facebook_id" : "twitter_id", *id};
    }
    default:
        break;
    }
    throw CommandError(errors::kBadRequest);
}

// The signed-up user who holds this identity, if any. Addresses compare without regard to case.
std::optional<std::string> accountWith(Database& db, const std::string& appId, const Identity& id) {
    std::string where = id.isEmail() ? "lower(email) = lower(?)" : std::string(id.column) + " = ?";
    return db.scalarText("SELECT user_id FROM users WHERE app_id = ? AND signed_up = 1 AND " + where +
                             " ORDER BY created LIMIT 1",
                         {appId, id.value});
}

void setIdentity(Database& db, const std::string& appId, const std::string& userId, const Identity& id) {
    db.run(std::string("UPDATE users SET ") + id.column + " = ?, signed_up = 1 WHERE app_id = ? AND user_id = ?",
           {id.value, appId, userId});
}

// The profile fields sign-up and connect carry. `replace` false fills only the fields still empty.
void applyProfile(CommandContext& ctx, const std::string& appId, const std::string& userId, bool replace) {
    static const std::pair<const char*, const char*> kFields[] = {
        {"firstName", "first_name"}, {"lastName", "last_name"}, {"photoUrl", "photo_url"}, {"city", "city"},
        {"state", "state"},          {"country", "country"},    {"gender", "gender"},
    };
    for (const auto& [key, column] : kFields) {
        std::optional<std::string> value = ctx.optText(key);
        if (!value) continue;
        std::string sql = std::string("UPDATE users SET ") + column + " = ? WHERE app_id = ? AND user_id = ?";
        if (!replace) sql += std::string(" AND (") + column + " IS NULL OR " + column + " = '')";
        ctx.db().run(sql, {*value, appId, userId});
    }
}

std::optional<std::string> deviceUser(Database& db, const std::string& appId, const std::string& deviceId) {
    return db.scalarText("SELECT user_id FROM devices WHERE app_id = ? AND device_id = ?", {appId, deviceId});
}

void bindDevice(CommandContext& ctx, const std::string& appId, const std::string& deviceId, const std::string& userId) {
    ctx.db().run("INSERT INTO devices(device_id, app_id, user_id, last_seen) VALUES(?, ?, ?, ?) "
                 "ON CONFLICT(app_id, device_id) DO UPDATE SET user_id = excluded.user_id, "
                 "last_seen = excluded.last_seen",
                 {deviceId, appId, userId, ctx.now()});
}

void storePassword(CommandContext& ctx, const std::string& appId, const std::string& userId,
                   const std::string& digest) {
    std::optional<std::string> hashed = ctx.hashedPassword(digest);
    if (!hashed) throw CommandError(errors::kInternal);
    ctx.db().run("UPDATE users SET password = ? WHERE app_id = ? AND user_id = ?", {*hashed, appId, userId});
}

// The stored password hash of the account a log-in names; nothing for an account without one.
std::optional<std::string> storedPasswordFor(Database& db, const std::string& appId, const Identity& id) {
    std::optional<std::string> userId = accountWith(db, appId, id);
    if (!userId) return std::nullopt;
    return db.scalarText("SELECT password FROM users WHERE app_id = ? AND user_id = ?", {appId, *userId});
}

Json signUp(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string deviceId = ctx.nonEmpty("deviceId");
    Identity id = identity(ctx.integer("method"), ctx.text("value"));
    std::optional<std::string> password = ctx.optText("password");
    // An e-mail account without a password could be entered by anyone who knows the address.
    if (id.isEmail() && (!password || password->empty())) throw CommandError(errors::kBadRequest);
    Database& db = ctx.db();

    Transaction tx(db);
    if (accountWith(db, appId, id)) throw CommandError(kAlreadySignedUp);
    // The device's anonymous user becomes the account, keeping what it did so far; a device that
    // already holds an account (or none) gets a new user. So does a device still bound to the user named
    // after it: that user is where the device returns after signing out, so it never becomes an account.
    std::string userId;
    if (auto current = deviceUser(db, appId, deviceId);
        current && *current != deviceId &&
        db.scalarInteger("SELECT signed_up FROM users WHERE app_id = ? AND user_id = ?", {appId, *current})
                .value_or(1) == 0) {
        userId = *current;
    } else {
        userId = rows::newUserId(db, appId);
        ctx.insertNewUser(appId, userId);
    }
    setIdentity(db, appId, userId, id);
    if (id.isEmail()) storePassword(ctx, appId, userId, *password);
    applyProfile(ctx, appId, userId, true);
    bindDevice(ctx, appId, deviceId, userId);
    tx.commit();
    return {{"userId", userId}};
}

Json login(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string deviceId = ctx.nonEmpty("deviceId");
    Identity id = identity(ctx.integer("method"), ctx.text("value"));
    Database& db = ctx.db();
    std::optional<std::string> userId = accountWith(db, appId, id);
    if (!userId) throw CommandError(errors::kUserNotFound);
    if (id.isEmail()) {
        // A wrong password answers as an unknown user does: the reply tells nothing of who has an account.
        std::optional<std::string> stored =
            db.scalarText("SELECT password FROM users WHERE app_id = ? AND user_id = ?", {appId, *userId});
        std::optional<std::string> given = ctx.optText("password");
        if (!stored || !given || !ctx.passwordMatches(*stored, *given)) throw CommandError(errors::kUserNotFound);
    }
    bindDevice(ctx, appId, deviceId, *userId);
    return {{"userId", *userId}};
}

Json signOut(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string deviceId = ctx.nonEmpty("deviceId");
    ctx.db().run("DELETE FROM devices WHERE app_id = ? AND device_id = ?", {appId, deviceId});
    return Json::object();
}

Json connectSocial(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    Identity id = identity(ctx.integer("method"), ctx.text("value"));
    bool replaceUserData = ctx.flag("replaceUserData");
    bool overrideOtherUser = ctx.flag("overrideOtherUser");
    Database& db = ctx.db();

    Transaction tx(db);
    if (auto holder = accountWith(db, appId, id); holder && *holder != userId) {
        if (!overrideOtherUser) throw CommandError(kAlreadySignedUp);
        // The identity moves to this user; the other account keeps everything else.
        db.run(std::string("UPDATE users SET ") + id.column + (id.isEmail() ? " = NULL" : " = 0") +
                   " WHERE app_id = ? AND user_id = ?",
               {appId, *holder});
    }
    setIdentity(db, appId, userId, id);
    applyProfile(ctx, appId, userId, replaceUserData);
    tx.commit();
    return Json::object();
}

Json disconnectSocial(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t method = ctx.integer("method");
    if (method != 2 && method != 3) throw CommandError(errors::kBadRequest);
    ctx.db().run(std::string("UPDATE users SET ") + (method == 2 ? "facebook_id" : "twitter_id") +
                     " = 0 WHERE app_id = ? AND user_id = ?",
                 {appId, userId});
    return Json::object();
}

Json savePhoto(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string deviceId = ctx.nonEmpty("deviceId");
    std::optional<std::string> bytes = rows::decodeBase64(ctx.text("image"));
    if (!bytes) throw CommandError(errors::kBadRequest);
    // Only stored: the picture becomes the user's when setUserData or a sign-up names it, so one the user
    // discarded never replaces the photo they kept.
    std::optional<std::string> userId = deviceUser(ctx.db(), appId, deviceId);
    std::string url = rows::storeImage(ctx, appId, userId.value_or(""), *bytes);
    return {{"url", url}};
}

Json forgotPassword(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string email = ctx.nonEmpty("email");
    std::optional<std::string> userId = accountWith(ctx.db(), appId, {"email", email});
    if (!userId) throw CommandError(errors::kUserNotFound);
    // This service sends no mail: the request is kept where the operator reads events.
    ctx.db().run(
        "INSERT INTO events(app_id, user_id, device_id, type, message, time) VALUES(?, ?, ?, ?, ?, ?)",
        {appId, *userId, ctx.optText("deviceId").value_or(""), std::string("forgotPassword"), email, ctx.now()});
    return Json::object();
}

Json changePassword(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    std::string password = ctx.nonEmpty("password");
    storePassword(ctx, appId, userId, password);
    return Json::object();
}

// The older clients' sign-up: an account already holding one of the ids is answered, else the
// ids become this user's.
Json signUpBackComp(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    auto readId = [&](const char* key) {
        std::string text = ctx.optText(key).value_or("");
        if (text.empty()) return int64_t(0);
        std::optional<int64_t> n = parseInteger(text);
        if (!n) throw CommandError(errors::kBadRequest);
        return *n;
    };
    int64_t facebookId = readId("facebookId");
    int64_t twitterId = readId("twitterId");
    if (facebookId == 0 && twitterId == 0) throw CommandError(errors::kBadRequest);
    Database& db = ctx.db();
    Transaction tx(db);
    for (const Identity& id : {Identity{"facebook_id", facebookId}, Identity{"twitter_id", twitterId}}) {
        if (std::get<int64_t>(id.value) == 0) continue;
        if (auto holder = accountWith(db, appId, id); holder && *holder != userId) return {{"userId", *holder}};
    }
    for (const Identity& id : {Identity{"facebook_id", facebookId}, Identity{"twitter_id", twitterId}})
        if (std::get<int64_t>(id.value) != 0) setIdentity(db, appId, userId, id);
    tx.commit();
    return {{"userId", userId}};
}

Json setDeviceToken(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string deviceId = ctx.nonEmpty("deviceId");
    std::string userId = ctx.requireDeviceUser(appId);
    std::string token = ctx.nonEmpty("deviceToken");
    ctx.db().run("INSERT INTO devices(device_id, app_id, user_id, push_token, last_seen) VALUES(?, ?, ?, ?, ?) "
                 "ON CONFLICT(app_id, device_id) DO UPDATE SET user_id = excluded.user_id, "
                 "push_token = excluded.push_token, last_seen = excluded.last_seen",
                 {deviceId, appId, userId, token, ctx.now()});
    return Json::object();
}

} // namespace

std::string CommandContext::requireDeviceUser(const std::string& appId) {
    std::string userId = requireUser(appId);
    std::string deviceId = optText("deviceId").value_or("");
    std::optional<std::string> bound = deviceId.empty() ? std::nullopt : deviceUser(db(), appId, deviceId);
    auto hasAccount = [&](const std::string& user) {
        return db().scalarInteger("SELECT signed_up FROM users WHERE app_id = ? AND user_id = ?", {appId, user})
                   .value_or(0) != 0;
    };
    // An account is reached only from a device that signed in to it, and a device signed in to an
    // account acts for no one else. Users without an account hold no credential to check.
    if (hasAccount(userId) ? bound != userId : bound && *bound != userId && hasAccount(*bound))
        throw CommandError(errors::kUserNotFound);
    return userId;
}

PasswordWork preparePasswordWork(const std::string& command, const QueryText& params, Database& db, std::mutex& lock) {
    PasswordWork work;
    const std::string* given = params.find("password");
    if (!given || given->empty()) return work;
    work.given = *given;
    if (command == "signUp" || command == "changePassword") {
        work.hashed = hashPassword(*given);
    } else if (command == "login" && params.value("method") == "1") {
        std::optional<std::string> stored;
        {
            std::lock_guard locked(lock);
            std::string appId = params.value("appId"), value = params.value("value");
            if (!value.empty()) stored = storedPasswordFor(db, appId, {"email", value});
        }
        if (stored) {
            work.checkedAgainst = *stored;
            work.matched = passwordMatches(*stored, *given);
        }
    }
    return work;
}

std::optional<std::string> CommandContext::hashedPassword(const std::string& digest) const {
    if (passwords_ && passwords_->hashed && passwords_->given == digest) return passwords_->hashed;
    return hashPassword(digest);
}

bool CommandContext::passwordMatches(const std::string& stored, const std::string& digest) const {
    if (passwords_ && !passwords_->checkedAgainst.empty() && passwords_->checkedAgainst == stored &&
        passwords_->given == digest)
        return passwords_->matched;
    return service::passwordMatches(stored, digest);
}

void registerAccountCommands(CommandTable& table) {
    table.commands["signUp"] = signUp;
    table.commands["login"] = login;
    table.commands["signOut"] = signOut;
    table.commands["connectSocial"] = connectSocial;
    table.commands["disconnectSocial"] = disconnectSocial;
    table.commands["savePhoto"] = savePhoto;
    table.commands["forgotPassword"] = forgotPassword;
    table.commands["changePassword"] = changePassword;
    table.commands["signUpBackComp"] = signUpBackComp;
    table.commands["setDeviceToken"] = setDeviceToken;
}

} // namespace velkora::service
