// The host's class methods: each forwards to the session object, as the host interface always did.
#include "VelkoraKitScreens.h"
#include "data/VelkoraChat.h"
#include "session/VelkoraChatsRepository.h"
#include "host/HostInternals.h"
#include "host/VelkoraHostAdapters.h"
#include "social/VelkoraFBConnector.h"
#include "platform/foundation/Log.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraKitObjects.h"
#include "velkora/VelkoraAds.h"
#include "velkora/VelkoraAgent.h"
#include "velkora/VelkoraApi.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace host {

void prepareKit() {
    static std::once_flag once;
    std::call_once(once, [] { registerKitScreens(); });
}

} // namespace host

namespace {

VelkoraAgentInternal& session() {
    host::prepareKit();
    return VelkoraAgentInternal::instance();
}

void open(int32_t featureId, const VelkoraNavigation& nav, bool enabled, const Value& object = {}) {
    session().openFeature(featureId, host::navOf(nav), enabled, object);
}

void start(const std::string& appId, const std::shared_ptr<VelkoraLocationManager>& manager, float delay, int32_t mode,
           VelkoraCompletion completion) {
    host::prepareKit();
    VelkoraAgentInternal::startSession(appId, manager ? manager->impl()->manager : nullptr, delay, mode,
                                       std::move(completion));
}

// The three lists of another user open only once the user is found.
void openForUser(int32_t featureId, const std::string& userId, const VelkoraNavigation& nav, bool enabled) {
    VelkoraUser::getUserByVelkoraId(userId, [featureId, userId, nav, enabled](std::shared_ptr<VelkoraUser> user, bool) {
        if (!user) {
            // A list of nobody's followers is no list: say so and open nothing.
            Log::line("Velkora (W) - No user with Id %@; feature %d is not opened", userId, featureId);
            return;
        }
        open(featureId, nav, enabled, Value::object(user->impl()->user));
    });
}

void tab(int32_t featureId, const VelkoraTabBar& tabs, int32_t position, const Value& options = {}) {
    session().addFeature(featureId, tabs ? tabs->impl()->controller : nullptr, position, options);
}

std::shared_ptr<VelkoraButton> activationButton(bool toLeft) {
    auto button = session().velkoraActivationButtonOpensToLeft(toLeft);
    if (!button) return nullptr;
    auto impl = std::make_shared<VelkoraButton::Impl>();
    impl->button = button;
    return std::make_shared<VelkoraButton>(impl);
}

std::shared_ptr<VelkoraBarItem> activationBarItem() {
    auto item = session().velkoraActivationBarItem();
    if (!item) return nullptr;
    auto impl = std::make_shared<VelkoraBarItem::Impl>();
    impl->item = item;
    return std::make_shared<VelkoraBarItem>(impl);
}

void registrationFailed(const std::string& error) {
    VelkoraAgentInternal::didFailToRegisterForRemoteNotificationsWithError(foundation::makeError(
        "RemoteNotificationErrorDomain", 0, Value(foundation::Dictionary{{"reason", Value(error)}})));
}

std::vector<std::int32_t> topicIds() {
    return session().getChatRoomTopicIds();
}
std::vector<std::int32_t> quizIds() {
    return session().getQuizIds();
}

} // namespace

// ---- Velkora

void Velkora::initWithAppId(const std::string& appId, VelkoraCompletion completion) {
    start(appId, nullptr, 0, 2, std::move(completion));
}
void Velkora::setTestMode(bool testMode) {
    session().setTestMode(testMode);
}
void Velkora::setLocationManager(const std::shared_ptr<VelkoraLocationManager>& manager) {
    session().setLocationManager(manager ? manager->impl()->manager : nullptr);
}
void Velkora::setCustomImageFetcher(const std::shared_ptr<VelkoraCustomImageFetcher>& fetcher) {
    session().setImageFetcher(host::adaptImageFetcher(fetcher));
}
void Velkora::setCustomStyleSheet(const std::shared_ptr<VelkoraStyleSheet>& styleSheet) {
    session().setCustomStyleSheet(host::adaptStyleSheet(styleSheet));
}
void Velkora::addSidebar(const std::shared_ptr<VelkoraWindow>& window, bool toLeft) {
    session().addSidebar(window ? window->impl()->window : nullptr, toLeft);
}
void Velkora::openSidebar() {
    session().openPanel();
}
void Velkora::closeSidebar() {
    session().closePanel();
}
bool Velkora::isSidebarOpen() {
    return session().isPanelOpen();
}
void Velkora::disableSwipeToOpenSidebar() {
    session().pauseGestureHandler();
}
void Velkora::enableSwipeToOpenSidebar() {
    session().resumeGestureHandler();
}
bool Velkora::isSwipeOpenSidebar() {
    return session().isSwipeEnabled();
}
void Velkora::setVelkoraActivationButtonType(unsigned type) {
    session().setActivationButtonType(type);
}
std::shared_ptr<VelkoraButton> Velkora::velkoraActivationButtonOpensToLeft(bool toLeft) {
    return activationButton(toLeft);
}
std::shared_ptr<VelkoraBarItem> Velkora::velkoraActivationBarItem() {
    return activationBarItem();
}
void Velkora::openMenuInPopoverWithRect(const VelkoraRect& rect, const std::shared_ptr<VelkoraView>& view) {
    session().openMenuInPopoverWithRect(ui::Rect{rect.x, rect.y, rect.width, rect.height},
                                        view ? view->impl()->view.get() : nullptr);
}
void Velkora::didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<std::uint8_t>& deviceToken) {
    VelkoraAgentInternal::didRegisterForRemoteNotificationsWithDeviceToken(deviceToken);
}
void Velkora::didFailToRegisterForRemoteNotificationsWithError(const std::string& error) {
    registrationFailed(error);
}
void Velkora::didReceiveRemoteNotification(const VelkoraNotificationInfo& payload) {
    VelkoraAgentInternal::didReceiveRemoteNotification(host::valueOf(payload));
}
bool Velkora::handleOpenURL(const std::string& url) {
    host::prepareKit();
    return VelkoraAgentInternal::handleOpenURLOfSession(url);
}
void Velkora::connectFacebook() {
    session().connectFacebook();
}
void Velkora::disconnectFacebook() {
    session().disconnectFacebook();
}
void Velkora::postToFeed(const std::string& text) {
    VelkoraAgentInternal::postToFeedWithLink(text, std::nullopt);
}
void Velkora::postToFeedWithLink(const std::string& text, const std::optional<std::string>& link) {
    VelkoraAgentInternal::postToFeedWithLink(text, link);
}
void Velkora::postToFeedWithImage(const std::string& text, const std::optional<std::string>& imageUrl,
                                  const std::optional<std::string>& description,
                                  const std::optional<std::string>& subDescription,
                                  const std::optional<std::string>& actionVerb,
                                  const std::optional<std::string>& actionId) {
    VelkoraAgentInternal::postToFeed(text, imageUrl, description, subDescription, actionVerb, actionId);
}
void Velkora::setUserScore(std::int32_t score, const std::string& level) {
    VelkoraAgentInternal::setUserScore(score, level);
}
void Velkora::preloadActivityWithCompletion(VelkoraCompletion c) {
    session().preloadFeature(0, std::move(c));
}
void Velkora::preloadChatRoomsWithCompletion(VelkoraCompletion c) {
    session().preloadFeature(2, std::move(c));
}
void Velkora::preloadInboxWithCompletion(VelkoraCompletion c) {
    session().preloadFeature(1, std::move(c));
}
void Velkora::preloadQuizzesWithCompletion(VelkoraCompletion c) {
    session().preloadFeature(103, std::move(c));
}
void Velkora::openMenuWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(110, nav, e);
}
void Velkora::openStickerStoreWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(111, nav, e);
}
void Velkora::openQuizWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(103, nav, e);
}
void Velkora::openInboxWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(1, nav, e);
}
void Velkora::openChatRoomsWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(2, nav, e);
}
void Velkora::openFeedbackWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(100, nav, e);
}
void Velkora::openActivityWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(0, nav, e);
}
void Velkora::openFindInviteFriendsWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(3, nav, e);
}
void Velkora::openLeaderboardWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(102, nav, e, Value(""));
}
void Velkora::openRadarWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(4, nav, e);
}
void Velkora::openLoginWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(104, nav, e);
}
void Velkora::openSignupWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(105, nav, e);
}
void Velkora::openMyProfileWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(106, nav, e);
}
void Velkora::openTalkToUsWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(112, nav, e);
}
void Velkora::openMyFollowersWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(113, nav, e, Value::object(session().velkoraUser()));
}
void Velkora::openMyFollowingWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(114, nav, e, Value::object(session().velkoraUser()));
}
void Velkora::openMyPostsWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(115, nav, e, Value::object(session().velkoraUser()));
}
void Velkora::openChatWithUser(const std::string& userId, const VelkoraNavigation& nav, bool e) {
    open(108, nav, e, Value(userId));
}
void Velkora::openProfileForUser(const std::string& userId, const VelkoraNavigation& nav, bool e) {
    open(107, nav, e, Value(userId));
}
void Velkora::openChatRoomWithTopicId(std::int32_t topicId, const VelkoraNavigation& nav, bool e) {
    open(109, nav, e, Value(topicId));
}
void Velkora::openQuizWithId(std::int32_t quizId, const VelkoraNavigation& nav, bool e) {
    open(103, nav, e, Value(quizId));
}
void Velkora::openFollowersForUser(const std::string& userId, const VelkoraNavigation& nav, bool e) {
    openForUser(113, userId, nav, e);
}
void Velkora::openFollowingForUser(const std::string& userId, const VelkoraNavigation& nav, bool e) {
    openForUser(114, userId, nav, e);
}
void Velkora::openPostsForUser(const std::string& userId, const VelkoraNavigation& nav, bool e) {
    openForUser(115, userId, nav, e);
}
std::int32_t Velkora::getFeatureBadgeNumber(std::uint32_t featureId) {
    return session().getFeatureBadgeNumber(featureId);
}
std::vector<std::int32_t> Velkora::getChatRoomTopics() {
    return topicIds();
}
std::vector<std::int32_t> Velkora::getQuizzes() {
    return quizIds();
}

std::shared_ptr<VelkoraMessage> Velkora::getLastMessageFromUser(const std::string& userId) {
    const auto& chats = VelkoraChatsRepository::instance().userToChats();
    auto it = chats.find(userId);
    if (it == chats.end() || !it->second) {
        Log::line("Velkora - There is currently no chat with user with Id %@", userId);
        return nullptr;
    }
    const auto& messages = it->second->messages();
    if (messages.empty() || !messages.front()) {
        Log::line("Velkora - No messages in chat with user with Id %@", userId);
        return nullptr;
    }
    auto impl = std::make_shared<VelkoraMessage::Impl>();
    impl->message = messages.front();
    return std::make_shared<VelkoraMessage>(impl);
}

bool Velkora::areNewMessagesFromUser(const std::string& userId) {
    return VelkoraChatsRepository::instance().isNewMessageFromUser(userId);
}

// ---- VelkoraApi

void VelkoraApi::initWithAppId(const std::string& appId, VelkoraCompletion completion) {
    start(appId, nullptr, 0, 2, std::move(completion));
}
void VelkoraApi::setCustomStyleSheet(const std::shared_ptr<VelkoraStyleSheet>& s) {
    Velkora::setCustomStyleSheet(s);
}
void VelkoraApi::addSidebar(const std::shared_ptr<VelkoraWindow>& window, bool toLeft) {
    Velkora::addSidebar(window, toLeft);
}
void VelkoraApi::openMenuInPopoverWithRect(const VelkoraRect& rect, const std::shared_ptr<VelkoraView>& view) {
    Velkora::openMenuInPopoverWithRect(rect, view);
}
void VelkoraApi::preloadActivityWithCompletion(VelkoraCompletion c) {
    Velkora::preloadActivityWithCompletion(std::move(c));
}
void VelkoraApi::preloadChatRoomsWithCompletion(VelkoraCompletion c) {
    Velkora::preloadChatRoomsWithCompletion(std::move(c));
}
void VelkoraApi::preloadInboxWithCompletion(VelkoraCompletion c) {
    Velkora::preloadInboxWithCompletion(std::move(c));
}
void VelkoraApi::preloadQuizzesWithCompletion(VelkoraCompletion c) {
    Velkora::preloadQuizzesWithCompletion(std::move(c));
}
void VelkoraApi::openMenuWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(110, nav, e);
}
void VelkoraApi::openStickerStoreWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(111, nav, e);
}
void VelkoraApi::openQuizWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(103, nav, e);
}
void VelkoraApi::openInboxWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(1, nav, e);
}
void VelkoraApi::openChatRoomsWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(2, nav, e);
}
void VelkoraApi::openFeedbackWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(100, nav, e);
}
void VelkoraApi::openActivityWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(0, nav, e);
}
void VelkoraApi::openFindInviteFriendsWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(3, nav, e);
}
void VelkoraApi::openLeaderboardWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(102, nav, e, Value(""));
}
void VelkoraApi::openRadarWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(4, nav, e);
}
void VelkoraApi::openLoginWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(104, nav, e);
}
void VelkoraApi::openSignupWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(105, nav, e);
}
void VelkoraApi::openMyProfileWithNavigationController(const VelkoraNavigation& nav, bool e) {
    open(106, nav, e);
}
void VelkoraApi::openChatWithUser(const std::string& userId, const VelkoraNavigation& nav, bool e) {
    open(108, nav, e, Value(userId));
}
void VelkoraApi::openProfileForUser(const std::string& userId, const VelkoraNavigation& nav, bool e) {
    open(107, nav, e, Value(userId));
}
void VelkoraApi::openChatRoomWithTopicId(std::int32_t topicId, const VelkoraNavigation& nav, bool e) {
    open(109, nav, e, Value(topicId));
}
void VelkoraApi::openQuizWithId(std::int32_t quizId, const VelkoraNavigation& nav, bool e) {
    open(103, nav, e, Value(quizId));
}
void VelkoraApi::addQuizToTabBarController(const VelkoraTabBar& t, std::int32_t p) {
    tab(103, t, p);
}
void VelkoraApi::addInboxToTabBarController(const VelkoraTabBar& t, std::int32_t p) {
    tab(1, t, p);
}
void VelkoraApi::addChatRoomsToTabBarController(const VelkoraTabBar& t, std::int32_t p) {
    tab(2, t, p);
}
void VelkoraApi::addFeedbackToTabBarController(const VelkoraTabBar& t, std::int32_t p) {
    tab(100, t, p);
}
void VelkoraApi::addActivityToTabBarController(const VelkoraTabBar& t, std::int32_t p) {
    tab(0, t, p);
}
void VelkoraApi::addFindInviteFriendsToTabBarController(const VelkoraTabBar& t, std::int32_t p) {
    tab(3, t, p);
}
void VelkoraApi::addRadarToTabBarController(const VelkoraTabBar& t, std::int32_t p) {
    tab(4, t, p);
}
void VelkoraApi::addLoginToTabBarController(const VelkoraTabBar& t, std::int32_t p) {
    tab(104, t, p);
}
void VelkoraApi::addSignupToTabBarController(const VelkoraTabBar& t, std::int32_t p) {
    tab(105, t, p);
}
void VelkoraApi::addMyProfileToTabBarController(const VelkoraTabBar& t, std::int32_t p) {
    tab(106, t, p);
}
void VelkoraApi::addLeaderboardToTabBarController(const VelkoraTabBar& t, std::int32_t p) {
    tab(102, t, p, Value(""));
}
void VelkoraApi::addChatWithUser(const std::string& userId, const VelkoraTabBar& t, std::int32_t p) {
    tab(108, t, p, Value(userId));
}
std::int32_t VelkoraApi::getFeatureBadgeNumber(std::uint32_t featureId) {
    return Velkora::getFeatureBadgeNumber(featureId);
}
std::vector<std::int32_t> VelkoraApi::getChatRoomTopics() {
    return topicIds();
}
std::vector<std::int32_t> VelkoraApi::getQuizzes() {
    return quizIds();
}

// ---- VelkoraAgent

void VelkoraAgent::startSession(const std::string& appId, const std::shared_ptr<VelkoraLocationManager>& m) {
    start(appId, m, 0, 0, nullptr);
}
void VelkoraAgent::startSession(const std::string& appId, const std::shared_ptr<VelkoraLocationManager>& m,
                                float delay) {
    start(appId, m, delay, 0, nullptr);
}
void VelkoraAgent::startSession(const std::string& appId, const std::shared_ptr<VelkoraLocationManager>& m,
                                VelkoraCompletion c) {
    start(appId, m, 0, 0, std::move(c));
}
void VelkoraAgent::startSession(const std::string& appId, const std::shared_ptr<VelkoraLocationManager>& m, float delay,
                                VelkoraCompletion c) {
    start(appId, m, delay, 0, std::move(c));
}
void VelkoraAgent::setTestMode(bool testMode) {
    session().setTestMode(testMode);
}
void VelkoraAgent::setCustomImageFetcher(const std::shared_ptr<VelkoraCustomImageFetcher>& f) {
    Velkora::setCustomImageFetcher(f);
}
void VelkoraAgent::openSidebar() {
    if (auto sidebar = session().velkoraVC()) sidebar->openPanel();
}
void VelkoraAgent::closeSidebar() {
    if (auto sidebar = session().velkoraVC()) sidebar->closePanel();
}
void VelkoraAgent::pauseSwipe() {
    session().pauseGestureHandler();
}
void VelkoraAgent::resumeSwipe() {
    session().resumeGestureHandler();
}
bool VelkoraAgent::isSwipeEnalbed() {
    return session().isSwipeEnabled();
}
void VelkoraAgent::setVelkoraActivationButtonType(unsigned type) {
    session().setActivationButtonType(type);
}
std::shared_ptr<VelkoraButton> VelkoraAgent::velkoraActivationButtonOpensToLeft(bool toLeft) {
    return activationButton(toLeft);
}
std::shared_ptr<VelkoraBarItem> VelkoraAgent::velkoraActivationBarItem() {
    return activationBarItem();
}
void VelkoraAgent::didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<std::uint8_t>& deviceToken) {
    VelkoraAgentInternal::didRegisterForRemoteNotificationsWithDeviceToken(deviceToken);
}
void VelkoraAgent::didFailToRegisterForRemoteNotificationsWithError(const std::string& error) {
    registrationFailed(error);
}
void VelkoraAgent::didReceiveRemoteNotification(const VelkoraNotificationInfo& payload) {
    VelkoraAgentInternal::didReceiveRemoteNotification(host::valueOf(payload));
}
bool VelkoraAgent::handleOpenURL(const std::string& url) {
    auto connector = session().fbConnector();
    return connector && connector->handleOpenURL(url);
}
void VelkoraAgent::connectFacebook() {
    session().connectFacebook();
}
void VelkoraAgent::disconnectFacebook() {
    session().disconnectFacebook();
}
void VelkoraAgent::postToFacebookWall(const std::string& text) {
    if (auto connector = session().fbConnector()) connector->postToWall({{"description", text}}, nullptr);
}
void VelkoraAgent::postToFeed(const std::string& text) {
    Velkora::postToFeed(text);
}
void VelkoraAgent::postToFeedWithLink(const std::string& text, const std::optional<std::string>& link) {
    Velkora::postToFeedWithLink(text, link);
}
void VelkoraAgent::postToFeedWithImage(const std::string& text, const std::optional<std::string>& imageUrl,
                                       const std::optional<std::string>& description,
                                       const std::optional<std::string>& subDescription,
                                       const std::optional<std::string>& actionVerb,
                                       const std::optional<std::string>& actionId) {
    Velkora::postToFeedWithImage(text, imageUrl, description, subDescription, actionVerb, actionId);
}
void VelkoraAgent::setUserScore(std::int32_t score) {
    VelkoraAgentInternal::setUserScore(score, std::string());
}
bool VelkoraAgent::isUserLoggedIn() {
    auto user = session().velkoraUser();
    return user && !user->isAnonymous();
}
std::optional<std::string> VelkoraAgent::getUserId() {
    auto user = session().velkoraUser();
    return user ? user->userId() : std::nullopt;
}
bool VelkoraAgent::isPopInAdsEnabled() {
    return session().isPopInAdsEnabled();
}
void VelkoraAgent::showPopInAdNow() {
    session().showPopInAdNow();
}
void VelkoraAgent::disablePopInAds(bool disable) {
    session().disablePopInAds(disable);
}
void VelkoraAgent::disableSideBarAds(bool disable) {
    session().disableSideBarAds(disable);
}

// ---- VelkoraAds

bool VelkoraAds::isPopInAdsEnabled() {
    return session().isPopInAdsEnabled();
}
void VelkoraAds::showPopInAdNow() {
    session().showPopInAdNow();
}
void VelkoraAds::disablePopInAds(bool disable) {
    session().disablePopInAds(disable);
}
void VelkoraAds::disableSideBarAds(bool disable) {
    session().disableSideBarAds(disable);
}

} // namespace velkora
