// One object that reads and writes JSON through its own reader and writer, and the one-call conversions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "server/utils/VelkoraKXJsonBase.h"
#include "server/utils/VelkoraKXJsonParser.h"
#include "server/utils/VelkoraKXJsonWriter.h"

namespace velkora {

class VelkoraKXJSON : public VelkoraKXJsonBase {
public:
    VelkoraKXJSON() = default;

    // Writing. On failure the facade's trace is a copy of the writer's and `error`, when given, receives
    // the trace's last error.
    std::optional<std::string> stringWithObject(const foundation::Value& value);
    std::optional<std::string> stringWithObject(const foundation::Value& value, foundation::ErrorPtr* error);
    std::optional<std::string> stringWithFragment(const foundation::Value& value, foundation::ErrorPtr* error);
    std::optional<std::string> stringWithObject(const foundation::Value& value, bool allowScalar,
                                                foundation::ErrorPtr* error);

    // Reading, in the same manner.
    std::optional<foundation::Value> objectWithString(std::string_view text);
    std::optional<foundation::Value> objectWithString(std::string_view text, foundation::ErrorPtr* error);
    std::optional<foundation::Value> fragmentWithString(std::string_view text, foundation::ErrorPtr* error);
    std::optional<foundation::Value> objectWithString(std::string_view text, bool allowScalar,
                                                      foundation::ErrorPtr* error);

    // The reader's limit; setting it sets the reader's and the writer's.
    uint32_t maxDepth() const { return jsonParser_.maxDepth(); }
    void setMaxDepth(uint32_t maxDepth);
    bool humanReadable() const { return jsonWriter_.humanReadable(); }
    void setHumanReadable(bool humanReadable) { jsonWriter_.setHumanReadable(humanReadable); }
    bool sortKeys() const { return jsonWriter_.sortKeys(); }
    void setSortKeys(bool sortKeys) { jsonWriter_.setSortKeys(sortKeys); }

    VelkoraKXJsonParser& jsonParser() { return jsonParser_; }
    VelkoraKXJsonWriter& jsonWriter() { return jsonWriter_; }

private:
    template <typename R> R finish(R result, const VelkoraKXJsonBase& component, foundation::ErrorPtr* error);

    VelkoraKXJsonParser jsonParser_;
    VelkoraKXJsonWriter jsonWriter_;
};

// One-call conversions with a fresh reader or writer each; a failure logs the error trace.
std::optional<std::string> JSONRepresentation(const foundation::Value& value);
std::optional<std::string> JSONFragment(const foundation::Value& value);
std::optional<foundation::Value> JSONValue(std::string_view text);
std::optional<foundation::Value> JSONFragmentValue(std::string_view text);

} // namespace velkora
