// The connect helper against velkora-service: the fallback between log-in and sign-up, what the record
// keeps on success and failure, the refusals, and the local half of signing out.
#include <gtest/gtest.h>

#include "data/VelkoraUtils.h"
#include "social/VelkoraUserSignUpHelper.h"
#include "server/ServerClientFixture.h"
#include "server/VelkoraMessagesDelegate.h"
#include "data/VelkoraAppData.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

// What the caller of the helper heard.
struct Asker {
    std::vector<Value> answers;
    std::vector<foundation::ErrorPtr> errors;
    void answered(const Value& v) { answers.push_back(v); }
    void failed(const foundation::ErrorPtr& e) { errors.push_back(e); }
    size_t heard() const { return answers.size() + errors.size(); }
};

Value twitterDetails(const std::string& idText, const std::string& name) {
    return Value(foundation::Dictionary{{"id", Value(foundation::Number(idText))},
                                        {"name", Value(name)},
                                        {"screen_name", Value("tw")},
                                        {"location", Value("Oslo")}});
}

Value emailDetails(const std::string& email, const std::string& typed) {
    return Value(foundation::Dictionary{
        {"name", Value("Mary")}, {"email", Value(email)}, {"password", Value(VelkoraUtils::md5String(typed, true))}});
}

class SignUpHelperTest : public ServerClientTest {
protected:
    void SetUp() override {
        ServerClientTest::SetUp();
        startNewUser();
        auto appData = std::make_shared<VelkoraAppData>();
        appData->setAutoPostJoined(true);
        VelkoraAgentInternal::instance().setAppData(appData);
        helper_ = VelkoraUserSignUpHelper::create();
        asker_ = std::make_shared<Asker>();
        for (const char* name : {"VelkoraEmailConnectedNotification", "VelkoraFacebookConnectedNotification",
                                 "VelkoraTwitterConnectedNotification", "VelkoraUserSigninChanged"})
            observers_.emplace_back(name, nullptr, [this](const foundation::Notification& n) { posted_.push_back(n); });
    }
    void TearDown() override {
        observers_.clear();
        helper_.reset();
        ServerClientTest::TearDown();
    }
    VelkoraCallback callback() { return VelkoraCallback(asker_, &Asker::answered, &Asker::failed); }
    VelkoraUserInfo& info() { return *VelkoraAgentInternal::instance().userInfo(); }
    bool answered() {
        return waitFor([&] { return asker_->heard() > 0; }) && settle();
    }

    std::shared_ptr<VelkoraUserSignUpHelper> helper_;
    std::shared_ptr<Asker> asker_;
    std::vector<foundation::NotificationObserver> observers_;
    std::vector<foundation::Notification> posted_;
};

TEST_F(SignUpHelperTest, UnknownTwitterIdentityLogsInThenSignsUpWithoutPasswordAndBecomesTheUser) {
    const std::string bigId = "9007199254740993"; // above 2^53: a double would change it
    info().setTwitterId(9007199254740993LL);
    helper_->connectServerWithDetails(twitterDetails(bigId, "Tove Ek"), 1, 3, false, true, callback());
    ASSERT_TRUE(answered());

    ASSERT_EQ(asker_->errors.size(), 0u);
    ASSERT_EQ(asker_->answers.size(), 1u);
    const std::string userId = asker_->answers[0].textOr("");
    EXPECT_FALSE(userId.empty());
    EXPECT_NE(userId, *info().deviceId()) << "the account is a user of its own";
    ASSERT_EQ(count("login"), 1u);
    ASSERT_EQ(count("signUp"), 1u);
    EXPECT_EQ(param(svc.requestsFor("login")[0], "value"), bigId);
    EXPECT_EQ(param(svc.requestsFor("signUp")[0], "value"), bigId);
    EXPECT_EQ(param(svc.requestsFor("signUp")[0], "password"), "<absent>");
    EXPECT_TRUE(logged("Velkora - User is unknown, trying to sign up"));
    EXPECT_EQ(info().userInfoSource(), 2);
    EXPECT_EQ(info().userId(), userId);
    EXPECT_TRUE(info().joinedFeedSent());
    EXPECT_TRUE(waitForRequests("sendJoinedFeed", 1));
    ASSERT_EQ(posted_.size(), 1u);
    EXPECT_EQ(posted_[0].name, "VelkoraTwitterConnectedNotification");
    EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->twitterId(), 9007199254740993LL);
    EXPECT_FALSE(helper_->isConnecting());
}

TEST_F(SignUpHelperTest, WrongEmailPasswordFailsWithoutSwitchingAndKeepsTheSignedInAddress) {
    helper_->connectServerWithDetails(emailDetails("mary@x.org", "secret1"), 0, 1, false, false, callback());
    ASSERT_TRUE(answered());
    ASSERT_EQ(asker_->answers.size(), 1u);
    ASSERT_EQ(info().emailId(), std::string("mary@x.org"));
    ASSERT_EQ(info().userInfoSource(), 3);
    asker_->answers.clear();
    posted_.clear();
    svc.clearRequests();

    helper_->connectServerWithDetails(emailDetails("mary@x.org", "wrong!"), 1, 1, false, false, callback());
    ASSERT_TRUE(answered());
    ASSERT_EQ(asker_->errors.size(), 1u);
    ASSERT_TRUE(asker_->errors[0]);
    EXPECT_EQ(asker_->errors[0]->domain, "USER_NOT_FOUND");
    EXPECT_EQ(asker_->answers.size(), 0u);
    EXPECT_EQ(count("signUp"), 0u) << "no switch for e-mail";
    EXPECT_EQ(info().emailId(), std::string("mary@x.org")) << "a failed log-in keeps the identity held before";
    EXPECT_EQ(info().userInfoSource(), 3);
    EXPECT_TRUE(posted_.empty());
    EXPECT_EQ(count("sendJoinedFeed"), 0u) << "the joined item goes out once per record";
}

TEST_F(SignUpHelperTest, UnusableDetailsAndASecondCallAreRefusedOnceAndSendNothing) {
    struct Case {
        const char* what;
        Value details;
        int32_t method;
    };
    const Case cases[] = {
        {"Twitter without an id", Value(foundation::Dictionary{{"name", Value("x")}}), 3},
        {"Facebook id of zero", Value(foundation::Dictionary{{"id", Value(0)}}), 2},
        {"Facebook id as a fraction", Value(foundation::Dictionary{{"id", Value(foundation::Number("12.5"))}}), 2},
        {"e-mail without an address", Value(foundation::Dictionary{{"password", Value("AB")}}), 1},
    };
    info().setTwitterId(77); // a stale id the record still holds must not be sent
    for (const auto& c : cases) {
        auto asker = std::make_shared<Asker>();
        helper_->connectServerWithDetails(c.details, 1, c.method, false, true,
                                          VelkoraCallback(asker, &Asker::answered, &Asker::failed));
        ASSERT_EQ(asker->errors.size(), 1u) << c.what;
        ASSERT_TRUE(asker->errors[0]) << c.what;
        EXPECT_EQ(asker->errors[0]->domain, "INTERNAL_ERROR") << c.what;
        EXPECT_FALSE(helper_->isConnecting()) << c.what;
    }
    EXPECT_EQ(count("login") + count("signUp") + count("connectSocial"), 0u);

    helper_->connectServerWithDetails(twitterDetails("4242", "A"), 1, 3, false, true, callback());
    auto second = std::make_shared<Asker>();
    helper_->connectServerWithDetails(twitterDetails("4343", "B"), 1, 3, false, true,
                                      VelkoraCallback(second, &Asker::answered, &Asker::failed));
    ASSERT_EQ(second->errors.size(), 1u);
    EXPECT_EQ(second->errors[0]->domain, "INTERNAL_ERROR");
    ASSERT_TRUE(answered());
    EXPECT_EQ(asker_->answers.size(), 1u) << "the first conversation still ends once";
    EXPECT_EQ(param(svc.requestsFor("login")[0], "value"), "4242");
    EXPECT_EQ(count("login"), 1u);
}

TEST_F(SignUpHelperTest, SigningOutOfEmailDropsEveryIdentityAndReturnsToTheDeviceUser) {
    info().setTwitterId(55);
    helper_->connectServerWithDetails(twitterDetails("55", "Tove"), 0, 3, false, true, callback());
    ASSERT_TRUE(answered());
    ASSERT_EQ(asker_->answers.size(), 1u);
    const std::string account = asker_->answers[0].textOr("");
    info().setEmailId(std::string("t@x.org"));
    info().setEmailName(std::string("Tove"));
    info().setFbId(66);
    info().setFbFirstName(std::string("T"));
    info().setTwitterAccountIdentifier(std::string("acct-1"));
    posted_.clear();

    helper_->userSignedOut(3);
    const std::string device = *info().deviceId();
    EXPECT_EQ(info().twitterId(), 0);
    EXPECT_EQ(info().fbId(), 0);
    EXPECT_EQ(info().emailId(), std::string());
    EXPECT_EQ(info().emailName(), std::nullopt);
    EXPECT_EQ(info().fbFirstName(), std::nullopt);
    EXPECT_EQ(info().twitterAccountIdentifier(), std::nullopt);
    EXPECT_EQ(info().userInfoSource(), 0);
    EXPECT_EQ(info().userId(), device);
    ASSERT_EQ(posted_.size(), 1u);
    EXPECT_EQ(posted_[0].name, "VelkoraUserSigninChanged");
    EXPECT_EQ(posted_[0].userInfo["socialService"].textOr(""), "Email");
    EXPECT_EQ(posted_[0].userInfo["loginState"].int64Or(-1), 0);
    EXPECT_EQ(posted_[0].userInfo["userId"].textOr(""), device);

    // The service answers the device's own user, not the account, once the session asks again.
    svc.clearRequests();
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitForRequests("update", 1));
    EXPECT_EQ(param(svc.requestsFor("update")[0], "userId"), device);
    EXPECT_NE(device, account);
}

Value facebookDetails(const std::string& idText, const std::string& first) {
    return Value(foundation::Dictionary{{"id", Value(idText)},
                                        {"first_name", Value(first)},
                                        {"last_name", Value("Lund")},
                                        {"gender", Value("female")}});
}

TEST_F(SignUpHelperTest, KnownFacebookIdentitySigningUpLogsInAndTheJoinedItemGoesOnFirstSuccessOnly) {
    const int64_t fbId = 100009000000555;
    const std::string account = svc.createUser(kApp, [&] {
        service::UserFields f;
        f.firstName = "Ines";
        f.facebookId = fbId;
        f.signedUp = true;
        return f;
    }());
    info().setFbId(fbId); // the connector stored it before handing the details on
    helper_->connectServerWithDetails(facebookDetails(std::to_string(fbId), "Ines"), 0, 2, false, true, callback());
    ASSERT_TRUE(answered());
    ASSERT_EQ(asker_->errors.size(), 0u);
    ASSERT_EQ(asker_->answers.size(), 1u);
    EXPECT_EQ(asker_->answers[0].textOr(""), account) << "the account that holds the identity";
    EXPECT_EQ(count("signUp"), 1u);
    EXPECT_EQ(count("login"), 1u);
    EXPECT_EQ(param(svc.requestsFor("login")[0], "value"), std::to_string(fbId));
    EXPECT_TRUE(logged("Velkora - User already signed up, trying to login"));
    EXPECT_EQ(info().userInfoSource(), 1);
    EXPECT_EQ(info().userId(), account);
    ASSERT_EQ(posted_.size(), 1u);
    EXPECT_EQ(posted_[0].name, "VelkoraFacebookConnectedNotification");
    EXPECT_TRUE(waitForRequests("sendJoinedFeed", 1));

    // Signed out and in again: the joined item is the record's, sent once whatever the sign-outs.
    helper_->userSignedOut(1);
    asker_->answers.clear();
    info().setFbId(fbId);
    helper_->connectServerWithDetails(facebookDetails(std::to_string(fbId), "Ines"), 1, 2, false, true, callback());
    ASSERT_TRUE(answered());
    ASSERT_EQ(asker_->answers.size(), 1u);
    EXPECT_EQ(asker_->answers[0].textOr(""), account);
    EXPECT_EQ(count("sendJoinedFeed"), 1u);
}

TEST_F(SignUpHelperTest, AJustUidConnectAttachesTheIdentityButKeepsTheSourceAndTheProfile) {
    helper_->connectServerWithDetails(emailDetails("rut@x.org", "secret1"), 0, 1, false, false, callback());
    ASSERT_TRUE(answered());
    ASSERT_EQ(asker_->answers.size(), 1u);
    const std::string account = asker_->answers[0].textOr("");
    ASSERT_EQ(info().userInfoSource(), 3);
    // The session takes the account's data before the connect, as it does after any log-in.
    ASSERT_TRUE(waitFor([&] {
        auto me = VelkoraAgentInternal::instance().velkoraUser();
        return me && me->userId() == account;
    }));
    settle();
    asker_->answers.clear();
    posted_.clear();

    info().setTwitterId(4711);
    helper_->connectServerWithDetails(twitterDetails("4711", "Somebody Else"), 0, 3, true, true, callback());
    ASSERT_TRUE(answered());
    ASSERT_EQ(asker_->errors.size(), 0u);
    ASSERT_EQ(asker_->answers.size(), 1u);
    EXPECT_TRUE(asker_->answers[0].isNull()) << "a social connect answers null";
    ASSERT_EQ(count("connectSocial"), 1u);
    EXPECT_EQ(param(svc.requestsFor("connectSocial")[0], "replaceUserData"), "0");
    EXPECT_EQ(info().userInfoSource(), 3) << "justUid keeps the source";
    EXPECT_EQ(info().twitterId(), 4711);
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    ASSERT_TRUE(me);
    EXPECT_EQ(me->twitterId(), 4711);
    EXPECT_EQ(me->firstName(), std::string("Mary")) << "the profile stays the account's";
    ASSERT_EQ(posted_.size(), 1u);
    EXPECT_EQ(posted_[0].name, "VelkoraTwitterConnectedNotification");
    EXPECT_EQ(svc.userColumn(kApp, account, "twitter_id"), "4711");
}

struct Messages : VelkoraMessagesDelegate {
    size_t received = 0;
    Messages() {
        gotMessages = [this](const std::optional<std::vector<VelkoraMessagePtr>>& m) {
            if (m) received += m->size();
        };
    }
};

TEST_F(SignUpHelperTest, SigningOutOfEachSourceClearsItsIdentitiesAndTellsThreeKeys) {
    struct Case {
        int32_t source;
        const char* service;
        bool keepsFacebook, keepsTwitter, keepsEmail;
        int32_t sourceAfter;
    };
    const Case cases[] = {
        {1, "Facebook", false, true, true, 2},
        {2, "Twitter", true, false, true, 1},
        {3, "Email", false, false, false, 0},
    };
    const std::string device = *info().deviceId();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.service);
        info().setFbId(66);
        info().setFbFirstName(std::string("F"));
        info().setFbPhoto(std::string("fb-photo"));
        info().setTwitterId(55);
        info().setTwitterName(std::string("T"));
        info().setTwitterAccountIdentifier(std::string("acct-1"));
        info().setEmailId(std::string("t@x.org"));
        info().setEmailName(std::string("E"));
        info().setUserInfoSource(c.source == 1 ? 1 : c.source == 2 ? 2 : 3);
        posted_.clear();

        helper_->userSignedOut(c.source);
        EXPECT_EQ(info().fbId() != 0, c.keepsFacebook);
        EXPECT_EQ(info().fbFirstName().has_value(), c.keepsFacebook);
        EXPECT_EQ(info().fbPhoto().has_value(), c.keepsFacebook);
        EXPECT_EQ(info().twitterId() != 0, c.keepsTwitter);
        EXPECT_EQ(info().twitterName().has_value(), c.keepsTwitter);
        EXPECT_EQ(info().twitterAccountIdentifier().has_value(), c.keepsTwitter);
        EXPECT_EQ(info().emailId() == std::string("t@x.org"), c.keepsEmail);
        EXPECT_EQ(info().userInfoSource(), c.sourceAfter);
        EXPECT_EQ(info().userId(), device);
        ASSERT_EQ(posted_.size(), 1u);
        EXPECT_EQ(posted_[0].name, "VelkoraUserSigninChanged");
        EXPECT_EQ(posted_[0].object, nullptr);
        // Signing out names no account: the account identifier is only told on connecting.
        ASSERT_TRUE(posted_[0].userInfo.asDictionary());
        EXPECT_EQ(posted_[0].userInfo.asDictionary()->size(), 3u);
        EXPECT_EQ(posted_[0].userInfo["socialService"].textOr("?"), c.service);
        EXPECT_EQ(posted_[0].userInfo["loginState"].int64Or(-1), 0);
        EXPECT_EQ(posted_[0].userInfo["userId"].textOr(""), device);
    }

    // The service knows the device as its anonymous user again, and its messages reach it.
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::getUserData(Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
    ASSERT_EQ(caller->answers.size(), 1u);
    EXPECT_EQ(param(svc.requestsFor("getUserData").back(), "userId"), device);
    auto messages = std::make_shared<Messages>();
    VelkoraServerApi::setMessagesDelegate(messages);
    const std::string other = svc.createUser(kApp);
    svc.sendMessage(kApp, other, device, "still here?");
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitFor([&] { return messages->received > 0; }));
    EXPECT_EQ(param(svc.requestsFor("update").back(), "userId"), device);
}

TEST_F(SignUpHelperTest, ASuccessReplyWithoutAUserIdFailsOnceAndKeepsTheRecord) {
    info().setTwitterId(4242);
    svc.addFault({"login", service::Fault::Kind::Answer, "{}", 200, 0, 1});
    helper_->connectServerWithDetails(twitterDetails("4242", "Tove"), 1, 3, false, false, callback());
    ASSERT_TRUE(answered());
    ASSERT_EQ(asker_->answers.size(), 0u);
    ASSERT_EQ(asker_->errors.size(), 1u);
    ASSERT_TRUE(asker_->errors[0]);
    EXPECT_EQ(asker_->errors[0]->domain, "INTERNAL_ERROR");
    EXPECT_TRUE(logged("Velkora - User signed up with nil user Id ? Something is wrong ..."));
    EXPECT_EQ(info().userInfoSource(), 0);
    EXPECT_EQ(info().userId(), info().deviceId()) << "still the device's own user";
    EXPECT_TRUE(posted_.empty());
    EXPECT_FALSE(helper_->isConnecting());
}

} // namespace
