#include "server/utils/VelkoraKXJSON.h"

#include "platform/foundation/Log.h"

namespace velkora {

using foundation::ErrorPtr;
using foundation::Value;

template <typename R> R VelkoraKXJSON::finish(R result, const VelkoraKXJsonBase& component, ErrorPtr* error) {
    if (!result) {
        setErrorTrace(component.errorTrace());
        if (error) *error = lastError();
    }
    return result;
}

void VelkoraKXJSON::setMaxDepth(uint32_t maxDepth) {
    VelkoraKXJsonBase::setMaxDepth(maxDepth);
    jsonParser_.setMaxDepth(maxDepth);
    jsonWriter_.setMaxDepth(maxDepth);
}

std::optional<std::string> VelkoraKXJSON::stringWithObject(const Value& value) {
    return stringWithObject(value, false, nullptr);
}

std::optional<std::string> VelkoraKXJSON::stringWithObject(const Value& value, ErrorPtr* error) {
    return stringWithObject(value, false, error);
}

std::optional<std::string> VelkoraKXJSON::stringWithFragment(const Value& value, ErrorPtr* error) {
    return stringWithObject(value, true, error);
}

std::optional<std::string> VelkoraKXJSON::stringWithObject(const Value& value, bool allowScalar, ErrorPtr* error) {
    auto result = allowScalar ? jsonWriter_.stringWithFragment(value) : jsonWriter_.stringWithObject(value);
    return finish(std::move(result), jsonWriter_, error);
}

std::optional<Value> VelkoraKXJSON::objectWithString(std::string_view text) {
    return objectWithString(text, false, nullptr);
}

std::optional<Value> VelkoraKXJSON::objectWithString(std::string_view text, ErrorPtr* error) {
    return objectWithString(text, false, error);
}

std::optional<Value> VelkoraKXJSON::fragmentWithString(std::string_view text, ErrorPtr* error) {
    return objectWithString(text, true, error);
}

std::optional<Value> VelkoraKXJSON::objectWithString(std::string_view text, bool allowScalar, ErrorPtr* error) {
    auto result = allowScalar ? jsonParser_.fragmentWithString(text) : jsonParser_.objectWithString(text);
    return finish(std::move(result), jsonParser_, error);
}

namespace {

template <typename Component, typename Input, typename Call>
auto convertOnce(const Input& input, const char* failureLine, Call call) {
    Component component;
    auto result = call(component, input);
    if (!result) foundation::Log::line(failureLine, component.errorTraceDescription());
    return result;
}

} // namespace

std::optional<std::string> JSONRepresentation(const Value& value) {
    return convertOnce<VelkoraKXJsonWriter>(value, "-JSONRepresentation failed. Error trace is: %@",
                                            [](auto& w, const Value& v) { return w.stringWithObject(v); });
}

std::optional<std::string> JSONFragment(const Value& value) {
    return convertOnce<VelkoraKXJsonWriter>(value, "-JSONFragment failed. Error trace is: %@",
                                            [](auto& w, const Value& v) { return w.stringWithFragment(v); });
}

std::optional<Value> JSONValue(std::string_view text) {
    return convertOnce<VelkoraKXJsonParser>(text, "-JSONValue failed. Error trace is: %@",
                                            [](auto& p, std::string_view t) { return p.objectWithString(t); });
}

std::optional<Value> JSONFragmentValue(std::string_view text) {
    return convertOnce<VelkoraKXJsonParser>(text, "-JSONFragmentValue failed. Error trace is: %@",
                                            [](auto& p, std::string_view t) { return p.fragmentWithString(t); });
}

} // namespace velkora
