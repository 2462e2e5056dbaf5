// Passwords leave the device only for an https service, and never reach a log line, the record or the
// user defaults.
#include <gtest/gtest.h>

#include "data/VelkoraUtils.h"
#include "social/VelkoraUserSignUpHelper.h"
#include "platform/foundation/FileIO.h"
#include "server/ServerClientFixture.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

struct Asker {
    std::vector<Value> answers;
    std::vector<foundation::ErrorPtr> errors;
    void answered(const Value& v) { answers.push_back(v); }
    void failed(const foundation::ErrorPtr& e) { errors.push_back(e); }
};

class PasswordsOnTheWireTest : public ServerClientTest {
protected:
    const std::string digest_ = VelkoraUtils::md5String("secret1", true);
    Value details(const char* email) {
        return Value(
            foundation::Dictionary{{"name", Value("Mary")}, {"email", Value(email)}, {"password", Value(digest_)}});
    }
    bool anyTraceOfTheDigest() const {
        for (const auto& line : capture_->lines())
            if (line.find(digest_) != std::string::npos) return true;
        const std::string docs = foundation::Paths::documents();
        for (const char* file : {VelkoraAgentInternal::kUserInfoFile, "velkora.userdefaults.json"})
            if (foundation::readFile(docs + "/" + file).value_or("").find(digest_) != std::string::npos) return true;
        return false;
    }
};

TEST_F(PasswordsOnTheWireTest, OverPlainHttpNoPasswordBearingCommandIsSent) {
    startNewUser();
    const std::string https = svc.endpoint();
    VelkoraServerEndpoint::setServer("http" + https.substr(5));
    auto asker = std::make_shared<Asker>();
    auto helper = VelkoraUserSignUpHelper::create();
    struct Case {
        const char* command;
        int32_t connectType;
    };
    for (const Case c : {Case{"signUp", 0}, Case{"login", 1}}) {
        asker->errors.clear();
        helper->connectServerWithDetails(details("mary@x.org"), c.connectType, 1, false, false,
                                         VelkoraCallback(asker, &Asker::answered, &Asker::failed));
        ASSERT_TRUE(waitFor([&] { return !asker->errors.empty(); })) << c.command;
        ASSERT_TRUE(asker->errors[0]);
        EXPECT_EQ(asker->errors[0]->domain, "INTERNAL_ERROR") << c.command;
        EXPECT_TRUE(logged(std::string("Velkora (E) - ") + c.command)) << c.command;
    }
    VelkoraServerApi::changePassword(digest_);
    loop().advance(1);
    settle();
    EXPECT_TRUE(logged("Velkora (E) - changePassword"));
    EXPECT_EQ(count("signUp") + count("login") + count("changePassword"), 0u);
    EXPECT_TRUE(asker->answers.empty());
}

TEST_F(PasswordsOnTheWireTest, NoLogLineRecordOrDefaultsHoldTheDigest) {
    startNewUser();
    auto asker = std::make_shared<Asker>();
    auto helper = VelkoraUserSignUpHelper::create();
    helper->connectServerWithDetails(details("mary@x.org"), 0, 1, false, false,
                                     VelkoraCallback(asker, &Asker::answered, &Asker::failed));
    ASSERT_TRUE(waitFor([&] { return !asker->answers.empty(); }) && settle());
    helper->connectServerWithDetails(details("mary@x.org"), 1, 1, false, false,
                                     VelkoraCallback(asker, &Asker::answered, &Asker::failed));
    ASSERT_TRUE(waitFor([&] { return asker->answers.size() == 2; }) && settle());
    VelkoraServerApi::changePassword(digest_);
    ASSERT_TRUE(waitForRequests("changePassword", 1));
    EXPECT_FALSE(anyTraceOfTheDigest());
}

} // namespace
