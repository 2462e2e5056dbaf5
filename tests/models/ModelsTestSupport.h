// Test helpers: JSON fragments written as text, read by an independent JSON library into the kit's Value.
#pragma once

#include <nlohmann/json.hpp>

#include "data/VelkoraUsersRepository.h"
#include "platform/foundation/Value.h"

namespace velkora::test {

inline foundation::Value toValue(const nlohmann::json& j) {
    using foundation::Value;
    switch (j.type()) {
    case nlohmann::json::value_t::null: return Value();
    case nlohmann::json::value_t::boolean: return Value(j.get<bool>());
    case nlohmann::json::value_t::number_integer: return Value(static_cast<long long>(j.get<int64_t>()));
    case nlohmann::json::value_t::number_unsigned: return Value(static_cast<unsigned long long>(j.get<uint64_t>()));
    case nlohmann::json::value_t::number_float: return Value(j.get<double>());
    case nlohmann::json::value_t::string: return Value(j.get<std::string>());
    case nlohmann::json::value_t::array: {
        foundation::Array a;
        for (const auto& e : j) a.push_back(toValue(e));
        return Value(std::move(a));
    }
    case nlohmann::json::value_t::object: {
        foundation::Dictionary d;
        for (auto it = j.begin(); it != j.end(); ++it) d.set(it.key(), toValue(it.value()));
        return Value(std::move(d));
    }
    default: return Value();
    }
}

inline foundation::Value json(std::string_view text) { return toValue(nlohmann::json::parse(text)); }

}  // namespace velkora::test
