#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "JsonTestSupport.h"
#include "server/utils/VelkoraKXJsonParser.h"
#include "server/utils/VelkoraKXJsonWriter.h"

using namespace velkora;
using foundation::Array;
using foundation::Dictionary;
using foundation::Number;
using foundation::Value;
using velkora::testing::TraceLines;
using velkora::testing::traceOf;

namespace {
struct Opaque {};
} // namespace

TEST(JsonWriter, CompactOutputKeepsDictionaryOrder) {
    VelkoraKXJsonWriter writer;
    Value v = Dictionary{{"z", true}, {"a", 1}, {"m", Array{Value(), "s", Number("1.50")}}};
    EXPECT_EQ(writer.stringWithObject(v), "{\"z\":true,\"a\":1,\"m\":[null,\"s\",1.50]}");
    writer.setSortKeys(true);
    EXPECT_EQ(writer.stringWithObject(v), "{\"a\":1,\"m\":[null,\"s\",1.50],\"z\":true}");
}

TEST(JsonWriter, HumanReadableIndentsTwoSpacesPerLevel) {
    VelkoraKXJsonWriter writer;
    writer.setHumanReadable(true);
    EXPECT_EQ(writer.stringWithObject(Array{1, 2}), "[\n  1,\n  2\n]");
    EXPECT_EQ(writer.stringWithObject(Array{}), "[]");
    writer.setSortKeys(true);
    Value v = Dictionary{{"b", Array{true, Dictionary{}}}, {"a", "x"}};
    EXPECT_EQ(writer.stringWithObject(v), "{\n  \"a\" : \"x\",\n  \"b\" : [\n    true,\n    {}\n  ]\n}");
}

TEST(JsonWriter, StringEscapes) {
    VelkoraKXJsonWriter writer;
    std::string text("q\"b\\s/\b\f\n\r\t\x01\x1f\x7f\xC3\xA9", 16);
    EXPECT_EQ(writer.stringWithFragment(Value(text)), "\"q\\\"b\\\\s/\\b\\f\\n\\r\\t\\u0001\\u001f\x7f\xC3\xA9\"");
    EXPECT_EQ(writer.stringWithFragment(Value(std::string("a\0b", 3))), "\"a\\u0000b\"");
}

TEST(JsonWriter, BooleansNumbersAndTheirTexts) {
    VelkoraKXJsonWriter writer;
    EXPECT_EQ(writer.stringWithObject(Array{true, 1, false, 0, -2.5, Number("1e400")}), "[true,1,false,0,-2.5,1e400]");
}

TEST(JsonWriter, FailuresAndTheirTraces) {
    VelkoraKXJsonWriter writer;
    EXPECT_FALSE(writer.stringWithObject(Value("scalar")));
    EXPECT_EQ(traceOf(writer), (TraceLines{{4, "Not valid type for JSON"}}));

    Value object = Value::object(std::make_shared<Opaque>());
    EXPECT_FALSE(writer.stringWithObject(Dictionary{{"k", object}}));
    auto trace = traceOf(writer);
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[0].first, 1);
    EXPECT_EQ(trace[0].second, "VelkoraJSON serialisation not supported for (anonymous namespace)::Opaque");
    EXPECT_EQ(trace[1], (std::pair<int64_t, std::string>{1, "Unsupported value for key k in object"}));

    // Keys are always strings here; one whose bytes are not text stands for a key of another type.
    EXPECT_FALSE(writer.stringWithObject(Dictionary{{std::string("\xFF"), 1}}));
    EXPECT_EQ(traceOf(writer), (TraceLines{{1, "VelkoraJSON object key must be string"}}));

    // A text value whose bytes are not all UTF-8 keeps what is text; each stray byte becomes U+FFFD.
    EXPECT_EQ(writer.stringWithObject(Array{Value(std::string("a\xC3z\xFF\xE2\x82\xAC"))}),
              "[\"a\xEF\xBF\xBDz\xEF\xBF\xBD\xE2\x82\xAC\"]");

    EXPECT_FALSE(writer.stringWithObject(Array{Number("0x10")}));
    EXPECT_EQ(writer.errorTrace().front()->code, 1);

    Value deep = Array{};
    for (int i = 0; i < 512; ++i)
        deep = Array{deep};
    EXPECT_FALSE(writer.stringWithObject(deep)); // 513 levels
    EXPECT_EQ(writer.errorTrace().front()->code, 7);
    EXPECT_TRUE(writer.stringWithObject(*deep.asArray()->begin()));

    // The next call clears the trace.
    EXPECT_TRUE(writer.stringWithObject(Array{}));
    EXPECT_TRUE(writer.errorTrace().empty());
}

TEST(JsonRoundTrip, ParseWriteParseGivesEqualValues) {
    const char* texts[] = {
        "{\"users\":[{\"id\":\"u1\",\"name\":\"Ana \\\"A\\\" \\u00e9\",\"score\":12.500,\"tags\":[]}],"
        "\"n\":-0,\"big\":123456789012345678901234567890,\"e\":1.5E+10,\"ok\":true,\"none\":null}",
        "[\"\\ud83d\\ude00\\u0000\\u001f/\",[[[]]],{}]",
    };
    for (const char* text : texts) {
        VelkoraKXJsonParser parser;
        VelkoraKXJsonWriter writer;
        auto first = parser.objectWithString(text);
        ASSERT_TRUE(first) << text;
        for (bool readable : {false, true}) {
            writer.setHumanReadable(readable);
            auto written = writer.stringWithObject(*first);
            ASSERT_TRUE(written);
            auto second = parser.objectWithString(*written);
            ASSERT_TRUE(second) << *written;
            EXPECT_EQ(*first, *second);
            EXPECT_EQ(writer.stringWithObject(*second), written);
        }
    }
}
