// The application's configuration as the service sends it (features, texts, colours, limits, banner and
// ad settings), with its change number; kept between runs in a keyed archive.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/KeyedArchive.h"
#include "data/VelkoraProperty.h"
#include "platform/foundation/Value.h"

namespace velkora {

using OptString = std::optional<std::string>;

// One entry of the sidebar's feature list.
class VelkoraAppFeatures final : public foundation::Codable {
public:
    static constexpr const char* kClassName = "VelkoraAppFeatures";
    std::string archiveClassName() const override { return kClassName; }
    void encodeWithCoder(foundation::KeyedArchiver& coder) const override;
    static std::shared_ptr<VelkoraAppFeatures> initWithCoder(const foundation::KeyedUnarchiver& coder);

    VELKORA_MODEL_PROPERTY(OptString, featureId, FeatureId)
    VELKORA_MODEL_PROPERTY(OptString, featureName, FeatureName)
    VELKORA_MODEL_PROPERTY(OptString, featureIcon, FeatureIcon)
    VELKORA_MODEL_PROPERTY(OptString, customEventId, CustomEventId)
    VELKORA_MODEL_PROPERTY(bool, isCustom, IsCustom)
};

struct VelkoraAppDataFields;

class VelkoraAppData final : public foundation::Codable {
    friend struct VelkoraAppDataFields;

public:
    using Features = std::vector<std::shared_ptr<VelkoraAppFeatures>>;
    using ProductIds = std::map<std::string, std::string>;

    static constexpr const char* kClassName = "VelkoraAppData";
    static constexpr const char* kBuildVersion = "2.5.7";

    std::string archiveClassName() const override { return kClassName; }
    void encodeWithCoder(foundation::KeyedArchiver& coder) const override;
    static std::shared_ptr<VelkoraAppData> initWithCoder(const foundation::KeyedUnarchiver& coder);
    static void registerForArchiving();

    // The configuration read from a getAppData reply's "appData" object. Null when the reply carries none
    // (null, missing, or not an object): the held configuration must then stay as it is.
    static std::shared_ptr<VelkoraAppData> fromReply(const foundation::Value& appData);

    // Appends the entries named in the text of the oldest archives, in a fixed order.
    void backwardCompatabiltybuildAppFeatures(const OptString& legacy);

    // The feature's name comes from the session's feature registry.
    bool isFeatureEnabled(int32_t featureId) const;
    bool isFeatureNameEnabled(const std::string& name) const;
    bool isFeedEnabled() const { return isFeatureEnabled(0); }
    bool isMessagesEnabled() const { return isFeatureEnabled(1); }
    bool isBlogEnabled() const { return isFeatureEnabled(2); }
    bool isInviteEnabled() const { return isFeatureEnabled(3); }
    bool isRadarEnabled() const { return isFeatureEnabled(4); }
    bool isFeedbackEnabled() const { return isFeatureEnabled(100); }
    bool isQuizEnabled() const { return isFeatureEnabled(103); }
    bool isAppDealsEnabled() const;

    VELKORA_MODEL_PROPERTY(OptString, facebookInviteCaption, FacebookInviteCaption)
    VELKORA_MODEL_PROPERTY(OptString, theme, Theme)
    VELKORA_MODEL_PROPERTY(OptString, twitterInviteDescription, TwitterInviteDescription)
    VELKORA_MODEL_PROPERTY(OptString, facebookInviteDescription, FacebookInviteDescription)
    VELKORA_MODEL_PROPERTY(OptString, mailInviteSubject, MailInviteSubject)
    VELKORA_MODEL_PROPERTY(OptString, mailInviteText, MailInviteText)
    VELKORA_MODEL_PROPERTY(OptString, facebookInviteTitleLink, FacebookInviteTitleLink)
    VELKORA_MODEL_PROPERTY(OptString, facebookInviteTitle, FacebookInviteTitle)
    VELKORA_MODEL_PROPERTY(OptString, facebookAppId, FacebookAppId)
    VELKORA_MODEL_PROPERTY(OptString, appName, AppName)
    VELKORA_MODEL_PROPERTY(OptString, facebookInvitePicture, FacebookInvitePicture)
    VELKORA_MODEL_PROPERTY(OptString, twitterInviteLink, TwitterInviteLink)
    VELKORA_MODEL_PROPERTY(int32_t, actionOnIncomingMessage, ActionOnIncomingMessage)
    VELKORA_MODEL_PROPERTY(int32_t, welcomePopupMode, WelcomePopupMode)
    VELKORA_MODEL_PROPERTY(float, welcomePopupDelay, WelcomePopupDelay)
    VELKORA_MODEL_PROPERTY(float, welcomePopupDuration, WelcomePopupDuration)
    VELKORA_MODEL_PROPERTY(int32_t, welcomePopupType, WelcomePopupType)
    VELKORA_MODEL_PROPERTY(bool, displayTestUsers, DisplayTestUsers)
    VELKORA_MODEL_PROPERTY(bool, displayAge, DisplayAge)
    VELKORA_MODEL_PROPERTY(OptString, rateUrl, RateUrl)
    VELKORA_MODEL_PROPERTY(OptString, smsText, SmsText)
    VELKORA_MODEL_PROPERTY(OptString, twitterAppAccount, TwitterAppAccount)
    VELKORA_MODEL_PROPERTY(bool, disableVelkora, DisableVelkora)
    VELKORA_MODEL_PROPERTY(bool, allowOnIpad, AllowOnIpad)
    VELKORA_MODEL_PROPERTY(bool, fwCompatabiltyGotDataFromServer, FwCompatabiltyGotDataFromServer)
    VELKORA_MODEL_PROPERTY(bool, fwCompatabiltyDumpPlistToServer, FwCompatabiltyDumpPlistToServer)
    VELKORA_MODEL_PROPERTY(int32_t, panelColorType, PanelColorType)
    VELKORA_MODEL_PROPERTY(int32_t, changeNumber, ChangeNumber)
    VELKORA_MODEL_PROPERTY(Features, appFeatures, AppFeatures)
    VELKORA_MODEL_PROPERTY(bool, enableTwitter, EnableTwitter)
    VELKORA_MODEL_PROPERTY(bool, enableFacebook, EnableFacebook)
    VELKORA_MODEL_PROPERTY(bool, enableInviteFacebook, EnableInviteFacebook)
    VELKORA_MODEL_PROPERTY(bool, enableInviteTwitter, EnableInviteTwitter)
    VELKORA_MODEL_PROPERTY(bool, enableInviteEmail, EnableInviteEmail)
    VELKORA_MODEL_PROPERTY(bool, enableInviteSms, EnableInviteSms)
    VELKORA_MODEL_PROPERTY(int32_t, leadingColor, LeadingColor)
    VELKORA_MODEL_PROPERTY(OptString, appImage, AppImage)
    VELKORA_MODEL_PROPERTY(bool, opensRight, OpensRight)
    VELKORA_MODEL_PROPERTY(int32_t, distanceUnits, DistanceUnits)
    VELKORA_MODEL_PROPERTY(int32_t, appDealsVendor, AppDealsVendor)
    VELKORA_MODEL_PROPERTY(int32_t, appBannerVendor, AppBannerVendor)
    VELKORA_MODEL_PROPERTY(bool, autoPostJoined, AutoPostJoined)
    VELKORA_MODEL_PROPERTY(bool, autoPostFollow, AutoPostFollow)
    VELKORA_MODEL_PROPERTY(bool, autoPostCommented, AutoPostCommented)
    VELKORA_MODEL_PROPERTY(bool, enableRateUs, EnableRateUs)
    VELKORA_MODEL_PROPERTY(bool, enableShareFacebook, EnableShareFacebook)
    VELKORA_MODEL_PROPERTY(bool, enableShareTwitter, EnableShareTwitter)
    VELKORA_MODEL_PROPERTY(bool, showPoweredByMessage, ShowPoweredByMessage)
    VELKORA_MODEL_PROPERTY(int32_t, maxMessagesPerUpdate, MaxMessagesPerUpdate)
    VELKORA_MODEL_PROPERTY(int32_t, appBannerLocation, AppBannerLocation)
    VELKORA_MODEL_PROPERTY(float, appBannerInterval, AppBannerInterval)
    VELKORA_MODEL_PROPERTY(float, appBannerChangeInterval, AppBannerChangeInterval)
    VELKORA_MODEL_PROPERTY(float, appBannerEntryInterval, AppBannerEntryInterval)
    VELKORA_MODEL_PROPERTY(float, appBannerDelay, AppBannerDelay)
    VELKORA_MODEL_PROPERTY(bool, appBannerEntryEnabled, AppBannerEntryEnabled)
    VELKORA_MODEL_PROPERTY(bool, overrideStrings, OverrideStrings)
    VELKORA_MODEL_PROPERTY(bool, emailSignUpEnabled, EmailSignUpEnabled)
    VELKORA_MODEL_PROPERTY(bool, limitRadarZoom, LimitRadarZoom)
    VELKORA_MODEL_PROPERTY(bool, chatroomTopNewest, ChatroomTopNewest)
    VELKORA_MODEL_PROPERTY(bool, fixedTopicsOrder, FixedTopicsOrder)
    VELKORA_MODEL_PROPERTY(bool, appReward, AppReward)
    VELKORA_MODEL_PROPERTY(int32_t, appRewardQuizThreshold, AppRewardQuizThreshold)
    VELKORA_MODEL_PROPERTY(OptString, privacyPolicy, PrivacyPolicy)
    VELKORA_MODEL_PROPERTY(OptString, termsOfUse, TermsOfUse)
    VELKORA_MODEL_PROPERTY(int32_t, nAdsPerPeriod, NAdsPerPeriod)
    VELKORA_MODEL_PROPERTY(int32_t, adsPeriodSecs, AdsPeriodSecs)
    VELKORA_MODEL_PROPERTY(std::optional<ProductIds>, productIds, ProductIds)
    VELKORA_MODEL_PROPERTY(OptString, buildVersion, BuildVersion)
};

}  // namespace velkora
