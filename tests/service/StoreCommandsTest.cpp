// The service's sticker store, quizzes and coins, scores and promoted applications, over loopback HTTPS.
#include <ctime>

#include "ServiceFixture.h"
#include "velkora_service/StoreReceipt.h"

namespace velkora::service::testing {

namespace {

constexpr const char* kPaidProduct = "com.velkora.demo.stickers.spacecats";

std::string base64(const std::string& bytes, bool urlSafe = true) {
    static const char* standard = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t n = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
        for (int k = 18; k >= 0; k -= 6)
            out += standard[(n >> k) & 63];
    }
    if (size_t rest = bytes.size() - i) {
        uint32_t n = uint8_t(bytes[i]) << 16;
        if (rest == 2) n |= uint8_t(bytes[i + 1]) << 8;
        out += standard[(n >> 18) & 63];
        out += standard[(n >> 12) & 63];
        out += rest == 2 ? standard[(n >> 6) & 63] : '=';
        out += '=';
    }
    if (urlSafe)
        for (char& c : out)
            c = c == '+' ? '-' : c == '/' ? '_' : c;
    return out;
}

class StoreServiceTest : public ServiceTest {
protected:
    std::string ids(const std::string& command, const std::string& userId) {
        return "command=" + command + "&appId=" + app() + "&userId=" + userId;
    }
    Json paidPack(const std::string& userId, const std::string& tail) {
        return post(ids("addPaidStickerPack", userId) + "&clientType=1&build=2.5.7&packId=2" + tail);
    }
    std::vector<int64_t> packsOf(const std::string& userId) {
        std::vector<int64_t> out;
        Json reply = get(ids("getStickerData", userId));
        for (const Json& p : reply["stickerPacks"])
            out.push_back(p["id"]);
        return out;
    }
    int coins(const std::string& userId) { return std::stoi(service().userColumn(app(), userId, "coins")); }
    Json coinsForm(const std::string& userId, const std::string& tail) {
        return post(ids("updateQuizProduct", userId) + "&clientType=1&build=2.5.7" + tail);
    }
};

} // namespace

TEST(StoreReceipt, OnlyWhatTheStoreSignedReadsBack) {
    std::string signed_ = signStoreReceipt("p.one", "T-9");
    std::string tampered = signed_;
    tampered.replace(tampered.find("p.one"), 5, "p.two");
    struct Case {
        std::string receipt;
        bool reads;
    } cases[] = {
        {base64(signed_), true},
        {base64(signed_, false), true},            // the standard alphabet too
        {base64(signed_).insert(8, "\r\n"), true}, // wrapped lines
        {base64(tampered), false},                 // another product under the same signature
        {base64(R"({"productId":"p.one","transactionId":"T-9"})"), false},
        {"not base64 at all!", false},
        {"", false},
    };
    for (const Case& c : cases) {
        auto read = readStoreReceipt(c.receipt);
        EXPECT_EQ(read.has_value(), c.reads) << c.receipt;
        if (read) {
            EXPECT_EQ(read->productId + "/" + read->transactionId, "p.one/T-9");
        }
    }
}

TEST_F(StoreServiceTest, TheStoreServesAnAccountOnlyToTheDeviceSignedInToIt) {
    auto store = [&](const char* method, const std::string& path, const std::string& password) {
        std::string form = "account=ana%40store.example&password=" + password;
        auto c = client();
        auto res = std::string(method) == "POST"
                       ? c->Post(("/store/" + path).c_str(), form + "&productId=com.velkora.demo.coins100",
                                 "application/x-www-form-urlencoded")
                       : c->Get(("/store/" + path + "?" + form).c_str());
        return res ? std::make_pair(res->status, Json::parse(res->body, nullptr, false)) : std::make_pair(0, Json());
    };
    // The first device to use the account signs it up with its password.
    auto bought = store("POST", "purchase", "anas-own");
    ASSERT_EQ(bought.first, 200) << bought.second;
    // Another device naming the account reads none of its receipts and finishes none of them.
    EXPECT_EQ(store("GET", "unfinished", "a-guess").first, 401);
    EXPECT_EQ(store("GET", "purchases", "").first, 401);
    EXPECT_EQ(store("POST", "restore", "a-guess").first, 401);
    auto owners = store("GET", "unfinished", "anas-own");
    ASSERT_EQ(owners.first, 200);
    EXPECT_EQ(owners.second["transactions"].size(), 1u) << owners.second;
}

TEST_F(StoreServiceTest, FreePacksAreAddedAtOncePaidOnesOnlyWithTheirReceipt) {
    std::string user = newUser(), other = newUser();
    Json store = get(ids("getStickerStore", user));
    ASSERT_EQ(store["stickerPacks"].size(), 3u);
    EXPECT_TRUE(store["stickerPacks"][0]["productId"].is_null());
    EXPECT_EQ(store["stickerPacks"][1]["productId"], kPaidProduct);
    EXPECT_EQ(store["stickerPacks"][1]["stickers"].size(), 3u);
    Json pack = get(ids("getStickerPack", user) + "&packId=1");
    EXPECT_EQ(pack["stickerPack"]["id"], 1);
    EXPECT_FALSE(pack["stickerPack"].contains("title"));
    EXPECT_EQ(get(ids("getStickerPack", user) + "&packId=9")["error"], "PACK_NOT_FOUND");

    EXPECT_EQ(get(ids("addStickerPack", user) + "&packId=1"), Json({{"id", 1}}));
    EXPECT_EQ(get(ids("addStickerPack", user) + "&packId=2")["error"], "PACK_NOT_FREE");
    EXPECT_EQ(packsOf(user), std::vector<int64_t>{1});

    std::string receipt = base64(service().signStoreReceipt(kPaidProduct, "T-1"));
    struct Case {
        const char* name;
        std::string who, tail;
        bool success, retry;
    } cases[] = {
        {"no receipt yet", user, "&productId=" + std::string(kPaidProduct), false, true},
        {"unsigned", user, "&receipt=" + base64(R"({"productId":"x"})"), false, false},
        {"another product bought", user, "&receipt=" + base64(service().signStoreReceipt("com.other", "T-2")), false,
         false},
        {"product named wrongly", user, "&productId=com.other&receipt=" + receipt, false, false},
        // Signed with the store's key, but no purchase the store recorded.
        {"signed but never bought", user, "&receipt=" + base64(signStoreReceipt(kPaidProduct, "T-forged")), false,
         false},
        {"signed", user, "&price=0.99&currency=USD&productId=" + std::string(kPaidProduct) + "&receipt=" + receipt,
         true, false},
        {"restored by its buyer", user, "&receipt=" + receipt, true, false},
        {"someone else's purchase", other, "&receipt=" + receipt, false, false},
    };
    for (const Case& c : cases) {
        Json reply = paidPack(c.who, c.tail);
        EXPECT_EQ(reply["success"], c.success) << c.name << reply;
        EXPECT_EQ(reply["retry"], c.retry) << c.name;
        EXPECT_EQ(reply["productId"], kPaidProduct) << c.name;
        EXPECT_EQ(reply["packId"], 2) << c.name;
    }
    EXPECT_EQ(packsOf(user), (std::vector<int64_t>{1, 2}));
    EXPECT_TRUE(packsOf(other).empty());
    EXPECT_EQ(get(ids("getUserData", user))["user"]["stickerPackIds"], Json({1, 2}));
}

TEST_F(StoreServiceTest, APaidPackIsAddedFreeOnlyForAUserWhoHoldsOrBoughtIt) {
    std::string buyer = newUser(), holder = newUser(), stranger = newUser();
    std::string receipt = base64(service().signStoreReceipt(kPaidProduct, "T-7"));
    ASSERT_EQ(paidPack(buyer, "&receipt=" + receipt)["success"], true);
    ASSERT_EQ(paidPack(holder, "&receipt=" + base64(service().signStoreReceipt(kPaidProduct, "T-8")))["success"], true);
    struct Case {
        const char* name;
        std::string who;
        bool added;
    } cases[] = {{"its buyer restores it", buyer, true},
                 {"a holder adds it again", holder, true},
                 {"a stranger", stranger, false}};
    for (const Case& c : cases) {
        Json reply = get(ids("addStickerPack", c.who) + "&packId=2");
        if (c.added)
            EXPECT_EQ(reply, Json({{"id", 2}})) << c.name;
        else
            EXPECT_EQ(reply["error"], "PACK_NOT_FREE") << c.name;
    }
    EXPECT_EQ(service().userStickerPackIds(app(), buyer), std::vector<int64_t>{2});
    EXPECT_TRUE(service().userStickerPackIds(app(), stranger).empty());
    EXPECT_EQ(service().purchases(app()).size(), 2u);
}

TEST_F(StoreServiceTest, CoinsAreBoughtOncePerPurchaseAndSpentOnlyWhenThereAreEnough) {
    std::string user = newUser(), other = newUser();
    constexpr const char* kPack = "com.velkora.demo.coins100";
    std::string receipt = base64(service().signStoreReceipt(kPack, "C-1"));
    std::string pack500 = base64(service().signStoreReceipt("com.velkora.demo.coins500", "C-2"));
    std::string notAPack = base64(service().signStoreReceipt(kPaidProduct, "C-3"));
    struct Case {
        const char* name;
        std::string userId, tail;
        bool success, retry;
        int coinsAfter;
    } cases[] = {
        {"spend before having any", user, "&coins=-5&lives=1&quizId=1&questionId=1", false, false, 0},
        {"coins granted without a purchase", user, std::string("&coins=100&productId=") + kPack, false, true, 0},
        {"bought", user, std::string("&coins=100&productId=") + kPack + "&receipt=" + receipt, true, false, 100},
        // The buyer's repeat delivery (its first answer lost) is taken and credits nothing.
        {"bought twice with one purchase", user, std::string("&coins=100&productId=") + kPack + "&receipt=" + receipt,
         true, false, 100},
        {"another user's purchase", other, std::string("&coins=100&productId=") + kPack + "&receipt=" + receipt, false,
         false, 100},
        // The pack proven is credited, never the count sent.
        {"a count that is not the pack's", user, "&coins=100000&productId=com.velkora.demo.coins500&receipt=" + pack500,
         true, false, 600},
        {"a product that is no coin pack", user,
         std::string("&coins=100&productId=") + kPaidProduct + "&receipt=" + notAPack, false, false, 600},
        {"hints", user, "&coins=-30&hints=2&quizId=1&questionId=1", true, false, 570},
        {"quiz unlocked for less than it costs", user, "&coins=-49&unlockQuizId=2", false, false, 570},
        {"quiz unlocked", user, "&coins=-50&unlockQuizId=2", true, false, 520},
        {"the unlocked quiz again costs nothing", user, "&coins=-50&unlockQuizId=2", true, false, 520},
        {"all quizzes for too few coins", user, "&coins=-600&unlockAllQuizzes=1", false, false, 520},
    };
    for (const Case& c : cases) {
        Json reply = coinsForm(c.userId, c.tail);
        EXPECT_EQ(reply["success"], c.success) << c.name << reply;
        EXPECT_EQ(reply["retry"], c.retry) << c.name;
        EXPECT_EQ(coins(user), c.coinsAfter) << c.name;
    }
    EXPECT_EQ(coins(other), 0);
    EXPECT_EQ(service().purchases(app(), user).size(), 2u);
    EXPECT_TRUE(service().purchases(app(), other).empty());
    // A balance lowered behind the client's back refuses the spend and stays as it was.
    service().setUserCoins(app(), user, 5);
    EXPECT_EQ(coinsForm(user, "&coins=-30&hints=2&quizId=1&questionId=1")["success"], false);
    EXPECT_EQ(coins(user), 5);
    EXPECT_EQ(coinsForm(user, "&coins=-1")["error"], "BAD_REQUEST"); // spent on nothing
    EXPECT_EQ(coinsForm(user, "&coins=-1&unlockQuizId=7")["error"], "QUIZ_NOT_FOUND");
    // The poll reports the coins left.
    EXPECT_EQ(get(ids("update", user) + "&clientType=1&build=2.5.7")["coins"], 5);
}

TEST_F(StoreServiceTest, QuizzesHideLockedQuestionsAndCountEachReportedAnswer) {
    std::string user = newUser();
    Json list = get(ids("getQuizzes", user));
    EXPECT_EQ(list["unlockAllQuizzesCoins"], 500);
    ASSERT_EQ(list["quizzes"].size(), 3u);
    EXPECT_EQ(list["quizzes"][1]["locked"], true);
    EXPECT_EQ(list["quizzes"][1]["coins"], 50);
    EXPECT_FALSE(list["quizzes"][1].contains("questions"));
    EXPECT_EQ(get(ids("getQuiz", user) + "&quizId=99")["error"], "QUIZ_NOT_FOUND");

    struct Case {
        std::string report;
        const char* error;
    } cases[] = {
        {"1,10|2,21|4,42", nullptr}, // a reserve counts too
        {"1,10|3,99|7,1", nullptr},  // answers the quiz lacks are passed over
        {"1,10|2", "BAD_REQUEST"},   // one malformed pair: nothing counted
        {"1;10", "BAD_REQUEST"},
    };
    for (const Case& c : cases) {
        Json reply = get(ids("reportQuiz", user) + "&quizId=1&report=" + c.report);
        if (c.error) {
            EXPECT_EQ(reply["error"], c.error) << c.report;
        } else {
            EXPECT_EQ(reply, Json::object()) << c.report;
        }
    }
    Json quiz = get(ids("getQuiz", user) + "&quizId=1")["quiz"];
    // Hits are each answer's whole-percent share of its question's picks, never raw counts.
    EXPECT_EQ(quiz["questions"][0]["answers"][0]["hits"], 100);
    EXPECT_EQ(quiz["questions"][1]["answers"][1]["hits"], 100);
    EXPECT_EQ(quiz["reserves"][0]["answers"][2]["hits"], 100);
    EXPECT_EQ(quiz["questions"][2]["answers"][3]["hits"], 0);
    EXPECT_FALSE(quiz["questions"][0]["answers"][0].contains("picks"));

    EXPECT_EQ(get(ids("suggestQuizQuestion", user) + "&quizId=1&question=Q&correct=A&wrong1=B&wrong2=C&wrong3=D"),
              Json::object());
    EXPECT_EQ(
        get(ids("suggestQuizQuestion", user) + "&quizId=1&question=&correct=A&wrong1=B&wrong2=C&wrong3=D")["error"],
        "BAD_REQUEST");
    // A question needs one wrong answer as much as its right one; the second and third may be left empty.
    EXPECT_EQ(
        get(ids("suggestQuizQuestion", user) + "&quizId=1&question=Q2&correct=A&wrong1=&wrong2=C&wrong3=D")["error"],
        "BAD_REQUEST");
    EXPECT_EQ(get(ids("suggestQuizQuestion", user) + "&quizId=2&question=Q3&correct=A&wrong1=B&wrong2=&wrong3="),
              Json::object());
    auto stored = service().quizSuggestions(app());
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].question, "Q");
    EXPECT_EQ(stored[0].wrong3, "D");
    EXPECT_EQ(stored[1].userId, user);
    EXPECT_EQ(stored[1].quizId, 2);
    EXPECT_EQ(stored[1].wrong1, "B");
    EXPECT_EQ(stored[1].wrong2, "");
}

TEST_F(StoreServiceTest, HitsAreSharesOfTheSeededAndReportedPicks) {
    std::string user = newUser();
    int64_t quizId = service().addQuiz(app(), R"({"name":"Picks","questions":[{"id":900,"question":"Q","score":5,
        "timeLimit":10,"timeBonus":2,"answers":[{"id":901,"answer":"a","correct":true,"picks":150},
        {"id":902,"answer":"b","picks":50},{"id":903,"answer":"c","hits":0},{"id":904,"answer":"d"}]}]})");
    auto shares = [&] {
        std::vector<int> out;
        const Json reply = get(ids("getQuiz", user) + "&quizId=" + std::to_string(quizId));
        for (const Json& a : reply["quiz"]["questions"][0]["answers"])
            out.push_back(a["hits"].get<int>());
        return out;
    };
    EXPECT_EQ(shares(), (std::vector<int>{75, 25, 0, 0})); // 150 picks show as 75%, not "150%"
    get(ids("reportQuiz", user) + "&quizId=" + std::to_string(quizId) + "&report=903,903");
    get(ids("reportQuiz", user) + "&quizId=" + std::to_string(quizId) + "&report=900,903");
    EXPECT_EQ(shares(), (std::vector<int>{74, 24, 0, 0})); // 150, 50, 1 of 201 (the stray pair is passed over)
}

TEST_F(StoreServiceTest, AScoreAddsItsPointsToTheUsersTotalAndAnUpdateItsDifference) {
    std::string user = newUser();
    auto total = [&] { return get(ids("getUserData", user) + "&clientType=1&build=2.5.7")["user"]["score"]; };
    Json id = get(ids("setScore", user) + "&level=quiz_1&score=40")["id"];
    EXPECT_EQ(total(), 40);
    EXPECT_EQ(get(ids("setScore", user) + "&level=quiz_1&score=70&scoreId=" + id.dump())["id"], id);
    EXPECT_EQ(total(), 70); // the update adds 30, not the maximum of 40 and 70 again
    get(ids("setScore", user) + "&level=quiz_1&score=20");
    EXPECT_EQ(total(), 90); // a lower new score still adds, where the maximum kept 70
    get(ids("setScore", user) + "&level=quiz_1&score=2147483647");
    EXPECT_EQ(total(), 2147483647); // saturates at 32 bits
}

TEST_F(StoreServiceTest, ScoresRankEachUsersBestOfThePeriod) {
    // The service's clock on a Wednesday at noon, local time, so that "this week" and "today" differ.
    struct tm noon {};
    noon.tm_year = 2026 - 1900;
    noon.tm_mon = 11;
    noon.tm_mday = 9;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    const double wednesday = static_cast<double>(mktime(&noon));
    const double day = 86400;
    std::vector<std::string> users;
    for (int i = 0; i < 4; ++i)
        users.push_back(newUser());
    auto score = [&](int user, int points, double at, const std::string& level = "1") {
        service().setClockOffset(at - static_cast<double>(time(nullptr)));
        return get(ids("setScore", users[user]) + "&level=" + level + "&score=" + std::to_string(points))["id"];
    };
    score(0, 300, wednesday - 3 * day); // Sunday: last week
    score(1, 200, wednesday - day);     // Tuesday
    Json id = score(2, 60, wednesday);
    score(3, 100, wednesday + 60);
    score(0, 50, wednesday + 120);
    score(1, 999, wednesday, "2"); // another level
    // The update of a score replaces it; an id that is not the user's own makes a new score.
    service().setClockOffset(wednesday + 180 - static_cast<double>(time(nullptr)));
    EXPECT_EQ(get(ids("setScore", users[2]) + "&level=1&score=100&scoreId=" + id.dump())["id"], id);
    EXPECT_NE(get(ids("setScore", users[3]) + "&level=1&score=10&scoreId=" + id.dump())["id"], id);

    struct Case {
        int intervalType;
        std::vector<int> users;
        std::vector<int> positions;
    } cases[] = {
        {1, {3, 2, 0}, {1, 1, 3}}, // equal scores share a place, the one reached first listed first
        {2, {1, 3, 2, 0}, {1, 2, 2, 4}},
        {3, {0, 1, 3, 2}, {1, 2, 3, 3}},
    };
    for (const Case& c : cases) {
        Json reply = get(ids("getScores", users[0]) + "&level=1&intervalType=" + std::to_string(c.intervalType));
        ASSERT_EQ(reply["topScores"].size(), c.users.size()) << reply;
        for (size_t i = 0; i < c.users.size(); ++i) {
            EXPECT_EQ(reply["topScores"][i]["user"]["userId"], users[c.users[i]]) << c.intervalType << " " << i;
            EXPECT_EQ(reply["topScores"][i]["position"], c.positions[i]) << c.intervalType << " " << i;
        }
        EXPECT_FALSE(reply["userArea"].empty());
    }
    EXPECT_EQ(get(ids("getScores", users[0]) + "&level=1&intervalType=4")["error"], "BAD_REQUEST");
    EXPECT_TRUE(get(ids("getScores", users[0]) + "&level=3&intervalType=3")["userArea"].empty());
}

TEST_F(StoreServiceTest, TheExchangeListsThePromotionsOfTheSubPublisherInItsOwnShape) {
    std::string user = newUser();
    Json apps = get(ids("getApps", user) + "&vendor=0");
    ASSERT_EQ(apps["apps"].size(), 3u);
    EXPECT_EQ(apps["apps"][0]["name"], "Starboard Sailing");

    const std::string account = "/1.1/getads?publisherId=418207553&productId=602915374&os=ios&type=VELKORA_TOOLBAR";
    struct Case {
        std::string query;
        bool valid;
        size_t ads;
    } cases[] = {
        {account + "&subPublisherId=" + app() + "&subProductId=" + app() + "&adsNumber=10&age=30&gender=male", true, 3},
        {account + "&subPublisherId=" + app() + "&subProductId=" + app() + "&adsNumber=1&testMode=true", true, 1},
        {account + "&subPublisherId=nobody&adsNumber=10", false, 0},
        {"/1.1/getads?publisherId=1&productId=602915374&subPublisherId=" + app(), false, 0},
    };
    for (const Case& c : cases) {
        auto res = client()->Get(c.query.c_str());
        ASSERT_TRUE(res) << c.query;
        Json reply = Json::parse(res->body);
        EXPECT_EQ(reply["validResponse"], c.valid) << c.query;
        EXPECT_EQ(reply["errorMessage"].is_null(), c.valid) << c.query;
        EXPECT_EQ(reply["adsDetails"].size(), c.ads) << c.query;
    }
    Json ad = Json::parse(client()->Get(cases[0].query.c_str())->body)["adsDetails"][0];
    EXPECT_EQ(ad["title"], "Starboard Sailing");
    EXPECT_EQ(ad["clickUrl"], "https://apps.example/starboard-sailing");
    EXPECT_EQ(ad["installs"], "10,000 - 50,000");
    EXPECT_FALSE(ad["trackingUrl"].is_null());
    EXPECT_EQ(service().requestsFor("getads").size(), 5u);
}

} // namespace velkora::service::testing
