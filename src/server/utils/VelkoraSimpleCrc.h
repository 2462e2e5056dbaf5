// CRC-32 of IEEE 802.3 (the one of zlib and PNG), which tags every request the kit sends.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velkora {

class VelkoraSimpleCrc {
public:
    // Created on first use, safely against concurrent first use; the table never changes afterwards, so
    // computing a CRC needs no lock.
    static VelkoraSimpleCrc& instance();

    uint32_t crc(const void* bytes, size_t length) const;
    uint32_t crc(std::string_view bytes) const { return crc(bytes.data(), bytes.size()); }
    uint8_t crc8(const void* bytes, size_t length) const { return static_cast<uint8_t>(crc(bytes, length)); }

    const std::array<uint32_t, 256>& table() const { return table_; }

private:
    VelkoraSimpleCrc() { generateTable(); }
    void generateTable();

    std::array<uint32_t, 256> table_{};
};

} // namespace velkora
