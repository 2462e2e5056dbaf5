// A failure as the kit reports it: callers compare the domain (the service's error code, or the
// transport's own domains), the code carries an HTTP status or a library code where there is one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/Value.h"

namespace velkora::foundation {

struct Error {
    std::string domain;
    int64_t code = 0;
    Value userInfo;  // a dictionary or null
    std::shared_ptr<const Error> underlying;

    Error() = default;
    Error(std::string d, int64_t c, Value info = {}, std::shared_ptr<const Error> under = nullptr)
        : domain(std::move(d)), code(c), userInfo(std::move(info)), underlying(std::move(under)) {}

    // "Error Domain=<domain> Code=<code> ..." in the platform's manner, for log lines.
    std::string description() const {
        std::string s = "Error Domain=" + domain + " Code=" + std::to_string(code);
        if (!userInfo.isNull()) s += " UserInfo=" + userInfo.description();
        if (underlying) s += " Underlying=(" + underlying->description() + ")";
        return s;
    }
};

using ErrorPtr = std::shared_ptr<const Error>;

inline ErrorPtr makeError(std::string domain, int64_t code, Value userInfo = {}, ErrorPtr underlying = nullptr) {
    return std::make_shared<const Error>(std::move(domain), code, std::move(userInfo), std::move(underlying));
}

}  // namespace velkora::foundation
