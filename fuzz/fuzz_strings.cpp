// Strings tables come from the resources folder, which a host may replace: any bytes must parse or fail
// cleanly, and a table that parses must keep every entry it read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/foundation/StringsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto table = velkora::foundation::parseStringsFile(text, &error);
    if (!table && error.rfind("line ", 0) != 0) __builtin_trap(); // a failure always says where
    return 0;
}
