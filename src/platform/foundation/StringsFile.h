// Reader of strings tables: `"key" = "value";` entries with /* */ and // comments and the escapes
// \" \\ \n \t \r \0 and \UXXXX (a UTF-16 unit; surrogate pairs join). A bare `"key";` maps the key to
// itself. Text is UTF-8 (a leading byte-order mark is skipped).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velkora::foundation {

using StringsTable = std::map<std::string, std::string, std::less<>>;

// The whole table, or nullopt with `error` ("line N: what") when the text is malformed anywhere: a half
// read table would show some texts translated and others as keys.
std::optional<StringsTable> parseStringsFile(std::string_view text, std::string* error = nullptr);

} // namespace velkora::foundation
