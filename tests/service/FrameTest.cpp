// The service's transport and request frame: TLS with its own CA, the tag check, the request log,
// the faults tests ask for, and the answers to malformed input.
#include "ServiceFixture.h"

namespace velkora::service::testing {
namespace {

const std::string kAppData = "command=getAppData&clientType=1&build=2.5.7&appId=velkora-demo&changeNumber=0&v=15";

TEST_F(ServiceTest, ClientTrustingTheCaGetsAReplyAndOneWithoutItIsRefused) {
    auto trusted = client(true)->Get(("/VelkoraServer2/api?" + tagged(kAppData)).c_str());
    ASSERT_TRUE(trusted);
    EXPECT_EQ(trusted->status, 200);
    EXPECT_TRUE(Json::parse(trusted->body).contains("appData"));

    auto untrusted = client(false)->Get(("/VelkoraServer2/api?" + tagged(kAppData)).c_str());
    EXPECT_FALSE(untrusted);
    EXPECT_EQ(untrusted.error(), httplib::Error::SSLServerVerification);
}

TEST_F(ServiceTest, TheCertificateNamesLocalhostToo) {
    httplib::SSLClient c("localhost", service().port());
    c.set_ca_cert_path(service().caFile().c_str());
    c.enable_server_certificate_verification(true);
    std::string text = kAppData + "&ts=1.000000";
    std::string endpoint = "https://localhost:" + std::to_string(service().port()) + "/VelkoraServer2/api";
    auto res =
        c.Get(("/VelkoraServer2/api?" + text + "&crc=" + std::to_string(crc32Of(endpoint + "?" + text))).c_str());
    ASSERT_TRUE(res);
    EXPECT_TRUE(Json::parse(res->body).contains("appData")) << res->body;
}

TEST_F(ServiceTest, TagIsCheckedOverEndpointQueryAndTimestamp) {
    std::string good = tagged(kAppData);
    size_t at = good.rfind("&crc=");
    uint32_t crc = static_cast<uint32_t>(std::stoul(good.substr(at + 5)));
    std::string signedPart = good.substr(0, at);

    struct Case {
        std::string name, query;
        bool accepted;
    } cases[] = {
        {"correct", good, true},
        {"crc plus one", signedPart + "&crc=" + std::to_string(crc + 1), false},
        {"crc minus one", signedPart + "&crc=" + std::to_string(crc - 1), false},
        {"no crc", signedPart, false},
        {"no timestamp", kAppData + "&crc=" + std::to_string(crc32Of(service().endpoint() + "?" + kAppData)), false},
        {"crc not a number", signedPart + "&crc=12x", false},
        {"crc too large", signedPart + "&crc=99999999999", false},
        {"timestamp changed", kAppData + "&ts=1700000000.250001&crc=" + std::to_string(crc), false},
        {"parameter changed", "command=getAppData&clientType=1&build=2.5.8" + good.substr(good.find("&appId")), false},
    };
    for (const auto& c : cases) {
        auto res = getRaw(c.query);
        ASSERT_TRUE(res) << c.name;
        Json reply = Json::parse(res->body);
        if (c.accepted)
            EXPECT_TRUE(reply.contains("appData")) << c.name << ": " << res->body;
        else
            EXPECT_EQ(reply.value("error", ""), "BAD_CRC") << c.name << ": " << res->body;
    }
}

TEST_F(ServiceTest, CrcCoversEscapedTextAsSent) {
    // The CRC is over the bytes on the wire: an escaped value is checked in its escaped form.
    std::string user = newUser();
    std::string query = "command=reportEvent&clientType=1&build=2.5.7&appId=velkora-demo&deviceId=" + user +
                        "&userId=" + user + "&type=adClick&logs=VENDOR1_%C3%A9t%C3%A9%7C2%7C3";
    EXPECT_EQ(get(query), Json::object());
    ASSERT_EQ(service().events(app()).size(), 1u);
    EXPECT_EQ(service().events(app())[0], "adClick|VENDOR1_\xC3\xA9t\xC3\xA9|2|3");
}

TEST_F(ServiceTest, RequestLogHoldsTheExactTextSent) {
    service().clearRequests();
    std::string query = tagged(kAppData);
    ASSERT_TRUE(getRaw(query));
    ASSERT_TRUE(
        client()->Post("/VelkoraServer2/api", "command=savePhoto&image=AAA=", "application/x-www-form-urlencoded"));

    auto all = service().requests();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].method, "GET");
    EXPECT_EQ(all[0].path, "/VelkoraServer2/api");
    EXPECT_EQ(all[0].query, query);
    EXPECT_EQ(all[0].command, "getAppData");
    EXPECT_GT(all[0].time, 1.6e9);
    EXPECT_EQ(all[1].method, "POST");
    EXPECT_EQ(all[1].body, "command=savePhoto&image=AAA=");
    EXPECT_EQ(all[1].command, "savePhoto");

    EXPECT_EQ(service().requestsFor("getAppData").size(), 1u);
    EXPECT_EQ(service().requestsFor("update").size(), 0u);
    service().clearRequests();
    EXPECT_TRUE(service().requests().empty());
}

TEST_F(ServiceTest, FaultsShapeTheReply) {
    struct Case {
        Fault fault;
        int status;
        std::string body;
    } cases[] = {
        {{"getAppData", Fault::Kind::ErrorCode, "USER_NOT_FOUND"}, 200, R"({"error":"USER_NOT_FOUND"})"},
        {{"*", Fault::Kind::ErrorNull, ""}, 200, R"({"error":null})"},
        {{"getAppData", Fault::Kind::NotJson, "<html>down</html>"}, 200, "<html>down</html>"},
        {{"getAppData", Fault::Kind::HttpStatus, "busy", 503}, 503, "busy"},
    };
    for (const auto& c : cases) {
        service().addFault(c.fault);
        auto res = getRaw(tagged(kAppData));
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, c.status);
        EXPECT_EQ(res->body, c.body);
        // Spent after one use.
        auto next = getRaw(tagged(kAppData));
        ASSERT_TRUE(next);
        EXPECT_TRUE(Json::parse(next->body).contains("appData")) << next->body;
    }
}

TEST_F(ServiceTest, WarningIsAddedToTheRealAnswer) {
    service().addFault({"getAppData", Fault::Kind::Warning, "slow down"});
    Json reply = get(kAppData);
    EXPECT_EQ(reply.value("warning", ""), "slow down");
    EXPECT_TRUE(reply["appData"].is_object());
}

TEST_F(ServiceTest, FaultForOtherCommandsLeavesThisOneAlone) {
    service().addFault({"update", Fault::Kind::ErrorCode, "X", 500, 0, -1});
    EXPECT_TRUE(get(kAppData).contains("appData"));
    service().clearFaults();
}

TEST_F(ServiceTest, FaultRepeatsAsManyTimesAsAsked) {
    service().addFault({"getAppData", Fault::Kind::ErrorCode, "E", 500, 0, 2});
    EXPECT_EQ(get(kAppData).value("error", ""), "E");
    EXPECT_EQ(get(kAppData).value("error", ""), "E");
    EXPECT_TRUE(get(kAppData).contains("appData"));

    service().addFault({"getAppData", Fault::Kind::ErrorCode, "F", 500, 0, -1});
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(get(kAppData).value("error", ""), "F");
    service().clearFaults();
    EXPECT_TRUE(get(kAppData).contains("appData"));
}

TEST_F(ServiceTest, DropClosesTheConnectionWithoutAReply) {
    service().addFault({"getAppData", Fault::Kind::Drop, ""});
    auto res = getRaw(tagged(kAppData));
    EXPECT_FALSE(res);
    EXPECT_EQ(service().requestsFor("getAppData").size(), 1u);
    EXPECT_TRUE(get(kAppData).contains("appData"));
}

TEST_F(ServiceTest, DelayHoldsTheReply) {
    service().addFault({"getAppData", Fault::Kind::Delay, "", 500, 0.3});
    auto started = std::chrono::steady_clock::now();
    Json reply = get(kAppData);
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_TRUE(reply.contains("appData"));
    EXPECT_GE(waited, 0.3);
}

TEST_F(ServiceTest, StopCutsALongDelayShort) {
    service().addFault({"*", Fault::Kind::Delay, "", 500, 60});
    std::thread waiter([&] { getRaw(tagged(kAppData)); });
    while (service().requests().empty())
        std::this_thread::yield();
    auto started = std::chrono::steady_clock::now();
    service().stop();
    waiter.join();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 10.0);
}

TEST_F(ServiceTest, UnknownPathIsA404) {
    auto res = client()->Get("/nothing/here");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
    auto other = client()->Get("/VelkoraServer2/api2?command=update");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 404);
}

TEST_F(ServiceTest, MalformedInputGetsAnErrorReply) {
    std::string user = newUser();
    std::string ids = "&appId=velkora-demo&userId=" + user;
    struct Case {
        std::string query, error;
    } cases[] = {
        {"command=update&clientType=1&build=2.5.7" + ids + "&wantMessages=1&changeNumber=abc", "BAD_REQUEST"},
        {"command=update&clientType=1&build=2.5.7" + ids + "&wantMessages=1&changeNumber=99999999999999999999",
         "BAD_REQUEST"},
        {"command=update&clientType=1&build=2.5.7" + ids + "&longitude=1e999&latitude=2", "BAD_REQUEST"},
        {"command=update&clientType=1&build=2.5.7" + ids + "&longitude=nan&latitude=2", "BAD_REQUEST"},
        {"command=setUserData&clientType=1&build=2.5.7" + ids + "&age=ten", "BAD_REQUEST"},
        {"command=setUserData&clientType=1&build=2.5.7" + ids + "&customFloat1=1.5.5", "BAD_REQUEST"},
        {"command=update&clientType=1&build=2.5.7&appId=velkora-demo", "BAD_REQUEST"},
        {"command=getUserData&clientType=1&build=2.5.7&userId=" + user, "BAD_REQUEST"},
        {"command=getUserData&clientType=1&build=2.5.7&appId=nope&userId=" + user, "APP_NOT_FOUND"},
        {"command=getUserData&clientType=1&build=2.5.7&appId=velkora-demo&userId=nobody", "USER_NOT_FOUND"},
        {"command=&appId=velkora-demo", "BAD_REQUEST"},
        {"appId=velkora-demo", "BAD_REQUEST"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(get(c.query).value("error", "none"), c.error) << c.query;
    // A malformed number changes nothing, even where other values were good.
    get("command=setUserData&clientType=1&build=2.5.7" + ids + "&firstName=Zed&age=ten");
    EXPECT_EQ(service().userColumn(app(), user, "first_name"), "");
}

TEST_F(ServiceTest, CommandsNotYetBuiltAnswerEmpty) {
    std::string user = newUser();
    // getQuizzes served as the example until it was built; a name no group registers stands in now.
    EXPECT_EQ(get("command=noSuchCommandYet&appId=velkora-demo&userId=" + user), Json::object());
}

class SmallBodyServiceTest : public ServiceTest {
protected:
    ServiceOptions options() override {
        ServiceOptions o;
        o.maxBodyBytes = 1000;
        return o;
    }
};

TEST_F(SmallBodyServiceTest, HugeBodiesGetAnError) {
    EXPECT_EQ(post("command=savePhoto&image=" + std::string(2000, 'A')).value("error", ""), "REQUEST_TOO_LARGE");
    // A body within the limit gets the command's own answer.
    EXPECT_TRUE(post("command=savePhoto&appId=velkora-demo&deviceId=d&image=" + std::string(100, 'A'))["url"].is_string());
    // Far beyond the limit the server stops reading; the reply still says why.
    auto res = client()->Post("/VelkoraServer2/api", "command=savePhoto&image=" + std::string(4 * 1024 * 1024, 'A'),
                              "application/x-www-form-urlencoded");
    if (res) {
        EXPECT_EQ(res->status, 413);
        EXPECT_EQ(Json::parse(res->body).value("error", ""), "REQUEST_TOO_LARGE");
    }
    EXPECT_TRUE(get(kAppData).contains("appData"));
}

} // namespace
} // namespace velkora::service::testing

namespace velkora::service::testing {
namespace {

TEST_F(ServiceTest, LongQueriesUpToTheRequestLineLimit) {
    std::string user = newUser();
    std::string base = "command=reportEvent&clientType=1&build=2.5.7&appId=velkora-demo&deviceId=" + user +
                       "&userId=" + user + "&type=t&logs=";
    EXPECT_EQ(get(base + std::string(7000, 'x')), Json::object());
    auto res = getRaw(tagged(base + std::string(9000, 'x')));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 414);
}

} // namespace
} // namespace velkora::service::testing
