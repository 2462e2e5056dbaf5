#include "feed/VelkoraFeedSentence.h"

#include "platform/foundation/Bundle.h"
#include "data/VelkoraUserDetailsDisplayer.h"

namespace velkora {

VelkoraFeedSentence VelkoraFeedSentence::joined(const std::string& first, const std::string& firstLink,
                                                const std::string& second, const std::optional<std::string>& third) {
    VelkoraFeedSentence s;
    s.text = first + " " + second;
    if (third) s.text += " " + *third;
    s.link(0, ui::utf16::length(first), firstLink);
    return s;
}

void VelkoraFeedSentence::link(size_t location, size_t length, std::string replacement) {
    links.push_back({{location, length}, std::move(replacement)});
}

std::string velkoraFeedText(const std::string& key) {
    return foundation::Bundle::main().localizedString(key);
}

std::string velkoraFormatOnce(const std::string& format, const std::string& value, size_t* position) {
    const size_t at = format.find("%@");
    if (position) *position = at == std::string::npos ? std::string::npos : ui::utf16::length(format.substr(0, at));
    if (at == std::string::npos) return format;
    return format.substr(0, at) + value + format.substr(at + 2);
}

std::string velkoraNameWithInitial(const VelkoraUserPtr& user) {
    return VelkoraUserDetailsDisplayer::nameWithInitial(user.get());
}

std::string velkoraUserIdOf(const VelkoraUserPtr& user) {
    return user ? user->userId().value_or("") : std::string();
}

std::string velkoraSmallImageUrl(const std::string& url) {
    // Only the path's last segment: a dot of the host ("127.0.0.1") is no file extension.
    const size_t scheme = url.find("://");
    const size_t pathStart = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    if (pathStart == std::string::npos) return url;
    const size_t end = url.find_first_of("?#", pathStart);
    const std::string path = url.substr(0, end);
    const size_t segment = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < segment) return url;
    return url.substr(0, dot) + "_small" + url.substr(dot);
}

} // namespace velkora
