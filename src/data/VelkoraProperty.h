// Plain read-write properties of the model classes: a member with a trailing underscore and its
// name() / setName() accessors, so the model headers stay short and read like their field tables.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/RunLoop.h"

namespace velkora {

// A text that may be unset: several replies and requests tell an absent value from an empty one.
using OptionalText = std::optional<std::string>;
// A point in time that may be unset (seconds since 1970).
using OptionalDate = std::optional<foundation::Date>;

}  // namespace velkora

// Declares a public getter and setter and a private member; leaves the class in the private section.
#define VELKORA_MODEL_PROPERTY(Type, name, Name, ...)                   \
public:                                                           \
    const Type& name() const { return name##_; }                  \
    void set##Name(Type value) { name##_ = std::move(value); }    \
                                                                  \
private:                                                          \
    Type name##_ = Type{__VA_ARGS__};
