// The session's smaller duties: the host's feed posts and scores (kept until the kit is ready), the
// user's sticker packs and their pictures, promoted applications and nearby users, opened URLs, the
// pop-in banner and the check of the configured quiz products.
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppDealsRepository.h"
#include "data/VelkoraStickerPack.h"
#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUsersRepository.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternalDelegates.h"
#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "session/VelkoraKitObjects.h"
#include "session/VelkoraQuizzesRepository.h"
#include "session/VelkoraScreenRegistry.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraPopups.h"
#include "social/VelkoraTwitterConnector.h"
#include "velkora/VelkoraAds.h"

namespace velkora {

using foundation::Log;
using foundation::NotificationObserver;
using foundation::Value;

namespace {

// The host's root screen may say whether promoted applications may pop in over it.
std::optional<bool> popinAnswer(ui::ViewController* controller) {
    if (auto* feature = dynamic_cast<VelkoraFeatureScreenFace*>(controller)) return feature->velkoraShouldPopinAds();
    if (auto* answering = dynamic_cast<VelkoraPopinAdsAnswer*>(controller)) return answering->velkoraShouldPopinAds();
    return std::nullopt;
}

} // namespace

// ---- host posts and scores

void VelkoraAgentInternal::postToFeed(const OptString& message, const OptString& imageUrl, const OptString& description,
                                      const OptString& subDesc, const OptString& actionVerb,
                                      const OptString& actionId) {
    auto& self = instance();
    if (!self.isVelkoraReady_) {
        Log::line("Velkora - posting to feed and velkora is not ready. adding to pending: %@",
                  message.value_or("(null)"));
        foundation::Dictionary record{{"requestType", Value("feed")}};
        auto put = [&](const char* key, const OptString& v) {
            if (v) record.set(key, Value(*v));
        };
        put("feedMessage", message);
        put("imageUrl", imageUrl);
        put("description", description);
        put("subDesc", subDesc);
        put("actionVerb", actionVerb);
        put("actionId", actionId);
        self.pendingRequests_.emplace_back(std::move(record));
        return;
    }
    if (self.userInfo_ && self.userInfo_->isPrivateMode()) {
        Log::line("Velkora - Skipping feed for private users");
        return;
    }
    auto feed = std::make_shared<VelkoraFeedMessage>();
    feed->setMessage(message);
    feed->setDescImageUrl(imageUrl);
    feed->setDescText(description);
    feed->setDescSubText(subDesc);
    feed->setActionVerb(actionVerb);
    feed->setActionId(actionId);
    feed->setContentType(std::string("text/plain"));
    VelkoraServerApi::sendFeed(feed, VelkoraCallback());
}

void VelkoraAgentInternal::postToFeedWithLink(const OptString& message, const OptString& link) {
    postToFeed(message, link, std::nullopt, std::nullopt, std::nullopt, std::nullopt);
}

void VelkoraAgentInternal::setUserScore(int64_t score, const OptString& level) {
    auto& self = instance();
    if (!self.isVelkoraReady_) {
        Log::line("Velkora - Setting user score and velkora is not ready. adding to pending");
        foundation::Dictionary record{{"requestType", Value("setScore")},
                                      {"score", Value(static_cast<long long>(score))}};
        if (level) record.set("level", Value(*level));
        self.pendingRequests_.emplace_back(std::move(record));
        return;
    }
    // Before the user's data has come the user is not known to be anonymous: the server client sends the
    // score for the user it starts with.
    if (self.velkoraUser_ && self.velkoraUser_->isAnonymous()) {
        Log::line("Velkora - Can not set score to a user that is not logged in");
        return;
    }
    VelkoraServerApi::setScore(level, score);
}

void VelkoraAgentInternal::didReceiveRemoteNotification(const Value& payload) {
    Log::line("Velkora - Received push notification: %@", payload.description());
}

// ---- stickers

void VelkoraAgentInternal::updateStickerPacksInfo() {
    stickerPackObserver_ = NotificationObserver("VelkoraNotificationStickerPackAdded", nullptr,
                                                [this](const foundation::Notification& n) { stickerPackAdded(n); });
    if (!userInfo_) return;
    if (!userInfo_->stickerPacksMap()) {
        auto recent = std::make_shared<VelkoraStickerPack>();
        recent->setPackId(VelkoraStickerPack::kRecentStickersPackId);
        recent->setIcon(std::string("VelImg_RecentIcons.png"));
        userInfo_->setStickerPacksMap(
            VelkoraUserInfo::StickerPacksMap{{VelkoraStickerPack::kRecentStickersPackId, recent}});
        saveUserInfo();
    }
    if (!velkoraUser_) return;
    bool missing = false;
    for (int32_t packId : velkoraUser_->stickerPackIds()) {
        const auto& map = *userInfo_->stickerPacksMap();
        auto it = map.find(packId);
        if (it != map.end() && it->second)
            downloadPackStickers(*it->second);
        else
            missing = true;
    }
    if (missing)
        VelkoraServerApi::getStickerData(
            VelkoraCallback::make(delegates_, [this](const Value& v) { gotStickerData(v); }));
}

void VelkoraAgentInternal::gotStickerData(const Value& packs) {
    if (auto* list = packs.asArray())
        for (const auto& p : *list)
            if (auto pack = p.asObject<VelkoraStickerPack>()) addStickerPack(pack);
    saveUserInfo();
}

void VelkoraAgentInternal::stickerPackAdded(const foundation::Notification& n) {
    if (const Value* pack = n.userInfo.get("pack"))
        if (auto p = pack->asObject<VelkoraStickerPack>()) addStickerPack(p);
}

void VelkoraAgentInternal::addStickerPack(const std::shared_ptr<VelkoraStickerPack>& pack) {
    if (!pack || !userInfo_) return;
    auto map = userInfo_->stickerPacksMap().value_or(VelkoraUserInfo::StickerPacksMap{});
    if (map.count(pack->packId())) return;
    map[pack->packId()] = pack;
    userInfo_->setStickerPacksMap(std::move(map));
    downloadPackStickers(*pack);
    foundation::NotificationCenter::defaultCenter().post("VelkoraStickerPackUpdated");
}

void VelkoraAgentInternal::downloadPackStickers(const VelkoraStickerPack& pack) {
    // The recent-stickers pack's icon is a picture of the kit's own, not an address.
    if (pack.icon() && pack.packId() != VelkoraStickerPack::kRecentStickersPackId) fetchImageForUrl(*pack.icon());
    for (const auto& sticker : pack.stickers())
        if (sticker && sticker->url() && !VelkoraCachedImageFetcher::isCacheHit(*sticker->url()))
            fetchImageForUrl(*sticker->url());
}

void VelkoraAgentInternal::fetchImageForUrl(const std::string& url) {
    auto fetcher = VelkoraCachedImageFetcher::create(delegates_);
    delegates_->cachedImageFetchersMap.insert(fetcher);
    fetcher->getImage(url);
}

size_t VelkoraAgentInternal::stickerFetchesInFlight() const {
    return delegates_->cachedImageFetchersMap.size();
}

void VelkoraAgentInternal::Delegates::cachedImageDidFinish(VelkoraCachedImageFetcher& fetcher,
                                                           const std::shared_ptr<ui::Image>&, bool) {
    std::erase_if(cachedImageFetchersMap, [&](const auto& f) { return f.get() == &fetcher; });
}

void VelkoraAgentInternal::Delegates::cachedImageGotError(VelkoraCachedImageFetcher& fetcher,
                                                          const foundation::ErrorPtr&) {
    Log::line("Velkora - Failed downloading a sticker");
    std::erase_if(cachedImageFetchersMap, [&](const auto& f) { return f.get() == &fetcher; });
}

// ---- promoted applications and nearby users

void VelkoraAgentInternal::gotAppDeals(const Value& deals) {
    std::vector<std::shared_ptr<VelkoraAppDeal>> list;
    if (auto* a = deals.asArray())
        for (const auto& d : *a)
            if (auto deal = d.asObject<VelkoraAppDeal>()) list.push_back(deal);
    Log::line("Velkora - Got App Deals (%d)", static_cast<int>(list.size()));
    auto& repository = VelkoraAppDealsRepository::instance();
    repository.cleaerRepository();
    repository.updateWithAppDeals(list);
    if (velkoraVC_) velkoraVC_->updateWithAppDeals(list);
}

void VelkoraAgentInternal::gotNearbyUsers(const Value& users) {
    std::vector<VelkoraUserPtr> list;
    if (auto* a = users.asArray())
        for (const auto& u : *a)
            if (auto user = u.asObject<VelkoraUserInternal>()) list.push_back(user);
    VelkoraUsersRepository::instance().setNearbyUsers(std::move(list));
    if (velkoraVC_) velkoraVC_->updateWithNearbyUsersCount();
}

// ---- URLs and social networks

bool VelkoraAgentInternal::handleOpenURLOfSession(const std::string& url) {
    auto connector = instance().fbConnector();
    return connector && connector->handleOpenURL(url);
}

void VelkoraAgentInternal::connectFacebook() {
    if (velkoraVC_) velkoraVC_->fbConnectClickedInView(nullptr);
}

void VelkoraAgentInternal::disconnectFacebook() {
    if (velkoraVC_) velkoraVC_->signoutFromFacebook();
}

// ---- the pop-in banner

std::shared_ptr<VelkoraAppBanner> VelkoraAgentInternal::createActionBannerIfNeeded() {
    if (!appBannerView_)
        appBannerView_ =
            VelkoraScreenRegistry::instance().makeObject<VelkoraAppBanner>(VelkoraKitObjectNames::kAppBanner);
    return appBannerView_;
}

void VelkoraAgentInternal::showPopInAdNow() {
    if (!appData_ || appData_->appBannerLocation() == 0) return;
    if (auto banner = createActionBannerIfNeeded()) banner->showNow();
}

bool VelkoraAgentInternal::isPopInAdsEnabled() const {
    return appBannerView_ && !appBannerView_->isDisabled();
}

void VelkoraAgentInternal::disablePopInAds(bool disable) {
    if (auto banner = createActionBannerIfNeeded()) banner->setIsDisabled(disable);
}

void VelkoraAgentInternal::disableSideBarAds(bool disable) {
    if (userInfo_) userInfo_->setIsAppDealsDisabled(disable);
    foundation::NotificationCenter::defaultCenter().post("VelkoraUserInfoModifiedByUser");
}

void VelkoraAgentInternal::configureAppBannerHandling(bool newAppData) {
    if (!appData_ || appData_->appBannerLocation() == 0) return;
    if (newAppData) {
        auto banner = VelkoraScreenRegistry::instance().makeObject<VelkoraAppBanner>(VelkoraKitObjectNames::kAppBanner);
        if (banner && appBannerView_) {
            banner->setIsDisabled(appBannerView_->isDisabled());
            appBannerView_->stopSchedule();
        }
        if (banner) appBannerView_ = banner;
    } else {
        createActionBannerIfNeeded();
    }
    if (appBannerView_ && appData_->appBannerInterval() > 0) appBannerView_->startSchedule();
    // One observation however many configurations arrive.
    if (appData_->appBannerEntryEnabled()) {
        if (!navigationObserver_)
            navigationObserver_ =
                NotificationObserver(ui::kNavigationControllerDidShowViewControllerNotification, nullptr,
                                     [this](const foundation::Notification& n) { traceViewControllerChanges(n); });
    } else {
        navigationObserver_.reset();
    }
}

void VelkoraAgentInternal::traceViewControllerChanges(const foundation::Notification& n) {
    if (const Value* next = n.userInfo.get(ui::kNavigationControllerNextVisibleViewController))
        if (auto controller = next->asObject<ui::ViewController>())
            if (popinAnswer(controller.get()) == std::optional<bool>(false)) return;
    armEntryBannerTimer();
}

void VelkoraAgentInternal::scheduleEntryBanner() {
    if (!appData_) return;
    bool entry = appData_->appBannerEntryEnabled();
    if (auto window = appWindow())
        if (auto answer = popinAnswer(window->rootViewController().get())) entry = *answer;
    if (entry) armEntryBannerTimer();
}

void VelkoraAgentInternal::armEntryBannerTimer() {
    if (!appData_) return;
    entryBannerTimer_ = foundation::RunLoop::main().schedule(appData_->appBannerEntryInterval(), false,
                                                             [this](foundation::Timer&) { showPopInAdNow(); });
}

// ---- quiz products

void VelkoraAgentInternal::didReceiveQuizProducts() {
    if (!appData_ || !appData_->productIds()) return;
    auto helper =
        VelkoraScreenRegistry::instance().makeObject<VelkoraQuizProductLookup>(VelkoraKitObjectNames::kQuizIAPHelper);
    bool missing = false;
    for (const auto& [name, productId] : *appData_->productIds()) {
        if (helper && helper->hasProduct(productId)) continue;
        Log::line("Velkora (W) - Defined Quiz product Id for %@ - '%@' not found in the App Store !!", name, productId);
        missing = true;
    }
    if (!missing || !testMode_) return;
    auto& bundle = foundation::Bundle::main();
    VelkoraPopups::Popup popup;
    popup.title = bundle.localizedString("velkora_text_quizzes_not_ready_popup_title");
    popup.message = bundle.localizedString("velkora_text_quizzes_not_ready_popup_message");
    popup.messageWraps = true;
    popup.okTitle = bundle.localizedString("velkora_text_ok_button");
    if (auto window = appWindow()) VelkoraPopups::show(window.get(), popup);
}

// ---- forwarding queries

std::vector<int32_t> VelkoraAgentInternal::getChatRoomTopicIds() const {
    return VelkoraChatRoomsTopicsRepository::instance().getActiveTopicIds();
}

std::vector<int32_t> VelkoraAgentInternal::getQuizIds() const {
    return VelkoraQuizzesRepository::instance().getQuizIds();
}

} // namespace velkora
