#include "Database.h"

#include <sqlite3.h>

#include <unordered_map>

namespace velkora::service {

// Idle prepared statements of one connection by their text, a few of each (a statement may be in use
// inside a loop over another of the same text), and not many texts: some are built with values in them.
class StatementCache {
public:
    static constexpr size_t kPerText = 4;
    static constexpr size_t kTotal = 512;

    ~StatementCache() { clear(); }
    sqlite3_stmt* take(const std::string& sql) {
        auto it = idle_.find(sql);
        if (it == idle_.end() || it->second.empty()) return nullptr;
        sqlite3_stmt* stmt = it->second.back();
        it->second.pop_back();
        --count_;
        return stmt;
    }
    // Takes the statement back, or finalises it when the cache is full.
    void give(const std::string& sql, sqlite3_stmt* stmt) {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        auto& list = idle_[sql];
        if (list.size() >= kPerText || count_ >= kTotal) {
            sqlite3_finalize(stmt);
            return;
        }
        list.push_back(stmt);
        ++count_;
    }
    void clear() {
        for (auto& [sql, list] : idle_)
            for (sqlite3_stmt* stmt : list)
                sqlite3_finalize(stmt);
        idle_.clear();
        count_ = 0;
    }

private:
    std::unordered_map<std::string, std::vector<sqlite3_stmt*>> idle_;
    size_t count_ = 0;
};

Statement::Statement(sqlite3* db, const std::string& sql, StatementCache* cache) : db_(db), cache_(cache) {
    if (cache_) {
        sql_ = sql;
        stmt_ = cache_->take(sql);
        if (stmt_) return;
    }
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        throw DatabaseError(std::string("prepare: ") + sqlite3_errmsg(db_) + " in " + sql);
    }
}

Statement::~Statement() {
    if (cache_ && stmt_)
        cache_->give(sql_, stmt_);
    else
        sqlite3_finalize(stmt_);
}

Statement& Statement::bind(int index, const SqlValue& value) {
    int rc = SQLITE_OK;
    if (std::holds_alternative<std::monostate>(value)) {
        rc = sqlite3_bind_null(stmt_, index);
    } else if (const auto* i = std::get_if<int64_t>(&value)) {
        rc = sqlite3_bind_int64(stmt_, index, *i);
    } else if (const auto* d = std::get_if<double>(&value)) {
        rc = sqlite3_bind_double(stmt_, index, *d);
    } else {
        const auto& s = std::get<std::string>(value);
        rc = sqlite3_bind_text64(stmt_, index, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    if (rc != SQLITE_OK) throw DatabaseError(std::string("bind: ") + sqlite3_errmsg(db_));
    return *this;
}

Statement& Statement::bindAll(const std::vector<SqlValue>& values) {
    for (size_t i = 0; i < values.size(); ++i)
        bind(static_cast<int>(i + 1), values[i]);
    return *this;
}

bool Statement::step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw DatabaseError(std::string("step: ") + sqlite3_errmsg(db_));
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}
int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}
double Statement::real(int column) const {
    return sqlite3_column_double(stmt_, column);
}

std::string Statement::text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    int n = sqlite3_column_bytes(stmt_, column);
    return p ? std::string(p, static_cast<size_t>(n)) : std::string();
}

int Statement::columnCount() const {
    return sqlite3_column_count(stmt_);
}

std::optional<int64_t> Statement::optInteger(int column) const {
    if (isNull(column)) return std::nullopt;
    return integer(column);
}

std::optional<double> Statement::optReal(int column) const {
    if (isNull(column)) return std::nullopt;
    return real(column);
}

Database::Database(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw DatabaseError("open " + path + ": " + message);
    }
    sqlite3_busy_timeout(db_, 5000);
    cache_ = std::make_unique<StatementCache>();
    exec("PRAGMA foreign_keys = ON");
    exec("PRAGMA journal_mode = WAL");
    exec("PRAGMA synchronous = NORMAL");
    // The default page cache (2 MB) is smaller than a busy inbox's messages, feed and users, so replies
    // that walk them fell back to the file on every page once the data outgrew it: each request then cost
    // more per row the more rows there were. Pages are taken only as they are read.
    exec("PRAGMA cache_size = -65536");
}

Database::~Database() {
    // Every statement must be finalised before the connection closes.
    cache_.reset();
    sqlite3_close(db_);
}

void Database::exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : "unknown";
        sqlite3_free(message);
        throw DatabaseError("exec: " + text);
    }
}

void Database::run(const std::string& sql, const std::vector<SqlValue>& values) {
    Statement s = prepare(sql);
    s.bindAll(values);
    while (s.step()) {
    }
}

std::optional<int64_t> Database::scalarInteger(const std::string& sql, const std::vector<SqlValue>& values) {
    Statement s = prepare(sql);
    s.bindAll(values);
    if (!s.step() || s.isNull(0)) return std::nullopt;
    return s.integer(0);
}

std::optional<std::string> Database::scalarText(const std::string& sql, const std::vector<SqlValue>& values) {
    Statement s = prepare(sql);
    s.bindAll(values);
    if (!s.step() || s.isNull(0)) return std::nullopt;
    return s.text(0);
}

int64_t Database::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}
int Database::changes() const {
    return sqlite3_changes(db_);
}
int64_t Database::totalChanges() const {
    return sqlite3_total_changes64(db_);
}

int64_t Database::nextSequence(const std::string& name) {
    run("INSERT INTO sequences(name, value) VALUES(?, 1) ON CONFLICT(name) DO UPDATE SET value = value + 1", {name});
    return *scalarInteger("SELECT value FROM sequences WHERE name = ?", {name});
}

// One schema for every command. Rows name users by (app_id, user_id) as the requests do; change
// numbers only ever grow, so the kit's cursors can ask for "everything after N".
void Database::createSchema() {
    exec(R"SQL(
CREATE TABLE IF NOT EXISTS sequences (name TEXT PRIMARY KEY, value INTEGER NOT NULL);

CREATE TABLE IF NOT EXISTS apps (
    app_id TEXT PRIMARY KEY,
    config TEXT NOT NULL DEFAULT '{}',         -- the "appData" object of getAppData, without changeNumber
    change_number INTEGER NOT NULL DEFAULT 1,
    unlock_all_quizzes_coins INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE IF NOT EXISTS users (
    app_id TEXT NOT NULL,
    user_id TEXT NOT NULL,
    first_name TEXT, last_name TEXT, photo_url TEXT, email TEXT,
    city TEXT, state TEXT, country TEXT, zipcode TEXT,
    custom_string1 TEXT, custom_string2 TEXT, custom_string3 TEXT,
    custom_float1 REAL, custom_float2 REAL, custom_float3 REAL,
    age INTEGER, gender TEXT, data TEXT,
    facebook_id INTEGER NOT NULL DEFAULT 0,
    twitter_id INTEGER NOT NULL DEFAULT 0,
    longitude REAL, latitude REAL,
    score INTEGER NOT NULL DEFAULT 0,
    coins INTEGER NOT NULL DEFAULT 0,
    password TEXT,                              -- a salted hash of the digest the kit sends
    signed_up INTEGER NOT NULL DEFAULT 0,
    is_test INTEGER NOT NULL DEFAULT 0,
    created REAL NOT NULL,
    PRIMARY KEY (app_id, user_id)
);
CREATE INDEX IF NOT EXISTS users_email ON users(app_id, email);

CREATE TABLE IF NOT EXISTS devices (
    device_id TEXT NOT NULL,
    app_id TEXT NOT NULL,
    user_id TEXT NOT NULL,
    push_token TEXT,
    last_seen REAL,
    PRIMARY KEY (app_id, device_id)
);

CREATE TABLE IF NOT EXISTS follows (
    app_id TEXT NOT NULL, user_id TEXT NOT NULL,
    other_app_id TEXT NOT NULL, other_user_id TEXT NOT NULL,
    created REAL NOT NULL,
    PRIMARY KEY (app_id, user_id, other_app_id, other_user_id)
);
CREATE INDEX IF NOT EXISTS follows_other ON follows(other_app_id, other_user_id);

CREATE TABLE IF NOT EXISTS relations (          -- "b" block, "r" report
    app_id TEXT NOT NULL, user_id TEXT NOT NULL,
    other_app_id TEXT NOT NULL, other_user_id TEXT NOT NULL,
    type TEXT NOT NULL, value INTEGER NOT NULL,
    PRIMARY KEY (app_id, user_id, other_app_id, other_user_id, type)
);

CREATE TABLE IF NOT EXISTS messages (
    change_number INTEGER PRIMARY KEY AUTOINCREMENT,
    app_id TEXT NOT NULL,
    sender_user_id TEXT NOT NULL,
    recipient_user_id TEXT NOT NULL,
    message TEXT, content_type TEXT NOT NULL DEFAULT 'text/plain',
    message_type INTEGER NOT NULL DEFAULT 0, rating INTEGER NOT NULL DEFAULT 0,
    is_system INTEGER NOT NULL DEFAULT 0, message_name TEXT, extra_data TEXT,
    was_read INTEGER NOT NULL DEFAULT 0,
    deleted_by_sender INTEGER NOT NULL DEFAULT 0, deleted_by_recipient INTEGER NOT NULL DEFAULT 0,
    time REAL NOT NULL
);
CREATE INDEX IF NOT EXISTS messages_recipient ON messages(app_id, recipient_user_id, change_number);
CREATE INDEX IF NOT EXISTS messages_sender ON messages(app_id, sender_user_id, change_number);
-- One conversation's messages in each direction, newest last, without reading the user's other chats.
CREATE INDEX IF NOT EXISTS messages_pair ON messages(app_id, sender_user_id, recipient_user_id, change_number);

CREATE TABLE IF NOT EXISTS feed (
    id INTEGER PRIMARY KEY AUTOINCREMENT,       -- also the item's place in the feed order
    app_id TEXT NOT NULL, user_id TEXT NOT NULL,
    message TEXT, content_type TEXT NOT NULL DEFAULT 'text/plain', url TEXT,
    message_type INTEGER NOT NULL DEFAULT 0,
    other_user_id TEXT, reply_to INTEGER NOT NULL DEFAULT 0, original_id INTEGER NOT NULL DEFAULT 0,
    desc_image_url TEXT, desc_text TEXT, desc_sub_text TEXT, action_verb TEXT, action_id TEXT,
    topic_id INTEGER NOT NULL DEFAULT 0, topic_title TEXT,
    time REAL NOT NULL, deleted INTEGER NOT NULL DEFAULT 0
);
-- Every user in a reply carries the count of their posts.
CREATE INDEX IF NOT EXISTS feed_user ON feed(app_id, user_id, deleted);
CREATE TABLE IF NOT EXISTS feed_resends (
    feed_id INTEGER NOT NULL, app_id TEXT NOT NULL, user_id TEXT NOT NULL, time REAL NOT NULL,
    PRIMARY KEY (feed_id, app_id, user_id)
);

-- A liked thing: a host object named by its text ("object"), a feed item, a topic or a comment.
-- Its change number moves at every like and unlike, so the poll brings the objects whose likes changed.
CREATE TABLE IF NOT EXISTS like_objects (
    id INTEGER PRIMARY KEY AUTOINCREMENT,        -- "objectId" of the replies
    app_id TEXT NOT NULL,
    type TEXT NOT NULL,                          -- NONE, IMAGE, VIDEO, POST, COMMENT, TOPIC, OTHER
    object TEXT NOT NULL,                        -- the host object's text, or the feed item, topic or comment id
    description TEXT,
    feed_id INTEGER, topic_id INTEGER, comment_id INTEGER,
    change_number INTEGER NOT NULL DEFAULT 0,    -- from the "likes" sequence
    time REAL NOT NULL,
    UNIQUE (app_id, type, object)
);
CREATE TABLE IF NOT EXISTS likes (
    object_id INTEGER NOT NULL REFERENCES like_objects(id),
    user_id TEXT NOT NULL,
    time REAL NOT NULL,
    PRIMARY KEY (object_id, user_id)
);

CREATE TABLE IF NOT EXISTS topics (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    app_id TEXT NOT NULL,
    title TEXT, text TEXT,
    content_type TEXT NOT NULL DEFAULT 'text/html', -- text/html, image, link, video
    photo_url TEXT,
    user_id TEXT,                                -- the poster; null for the owner's topics
    is_object INTEGER NOT NULL DEFAULT 0,        -- bound to an object of the host application
    object TEXT, object_type TEXT,
    position INTEGER NOT NULL DEFAULT 0,
    change_number INTEGER NOT NULL DEFAULT 0,    -- from the "topics" sequence, moved by every change
    time REAL NOT NULL, removed INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS topic_comments (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    topic_id INTEGER NOT NULL REFERENCES topics(id), app_id TEXT NOT NULL, user_id TEXT NOT NULL,
    text TEXT,                                   -- for image and sticker comments, the picture's address
    content_type TEXT NOT NULL DEFAULT 'text/plain', -- text/plain, image, sticker
    change_number INTEGER NOT NULL DEFAULT 0,    -- from the "topics" sequence
    time REAL NOT NULL, deleted INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS topic_comments_topic ON topic_comments(topic_id, id);


CREATE TABLE IF NOT EXISTS sticker_packs (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    app_id TEXT NOT NULL,
    data TEXT NOT NULL DEFAULT '{}',             -- title, subtitle, productId, icon as the replies give them
    position INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS stickers (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    pack_id INTEGER NOT NULL REFERENCES sticker_packs(id),
    data TEXT NOT NULL DEFAULT '{}',
    position INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS user_sticker_packs (
    app_id TEXT NOT NULL, user_id TEXT NOT NULL, pack_id INTEGER NOT NULL,
    receipt TEXT, time REAL NOT NULL,
    PRIMARY KEY (app_id, user_id, pack_id)
);

CREATE TABLE IF NOT EXISTS quizzes (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    app_id TEXT NOT NULL,
    data TEXT NOT NULL DEFAULT '{}',             -- name, description, coins, questions, reserves as replies give them
    position INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS user_quizzes (         -- quizzes a user unlocked with coins
    app_id TEXT NOT NULL, user_id TEXT NOT NULL, quiz_id INTEGER NOT NULL,
    PRIMARY KEY (app_id, user_id, quiz_id)
);
CREATE TABLE IF NOT EXISTS scores (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    app_id TEXT NOT NULL, user_id TEXT NOT NULL,
    score INTEGER NOT NULL, level INTEGER NOT NULL DEFAULT 0,
    time REAL NOT NULL
);
CREATE TABLE IF NOT EXISTS purchases (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    app_id TEXT NOT NULL, user_id TEXT NOT NULL,
    product_id TEXT, receipt TEXT, data TEXT, time REAL NOT NULL
);
CREATE TABLE IF NOT EXISTS quiz_suggestions (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    app_id TEXT NOT NULL, user_id TEXT NOT NULL, data TEXT NOT NULL, time REAL NOT NULL
);
CREATE TABLE IF NOT EXISTS suggestion_pins (       -- a user's suggestions as a cache kept them
    app_id TEXT NOT NULL, user_id TEXT NOT NULL, position INTEGER NOT NULL, other_user_id TEXT NOT NULL
);

CREATE TABLE IF NOT EXISTS app_deals (            -- promoted applications
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    app_id TEXT NOT NULL,
    data TEXT NOT NULL DEFAULT '{}',             -- name, icon, category, developer, url, price, isFree, rating
    position INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE IF NOT EXISTS events (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    app_id TEXT, user_id TEXT, device_id TEXT,
    type TEXT NOT NULL, message TEXT,
    time REAL NOT NULL
);

CREATE TABLE IF NOT EXISTS images (           -- pictures posted by the clients, served under /images/
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    app_id TEXT NOT NULL, user_id TEXT,
    bytes BLOB NOT NULL, time REAL NOT NULL
);

CREATE TABLE IF NOT EXISTS image_smalls (     -- a message picture's small copy, served at <id>_small.jpg
    image_id INTEGER PRIMARY KEY, small_id INTEGER NOT NULL
);

CREATE TABLE IF NOT EXISTS new_user_messages ( -- what each user the application creates receives
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    app_id TEXT NOT NULL, from_user_id TEXT NOT NULL,
    message TEXT, content_type TEXT NOT NULL DEFAULT 'text/plain', seconds_ago REAL NOT NULL DEFAULT 0
);

CREATE TABLE IF NOT EXISTS plist_dumps (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    app_id TEXT, user_id TEXT, data TEXT, time REAL NOT NULL
);

CREATE TABLE IF NOT EXISTS welcome_messages (  -- the owner's messages every new user of an app receives
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    app_id TEXT NOT NULL, title TEXT, content_type TEXT NOT NULL DEFAULT 'text/html',
    message TEXT, extra_data TEXT
);

CREATE TABLE IF NOT EXISTS welcome_follows (   -- seed users who follow (or are followed by) every new user
    app_id TEXT NOT NULL, user_id TEXT NOT NULL, follower INTEGER NOT NULL,
    PRIMARY KEY (app_id, user_id, follower)
);
)SQL");
}

} // namespace velkora::service
