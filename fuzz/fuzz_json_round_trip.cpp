// Round trip: what the reader accepts, written, read and written again, gives the same text and an
// equal value, compact and indented.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "server/utils/VelkoraKXJsonParser.h"
#include "server/utils/VelkoraKXJsonWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    velkora::VelkoraKXJsonParser parser;
    auto first = parser.fragmentWithString(text);
    if (!first) return 0;
    for (bool readable : {false, true}) {
        velkora::VelkoraKXJsonWriter writer;
        writer.setHumanReadable(readable);
        writer.setSortKeys(readable);
        auto written = writer.stringWithFragment(*first);
        if (!written) std::abort();
        auto second = parser.fragmentWithString(*written);
        if (!second || !(*second == *first)) std::abort();
        auto rewritten = writer.stringWithFragment(*second);
        if (!rewritten || *rewritten != *written) std::abort();
    }
    return 0;
}
