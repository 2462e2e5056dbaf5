// The reply envelope: errors, a body that is no JSON object, warnings, and callers that go away while
// their request is in flight.
#include "ServerClientFixture.h"

using namespace velkora;
using namespace velkora::testing;
using service::Fault;

TEST_F(ServerClientTest, ReplyEnvelopeCases) {
    startNewUser();
    struct Case {
        const char* name;
        Fault fault;
        const char* domain;  // null: the branch runs and answers
        int64_t code;
        const char* logLine;
    };
    const Case cases[] = {
        {"error null", Fault{"getUserData", Fault::Kind::ErrorNull, ""}, "INTERNAL_ERROR", 0, "Velkora (E) - Got error: INTERNAL_ERROR"},
        {"error code", Fault{"getUserData", Fault::Kind::ErrorCode, "USER_NOT_FOUND"}, "USER_NOT_FOUND", 0,
         "Velkora (E) - Got error: USER_NOT_FOUND"},
        {"html page", Fault{"getUserData", Fault::Kind::NotJson, ""}, "Internal error", 0,
         "Velkora - internal error: cannot parse response"},
        {"top-level array", Fault{"getUserData", Fault::Kind::NotJson, "[1,2]"}, "Internal error", 0,
         "Velkora - internal error: cannot parse response"},
        {"http 500", Fault{"getUserData", Fault::Kind::HttpStatus, "oops", 500}, "UrlFetcher wrong responseCode", 500,
         "Velkora (E) - Got error: UrlFetcher wrong responseCode"},
        {"warning", Fault{"getUserData", Fault::Kind::Warning, "slow down"}, nullptr, 0,
         "Velkora - protocol wrapper received warning: slow down"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        capture_->clear();
        svc.addFault(c.fault);
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getUserData(Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return caller->answers.size() + caller->errors.size() == 1; }));
        ASSERT_TRUE(settle());
        EXPECT_TRUE(logged(c.logLine));
        if (c.domain) {
            ASSERT_EQ(caller->errors.size(), 1u);
            EXPECT_EQ(caller->errors[0]->domain, c.domain);
            EXPECT_EQ(caller->errors[0]->code, c.code);
        } else {
            ASSERT_EQ(caller->answers.size(), 1u);
            EXPECT_TRUE(caller->answers[0].asObject<VelkoraUserInternal>());
        }
        if (std::string(c.name) == "html page") {
            EXPECT_TRUE(logged("Velkora - JSONValue failed. Error trace is: "));
        }
    }
}

TEST_F(ServerClientTest, ClearedCallerIsNeverAnsweredAndNothingLeaks) {
    startNewUser();
    auto caller = std::make_shared<Caller>();
    auto other = std::make_shared<Caller>();
    VelkoraServerApi::getUserData(Caller::of(caller));
    VelkoraServerApi::getUserData(Caller::of(caller));
    VelkoraServerApi::getUserData(Caller::of(other));
    EXPECT_EQ(agent().workingProtocolsWrappers().size(), 3u);
    VelkoraServerApi::clearUserDelegate(caller.get());
    ASSERT_TRUE(waitForRequests("getUserData", 3));
    EXPECT_TRUE(caller->answers.empty());
    EXPECT_EQ(other->answers.size(), 1u);
    EXPECT_TRUE(agent().workingProtocolsWrappers().empty());

    // A caller that is gone entirely is not called either.
    std::weak_ptr<Caller> gone;
    {
        auto temporary = std::make_shared<Caller>();
        gone = temporary;
        VelkoraServerApi::getUserData(Caller::of(temporary));
    }
    EXPECT_TRUE(gone.expired());
    ASSERT_TRUE(waitForRequests("getUserData", 4));
}
