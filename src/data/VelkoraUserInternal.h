#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/VelkoraLocation.h"
#include "data/VelkoraProperty.h"

namespace velkora {

// The one in-memory record of a user of the service. Replies never build users directly: they go
// through the users repository, so every reply naming the same id updates the same object.
class VelkoraUserInternal {
    VELKORA_MODEL_PROPERTY(OptionalText, appId, AppId)
    VELKORA_MODEL_PROPERTY(OptionalText, userId, UserId)
    VELKORA_MODEL_PROPERTY(OptionalText, firstName, FirstName)
    VELKORA_MODEL_PROPERTY(OptionalText, lastName, LastName)
    VELKORA_MODEL_PROPERTY(OptionalText, userPhotoUrl, UserPhotoUrl)
    VELKORA_MODEL_PROPERTY(OptionalText, email, Email)
    VELKORA_MODEL_PROPERTY(OptionalText, city, City)
    VELKORA_MODEL_PROPERTY(OptionalText, state, State)
    VELKORA_MODEL_PROPERTY(OptionalText, country, Country)
    VELKORA_MODEL_PROPERTY(OptionalText, zipcode, Zipcode)
    VELKORA_MODEL_PROPERTY(OptionalText, customString1, CustomString1)
    VELKORA_MODEL_PROPERTY(OptionalText, customString2, CustomString2)
    VELKORA_MODEL_PROPERTY(OptionalText, customString3, CustomString3)
    VELKORA_MODEL_PROPERTY(bool, isCustomFloat1Set, IsCustomFloat1Set)
    VELKORA_MODEL_PROPERTY(bool, isCustomFloat2Set, IsCustomFloat2Set)
    VELKORA_MODEL_PROPERTY(bool, isCustomFloat3Set, IsCustomFloat3Set)
    VELKORA_MODEL_PROPERTY(bool, isAgeSet, IsAgeSet)
    VELKORA_MODEL_PROPERTY(OptionalText, gender, Gender)
    VELKORA_MODEL_PROPERTY(OptionalText, data, Data)
    VELKORA_MODEL_PROPERTY(std::shared_ptr<VelkoraLocation>, location, Location)
    VELKORA_MODEL_PROPERTY(bool, isReportedByCurrentUser, IsReportedByCurrentUser)
    VELKORA_MODEL_PROPERTY(bool, isBlockedByCurrentUser, IsBlockedByCurrentUser)
    VELKORA_MODEL_PROPERTY(bool, isFavorite, IsFavorite)
    VELKORA_MODEL_PROPERTY(int32_t, numFollowers, NumFollowers)
    VELKORA_MODEL_PROPERTY(int32_t, numFollowing, NumFollowing)
    VELKORA_MODEL_PROPERTY(int32_t, numFeeds, NumFeeds)
    VELKORA_MODEL_PROPERTY(int64_t, facebookId, FacebookId)
    VELKORA_MODEL_PROPERTY(int64_t, twitterId, TwitterId)
    VELKORA_MODEL_PROPERTY(int32_t, coins, Coins)
    VELKORA_MODEL_PROPERTY(int32_t, score, Score)
    // The pack ids the service lists for the user; elements that are not numbers are left out.
    VELKORA_MODEL_PROPERTY(std::vector<int32_t>, stickerPackIds, StickerPackIds)

public:
    // Setting a value also marks it as set; setting the mark alone leaves the value.
    double customFloat1() const { return customFloat1_; }
    void setCustomFloat1(double v) { customFloat1_ = v; isCustomFloat1Set_ = true; }
    double customFloat2() const { return customFloat2_; }
    void setCustomFloat2(double v) { customFloat2_ = v; isCustomFloat2Set_ = true; }
    double customFloat3() const { return customFloat3_; }
    void setCustomFloat3(double v) { customFloat3_ = v; isCustomFloat3Set_ = true; }
    int32_t age() const { return age_; }
    void setAge(int32_t v) { age_ = v; isAgeSet_ = true; }

    // A new record with copies of every field (the location and the pack ids copied too); the four
    // "is set" marks are the source's, whatever the setters would have made of them.
    std::shared_ptr<VelkoraUserInternal> copy() const;

    // Equal when the same object or when the user ids are equal; a user without an id equals only itself.
    bool isEqual(const VelkoraUserInternal* other) const;
    bool isEqual(const std::shared_ptr<VelkoraUserInternal>& other) const { return isEqual(other.get()); }
    size_t hash() const;

    // No first or last name once blanks and line ends are trimmed.
    bool isAnonymous() const;
    bool isKnownGender() const;
    bool isTestUser() const;
    bool isAppOwner() const;
    // `localUserInfoSource` is the local user record's identity source (1 Facebook, 2 Twitter, 3 e-mail).
    bool hasPhoto(int32_t localUserInfoSource) const;
    // The picture address to load for a size in pixels: the full-size Twitter picture, the Facebook
    // graph picture at that size, or the stored address.
    OptionalText getSizedPhotoUrl(float width, float height) const;

    // Fills names, picture, city and e-mail from the local user record's identity of its source. The
    // record type is left open so the model does not depend on the session's archive.
    template <typename UserInfo>
    void updateWithUserInfoSource(const UserInfo& info);

    // "First Name=<first> lastName=<last>" for log lines.
    std::string description() const;

    static constexpr int64_t kFacebookUnknownId = 2147483647;
    // A picture address that the picture rule takes for a Facebook CDN photo, so that the sized address
    // is derived from the Facebook id; the current user built from a Facebook identity carries it.
    static constexpr const char* kFacebookPhotoMarker = "https://fbcdn.net/";

private:
    double customFloat1_ = 0;
    double customFloat2_ = 0;
    double customFloat3_ = 0;
    int32_t age_ = 0;
};

using VelkoraUserPtr = std::shared_ptr<VelkoraUserInternal>;

// Equality by user id, for searching lists of users.
inline bool sameUser(const VelkoraUserPtr& a, const VelkoraUserPtr& b) { return a && a->isEqual(b); }

template <typename UserInfo>
void VelkoraUserInternal::updateWithUserInfoSource(const UserInfo& info) {
    const OptionalText empty = std::string();
    switch (info.userInfoSource()) {
    case 1:
        setFirstName(info.fbFirstName());
        setLastName(info.fbLastName());
        setUserPhotoUrl(info.fbPhoto());
        setCity(info.fbLocation());
        break;
    case 2:
        setFirstName(info.twitterName());
        setLastName(empty);
        setUserPhotoUrl(info.twitterPhoto());
        setCity(info.twitterLocation());
        break;
    case 3:
        setFirstName(info.emailName());
        setLastName(empty);
        setUserPhotoUrl(info.emailPhoto());
        setCity(empty);
        setEmail(info.emailId());
        break;
    default:
        setFirstName(empty);
        setLastName(empty);
        setUserPhotoUrl(empty);
        setCity(empty);
        setEmail(empty);
        break;
    }
}

}  // namespace velkora
