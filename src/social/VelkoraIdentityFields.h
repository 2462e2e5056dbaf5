// The identity fields of the local user record (Twitter, Facebook, e-mail and the account source), taken
// at once so that an attempt that fails or is declined can put back exactly what it found.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velkora {

class VelkoraUserInfo;

struct VelkoraIdentityFields {
    using OptString = std::optional<std::string>;

    int64_t twitterId = 0;
    OptString twitterName, twitterPhoto, twitterLocation, twitterAccountIdentifier;
    int64_t fbId = 0;
    OptString fbFirstName, fbLastName, fbLocation, fbPhoto;
    OptString emailId, emailName, emailPhoto;
    int32_t userInfoSource = 0;

    static VelkoraIdentityFields of(const VelkoraUserInfo& info);
    // Puts back one identity (connect method 1 e-mail, 2 Facebook, 3 Twitter) and the account source.
    void restore(VelkoraUserInfo& info, int32_t method) const;
    // Takes one identity's fields from another snapshot.
    void adopt(const VelkoraIdentityFields& other, int32_t method);

    // Drops one identity with everything that described it (account source numbering: 1 Facebook,
    // 2 Twitter, 3 e-mail).
    static void clearTwitter(VelkoraUserInfo& info);
    static void clearFacebook(VelkoraUserInfo& info);
    static void clearEmail(VelkoraUserInfo& info);

    // What a connector overwrote in the record when it stored a newly identified account, kept until the
    // helper's attempt with that id starts. Main thread only.
    static void rememberReplaced(int32_t method, int64_t newId, const VelkoraIdentityFields& before);
    static std::optional<VelkoraIdentityFields> takeReplaced(int32_t method, int64_t id);
    // Nobody took the identity a connector stored (its caller went away before the answer): the record
    // gets back what that identity replaced, and is saved.
    static void putBackReplaced(int32_t method, int64_t id);
    static void forgetReplaced();
};

} // namespace velkora
