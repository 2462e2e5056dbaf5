// What the JSON reader, writer and their facade share: the nesting limit and the chain of errors of the
// last call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"

namespace velkora {

// The domain of every error the JSON reader and writer report.
inline constexpr const char* VelkoraKXJSONErrorDomain = "org.dorvanet.JSON.ErrorDomain";
// The user-information key that holds an error's readable description.
inline constexpr const char* kLocalizedDescriptionKey = "NSLocalizedDescription";

// Error codes of the JSON reader and writer.
enum VelkoraKXJsonErrorCode : int {
    kVelkoraKXJsonUnsupported = 1,
    kVelkoraKXJsonNumber = 2,
    kVelkoraKXJsonParse = 3,
    kVelkoraKXJsonNotContainer = 4,
    kVelkoraKXJsonControlCharacter = 5,
    kVelkoraKXJsonUnicode = 6,
    kVelkoraKXJsonDepth = 7,
    kVelkoraKXJsonEscape = 8,
    kVelkoraKXJsonTrailingComma = 9,
    kVelkoraKXJsonGarbage = 10,
    kVelkoraKXJsonEndOfInput = 11,
    kVelkoraKXJsonNilInput = 12,
};

class VelkoraKXJsonBase {
public:
    static constexpr uint32_t kDefaultMaxDepth = 512;

    // 0 means no limit. The reader itself keeps no native stack per level, but destroying, comparing and
    // writing a value recurse, so a caller that lifts the limit on outside input bounds the depth itself.
    uint32_t maxDepth() const { return maxDepth_; }
    void setMaxDepth(uint32_t maxDepth) { maxDepth_ = maxDepth; }

    // The errors of the last call, oldest (innermost) first; empty after a success. Each error after the
    // first holds the one before it as its underlying error, so the last one leads through the chain.
    const std::vector<foundation::ErrorPtr>& errorTrace() const { return errorTrace_; }
    // The last error of the trace (the outermost), or null.
    foundation::ErrorPtr lastError() const { return errorTrace_.empty() ? nullptr : errorTrace_.back(); }
    // The trace as one readable text, for log lines.
    std::string errorTraceDescription() const;

    void addErrorWithCode(int code, std::string description);
    void clearErrorTrace() { errorTrace_.clear(); }

protected:
    void setErrorTrace(std::vector<foundation::ErrorPtr> trace) { errorTrace_ = std::move(trace); }

    std::vector<foundation::ErrorPtr> errorTrace_;
    uint32_t depth_ = 0;
    uint32_t maxDepth_ = kDefaultMaxDepth;
};

} // namespace velkora
