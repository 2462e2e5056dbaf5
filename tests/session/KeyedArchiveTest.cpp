#include <gtest/gtest.h>

#include "platform/foundation/KeyedArchive.h"
#include "server/utils/VelkoraKXJsonParser.h"
#include "server/utils/VelkoraKXJsonWriter.h"

using namespace velkora::foundation;

namespace {

struct Leaf : Codable {
    int32_t n = 0;
    std::string archiveClassName() const override { return "TestLeaf"; }
    void encodeWithCoder(KeyedArchiver& c) const override { c.encodeInt32(n, "n"); }
};

struct Sample : Codable {
    int32_t i32 = 0;
    int64_t i64 = 0;
    bool flag = false;
    float f = 0;
    double d = 0;
    Value data;
    std::optional<std::string> text;
    std::optional<std::set<std::string>> liked;
    std::shared_ptr<Leaf> leaf;
    std::map<int64_t, std::shared_ptr<const Codable>> byNumber;

    std::string archiveClassName() const override { return "TestSample"; }
    void encodeWithCoder(KeyedArchiver& c) const override {
        c.encodeInt32(i32, "i32");
        c.encodeInt64(i64, "i64");
        c.encodeBool(flag, "flag");
        c.encodeFloat(f, "f");
        c.encodeDouble(d, "d");
        c.encodeObject(data, "data");
        c.encodeString(text, "text");
        c.encodeStringSet(liked, "liked");
        c.encodeCodable(leaf, "leaf");
        c.encodeCodableMapByNumber(byNumber, "byNumber");
    }
};

std::shared_ptr<Codable> decodeLeaf(KeyedUnarchiver& c) {
    auto l = std::make_shared<Leaf>();
    l->n = c.decodeInt32("n");
    return l;
}

std::shared_ptr<Codable> decodeSample(KeyedUnarchiver& c) {
    auto s = std::make_shared<Sample>();
    s->i32 = c.decodeInt32("i32");
    s->i64 = c.decodeInt64("i64");
    s->flag = c.decodeBool("flag");
    s->f = c.decodeFloat("f");
    s->d = c.decodeDouble("d");
    s->data = c.decodeObject("data");
    s->text = c.decodeString("text");
    s->liked = c.decodeStringSet("liked");
    s->leaf = c.decodeCodableOf<Leaf>("leaf");
    for (auto& [k, v] : c.decodeCodableMapByNumber("byNumber")) s->byNumber[k] = v;
    return s;
}

class KeyedArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        CodableRegistry::registerClass("TestLeaf", decodeLeaf);
        CodableRegistry::registerClass("TestSample", decodeSample);
    }
};

TEST_F(KeyedArchiveTest, EveryCoderKindRoundTrips) {
    Sample s;
    s.i32 = -7;
    s.i64 = 9007199254740993LL;  // not representable as a double
    s.flag = true;
    s.f = 0.1f;
    s.d = 1700000000.123456;
    s.data = Dictionary{{"u1", 10}, {"list", Array{"a", 2.5, true}}};
    s.text = "héllo \"quoted\"";
    s.liked = std::set<std::string>{"POST-app,1", "LIKE-app,x"};
    s.leaf = std::make_shared<Leaf>();
    s.leaf->n = 3;
    auto neg = std::make_shared<Leaf>();
    neg->n = -1;
    s.byNumber[-1] = neg;

    ErrorPtr error;
    auto back = std::dynamic_pointer_cast<Sample>(KeyedUnarchiver::unarchiveText(KeyedArchiver::archivedText(s), &error));
    ASSERT_TRUE(back) << (error ? error->description() : "");
    EXPECT_EQ(back->i32, -7);
    EXPECT_EQ(back->i64, 9007199254740993LL);
    EXPECT_TRUE(back->flag);
    EXPECT_EQ(back->f, 0.1f);
    EXPECT_EQ(back->d, 1700000000.123456);
    EXPECT_EQ(back->data, s.data);
    EXPECT_EQ(back->text, s.text);
    EXPECT_EQ(back->liked, s.liked);
    ASSERT_TRUE(back->leaf);
    EXPECT_EQ(back->leaf->n, 3);
    ASSERT_EQ(back->byNumber.count(-1), 1u);
    EXPECT_EQ(std::dynamic_pointer_cast<const Leaf>(back->byNumber[-1])->n, -1);
}

TEST_F(KeyedArchiveTest, AbsentKeysAreDetectableAndOtherTypesReadAsZero) {
    velkora::VelkoraKXJsonParser parser;
    auto doc = parser.objectWithString(R"({"archive":"velkora.keyed-archive","version":1,"root":{"class":"TestLeaf","keys":{
        "n":{"bool":true},"unknownKey":{"int32":4},"s":{"object":{"number":5}}}}})");
    ASSERT_TRUE(doc);
    const Dictionary* keys = (*doc)["root"]["keys"].asDictionary();
    KeyedUnarchiver c(keys, "TestLeaf", 0);
    EXPECT_TRUE(c.containsValueForKey("n"));
    EXPECT_FALSE(c.containsValueForKey("missing"));
    EXPECT_EQ(c.decodeInt32("n"), 0);        // a bool where an int was written is not an int
    EXPECT_EQ(c.decodeInt32("missing"), 0);
    EXPECT_FALSE(c.decodeString("s"));       // a number where a string is expected is absent
    EXPECT_TRUE(c.decodeObject("s").isNumber());
}

TEST_F(KeyedArchiveTest, DamagedOrForeignDocumentsFailWithAnError) {
    struct Case {
        const char* text;
    } cases[] = {
        {""},
        {"{\"archive\":\"velkora.keyed-archive\",\"version\":1,\"root\":{\"class\":\"TestLea"},
        {"[1,2]"},
        {"{\"archive\":\"something-else\",\"version\":1,\"root\":{\"class\":\"TestLeaf\",\"keys\":{}}}"},
        {"{\"archive\":\"velkora.keyed-archive\",\"version\":1,\"root\":{\"class\":\"NoSuchClass\",\"keys\":{}}}"},
        {"{\"archive\":\"velkora.keyed-archive\",\"version\":99,\"root\":{\"class\":\"TestLeaf\",\"keys\":{}}}"},
    };
    for (const auto& c : cases) {
        ErrorPtr error;
        EXPECT_FALSE(KeyedUnarchiver::unarchiveText(c.text, &error)) << c.text;
        ASSERT_TRUE(error) << c.text;
        EXPECT_EQ(error->domain, kKeyedArchiveErrorDomain);
    }
}

TEST_F(KeyedArchiveTest, DeeplyNestedDataStopsInsteadOfRecursingWithoutBound) {
    std::string nested = "{\"string\":\"x\"}";
    for (int i = 0; i < 200; ++i) nested = "{\"array\":[" + nested + "]}";
    std::string text = "{\"archive\":\"velkora.keyed-archive\",\"version\":1,\"root\":{\"class\":\"TestSample\",\"keys\":{\"data\":{\"object\":" +
                       nested + "}}}}";
    auto back = std::dynamic_pointer_cast<Sample>(KeyedUnarchiver::unarchiveText(text));
    ASSERT_TRUE(back);
    // Depth beyond the limit is dropped, not followed.
    int depth = 0;
    const Value* v = &back->data;
    while (v->isArray() && v->size() == 1) {
        v = &v->at(0);
        ++depth;
    }
    EXPECT_LT(depth, 200);
}

}  // namespace
