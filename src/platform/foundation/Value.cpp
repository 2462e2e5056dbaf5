#include "platform/foundation/Value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace velkora::foundation {

Number Number::fromInt(int64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return Number(std::string(buf, r.ptr));
}

Number Number::fromUInt(uint64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return Number(std::string(buf, r.ptr));
}

Number Number::fromDouble(double v) {
    if (!std::isfinite(v)) return Number("0");
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return Number(std::string(buf, r.ptr));
}

bool Number::isInteger() const {
    return text_.find_first_of(".eE") == std::string::npos;
}

double Number::toDouble() const {
    double d = 0;
    const char* b = text_.data();
    const char* e = b + text_.size();
    if (b != e && *b == '+') ++b;
    auto r = std::from_chars(b, e, d);
    if (r.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value untouched on overflow; strtod gives the platform's answer (±inf or 0).
        return std::strtod(text_.c_str(), nullptr);
    }
    return d;
}

int64_t Number::toInt64() const {
    if (isInteger()) {
        int64_t v = 0;
        const char* b = text_.data();
        const char* e = b + text_.size();
        if (b != e && *b == '+') ++b;
        auto r = std::from_chars(b, e, v);
        if (r.ec == std::errc()) return v;
        if (r.ec == std::errc::result_out_of_range)
            return text_.starts_with('-') ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    }
    double d = toDouble();
    if (std::isnan(d)) return 0;
    if (d >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
    if (d <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(d);
}

int32_t Number::toInt32() const {
    int64_t v = toInt64();
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

uint64_t Number::toUInt64() const {
    if (isInteger() && !text_.starts_with('-')) {
        uint64_t v = 0;
        const char* b = text_.data();
        const char* e = b + text_.size();
        if (b != e && *b == '+') ++b;
        auto r = std::from_chars(b, e, v);
        if (r.ec == std::errc()) return v;
        if (r.ec == std::errc::result_out_of_range) return std::numeric_limits<uint64_t>::max();
    }
    int64_t s = toInt64();
    return s < 0 ? 0 : static_cast<uint64_t>(s);
}

bool operator==(const Number& a, const Number& b) {
    if (a.text_ == b.text_) return true;
    if (a.isInteger() && b.isInteger()) return a.toInt64() == b.toInt64() && a.toDouble() == b.toDouble();
    return a.toDouble() == b.toDouble();
}

Dictionary::Dictionary(std::initializer_list<Entry> entries) {
    entries_.reserve(entries.size());
    for (const auto& e : entries) set(e.first, e.second);
}

const Value* Dictionary::find(std::string_view key) const {
    for (const auto& e : entries_)
        if (e.first == key) return &e.second;
    return nullptr;
}

Value* Dictionary::find(std::string_view key) {
    for (auto& e : entries_)
        if (e.first == key) return &e.second;
    return nullptr;
}

void Dictionary::set(std::string key, Value value) {
    if (Value* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
}

void Dictionary::appendUnchecked(std::string key, Value value) {
    entries_.emplace_back(std::move(key), std::move(value));
}

bool Dictionary::erase(std::string_view key) {
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.first == key; });
    if (it == entries_.end()) return false;
    entries_.erase(it);
    return true;
}

std::vector<std::string> Dictionary::keys() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_) out.push_back(e.first);
    return out;
}

bool operator==(const Dictionary& a, const Dictionary& b) {
    if (a.size() != b.size()) return false;
    for (const auto& e : a.entries_) {
        const Value* other = b.find(e.first);
        if (!other || !(*other == e.second)) return false;
    }
    return true;
}

const Value& nullValue() {
    static const Value kNull;
    return kNull;
}

std::optional<int64_t> Value::toInt64() const {
    switch (type()) {
    case Type::Bool: return *asBool() ? 1 : 0;
    case Type::Number: return asNumber()->toInt64();
    case Type::String: {
        const std::string& s = *asString();
        size_t i = 0;
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n')) ++i;
        if (i == s.size()) return std::nullopt;
        std::string_view rest(s.data() + i, s.size() - i);
        // The platform's intValue reads a leading number and ignores what follows.
        size_t end = 0;
        if (end < rest.size() && (rest[end] == '-' || rest[end] == '+')) ++end;
        size_t digitsStart = end;
        while (end < rest.size() && rest[end] >= '0' && rest[end] <= '9') ++end;
        if (end == digitsStart) return std::nullopt;
        return Number(std::string(rest.substr(0, end))).toInt64();
    }
    default: return std::nullopt;
    }
}

int32_t Value::int32Or(int32_t fallback) const {
    auto v = toInt64();
    if (!v) return fallback;
    return static_cast<int32_t>(std::clamp<int64_t>(*v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

std::optional<double> Value::toDouble() const {
    switch (type()) {
    case Type::Bool: return *asBool() ? 1.0 : 0.0;
    case Type::Number: return asNumber()->toDouble();
    case Type::String: {
        const std::string& s = *asString();
        char* end = nullptr;
        double d = std::strtod(s.c_str(), &end);
        if (end == s.c_str()) return std::nullopt;
        return d;
    }
    default: return std::nullopt;
    }
}

std::optional<bool> Value::toBool() const {
    switch (type()) {
    case Type::Bool: return *asBool();
    case Type::Number: return asNumber()->toBool();
    case Type::String: {
        // The platform's boolValue: "Y", "y", "T", "t" or a non-zero digit after optional blanks.
        for (char c : *asString()) {
            if (c == ' ' || c == '\t' || c == '\n' || c == '+' || c == '-' || c == '0') continue;
            return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
        }
        return false;
    }
    default: return std::nullopt;
    }
}

std::optional<std::string> Value::toText() const {
    if (auto* s = asString()) return *s;
    if (auto* n = asNumber()) return n->text();
    return std::nullopt;
}

std::string Value::textOr(std::string_view fallback) const {
    if (auto t = toText()) return *t;
    return std::string(fallback);
}

const Value& Value::operator[](std::string_view key) const {
    const Value* v = get(key);
    return v ? *v : nullValue();
}

const Value* Value::get(std::string_view key) const {
    auto* d = asDictionary();
    return d ? d->find(key) : nullptr;
}

const Value& Value::at(size_t index) const {
    auto* a = asArray();
    if (!a || index >= a->size()) return nullValue();
    return (*a)[index];
}

size_t Value::size() const {
    if (auto* a = asArray()) return a->size();
    if (auto* d = asDictionary()) return d->size();
    return 0;
}

namespace {

void describe(const Value& v, std::string& out) {
    switch (v.type()) {
    case Value::Type::Null: out += "null"; break;
    case Value::Type::Bool: out += *v.asBool() ? "true" : "false"; break;
    case Value::Type::Number: out += v.asNumber()->text(); break;
    case Value::Type::String:
        out += '"';
        out += *v.asString();
        out += '"';
        break;
    case Value::Type::Array: {
        out += '[';
        bool first = true;
        for (const auto& e : *v.asArray()) {
            if (!first) out += ',';
            first = false;
            describe(e, out);
        }
        out += ']';
        break;
    }
    case Value::Type::Dictionary: {
        out += '{';
        bool first = true;
        for (const auto& [k, e] : *v.asDictionary()) {
            if (!first) out += ',';
            first = false;
            out += '"';
            out += k;
            out += "\":";
            describe(e, out);
        }
        out += '}';
        break;
    }
    case Value::Type::Object: out += "<object>"; break;
    }
}

}  // namespace

std::string Value::description() const {
    std::string out;
    describe(*this, out);
    return out;
}

bool operator==(const Value& a, const Value& b) { return a.v_ == b.v_; }

}  // namespace velkora::foundation
