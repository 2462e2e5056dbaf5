// The platform's own files: any text read as JSON is written and read back to the same text; read as a
// keyed archive it decodes or is refused, never crashes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/foundation/JsonSerialization.h"
#include "platform/foundation/KeyedArchive.h"

using velkora::foundation::JsonSerialization;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    velkora::foundation::KeyedUnarchiver::unarchiveText(text);
    auto first = JsonSerialization::JSONObjectWithData(text, JsonSerialization::ReadingAllowFragments);
    if (!first || (!first->isArray() && !first->isDictionary())) return 0;
    auto written = JsonSerialization::dataWithJSONObject(*first);
    if (!written) std::abort();
    auto second = JsonSerialization::JSONObjectWithData(*written);
    if (!second || !(*second == *first)) std::abort();
    if (JsonSerialization::dataWithJSONObject(*second) != written) std::abort();
    return 0;
}
