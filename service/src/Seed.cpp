#include "Seed.h"

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "Pictures.h"
#include "PasswordHash.h"

namespace velkora::service {

namespace {

SqlValue optional(const Json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) return std::monostate{};
    if (it->is_string()) return it->get<std::string>();
    if (it->is_number_integer() || it->is_boolean()) return it->get<int64_t>();
    if (it->is_number()) return it->get<double>();
    return it->dump();
}

// Seeds name the digest a user would send; it is kept as every password is, hashed.
SqlValue seededPassword(const Json& user) {
    SqlValue digest = optional(user, "password");
    if (!std::holds_alternative<std::string>(digest) || std::get<std::string>(digest).empty()) return digest;
    std::optional<std::string> hashed = hashPassword(std::get<std::string>(digest));
    if (!hashed) throw DatabaseError("cannot hash a seeded password");
    return *hashed;
}

void seedUser(Database& db, const std::string& appId, const Json& u, double now) {
    db.run("INSERT OR REPLACE INTO users(app_id, user_id, first_name, last_name, photo_url, email, city, state, "
           "country, zipcode, age, gender, longitude, latitude, score, coins, is_test, signed_up, password, created, "
           "custom_string1) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
           {appId,
            u.at("userId").get<std::string>(),
            optional(u, "firstName"),
            optional(u, "lastName"),
            optional(u, "photoUrl"),
            optional(u, "email"),
            optional(u, "city"),
            optional(u, "state"),
            optional(u, "country"),
            optional(u, "zipcode"),
            optional(u, "age"),
            optional(u, "gender"),
            optional(u, "longitude"),
            optional(u, "latitude"),
            u.value("score", int64_t(0)),
            u.value("coins", int64_t(0)),
            int64_t(u.value("userId", std::string()).rfind("test", 0) == 0),
            int64_t(u.contains("email") ? 1 : 0),
            seededPassword(u),
            now,
            optional(u, "customString1")});
}

// Rows whose shape belongs to the commands that read them: kept whole as JSON in "data".
void seedDataRows(Database& db, const char* table, const std::string& appId, const Json& list) {
    int64_t position = 0;
    for (const Json& item : list) {
        db.run(std::string("INSERT INTO ") + table + "(app_id, data, position) VALUES(?, ?, ?)",
               {appId, item.dump(), position++});
    }
}

// One user's like of a thing, kept as the like command keeps it.
void seedLike(Database& db, const std::string& appId, const Json& like, const std::string& type,
              const std::string& object, std::optional<int64_t> topicId, std::optional<int64_t> commentId,
              double time) {
    auto id = [](const std::optional<int64_t>& v) { return v ? SqlValue(*v) : SqlValue(std::monostate{}); };
    int64_t objectId = rows::likeObjectId(db, appId, type, object, time);
    db.run("UPDATE like_objects SET topic_id = ?, comment_id = ?, description = ?, change_number = ? WHERE id = ?",
           {id(topicId), id(commentId), optional(like, "desc"), db.nextSequence("likes"), objectId});
    db.run("INSERT OR IGNORE INTO likes(object_id, user_id, time) VALUES(?, ?, ?)",
           {objectId, like.at("userId").get<std::string>(), time});
}

} // namespace

void insertApp(Database& db, const std::string& appId, const std::string& configJson, double now) {
    db.run("INSERT INTO apps(app_id, config, change_number) VALUES(?, ?, 1)", {appId, configJson});
    db.run("INSERT OR IGNORE INTO users(app_id, user_id, first_name, created) VALUES(?, '_OWNER', 'Team', ?)",
           {appId, now});
}

bool seedDatabase(Database& db, const std::string& path, double now, std::string& error) {
    if (db.scalarInteger("SELECT 1 FROM apps LIMIT 1")) return true;
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the seed file " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    Json seed = Json::parse(text.str(), nullptr, false);
    if (!seed.is_object() || !seed.contains("apps") || !seed["apps"].is_array()) {
        error = "malformed seed file " + path;
        return false;
    }
    try {
        Transaction tx(db);
        for (const Json& app : seed["apps"]) {
            // Seeded rows may say how long ago they happened, so the feed shows them at their own times.
            auto ago = [now](const Json& row) { return now - row.value("secondsAgo", 0.0); };
            std::string appId = app.at("appId").get<std::string>();
            insertApp(db, appId, app.value("config", Json::object()).dump(), now);
            db.run("UPDATE apps SET unlock_all_quizzes_coins = ? WHERE app_id = ?",
                   {app.value("unlockAllQuizzesCoins", int64_t(0)), appId});
            for (const Json& u : app.value("users", Json::array()))
                seedUser(db, appId, u, now);
            for (const Json& f : app.value("follows", Json::array()))
                db.run("INSERT OR IGNORE INTO follows(app_id, user_id, other_app_id, other_user_id, created) "
                       "VALUES(?, ?, ?, ?, ?)",
                       {appId, f.at(0).get<std::string>(), appId, f.at(1).get<std::string>(), now});
            int64_t position = 0;
            std::vector<int64_t> topicIds;
            std::vector<std::vector<int64_t>> commentIds;
            for (const Json& t : app.value("topics", Json::array())) {
                db.run("INSERT INTO topics(app_id, title, text, content_type, photo_url, user_id, position, time) "
                       "VALUES(?, ?, ?, ?, ?, ?, ?, ?)",
                       {appId, optional(t, "title"), optional(t, "text"), t.value("contentType", "text/html"),
                        optional(t, "photoUrl"), optional(t, "userId"), position++, now});
                int64_t topicId = db.lastInsertId();
                topicIds.push_back(topicId);
                commentIds.emplace_back();
                for (const Json& c : t.value("comments", Json::array())) {
                    db.run("INSERT INTO topic_comments(topic_id, app_id, user_id, text, content_type, change_number, "
                           "time) VALUES(?, ?, ?, ?, ?, ?, ?)",
                           {topicId, appId, c.at("userId").get<std::string>(), optional(c, "text"),
                            c.value("contentType", "text/plain"), db.nextSequence("topics"), ago(c)});
                    commentIds.back().push_back(db.lastInsertId());
                }
                rows::touchTopic(db, topicId);
            }
            std::vector<int64_t> feedIds;
            for (const Json& f : app.value("feed", Json::array())) {
                // A comment feed item names its topic by the seed's index.
                SqlValue topicId = int64_t(0), topicTitle = std::monostate{};
                if (f.contains("topicIndex")) {
                    topicId = topicIds.at(f["topicIndex"].get<size_t>());
                    topicTitle = optional(app["topics"].at(f["topicIndex"].get<size_t>()), "title");
                }
                db.run("INSERT INTO feed(app_id, user_id, message, content_type, url, message_type, other_user_id, "
                       "action_verb, action_id, desc_text, desc_image_url, desc_sub_text, topic_id, topic_title, "
                       "time) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                       {appId, f.at("userId").get<std::string>(), optional(f, "message"),
                        f.value("contentType", "text/plain"), optional(f, "url"), f.value("messageType", int64_t(0)),
                        optional(f, "otherUserId"), optional(f, "actionVerb"), optional(f, "actionId"),
                        optional(f, "descText"), optional(f, "descImageUrl"), optional(f, "descSubText"), topicId,
                        topicTitle, ago(f)});
                feedIds.push_back(db.lastInsertId());
            }
            for (const Json& m : app.value("messages", Json::array()))
                db.run("INSERT INTO messages(app_id, sender_user_id, recipient_user_id, message, time) "
                       "VALUES(?, ?, ?, ?, ?)",
                       {appId, m.at("from").get<std::string>(), m.at("to").get<std::string>(), optional(m, "message"),
                        now});
            for (const Json& l : app.value("likes", Json::array())) {
                rows::likeFeedItem(db, appId, l.at("userId").get<std::string>(),
                                   feedIds.at(l.at("feedIndex").get<size_t>()), ago(l));
            }
            // Likes of the host's objects, and of topics and their comments (by the seed's indexes).
            for (const Json& l : app.value("objectLikes", Json::array()))
                seedLike(db, appId, l, l.at("type").get<std::string>(), l.at("object").get<std::string>(),
                         std::nullopt, std::nullopt, ago(l));
            for (const Json& l : app.value("topicLikes", Json::array())) {
                const size_t topic = l.at("topicIndex").get<size_t>();
                if (l.contains("commentIndex")) {
                    int64_t comment = commentIds.at(topic).at(l["commentIndex"].get<size_t>());
                    seedLike(db, appId, l, "COMMENT", std::to_string(comment), topicIds.at(topic), comment, ago(l));
                } else {
                    seedLike(db, appId, l, "TOPIC", std::to_string(topicIds.at(topic)), topicIds.at(topic),
                             std::nullopt, ago(l));
                }
            }
            // What every user the application creates from now on receives.
            for (const Json& m : app.value("systemMessages", Json::array()))
                db.run("INSERT INTO welcome_messages(app_id, title, content_type, message, extra_data) "
                       "VALUES(?, ?, ?, ?, ?)",
                       {appId, optional(m, "title"), m.value("contentType", "text/html"), optional(m, "message"),
                        optional(m, "extraData")});
            const Json welcomeFollows = app.value("newUserFollows", Json::object());
            for (const char* side : {"followers", "following"})
                for (const Json& id : welcomeFollows.value(side, Json::array()))
                    db.run("INSERT OR IGNORE INTO welcome_follows(app_id, user_id, follower) VALUES(?, ?, ?)",
                           {appId, id.get<std::string>(), int64_t(std::string(side) == "followers" ? 1 : 0)});
            seedDataRows(db, "quizzes", appId, app.value("quizzes", Json::array()));
            seedDataRows(db, "app_deals", appId, app.value("appDeals", Json::array()));
            position = 0;
            for (const Json& pack : app.value("stickerPacks", Json::array())) {
                Json data = pack;
                data.erase("stickers");
                db.run("INSERT INTO sticker_packs(app_id, data, position) VALUES(?, ?, ?)",
                       {appId, data.dump(), position++});
                int64_t packId = db.lastInsertId();
                int64_t stickerPosition = 0;
                for (const Json& sticker : pack.value("stickers", Json::array()))
                    db.run("INSERT INTO stickers(pack_id, data, position) VALUES(?, ?, ?)",
                           {packId, sticker.dump(), stickerPosition++});
            }
            // Messages from seed users that every user the application creates finds in its inbox.
            for (const Json& m : app.value("newUserMessages", Json::array()))
                db.run("INSERT INTO new_user_messages(app_id, from_user_id, message, content_type, seconds_ago) "
                       "VALUES(?, ?, ?, ?, ?)",
                       {appId, m.at("from").get<std::string>(), optional(m, "message"),
                        m.value("contentType", "text/plain"), m.value("secondsAgo", 0.0)});
        }
        seedPictures(db, seed);
        tx.commit();
    } catch (const std::exception& e) {
        error = std::string("seed file ") + path + ": " + e.what();
        return false;
    }
    return true;
}

} // namespace velkora::service
