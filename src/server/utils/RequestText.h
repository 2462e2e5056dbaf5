// The two things every request text of the kit goes through: the escaping of the values that carry free
// text, and the time stamp and CRC tag at the end of a query.
#pragma once

#include <string>
#include <string_view>

namespace velkora {

// Percent-escapes a value (UTF-8, upper-case hexadecimal) so that a query parser gives back exactly this
// text: everything but letters, digits and - _ . ~ ! * ' ( ) ; : @ $ , / is escaped, and so "&", "=",
// "+", "#", "%", "?", blanks, control bytes and every byte beyond ASCII are.
std::string escapeRequestValue(std::string_view text);

// The time stamp with six decimals, as "&ts=" carries it; always with a point, whatever the locale.
std::string requestTimeStamp(double secondsSince1970);

// The request text with "&ts=" and the time, then "&crc=" and the CRC-32 (unsigned decimal) of the UTF-8
// bytes of everything before it, the time stamp included.
std::string tagRequestText(std::string_view text, double secondsSince1970);
// The same at the main run loop's current time.
std::string tagRequestText(std::string_view text);

} // namespace velkora
