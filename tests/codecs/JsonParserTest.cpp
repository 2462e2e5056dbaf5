#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JsonTestSupport.h"
#include "server/utils/VelkoraKXJSON.h"
#include "server/utils/VelkoraKXJsonParser.h"

using namespace velkora;
using foundation::Value;
using velkora::testing::TraceLines;
using velkora::testing::traceOf;

namespace {

struct FailureCase {
    std::string input;
    TraceLines trace;
};

} // namespace

TEST(JsonParser, EveryFailureGivesItsCodeAndTextInChainOrder) {
    const FailureCase cases[] = {
        {"[1,]", {{9, "Trailing comma disallowed in array"}}},
        {"{\"a\":1,}", {{9, "Trailing comma disallowed in object"}}},
        {"[", {{11, "End of input while parsing array"}}},
        {"[1", {{11, "End of input while parsing array"}}},
        {"[ ", {{11, "Unexpected end of string"}, {3, "Expected value while parsing array"}}},
        {"{", {{11, "End of input while parsing object"}}},
        {"{\"a\":1", {{11, "End of input while parsing object"}}},
        {"", {{11, "Unexpected end of string"}}},
        {"  \n", {{11, "Unexpected end of string"}}},
        {"[01]", {{2, "Leading 0 disallowed in number"}, {3, "Expected value while parsing array"}}},
        {"[-]", {{2, "No digits after initial minus"}, {3, "Expected value while parsing array"}}},
        {"[1.]", {{2, "No digits after decimal point"}, {3, "Expected value while parsing array"}}},
        {"[1e]", {{2, "No digits after exponent"}, {3, "Expected value while parsing array"}}},
        {"[1E+]", {{2, "No digits after exponent"}, {3, "Expected value while parsing array"}}},
        {"[+1]", {{2, "Leading + disallowed in number"}, {3, "Expected value while parsing array"}}},
        {"[x]", {{3, "Unrecognised leading character"}, {3, "Expected value while parsing array"}}},
        {"[tru]", {{3, "Expected 'true'"}, {3, "Expected value while parsing array"}}},
        {"[fals]", {{3, "Expected 'false'"}, {3, "Expected value while parsing array"}}},
        {"[nul]", {{3, "Expected 'null'"}, {3, "Expected value while parsing array"}}},
        {"{1:2}", {{3, "Object key string expected"}}},
        {"{\"a\" 1}", {{3, "Expected ':' separating key and value"}}},
        {"{\"a\":}", {{3, "Unrecognised leading character"}, {3, "Object value expected for key: a"}}},
        {"1", {{4, "Valid fragment, but not JSON"}}},
        {"\"abc", {{5, "Unescaped control character '0x0'"}}},
        {"[\"a\tb\"]", {{5, "Unescaped control character '0x9'"}, {3, "Expected value while parsing array"}}},
        {"[\"\\x\"]", {{8, "Illegal escape sequence '0x78'"}, {3, "Expected value while parsing array"}}},
        {"[\"\\", {{8, "Illegal escape sequence '0x0'"}, {3, "Expected value while parsing array"}}},
        {"[\"\\n", {{11, "Unexpected EOF while parsing string"}, {3, "Expected value while parsing array"}}},
        {"{}x", {{10, "Garbage after JSON"}}},
        {"[] []", {{10, "Garbage after JSON"}}},
        {"{\"k\":\"\\u12G4\"}",
         {{6, "Missing hex digit in quad"},
          {6, "Missing hex quad"},
          {6, "Broken unicode character"},
          {3, "Object value expected for key: k"}}},
        {"[\"\\ud83d\"]",
         {{6, "Missing low character in surrogate pair"},
          {6, "Broken unicode character"},
          {3, "Expected value while parsing array"}}},
        {"[\"\\ud83d\\u00e9\"]",
         {{6, "Invalid low surrogate char"},
          {6, "Broken unicode character"},
          {3, "Expected value while parsing array"}}},
        {"[\"\\ude00\"]",
         {{6, "Invalid high character in surrogate pair"},
          {6, "Broken unicode character"},
          {3, "Expected value while parsing array"}}},
        {"{\"\\q\":1}", {{8, "Illegal escape sequence '0x71'"}, {3, "Object key string expected"}}},
        // The chain runs from the innermost failure outwards through every container that was open.
        {"{\"a\":[{\"b\":tx}]}",
         {{3, "Expected 'true'"},
          {3, "Object value expected for key: b"},
          {3, "Expected value while parsing array"},
          {3, "Object value expected for key: a"}}},
        {"[[1,]]", {{9, "Trailing comma disallowed in array"}, {3, "Expected value while parsing array"}}},
        // Bytes that are not UTF-8 are refused rather than passed on as text.
        {"[\"\xC3\x28\"]", {{3, "Invalid UTF-8 byte '0xc3' in string"}, {3, "Expected value while parsing array"}}},
        {"[\"\xED\xA0\x80\"]", {{3, "Invalid UTF-8 byte '0xed' in string"}, {3, "Expected value while parsing array"}}},
    };
    for (const auto& c : cases) {
        VelkoraKXJsonParser parser;
        EXPECT_FALSE(parser.objectWithString(c.input)) << c.input;
        EXPECT_EQ(traceOf(parser), c.trace) << c.input;
    }
}

TEST(JsonParser, TraceErrorsAreChainedAndCarryTheDomain) {
    VelkoraKXJsonParser parser;
    ASSERT_FALSE(parser.objectWithString("{\"k\":\"\\u12G4\"}"));
    const auto& trace = parser.errorTrace();
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_EQ(trace[0]->underlying, nullptr);
    for (size_t i = 1; i < trace.size(); ++i)
        EXPECT_EQ(trace[i]->underlying, trace[i - 1]);
    for (const auto& e : trace)
        EXPECT_EQ(e->domain, "org.dorvanet.JSON.ErrorDomain");
    EXPECT_EQ(parser.lastError(), trace.back());

    // The next call starts a fresh trace; a success leaves it empty.
    EXPECT_TRUE(parser.objectWithString("[]"));
    EXPECT_TRUE(parser.errorTrace().empty());
}

TEST(JsonParser, NullInputFailsWithCode12) {
    VelkoraKXJsonParser parser;
    const char* nothing = nullptr;
    EXPECT_FALSE(parser.objectWithString(nothing));
    EXPECT_EQ(traceOf(parser), (TraceLines{{12, "Input was 'nil'"}}));
    EXPECT_FALSE(parser.fragmentWithString(nothing));
    EXPECT_EQ(traceOf(parser), (TraceLines{{12, "Input was 'nil'"}}));
}

TEST(JsonParser, TolerancesAndValues) {
    VelkoraKXJsonParser parser;
    auto v = parser.objectWithString("[1 2]");
    ASSERT_TRUE(v);
    EXPECT_EQ(*v, Value(foundation::Array{1, 2}));

    v = parser.objectWithString("{\"a\":1 \"b\":2}");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->size(), 2u);

    // A key given twice keeps the later value.
    v = parser.objectWithString("{\"a\":1,\"b\":2,\"a\":3}");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->size(), 2u);
    EXPECT_EQ((*v)["a"].int64Or(0), 3);

    // Trailing white space, vertical tab and form feed included, is accepted.
    EXPECT_TRUE(parser.objectWithString(" {} \t\n\v\f\r"));

    v = parser.objectWithString("[-0, 1.25E-3, 0, true, false, null, \"\"]");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->at(0).asNumber()->text(), "-0");
    EXPECT_EQ(v->at(1).asNumber()->text(), "1.25E-3");
    EXPECT_TRUE(v->at(3).isBool() && *v->at(3).asBool());
    EXPECT_TRUE(v->at(4).isBool() && !*v->at(4).asBool());
    EXPECT_TRUE(v->at(5).isNull());
    EXPECT_EQ(*v->at(6).asString(), "");
}

TEST(JsonParser, NumbersKeepTheirExactDecimalText) {
    VelkoraKXJsonParser parser;
    auto v = parser.objectWithString("[0.1, 12345678901234567890123456789012345678, 1e400, 9007199254740993]");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->at(0).asNumber()->text(), "0.1");
    EXPECT_EQ(v->at(1).asNumber()->text(), "12345678901234567890123456789012345678");
    EXPECT_EQ(v->at(2).asNumber()->text(), "1e400");
    EXPECT_EQ(v->at(3).asNumber()->text(), "9007199254740993");
    EXPECT_EQ(v->at(3).int64Or(0), 9007199254740993LL); // not rounded through a double
}

// Long runs of digits are read in blocks when enough input follows: the number read and the byte that
// ends it must not depend on where the run falls against a block or on how much input is left.
TEST(JsonParser, DigitRunsEndOnTheSameByteWithOrWithoutInputBehind) {
    auto digits = [](size_t n, char first) {
        std::string s(1, first);
        for (size_t i = 1; i < n; ++i)
            s += static_cast<char>('0' + i % 10);
        return s;
    };
    std::vector<std::string> numbers;
    for (size_t n : {1u, 2u, 15u, 16u, 17u, 31u, 32u, 33u}) {
        numbers.push_back(digits(n, '9'));
        numbers.push_back(std::string("-").append(digits(n, '1')).append(".").append(digits(n, '0')));
        numbers.push_back(std::string("0.").append(digits(n, '5')).append("e+").append(digits(n, '7')));
        numbers.push_back(std::string("-0E").append(digits(n, '3')));
    }
    std::string tail = std::string(",").append(40, ' ').append("1]");
    VelkoraKXJsonParser parser;
    for (size_t shift = 0; shift < 16; ++shift) {
        std::string lead = std::string("[").append(shift, ' ');
        for (const auto& number : numbers) {
            auto v = parser.objectWithString(lead + number + tail);
            ASSERT_TRUE(v) << number;
            EXPECT_EQ(v->at(0).asNumber()->text(), number);
            // A byte just outside the digits ends the run: the next scanner rejects it the same way
            // however much input follows it.
            for (char stop : {'/', ':', 'x', '\x80', '\xB9', '\xFF'}) {
                std::string text = lead + number + stop;
                ASSERT_FALSE(parser.objectWithString(text + tail)) << number << stop;
                TraceLines withTail = traceOf(parser);
                ASSERT_FALSE(parser.objectWithString(text));
                EXPECT_EQ(withTail, traceOf(parser)) << number << stop;
                EXPECT_FALSE(withTail.empty());
            }
        }
    }
    // A run broken inside a block by a misplaced character fails as before.
    for (const char* broken : {"[0123456789012345678901234567890, 1]", "[-.12345678901234567890123456789, 1]",
                               "[1.e12345678901234567890123456789, 1]", "[1.5e+x2345678901234567890123456, 1]"}) {
        std::string text = broken;
        EXPECT_FALSE(parser.objectWithString(text)) << text;
        ASSERT_EQ(traceOf(parser).size(), 2u) << text;
        EXPECT_EQ(traceOf(parser)[0].first, kVelkoraKXJsonNumber) << text;
    }
}

TEST(JsonParser, StringsEscapesAndSurrogatePairs) {
    VelkoraKXJsonParser parser;
    auto v = parser.fragmentWithString("\"\\ud83d\\ude00\"");
    ASSERT_TRUE(v);
    EXPECT_EQ(*v->asString(), "\xF0\x9F\x98\x80"); // U+1F600

    v = parser.fragmentWithString("\"\\uD83D\\uDFFF\""); // a low half of DFFF is accepted
    ASSERT_TRUE(v);
    EXPECT_EQ(*v->asString(), "\xF0\x9F\x9F\xBF"); // U+1F7FF

    v = parser.fragmentWithString("\"a\\\"b\\\\c\\/d\\b\\f\\n\\r\\te\\u00e9\\u20AC\\u0000z\"");
    ASSERT_TRUE(v);
    EXPECT_EQ(*v->asString(), std::string("a\"b\\c/d\b\f\n\r\te\xC3\xA9\xE2\x82\xAC\0z", 20));

    // Raw multi-byte characters pass through whole, also across the reader's 16-byte scanning steps.
    std::string text = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xF0\x9F\x98\x80 \xE4\xBD\xA0\xE5\xA5\xBD";
    for (int i = 0; i < 3; ++i)
        text += text;
    v = parser.fragmentWithString("\"" + text + "\"");
    ASSERT_TRUE(v);
    EXPECT_EQ(*v->asString(), text);
}

// Escaped text is assembled in a buffer the reader keeps between strings: a long string followed by short
// ones, and a key and its value that both hold escapes, must each read back as themselves, with nothing
// left over from the string before.
TEST(JsonParser, EscapedStringsOfEveryLengthReadBackExactly) {
    const std::string piece = "\\nab\\u00e9\\ud83d\\ude00\\\"\\\\\\/x";
    const std::string decoded = "\nab\xC3\xA9\xF0\x9F\x98\x80\"\\/x";
    const int repeats[] = {1, 2, 40, 1, 700, 3, 0, 5000, 1, 2};
    std::string text = "[";
    std::vector<std::string> expected;
    for (int n : repeats) {
        std::string raw, plain;
        for (int i = 0; i < n; ++i) {
            raw += piece;
            plain += decoded;
        }
        // Escapes at the very start and the very end of a string, around plain runs.
        text += (text.size() > 1 ? ",\"" : "\"") + raw + "plain\\t\"";
        expected.push_back(plain + "plain\t");
    }
    text += ",{\"k\\u00e9y\\n\":\"v\\u00e0l\\tue\",\"\\\"\":\"q\"}]";

    VelkoraKXJsonParser parser;
    for (int round = 0; round < 2; ++round) {
        auto v = parser.objectWithString(text);
        ASSERT_TRUE(v) << parser.errorTraceDescription();
        ASSERT_EQ(v->size(), expected.size() + 1);
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(v->at(i).textOr("?"), expected[i]) << "string " << i;
        const Value& object = v->at(expected.size());
        EXPECT_EQ(object["k\xC3\xA9y\n"].textOr("?"), "v\xC3\xA0l\tue");
        EXPECT_EQ(object["\""].textOr("?"), "q");
    }
}

TEST(JsonParser, FragmentsAgainstObjects) {
    VelkoraKXJsonParser parser;
    for (const char* scalar : {"\"text\"", "42", "-1.5e3", "true", "false", "null"}) {
        EXPECT_TRUE(parser.fragmentWithString(scalar)) << scalar;
        EXPECT_FALSE(parser.objectWithString(scalar)) << scalar;
        EXPECT_EQ(traceOf(parser), (TraceLines{{4, "Valid fragment, but not JSON"}})) << scalar;
    }
    auto v = parser.fragmentWithString(" null ");
    ASSERT_TRUE(v);
    EXPECT_TRUE(v->isNull());
}

TEST(JsonParser, DepthLimit) {
    auto nested = [](int n, char open, char close) { return std::string(n, open) + std::string(n, close); };
    VelkoraKXJsonParser parser;
    EXPECT_EQ(parser.maxDepth(), 512u);
    EXPECT_TRUE(parser.objectWithString(nested(512, '[', ']')));
    EXPECT_FALSE(parser.objectWithString(nested(513, '[', ']')));
    auto trace = traceOf(parser);
    ASSERT_EQ(trace.size(), 513u);
    EXPECT_EQ(trace.front(), (std::pair<int64_t, std::string>{7, "Nested too deep"}));
    EXPECT_EQ(trace.back(), (std::pair<int64_t, std::string>{3, "Expected value while parsing array"}));

    std::string objects;
    for (int i = 0; i < 513; ++i)
        objects += "{\"k\":";
    objects += '1';
    objects.append(513, '}');
    EXPECT_FALSE(parser.objectWithString(objects));
    EXPECT_EQ(parser.errorTrace().front()->code, 7);

    parser.setMaxDepth(2);
    EXPECT_TRUE(parser.objectWithString("[[1]]"));
    EXPECT_FALSE(parser.objectWithString("[[[1]]]"));

    // 0 lifts the limit.
    parser.setMaxDepth(0);
    EXPECT_TRUE(parser.objectWithString(nested(2000, '[', ']')));
}

TEST(JsonParser, LargeObjectsWithAndWithoutRepeatedKeys) {
    std::string text = "{";
    for (int i = 0; i < 500; ++i) {
        if (i) text += ',';
        text += "\"key";
        text += std::to_string(i);
        text += "\":";
        text += std::to_string(i);
    }
    std::string repeated = text + ",\"key7\":\"again\"}";
    text += "}";
    VelkoraKXJsonParser parser;
    auto v = parser.objectWithString(text);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->size(), 500u);
    EXPECT_EQ((*v)["key499"].int64Or(-1), 499);
    v = parser.objectWithString(repeated);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->size(), 500u);
    EXPECT_EQ((*v)["key7"].textOr(""), "again");
}

// Containers reserve room from what their siblings needed, kept per depth and key: sizes that swing,
// outliers beyond the largest reservation, keys that share a depth and nesting deeper than the table of
// hints must all read back exactly, also when one reader is used again.
TEST(JsonParser, SiblingsOfSwingingSizesReadBackExactly) {
    auto list = [](int n, int seed) {
        std::string s = "[";
        for (int i = 0; i < n; ++i) {
            if (i) s += ',';
            s += std::to_string(seed + i);
        }
        return s + "]";
    };
    auto object = [](int n) {
        std::string s = "{";
        for (int i = 0; i < n; ++i) {
            s += i ? ",\"k" : "\"k";
            s += std::to_string(i);
            s += "\":";
            s += std::to_string(i);
        }
        return s + "}";
    };
    std::string text = "{\"items\":[";
    const int sizes[] = {9, 11, 9, 9, 11, 0, 1, 2000, 3, 1, 0, 2, 30, 5,  5, 5,
                         5, 5,  5, 5, 5,  5, 5, 5,    5, 5, 5, 5, 5,  40, 1};
    int i = 0;
    for (int n : sizes) {
        text += i++ ? "," : "";
        text += "{\"likes\":" + list(n % 4, n) + ",\"comments\":" + list(n, 7) + ",\"user\":" + object(n % 13) +
                ",\"shape\":" + object(n) + "}";
    }
    text += "],\"deep\":";
    for (int d = 0; d < 300; ++d)
        text += d % 2 ? "{\"k\":" : "[";
    text += list(3, 1);
    for (int d = 300; d-- > 0;)
        text += d % 2 ? "}" : "]";
    text += "}";

    VelkoraKXJsonParser parser;
    for (int round = 0; round < 2; ++round) {
        auto v = parser.objectWithString(text);
        ASSERT_TRUE(v) << parser.errorTraceDescription();
        EXPECT_EQ(v->description(), text);
        EXPECT_EQ((*v)["items"].at(7)["comments"].size(), 2000u);
    }
}

TEST(JsonFacade, CopiesTheTraceAndHandsBackTheLastError) {
    VelkoraKXJSON json;
    foundation::ErrorPtr error;
    EXPECT_FALSE(json.objectWithString("[x]", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 3);
    EXPECT_EQ(json.errorTrace().size(), 2u);
    EXPECT_EQ(json.errorTrace().back(), error);

    EXPECT_TRUE(json.objectWithString("7", true, nullptr));
    EXPECT_FALSE(json.objectWithString("7", false, &error));
    EXPECT_EQ(error->code, 4);

    json.setMaxDepth(1);
    EXPECT_EQ(json.jsonParser().maxDepth(), 1u);
    EXPECT_EQ(json.jsonWriter().maxDepth(), 1u);
    EXPECT_FALSE(json.stringWithObject(Value(foundation::Array{Value(foundation::Array{})}), &error));
    EXPECT_EQ(error->code, 7);

    EXPECT_EQ(JSONValue("{\"a\":[1]}").value_or(Value())["a"].at(0).int64Or(0), 1);
    EXPECT_FALSE(JSONValue("{"));
}
