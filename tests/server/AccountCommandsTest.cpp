// Sign-up, log-in and the other account commands against velkora-service: the texts that go out, what
// the agent keeps, who is answered, and the queue before the session starts.
#include <functional>

#include "CommandTextFixture.h"
#include "data/VelkoraUtils.h"
#include "platform/ui/Image.h"
#include "server/utils/VelkoraBase64.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

const std::string kDigest = VelkoraUtils::md5String("secret", true);

}  // namespace

class AccountCommandsTest : public CommandTextTest {};

TEST_F(AccountCommandsTest, RequestTextsCarryTheirParametersInOrderWithFreeTextEscaped) {
    startNewUser();
    // Sign-ups and log-ins change the session's user id: "{U}" stands for the id when the request goes out.
    const std::string u = "{U}", device = *agent().deviceId();
    auto caller = std::make_shared<Caller>();
    struct Case {
        const char* command;
        std::function<void()> call;
        std::string text;
    };
    const Case cases[] = {
        // No clientType or build; the address keeps "@" but not "+"; the profile after the password.
        {"signUp",
         [&] {
             VelkoraServerApi::signUp(Caller::of(caller), 1, std::string("a+b@x.org"), kDigest,
                                      userWith([](auto& p) { p.setFirstName(std::string("Zoë & Co")); }));
         },
         "command=signUp&appId=A&deviceId=" + device + "&method=1&value=a%2Bb@x.org&password=" + kDigest +
             "&firstName=Zo%C3%AB%20%26%20Co"},
        // A null password sends no parameter; every profile field in its order.
        {"signUp",
         [&] {
             VelkoraServerApi::signUp(Caller::of(caller), 2, std::string("1234"), std::nullopt, userWith([](auto& p) {
                                          p.setGender(std::string("f"));
                                          p.setCity(std::string("Río"));
                                          p.setUserPhotoUrl(std::string("https://x.org/p?a=1"));
                                          p.setLastName(std::string("L"));
                                      }));
         },
         "command=signUp&appId=A&deviceId=" + device +
             "&method=2&value=1234&lastName=L&photoUrl=https://x.org/p%3Fa%3D1&city=R%C3%ADo&gender=f"},
        // An empty password is sent empty.
        {"login", [&] { VelkoraServerApi::login(Caller::of(caller), 1, std::string("a+b@x.org"), std::string()); },
         "command=login&appId=A&deviceId=" + device + "&method=1&value=a%2Bb@x.org&password="},
        // A null value goes out empty, never as "(null)".
        {"login", [&] { VelkoraServerApi::login(Caller::of(caller), 3, std::nullopt, std::nullopt); },
         "command=login&appId=A&deviceId=" + device + "&method=3&value="},
        {"signOut", [&] { VelkoraServerApi::signOut(Caller::of(caller)); },
         "command=signOut&appId=A&deviceId=" + device},
        {"connectSocial",
         [&] {
             VelkoraServerApi::connectSocial(Caller::of(caller), 2, std::string("99"), true, false,
                                             userWith([](auto& p) { p.setCountry(std::string("NZ")); }));
         },
         "command=connectSocial&appId=A&userId=" + u +
             "&method=2&value=99&replaceUserData=1&overrideOtherUser=0&country=NZ"},
        {"disconnectSocial", [&] { VelkoraServerApi::disconnectSocial(Caller::of(caller), 3); },
         "command=disconnectSocial&appId=A&userId=" + u + "&method=3"},
        {"forgotPassword", [&] { VelkoraServerApi::forgotPassword(std::string("a+b&c@x.org")); },
         "command=forgotPassword&appId=A&deviceId=" + device + "&email=a%2Bb%26c@x.org&clientType=1&build=2.5.7"},
        {"changePassword", [&] { VelkoraServerApi::changePassword(std::string("p&q=r")); },
         "command=changePassword&appId=A&userId=" + u + "&password=p%26q%3Dr&clientType=1&build=2.5.7"},
        {"signUpBackComp", [&] { VelkoraServerApi::bcSignUp(Caller::of(caller), std::string("77"), std::nullopt); },
         "command=signUpBackComp&appId=A&userId=" + u + "&facebookId=77&twitterId=&clientType=1&build=2.5.7"},
        // "+" and "=" of the Base64 token escaped, "/" kept.
        {"setDeviceToken", [&] { VelkoraServerApi::setDeviceToken(std::string("ab+/cd==")); },
         "command=setDeviceToken&clientType=1&build=2.5.7&appId=A&deviceId=" + device + "&userId=" + u +
             "&deviceToken=ab%2B/cd%3D%3D"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        svc.clearRequests();
        c.call();
        std::string expected = c.text;
        for (size_t at; (at = expected.find(u)) != std::string::npos;) expected.replace(at, u.size(), me());
        EXPECT_EQ(lastText(c.command), expected);
    }
}

TEST_F(AccountCommandsTest, AnAddressWithAPlusSignsUpAndLogsInAndErrorsReachTheCallerWithTheServiceDomain) {
    startNewUser();
    std::string anonymous = me();
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::signUp(Caller::of(caller), 1, std::string("a+b@x.org"), kDigest, nullptr);
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
    ASSERT_TRUE(caller->answers[0].isString());
    std::string account = *caller->answers[0].asString();
    // The device's own user, named after the device, stays anonymous: signing out returns to it.
    ASSERT_EQ(anonymous, *agent().deviceId());
    EXPECT_NE(account, anonymous);
    EXPECT_EQ(svc.userColumn(kApp, account, "email"), "a+b@x.org");

    struct Case {
        std::function<void()> call;
        const char* domain;  // empty: answered with the account
    };
    const Case cases[] = {
        {[&] { VelkoraServerApi::login(Caller::of(caller), 1, std::string("A+B@x.org"), kDigest); }, ""},
        {[&] { VelkoraServerApi::login(Caller::of(caller), 1, std::string("a+b@x.org"), std::string("0")); },
         "USER_NOT_FOUND"},
        {[&] { VelkoraServerApi::login(Caller::of(caller), 1, std::string("a b@x.org"), kDigest); }, "USER_NOT_FOUND"},
        {[&] { VelkoraServerApi::signUp(Caller::of(caller), 1, std::string("a+b@x.org"), kDigest, nullptr); },
         "USER_ALREADY_SIGNED_UP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.domain);
        caller->answers.clear();
        caller->errors.clear();
        // Each try a moment later: the same request text with the same time stamp is a re-send, which
        // the service answers as it answered the first.
        loop().advance(1);
        c.call();
        ASSERT_TRUE(waitFor([&] { return caller->answers.size() + caller->errors.size() == 1; }));
        ASSERT_TRUE(settle());
        if (*c.domain) {
            ASSERT_EQ(caller->errors.size(), 1u);
            EXPECT_EQ(caller->errors[0]->domain, c.domain);
        } else {
            ASSERT_EQ(caller->answers.size(), 1u);
            EXPECT_EQ(caller->answers[0], Value(account));
        }
    }
    EXPECT_EQ(agent().userId(), std::optional<std::string>(account));
}

TEST_F(AccountCommandsTest, SignInRepliesReplaceTheUserIdOnlyWithAUsableOne) {
    startNewUser();
    std::string before = me();
    auto caller = std::make_shared<Caller>();
    struct Case {
        const char* body;
        bool signUp;
        Value answer;
        std::string userId;  // the agent's afterwards
    };
    const Case cases[] = {
        {R"({"userId":"U-9"})", true, Value("U-9"), "U-9"},
        {R"({})", false, Value(), "U-9"},
        {R"({"userId":null})", true, Value(), "U-9"},
        {R"({"userId":""})", false, Value(""), "U-9"},
        {R"({"userId":"U-10"})", false, Value("U-10"), "U-10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        caller->answers.clear();
        const char* command = c.signUp ? "signUp" : "login";
        svc.addFault({command, service::Fault::Kind::NotJson, c.body});
        if (c.signUp)
            VelkoraServerApi::signUp(Caller::of(caller), 2, std::string("5"), std::nullopt, nullptr);
        else
            VelkoraServerApi::login(Caller::of(caller), 2, std::string("5"), std::nullopt);
        ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
        EXPECT_EQ(caller->answers[0], c.answer);
        EXPECT_EQ(agent().userId(), std::optional<std::string>(c.userId));
    }
    EXPECT_NE(before, "U-9");

    // With no user id to replace, the agent keeps none and the caller still gets the new one.
    agent().setUserId(std::string());
    caller->answers.clear();
    svc.addFault({"signUp", service::Fault::Kind::NotJson, R"({"userId":"U-11"})"});
    VelkoraServerApi::signUp(Caller::of(caller), 2, std::string("5"), std::nullopt, nullptr);
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
    EXPECT_EQ(caller->answers[0], Value("U-11"));
    EXPECT_EQ(agent().userId(), std::optional<std::string>(std::string()));
}

TEST_F(AccountCommandsTest, PhotoIsPostedToTheBareEndpointAsUrlSafeBase64Jpeg) {
    startNewUser();
    auto image = ui::Image::create(8, 8);
    ASSERT_TRUE(image);
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::uploadUserImage(Caller::of(caller), image);
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
    auto r = svc.requestsFor("savePhoto").at(0);
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.path, "/VelkoraServer2/api");
    EXPECT_EQ(r.query, "");
    std::string head = "command=savePhoto&appId=A&deviceId=" + me() + "&clientType=1&build=2.5.7&image=";
    ASSERT_EQ(r.body.substr(0, head.size()), head);
    // The picture, then the send's time and number (no CRC).
    size_t tail = r.body.find("&ts=", head.size());
    ASSERT_NE(tail, std::string::npos);
    EXPECT_NE(r.body.find("&sendId=", tail), std::string::npos);
    std::string encoded = r.body.substr(head.size(), tail - head.size());
    EXPECT_EQ(encoded.find_first_of("+/=&\r\n"), std::string::npos) << "no wrapping, the URL-safe alphabet";
    auto jpeg = dataWithBase64EncodedString(encoded);
    ASSERT_TRUE(jpeg && jpeg->size() > 2);
    EXPECT_EQ((*jpeg)[0], 0xFF);
    EXPECT_EQ((*jpeg)[1], 0xD8);
    ASSERT_TRUE(caller->answers[0].isString());
    // The service only stores the picture; it becomes the user's photo when setUserData names it.
    EXPECT_EQ(caller->answers[0].asString()->rfind(svc.baseUrl(), 0), 0u) << *caller->answers[0].asString();
    EXPECT_NE(*caller->answers[0].asString(), svc.userColumn(kApp, me(), "photo_url"));
}

TEST_F(AccountCommandsTest, DeviceTokenIsSentOnceAcceptedAndAgainAfterAFailure) {
    VelkoraAgentInternal::instance().initUserInfo(kApp);
    auto info = VelkoraAgentInternal::instance().getUserInfo();
    info->setDeviceToken(std::string("stored"));
    // Before the session: the stored token is not even queued, a new one waits.
    VelkoraServerApi::setDeviceToken(std::string("stored"));
    VelkoraServerApi::setDeviceToken(std::string("T1"));
    EXPECT_EQ(agent().pendingRequests().size(), 1u);
    startNewUser();
    ASSERT_TRUE(waitForRequests("setDeviceToken", 1));
    EXPECT_EQ(param(svc.requestsFor("setDeviceToken")[0], "deviceToken"), "T1");
    EXPECT_EQ(info->deviceToken(), std::optional<std::string>("T1"));

    VelkoraServerApi::setDeviceToken(std::string("T1"));  // accepted already: nothing goes out
    svc.addFault({"setDeviceToken", service::Fault::Kind::ErrorCode, "INTERNAL_ERROR"});
    VelkoraServerApi::setDeviceToken(std::string("T2"));
    ASSERT_TRUE(waitForRequests("setDeviceToken", 2));
    EXPECT_EQ(info->deviceToken(), std::optional<std::string>("T1"));
    VelkoraServerApi::setDeviceToken(std::string("T2"));
    ASSERT_TRUE(waitForRequests("setDeviceToken", 3));
    EXPECT_EQ(info->deviceToken(), std::optional<std::string>("T2"));
    EXPECT_EQ(count("setDeviceToken"), 3u);
}

TEST_F(AccountCommandsTest, CallsMadeBeforeTheSessionGoOutWithTheirArgumentsAfterIt) {
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::login(Caller::of(caller), 1, std::string("q@x.org"), std::string(""));
    VelkoraServerApi::connectSocial(Caller::of(caller), 3, std::string("42"), false, true,
                                    userWith([](auto& p) { p.setFirstName(std::string("Q")); }));
    VelkoraServerApi::forgotPassword(std::string("q@x.org"));
    VelkoraServerApi::bcSignUp(Caller::of(caller), std::nullopt, std::string("8"));
    EXPECT_EQ(count("login") + count("connectSocial") + count("forgotPassword") + count("signUpBackComp"), 0u);
    startNewUser();
    std::string u = me();
    ASSERT_TRUE(waitForRequests("signUpBackComp", 1));
    EXPECT_EQ(untagged(svc.requestsFor("login").at(0)),
              "command=login&appId=A&deviceId=" + u + "&method=1&value=q@x.org&password=");
    EXPECT_EQ(untagged(svc.requestsFor("connectSocial").at(0)),
              "command=connectSocial&appId=A&userId=" + u +
                  "&method=3&value=42&replaceUserData=0&overrideOtherUser=1&firstName=Q");
    EXPECT_EQ(param(svc.requestsFor("forgotPassword").at(0), "email"), "q@x.org");
    EXPECT_EQ(param(svc.requestsFor("signUpBackComp").at(0), "twitterId"), "8");
    // login fails (no such account) and answers the error; the older sign-up answers its dictionary.
    ASSERT_TRUE(waitFor([&] { return caller->errors.size() == 1 && caller->answers.size() == 2; }));
    EXPECT_EQ(caller->errors[0]->domain, "USER_NOT_FOUND");
}

TEST_F(AccountCommandsTest, OlderSignUpAnswersWithOneKeyAndItsFailureReachesTheErrorFunction) {
    startNewUser();
    auto caller = std::make_shared<Caller>();
    struct Case {
        std::string body;
        Value answer;
    };
    foundation::Dictionary device{{"deviceId", Value("D")}}, user{{"userId", Value("U")}};
    const Case cases[] = {
        {R"({"userId":"U","deviceId":"D"})", Value(device)},
        {R"({"userId":"U"})", Value(user)},
        {R"({"userId":null,"deviceId":null})", Value(foundation::Dictionary())},
        {R"({"error":"BAD_REQUEST"})", Value()}, // the error function hears it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        caller->answers.clear();
        caller->errors.clear();
        svc.clearRequests();
        svc.addFault({"signUpBackComp", service::Fault::Kind::NotJson, c.body});
        VelkoraServerApi::bcSignUp(Caller::of(caller), std::string("1"), std::string("2"));
        ASSERT_TRUE(waitForRequests("signUpBackComp", 1));
        if (c.answer.isNull()) {
            EXPECT_TRUE(caller->answers.empty());
            ASSERT_EQ(caller->errors.size(), 1u);
            EXPECT_EQ(caller->errors[0]->domain, "BAD_REQUEST");
        } else {
            EXPECT_TRUE(caller->errors.empty());
            ASSERT_EQ(caller->answers.size(), 1u);
            EXPECT_EQ(caller->answers[0], c.answer);
        }
    }
}

TEST_F(AccountCommandsTest, MissingIdentitySendsNothingAndSaysWhatIsMissing) {
    auto w = VelkoraProtocolWrapper::create(&agent());
    const std::optional<std::string> none, id = std::string("X");
    struct Case {
        std::function<bool()> call;
        const char* line;
    };
    const Case cases[] = {
        {[&] { return w->signUp(id, none, 1, id, id, nullptr); }, "Velkora - signUp: AppId or DeviceId not set"},
        {[&] { return w->signOut(none, id); }, "Velkora - signOut: AppId or DeviceId not set"},
        {[&] { return w->login(id, std::string(), 1, id, id); }, "Velkora - login: AppId or DeviceId not set"},
        {[&] { return w->connectSocial(id, none, 2, id, false, false, nullptr); },
         "Velkora - connectSocial: AppId or UserId not set"},
        {[&] { return w->disconnectSocial(none, id, 2); }, "Velkora - disconnectSocial: AppId or UserId not set"},
        {[&] { return w->uploadUserImage(id, id, nullptr); },
         "Velkora - uploadUserImage: AppId, DeviceId or Image not set"},
        {[&] { return w->forgotPassword(id, none, id); }, "Velkora - forgotPassword: AppId or UserId not set"},
        {[&] { return w->changePassword(id, none, id); }, "Velkora - changePassword: AppId or UserId not set"},
        {[&] { return w->bcSignUp(none, id, id, id); }, "Velkora - bcSignUp: AppId or UserId not set"},
        {[&] { return w->setDeviceToken(id, id, none, id); }, "Velkora - setDeviceToken: AppId or UserId not set"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(c.call()) << c.line;
        EXPECT_TRUE(logged(c.line)) << c.line;
    }
    EXPECT_FALSE(w->command());
}
