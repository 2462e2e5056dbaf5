#include "platform/foundation/Uuid.h"

#include <openssl/rand.h>

#include <random>

namespace velkora::foundation {

std::string uuidV4() {
    unsigned char b[16];
    if (RAND_bytes(b, sizeof b) != 1) {
        // The generator is not seeded (it never is on a working system); fall back to the OS source.
        std::random_device rd;
        for (auto& c : b)
            c = static_cast<unsigned char>(rd());
    }
    b[6] = static_cast<unsigned char>((b[6] & 0x0f) | 0x40); // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3f) | 0x80); // RFC 4122 variant
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(36);
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) s += '-';
        s += digits[b[i] >> 4];
        s += digits[b[i] & 0x0f];
    }
    return s;
}

} // namespace velkora::foundation
