#include "server/utils/VelkoraKXJsonBase.h"

namespace velkora {

void VelkoraKXJsonBase::addErrorWithCode(int code, std::string description) {
    foundation::Dictionary info;
    info.appendUnchecked(kLocalizedDescriptionKey, foundation::Value(std::move(description)));
    foundation::ErrorPtr previous = errorTrace_.empty() ? nullptr : errorTrace_.back();
    errorTrace_.push_back(foundation::makeError(VelkoraKXJSONErrorDomain, code, std::move(info), std::move(previous)));
}

std::string VelkoraKXJsonBase::errorTraceDescription() const {
    // One line per error, without repeating each error's underlying chain.
    std::string out = "(";
    for (size_t i = 0; i < errorTrace_.size(); ++i) {
        const auto& e = errorTrace_[i];
        out += i ? ",\n    " : "\n    ";
        out += "Error Domain=" + e->domain + " Code=" + std::to_string(e->code) + " \"" +
               e->userInfo[kLocalizedDescriptionKey].textOr("") + "\"";
    }
    out += errorTrace_.empty() ? ")" : "\n)";
    return out;
}

} // namespace velkora
