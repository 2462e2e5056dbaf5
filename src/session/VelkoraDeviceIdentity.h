// The device's anonymous identity: a key naming where the identifier came from ("hadid" for the
// advertising identifier, "hudid" for one generated and kept in the user defaults) and the SHA-1 of the
// identifier, which the ad-network request addresses carry as "&<key>=<digest>".
#pragma once

#include <string>
#include <string_view>

#include "data/VelkoraProperty.h"

namespace velkora {

class VelkoraDeviceIdentity {
public:
    static constexpr const char* kHudidDefaultsKey = "VelkoraHudid";

    // Works the pair out; the generated identifier's digest is stored under "VelkoraHudid" the first time
    // and read back on every later start.
    void initUUID();
    // 40 lower-case hexadecimal digits.
    static std::string sha1(std::string_view text);

    const OptionalText& uuidSHA1() const { return uuidSHA1_; }
    const OptionalText& uuidKey() const { return uuidKey_; }

private:
    OptionalText uuidSHA1_;
    OptionalText uuidKey_;
};

} // namespace velkora
