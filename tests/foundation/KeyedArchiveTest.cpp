#include <gtest/gtest.h>

#include "foundation/StoredData.h"
#include "platform/foundation/JsonSerialization.h"
#include "platform/foundation/KeyedArchive.h"

using namespace velkora::foundation;

namespace {

using velkora::testing::StoredLeaf;
using velkora::testing::StoredRecord;

class KeyedArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerCodableClass<StoredLeaf>();
        registerCodableClass<StoredRecord>();
    }
};

TEST_F(KeyedArchiveTest, EveryCoderKindRoundTrips) {
    StoredRecord s;
    s.i32 = -7;
    s.i64 = 9007199254740993LL; // not representable as a double
    s.flag = true;
    s.f = 0.1f;
    s.d = 1700000000.123456;
    s.data = Dictionary{{"u1", 10}, {"list", Array{"a", 2.5, true}}};
    s.text = "héllo \"quoted\"";
    s.liked = std::set<std::string>{"POST-app,1", "LIKE-app,x"};
    s.leaf = std::make_shared<StoredLeaf>();
    s.leaf->name = "three";
    auto neg = std::make_shared<StoredLeaf>();
    neg->name = "minus one";
    s.byNumber[-1] = neg;

    ErrorPtr error;
    auto back =
        std::dynamic_pointer_cast<StoredRecord>(KeyedUnarchiver::unarchiveText(KeyedArchiver::archivedText(s), &error));
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
    EXPECT_EQ(back->leaf->name, "three");
    ASSERT_EQ(back->byNumber.count(-1), 1u);
    EXPECT_EQ(back->byNumber[-1]->name, "minus one");
}

TEST_F(KeyedArchiveTest, AbsentKeysAreDetectableAndOtherTypesReadAsZero) {
    auto doc = JsonSerialization::JSONObjectWithData(
        R"({"archive":"velkora.keyed-archive","version":1,"root":{"class":"StoredLeaf","keys":{
        "n":{"bool":true},"unknownKey":{"int32":4},"s":{"object":{"number":5}}}}})");
    ASSERT_TRUE(doc);
    const Dictionary* keys = (*doc)["root"]["keys"].asDictionary();
    KeyedUnarchiver c(keys, "StoredLeaf", 0);
    EXPECT_TRUE(c.containsValueForKey("n"));
    EXPECT_FALSE(c.containsValueForKey("missing"));
    EXPECT_EQ(c.decodeInt32("n"), 0); // a bool where an int was written is not an int
    EXPECT_EQ(c.decodeInt32("missing"), 0);
    EXPECT_FALSE(c.decodeString("s")); // a number where a string is expected is absent
    EXPECT_TRUE(c.decodeObject("s").isNumber());
}

TEST_F(KeyedArchiveTest, DamagedOrForeignDocumentsFailWithAnError) {
    struct Case {
        const char* text;
    } cases[] = {
        {""},
        {"{\"archive\":\"velkora.keyed-archive\",\"version\":1,\"root\":{\"class\":\"StoredLea"},
        {"[1,2]"},
        {"{\"archive\":\"something-else\",\"version\":1,\"root\":{\"class\":\"StoredLeaf\",\"keys\":{}}}"},
        {"{\"archive\":\"velkora.keyed-archive\",\"version\":1,\"root\":{\"class\":\"NoSuchClass\",\"keys\":{}}}"},
        {"{\"archive\":\"velkora.keyed-archive\",\"version\":99,\"root\":{\"class\":\"StoredLeaf\",\"keys\":{}}}"},
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
    for (int i = 0; i < 200; ++i)
        nested = "{\"array\":[" + nested + "]}";
    std::string text = "{\"archive\":\"velkora.keyed-archive\",\"version\":1,\"root\":{\"class\":\"StoredRecord\","
                       "\"keys\":{\"data\":{\"object\":" +
                       nested + "}}}}";
    auto back = std::dynamic_pointer_cast<StoredRecord>(KeyedUnarchiver::unarchiveText(text));
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

} // namespace
