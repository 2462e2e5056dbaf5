// Two coded classes whose archives the stored-file tests keep (every coder kind, and a leaf nested by key,
// in a list and in a map by number), the texts and numbers JSON most easily gets wrong, and an exact comparison.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/KeyedArchive.h"

namespace velkora::testing {

struct StoredLeaf : foundation::Codable {
    static constexpr const char* kClassName = "StoredLeaf";
    std::string name;
    std::string archiveClassName() const override { return kClassName; }
    void encodeWithCoder(foundation::KeyedArchiver& c) const override { c.encodeString(name, "name"); }
    static std::shared_ptr<StoredLeaf> initWithCoder(foundation::KeyedUnarchiver& c) {
        auto l = std::make_shared<StoredLeaf>();
        l->name = c.decodeString("name").value_or("");
        return l;
    }
};

struct StoredRecord : foundation::Codable {
    static constexpr const char* kClassName = "StoredRecord";
    int32_t i32 = 0;
    int64_t i64 = 0;
    bool flag = false;
    float f = 0;
    double d = 0;
    foundation::Value data;
    std::optional<std::string> text;
    std::optional<std::set<std::string>> liked;
    std::shared_ptr<StoredLeaf> leaf;
    std::vector<std::shared_ptr<StoredLeaf>> leaves;
    std::map<int64_t, std::shared_ptr<StoredLeaf>> byNumber;

    std::string archiveClassName() const override { return kClassName; }
    void encodeWithCoder(foundation::KeyedArchiver& c) const override {
        c.encodeInt32(i32, "i32");
        c.encodeInt64(i64, "i64");
        c.encodeBool(flag, "flag");
        c.encodeFloat(f, "f");
        c.encodeDouble(d, "d");
        c.encodeObject(data, "data");
        c.encodeString(text, "text");
        c.encodeStringSet(liked, "liked");
        c.encodeCodable(leaf, "leaf");
        std::vector<std::shared_ptr<const foundation::Codable>> list(leaves.begin(), leaves.end());
        c.encodeCodableArray(list, "leaves");
        std::map<int64_t, std::shared_ptr<const foundation::Codable>> map(byNumber.begin(), byNumber.end());
        c.encodeCodableMapByNumber(map, "byNumber");
    }
    static std::shared_ptr<StoredRecord> initWithCoder(foundation::KeyedUnarchiver& c) {
        auto r = std::make_shared<StoredRecord>();
        r->i32 = c.decodeInt32("i32");
        r->i64 = c.decodeInt64("i64");
        r->flag = c.decodeBool("flag");
        r->f = c.decodeFloat("f");
        r->d = c.decodeDouble("d");
        r->data = c.decodeObject("data");
        r->text = c.decodeString("text");
        r->liked = c.decodeStringSet("liked");
        r->leaf = c.decodeCodableOf<StoredLeaf>("leaf");
        for (auto& o : c.decodeCodableArray("leaves"))
            if (auto l = std::dynamic_pointer_cast<StoredLeaf>(o)) r->leaves.push_back(l);
        for (auto& [k, o] : c.decodeCodableMapByNumber("byNumber"))
            if (auto l = std::dynamic_pointer_cast<StoredLeaf>(o)) r->byNumber[k] = l;
        return r;
    }
};

// Texts and numbers a JSON reader or writer most easily gets wrong.
inline std::string awkwardText() {
    return std::string("quote \" backslash \\ slash / tab\t line\n return\r bell\x07 unit\x1f nul") + '\0' +
           " e\xC3\xA9 kana \xE3\x81\x8B emoji \xF0\x9F\x98\x80 end";
}

inline foundation::Value awkwardData() {
    using foundation::Array;
    using foundation::Dictionary;
    using foundation::Number;
    return Dictionary{
        {"text", awkwardText()},
        {"empty", ""},
        {"numbers", Array{Number("1.50"), Number("-0"), Number("1e-7"), Number("2.5E+3"), Number("9007199254740993"),
                          Number("123456789012345678901234567890"), Number("-2147483648"), Number("0.1")}},
        {"flags", Array{true, false}},
        {"nested", Dictionary{{"b", 2}, {"a", Dictionary{{"deep", Array{Array{}, Dictionary{}}}}}}},
        {"k\xC3\xA9y \"q\" \\", "v"},
    };
}

inline StoredRecord awkwardRecord() {
    StoredRecord r;
    r.i32 = -2147483647 - 1;
    r.i64 = 9007199254740993LL;
    r.flag = true;
    r.f = 0.1f;
    r.d = 1700000000.123456;
    r.data = awkwardData();
    r.text = awkwardText();
    r.liked = std::set<std::string>{"p-1", "p-2", "\xE3\x81\x8B"};
    r.leaf = std::make_shared<StoredLeaf>();
    r.leaf->name = "solo";
    for (const char* n : {"first", "second"}) {
        auto l = std::make_shared<StoredLeaf>();
        l->name = n;
        r.leaves.push_back(l);
    }
    for (int64_t k : {-5LL, 0LL, 4294967296LL}) {
        auto l = std::make_shared<StoredLeaf>();
        l->name = "n" + std::to_string(k);
        r.byNumber[k] = l;
    }
    return r;
}

// Equal down to each number's text and each dictionary's key order: what "reads the same" means here.
inline ::testing::AssertionResult sameExactly(const foundation::Value& a, const foundation::Value& b,
                                              const std::string& at = "") {
    if (a.type() != b.type()) return ::testing::AssertionFailure() << at << ": types differ";
    if (auto* n = a.asNumber()) {
        if (n->text() != b.asNumber()->text())
            return ::testing::AssertionFailure() << at << ": " << n->text() << " != " << b.asNumber()->text();
    } else if (auto* arr = a.asArray()) {
        if (arr->size() != b.asArray()->size()) return ::testing::AssertionFailure() << at << ": lengths differ";
        for (size_t i = 0; i < arr->size(); ++i)
            if (auto r = sameExactly((*arr)[i], b.at(i), at + "[" + std::to_string(i) + "]"); !r) return r;
    } else if (auto* d = a.asDictionary()) {
        auto other = b.asDictionary()->begin();
        if (d->size() != b.asDictionary()->size()) return ::testing::AssertionFailure() << at << ": sizes differ";
        for (const auto& [key, v] : *d) {
            if (key != other->first) return ::testing::AssertionFailure() << at << ": key " << key << " out of order";
            if (auto r = sameExactly(v, other->second, at + "." + key); !r) return r;
            ++other;
        }
    } else if (!(a == b)) {
        return ::testing::AssertionFailure() << at << ": " << a.description() << " != " << b.description();
    }
    return ::testing::AssertionSuccess();
}

} // namespace velkora::testing
