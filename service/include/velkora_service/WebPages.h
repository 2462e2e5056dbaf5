// The application's own pages that the service serves under "/pages" (terms, privacy policy, community
// rules), linked to each other; the configuration names the first two.
#pragma once

namespace velkora::service {

inline constexpr const char* kTermsPagePath = "/pages/terms";
inline constexpr const char* kPrivacyPagePath = "/pages/privacy";
inline constexpr const char* kCommunityPagePath = "/pages/community";

} // namespace velkora::service
