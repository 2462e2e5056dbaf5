// The Twitter and Facebook graph stand-ins over loopback HTTPS: signatures, pages, rate limits, tokens
// and what they store.
#include <ctime>
#include <optional>

#include "ServiceFixture.h"
#include "platform/services/SocialRequest.h"

namespace velkora::service::testing {

namespace {

struct Signer {
    std::string token, secret;
};
const Signer kDana{"900000001-dTk3vQ8mZp2LrX5aWc", "sEcR3t-dana-velkora-7Yq2"};
constexpr const char* kFacebookApp = "100000000000001";
constexpr const char* kDanaOnFacebook = "100009000000001";

class SocialStandInsTest : public ServiceTest {
protected:
    ServiceOptions options() override {
        ServiceOptions o;
        o.twitterPageSize = 2;
        return o;
    }

    std::string url(const std::string& path) { return service().baseUrl() + path; }

    // A signed Twitter request the way the platform's social requests send it.
    // Each signed with the time now and a nonce of its own, unless told otherwise.
    httplib::Result twitter(const std::string& method, const std::string& path,
                            const services::SocialRequest::Parameters& params, const Signer& signer = kDana,
                            std::optional<int64_t> timestamp = std::nullopt, std::string nonce = {}) {
        std::string form;
        for (const auto& [k, v] : params)
            form += (form.empty() ? "" : "&") + k + "=" + services::oauthPercentEncode(v);
        if (nonce.empty()) nonce = "n0nce" + std::to_string(++nonces_);
        httplib::Headers headers = {
            {"Authorization", services::oauthAuthorization(method, url(path), params, signer.token, signer.secret,
                                                           timestamp.value_or(int64_t(std::time(nullptr))), nonce)}};
        if (method == "POST") return client()->Post(path.c_str(), headers, form, "application/x-www-form-urlencoded");
        return client()->Get((path + (form.empty() ? "" : "?" + form)).c_str(), headers);
    }

    static Json body(const httplib::Result& res) { return Json::parse(res->body, nullptr, false); }

    std::string facebookToken(const std::string& scope = "user_location,user_birthday,user_photos") {
        auto res = client()->Get(("/graph/dialog/oauth?client_id=" + std::string(kFacebookApp) + "&redirect_uri=fb" +
                                  kFacebookApp + "%3A%2F%2Fauthorize&scope=" + scope + "&user=" + kDanaOnFacebook)
                                     .c_str());
        if (!res || res->status != 302) return {};
        std::string location = res->get_header_value("Location");
        size_t at = location.find("access_token=");
        return location.substr(at + 13, location.find('&', at) - at - 13);
    }

    int nonces_ = 0;

    Json graph(const std::string& pathAndQuery, int expectedStatus = 200) {
        auto res = client()->Get(pathAndQuery.c_str());
        if (!res) return "transport failure";
        EXPECT_EQ(res->status, expectedStatus) << pathAndQuery << " " << res->body;
        return body(res);
    }
};

} // namespace

TEST_F(SocialStandInsTest, TwitterRefusesWhatTheAccountDidNotSign) {
    struct Case {
        const char* what;
        Signer signer;
        int code;
    } cases[] = {
        {"wrong secret", {kDana.token, "not-the-secret"}, 32},
        {"unknown token", {"1-unknown", kDana.secret}, 89},
        {"no token", {"", kDana.secret}, 215},
    };
    for (const Case& c : cases) {
        auto res = twitter("GET", "/twitter/1.1/users/show.json", {{"screen_name", "dana_velkora"}}, c.signer);
        ASSERT_TRUE(res) << c.what;
        EXPECT_EQ(res->status, 401) << c.what;
        EXPECT_EQ(body(res)["errors"][0]["code"], c.code) << c.what;
    }
    // A parameter changed after signing breaks the signature too.
    std::string header =
        services::oauthAuthorization("GET", url("/twitter/1.1/users/show.json"), {{"screen_name", "dana_velkora"}},
                                     kDana.token, kDana.secret, 1, "x");
    auto res = client()->Get("/twitter/1.1/users/show.json?screen_name=mira_okafor", {{"Authorization", header}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 401);
    EXPECT_EQ(service().requestsFor("/twitter/1.1/users/show.json").size(), 4u);
}

TEST_F(SocialStandInsTest, TwitterTakesASignedRequestOnceAndOnlyWhileItIsFresh) {
    const services::SocialRequest::Parameters show{{"screen_name", "dana_velkora"}};
    const int64_t now = std::time(nullptr);
    struct Case {
        const char* what;
        int64_t timestamp;
        int status;
    } cases[] = {
        {"fresh", now, 200},
        {"from 2001", 1000000000, 401},
        {"an hour old", now - 3600, 401},
        {"an hour ahead", now + 3600, 401},
    };
    for (const Case& c : cases) {
        auto res = twitter("GET", "/twitter/1.1/users/show.json", show, kDana, c.timestamp);
        ASSERT_TRUE(res) << c.what;
        EXPECT_EQ(res->status, c.status) << c.what;
    }
    // The same signed request again, as whoever saw it go by would send it.
    auto first = twitter("GET", "/twitter/1.1/users/show.json", show, kDana, now, "seen-once");
    auto replay = twitter("GET", "/twitter/1.1/users/show.json", show, kDana, now, "seen-once");
    ASSERT_TRUE(first && replay);
    EXPECT_EQ(first->status, 200);
    EXPECT_EQ(replay->status, 401);
}

TEST_F(SocialStandInsTest, TwitterShowsUsersAndPagesFriendIdsByCursor) {
    auto shown = twitter("GET", "/twitter/1.1/users/show.json", {{"screen_name", "dana_velkora"}});
    ASSERT_TRUE(shown);
    ASSERT_EQ(shown->status, 200);
    Json dana = body(shown);
    EXPECT_EQ(dana["id"], 900000001);
    EXPECT_EQ(dana["name"], "Dana Whitfield");
    EXPECT_EQ(dana["location"], "Porto");
    EXPECT_EQ(shown->get_header_value("x-rate-limit-remaining"), "179");
    auto picture = client()->Get(dana["profile_image_url"].get<std::string>().substr(url("").size()).c_str());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->body.substr(1, 3), "PNG");

    std::vector<int64_t> ids;
    int64_t cursor = -1;
    int pages = 0;
    do {
        auto res = twitter("GET", "/twitter/1.1/friends/ids.json",
                           {{"screen_name", "dana_velkora"}, {"cursor", std::to_string(cursor)}});
        ASSERT_TRUE(res);
        Json page = body(res);
        for (const Json& id : page["ids"])
            ids.push_back(id);
        EXPECT_LE(page["ids"].size(), 2u);
        cursor = page["next_cursor"];
        ++pages;
    } while (cursor > 0 && pages < 10);
    EXPECT_EQ(pages, 4);
    EXPECT_EQ(ids, (std::vector<int64_t>{900000101, 900000104, 900000102, 900000105, 900000103, 900000106, 900000107}));

    auto looked = twitter("GET", "/twitter/1.1/users/lookup.json", {{"user_id", "900000101,900000104,42"}});
    ASSERT_TRUE(looked);
    Json users = body(looked);
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[0]["screen_name"], "mira_okafor");
    EXPECT_EQ(users[1]["screen_name"], "sam_rivera");
    auto empty = twitter("GET", "/twitter/1.1/users/lookup.json", {{"user_id", ""}});
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->status, 404);
    EXPECT_EQ(body(empty)["errors"][0]["code"], 17);
}

TEST_F(SocialStandInsTest, TwitterRateLimitCountsDownPerWindowOfTheServiceClock) {
    auto friendIds = [&] { return twitter("GET", "/twitter/1.1/friends/ids.json", {{"screen_name", "dana_velkora"}}); };
    for (int left = 14; left >= 0; --left) {
        auto res = friendIds();
        ASSERT_TRUE(res);
        ASSERT_EQ(res->status, 200);
        EXPECT_EQ(res->get_header_value("x-rate-limit-remaining"), std::to_string(left));
    }
    auto refused = friendIds();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 429);
    EXPECT_EQ(refused->get_header_value("x-rate-limit-remaining"), "0");
    EXPECT_EQ(body(refused)["errors"][0]["code"], 88);
    // Other interfaces keep their own count.
    auto shown = twitter("GET", "/twitter/1.1/users/show.json", {{"screen_name", "dana_velkora"}});
    EXPECT_EQ(shown->status, 200);

    service().setClockOffset(15 * 60);
    auto nextWindow = friendIds();
    ASSERT_TRUE(nextWindow);
    EXPECT_EQ(nextWindow->status, 200);
    EXPECT_EQ(nextWindow->get_header_value("x-rate-limit-remaining"), "14");
}

TEST_F(SocialStandInsTest, TweetsAreStoredForTheSigningAccount) {
    std::string text = "Join me & play: 100% fun @mira_okafor via @velkora";
    auto res = twitter("POST", "/twitter/1.1/statuses/update.json", {{"status", text}});
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    EXPECT_EQ(body(res)["text"], text);
    auto rows =
        service().selectRows("SELECT u.screen_name, t.text FROM tweets t JOIN twitter_users u ON u.id = t.user_id");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"dana_velkora", text}));
}

TEST_F(SocialStandInsTest, SeededFriendsAreFoundAmongTheServiceUsers) {
    std::string me = newUser();
    Json twitterFriends = get("command=getSocialNetworkFriends&appId=" + app() + "&userId=" + me +
                              "&network=twitter&friendIds=900000101,900000104,900000102");
    Json facebookFriends = get("command=getSocialNetworkFriends&appId=" + app() + "&userId=" + me +
                               "&network=facebook&friendIds=100009000000012,100009000000014");
    auto names = [](const Json& reply) {
        std::set<std::string> out;
        const Json& list = reply.is_array() ? reply : reply.value("users", Json::array());
        for (const Json& u : list)
            out.insert(u.value("firstName", ""));
        return out;
    };
    EXPECT_EQ(names(twitterFriends), (std::set<std::string>{"Mira", "Tomas"})) << twitterFriends.dump();
    EXPECT_EQ(names(facebookFriends), (std::set<std::string>{"Ravi"})) << facebookFriends.dump();
}

TEST_F(SocialStandInsTest, GraphLogInOnlyForKnownAppsAndTheirOwnReturnAddress) {
    struct Case {
        std::string query;
        int code;
    } cases[] = {
        {"client_id=999&redirect_uri=fb999%3A%2F%2Fauthorize&user=" + std::string(kDanaOnFacebook), 101},
        {"client_id=" + std::string(kFacebookApp) +
             "&redirect_uri=https%3A%2F%2Fevil.example%2F&user=" + kDanaOnFacebook,
         191},
        {"client_id=" + std::string(kFacebookApp) + "&user=77", 100},
    };
    for (const Case& c : cases) {
        Json reply = graph("/graph/dialog/oauth?" + c.query, 400);
        EXPECT_EQ(reply["error"]["code"], c.code) << c.query;
    }
    auto res = client()->Get(("/graph/dialog/oauth?client_id=" + std::string(kFacebookApp) +
                              "&user=" + kDanaOnFacebook + "&scope=user_photos")
                                 .c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 302);
    EXPECT_EQ(res->get_header_value("Location").rfind("fb100000000000001://authorize#access_token=", 0), 0u);
}

TEST_F(SocialStandInsTest, TheLogInDialogWantsThePasswordOfTheUserItNames) {
    auto dialog = [&](const std::string& password) {
        auto res = client()->Get(("/graph/dialog/oauth?client_id=" + std::string(kFacebookApp) +
                                  "&user=" + kDanaOnFacebook + "&password=" + password)
                                     .c_str());
        return res ? res->status : 0;
    };
    // The first device to sign in sets the password; from then on only it opens the account.
    EXPECT_EQ(dialog("danas-own"), 302);
    EXPECT_EQ(dialog("a-guess"), 400);
    EXPECT_EQ(dialog(""), 400);
    EXPECT_EQ(dialog("danas-own"), 302);
}

TEST_F(SocialStandInsTest, GraphMeHasStringIdsAndFieldsByPermission) {
    std::string full = facebookToken();
    ASSERT_FALSE(full.empty());
    Json me = graph("/graph/me?access_token=" + full);
    EXPECT_EQ(me["id"], kDanaOnFacebook);
    EXPECT_EQ(me["first_name"], "Dana");
    EXPECT_EQ(me["birthday"], "03/14/1991");
    EXPECT_EQ(me["location"]["name"], "Porto, Portugal");
    EXPECT_TRUE(me["location"]["id"].is_string());

    Json narrow = graph("/graph/me?access_token=" + facebookToken("user_photos"));
    EXPECT_FALSE(narrow.contains("birthday"));
    EXPECT_FALSE(narrow.contains("location"));
    Json some = graph("/graph/me?fields=first_name&access_token=" + full);
    EXPECT_EQ(some, (Json{{"id", kDanaOnFacebook}, {"first_name", "Dana"}}));
}

TEST_F(SocialStandInsTest, GraphFriendPagesEndEmptyAndExpiredTokensGet190) {
    std::string token = facebookToken();
    std::vector<std::string> names;
    std::vector<size_t> sizes;
    for (int offset = 0; offset <= 8; offset += 4) {
        Json page = graph("/graph/me/friends?limit=4&offset=" + std::to_string(offset) + "&access_token=" + token);
        sizes.push_back(page["data"].size());
        for (const Json& f : page["data"]) {
            EXPECT_TRUE(f["id"].is_string());
            names.push_back(f["name"]);
        }
        EXPECT_EQ(page.contains("paging"), !page["data"].empty());
    }
    EXPECT_EQ(sizes, (std::vector<size_t>{4, 2, 0}));
    EXPECT_EQ(names.front(), "Mira Okafor");
    EXPECT_EQ(names.back(), "Elif Demir");

    service().setClockOffset(61 * 24 * 3600);
    for (const char* path : {"/graph/me?access_token=", "/graph/me/friends?limit=1&offset=0&access_token="}) {
        Json expired = graph(path + token, 400);
        EXPECT_EQ(expired["error"]["code"], 190);
        EXPECT_EQ(expired["error"]["type"], "OAuthException");
    }
    EXPECT_EQ(graph("/graph/me?access_token=forged", 400)["error"]["code"], 190);
}

TEST_F(SocialStandInsTest, GraphFeedDialogStoresThePost) {
    std::string token = facebookToken();
    Json posted = graph("/graph/dialog/feed?access_token=" + token +
                        "&to=100009000000014&name=Join%20me&link=https%3A%2F%2Fdemo.velkora.example%2Fjoin");
    std::string postId = posted["post_id"];
    EXPECT_EQ(postId.rfind("100009000000014_", 0), 0u);
    auto rows = service().selectRows("SELECT from_id, to_id, fields FROM graph_posts");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], kDanaOnFacebook);
    EXPECT_EQ(rows[0][1], "100009000000014");
    EXPECT_EQ(Json::parse(rows[0][2])["link"], "https://demo.velkora.example/join");
    EXPECT_EQ(graph("/graph/dialog/feed?access_token=" + token + "&to=12", 400)["error"]["code"], 100);
    auto picture = client()->Get("/graph/100009000000014/picture?width=180&height=180");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->get_header_value("Content-Type"), "image/png");
}

} // namespace velkora::service::testing
