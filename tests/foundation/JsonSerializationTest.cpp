#include "platform/foundation/JsonSerialization.h"

#include <gtest/gtest.h>

#include "foundation/StoredData.h"

namespace velkora::testing {
namespace {

using namespace foundation;

Value nested(size_t depth) {
    Value v = Array{};
    for (size_t i = 1; i < depth; ++i)
        v = Array{std::move(v)};
    return v;
}

TEST(JsonSerializationTest, ReadsWhatItWroteExactly) {
    Dictionary outOfOrder{{"z", 1}, {"a", Dictionary{{"y", 2}, {"b", 3}}}};
    for (const Value& v : {awkwardData(), Value(outOfOrder), Value(Array{}), nested(JsonSerialization::kMaxDepth)}) {
        ErrorPtr error;
        auto text = JsonSerialization::dataWithJSONObject(v, &error);
        ASSERT_TRUE(text) << error->description();
        auto back = JsonSerialization::JSONObjectWithData(*text, JsonSerialization::ReadingNone, &error);
        ASSERT_TRUE(back) << error->description() << " in " << *text;
        EXPECT_TRUE(sameExactly(v, *back)) << *text;
    }
}

TEST(JsonSerializationTest, ReadingTable) {
    struct Case {
        const char* name;
        std::string text;
        std::optional<Value> want; // nullopt: refused
        unsigned options = JsonSerialization::ReadingNone;
    };
    const Case cases[] = {
        {"numbers keep their text", "[1.50, -0, 1e-7, 2.5E+3, 123456789012345678901234567890]",
         Array{Number("1.50"), Number("-0"), Number("1e-7"), Number("2.5E+3"),
               Number("123456789012345678901234567890")}},
        {"escapes and a surrogate pair", R"(["\ud83d\ude00\u00e9\/\"\\\b\f\n\r\t"])",
         Array{"\xF0\x9F\x98\x80\xC3\xA9/\"\\\b\f\n\r\t"}},
        {"an escaped NUL stays in the text", R"(["a\u0000b"])", Array{std::string("a\0b", 3)}},
        {"a repeated key replaces the earlier value", R"({"a":1,"b":2,"a":3})", Dictionary{{"a", 3}, {"b", 2}}},
        {"white space around everything", " \t\r\n{ \"a\" :\n[ true , false , null ] }\r\n",
         Dictionary{{"a", Array{true, false, Value()}}}},
        {"a bare value when fragments are allowed", "\"bare\"", Value("bare"),
         JsonSerialization::ReadingAllowFragments},
        {"a bare value", "\"bare\"", std::nullopt},
        {"a bare number", "12", std::nullopt},
        {"nothing", "", std::nullopt},
        {"an unclosed object", R"({"a":1)", std::nullopt},
        {"a trailing comma in an array", "[1,]", std::nullopt},
        {"a trailing comma in an object", R"({"a":1,})", std::nullopt},
        {"a leading zero", "[01]", std::nullopt},
        {"a leading plus", "[+1]", std::nullopt},
        {"no digits after the point", "[1.]", std::nullopt},
        {"no comma between elements", "[1 2]", std::nullopt},
        {"a raw control character in a text", "[\"a\x01\"]", std::nullopt},
        {"an undefined escape", R"(["\x"])", std::nullopt},
        {"a lone high surrogate", R"(["\ud800"])", std::nullopt},
        {"a broken literal", "[tru]", std::nullopt},
        {"text after the value", "[] x", std::nullopt},
        {"text after a NUL after the value", std::string("[]\0x", 4), std::nullopt},
        {"a key that is not a text", "{1:2}", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ErrorPtr error;
        auto got = JsonSerialization::JSONObjectWithData(c.text, c.options, &error);
        if (c.want) {
            ASSERT_TRUE(got) << error->description();
            EXPECT_FALSE(error);
            EXPECT_TRUE(sameExactly(*got, *c.want));
        } else {
            EXPECT_FALSE(got);
            ASSERT_TRUE(error);
            EXPECT_EQ(error->domain, kJsonSerializationErrorDomain);
            EXPECT_TRUE(error->userInfo["reason"].isString());
        }
    }
}

TEST(JsonSerializationTest, NestingIsBoundedWithoutRecursingOnTheStack) {
    const size_t limit = JsonSerialization::kMaxDepth;
    EXPECT_TRUE(JsonSerialization::JSONObjectWithData(std::string(limit, '[') + std::string(limit, ']')));
    ErrorPtr error;
    EXPECT_FALSE(JsonSerialization::JSONObjectWithData(std::string(limit + 1, '[') + std::string(limit + 1, ']'),
                                                       JsonSerialization::ReadingNone, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->userInfo["reason"].textOr(""), "nested too deep");
    // Far deeper than any stack would take one frame per level.
    EXPECT_FALSE(JsonSerialization::JSONObjectWithData(std::string(5'000'000, '[')));
    EXPECT_FALSE(JsonSerialization::dataWithJSONObject(nested(limit + 1), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->userInfo["reason"].textOr(""), "nested too deep");
}

TEST(JsonSerializationTest, WritesCompactTextWithTheNeededEscapesOnly) {
    Value v =
        Dictionary{{"b", Array{std::string("q\"b\\n\n\x01\x1f\0/\xC3\xA9", 12), Number("-1.50e+3"), true, Value()}},
                   {"a", Dictionary{}}};
    EXPECT_EQ(JsonSerialization::dataWithJSONObject(v),
              "{\"b\":[\"q\\\"b\\\\n\\n\\u0001\\u001F\\u0000/\xC3\xA9\",-1.50e+3,true,null],\"a\":{}}");
}

TEST(JsonSerializationTest, ValuesWithoutAJsonFormAreRefusedWithAReason) {
    struct Case {
        const char* name;
        Value value;
    };
    const Case cases[] = {
        {"a bare text", Value("text")},
        {"a bare number", Value(1)},
        {"null", Value()},
        {"an object reference", Array{Value::object(std::make_shared<int>(1))}},
        {"a number that is not JSON", Dictionary{{"n", Number("nan")}}},
        {"a number with a plus", Array{Number("+1")}},
        {"a number without digits after its point", Array{Number("1.")}},
        {"a number without a leading digit", Array{Number(".5")}},
        {"an empty number", Array{Number("")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ErrorPtr error;
        EXPECT_FALSE(JsonSerialization::dataWithJSONObject(c.value, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain, kJsonSerializationErrorDomain);
        EXPECT_FALSE(JsonSerialization::isValidJSONObject(c.value));
    }
}

} // namespace
} // namespace velkora::testing
