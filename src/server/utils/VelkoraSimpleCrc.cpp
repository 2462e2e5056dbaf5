#include "server/utils/VelkoraSimpleCrc.h"

namespace velkora {

VelkoraSimpleCrc& VelkoraSimpleCrc::instance() {
    static VelkoraSimpleCrc crc;
    return crc;
}

void VelkoraSimpleCrc::generateTable() {
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table_[n] = c;
    }
}

uint32_t VelkoraSimpleCrc::crc(const void* bytes, size_t length) const {
    if (!bytes || length == 0) return 0;
    const auto* p = static_cast<const uint8_t*>(bytes);
    uint32_t r = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i)
        r = (r >> 8) ^ table_[(r ^ p[i]) & 0xFF];
    return r ^ 0xFFFFFFFFu;
}

} // namespace velkora
