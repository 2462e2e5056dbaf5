// Every failure of a command reaches a caller that gave an error function, once, whatever the command
// group and whatever went wrong; a caller without one hears nothing.
#include "CommandTestSupport.h"
#include "data/VelkoraUsersRepository.h"

using namespace velkora;
using namespace velkora::testing;
using service::Fault;

namespace {

struct Group {
    const char* name;
    const char* command; // as the service logs it
    std::function<void(VelkoraCallback)> call;
};

const Group kGroups[] = {
    {"accounts", "login",
     [](VelkoraCallback c) { VelkoraServerApi::login(std::move(c), 1, std::string("a@b.c"), std::string("AB")); }},
    {"people", "getSuggestions", [](VelkoraCallback c) { VelkoraServerApi::getSuggestedUsers(std::move(c), true, 0); }},
    {"messages", "getChats", [](VelkoraCallback c) { VelkoraServerApi::getChats(std::move(c)); }},
    {"chat rooms", "getTopics", [](VelkoraCallback c) { VelkoraServerApi::getChatRoomsTopics(std::move(c)); }},
    {"feed", "getFeed2", [](VelkoraCallback c) { VelkoraServerApi::getFeed(std::move(c)); }},
    {"stickers", "getStickerStore", [](VelkoraCallback c) { VelkoraServerApi::getStickerStore(std::move(c)); }},
    {"quizzes", "getQuizzes", [](VelkoraCallback c) { VelkoraServerApi::getQuizzes(std::move(c)); }},
    {"deals", "getApps", [](VelkoraCallback c) { VelkoraServerApi::getAppDeals(std::move(c)); }},
};

struct FaultCase {
    const char* name;
    Fault::Kind kind;
    const char* value;
    const char* domain; // of the error the caller hears; empty: the platform's own
};

const FaultCase kFaults[] = {
    {"HTTP 500", Fault::Kind::HttpStatus, "", "UrlFetcher wrong responseCode"},
    {"not JSON", Fault::Kind::NotJson, "", "Internal error"},
    {"error reply", Fault::Kind::ErrorCode, "SERVICE_DOWN", "SERVICE_DOWN"},
    {"dropped connection", Fault::Kind::Drop, "", ""},
};

class FailureReachesCallerTest : public CommandTest {
protected:
    // Runs the command until the service has seen every attempt and nothing is in flight. A dropped
    // connection is sent again five times, a second apart, before the failure is final.
    void runThrough(const char* command) {
        const std::string retrying = "Velkora - URLFetcher: Connection Failed";
        for (int attempt = 1; attempt <= 6; ++attempt) {
            ASSERT_TRUE(waitFor([&] {
                return agent().workingProtocolsWrappers().empty() ||
                       capture_->count(retrying) >= static_cast<size_t>(attempt);
            }));
            if (agent().workingProtocolsWrappers().empty()) break;
            loop().advance(1.0);
        }
        ASSERT_TRUE(settle());
        EXPECT_GE(count(command), 1u);
    }
};

} // namespace

TEST_F(FailureReachesCallerTest, EveryGroupAndEveryFaultFailsOnceOrNotAtAll) {
    startNewUser();
    VelkoraServerApi::pause(); // only the commands under test go out
    for (const Group& g : kGroups) {
        for (const FaultCase& f : kFaults) {
            SCOPED_TRACE(std::string(g.name) + " / " + f.name);
            for (bool withErrorFunction : {true, false}) {
                svc.clearRequests();
                svc.clearFaults();
                capture_->clear();
                svc.addFault(Fault{g.command, f.kind, f.value, 500, 0, -1});
                auto caller = std::make_shared<Caller>();
                g.call(withErrorFunction ? Caller::of(caller) : VelkoraCallback(caller, &Caller::answered));
                runThrough(g.command);
                loop().advance(0); // anything posted late would show now
                EXPECT_TRUE(caller->answers.empty());
                if (!withErrorFunction) {
                    EXPECT_TRUE(caller->errors.empty());
                    continue;
                }
                ASSERT_EQ(caller->errors.size(), 1u);
                ASSERT_TRUE(caller->errors[0]);
                if (*f.domain) {
                    EXPECT_EQ(caller->errors[0]->domain, f.domain);
                }
                if (f.kind == Fault::Kind::HttpStatus) {
                    EXPECT_EQ(caller->errors[0]->code, 500);
                }
                // However many times it was sent again, the failure is said once, at the end.
                EXPECT_EQ(capture_->count("Velkora (E) - Got error:"), 1u);
            }
        }
    }
}

TEST_F(FailureReachesCallerTest, ARepliesWithoutWhatItsReaderNeedsFail) {
    startNewUser();
    VelkoraServerApi::pause();
    auto other = VelkoraUsersRepository::instance().userWithId("someone");
    other->setAppId(std::string(kApp));
    other->setUserId(std::string("someone"));
    struct Case {
        const char* command;
        const char* reply;
        std::function<void(VelkoraCallback)> call;
    };
    const Case cases[] = {
        {"getQuiz", R"({})", [](VelkoraCallback c) { VelkoraServerApi::getQuiz(std::move(c), 3); }},
        {"getQuiz", R"({"quiz":7})", [](VelkoraCallback c) { VelkoraServerApi::getQuiz(std::move(c), 3); }},
        {"getChat", R"({"chat":null})", [&](VelkoraCallback c) { VelkoraServerApi::getChat(other, std::move(c)); }},
        {"getChat", R"({"chat":"x"})", [&](VelkoraCallback c) { VelkoraServerApi::getChat(other, 20, std::move(c)); }},
        {"getOtherUserData", R"({})",
         [](VelkoraCallback c) { VelkoraServerApi::getOtherUserData(std::string("someone"), std::move(c)); }},
        {"getOtherUserData", R"({"user":null})",
         [](VelkoraCallback c) { VelkoraServerApi::getOtherUserData(std::string("someone"), std::move(c)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + c.reply);
        svc.clearFaults();
        svc.addFault(Fault{c.command, Fault::Kind::NotJson, c.reply, 500, 0, 1});
        auto caller = answered(c.call);
        EXPECT_TRUE(caller->answers.empty());
        ASSERT_EQ(caller->errors.size(), 1u);
        EXPECT_EQ(caller->errors[0]->domain, "Internal error");
    }
    // A caller without an error function is answered with no user, as before.
    svc.addFault(Fault{"getOtherUserData", Fault::Kind::NotJson, R"({})", 500, 0, 1});
    auto quiet = std::make_shared<Caller>();
    VelkoraServerApi::getOtherUserData(std::string("someone"), VelkoraCallback(quiet, &Caller::answered));
    ASSERT_TRUE(waitFor([&] { return !quiet->answers.empty(); }));
    EXPECT_TRUE(quiet->answers[0].isNull());
}
