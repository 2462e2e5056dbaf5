#include "platform/foundation/Digest.h"

#include <openssl/evp.h>

namespace velkora::foundation {

namespace {

std::string digestHex(const EVP_MD* md, std::string_view data, bool upper) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_Digest(data.data(), data.size(), out, &len, md, nullptr) != 1) return {};
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string hex;
    hex.reserve(len * 2);
    for (unsigned int i = 0; i < len; ++i) {
        hex += digits[out[i] >> 4];
        hex += digits[out[i] & 0x0f];
    }
    return hex;
}

} // namespace

std::string md5Hex(std::string_view data, bool upper) {
    return digestHex(EVP_md5(), data, upper);
}

std::string sha1Hex(std::string_view data, bool upper) {
    return digestHex(EVP_sha1(), data, upper);
}

} // namespace velkora::foundation
