#include "velkora_service/QueryText.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <zlib.h>

namespace velkora::service {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool allDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

} // namespace

std::string percentDecode(std::string_view text, bool plusIsBlank) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size()) {
            int hi = hexValue(text[i + 1]);
            int lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(plusIsBlank && c == '+' ? ' ' : c);
    }
    return out;
}

QueryText QueryText::parse(std::string_view text, bool plusIsBlank) {
    QueryText result;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('&', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view pair = text.substr(start, end - start);
        if (!pair.empty()) {
            size_t eq = pair.find('=');
            std::string_view key = eq == std::string_view::npos ? pair : pair.substr(0, eq);
            std::string_view value = eq == std::string_view::npos ? std::string_view{} : pair.substr(eq + 1);
            result.pairs_.emplace_back(percentDecode(key, plusIsBlank), percentDecode(value, plusIsBlank));
        }
        start = end + 1;
    }
    return result;
}

const std::string* QueryText::find(std::string_view key) const {
    for (const auto& [k, v] : pairs_)
        if (k == key) return &v;
    return nullptr;
}

bool QueryText::has(std::string_view key) const {
    return find(key) != nullptr;
}

std::string QueryText::value(std::string_view key, std::string_view fallback) const {
    const std::string* v = find(key);
    return v ? *v : std::string(fallback);
}

std::optional<int64_t> parseInteger(std::string_view text) {
    if (text.empty() || text.size() > 24) return std::nullopt;
    std::string copy(text);
    if (copy[0] != '-' && copy[0] != '+' && (copy[0] < '0' || copy[0] > '9')) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(copy.c_str(), &end, 10);
    if (errno != 0 || end != copy.c_str() + copy.size()) return std::nullopt;
    return static_cast<int64_t>(v);
}

std::optional<double> parseDecimal(std::string_view text) {
    if (text.empty() || text.size() > 64) return std::nullopt;
    std::string copy(text);
    char first = copy[0];
    if (first != '-' && first != '+' && first != '.' && (first < '0' || first > '9')) return std::nullopt;
    for (char c : copy) // no hexadecimal floats, infinities or NaN from strtod
        if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E')) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(copy.c_str(), &end);
    if (errno != 0 || end != copy.c_str() + copy.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

uint32_t crc32Of(std::string_view bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    const auto* data = reinterpret_cast<const Bytef*>(bytes.data());
    size_t left = bytes.size();
    while (left > 0) {
        uInt chunk = left > (1u << 30) ? (1u << 30) : static_cast<uInt>(left);
        crc = crc32(crc, data, chunk);
        data += chunk;
        left -= chunk;
    }
    return static_cast<uint32_t>(crc);
}

TagCheck checkTag(std::string_view endpoint, std::string_view rawQuery) {
    size_t crcAt = rawQuery.rfind("&crc=");
    if (crcAt == std::string_view::npos) return TagCheck::MissingCrc;
    std::string_view signedPart = rawQuery.substr(0, crcAt);
    std::string_view crcText = rawQuery.substr(crcAt + 5);

    size_t tsAt = signedPart.rfind("&ts=");
    if (tsAt == std::string_view::npos) return TagCheck::MissingTimestamp;
    std::optional<double> ts = parseDecimal(signedPart.substr(tsAt + 4));
    if (!ts || *ts < 0) return TagCheck::BadTimestamp;

    if (!allDigits(crcText) || crcText.size() > 10) return TagCheck::BadCrcText;
    uint64_t sent = std::strtoull(std::string(crcText).c_str(), nullptr, 10);
    if (sent > 0xFFFFFFFFull) return TagCheck::BadCrcText;

    std::string text;
    text.reserve(endpoint.size() + 1 + signedPart.size());
    text.append(endpoint).append("?").append(signedPart);
    return crc32Of(text) == sent ? TagCheck::Ok : TagCheck::CrcMismatch;
}

const char* tagCheckName(TagCheck check) {
    switch (check) {
    case TagCheck::Ok:
        return "ok";
    case TagCheck::MissingTimestamp:
        return "missing ts";
    case TagCheck::BadTimestamp:
        return "malformed ts";
    case TagCheck::MissingCrc:
        return "missing crc";
    case TagCheck::BadCrcText:
        return "malformed crc";
    case TagCheck::CrcMismatch:
        return "crc mismatch";
    }
    return "?";
}

} // namespace velkora::service
