#include "platform/foundation/KeyedArchive.h"

#include <charconv>
#include <cmath>
#include <mutex>
#include <unordered_map>

#include "platform/foundation/FileIO.h"
#include "platform/foundation/JsonSerialization.h"

namespace velkora::foundation {

namespace {

constexpr const char* kFormat = "velkora.keyed-archive";
constexpr int kVersion = 1;
// Archives are outside input once on disk: a crafted one must not recurse without bound.
constexpr int kMaxDepth = 64;

struct Registry {
    std::mutex mutex;
    std::unordered_map<std::string, CodableRegistry::Factory> factories;
};

Registry& registry() {
    static Registry r;
    return r;
}

Value tagged(std::string_view tag, Value v) {
    Dictionary d;
    d.appendUnchecked(std::string(tag), std::move(v));
    return d;
}

// Plain data as a tagged tree; null for what cannot be archived.
Value taggedData(const Value& v) {
    switch (v.type()) {
    case Value::Type::String: return tagged("string", v);
    case Value::Type::Number: return tagged("number", v);
    case Value::Type::Bool: return tagged("boolean", v);
    case Value::Type::Array: {
        Array out;
        out.reserve(v.size());
        for (const auto& e : *v.asArray())
            if (Value t = taggedData(e); !t.isNull()) out.push_back(std::move(t));
        return tagged("array", std::move(out));
    }
    case Value::Type::Dictionary: {
        Array pairs;
        pairs.reserve(v.size());
        for (const auto& [k, e] : *v.asDictionary()) {
            Value t = taggedData(e);
            if (t.isNull()) continue;
            pairs.push_back(Array{tagged("string", k), std::move(t)});
        }
        return tagged("dictionary", std::move(pairs));
    }
    default: return {};
    }
}

std::string floatText(float f) {
    if (!std::isfinite(f)) return "0";
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, f);
    return std::string(buf, r.ptr);
}

// The single entry of a tagged value: its tag and its payload.
std::pair<std::string_view, const Value*> untag(const Value& v) {
    auto* d = v.asDictionary();
    if (!d || d->size() != 1) return {{}, nullptr};
    const auto& e = *d->begin();
    return {e.first, &e.second};
}

std::shared_ptr<Codable> decodeCoded(const Value& v, int depth);

// Plain data back from its tagged tree; coded objects inside plain containers are not data and drop out.
Value untaggedData(const Value& v, int depth) {
    if (depth > kMaxDepth) return {};
    auto [tag, payload] = untag(v);
    if (!payload) return {};
    if (tag == "string") return payload->isString() ? *payload : Value();
    if (tag == "number") return payload->isNumber() ? *payload : Value();
    if (tag == "boolean") return payload->isBool() ? *payload : Value();
    if (tag == "array" || tag == "set") {
        auto* a = payload->asArray();
        if (!a) return {};
        Array out;
        out.reserve(a->size());
        for (const auto& e : *a)
            if (Value d = untaggedData(e, depth + 1); !d.isNull()) out.push_back(std::move(d));
        return out;
    }
    if (tag == "dictionary") {
        auto* a = payload->asArray();
        if (!a) return {};
        Dictionary out;
        for (const auto& pair : *a) {
            Value key = untaggedData(pair.at(0), depth + 1);
            Value value = untaggedData(pair.at(1), depth + 1);
            auto text = key.toText();
            if (!text || value.isNull()) continue;
            out.set(*text, std::move(value));
        }
        return out;
    }
    return {};
}

std::shared_ptr<Codable> decodeCoded(const Value& v, int depth) {
    if (depth > kMaxDepth) return nullptr;
    const std::string* className = v["class"].asString();
    const Dictionary* keys = v["keys"].asDictionary();
    if (!className || !keys) return nullptr;
    const CodableRegistry::Factory* factory = CodableRegistry::find(*className);
    if (!factory) return nullptr;
    KeyedUnarchiver coder(keys, *className, depth);
    return (*factory)(coder);
}

}  // namespace

// Archiver internals that need the recursion above.
class KeyedArchiverAccess {
public:
    static Value coded(const Codable& object) {
        KeyedArchiver coder;
        object.encodeWithCoder(coder);
        Dictionary d;
        d.appendUnchecked("class", object.archiveClassName());
        d.appendUnchecked("keys", std::move(coder.keys_));
        return d;
    }
};

void CodableRegistry::registerClass(const std::string& className, Factory factory) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.factories[className] = std::move(factory);
}

const CodableRegistry::Factory* CodableRegistry::find(const std::string& className) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.factories.find(className);
    return it == r.factories.end() ? nullptr : &it->second;
}

void KeyedArchiver::put(std::string_view key, std::string_view type, Value v) {
    keys_.set(std::string(key), tagged(type, std::move(v)));
}

void KeyedArchiver::encodeInt32(int32_t v, std::string_view key) { put(key, "int32", Value(static_cast<long long>(v))); }
void KeyedArchiver::encodeInt64(int64_t v, std::string_view key) { put(key, "int64", Value(static_cast<long long>(v))); }
void KeyedArchiver::encodeBool(bool v, std::string_view key) { put(key, "bool", Value(v)); }
void KeyedArchiver::encodeFloat(float v, std::string_view key) { put(key, "float", Value(Number(floatText(v)))); }
void KeyedArchiver::encodeDouble(double v, std::string_view key) { put(key, "double", Value(std::isfinite(v) ? v : 0.0)); }

void KeyedArchiver::encodeObject(const Value& v, std::string_view key) {
    Value t = taggedData(v);
    if (!t.isNull()) put(key, "object", std::move(t));
}

void KeyedArchiver::encodeString(const std::optional<std::string>& v, std::string_view key) {
    if (v) put(key, "object", tagged("string", *v));
}

void KeyedArchiver::encodeStringSet(const std::optional<std::set<std::string>>& v, std::string_view key) {
    if (!v) return;
    Array items;
    items.reserve(v->size());
    for (const auto& s : *v) items.push_back(tagged("string", s));
    put(key, "object", tagged("set", std::move(items)));
}

void KeyedArchiver::encodeCodable(const std::shared_ptr<const Codable>& v, std::string_view key) {
    if (v) put(key, "object", tagged("coded", KeyedArchiverAccess::coded(*v)));
}

void KeyedArchiver::encodeCodableArray(const std::optional<std::vector<std::shared_ptr<const Codable>>>& v,
                                       std::string_view key) {
    if (!v) return;
    Array items;
    items.reserve(v->size());
    for (const auto& o : *v)
        if (o) items.push_back(tagged("coded", KeyedArchiverAccess::coded(*o)));
    put(key, "object", tagged("array", std::move(items)));
}

void KeyedArchiver::encodeCodableMapByNumber(const std::optional<std::map<int64_t, std::shared_ptr<const Codable>>>& v,
                                             std::string_view key) {
    if (!v) return;
    Array pairs;
    pairs.reserve(v->size());
    for (const auto& [k, o] : *v) {
        if (!o) continue;
        pairs.push_back(Array{tagged("number", Value(static_cast<long long>(k))),
                              tagged("coded", KeyedArchiverAccess::coded(*o))});
    }
    put(key, "object", tagged("dictionary", std::move(pairs)));
}

std::string KeyedArchiver::archivedText(const Codable& root) {
    Dictionary doc;
    doc.appendUnchecked("archive", kFormat);
    doc.appendUnchecked("version", kVersion);
    doc.appendUnchecked("root", KeyedArchiverAccess::coded(root));
    return JsonSerialization::dataWithJSONObject(Value(std::move(doc))).value_or(std::string());
}

bool KeyedArchiver::archiveRootObject(const Codable& root, const std::string& path, ErrorPtr* error) {
    std::string text = archivedText(root);
    if (text.empty()) {
        if (error) *error = makeError(kKeyedArchiveErrorDomain, 1, Dictionary{{"reason", "could not write the archive"}});
        return false;
    }
    return writeFileAtomically(path, text, error);
}

const Value* KeyedUnarchiver::typed(std::string_view key, std::string_view type) const {
    const Value* entry = keys_ ? keys_->find(key) : nullptr;
    if (!entry) return nullptr;
    auto [tag, payload] = untag(*entry);
    return tag == type ? payload : nullptr;
}

bool KeyedUnarchiver::containsValueForKey(std::string_view key) const { return keys_ && keys_->contains(key); }

int32_t KeyedUnarchiver::decodeInt32(std::string_view key) const {
    const Value* v = typed(key, "int32");
    return v ? v->int32Or(0) : 0;
}

int64_t KeyedUnarchiver::decodeInt64(std::string_view key) const {
    const Value* v = typed(key, "int64");
    if (!v) v = typed(key, "int32");
    return v ? v->int64Or(0) : 0;
}

bool KeyedUnarchiver::decodeBool(std::string_view key) const {
    const Value* v = typed(key, "bool");
    return v && v->isBool() && *v->asBool();
}

float KeyedUnarchiver::decodeFloat(std::string_view key) const {
    const Value* v = typed(key, "float");
    if (!v) v = typed(key, "double");
    return v && v->isNumber() ? static_cast<float>(v->asNumber()->toDouble()) : 0.0f;
}

double KeyedUnarchiver::decodeDouble(std::string_view key) const {
    const Value* v = typed(key, "double");
    if (!v) v = typed(key, "float");
    return v && v->isNumber() ? v->asNumber()->toDouble() : 0.0;
}

Value KeyedUnarchiver::decodeObject(std::string_view key) const {
    const Value* v = typed(key, "object");
    return v ? untaggedData(*v, depth_ + 1) : Value();
}

std::optional<std::string> KeyedUnarchiver::decodeString(std::string_view key) const {
    Value v = decodeObject(key);
    if (auto* s = v.asString()) return *s;
    return std::nullopt;
}

std::optional<std::set<std::string>> KeyedUnarchiver::decodeStringSet(std::string_view key) const {
    const Value* v = typed(key, "object");
    if (!v) return std::nullopt;
    auto [tag, payload] = untag(*v);
    if ((tag != "set" && tag != "array") || !payload || !payload->isArray()) return std::nullopt;
    std::set<std::string> out;
    for (const auto& e : *payload->asArray()) {
        Value item = untaggedData(e, depth_ + 1);
        if (const std::string* text = item.asString()) out.insert(*text);
    }
    return out;
}

std::shared_ptr<Codable> KeyedUnarchiver::decodeCodable(std::string_view key) const {
    const Value* v = typed(key, "object");
    if (!v) return nullptr;
    auto [tag, payload] = untag(*v);
    if (tag != "coded" || !payload) return nullptr;
    return decodeCoded(*payload, depth_ + 1);
}

std::vector<std::shared_ptr<Codable>> KeyedUnarchiver::decodeCodableArray(std::string_view key) const {
    std::vector<std::shared_ptr<Codable>> out;
    const Value* v = typed(key, "object");
    if (!v) return out;
    auto [tag, payload] = untag(*v);
    if (tag != "array" || !payload || !payload->isArray()) return out;
    for (const auto& e : *payload->asArray()) {
        auto [etag, epayload] = untag(e);
        if (etag != "coded" || !epayload) continue;
        if (auto o = decodeCoded(*epayload, depth_ + 1)) out.push_back(std::move(o));
    }
    return out;
}

std::map<int64_t, std::shared_ptr<Codable>> KeyedUnarchiver::decodeCodableMapByNumber(std::string_view key) const {
    std::map<int64_t, std::shared_ptr<Codable>> out;
    const Value* v = typed(key, "object");
    if (!v) return out;
    auto [tag, payload] = untag(*v);
    if (tag != "dictionary" || !payload || !payload->isArray()) return out;
    for (const auto& pair : *payload->asArray()) {
        auto [ktag, kpayload] = untag(pair.at(0));
        auto [vtag, vpayload] = untag(pair.at(1));
        if (ktag != "number" || !kpayload || !kpayload->isNumber() || vtag != "coded" || !vpayload) continue;
        if (auto o = decodeCoded(*vpayload, depth_ + 1)) out[kpayload->asNumber()->toInt64()] = std::move(o);
    }
    return out;
}

std::shared_ptr<Codable> KeyedUnarchiver::unarchiveText(std::string_view text, ErrorPtr* error) {
    auto fail = [&](const std::string& reason) -> std::shared_ptr<Codable> {
        if (error) *error = makeError(kKeyedArchiveErrorDomain, 2, Dictionary{{"reason", reason}});
        return nullptr;
    };
    ErrorPtr jsonError;
    std::optional<Value> doc = JsonSerialization::JSONObjectWithData(text, JsonSerialization::ReadingNone, &jsonError);
    if (!doc) return fail("not an archive: the text is not JSON (" + jsonError->description() + ")");
    if (!doc->isDictionary()) return fail("not an archive: the text is not a JSON object");
    if ((*doc)["archive"].textOr("") != kFormat) return fail("not an archive: unknown format");
    if ((*doc)["version"].int64Or(0) > kVersion) return fail("archive written by a newer version");
    const Value& root = (*doc)["root"];
    if (!root["class"].isString()) return fail("archive without a root object");
    auto object = decodeCoded(root, 0);
    if (!object) return fail("the root object's class cannot be decoded: " + root["class"].textOr(""));
    return object;
}

std::shared_ptr<Codable> KeyedUnarchiver::unarchiveObjectWithFile(const std::string& path, ErrorPtr* error) {
    if (error) *error = nullptr;
    std::optional<std::string> text = readFile(path);
    if (!text) return nullptr;
    return unarchiveText(*text, error);
}

}  // namespace velkora::foundation
