// What the JSON reader's and writer's tests share: the error trace as (code, text) pairs.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "server/utils/VelkoraKXJsonBase.h"

namespace velkora::testing {

using TraceLines = std::vector<std::pair<int64_t, std::string>>;

inline TraceLines traceOf(const VelkoraKXJsonBase& component) {
    TraceLines lines;
    for (const auto& e : component.errorTrace())
        lines.emplace_back(e->code, e->userInfo[kLocalizedDescriptionKey].textOr("?"));
    return lines;
}

} // namespace velkora::testing
