#include "platform/foundation/JsonSerialization.h"

#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <vector>

namespace velkora::foundation {

namespace {

enum ErrorCode { kNotJson = 1, kNotAContainer = 2, kTooDeep = 3, kNotWritable = 4 };

void setError(ErrorPtr* error, int code, std::string reason, std::optional<size_t> offset = std::nullopt) {
    if (!error) return;
    Dictionary info{{"reason", std::move(reason)}};
    if (offset) info.set("offset", static_cast<unsigned long long>(*offset));
    *error = makeError(kJsonSerializationErrorDomain, code, std::move(info));
}

// Builds the value as the reader hands it over. The members of every open container wait on one flat
// stack (their keys on another) until the container closes, when the reader says how many it holds: each
// container is then made at its final size, with no growing along the way. The reader runs iteratively,
// so neither side recurses however deep the text nests.
class Builder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Builder> {
public:
    Builder() {
        values_.reserve(64);
        keys_.reserve(32);
    }
    bool Null() { return add(Value()); }
    bool Bool(bool b) { return add(Value(b)); }
    bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
        return add(Value(std::in_place_type<Number>, text, length));
    }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        return add(Value(std::in_place_type<std::string>, text, length));
    }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        keys_.emplace_back(text, length);
        return true;
    }
    bool StartObject() { return open(); }
    bool StartArray() { return open(); }
    bool EndObject(rapidjson::SizeType members) {
        Dictionary d;
        d.reserve(members);
        const size_t first = values_.size() - members, firstKey = keys_.size() - members;
        for (size_t i = 0; i < members; ++i)
            d.set(std::move(keys_[firstKey + i]), std::move(values_[first + i]));
        values_.resize(first);
        keys_.resize(firstKey);
        --depth_;
        return add(Value(std::move(d)));
    }
    bool EndArray(rapidjson::SizeType elements) {
        const auto first = values_.end() - static_cast<std::ptrdiff_t>(elements);
        Value array(std::in_place_type<Array>, std::make_move_iterator(first), std::make_move_iterator(values_.end()));
        values_.erase(first, values_.end());
        --depth_;
        return add(std::move(array));
    }

    bool tooDeep() const { return tooDeep_; }
    std::optional<Value>& root() { return root_; }

private:
    bool add(Value v) {
        if (depth_ == 0)
            root_ = std::move(v);
        else
            values_.push_back(std::move(v));
        return true;
    }
    bool open() {
        if (depth_ >= JsonSerialization::kMaxDepth) {
            tooDeep_ = true;
            return false;
        }
        ++depth_;
        return true;
    }

    std::vector<Value> values_;
    std::vector<std::string> keys_;
    unsigned depth_ = 0;
    std::optional<Value> root_;
    bool tooDeep_ = false;
};

// The grammar of a JSON number: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
bool isJsonNumberText(std::string_view t) {
    size_t i = 0, n = t.size();
    auto digits = [&] {
        size_t start = i;
        while (i < n && t[i] >= '0' && t[i] <= '9')
            ++i;
        return i > start;
    };
    if (i < n && t[i] == '-') ++i;
    if (i < n && t[i] == '0')
        ++i;
    else if (!(i < n && t[i] >= '1' && t[i] <= '9') || !digits())
        return false;
    if (i < n && t[i] == '.') {
        ++i;
        if (!digits()) return false;
    }
    if (i < n && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
        if (!digits()) return false;
    }
    return i == n;
}

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

struct WriteFailure {
    int code = 0; // 0: written
    std::string reason;
};

WriteFailure notWritable(std::string reason) {
    return {kNotWritable, std::move(reason)};
}

WriteFailure write(Writer& w, const Value& v, unsigned depth) {
    switch (v.type()) {
    case Value::Type::Null:
        w.Null();
        return {};
    case Value::Type::Bool:
        w.Bool(*v.asBool());
        return {};
    case Value::Type::Number: {
        const std::string& text = v.asNumber()->text();
        if (!isJsonNumberText(text)) return notWritable("the number \"" + text + "\" has no JSON form");
        w.RawValue(text.data(), text.size(), rapidjson::kNumberType);
        return {};
    }
    case Value::Type::String: {
        const std::string& s = *v.asString();
        w.String(s.data(), static_cast<rapidjson::SizeType>(s.size()));
        return {};
    }
    case Value::Type::Array: {
        if (depth >= JsonSerialization::kMaxDepth) return {kTooDeep, "nested too deep"};
        w.StartArray();
        for (const auto& e : *v.asArray())
            if (auto failure = write(w, e, depth + 1); failure.code) return failure;
        w.EndArray();
        return {};
    }
    case Value::Type::Dictionary: {
        if (depth >= JsonSerialization::kMaxDepth) return {kTooDeep, "nested too deep"};
        w.StartObject();
        for (const auto& [key, e] : *v.asDictionary()) {
            w.Key(key.data(), static_cast<rapidjson::SizeType>(key.size()));
            if (auto failure = write(w, e, depth + 1); failure.code) {
                failure.reason += " (under the key \"" + key + "\")";
                return failure;
            }
        }
        w.EndObject();
        return {};
    }
    case Value::Type::Object:
        return notWritable("an object reference has no JSON form");
    }
    return notWritable("unknown value");
}

} // namespace

std::optional<Value> JsonSerialization::JSONObjectWithData(std::string_view data, unsigned options, ErrorPtr* error) {
    if (error) *error = nullptr;
    rapidjson::MemoryStream stream(data.data(), data.size());
    Builder builder;
    rapidjson::Reader reader;
    constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag;
    rapidjson::ParseResult result = reader.Parse<kFlags>(stream, builder);
    if (!result) {
        if (builder.tooDeep())
            setError(error, kTooDeep, "nested too deep", result.Offset());
        else
            setError(error, kNotJson, rapidjson::GetParseError_En(result.Code()), result.Offset());
        return std::nullopt;
    }
    // The reader takes a NUL byte for the end of the text; what follows one is still text after the value.
    if (stream.Tell() != data.size()) {
        setError(error, kNotJson, "text after the value", stream.Tell());
        return std::nullopt;
    }
    std::optional<Value>& root = builder.root();
    if (!(options & ReadingAllowFragments) && !root->isDictionary() && !root->isArray()) {
        setError(error, kNotAContainer, "the text is a bare value, not an object or an array", 0);
        return std::nullopt;
    }
    return std::move(root);
}

std::optional<std::string> JsonSerialization::dataWithJSONObject(const Value& value, ErrorPtr* error) {
    if (error) *error = nullptr;
    if (!value.isDictionary() && !value.isArray()) {
        setError(error, kNotAContainer, "only an object or an array is written at the top");
        return std::nullopt;
    }
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    if (WriteFailure failure = write(writer, value, 0); failure.code) {
        setError(error, failure.code, std::move(failure.reason));
        return std::nullopt;
    }
    return std::string(buffer.GetString(), buffer.GetSize());
}

bool JsonSerialization::isValidJSONObject(const Value& value) {
    return dataWithJSONObject(value).has_value();
}

} // namespace velkora::foundation
