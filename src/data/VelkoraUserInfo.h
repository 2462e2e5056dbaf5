// The local user record: what the kit remembers about the person on this device between runs.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/foundation/KeyedArchive.h"
#include "data/VelkoraProperty.h"
#include "platform/foundation/Value.h"

namespace velkora {

class VelkoraStickerPack;

class VelkoraUserInfo final : public foundation::Codable {
public:
    using OptString = std::optional<std::string>;
    // Other user's id → the chat's highest change number at the mark.
    using ChangeNumbersMap = std::map<std::string, int32_t>;
    using StickerPacksMap = std::map<int64_t, std::shared_ptr<VelkoraStickerPack>>;

    static constexpr const char* kClassName = "VelkoraUserInfo";

    VelkoraUserInfo() = default;

    std::string archiveClassName() const override { return kClassName; }
    void encodeWithCoder(foundation::KeyedArchiver& coder) const override;
    static std::shared_ptr<VelkoraUserInfo> initWithCoder(const foundation::KeyedUnarchiver& coder);
    static void registerForArchiving();

    bool isFacebookConnected() const { return fbId_ > 0; }
    bool isTwitterConnected() const { return twitterId_ > 0; }
    bool isEmailConnected() const { return emailId_ && !emailId_->empty(); }
    bool isOnlyFacebookConnected() const { return twitterId_ == 0 && !isEmailConnected(); }
    bool isOnlyTwitterConnected() const { return fbId_ == 0 && !isEmailConnected(); }
    bool isOnlyEmailConnected() const { return twitterId_ == 0 && fbId_ == 0; }
    void resetUserInfoSource();


    VELKORA_MODEL_PROPERTY(OptString, userId, UserId)
    VELKORA_MODEL_PROPERTY(OptString, deviceId, DeviceId)
    VELKORA_MODEL_PROPERTY(int32_t, messagesChangeNumber, MessagesChangeNumber)
    VELKORA_MODEL_PROPERTY(int32_t, feedChangeNumber, FeedChangeNumber)
    VELKORA_MODEL_PROPERTY(int32_t, likesChangeNumber, LikesChangeNumber)
    VELKORA_MODEL_PROPERTY(bool, welcomePopupWasDisplayed, WelcomePopupWasDisplayed)
    VELKORA_MODEL_PROPERTY(std::optional<ChangeNumbersMap>, usersLastViewedChangeNumbersMap, UsersLastViewedChangeNumbersMap)
    VELKORA_MODEL_PROPERTY(std::optional<ChangeNumbersMap>, usersDeletedChangeNumbersMap, UsersDeletedChangeNumbersMap)
    VELKORA_MODEL_PROPERTY(OptString, deviceToken, DeviceToken)
    VELKORA_MODEL_PROPERTY(bool, isPrivateMode, IsPrivateMode)
    VELKORA_MODEL_PROPERTY(bool, findYourFriendsWasDisplayed, FindYourFriendsWasDisplayed)
    VELKORA_MODEL_PROPERTY(OptString, appId, AppId)
    VELKORA_MODEL_PROPERTY(int32_t, lastViewedFeedMessageNumber, LastViewedFeedMessageNumber)
    VELKORA_MODEL_PROPERTY(int32_t, lastViewedLikeNumber, LastViewedLikeNumber)
    VELKORA_MODEL_PROPERTY(double, lastTimeVisitedShopping, LastTimeVisitedShopping)
    VELKORA_MODEL_PROPERTY(int64_t, twitterId, TwitterId)
    VELKORA_MODEL_PROPERTY(OptString, twitterName, TwitterName)
    VELKORA_MODEL_PROPERTY(OptString, twitterPhoto, TwitterPhoto)
    VELKORA_MODEL_PROPERTY(OptString, twitterLocation, TwitterLocation)
    VELKORA_MODEL_PROPERTY(OptString, twitterAccountIdentifier, TwitterAccountIdentifier)
    VELKORA_MODEL_PROPERTY(int64_t, fbId, FbId)
    VELKORA_MODEL_PROPERTY(OptString, fbFirstName, FbFirstName)
    VELKORA_MODEL_PROPERTY(OptString, fbLastName, FbLastName)
    VELKORA_MODEL_PROPERTY(OptString, fbLocation, FbLocation)
    VELKORA_MODEL_PROPERTY(OptString, fbPhoto, FbPhoto)
    VELKORA_MODEL_PROPERTY(OptString, emailId, EmailId)
    VELKORA_MODEL_PROPERTY(OptString, emailName, EmailName)
    VELKORA_MODEL_PROPERTY(OptString, emailPhoto, EmailPhoto)
    VELKORA_MODEL_PROPERTY(int32_t, userInfoSource, UserInfoSource)
    VELKORA_MODEL_PROPERTY(bool, dontShowRadarOverlayView, DontShowRadarOverlayView)
    VELKORA_MODEL_PROPERTY(std::optional<std::set<std::string>>, objectsMeLiked, ObjectsMeLiked)
    VELKORA_MODEL_PROPERTY(bool, joinedFeedSent, JoinedFeedSent)
    VELKORA_MODEL_PROPERTY(bool, migratedTo220, MigratedTo220)
    VELKORA_MODEL_PROPERTY(bool, playQuizOnMute, PlayQuizOnMute)
    VELKORA_MODEL_PROPERTY(std::optional<StickerPacksMap>, stickerPacksMap, StickerPacksMap)
    VELKORA_MODEL_PROPERTY(int32_t, nAdsShownInPeriod, NAdsShownInPeriod)
    VELKORA_MODEL_PROPERTY(double, lastAdsPeriodResetTime, LastAdsPeriodResetTime)
    // Not archived: the promoted applications are off for this run only.
    VELKORA_MODEL_PROPERTY(bool, isAppDealsDisabled, IsAppDealsDisabled)
};

}  // namespace velkora
