#include "data/VelkoraUserInternal.h"

#include <cctype>
#include <functional>

#include "platform/foundation/Log.h"
#include "platform/services/OutsideEndpoints.h"

namespace velkora {

namespace {

// Where the pictures of the two social networks live; the graph address serves a Facebook user's
// picture at a requested size.
constexpr std::string_view kTwitterImageHost = "twimg.com";
constexpr std::string_view kFacebookCdnHosts[] = {"fbcdn.net", "fbsbx.com", "akamaihd.net"};

// The host of an address, lower-cased ("" when the text has no scheme).
std::string hostOfUrl(std::string_view url) {
    size_t start = url.find("://");
    if (start == std::string_view::npos) return {};
    start += 3;
    size_t end = url.find_first_of("/?#", start);
    std::string_view authority = url.substr(start, end == std::string_view::npos ? url.npos : end - start);
    if (size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    if (size_t colon = authority.find(':'); colon != std::string_view::npos) authority = authority.substr(0, colon);
    std::string host(authority);
    for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return host;
}

bool hostIs(std::string_view host, std::string_view domain) {
    if (host.size() < domain.size()) return false;
    if (host.compare(host.size() - domain.size(), domain.size(), domain) != 0) return false;
    return host.size() == domain.size() || host[host.size() - domain.size() - 1] == '.';
}

bool isBlankText(const OptionalText& t) {
    if (!t) return true;
    for (char c : *t) {
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f') return false;
    }
    return true;
}

}  // namespace

std::shared_ptr<VelkoraUserInternal> VelkoraUserInternal::copy() const {
    auto c = std::make_shared<VelkoraUserInternal>(*this);
    if (location_) c->location_ = location_->copy();
    return c;
}

bool VelkoraUserInternal::isEqual(const VelkoraUserInternal* other) const {
    if (!other) return false;
    if (other == this) return true;
    return userId_ && other->userId_ && *userId_ == *other->userId_;
}

size_t VelkoraUserInternal::hash() const { return std::hash<std::string>()(userId_.value_or(std::string())); }

bool VelkoraUserInternal::isAnonymous() const { return isBlankText(firstName_) && isBlankText(lastName_); }

bool VelkoraUserInternal::isKnownGender() const { return gender_ && !gender_->empty(); }

bool VelkoraUserInternal::isTestUser() const { return userId_ && userId_->starts_with("test"); }

bool VelkoraUserInternal::isAppOwner() const { return userId_ && userId_->starts_with("_OWNER"); }

bool VelkoraUserInternal::hasPhoto(int32_t localUserInfoSource) const {
    if (isAnonymous()) return false;
    if (localUserInfoSource == 1 && facebookId_ > 0) return true;
    return userPhotoUrl_ && !userPhotoUrl_->empty();
}

OptionalText VelkoraUserInternal::getSizedPhotoUrl(float width, float height) const {
    if (!userPhotoUrl_) return userPhotoUrl_;
    const std::string host = hostOfUrl(*userPhotoUrl_);
    if (hostIs(host, kTwitterImageHost)) {
        std::string full = *userPhotoUrl_;
        static constexpr std::string_view kNormal = "_normal";
        for (size_t at = full.find(kNormal); at != std::string::npos; at = full.find(kNormal, at)) {
            full.erase(at, kNormal.size());
        }
        return full;
    }
    bool facebookPhoto = false;
    for (auto cdn : kFacebookCdnHosts) facebookPhoto = facebookPhoto || hostIs(host, cdn);
    if (facebookId_ > 0 && facebookId_ != kFacebookUnknownId && facebookPhoto) {
        std::string picture = foundation::format("%@/%lld/picture", services::OutsideEndpoints::base(services::OutsideEndpoints::Service::FacebookGraph), facebookId_);
        // Truncation toward zero of a float outside int's range is undefined; clamp first.
        auto whole = [](float v) {
            if (!(v > -2147483648.0f)) return v != v ? 0 : -2147483647 - 1;
            if (!(v < 2147483647.0f)) return 2147483647;
            return static_cast<int>(v);
        };
        if (width != 0 && height != 0) {
            return foundation::format("%@?width=%d&height=%d", picture, whole(width), whole(height));
        }
        return picture;
    }
    return userPhotoUrl_;
}

std::string VelkoraUserInternal::description() const {
    return foundation::format("First Name=%@ lastName=%@", firstName_ ? foundation::FormatArg(*firstName_) : nullptr,
                              lastName_ ? foundation::FormatArg(*lastName_) : nullptr);
}

}  // namespace velkora
