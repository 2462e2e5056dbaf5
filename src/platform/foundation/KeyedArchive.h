// Keyed archives: an object graph written as a type-tagged JSON document. Each coded object names its
// class and keeps every key with its coder type (object, int32, int64, bool, float, double), so a reader
// can tell an absent key from a zero, ignore keys it does not know, and refuse a value of another type.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace velkora::foundation {

class KeyedArchiver;
class KeyedUnarchiver;

// An object that codes itself by keys.
class Codable {
public:
    virtual ~Codable() = default;
    virtual std::string archiveClassName() const = 0;
    virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
};

// Class name → a decoder that builds the object from its keys. Classes register once, at first use of
// their own decode helper, so a class that is not linked in simply decodes as absent.
class CodableRegistry {
public:
    using Factory = std::function<std::shared_ptr<Codable>(KeyedUnarchiver&)>;
    static void registerClass(const std::string& className, Factory factory);
    static const Factory* find(const std::string& className);
};

// Registers a class that names itself with `kClassName` and decodes with a static `initWithCoder`.
template <typename T>
void registerCodableClass() {
    CodableRegistry::registerClass(T::kClassName, [](KeyedUnarchiver& coder) {
        return std::static_pointer_cast<Codable>(T::initWithCoder(coder));
    });
}

class KeyedArchiver {
public:
    void encodeInt32(int32_t v, std::string_view key);
    void encodeInt64(int64_t v, std::string_view key);
    void encodeBool(bool v, std::string_view key);
    void encodeFloat(float v, std::string_view key);
    void encodeDouble(double v, std::string_view key);
    // Plain data: strings, numbers, bools, arrays, dictionaries with text keys. A null value writes nothing,
    // as a nil object does.
    void encodeObject(const Value& v, std::string_view key);
    void encodeString(const std::optional<std::string>& v, std::string_view key);
    void encodeStringSet(const std::optional<std::set<std::string>>& v, std::string_view key);
    void encodeCodable(const std::shared_ptr<const Codable>& v, std::string_view key);
    void encodeCodableArray(const std::optional<std::vector<std::shared_ptr<const Codable>>>& v, std::string_view key);
    // A dictionary whose keys are number objects and whose values are coded objects.
    void encodeCodableMapByNumber(const std::optional<std::map<int64_t, std::shared_ptr<const Codable>>>& v,
                                  std::string_view key);

    // The whole document for a root object.
    static std::string archivedText(const Codable& root);
    // Writes the document atomically; false (and the error) when it could not be written whole.
    static bool archiveRootObject(const Codable& root, const std::string& path, ErrorPtr* error = nullptr);

private:
    friend class KeyedArchiverAccess;
    void put(std::string_view key, std::string_view type, Value v);
    Dictionary keys_;
};

class KeyedUnarchiver {
public:
    bool containsValueForKey(std::string_view key) const;
    // A key that is absent, or holds another coder type, decodes as zero / NO / null.
    int32_t decodeInt32(std::string_view key) const;
    int64_t decodeInt64(std::string_view key) const;
    bool decodeBool(std::string_view key) const;
    float decodeFloat(std::string_view key) const;
    double decodeDouble(std::string_view key) const;
    Value decodeObject(std::string_view key) const;
    std::optional<std::string> decodeString(std::string_view key) const;
    std::optional<std::set<std::string>> decodeStringSet(std::string_view key) const;
    std::shared_ptr<Codable> decodeCodable(std::string_view key) const;
    std::vector<std::shared_ptr<Codable>> decodeCodableArray(std::string_view key) const;
    std::map<int64_t, std::shared_ptr<Codable>> decodeCodableMapByNumber(std::string_view key) const;

    template <typename T>
    std::shared_ptr<T> decodeCodableOf(std::string_view key) const {
        return std::dynamic_pointer_cast<T>(decodeCodable(key));
    }

    const std::string& className() const { return className_; }

    // Reads a whole document. Null when the text is not an archive or the root's class is unknown; the
    // error says why.
    static std::shared_ptr<Codable> unarchiveText(std::string_view text, ErrorPtr* error = nullptr);
    // Null for a missing file as for a damaged one; `error` stays null only for a missing file.
    static std::shared_ptr<Codable> unarchiveObjectWithFile(const std::string& path, ErrorPtr* error = nullptr);

    explicit KeyedUnarchiver(const Dictionary* keys, std::string className, int depth)
        : keys_(keys), className_(std::move(className)), depth_(depth) {}

private:
    const Value* typed(std::string_view key, std::string_view type) const;
    const Dictionary* keys_;
    std::string className_;
    int depth_;
};

inline constexpr const char* kKeyedArchiveErrorDomain = "VelkoraKeyedArchive";

}  // namespace velkora::foundation
