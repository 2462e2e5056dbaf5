// The JSON reader on arbitrary bytes: never crashes, fails with a linked trace, and whatever it accepts
// the writer can write.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "server/utils/VelkoraKXJsonParser.h"
#include "server/utils/VelkoraKXJsonWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    velkora::VelkoraKXJsonParser parser;
    for (bool fragment : {false, true}) {
        auto value = fragment ? parser.fragmentWithString(text) : parser.objectWithString(text);
        const auto& trace = parser.errorTrace();
        if (!value) {
            if (trace.empty()) std::abort();
            for (size_t i = 1; i < trace.size(); ++i)
                if (trace[i]->underlying != trace[i - 1]) std::abort();
            continue;
        }
        if (!trace.empty()) std::abort();
        velkora::VelkoraKXJsonWriter writer;
        if (!writer.stringWithFragment(*value)) std::abort();
    }
    return 0;
}
