// Reading the kit's request texts: the query string of a GET, the form body of a POST, and the
// time-stamp and CRC tag that closes every GET. Every function here takes untrusted bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkora::service {

// The parameters of one request in the order they came. A key may repeat (getUserData sends "build"
// twice); lookups answer the first occurrence.
class QueryText {
public:
    // Splits on "&", then each pair at its first "=" only, so Base64 padding in a value stays in the
    // value. Percent escapes are decoded; a "%" not followed by two hexadecimal digits is kept as it
    // stands. "+" reads as a blank in a query, as a form decoder does; the kit's POST bodies carry
    // unescaped Base64 and receipts, where "+" is a digit, so they are read with `plusIsBlank` false.
    static QueryText parse(std::string_view text, bool plusIsBlank = true);

    bool has(std::string_view key) const;
    const std::string* find(std::string_view key) const;
    std::string value(std::string_view key, std::string_view fallback = {}) const;
    const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
};

std::string percentDecode(std::string_view text, bool plusIsBlank);

// Strict number readers: the whole text must be the number (leading blanks, trailing garbage, empty
// texts and values out of range are refused).
std::optional<int64_t> parseInteger(std::string_view text);
std::optional<double> parseDecimal(std::string_view text);

// The tag check of a GET. `endpoint` is the address the client sent to, without the query
// ("https://127.0.0.1:PORT/VelkoraServer2/api"); `rawQuery` is the query exactly as it came, still
// escaped. The CRC-32 runs over endpoint + "?" + the query up to "&crc=", the time stamp included.
enum class TagCheck { Ok, MissingTimestamp, BadTimestamp, MissingCrc, BadCrcText, CrcMismatch };
TagCheck checkTag(std::string_view endpoint, std::string_view rawQuery);
const char* tagCheckName(TagCheck check);

uint32_t crc32Of(std::string_view bytes);

} // namespace velkora::service
