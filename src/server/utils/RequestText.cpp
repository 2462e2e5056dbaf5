#include "server/utils/RequestText.h"

#include <array>
#include <charconv>
#include <cmath>

#include "platform/foundation/RunLoop.h"
#include "server/utils/VelkoraSimpleCrc.h"

namespace velkora {

namespace {

// Characters that stand for themselves in a query value for every parser the service might use. The
// old rule let "&", "=", "+" and "#" through as well, which cut values short, turned "+" into a blank and
// let a message add parameters of its own. "?" is escaped too: a second "?" in the request line is refused
// (HTTP 400) by the service's HTTP reader.
constexpr std::array<bool, 256> makeKeep() {
    std::array<bool, 256> keep{};
    for (int c = 'A'; c <= 'Z'; ++c)
        keep[c] = true;
    for (int c = 'a'; c <= 'z'; ++c)
        keep[c] = true;
    for (int c = '0'; c <= '9'; ++c)
        keep[c] = true;
    for (char c : std::string_view("-_.~!*'();:@$,/"))
        keep[static_cast<unsigned char>(c)] = true;
    return keep;
}

constexpr std::array<bool, 256> kKeep = makeKeep();

} // namespace

std::string escapeRequestValue(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char ch : text) {
        auto byte = static_cast<unsigned char>(ch);
        if (kKeep[byte]) {
            out += ch;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

std::string requestTimeStamp(double secondsSince1970) {
    if (!std::isfinite(secondsSince1970)) secondsSince1970 = 0;
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, secondsSince1970, std::chars_format::fixed, 6);
    return std::string(buf, r.ptr);
}

std::string tagRequestText(std::string_view text, double secondsSince1970) {
    std::string out(text);
    out += "&ts=";
    out += requestTimeStamp(secondsSince1970);
    uint32_t crc = VelkoraSimpleCrc::instance().crc(out);
    out += "&crc=";
    out += std::to_string(crc);
    return out;
}

std::string tagRequestText(std::string_view text) {
    return tagRequestText(text, foundation::RunLoop::main().now());
}

} // namespace velkora
