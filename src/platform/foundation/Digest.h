// Message digests as hexadecimal text (passwords, the device identity).
#pragma once

#include <string>
#include <string_view>

namespace velkora::foundation {

std::string md5Hex(std::string_view data, bool upper = false);
std::string sha1Hex(std::string_view data, bool upper = false);

} // namespace velkora::foundation
