#include <gtest/gtest.h>

#include <set>

#include "platform/foundation/Digest.h"
#include "platform/foundation/Uuid.h"

using namespace velkora::foundation;

namespace {

TEST(DigestTest, KnownDigests) {
    EXPECT_EQ(md5Hex("password", true), "5F4DCC3B5AA765D61D8327DEB882CF99");
    EXPECT_EQ(md5Hex("password"), "5f4dcc3b5aa765d61d8327deb882cf99");
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(sha1Hex("abc", true), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    // Bytes after a NUL count.
    EXPECT_NE(md5Hex(std::string("a\0b", 3)), md5Hex("a"));
}

TEST(UuidTest, VersionFourInCanonicalUpperCaseAndUnique) {
    // 8-4-4-4-12 upper-case hex digits, version 4, RFC 4122 variant.
    auto wellFormed = [](const std::string& u) {
        if (u.size() != 36 || u[14] != '4' || std::string("89AB").find(u[19]) == std::string::npos) return false;
        for (size_t i = 0; i < u.size(); ++i) {
            bool dash = i == 8 || i == 13 || i == 18 || i == 23;
            if (dash != (u[i] == '-')) return false;
            if (!dash && std::string("0123456789ABCDEF").find(u[i]) == std::string::npos) return false;
        }
        return true;
    };
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        auto u = uuidV4();
        ASSERT_TRUE(wellFormed(u)) << u;
        seen.insert(u);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

} // namespace
