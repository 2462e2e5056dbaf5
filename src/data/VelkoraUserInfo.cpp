#include "data/VelkoraUserInfo.h"

#include <mutex>

#include "data/VelkoraStickerPack.h"

namespace velkora {

using foundation::KeyedArchiver;
using foundation::KeyedUnarchiver;

namespace {

foundation::Value changeNumbersToValue(const VelkoraUserInfo::ChangeNumbersMap& map) {
    foundation::Dictionary d;
    d.reserve(map.size());
    for (const auto& [user, number] : map) d.appendUnchecked(user, foundation::Value(number));
    return d;
}

std::optional<VelkoraUserInfo::ChangeNumbersMap> changeNumbersFromValue(const foundation::Value& v) {
    const foundation::Dictionary* d = v.asDictionary();
    if (!d) return std::nullopt;
    VelkoraUserInfo::ChangeNumbersMap map;
    for (const auto& [user, number] : *d)
        if (auto n = number.toInt64()) map[user] = static_cast<int32_t>(*n);
    return map;
}

}  // namespace

void VelkoraUserInfo::resetUserInfoSource() {
    if (isTwitterConnected())
        userInfoSource_ = 2;
    else if (isFacebookConnected())
        userInfoSource_ = 1;
    else if (isEmailConnected())
        userInfoSource_ = 3;
    else
        userInfoSource_ = 0;
}

void VelkoraUserInfo::encodeWithCoder(KeyedArchiver& coder) const {
    coder.encodeString(userId_, "userId");
    coder.encodeString(deviceId_, "deviceId");
    coder.encodeInt32(messagesChangeNumber_, "messagesChangeNumber");
    coder.encodeInt32(feedChangeNumber_, "feedChangeNumber");
    coder.encodeInt32(likesChangeNumber_, "likesChangeNumber");
    coder.encodeBool(welcomePopupWasDisplayed_, "welcomePopupWasDisplayed");
    if (usersLastViewedChangeNumbersMap_)
        coder.encodeObject(changeNumbersToValue(*usersLastViewedChangeNumbersMap_), "usersLastViewedChangeNumbersMap");
    if (usersDeletedChangeNumbersMap_)
        coder.encodeObject(changeNumbersToValue(*usersDeletedChangeNumbersMap_), "usersDeletedChangeNumbersMap");
    coder.encodeString(deviceToken_, "deviceToken");
    coder.encodeBool(isPrivateMode_, "privateMode");
    coder.encodeBool(findYourFriendsWasDisplayed_, "findYourFriendsWasDisplayed");
    coder.encodeString(appId_, "appId");
    coder.encodeInt32(lastViewedFeedMessageNumber_, "lastViewedFeedMessageNumber");
    coder.encodeInt32(lastViewedLikeNumber_, "lastViewedLikeNumber");
    coder.encodeDouble(lastTimeVisitedShopping_, "lastTimeVisitedShopping");
    coder.encodeInt64(twitterId_, "velkoraTwitterId");
    coder.encodeString(twitterName_, "velkoraTwitterName");
    coder.encodeString(twitterPhoto_, "velkoraTwitterPhoto");
    coder.encodeString(twitterLocation_, "velkoraTwitterLocation");
    coder.encodeString(twitterAccountIdentifier_, "velkoraTwitterAccountIdentifier");
    coder.encodeInt64(fbId_, "velkoraFacebookId");
    coder.encodeString(fbFirstName_, "velkoraFacebookFirstName");
    coder.encodeString(fbLastName_, "velkoraFacebookLastName");
    coder.encodeString(fbLocation_, "velkoraFacebookLocation");
    coder.encodeString(fbPhoto_, "velkoraFacebookPhoto");
    coder.encodeString(emailId_, "velkoraEmailId");
    coder.encodeString(emailName_, "velkoraEmailName");
    coder.encodeString(emailPhoto_, "velkoraEmailPhoto");
    coder.encodeInt32(userInfoSource_, "velkoraUserInfoSource");
    coder.encodeBool(dontShowRadarOverlayView_, "velkoraDontShowRadarOverlayView");
    coder.encodeStringSet(objectsMeLiked_, "velkoraObjectsMeLiked");
    coder.encodeBool(joinedFeedSent_, "velkoraJoinedFeedSent");
    coder.encodeBool(migratedTo220_, "velkoraMigratedTo220");
    coder.encodeBool(playQuizOnMute_, "velkoraPlayQuizOnMute");
    if (stickerPacksMap_) {
        std::map<int64_t, std::shared_ptr<const foundation::Codable>> packs;
        for (const auto& [id, pack] : *stickerPacksMap_)
            if (pack) packs[id] = pack;
        coder.encodeCodableMapByNumber(packs, "stickerPacksMap");
    }
    coder.encodeInt32(nAdsShownInPeriod_, "velkoraNumAdsShownInPeriod");
    coder.encodeDouble(lastAdsPeriodResetTime_, "velkoraLastAdsPeriodResetTime");
}

std::shared_ptr<VelkoraUserInfo> VelkoraUserInfo::initWithCoder(const KeyedUnarchiver& coder) {
    auto r = std::make_shared<VelkoraUserInfo>();
    r->userId_ = coder.decodeString("userId");
    r->deviceId_ = coder.decodeString("deviceId");
    // Records of older versions had no device id: the user id stood for both.
    if (!r->deviceId_ || r->deviceId_->empty()) r->deviceId_ = r->userId_;
    r->messagesChangeNumber_ = coder.decodeInt32("messagesChangeNumber");
    r->feedChangeNumber_ = coder.decodeInt32("feedChangeNumber");
    r->likesChangeNumber_ = coder.decodeInt32("likesChangeNumber");
    r->welcomePopupWasDisplayed_ = coder.decodeBool("welcomePopupWasDisplayed");
    r->usersLastViewedChangeNumbersMap_ = changeNumbersFromValue(coder.decodeObject("usersLastViewedChangeNumbersMap"));
    r->usersDeletedChangeNumbersMap_ = changeNumbersFromValue(coder.decodeObject("usersDeletedChangeNumbersMap"));
    r->deviceToken_ = coder.decodeString("deviceToken");
    r->isPrivateMode_ = coder.decodeBool("privateMode");
    r->findYourFriendsWasDisplayed_ = coder.decodeBool("findYourFriendsWasDisplayed");
    r->appId_ = coder.decodeString("appId");
    r->lastViewedFeedMessageNumber_ = coder.decodeInt32("lastViewedFeedMessageNumber");
    r->lastViewedLikeNumber_ = coder.decodeInt32("lastViewedLikeNumber");
    r->lastTimeVisitedShopping_ = coder.decodeDouble("lastTimeVisitedShopping");
    r->twitterId_ = coder.decodeInt64("velkoraTwitterId");
    r->twitterName_ = coder.decodeString("velkoraTwitterName");
    r->twitterPhoto_ = coder.decodeString("velkoraTwitterPhoto");
    r->twitterLocation_ = coder.decodeString("velkoraTwitterLocation");
    r->twitterAccountIdentifier_ = coder.decodeString("velkoraTwitterAccountIdentifier");
    r->fbId_ = coder.decodeInt64("velkoraFacebookId");
    r->fbFirstName_ = coder.decodeString("velkoraFacebookFirstName");
    r->fbLastName_ = coder.decodeString("velkoraFacebookLastName");
    r->fbLocation_ = coder.decodeString("velkoraFacebookLocation");
    r->fbPhoto_ = coder.decodeString("velkoraFacebookPhoto");
    r->emailId_ = coder.decodeString("velkoraEmailId");
    r->emailName_ = coder.decodeString("velkoraEmailName");
    r->emailPhoto_ = coder.decodeString("velkoraEmailPhoto");
    r->userInfoSource_ = coder.decodeInt32("velkoraUserInfoSource");
    r->dontShowRadarOverlayView_ = coder.decodeBool("velkoraDontShowRadarOverlayView");
    r->objectsMeLiked_ = coder.decodeStringSet("velkoraObjectsMeLiked");
    r->joinedFeedSent_ = coder.decodeBool("velkoraJoinedFeedSent");
    r->migratedTo220_ = coder.decodeBool("velkoraMigratedTo220");
    r->playQuizOnMute_ = coder.decodeBool("velkoraPlayQuizOnMute");
    if (coder.containsValueForKey("stickerPacksMap")) {
        VelkoraStickerPack::registerForArchiving();
        StickerPacksMap packs;
        for (auto& [id, object] : coder.decodeCodableMapByNumber("stickerPacksMap"))
            if (auto pack = std::dynamic_pointer_cast<VelkoraStickerPack>(object)) packs[id] = std::move(pack);
        r->stickerPacksMap_ = std::move(packs);
    }
    r->nAdsShownInPeriod_ = coder.decodeInt32("velkoraNumAdsShownInPeriod");
    r->lastAdsPeriodResetTime_ = coder.decodeDouble("velkoraLastAdsPeriodResetTime");
    r->isAppDealsDisabled_ = false;
    return r;
}

void VelkoraUserInfo::registerForArchiving() {
    static std::once_flag once;
    std::call_once(once, [] {
        foundation::registerCodableClass<VelkoraUserInfo>();
        VelkoraStickerPack::registerForArchiving();
    });
}

}  // namespace velkora
