#include <gtest/gtest.h>

#include "platform/foundation/Value.h"

using namespace velkora::foundation;

TEST(Value, NumbersKeepTheirTextAndConvertLikeThePlatform) {
    Number n("12345678901234567890.125");
    EXPECT_EQ(n.text(), "12345678901234567890.125");
    EXPECT_EQ(n.toInt64(), INT64_MAX);  // clamped, never wrapped
    EXPECT_EQ(Number("-3.9").toInt32(), -3);
    EXPECT_EQ(Number("1e3").toInt64(), 1000);
    EXPECT_TRUE(Number("1") == Number("1.0"));
    EXPECT_EQ(Value(0.1).asNumber()->text(), "0.1");
}

TEST(Value, WrongTypesReadAsAbsent) {
    Value v = Dictionary{{"id", "42abc"}, {"n", Value()}, {"list", Array{1, 2}}, {"flag", "YES"}};
    EXPECT_EQ(v["id"].int64Or(-1), 42);
    EXPECT_EQ(v["n"].int64Or(-1), -1);
    EXPECT_EQ(v["missing"].textOr("none"), "none");
    EXPECT_EQ(v["list"].textOr("none"), "none");
    EXPECT_TRUE(v["flag"].boolOr(false));
    EXPECT_EQ(v["list"].at(1).int64Or(0), 2);
    EXPECT_TRUE(v["list"].at(5).isNull());
    EXPECT_TRUE(Value("x")["key"].isNull());
}

TEST(Value, DictionaryEqualityIgnoresOrderAndSetReplaces) {
    Dictionary a{{"x", 1}, {"y", "two"}};
    Dictionary b{{"y", "two"}, {"x", 1}};
    EXPECT_EQ(Value(a), Value(b));
    a.set("x", 3);
    EXPECT_EQ(a.size(), 2u);
    EXPECT_EQ(a.find("x")->int64Or(0), 3);
}

TEST(Value, ObjectsAreTypedAndComparedByIdentity) {
    struct Model {
        int id;
    };
    auto m = std::make_shared<Model>(Model{7});
    Value v = Value::object(m);
    EXPECT_EQ(v.asObject<Model>()->id, 7);
    EXPECT_EQ(v.asObject<int>(), nullptr);
    EXPECT_EQ(v, Value::object(m));
    EXPECT_NE(v, Value::object(std::make_shared<Model>(Model{7})));
}
