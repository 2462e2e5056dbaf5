#include "social/VelkoraSocialDetails.h"

#include <charconv>

namespace velkora::people {

std::optional<int64_t> idOf(const foundation::Value& value) {
    if (!value.isNumber() && !value.isString()) return std::nullopt;
    auto text = value.toText();
    if (!text || text->empty()) return std::nullopt;
    int64_t id = 0;
    auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), id);
    if (ec != std::errc() || end != text->data() + text->size() || id <= 0) return std::nullopt;
    return id;
}

std::optional<int64_t> idIn(const foundation::Value& details) {
    const auto* v = details.get("id");
    return v ? idOf(*v) : std::nullopt;
}

std::optional<std::string> textIn(const foundation::Value& details, std::string_view key) {
    const auto* v = details.get(key);
    if (!v || !v->isString()) return std::nullopt;
    return *v->asString();
}

} // namespace velkora::people
