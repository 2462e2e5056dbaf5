// Sign-up, log-in and the account commands, as the kit sends them.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

#include "AccountFixture.h"

namespace velkora::service::testing {
namespace {

constexpr const char* kDigest = "5F4DCC3B5AA765D61D8327DEB882CF99";

class AccountCommands : public KitRequestTest {
protected:
    Json signUp(const std::string& device, int method, const std::string& value, const char* password = nullptr,
                const std::string& profile = {}) {
        std::string q = "command=signUp&appId=" + app() + "&deviceId=" + device + "&method=" + std::to_string(method) +
                        "&value=" + esc(value);
        if (password) q += "&password=" + esc(password);
        return kit(q + profile);
    }
    Json login(const std::string& device, int method, const std::string& value, const char* password = nullptr) {
        std::string q = "command=login&appId=" + app() + "&deviceId=" + device + "&method=" + std::to_string(method) +
                        "&value=" + esc(value);
        if (password) q += "&password=" + esc(password);
        return kit(q);
    }
    Json connect(const std::string& user, int method, const std::string& value, int replace, int override_,
                 const std::string& profile = {}) {
        return kit("command=connectSocial" + as(user) + "&method=" + std::to_string(method) + "&value=" + esc(value) +
                   "&replaceUserData=" + std::to_string(replace) + "&overrideOtherUser=" + std::to_string(override_) +
                   profile);
    }
};

TEST_F(AccountCommands, EmailSignUpThenLogIn) {
    const std::string email = "ana+news&more@example.com";
    Json first = signUp("dev-1", 1, email, kDigest, "&firstName=" + esc("Ana & Bo") + "&city=Porto");
    ASSERT_TRUE(first["userId"].is_string()) << first;
    std::string ana = first["userId"];
    EXPECT_EQ(service().userColumn(app(), ana, "email"), email);
    EXPECT_EQ(service().userColumn(app(), ana, "first_name"), "Ana & Bo");
    // What the table holds would not log anyone in: not the digest as sent, in either case.
    std::string stored = service().userColumn(app(), ana, "password");
    EXPECT_FALSE(stored.empty());
    for (std::string digest : {std::string(kDigest), std::string("5f4dcc3b5aa765d61d8327deb882cf99")})
        EXPECT_EQ(stored.find(digest), std::string::npos) << stored;
    std::string other = signUp("dev-9", 1, "bo@example.com", kDigest)["userId"];
    EXPECT_NE(service().userColumn(app(), other, "password"), stored) << "one password, two salts";

    struct Case {
        const char* what;
        Json reply;
        std::string userId, error;
    };
    const Case cases[] = {
        {"the same address again", signUp("dev-2", 1, email, kDigest), "", "USER_ALREADY_SIGNED_UP"},
        {"the address in other case", signUp("dev-2", 1, "ANA+news&more@example.com", kDigest), "",
         "USER_ALREADY_SIGNED_UP"},
        {"sign-up without a password", signUp("dev-2", 1, "new@example.com"), "", "BAD_REQUEST"},
        {"log-in", login("dev-2", 1, email, kDigest), ana, ""},
        {"log-in, digest in lower case", login("dev-3", 1, email, "5f4dcc3b5aa765d61d8327deb882cf99"), ana, ""},
        {"wrong password", login("dev-2", 1, email, "00000000000000000000000000000000"), "", "USER_NOT_FOUND"},
        {"no password", login("dev-2", 1, email), "", "USER_NOT_FOUND"},
        {"unknown address", login("dev-2", 1, "nobody@example.com", kDigest), "", "USER_NOT_FOUND"},
        {"unknown method", login("dev-2", 7, email, kDigest), "", "BAD_REQUEST"},
        {"unknown application",
         kit("command=login&appId=nope&deviceId=d&method=1&value=" + esc(email) + "&password=" + kDigest), "",
         "APP_NOT_FOUND"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(error(c.reply), c.error) << c.reply;
        if (!c.userId.empty()) {
            EXPECT_EQ(c.reply.value("userId", ""), c.userId);
        }
    }
}

TEST_F(AccountCommands, SignUpTurnsTheDevicesAnonymousUserIntoTheAccount) {
    std::string anon = newUser();
    // The update poll ties the device to its user.
    ASSERT_FALSE(
        get("command=update&clientType=1&build=2.5.7" + as(anon) + "&deviceId=dev-a&wantMessages=0").contains("error"));
    Json reply = signUp("dev-a", 2, "100200300400");
    EXPECT_EQ(reply.value("userId", ""), anon) << reply;
    // A device whose user already has an account gets a new user for a second account.
    Json second = signUp("dev-a", 3, "555");
    ASSERT_TRUE(second["userId"].is_string()) << second;
    EXPECT_NE(second["userId"], anon);

    EXPECT_EQ(login("dev-b", 2, "100200300400").value("userId", ""), anon);
    EXPECT_EQ(login("dev-b", 3, "555").value("userId", ""), second["userId"]);
    EXPECT_EQ(error(login("dev-b", 2, "999")), "USER_NOT_FOUND");
    EXPECT_EQ(error(signUp("dev-c", 2, "100200300400")), "USER_ALREADY_SIGNED_UP");
    EXPECT_EQ(error(signUp("dev-c", 2, "not-a-number")), "BAD_REQUEST");
    EXPECT_EQ(kit("command=signOut&appId=" + app() + "&deviceId=dev-a"), Json::object());
}

TEST_F(AccountCommands, ConnectingAnIdentityAnotherAccountHolds) {
    std::string owner = signUp("dev-1", 2, "4242")["userId"];
    std::string other = newUser();
    get("command=setUserData&clientType=1&build=2.5.7" + as(other) + "&firstName=Kept&facebookId=0&twitterId=0");

    EXPECT_EQ(error(connect(other, 2, "4242", 0, 0)), "USER_ALREADY_SIGNED_UP");
    EXPECT_EQ(connect(other, 2, "4242", 0, 1, "&firstName=Ignored&lastName=Filled"), Json::object());
    EXPECT_EQ(login("dev-2", 2, "4242").value("userId", ""), other);
    EXPECT_EQ(service().userColumn(app(), owner, "facebook_id"), "0");
    // replaceUserData 0 only fills what is empty; 1 writes what is given.
    EXPECT_EQ(service().userColumn(app(), other, "first_name"), "Kept");
    EXPECT_EQ(service().userColumn(app(), other, "last_name"), "Filled");
    EXPECT_EQ(connect(other, 3, "77", 1, 0, "&firstName=" + esc("Zoë")), Json::object());
    EXPECT_EQ(service().userColumn(app(), other, "first_name"), "Zo\xC3\xAB");

    EXPECT_EQ(kit("command=disconnectSocial" + as(other) + "&method=2"), Json::object());
    EXPECT_EQ(error(login("dev-2", 2, "4242")), "USER_NOT_FOUND");
    EXPECT_EQ(login("dev-2", 3, "77").value("userId", ""), other);
    EXPECT_EQ(error(kit("command=disconnectSocial" + as("nobody") + "&method=2")), "USER_NOT_FOUND");
}

TEST_F(AccountCommands, PasswordsChangeAndForgottenOnesAreKnownAddressesOnly) {
    std::string user = signUp("dev-1", 1, "kai@example.com", kDigest)["userId"];
    const std::string fresh = "0123456789ABCDEF0123456789ABCDEF";
    EXPECT_EQ(kit("command=changePassword" + as(user) + "&password=" + esc(fresh) + "&clientType=1&build=2.5.7"),
              Json::object());
    EXPECT_EQ(error(login("dev-1", 1, "kai@example.com", kDigest)), "USER_NOT_FOUND");
    EXPECT_EQ(login("dev-1", 1, "kai@example.com", fresh.c_str()).value("userId", ""), user);

    std::string forgot = "command=forgotPassword&appId=" + app() + "&deviceId=dev-1&email=";
    EXPECT_EQ(kit(forgot + esc("kai@example.com") + "&clientType=1&build=2.5.7"), Json::object());
    EXPECT_EQ(error(kit(forgot + esc("who@example.com") + "&clientType=1&build=2.5.7")), "USER_NOT_FOUND");
}

TEST_F(AccountCommands, OlderSignUpAnswersTheAccountThatHoldsTheIds) {
    std::string first = newUser(), second = newUser();
    std::string base = "command=signUpBackComp";
    Json mine = kit(base + as(first) + "&facebookId=9001&twitterId=0&clientType=1&build=2.5.7");
    EXPECT_EQ(mine.value("userId", ""), first) << mine;
    Json theirs = kit(base + as(second) + "&facebookId=9001&twitterId=12&clientType=1&build=2.5.7");
    EXPECT_EQ(theirs.value("userId", ""), first);
    EXPECT_EQ(error(kit(base + as(second) + "&facebookId=abc&twitterId=0&clientType=1&build=2.5.7")), "BAD_REQUEST");
}

TEST_F(AccountCommands, PhotoIsStoredAndServedButIsNotTheUsersPhotoUntilSaved) {
    std::string user = newUser();
    get("command=update&clientType=1&build=2.5.7" + as(user) + "&deviceId=dev-p&wantMessages=0");
    // Bytes whose Base64 holds both alphabets' special characters and padding.
    const std::string jpeg("\xFF\xD8\xFF\xE0\xFB\xEF\xFF\x00\x10JFIF\x00\xFF\xD9\x01", 17);
    Json reply =
        post("command=savePhoto&appId=" + app() + "&deviceId=dev-p&clientType=1&build=2.5.7&image=" + kitBase64(jpeg));
    ASSERT_TRUE(reply["url"].is_string()) << reply;
    EXPECT_EQ(fetch(reply["url"]), jpeg);
    // The photo changes only when setUserData names the picture.
    EXPECT_NE(service().userColumn(app(), user, "photo_url"), reply["url"].get<std::string>());

    EXPECT_EQ(error(post("command=savePhoto&appId=" + app() + "&deviceId=dev-p&clientType=1&build=2.5.7&image=")),
              "BAD_REQUEST");
    EXPECT_EQ(error(post("command=savePhoto&appId=" + app() + "&deviceId=dev-p&image=%%%")), "BAD_REQUEST");
    EXPECT_FALSE(fetch(service().baseUrl() + "/VelkoraServer2/images/999999.jpg"));
}

TEST_F(AccountCommands, AnAccountIsReachedOnlyFromADeviceSignedInToIt) {
    std::string ana = signUp("dev-ana", 1, "ana@example.com", kDigest)["userId"];
    ASSERT_FALSE(ana.empty());
    std::string anon = newUser();
    auto poll = [&](const std::string& user, const std::string& device) {
        return error(kit("command=update&clientType=1&build=2.5.7" + as(user) +
                         (device.empty() ? "" : "&deviceId=" + device) + "&wantMessages=1&changeNumber=0"));
    };
    auto event = [&](const std::string& user, const std::string& device) {
        return error(kit("command=reportEvent&clientType=1&build=2.5.7" + as(user) + "&deviceId=" + device +
                         "&type=adClick&logs=x"));
    };
    auto token = [&](const std::string& user, const std::string& device) {
        return error(kit("command=setDeviceToken&clientType=1&build=2.5.7" + as(user) + "&deviceId=" + device +
                         "&deviceToken=abc"));
    };
    struct Case {
        const char* what;
        std::function<std::string()> send;
        std::string error;
    };
    const Case before[] = {
        {"the account from its device", [&] { return poll(ana, "dev-ana"); }, ""},
        {"the account from another device", [&] { return poll(ana, "dev-eve"); }, "USER_NOT_FOUND"},
        {"the account naming no device", [&] { return poll(ana, ""); }, "USER_NOT_FOUND"},
        {"its events from another device", [&] { return event(ana, "dev-eve"); }, "USER_NOT_FOUND"},
        {"its push token from another device", [&] { return token(ana, "dev-eve"); }, "USER_NOT_FOUND"},
        {"its device acting for someone else", [&] { return poll(anon, "dev-ana"); }, "USER_NOT_FOUND"},
        {"its device taken by someone else's token", [&] { return token(anon, "dev-ana"); }, "USER_NOT_FOUND"},
        {"a user without an account from its device", [&] { return poll(anon, anon); }, ""},
    };
    for (const Case& c : before)
        EXPECT_EQ(c.send(), c.error) << c.what;
    EXPECT_EQ(service().events(app()).size(), 0u);

    // Signing in on a second device lets it in; signing out of the first shuts that one out.
    EXPECT_EQ(login("dev-two", 1, "ana@example.com", kDigest).value("userId", ""), ana);
    EXPECT_EQ(poll(ana, "dev-two"), "");
    EXPECT_EQ(kit("command=signOut&appId=" + app() + "&deviceId=dev-ana"), Json::object());
    EXPECT_EQ(poll(ana, "dev-ana"), "USER_NOT_FOUND");
}

TEST_F(AccountCommands, WrongPasswordsBeingCheckedHoldNoOtherRequest) {
    ASSERT_EQ(error(signUp("dev-1", 1, "ana@example.com", kDigest)), "");
    const std::string appData = "/VelkoraServer2/api?" + tagged("command=getAppData&appId=velkora-demo&changeNumber=0");
    auto other = client();
    other->set_keep_alive(true);
    ASSERT_TRUE(other->Get(appData.c_str())); // its connection is made before the log-ins start
    std::vector<std::string> logins;
    for (int i = 0; i < 6; ++i)
        logins.push_back("/VelkoraServer2/api?" +
                         tagged("command=login&appId=" + app() + "&deviceId=dev-" + std::to_string(i) +
                                "&method=1&value=ana%40example.com&password=00000000000000000000000000000000"));
    service().clearRequests();
    std::atomic<int> refused{0};
    std::vector<std::thread> threads;
    for (const std::string& login : logins)
        threads.emplace_back([&, login] {
            auto res = client()->Get(login.c_str());
            if (res && res->body.find("USER_NOT_FOUND") != std::string::npos) ++refused;
        });
    // Until every log-in reached the service; each then checks its password for a good while.
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (service().requestsFor("login").size() < logins.size() && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
    auto begun = std::chrono::steady_clock::now();
    auto res = other->Get(appData.c_str());
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
    int refusedBefore = refused.load();
    for (auto& t : threads)
        t.join();
    ASSERT_TRUE(res);
    EXPECT_NE(res->body.find("appData"), std::string::npos);
    EXPECT_EQ(refusedBefore, 0) << "a request waited for password checks";
    EXPECT_EQ(refused.load(), 6);
    std::printf("Another request while 6 wrong passwords are checked: served in %.0f ms\n", took * 1000);
}

TEST_F(AccountCommands, DeviceToken) {
    std::string user = newUser();
    std::string token = "ab+c/d==";
    std::string sent = esc(token); // the kit's escaping covers "+" and "="
    EXPECT_EQ(kit("command=setDeviceToken&clientType=1&build=2.5.7&appId=" + app() + "&deviceId=dev-t&userId=" + user +
                  "&deviceToken=" + sent),
              Json::object());
    EXPECT_EQ(error(kit("command=setDeviceToken&clientType=1&build=2.5.7&appId=" + app() +
                        "&deviceId=dev-t&userId=nobody&deviceToken=" + sent)),
              "USER_NOT_FOUND");
}

} // namespace
} // namespace velkora::service::testing
