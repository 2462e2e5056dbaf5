#include "data/VelkoraAppData.h"

#include <mutex>
#include <variant>

#include "data/VelkoraFeatureRegistry.h"

namespace velkora {

using foundation::KeyedArchiver;
using foundation::KeyedUnarchiver;
using foundation::Value;

// The fields whose archive coding is one key of one coder type; the feature list, the product ids and the
// seven keys with defaults are coded by hand below.
struct VelkoraAppDataFields {
    using Member = std::variant<OptString VelkoraAppData::*, int32_t VelkoraAppData::*, float VelkoraAppData::*,
                                bool VelkoraAppData::*>;
    struct ArchivedField {
        const char* key;
        Member member;
    };
    static const std::vector<ArchivedField>& plain();
    static const std::vector<ArchivedField>& defaultingToYes();
};

using ArchivedField = VelkoraAppDataFields::ArchivedField;

#define F(key, name) ArchivedField{key, &VelkoraAppData::name##_}

const std::vector<ArchivedField>& VelkoraAppDataFields::plain() {
    static const std::vector<ArchivedField> fields = {
        F("facebookInviteCaption", facebookInviteCaption),
        F("theme", theme),
        F("twitterInviteDescription", twitterInviteDescription),
        F("facebookInviteDescription", facebookInviteDescription),
        F("mailInviteSubject", mailInviteSubject),
        F("mailInviteText", mailInviteText),
        F("facebookInviteTitleLink", facebookInviteTitleLink),
        F("facebookInviteTitle", facebookInviteTitle),
        F("facebookAppId", facebookAppId),
        F("appName", appName),
        F("facebookInvitePicture", facebookInvitePicture),
        F("twitterInviteLink", twitterInviteLink),
        F("actionOnIncomingMessage", actionOnIncomingMessage),
        F("welcomePopupMode", welcomePopupMode),
        F("welcomePopupDelay", welcomePopupDelay),
        F("welcomePopupDuration", welcomePopupDuration),
        F("velkoraWelcomePopupType", welcomePopupType),
        F("displayTestUsers", displayTestUsers),
        F("displayAge", displayAge),
        F("rateUrl", rateUrl),
        F("smsText", smsText),
        F("twitterAppAccount", twitterAppAccount),
        F("disableVelkora", disableVelkora),
        F("allowOnIpad", allowOnIpad),
        F("fwCompatabiltyGotDataFromServer", fwCompatabiltyGotDataFromServer),
        F("panelColorType", panelColorType),
        F("changeNumber", changeNumber),
        F("velkoraLeadingColor", leadingColor),
        F("velkoraAppImage", appImage),
        F("velkoraOpensRight", opensRight),
        F("velkoraDistanceUnits", distanceUnits),
        F("velkoraAppDealsVendor", appDealsVendor),
        F("velkoraAppBannerVendor", appBannerVendor),
        F("autoPostJoined", autoPostJoined),
        F("autoPostFollow", autoPostFollow),
        F("autoPostCommented", autoPostCommented),
        F("enableRateUs", enableRateUs),
        F("enableShareFacebook", enableShareFacebook),
        F("enableShareTwitter", enableShareTwitter),
        F("showPoweredByMessage", showPoweredByMessage),
        F("maxMessagesPerUpdate", maxMessagesPerUpdate),
        F("velkoraAppBannerLocation", appBannerLocation),
        F("velkoraAppBannerInterval", appBannerInterval),
        F("velkoraAppBannerChangeInterval", appBannerChangeInterval),
        F("velkoraAppBannerEntryInterval", appBannerEntryInterval),
        F("velkoraAppBannerDelay", appBannerDelay),
        F("velkoraAppBannerEntryEnabled", appBannerEntryEnabled),
        F("overrideStrings", overrideStrings),
        F("emailSignUpEnabled", emailSignUpEnabled),
        F("limitRadarZoom", limitRadarZoom),
        F("chatroomTopNewest", chatroomTopNewest),
        F("fixedTopicsOrder", fixedTopicsOrder),
        F("privacyPolicy", privacyPolicy),
        F("termsOfUse", termsOfUse),
        F("velkoraNumAdsPerPeriod", nAdsPerPeriod),
        F("velkoraAdsPeriodSecs", adsPeriodSecs),
    };
    return fields;
}

// Flags that archives of older versions lack: absent means on.
const std::vector<ArchivedField>& VelkoraAppDataFields::defaultingToYes() {
    static const std::vector<ArchivedField> fields = {
        F("enableInviteFacebook", enableInviteFacebook), F("enableInviteTwitter", enableInviteTwitter),
        F("enableInviteEmail", enableInviteEmail),       F("enableInviteSms", enableInviteSms),
        F("enableTwitter", enableTwitter),               F("enableFacebook", enableFacebook),
        F("appReward", appReward),
    };
    return fields;
}
#undef F

void VelkoraAppFeatures::encodeWithCoder(KeyedArchiver& coder) const {
    coder.encodeString(featureId_, "VelkoraAppFeatureId");
    coder.encodeString(featureName_, "VelkoraAppFeatureName");
    coder.encodeString(featureIcon_, "VelkoraAppFeatureIcon");
    coder.encodeString(customEventId_, "VelkoraAppFeatureCustomEventId");
    coder.encodeBool(isCustom_, "VelkoraAppFeatureIsCustom");
}

std::shared_ptr<VelkoraAppFeatures> VelkoraAppFeatures::initWithCoder(const KeyedUnarchiver& coder) {
    auto f = std::make_shared<VelkoraAppFeatures>();
    f->featureId_ = coder.decodeString("VelkoraAppFeatureId");
    f->featureName_ = coder.decodeString("VelkoraAppFeatureName");
    f->featureIcon_ = coder.decodeString("VelkoraAppFeatureIcon");
    f->customEventId_ = coder.decodeString("VelkoraAppFeatureCustomEventId");
    f->isCustom_ = coder.decodeBool("VelkoraAppFeatureIsCustom");
    return f;
}

void VelkoraAppData::encodeWithCoder(KeyedArchiver& coder) const {
    for (const auto& f : VelkoraAppDataFields::plain()) {
        std::visit(
            [&](auto member) {
                const auto& v = this->*member;
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, OptString>) coder.encodeString(v, f.key);
                else if constexpr (std::is_same_v<T, int32_t>) coder.encodeInt32(v, f.key);
                else if constexpr (std::is_same_v<T, float>) coder.encodeFloat(v, f.key);
                else coder.encodeBool(v, f.key);
            },
            f.member);
    }
    for (const auto& f : VelkoraAppDataFields::defaultingToYes()) coder.encodeBool(this->*std::get<bool VelkoraAppData::*>(f.member), f.key);
    coder.encodeInt32(appRewardQuizThreshold_, "appRewardQuizThreshold");
    std::vector<std::shared_ptr<const foundation::Codable>> features(appFeatures_.begin(), appFeatures_.end());
    coder.encodeCodableArray(features, "velkoraAppFeatures");
    if (productIds_) {
        foundation::Dictionary d;
        for (const auto& [key, product] : *productIds_) d.set(key, product);
        coder.encodeObject(Value(std::move(d)), "velkoraProductIds");
    }
    coder.encodeString(buildVersion_, "velkoraBuildVersion");
}

std::shared_ptr<VelkoraAppData> VelkoraAppData::initWithCoder(const KeyedUnarchiver& coder) {
    auto r = std::make_shared<VelkoraAppData>();
    for (const auto& f : VelkoraAppDataFields::plain()) {
        std::visit(
            [&](auto member) {
                auto& v = (*r).*member;
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, OptString>) v = coder.decodeString(f.key);
                else if constexpr (std::is_same_v<T, int32_t>) v = coder.decodeInt32(f.key);
                else if constexpr (std::is_same_v<T, float>) v = coder.decodeFloat(f.key);
                else v = coder.decodeBool(f.key);
            },
            f.member);
    }
    for (auto& object : coder.decodeCodableArray("velkoraAppFeatures"))
        if (auto feature = std::dynamic_pointer_cast<VelkoraAppFeatures>(object)) r->appFeatures_.push_back(std::move(feature));
    if (r->appFeatures_.empty()) r->backwardCompatabiltybuildAppFeatures(coder.decodeString("enabledFeatures"));
    for (const auto& f : VelkoraAppDataFields::defaultingToYes()) {
        auto member = std::get<bool VelkoraAppData::*>(f.member);
        (*r).*member = coder.containsValueForKey(f.key) ? coder.decodeBool(f.key) : true;
    }
    r->appRewardQuizThreshold_ =
        coder.containsValueForKey("appRewardQuizThreshold") ? coder.decodeInt32("appRewardQuizThreshold") : 25;
    // The decoded value is held here: the dictionary read below lives inside it.
    const Value products = coder.decodeObject("velkoraProductIds");
    if (const foundation::Dictionary* productsById = products.asDictionary()) {
        ProductIds ids;
        for (const auto& [key, product] : *productsById)
            if (auto text = product.toText()) ids[key] = *text;
        r->productIds_ = std::move(ids);
    }
    r->buildVersion_ = coder.decodeString("velkoraBuildVersion");
    return r;
}

void VelkoraAppData::registerForArchiving() {
    static std::once_flag once;
    std::call_once(once, [] {
        foundation::registerCodableClass<VelkoraAppData>();
        foundation::registerCodableClass<VelkoraAppFeatures>();
    });
}

void VelkoraAppData::backwardCompatabiltybuildAppFeatures(const OptString& legacy) {
    if (!legacy || legacy->empty()) return;
    static const std::pair<const char*, const char*> kLegacy[] = {
        {"radar", "Radar"}, {"inbox", "Inbox"}, {"feed", "Feed"}, {"invite", "Invite"}};
    Features features;
    for (const auto& [id, title] : kLegacy) {
        if (legacy->find(id) == std::string::npos) continue;
        auto f = std::make_shared<VelkoraAppFeatures>();
        f->setFeatureId(std::string(id));
        f->setFeatureName(std::string(title));
        features.push_back(std::move(f));
    }
    appFeatures_ = std::move(features);
}

bool VelkoraAppData::isFeatureNameEnabled(const std::string& name) const {
    for (const auto& f : appFeatures_)
        if (f && f->featureId() == name) return true;
    return false;
}

bool VelkoraAppData::isFeatureEnabled(int32_t featureId) const {
    auto name = VelkoraFeatureRegistry::featureNameById(static_cast<uint32_t>(featureId));
    return name && isFeatureNameEnabled(*name);
}

bool VelkoraAppData::isAppDealsEnabled() const {
    if (appDealsVendor_ == 2) return false;
    if (appBannerLocation_ != 0) return true;
    return isFeatureEnabled(101);
}

namespace {

// Reply values of the wrong kind read as absent: a string field takes only a string, numbers and flags
// take numbers, numeric strings and booleans.
OptString replyString(const Value& d, std::string_view key) {
    if (auto* s = d[key].asString()) return *s;
    return std::nullopt;
}
int32_t replyInt(const Value& d, std::string_view key) { return d[key].int32Or(0); }
float replyFloat(const Value& d, std::string_view key) { return static_cast<float>(d[key].doubleOr(0)); }
bool replyFlag(const Value& d, std::string_view key) { return d[key].boolOr(false); }

}  // namespace

std::shared_ptr<VelkoraAppData> VelkoraAppData::fromReply(const Value& a) {
    if (!a.isDictionary()) return nullptr;
    auto r = std::make_shared<VelkoraAppData>();
    r->facebookInviteCaption_ = replyString(a, "facebookInviteCaption");
    r->theme_ = replyString(a, "theme");
    r->twitterInviteDescription_ = replyString(a, "twitterInviteDescription");
    r->facebookInviteDescription_ = replyString(a, "facebookInviteDescription");
    r->mailInviteSubject_ = replyString(a, "mailInviteSubject");
    r->mailInviteText_ = replyString(a, "mailInviteText");
    r->facebookInviteTitleLink_ = replyString(a, "facebookInviteTitleLink");
    r->facebookInviteTitle_ = replyString(a, "facebookInviteTitle");
    r->facebookAppId_ = replyString(a, "facebookAppId");
    r->appName_ = replyString(a, "appName");
    r->facebookInvitePicture_ = replyString(a, "facebookInvitePicture");
    r->twitterInviteLink_ = replyString(a, "twitterInviteLink");
    r->actionOnIncomingMessage_ = replyInt(a, "actionOnIncomingMessage");
    r->welcomePopupMode_ = replyInt(a, "welcomePopupMode");
    r->welcomePopupDelay_ = replyFloat(a, "welcomePopupDelay");
    r->welcomePopupDuration_ = replyFloat(a, "welcomePopupDuration");
    r->welcomePopupType_ = replyInt(a, "welcomePopupType");
    r->displayTestUsers_ = replyFlag(a, "displayTestUsers");
    r->displayAge_ = replyFlag(a, "displayAge");
    r->rateUrl_ = replyString(a, "rateUrl");
    r->smsText_ = replyString(a, "smsText");
    r->twitterAppAccount_ = replyString(a, "twitterAppAccount");
    r->disableVelkora_ = replyFlag(a, "disableVelkora");
    r->allowOnIpad_ = replyFlag(a, "allowOnIpad");
    r->fwCompatabiltyGotDataFromServer_ = replyFlag(a, "overridePlist");
    r->fwCompatabiltyDumpPlistToServer_ = replyFlag(a, "dumpPlist");
    r->panelColorType_ = replyInt(a, "panelColorType");

    if (const foundation::Array* features = a["features"].asArray()) {
        Features list;
        list.reserve(features->size());
        for (const Value& e : *features) {
            auto f = std::make_shared<VelkoraAppFeatures>();
            f->setFeatureId(replyString(e, "id"));
            f->setFeatureName(replyString(e, "name"));
            f->setFeatureIcon(replyString(e, "icon"));
            f->setCustomEventId(replyString(e, "eventId"));
            f->setIsCustom(replyFlag(e, "custom"));
            list.push_back(std::move(f));
        }
        r->appFeatures_ = std::move(list);
    }
    if (const foundation::Array* products = a["productIds"].asArray()) {
        ProductIds ids;
        for (const Value& e : *products) {
            auto key = e["key"].toText();
            auto product = e["productId"].toText();
            if (key && product) ids[*key] = *product;
        }
        r->productIds_ = std::move(ids);
    }
    r->leadingColor_ = replyInt(a, "leadingColor");
    r->opensRight_ = replyFlag(a, "opensRight");
    if (auto units = replyString(a, "distanceUnits")) {
        if (*units == "K") r->distanceUnits_ = 1;
        else if (*units == "M") r->distanceUnits_ = 0;
    }
    r->appDealsVendor_ = replyInt(a, "iosAppVendor");
    r->enableInviteFacebook_ = replyFlag(a, "enableInviteFacebook");
    r->enableInviteTwitter_ = replyFlag(a, "enableInviteTwitter");
    r->enableInviteEmail_ = replyFlag(a, "enableInviteEmail");
    r->enableInviteSms_ = replyFlag(a, "enableInviteSms");
    r->enableFacebook_ = replyFlag(a, "enableFacebook");
    r->enableTwitter_ = replyFlag(a, "enableTwitter");
    r->autoPostJoined_ = replyFlag(a, "autoPostJoined");
    r->autoPostFollow_ = replyFlag(a, "autoPostFollow");
    r->autoPostCommented_ = replyFlag(a, "autoPostCommented");
    r->enableRateUs_ = replyFlag(a, "enableRateUs");
    r->enableShareFacebook_ = replyFlag(a, "enableShareFacebook");
    r->enableShareTwitter_ = replyFlag(a, "enableShareTwitter");
    r->showPoweredByMessage_ = replyFlag(a, "showPoweredBy");
    r->overrideStrings_ = replyFlag(a, "overrideStrings");
    r->emailSignUpEnabled_ = replyFlag(a, "emailSignUpEnabled");
    r->limitRadarZoom_ = replyFlag(a, "limitRadarZoom");
    r->chatroomTopNewest_ = replyFlag(a, "chatroomTopNewest");
    r->fixedTopicsOrder_ = replyFlag(a, "fixedTopicsOrder");
    r->appReward_ = replyFlag(a, "appReward");
    r->appRewardQuizThreshold_ = replyInt(a, "appRewardQuizThreshold");
    r->privacyPolicy_ = replyString(a, "privacyPolicy");
    r->termsOfUse_ = replyString(a, "termsOfUse");

    r->nAdsPerPeriod_ = 0;
    r->adsPeriodSecs_ = 0;
    if (const Value* ads = a.get("adData"); ads && ads->isDictionary()) {
        r->nAdsPerPeriod_ = replyInt(*ads, "numAdsInTimeFrame");
        r->adsPeriodSecs_ = replyInt(*ads, "timeFrame");
    }

    r->appBannerLocation_ = 0;
    r->appBannerVendor_ = replyInt(a, "iosBannerVendor");
    if (const Value* banner = a.get("bannerData"); banner && !banner->isNull()) {
        int32_t position = replyInt(*banner, "position");
        if (position <= 4 && static_cast<uint32_t>(r->appBannerVendor_) <= 3u) r->appBannerLocation_ = position;
        r->appBannerInterval_ = replyFloat(*banner, "showInterval");
        r->appBannerChangeInterval_ = replyFloat(*banner, "changeInterval");
        r->appBannerDelay_ = replyFloat(*banner, "closeInterval");
        r->appBannerEntryEnabled_ = replyFlag(*banner, "entry");
        r->appBannerEntryInterval_ = replyFloat(*banner, "entryInterval");
    }
    r->maxMessagesPerUpdate_ = replyInt(a, "maxMessagesPerUpdate");
    r->changeNumber_ = replyInt(a, "changeNumber");
    return r;
}

}  // namespace velkora
