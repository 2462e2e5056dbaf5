#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/services/IdentifierManager.h"
#include "platform/ui/Application.h"
#include "session/VelkoraDeviceIdentity.h"

using namespace velkora;

namespace {

class DeviceIdentityTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = testing::TempDir() + "velkora-identity-" + std::to_string(getpid());
        std::filesystem::remove_all(root_);
        foundation::Paths::setRoot(root_);
        foundation::UserDefaults::standard().setFilePath(foundation::Paths::documents() + "/defaults.json");
        services::IdentifierManager::setSharedManager(nullptr);
        ui::Device::current().setSystemVersion("7.0");
    }
    void TearDown() override {
        services::IdentifierManager::setSharedManager(nullptr);
        foundation::Paths::reset();
        std::filesystem::remove_all(root_);
    }
    static bool isLowerHexDigest(const OptionalText& t) {
        return t && t->size() == 40 && t->find_first_not_of("0123456789abcdef") == std::string::npos;
    }
    std::string root_;
};

}  // namespace

TEST_F(DeviceIdentityTest, GeneratedIdentifierIsKeptAcrossProcesses) {
    // The first start happens in another process, which keeps the digest in the user defaults on disk.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        VelkoraDeviceIdentity identity;
        identity.initUUID();
        std::string line = identity.uuidKey().value_or("") + "=" + identity.uuidSHA1().value_or("");
        ssize_t written = write(fds[1], line.data(), line.size());
        _exit(written == static_cast<ssize_t>(line.size()) ? 0 : 1);
    }
    close(fds[1]);
    char buf[128] = {};
    ssize_t n = read(fds[0], buf, sizeof buf - 1);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::string fromChild(buf, n > 0 ? static_cast<size_t>(n) : 0);
    ASSERT_EQ(fromChild.substr(0, 6), "hudid=");

    VelkoraDeviceIdentity identity;
    identity.initUUID();
    EXPECT_EQ(identity.uuidKey(), "hudid");
    EXPECT_TRUE(isLowerHexDigest(identity.uuidSHA1()));
    EXPECT_EQ("hudid=" + *identity.uuidSHA1(), fromChild);
    EXPECT_EQ(foundation::UserDefaults::standard().stringForKey("VelkoraHudid"), identity.uuidSHA1());
}

TEST_F(DeviceIdentityTest, StoredDigestIsReturnedAsItIs) {
    foundation::UserDefaults::standard().setObject(foundation::Value("stored-value"), "VelkoraHudid");
    VelkoraDeviceIdentity identity;
    identity.initUUID();
    EXPECT_EQ(identity.uuidKey(), "hudid");
    EXPECT_EQ(identity.uuidSHA1(), "stored-value");
    // A value of another type is no identifier: a new one replaces it.
    foundation::UserDefaults::standard().setObject(foundation::Value(42), "VelkoraHudid");
    identity.initUUID();
    EXPECT_TRUE(isLowerHexDigest(identity.uuidSHA1()));
    EXPECT_EQ(foundation::UserDefaults::standard().stringForKey("VelkoraHudid"), identity.uuidSHA1());
}

TEST_F(DeviceIdentityTest, AdvertisingIdentifierWhenTheSystemHasOne) {
    services::IdentifierManager::setSharedManager(
        std::make_shared<services::IdentifierManager>("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
    for (const char* version : {"6.0", "10.0", "7.1.2"}) {
        ui::Device::current().setSystemVersion(version);
        VelkoraDeviceIdentity identity;
        identity.initUUID();
        EXPECT_EQ(identity.uuidKey(), "hadid") << version;
        EXPECT_EQ(identity.uuidSHA1(), "c69f12ca732c5ce36c7b7f48990787967b6e76b1") << version;
    }
    EXPECT_FALSE(foundation::UserDefaults::standard().objectForKey("VelkoraHudid").isString());

    // An older system does not offer it: the generated identifier is used.
    ui::Device::current().setSystemVersion("5.1.1");
    VelkoraDeviceIdentity old;
    old.initUUID();
    EXPECT_EQ(old.uuidKey(), "hudid");
    EXPECT_TRUE(isLowerHexDigest(old.uuidSHA1()));
}

TEST(DeviceIdentity, Sha1IsLowerCaseHex) {
    EXPECT_EQ(VelkoraDeviceIdentity::sha1("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(VelkoraDeviceIdentity::sha1(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}
