#include <gtest/gtest.h>

#include <string>
#include <zlib.h>

#include "platform/foundation/RunLoop.h"
#include "server/utils/RequestText.h"
#include "velkora_service/QueryText.h"

using namespace velkora;

TEST(RequestText, EscapesWhatAQueryParserWouldMisread) {
    const std::pair<std::string, std::string> cases[] = {
        {"Tom & Jerry", "Tom%20%26%20Jerry"},
        {"1+1=2", "1%2B1%3D2"},
        {"#tag 100%", "%23tag%20100%25"},
        {"feature-viewed;feed|invite-sent;email", "feature-viewed;feed%7Cinvite-sent;email"},
        {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf%C3%A9%20%F0%9F%98%80"},
        {"line\nbreak\t\"<>\\^`{}[]", "line%0Abreak%09%22%3C%3E%5C%5E%60%7B%7D%5B%5D"},
        {"Az09-_.~!*'();:@$,/", "Az09-_.~!*'();:@$,/"},
        {"why? http://x.org/p?a", "why%3F%20http://x.org/p%3Fa"},
        {"", ""},
    };
    for (const auto& [text, escaped] : cases)
        EXPECT_EQ(escapeRequestValue(text), escaped) << text;
}

TEST(RequestText, TheServiceReadsBackExactlyTheTextThatWasSent) {
    const std::string messages[] = {
        "Tom & Jerry",
        "1+1 is 2",
        "hello&senderUserId=X&appId=EVIL",
        "a=b==c",
        "#not-a-fragment",
        "100% sure, %41 stays",
        "multi\nline \xF0\x9F\x8E\x89 \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",
        std::string("nul\0byte", 8),
        "  spaces  ",
    };
    for (const auto& message : messages) {
        std::string query =
            "command=sendMessage&appId=A&userId=U&message=" + escapeRequestValue(message) + "&senderUserId=S";
        auto parsed = service::QueryText::parse(query);
        EXPECT_EQ(parsed.value("message"), message);
        EXPECT_EQ(parsed.value("senderUserId"), "S");
        EXPECT_EQ(parsed.value("appId"), "A");
        EXPECT_EQ(parsed.pairs().size(), 5u) << query;
    }
}

TEST(RequestText, TagAppendsSixDecimalTimeAndTheCrcOfEverythingBefore) {
    const std::string endpoint = "https://127.0.0.1:8443/VelkoraServer2/api";
    const std::string request =
        endpoint + "?command=getChats&clientType=1&build=2.5.7&appId=A&userId=U&protocolVersion=15";
    std::string tagged = tagRequestText(request, 1765300000.5);
    const std::string prefix = request + "&ts=1765300000.500000";
    ASSERT_EQ(tagged.substr(0, prefix.size()), prefix);
    uint32_t expected = static_cast<uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(prefix.data()), static_cast<uInt>(prefix.size())));
    EXPECT_EQ(tagged, prefix + "&crc=" + std::to_string(expected));
    EXPECT_EQ(service::checkTag(endpoint, tagged.substr(endpoint.size() + 1)), service::TagCheck::Ok);

    // Non-ASCII text is hashed over its UTF-8 bytes, and the service agrees.
    std::string withText =
        tagRequestText(endpoint + "?command=query&text=" + escapeRequestValue("J\xC3\xB6rg") + "&raw=\xC3\xA9", 12.25);
    EXPECT_EQ(service::checkTag(endpoint, withText.substr(endpoint.size() + 1)), service::TagCheck::Ok);

    EXPECT_EQ(requestTimeStamp(0.0000004), "0.000000");
    EXPECT_EQ(requestTimeStamp(1765300000.1234567), "1765300000.123457");
}

TEST(RequestText, TheSameRequestLaterCarriesAnotherTimeAndCrc) {
    auto& clock = foundation::RunLoop::main().useTestClock(1765300000.25);
    std::string first = tagRequestText("https://h/VelkoraServer2/api?command=getFeed2");
    EXPECT_NE(first.find("&ts=1765300000.250000&crc="), std::string::npos);
    clock.set(1765300001.75);
    std::string second = tagRequestText("https://h/VelkoraServer2/api?command=getFeed2");
    EXPECT_NE(first, second);
    EXPECT_NE(first.substr(first.find("&crc=")), second.substr(second.find("&crc=")));
    foundation::RunLoop::main().reset();
}
