// The list of outside stand-ins and the small pieces they share.
#include "OutsideRoutes.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <zlib.h>

#include <functional>

namespace velkora::service {

std::vector<OutsideRoute> buildOutsideRoutes() {
    return {twitterRoute(),        graphRoute(),     picturesRoute(), uploadedImagesRoute(), storeRoute(),
            appStoreLookupRoute(), adNetworkRoute(), videoRoute(),    pagesRoute()};
}

namespace outside {

LocalReply json(int status, const std::string& body) {
    return {status, body, "application/json; charset=utf-8", false, {}};
}

namespace {

std::string saltedDigest(const std::string& salt, const std::string& password) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    std::string text = salt + "\n" + password;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr);
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < length; ++i)
        out += {kHex[digest[i] >> 4], kHex[digest[i] & 15]};
    return out;
}

} // namespace

bool passwordOfAccount(Database& db, const std::string& table, const std::string& keyColumn, const SqlValue& key,
                       const std::string& password) {
    Statement s = db.prepare("SELECT password_salt, password_hash FROM " + table + " WHERE " + keyColumn + " = ?");
    s.bindAll({key});
    if (!s.step()) return false;
    if (s.isNull(1)) {
        unsigned char bytes[16];
        RAND_bytes(bytes, sizeof bytes);
        std::string salt = saltedDigest(std::string(reinterpret_cast<const char*>(bytes), sizeof bytes), "");
        db.run("UPDATE " + table + " SET password_salt = ?, password_hash = ? WHERE " + keyColumn + " = ?",
               {salt, saltedDigest(salt, password), key});
        return true;
    }
    std::string given = saltedDigest(s.text(0), password), stored = s.text(1);
    return given.size() == stored.size() && CRYPTO_memcmp(given.data(), stored.data(), given.size()) == 0;
}

std::string escapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string percentEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

namespace {

void putBig32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

void chunk(std::string& out, const char* type, const std::string& data) {
    putBig32(out, static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    putBig32(out, static_cast<uint32_t>(
                      crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

} // namespace

std::string encodePng(uint32_t width, uint32_t height, const std::string& rgba) {
    std::string raw;
    raw.reserve(size_t(height) * (size_t(width) * 4 + 1));
    for (uint32_t y = 0; y < height; ++y) {
        raw += '\0'; // no filter
        raw.append(rgba, size_t(y) * width * 4, size_t(width) * 4);
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
              static_cast<uLong>(raw.size()), 9);
    packed.resize(size);
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    putBig32(header, width);
    putBig32(header, height);
    header += std::string("\x08\x06\x00\x00\x00", 5); // 8 bits, RGBA, deflate, no filter, no interlace
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", "");
    return png;
}

std::string picturePng(const std::string& key) {
    constexpr uint32_t kSide = 64;
    size_t h = std::hash<std::string>{}(key);
    char rgba[4] = {static_cast<char>(64 + (h & 0x7F)), static_cast<char>(64 + ((h >> 8) & 0x7F)),
                    static_cast<char>(64 + ((h >> 16) & 0x7F)), static_cast<char>(255)};
    std::string pixels;
    for (uint32_t i = 0; i < kSide * kSide; ++i)
        pixels.append(rgba, 4);
    return encodePng(kSide, kSide, pixels);
}

} // namespace outside

} // namespace velkora::service
