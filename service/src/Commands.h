// The command table of the service: one row per "command=" name, each a function that reads the
// request's parameters, works on the database and returns the JSON reply. Each group of commands
// lives in a file of its own and adds its rows through one register function listed in
// CommandTable.cpp.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Database.h"
#include "velkora_service/QueryText.h"

namespace velkora::service {

using Json = nlohmann::json;

// Thrown by a handler to answer {"error": code}.
struct CommandError : std::runtime_error {
    explicit CommandError(const std::string& code) : std::runtime_error(code) {}
};

// Error codes of the service's replies.
namespace errors {
inline constexpr const char* kBadRequest = "BAD_REQUEST"; // a parameter missing or malformed
inline constexpr const char* kBadCrc = "BAD_CRC";         // the tag does not match the request
inline constexpr const char* kAppNotFound = "APP_NOT_FOUND";
inline constexpr const char* kUserNotFound = "USER_NOT_FOUND";
inline constexpr const char* kTooLarge = "REQUEST_TOO_LARGE";
inline constexpr const char* kInternal = "INTERNAL_ERROR";
} // namespace errors

struct CommandTable;

// Password hashing is slow on purpose, so it runs before a command takes the database's lock; the
// command finds the results here, and works them out itself (under the lock) only when they do not fit.
struct PasswordWork {
    std::string given;                 // the request's "password", as hashed or checked below
    std::optional<std::string> hashed; // a fresh hash of `given`
    std::string checkedAgainst;        // the stored hash `given` was checked against
    bool matched = false;
};

class CommandContext {
public:
    CommandContext(const CommandTable& table, Database& db, const QueryText& params, double now,
                   std::string publicBaseUrl, const PasswordWork* passwords = nullptr)
        : table_(table), db_(db), params_(params), now_(now), baseUrl_(std::move(publicBaseUrl)),
          passwords_(passwords) {}

    const CommandTable& table() const { return table_; }
    Database& db() { return db_; }
    const QueryText& params() const { return params_; }
    double now() const { return now_; }
    // https://HOST:PORT as the client reached us, for addresses the replies hand out (images).
    const std::string& baseUrl() const { return baseUrl_; }

    // A parameter that must be present (BAD_REQUEST otherwise); may be empty.
    std::string text(const char* key) const;
    // A parameter that must be present and not empty.
    std::string nonEmpty(const char* key) const;
    std::optional<std::string> optText(const char* key) const;
    // Numbers: absent gives the fallback / nothing; present but malformed is BAD_REQUEST.
    int64_t integer(const char* key) const;
    std::optional<int64_t> optInteger(const char* key) const;
    int64_t integer(const char* key, int64_t fallback) const;
    std::optional<double> optDecimal(const char* key) const;
    bool flag(const char* key, bool fallback = false) const;

    // The application of "appId" (APP_NOT_FOUND when unknown) and the user of "userId" in it
    // (USER_NOT_FOUND when unknown).
    std::string requireApp(const char* key = "appId");
    std::string requireUser(const std::string& appId, const char* key = "userId");
    // The user of "userId" for a request that names its device ("deviceId"): a user with an account must
    // be the one signed in on that device, and a device signed in to an account acts for no other user.
    // USER_NOT_FOUND otherwise, as for a user who does not exist.
    std::string requireDeviceUser(const std::string& appId);
    // A user the command just created: its row, and the application's welcome when the service gives one.
    void insertNewUser(const std::string& appId, const std::string& userId);

    // A salted hash of a password digest, and whether a digest is the one a stored hash was made from.
    std::optional<std::string> hashedPassword(const std::string& digest) const;
    bool passwordMatches(const std::string& stored, const std::string& digest) const;

private:
    const CommandTable& table_;
    Database& db_;
    const QueryText& params_;
    double now_;
    std::string baseUrl_;
    const PasswordWork* passwords_;
};

using CommandHandler = std::function<Json(CommandContext&)>;
// Adds its keys to the reply of an update poll (the feed, likes and topics parts), for the app and
// user of the poll; runs inside the poll's transaction.
using UpdatePart =
    std::function<void(CommandContext&, const std::string& appId, const std::string& userId, Json& reply)>;

struct CommandTable {
    std::map<std::string, CommandHandler, std::less<>> commands;
    std::vector<UpdatePart> updateParts;
    // Users the commands create receive their application's seeded welcome; with this on, also its
    // seeded "newUserMessages".
    bool welcomeNewUsers = false;
};

// The rows, one function per file of commands.
void registerCoreCommands(CommandTable& table);     // createUser, update, reportEvent, getAppData, dumpAppPlist
void registerUserCommands(CommandTable& table);     // getUserData, getOtherUserData, setUserData
void registerAccountCommands(CommandTable& table);  // signUp, login, connectSocial, savePhoto, ...
void registerRelationCommands(CommandTable& table); // query, nearby users, follows, suggestions, relations
void registerMessageCommands(CommandTable& table);  // sendMessage, sendImageMessage, markMessages, chats
void registerChatRoomCommands(CommandTable& table); // getTopics, getTopic, addComment, addImageComment, ...
void registerLikeCommands(CommandTable& table);     // like, unlike, getLikes
void registerFeedCommands(CommandTable& table);     // sendFeed2, getFeed2, resendFeed2, ...
void registerStickerCommands(CommandTable& table);  // the sticker store
void registerQuizCommands(CommandTable& table);     // quizzes, coins and scores
void registerAppDealCommands(CommandTable& table);  // getApps
// The ad exchange's "/1.1/getads": promoted applications for a publisher's application.
Json exchangeAds(CommandContext& ctx);
CommandTable buildCommandTable();
// The hashing a request's password needs, done before the command runs and outside `lock`, the
// database's lock, which it takes only to read the stored hash a log-in checks against.
PasswordWork preparePasswordWork(const std::string& command, const QueryText& params, Database& db, std::mutex& lock);

// Shared readers and writers of rows, used by several command files.
namespace rows {
std::string formatServerTime(double secondsSince1970); // "yyyy-MM-dd HH:mm:ss", local time
bool appExists(Database& db, const std::string& appId);
bool userExists(Database& db, const std::string& appId, const std::string& userId);
std::string newUserId(Database& db, const std::string& appId);
void insertUser(Database& db, const std::string& appId, const std::string& userId, double now);
// The application's seeded welcome for a user it just created: the owner's messages and the follows.
void welcomeUser(Database& db, const std::string& appId, const std::string& userId, double now);
// The user object of the replies. `viewerUserId` (may be empty) decides "isFavorite", "isBlocked"
// and "isReported", which describe the viewer's relation to this user.
Json userJson(Database& db, const std::string& appId, const std::string& userId, const std::string& viewerUserId = {});
int followerCount(Database& db, const std::string& appId, const std::string& userId);
// An SQL condition: the user in `appColumn`/`userColumn` is not one the viewer (bound at `viewerParam`, as
// "?7") blocked. Lists and feeds shown to a viewer leave such users out.
std::string notBlockedBy(const std::string& viewerParam, const std::string& appColumn, const std::string& userColumn);
int followingCount(Database& db, const std::string& appId, const std::string& userId);
Json messageJson(Database& db, Statement& row); // a row of "SELECT * FROM messages"
// A feed item by id, as the feed replies and the poll carry it; null when there is none.
Json feedItemJson(Database& db, const std::string& appId, int64_t feedId, const std::string& viewerUserId);
// A chat-room topic with the comments whose change number is above `commentsAfter` (all: -1), at most
// `maxComments` of the newest, listed oldest first.
Json topicJson(Database& db, const std::string& appId, int64_t topicId, const std::string& viewerUserId,
               int64_t commentsAfter, int maxComments);
Json commentJson(Database& db, const std::string& appId, int64_t commentId, const std::string& viewerUserId);
Json likeObjectJson(Database& db, const std::string& appId, int64_t objectId, const std::string& viewerUserId);
// The like object of a thing (created on first use) and the count of its likes.
int64_t likeObjectId(Database& db, const std::string& appId, const std::string& type, const std::string& object,
                     double now);
int likeCount(Database& db, const std::string& appId, const std::string& type, const std::string& object);
// A user's like of a feed item (kept once per user); moves the like object's change number.
void likeFeedItem(Database& db, const std::string& appId, const std::string& userId, int64_t feedId, double now);
// Moves a topic's change number (a comment, a like, an edit), so the poll brings it again.
void touchTopic(Database& db, int64_t topicId);

// Pictures and store receipts the clients post as Base64 form values; either alphabet, padding optional,
// and a blank read as the "+" a form decoder turned it into. Nothing for an empty or malformed text.
std::optional<std::string> decodeBase64(std::string_view text);
// Keeps the picture and returns the address it is served at.
std::string storeImage(CommandContext& ctx, const std::string& appId, const std::string& userId,
                       const std::string& bytes);
std::optional<std::string> storedImage(Database& db, int64_t id);
// The width and height of bytes that decode as a whole JPEG picture; nothing for anything else.
std::optional<std::pair<int, int>> jpegSize(const std::string& bytes);
// The small copy kept beside a stored picture, served at "<id>_small.jpg".
void storeSmallImage(Database& db, int64_t imageId, const std::string& bytes);
std::optional<std::string> storedSmallImage(Database& db, int64_t imageId);
inline constexpr const char* kImagePath = "/VelkoraServer2/images/";
} // namespace rows

} // namespace velkora::service
