// Feature ids and names: every screen the kit can show is a feature with a small id and a short name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkora {

struct VelkoraFeatureRegistry {
    struct Entry {
        int32_t featureId;
        const char* name;
    };
    // The registry's entries, in id order.
    static const Entry* entries(size_t* count);
    // Null for an id not in the registry.
    static std::optional<std::string> featureNameById(uint32_t featureId);
    // 5 when no entry has the name.
    static int32_t featureIdByName(std::optional<std::string_view> name);
};

}  // namespace velkora
