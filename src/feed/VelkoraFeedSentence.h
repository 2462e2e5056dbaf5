// The sentences of the feed cells: the text, and the emphasised names in it with the link each carries.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data/VelkoraUserInternal.h"
#include "platform/ui/Utf16.h"

namespace velkora {

struct VelkoraFeedSentence {
    struct Link {
        ui::TextRange range; // in UTF-16 units
        std::string replacement;
        friend bool operator==(const Link&, const Link&) = default;
    };
    std::string text;
    std::vector<Link> links;

    // "first second [third]" joined by single blanks; the first part is emphasised and linked.
    static VelkoraFeedSentence joined(const std::string& first, const std::string& firstLink, const std::string& second,
                                      const std::optional<std::string>& third = std::nullopt);
    // Emphasises and links `length` units from `location`.
    void link(size_t location, size_t length, std::string replacement);
};

// A strings-table text ("" when the table has none).
std::string velkoraFeedText(const std::string& key);
// The first "%@" of a format replaced by the value; where it sits (UTF-16 units), or npos without one.
std::string velkoraFormatOnce(const std::string& format, const std::string& value, size_t* position = nullptr);
// First name and last initial; "" without a user.
std::string velkoraNameWithInitial(const VelkoraUserPtr& user);
std::string velkoraUserIdOf(const VelkoraUserPtr& user);
// The address of an image's small copy: "_small" before the last "." of the address's last path segment;
// an address whose last segment has no "." is kept.
std::string velkoraSmallImageUrl(const std::string& url);

} // namespace velkora
