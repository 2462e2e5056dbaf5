// The kit's JSON writer: compact or indented output, keys in the dictionary's order or sorted.
#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Value.h"
#include "server/utils/VelkoraKXJsonBase.h"

namespace velkora {

class VelkoraKXJsonWriter : public VelkoraKXJsonBase {
public:
    VelkoraKXJsonWriter() = default;

    // A dictionary or an array as JSON text; anything else fails with code 4. nullopt on failure.
    std::optional<std::string> stringWithObject(const foundation::Value& value);
    // Any value as JSON text.
    std::optional<std::string> stringWithFragment(const foundation::Value& value);

    bool humanReadable() const { return humanReadable_; }
    void setHumanReadable(bool humanReadable) { humanReadable_ = humanReadable; }
    bool sortKeys() const { return sortKeys_; }
    void setSortKeys(bool sortKeys) { sortKeys_ = sortKeys; }

private:
    bool appendValue(const foundation::Value& value, std::string& out);
    bool appendArray(const foundation::Array& array, std::string& out);
    bool appendDictionary(const foundation::Dictionary& dictionary, std::string& out);
    void appendIndent(std::string& out) const;
    bool enter();

    bool sortKeys_ = false;
    bool humanReadable_ = false;
};

// Writes a text as a JSON string, quotation marks included.
void appendJsonString(std::string_view text, std::string& out);

} // namespace velkora
