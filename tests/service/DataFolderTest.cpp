// What the service keeps in its data folder and in memory over a long life: certificates that always
// load, passwords kept only as hashes, and a request log of bounded size.
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "AccountFixture.h"

namespace velkora::service::testing {
namespace {

namespace fs = std::filesystem;

class DataFolder : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = (fs::temp_directory_path() / ("velkora-data-" + std::to_string(getpid()))).string();
        fs::remove_all(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    ServiceOptions inFolder() const {
        ServiceOptions o;
        o.dataDir = dir_;
        return o;
    }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    // A tagged GET over HTTPS, trusting the CA the service has now.
    static std::string getAppData(Service& s) {
        httplib::SSLClient c("127.0.0.1", s.port());
        c.set_ca_cert_path(s.caFile().c_str());
        c.enable_server_certificate_verification(true);
        std::string text = "command=getAppData&clientType=1&build=2.5.7&appId=velkora-demo&changeNumber=0&v=15"
                           "&ts=1700000000.000000";
        auto res = c.Get(
            ("/VelkoraServer2/api?" + text + "&crc=" + std::to_string(crc32Of(s.endpoint() + "?" + text))).c_str());
        return res ? res->body : "transport failure";
    }

    std::string dir_;
};

TEST_F(DataFolder, ADamagedCertificateSetIsMadeAnew) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> damage;
    } cases[] = {
        {"truncated key",
         [](const std::string& d) { write(d + "/server-key.pem", read(d + "/server-key.pem").substr(0, 60)); }},
        {"the key of another certificate",
         [](const std::string& d) { write(d + "/server-key.pem", read(d + "/ca-key.pem")); }},
        {"empty certificate", [](const std::string& d) { write(d + "/server.pem", ""); }},
        {"a server certificate the CA did not sign",
         [](const std::string& d) { write(d + "/ca.pem", read(d + "/server.pem")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir_);
        {
            Service s(inFolder());
            ASSERT_TRUE(s.start());
        }
        c.damage(dir_);
        Service s(inFolder());
        ASSERT_TRUE(s.start());
        EXPECT_NE(getAppData(s).find("\"appData\""), std::string::npos);
        for (const auto& entry : fs::directory_iterator(dir_))
            EXPECT_EQ(entry.path().filename().string().find(".pem."), std::string::npos)
                << "a temporary left behind: " << entry.path();
    }
}

TEST_F(DataFolder, DigestsStoredBeforeHashingAreHashedAndStillLogIn) {
    const std::string digest = "5F4DCC3B5AA765D61D8327DEB882CF99";
    std::string user;
    {
        Service s(inFolder());
        ASSERT_TRUE(s.start());
        user = s.createUser(Service::kDemoAppId);
    }
    // A row as an older service kept it: the digest exactly as the kit sent it.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir_ + "/velkora.sqlite").c_str(), &db), SQLITE_OK);
    std::string sql = "UPDATE users SET email = 'old@example.com', signed_up = 1, password = '" + digest +
                      "' WHERE user_id = '" + user + "'";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    Service s(inFolder());
    ASSERT_TRUE(s.start());
    std::string stored = s.userColumn(Service::kDemoAppId, user, "password");
    EXPECT_FALSE(stored.empty());
    EXPECT_EQ(stored.find(digest), std::string::npos) << stored;
    auto login = [&](const std::string& password) {
        std::string text =
            "command=login&appId=velkora-demo&deviceId=d&method=1&value=old%40example.com&password=" + password +
            "&ts=1700000000.000000";
        return s
            .answer("GET", "/VelkoraServer2/api?" + text + "&crc=" + std::to_string(crc32Of(s.endpoint() + "?" + text)))
            .body;
    };
    EXPECT_NE(login(digest).find(user), std::string::npos);
    EXPECT_NE(login("00000000000000000000000000000000").find("USER_NOT_FOUND"), std::string::npos);
}

TEST(RequestLog, KeepsTheNewestRequestsOnly) {
    ServiceOptions o;
    o.requestLogEntries = 3;
    o.requestLogBytes = 5000;
    Service s(o);
    ASSERT_TRUE(s.start());
    for (const char* command : {"one", "two", "three", "four", "five"})
        s.answer("GET", std::string("/VelkoraServer2/api?command=") + command);
    std::vector<std::string> seen;
    for (const RecordedRequest& r : s.requests())
        seen.push_back(r.command);
    EXPECT_EQ(seen, (std::vector<std::string>{"three", "four", "five"}));

    // Big bodies push out the older requests; the newest stays, whatever its size.
    s.answer("POST", "/VelkoraServer2/api", "command=big&image=" + std::string(3000, 'A'));
    s.answer("POST", "/VelkoraServer2/api", "command=bigger&image=" + std::string(6000, 'A'));
    seen.clear();
    for (const RecordedRequest& r : s.requests())
        seen.push_back(r.command);
    EXPECT_EQ(seen, (std::vector<std::string>{"bigger"}));
    EXPECT_EQ(s.requestsFor("bigger").size(), 1u);
}

} // namespace
} // namespace velkora::service::testing
