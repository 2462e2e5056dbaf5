#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <zlib.h>

#include "server/utils/VelkoraSimpleCrc.h"

using velkora::VelkoraSimpleCrc;

namespace {

uint32_t zlibCrc(std::string_view bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    return static_cast<uint32_t>(
        crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

} // namespace

TEST(VelkoraSimpleCrc, KnownValues) {
    const auto& crc = VelkoraSimpleCrc::instance();
    EXPECT_EQ(crc.crc("123456789"), 3421780262u);
    EXPECT_EQ(crc.crc("123456789"), 0xCBF43926u);
    EXPECT_EQ(crc.crc(""), 0u);
    EXPECT_EQ(crc.crc(nullptr, 0), 0u);
    EXPECT_EQ(crc.crc8("123456789", 9), 0x26);
    EXPECT_EQ(&crc, &VelkoraSimpleCrc::instance());
    EXPECT_EQ(crc.table()[1], 0x77073096u);
    EXPECT_EQ(crc.table()[255], 0x2D02EF8Du);
}

TEST(VelkoraSimpleCrc, EqualsZlibOverATableOfInputs) {
    std::string binary;
    for (int i = 0; i < 300; ++i)
        binary += static_cast<char>(i * 37);
    const std::string inputs[] = {
        "a",
        "https://localhost:8443/VelkoraServer2/api?command=getChats&clientType=1&build=2.5.7&appId=A&userId=U"
        "&protocolVersion=15&ts=1765300000.123456",
        "h\xC3\xA9llo w\xC3\xB6rld \xF0\x9F\x98\x80 \xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", // UTF-8 bytes
        std::string("\0\0\0\0", 4),
        std::string(1 << 16, '\xFF'),
        binary,
    };
    for (const auto& input : inputs)
        EXPECT_EQ(VelkoraSimpleCrc::instance().crc(input), zlibCrc(input)) << input.size();
}
