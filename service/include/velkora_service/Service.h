// velkora-service in-process: an HTTPS server on loopback with its own CA, a SQLite database and a
// request log, which tests start on an ephemeral port and may tell to fail.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velkora::service {

struct RecordedRequest {
    std::string method, path, query, body, command;
    double time = 0; // seconds since 1970, wall clock
};

struct Fault {
    std::string command; // "*" = any
    // Drop closes the connection before the command runs; RunThenDrop runs it, keeps its effect and
    // closes the connection instead of answering, as a reply lost on the way back does. Answer sends the
    // value (a JSON text) as the reply without running the command, as a service that changed would.
    enum class Kind {
        ErrorCode,
        ErrorNull,
        Warning,
        NotJson,
        HttpStatus,
        Drop,
        Delay,
        RunThenDrop,
        Answer
    } kind = Kind::ErrorCode;
    std::string value; // error code / warning text / body
    int status = 500;
    double delaySeconds = 0;
    int times = 1; // -1 = forever
};

struct ServiceOptions {
    std::string dataDir; // empty: a fresh temporary folder, removed on stop
    uint16_t port = 0;   // 0 = ephemeral
    bool seedDemo = true;
    // Every user the commands create receives the seed's welcome (the owner's system messages and the
    // follows of "newUserFollows") and the messages of "newUserMessages", as the program gives it; tests
    // that count a new user's chats and follows leave it off.
    bool welcomeNewUsers = false;
    std::string host = "127.0.0.1";
    size_t maxBodyBytes = 8 * 1024 * 1024; // larger bodies get {"error": "REQUEST_TOO_LARGE"}
    int twitterPageSize = 5000;            // ids per friends/ids page of the Twitter stand-in
    // The request log keeps the newest requests only, so a service that runs for days stays small.
    size_t requestLogEntries = 20000;
    size_t requestLogBytes = 64 * 1024 * 1024; // of queries and bodies together
    // Slow and bloated clients: a request's head must be whole within its deadline (from its first byte)
    // and its bytes, and a form's body within its own deadline, or the connection is closed; a request
    // with more header lines than this is answered HTTP 431. The workers serve this many connections at
    // once, so clients that trickle leave room for the others.
    double requestHeadSeconds = 10;
    double requestBodySeconds = 120;
    size_t requestHeadBytes = 64 * 1024;
    size_t maxHeaderLines = 100;
    size_t workerThreads = 64;
};

// What the service answers to one request.
struct LocalReply {
    int status = 200;
    std::string body;
    std::string contentType;
    bool dropped = false; // the connection would be closed without a reply
    std::vector<std::pair<std::string, std::string>> headers;
};

// The key of the kit's account at the ad network: the stand-in network serves banners only for it.
inline constexpr const char* kAdNetworkSdkKey =
    "1JtEEpRjAtsgZxITiO8QTSkCIXKdGJ2Pep9DgvyE5ayKyuBrAuKz7cwYyMoZm7hEr2wgqj4CbzEBADmlbiVjFr";

// How the stand-in store answers a purchase of a product: it approves with a signed receipt, declines,
// or approves with a receipt it did not sign.
enum class StoreOutcome { Approve, Decline, UnsignedReceipt };

// A user as tests create it directly in the database.
struct UserFields {
    std::string firstName, lastName, email, photoUrl, city, state, country, gender;
    std::optional<int> age;
    int score = 0, coins = 0;
    double longitude = 0, latitude = 0;
    bool located = false;
    // An account's identities: a user holding any of them, or a password, is signed up.
    std::optional<int64_t> facebookId, twitterId;
    std::string password;
    bool signedUp = false;
    std::string customString1; // the bio
    bool isTest = false;
};

class Service {
public:
    // The demo application that the seed data creates, with every feature enabled.
    static constexpr const char* kDemoAppId = "velkora-demo";

    explicit Service(ServiceOptions options = {});
    ~Service(); // stops
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    bool start(); // serves on a background thread; returns when listening
    void stop();
    bool running() const;

    uint16_t port() const;
    std::string caFile() const;
    std::string dataDir() const;
    std::string baseUrl() const;  // https://127.0.0.1:PORT
    std::string endpoint() const; // baseUrl() + "/VelkoraServer2/api"

    // Moves the service's own clock (its "serverTime" and the times it stamps) by this many seconds.
    void setClockOffset(double seconds);

    // Serves the bytes at baseUrl() + "/pictures/" + path with that content type; returns the address.
    // Picture requests are logged as the command "/pictures/<path>".
    std::string addPicture(const std::string& path, const std::string& bytes, const std::string& contentType);

    std::vector<RecordedRequest> requests() const;
    void clearRequests();
    std::vector<RecordedRequest> requestsFor(const std::string& command) const;

    void addFault(Fault f);
    void clearFaults();
    // Ends every Delay fault: the requests they hold are answered now, and those not yet come are not
    // held. A test holds a reply back for as long as the other replies take (a loaded machine makes any
    // fixed delay too short), then lets it go.
    void releaseDelays();

    // Answers one request exactly as the network handler does (log, faults, tag check, commands), without
    // the network: `target` is the path with its query ("/VelkoraServer2/api?command=..."), and the tag is
    // checked against endpoint(). For fuzzing the whole request path. The service must be started.
    LocalReply answer(const std::string& method, const std::string& target, const std::string& body = {});

    // Direct database helpers for tests. They take the same lock as the request handlers.
    std::string createUser(const std::string& appId, const UserFields& fields = {});
    // Many users in one transaction, their ids in the order given.
    std::vector<std::string> createUsers(const std::string& appId, const std::vector<UserFields>& users);
    // A Twitter user of the Twitter stand-in (a device account when it has a token), and friends of a
    // Twitter user: `count` new users with consecutive ids from `firstId`, in that order.
    void addTwitterUser(int64_t id, const std::string& screenName, const std::string& name,
                        const std::string& token = {}, const std::string& secret = {});
    void addTwitterFriends(const std::string& screenName, int count, int64_t firstId);
    // The ids per friends/ids page of the Twitter stand-in from now on.
    void setTwitterPageSize(int ids);
    // A Facebook user of the graph stand-in with `count` new friends of consecutive ids from `firstId`
    // (named "Friend <id>"), after any it has.
    void addFacebookFriends(int64_t userId, int count, int64_t firstId);
    bool userExists(const std::string& appId, const std::string& userId) const;
    // A private message from one user to another, as sendMessage stores it; returns its change number.
    int64_t sendMessage(const std::string& appId, const std::string& fromUserId, const std::string& toUserId,
                        const std::string& text, const std::string& contentType = "text/plain");
    // A system message of the application's owner ("_OWNER") to a user, as the service's announcements
    // arrive: its title, content type ("text/plain", "text/link", "text/html"), text and extra data (the
    // page's address of a link, the document of an HTML message). Returns its change number.
    int64_t sendSystemMessage(const std::string& appId, const std::string& toUserId, const std::string& title,
                              const std::string& contentType, const std::string& text, const std::string& extraData);
    void follow(const std::string& appId, const std::string& userId, const std::string& otherUserId);
    // Moves a user to a place (degrees), as the update poll of their device would.
    void setUserLocation(const std::string& appId, const std::string& userId, double longitude, double latitude);
    bool isFollowing(const std::string& appId, const std::string& userId, const std::string& otherUserId) const;
    // getSuggestions answers this list for the user from now on, in this order, whatever the user follows
    // since (as a cache of suggestions would); an empty list unpins it.
    void pinSuggestions(const std::string& appId, const std::string& userId, const std::vector<std::string>& others);
    // The value of a user's relation of a type ("b" block, "r" report) to another; nullopt when none was set.
    std::optional<bool> relation(const std::string& appId, const std::string& userId, const std::string& otherUserId,
                                 const std::string& type) const;
    // Replaces the application's configuration (the "appData" object) and raises its change number.
    void setAppConfiguration(const std::string& appId, const std::string& json);
    // A feed item posted by a user (an ordinary post); returns its id.
    int64_t postFeed(const std::string& appId, const std::string& userId, const std::string& text);
    // A chat-room topic of the owner (with a photo's address when given), and a comment on it by a user
    // ("image" comments hold their picture's address); each returns its id.
    // The kind is the topic's content type ("text/html", "link", "image", "video"); a comment is stamped
    // `secondsAgo` before the service's clock.
    int64_t addTopic(const std::string& appId, const std::string& title, const std::string& text = {},
                     const std::string& photoUrl = {}, const std::string& kind = "text/html");
    int64_t addTopicComment(const std::string& appId, int64_t topicId, const std::string& userId,
                            const std::string& text, const std::string& contentType = "text/plain",
                            double secondsAgo = 0);
    // The ids of a topic's comments that are not deleted, oldest first.
    std::vector<int64_t> topicCommentIds(const std::string& appId, int64_t topicId) const;
    // Deletes a comment as its writer's deleteComment does.
    void deleteTopicComment(const std::string& appId, int64_t topicId, int64_t commentId);
    // The owner takes a topic down: the next poll of the list brings its removal.
    void removeTopic(const std::string& appId, int64_t topicId);
    // A feed item with every field the feed cells show, stamped `secondsAgo` before the service's clock.
    // Message types: 0 a posted activity, 1 followed `otherUserId`, 2 joined, 3 commented on `topicId`.
    struct FeedItemFields {
        int messageType = 0;
        std::string otherUserId;
        int64_t topicId = 0;
        std::string message, actionVerb, actionId, descText, descImageUrl, descSubText;
        double secondsAgo = 0;
    };
    int64_t addFeedItem(const std::string& appId, const std::string& userId, const FeedItemFields& fields);
    // A user's like of a host object (type "NONE", "IMAGE", "VIDEO" or "OTHER"), a topic or a comment, as the
    // like command stores it, stamped `secondsAgo` before the service's clock; returns the like object's id.
    int64_t likeObject(const std::string& appId, const std::string& userId, const std::string& type,
                       const std::string& object, const std::string& description = {}, double secondsAgo = 0);
    int64_t likeTopic(const std::string& appId, const std::string& userId, int64_t topicId, double secondsAgo = 0);
    int64_t likeTopicComment(const std::string& appId, const std::string& userId, int64_t topicId, int64_t commentId,
                             double secondsAgo = 0);
    // How many users like a thing ("type", "object" as the like objects keep them).
    int likesOf(const std::string& appId, const std::string& type, const std::string& object) const;
    // A promoted application of the app (its fields as JSON, as getApps and the exchange read them).
    int64_t addAppDeal(const std::string& appId, const std::string& json);
    // A page served at baseUrl() + "/pages/" + name; with `redirectTo` (another page's name, or a whole
    // address) the address answers 301 to that page instead.
    void addWebPage(const std::string& name, const std::string& title, const std::string& body,
                    const std::string& redirectTo = {});
    // A user likes a feed item.
    void likeFeed(const std::string& appId, const std::string& userId, int64_t feedId);
    int appChangeNumber(const std::string& appId) const;
    // One column of a user as text ("first_name", "score", ...); empty when the user is unknown.
    std::string userColumn(const std::string& appId, const std::string& userId, const std::string& column) const;
    // The rows of a table whose column holds the value ("scores", "user_id", id): how many copies of a thing
    // the service keeps. -1 for a table or column that does not exist.
    int64_t rowCount(const std::string& table, const std::string& column, const std::string& value) const;
    // The events reported with reportEvent and the logs carried by update: "type|message" lines.
    std::vector<std::string> events(const std::string& appId) const;
    // Tests' read-only look into the outside stand-ins' tables (tweets, graph posts): each row's columns
    // as text, null as empty.
    std::vector<std::vector<std::string>> selectRows(const std::string& sql,
                                                     const std::vector<std::string>& params = {}) const;

    // Sticker packs: the packs a user holds, in the order added; every purchase the service recorded
    // (its user, product and the store's transaction); a pack added to an application's store (its fields
    // as JSON, as the seed gives them: "title", "subtitle", "productId", "icon", "stickers"), its id.
    std::vector<int64_t> userStickerPackIds(const std::string& appId, const std::string& userId) const;
    struct PurchaseRow {
        std::string userId, productId, transactionId;
    };
    std::vector<PurchaseRow> purchases(const std::string& appId) const;
    int64_t addStickerPack(const std::string& appId, const std::string& json);
    // The private messages a user received, oldest first.
    struct ReceivedMessage {
        std::string sender, text;
        int type = 0, rating = 0;
    };
    std::vector<ReceivedMessage> messagesTo(const std::string& appId, const std::string& userId) const;

    // The stand-in store: a purchase recorded as a device would have made it (finished), answering its
    // receipt (the receipt's JSON text, not yet Base64), and how the store answers purchases of a product
    // (false for a product it does not sell).
    std::string signStoreReceipt(const std::string& productId, const std::string& transactionId,
                                 const std::string& account = "tests@store.example");
    bool setStoreOutcome(const std::string& productId, StoreOutcome outcome);

    // A private message stored at a chosen instant (seconds since 1970, the service's clock); its change
    // number. Changes made later still get higher numbers, as they do on the service.
    int64_t sendMessageAt(const std::string& appId, const std::string& fromUserId, const std::string& toUserId,
                          const std::string& text, double time, const std::string& contentType = "text/plain");
    // A message deleted for one side of its conversation only, as that user's deleting it does.
    void deleteMessageFor(const std::string& appId, const std::string& userId, int64_t changeNumber);

    // Quiz coins: a user's balance set behind the kit's back, and the purchases one user made, in order.
    void setUserCoins(const std::string& appId, const std::string& userId, int64_t coins);
    std::vector<PurchaseRow> purchases(const std::string& appId, const std::string& userId) const;

    // A quiz added after the application's others (its fields as JSON, as the seed gives them: "name",
    // "locked", "coins", "questions", "reserves"; an answer's "picks" seeds how often it was chosen); its id.
    int64_t addQuiz(const std::string& appId, const std::string& json);

    // The question suggestions suggestQuizQuestion stored, oldest first.
    struct QuizSuggestion {
        std::string userId;
        int64_t quizId = 0;
        std::string question, correct, wrong1, wrong2, wrong3;
    };
    std::vector<QuizSuggestion> quizSuggestions(const std::string& appId) const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace velkora::service
