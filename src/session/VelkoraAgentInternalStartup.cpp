// The session's start: the host's start call, the start-up steps in their order, the wait for the host's
// window, readiness, the two first replies that complete a start, and the return from background.
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserDetailsDisplayer.h"
#include "data/VelkoraUserInfo.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/LocationManager.h"
#include "platform/ui/Application.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/Window.h"
#include "server/VelkoraProtocolWrapper.h"
#include "server/VelkoraServerApi.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "session/VelkoraAgentInternalDelegates.h"
#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "session/VelkoraChatsRepository.h"
#include "session/VelkoraDeviceIdentity.h"
#include "session/VelkoraFeedMessagesRepository.h"
#include "session/VelkoraKitObjects.h"
#include "session/VelkoraNavControllerViewController.h"
#include "session/VelkoraScreenRegistry.h"
#include "social/VelkoraUsersFetcher.h"

namespace velkora {

using foundation::Log;
using foundation::NotificationObserver;
using foundation::Value;

namespace {

// Set once the first start call has been handled, for the life of the process (tests reset it).
bool g_startCalled = false;

// A start request that failed is asked again after this many seconds, until it is answered.
constexpr double kStartRetrySeconds = 15;

foundation::RunLoop& mainLoop() {
    return foundation::RunLoop::main();
}

} // namespace

void VelkoraAgentInternal::resetStartFlagForTests() {
    g_startCalled = false;
}

void VelkoraAgentInternal::startSession(const std::string& appId,
                                        std::shared_ptr<services::LocationManager> locationManager, float delay,
                                        int32_t startMode, std::function<void()> completion) {
    auto& self = instance();
    Log::line("Velkora - ... Starting Velkora %@", kVelkoraBuild);
    Log::line("Velkora - startSession called: firstTime = %d; mode = %d", g_startCalled ? 0 : 1, startMode);
    self.takeCompletion(std::move(completion));
    if (appId.empty()) {
        // Without an application id every request would be refused by the service: nothing starts.
        Log::line("Velkora (E) - startSession called with an empty application id; the session is not started");
        self.runCompletionsIfIdle();
        return;
    }
    self.startMode_ = startMode;
    self.locationManager_ = std::move(locationManager);
    if (g_startCalled) {
        // A delayed first start still waits for its timer: it does all the rest, once.
        if (self.startTimer_) return;
        self.closeView();
        if (startMode != 2)
            self.initWindow();
        else
            self.initVelkora();
        self.runCompletionsIfIdle();
        return;
    }
    if (delay > 0) {
        self.startTimer_ = mainLoop().schedule(delay, false, [appId](foundation::Timer&) {
            auto& s = instance();
            Log::line("Velkora - startSession called from timer: appId = %@", appId);
            s.startTimer_.reset();
            s.startSessionNow(appId);
            s.handlePendingRequests();
        });
    } else {
        self.startSessionNow(appId);
    }
    g_startCalled = true;
}

void VelkoraAgentInternal::takeCompletion(std::function<void()> completion) {
    if (completion) startSessionCompletionBlks_.push_back(std::move(completion));
}

void VelkoraAgentInternal::runCompletionsIfIdle() {
    if (!cycleRunning_ && lastCycleCompleted_) runCompletions();
}

void VelkoraAgentInternal::runCompletions() {
    // Each block runs once and is let go; one that starts the kit again queues for the next completion.
    auto blocks = std::move(startSessionCompletionBlks_);
    startSessionCompletionBlks_.clear();
    for (auto& block : blocks)
        block();
}

std::optional<std::string> VelkoraAgentInternal::uuidKey() {
    if (!deviceIdentity_) startDeviceIdentity();
    return deviceIdentity_->uuidKey();
}

std::optional<std::string> VelkoraAgentInternal::uuidSHA1() {
    if (!deviceIdentity_) startDeviceIdentity();
    return deviceIdentity_->uuidSHA1();
}

void VelkoraAgentInternal::startDeviceIdentity() {
    if (!deviceIdentity_) deviceIdentity_ = std::make_shared<VelkoraDeviceIdentity>();
    deviceIdentity_->initUUID();
}

void VelkoraAgentInternal::startSessionNow(const std::string& appId) {
    startDeviceIdentity();
    initUserInfo(appId);
    initAppData(appId);
    initWindow();
    initTwitterConnector();
    initFacebookConnector();
    initUserFetchers();
    VelkoraServerApi::startSession(appId, startLocationManagerIfRequired());
    if (appWindow() || startMode_ == 2) initVelkora();
}

bool VelkoraAgentInternal::windowIsUsable(const std::shared_ptr<ui::Window>& window) const {
    return window && window->windowLevel() != ui::WindowLevel::Alert;
}

void VelkoraAgentInternal::initWindow() {
    if (startMode_ != 0) return;
    auto window = ui::Application::instance().keyWindowShared();
    appWindow_ = window;
    if (windowIsUsable(window)) {
        if (VelkoraAppSettings::changeNumber() == 0 || sidebarInstalled_) return;
        initView(appData_ && appData_->opensRight(), false);
        return;
    }
    Log::line("Velkora - Window is not ready yet - either nil or an alert one");
    windowObserver_ = NotificationObserver(ui::kWindowDidBecomeKeyNotification, nullptr,
                                           [this](const foundation::Notification&) { windowBecomeKey(); });
}

void VelkoraAgentInternal::windowBecomeKey() {
    auto window = ui::Application::instance().keyWindowShared();
    // The kit's own popups live in alert windows: the wait goes on until the host's window is key.
    if (!windowIsUsable(window)) return;
    Log::line("Velkora - Window become Key Window. Starting ...");
    foundation::NotificationCenter::defaultCenter().removeObserver(windowObserver_.release());
    appWindow_ = window;
    if (VelkoraAppSettings::changeNumber() != 0 && !sidebarInstalled_)
        initView(appData_ && appData_->opensRight(), false);
    initVelkora();
}

std::shared_ptr<VelkoraSidebarController> VelkoraAgentInternal::makeSidebar() {
    std::string nib = std::string(ui::Device::current().isPad() ? "iPad_" : "") + "VelkoraMainMenuView";
    return VelkoraScreenRegistry::instance().makeObject<VelkoraSidebarController>(
        VelkoraKitObjectNames::kSidebar, Value(foundation::Dictionary{{"nibName", Value(nib)}}));
}

void VelkoraAgentInternal::initView(bool opensRight, bool ignoreStartMode) {
    if (!ignoreStartMode && startMode_ != 0) return;
    auto window = appWindow();
    if (!window) return;
    auto sidebar = makeSidebar();
    if (!sidebar || !sidebar->viewController()) return;
    velkoraVC_ = sidebar;
    sidebar->setIsMenuMode(false);
    sidebar->setIsTopPanelViewHidden(true);
    gesturesHandler_ = VelkoraScreenRegistry::instance().makeObject<VelkoraActivationGestures>(
        VelkoraKitObjectNames::kActivationGesturesHandler,
        Value(foundation::Dictionary{{"window", Value::object(window)}, {"opensRight", Value(opensRight)}}));
    if (gesturesHandler_) gesturesHandler_->setUserPaused(userPausedSwipe_);
    auto nav = VelkoraNavControllerViewController::createHidingBar(sidebar->viewController());
    sidebar->setVelkoraNavController(nav);
    sidebar->viewController()->view()->setAutoresizingMask(ui::AutoresizingFlexibleTopMargin |
                                                           ui::AutoresizingFlexibleHeight);
    window->insertSubview(nav->view(), 0);
    sidebarInstalled_ = true;
    implicitPreloadFeatures();
}

void VelkoraAgentInternal::closeView() {
    // Only the kit's own view leaves the window: a menu on the host's stack or on show elsewhere is the
    // host's to close, and the host's views stay where they are.
    if (velkoraVC_ && sidebarInstalled_) {
        if (auto nav = velkoraVC_->velkoraNavController()) nav->view()->removeFromSuperview();
        velkoraVC_->setVelkoraNavController(nullptr);
    }
    sidebarInstalled_ = false;
    velkoraVC_.reset();
    gesturesHandler_.reset();
}

void VelkoraAgentInternal::addSidebar(const std::shared_ptr<ui::Window>& window, bool toLeft) {
    if (!windowIsUsable(window)) {
        Log::line("Velkora - Window is not ready yet - either nil or an alert one");
        return;
    }
    appWindow_ = window;
    if (VelkoraAppSettings::changeNumber() == 0) {
        // Asked for before the first configuration: it is put in once the configuration arrives.
        pendingSidebarLeft_ = toLeft;
        return;
    }
    pendingSidebarLeft_.reset();
    if (sidebarInstalled_) {
        // Added again: one sidebar, in the window named last.
        auto nav = velkoraVC_ ? velkoraVC_->velkoraNavController() : nullptr;
        auto* shownIn = nav && nav->viewIfLoaded() ? nav->viewIfLoaded()->window() : nullptr;
        if (shownIn == window.get()) return;
        closeView();
    }
    initView(toLeft, true);
}

void VelkoraAgentInternal::initVelkora() {
    if (userInfo_ && !userInfo_->migratedTo220() && appData_) appData_->setChangeNumber(0);
    startCycle();
    if (appData_ && appData_->isAppDealsEnabled())
        VelkoraServerApi::getAppDeals(
            VelkoraCallback::make(delegates_, [this](const Value& deals) { gotAppDeals(deals); }));
    foregroundObserver_ = NotificationObserver("UIApplicationWillEnterForegroundNotification", nullptr,
                                               [this](const foundation::Notification&) { appReturnFromBackground(); });
    scheduleEntryBanner();
    foundation::NotificationCenter::defaultCenter().post("VelkoraIsReady");
    signinObserver_ = NotificationObserver("VelkoraUserSigninChanged", nullptr,
                                           [this](const foundation::Notification&) { updateBadgeData(); });
    isVelkoraReady_ = true;
    // What the host posted or scored before the kit was ready goes out now, whatever the start's delay.
    handlePendingRequests();
}

void VelkoraAgentInternal::startCycle() {
    ++cycle_;
    isAppDataReceived_ = false;
    isUserDataReceived_ = false;
    cycleRunning_ = true;
    if (appDataRetry_) appDataRetry_->invalidate();
    if (userDataRetry_) userDataRetry_->invalidate();
    appDataRetry_.reset();
    userDataRetry_.reset();
    askAppData(cycle_);
    askUserData(cycle_);
}

void VelkoraAgentInternal::askAppData(uint64_t cycle) {
    VelkoraServerApi::getAppData(VelkoraCallback::make(
        delegates_, [this](const Value& v) { gotAppData(v.asObject<VelkoraAppData>()); },
        [this, cycle](const foundation::ErrorPtr&) {
            if (cycle == cycle_ && !isAppDataReceived_)
                retryLater(appDataRetry_, &VelkoraAgentInternal::askAppData, cycle);
        }));
}

void VelkoraAgentInternal::askUserData(uint64_t cycle) {
    VelkoraServerApi::getUserData(VelkoraCallback::make(
        delegates_, [this](const Value& v) { gotMyUserData(v.asObject<VelkoraUserInternal>()); },
        [this, cycle](const foundation::ErrorPtr&) {
            if (cycle == cycle_ && !isUserDataReceived_)
                retryLater(userDataRetry_, &VelkoraAgentInternal::askUserData, cycle);
        }));
}

void VelkoraAgentInternal::retryLater(std::shared_ptr<foundation::Timer>& timer,
                                      void (VelkoraAgentInternal::*ask)(uint64_t), uint64_t cycle) {
    if (timer && timer->isValid()) return;
    timer = mainLoop().schedule(kStartRetrySeconds, false, [this, ask, cycle](foundation::Timer&) {
        if (cycle == cycle_) (this->*ask)(cycle);
    });
}

void VelkoraAgentInternal::completeCycleIfBothArrived(bool wasComplete) {
    if (wasComplete || !isAppDataReceived_ || !isUserDataReceived_) return;
    cycleRunning_ = false;
    lastCycleCompleted_ = true;
    runCompletions();
}

void VelkoraAgentInternal::gotAppData(const std::shared_ptr<VelkoraAppData>& appData) {
    Log::line("Velkora - gotAppData: %@, %d", appData ? std::string("<VelkoraAppData>") : std::string("(null)"),
              appData ? appData->changeNumber() : 0);
    quizProductsObserver_ = NotificationObserver("VelkoraNotificationQuizIAPDataGathered", nullptr,
                                                 [this](const foundation::Notification&) { didReceiveQuizProducts(); });
    auto& registry = VelkoraScreenRegistry::instance();
    if (auto products = registry.makeObject<VelkoraQuizProducts>(VelkoraKitObjectNames::kQuizIAPServerManager))
        products->initProducts();
    if (appData) foundation::NotificationCenter::defaultCenter().post("VelkoraAppDataReceived");
    startLocationManagerIfRequired();
    if (auto ads = registry.makeObject<VelkoraNativeAds>(VelkoraKitObjectNames::kNativeAds)) ads->reset();
    if (!sidebarInstalled_) initView(appData_ && appData_->opensRight(), false);
    if (pendingSidebarLeft_ && VelkoraAppSettings::changeNumber() != 0) {
        const bool left = *pendingSidebarLeft_;
        pendingSidebarLeft_.reset();
        if (!sidebarInstalled_) initView(left, true);
    }
    configureAppBannerHandling(appData != nullptr);
    updateBadgeData();
    const bool wasComplete = isAppDataReceived_ && isUserDataReceived_;
    isAppDataReceived_ = true;
    completeCycleIfBothArrived(wasComplete);
}

void VelkoraAgentInternal::gotMyUserData(const std::shared_ptr<VelkoraUserInternal>& user) {
    Log::line("Velkora - Got my user data. user is %@, %@", user ? user->firstName().value_or("(null)") : "(null)",
              user ? user->lastName().value_or("(null)") : "(null)");
    velkoraUser_ = user;
    if (user && userInfo_) {
        if (user->isAnonymous()) {
            Log::line("Velkora - user is anonymous");
            userInfo_->setMigratedTo220(true);
            saveUserInfo();
        } else {
            if (!userInfo_->migratedTo220()) backwardCompatabilitySignUpSocialNetworks();
            if (userInfo_->isOnlyEmailConnected()) {
                userInfo_->setEmailId(user->email());
                userInfo_->setEmailName(VelkoraUserDetailsDisplayer::nameFull(user.get()));
                userInfo_->setEmailPhoto(user->userPhotoUrl());
                saveUserInfo();
            }
        }
    }
    updateStickerPacksInfo();
    VelkoraScreenRegistry::instance().runUserDataDuties();
    foundation::NotificationCenter::defaultCenter().post("VelkoraUserDataReceived");
    const bool wasComplete = isAppDataReceived_ && isUserDataReceived_;
    isUserDataReceived_ = true;
    completeCycleIfBothArrived(wasComplete);
}

void VelkoraAgentInternal::gotUpdatedUserData(const std::shared_ptr<VelkoraUserInternal>& user) {
    gotMyUserData(user);
    if (isFeaturePreloaded(1)) VelkoraChatsRepository::instance().reset();
    if (isFeaturePreloaded(0)) VelkoraFeedMessagesRepository::instance().resetRepository();
    if (isFeaturePreloaded(2)) VelkoraChatRoomsTopicsRepository::instance().clearRepository();
}

void VelkoraAgentInternal::askUpdatedUserData(const std::optional<std::string>& userId) {
    VelkoraServerApi::setUserId(userId);
    VelkoraServerApi::getUserData(VelkoraCallback::make(
        delegates_, [this](const Value& v) { gotUpdatedUserData(v.asObject<VelkoraUserInternal>()); }));
}

void VelkoraAgentInternal::appReturnFromBackground() {
    Log::line("Velkora - app returns from the background. clearing badge number");
    ui::Application::instance().setApplicationIconBadgeNumber(0);
    VelkoraServerApi::getAppData(
        VelkoraCallback::make(delegates_, [this](const Value& v) { gotAppData(v.asObject<VelkoraAppData>()); }));
}

void VelkoraAgentInternal::initUserFetchers() {
    if (!facebookFetcher_) {
        facebookFetcher_ = VelkoraSNUserFetcher::create();
        facebookFetcher_->setSocialNetwork(0);
    }
    if (!twitterFetcher_) {
        twitterFetcher_ = VelkoraSNUserFetcher::create();
        twitterFetcher_->setSocialNetwork(1);
    }
}

std::shared_ptr<services::LocationManager> VelkoraAgentInternal::startLocationManagerIfRequired() {
    const bool available = VelkoraDynamicFrameworkLoader::loadClass("CLLocationManager", "CoreLocation") != nullptr;
    if (available && services::LocationManager::locationServicesEnabled() && appData_ && appData_->isRadarEnabled()) {
        if (locationManager_) return locationManager_;
        locationManager_ = services::LocationManager::create();
        locationManager_->startUpdatingLocation();
        VelkoraServerApi::activateLocationManager(locationManager_);
        return locationManager_;
    }
    Log::line("Velkora - Location services are not enabled or Radar is disabled");
    VelkoraServerApi::activateLocationManager(nullptr);
    return nullptr;
}

void VelkoraAgentInternal::backwardCompatabilitySignUpSocialNetworks() {
    if (!userInfo_) return;
    std::string facebookId = userInfo_->isFacebookConnected() ? std::to_string(userInfo_->fbId()) : "0";
    std::string twitterId = userInfo_->isTwitterConnected() ? std::to_string(userInfo_->twitterId()) : "0";
    if (!userInfo_->isFacebookConnected() && !userInfo_->isTwitterConnected()) {
        userInfo_->setMigratedTo220(true);
        saveUserInfo();
        return;
    }
    VelkoraServerApi::bcSignUp(VelkoraCallback::make(delegates_, [this](const Value& v) { bcSignedUp(v); }), facebookId,
                               twitterId);
}

void VelkoraAgentInternal::bcSignedUp(const Value& reply) {
    auto text = [&](const char* key) -> std::optional<std::string> {
        if (auto* d = reply.asDictionary())
            if (auto* v = d->find(key)) return v->toText();
        return std::nullopt;
    };
    if (auto deviceId = text("deviceId")) {
        VelkoraServerApi::setDeviceId(deviceId);
        if (userInfo_) {
            userInfo_->setDeviceId(deviceId);
            userInfo_->setMigratedTo220(true);
            saveUserInfo();
        }
    } else if (auto userId = text("userId")) {
        if (userInfo_) userInfo_->setMigratedTo220(true);
        resetUserInfoWithUserId(userId);
    } else {
        Log::line("Velkora (E) - Failed performing backward compatability sign up !!");
    }
}

void VelkoraAgentInternal::handlePendingRequests() {
    // Only a ready kit sends; until then the records wait for the replay that readiness makes.
    if (!isVelkoraReady_) return;
    auto records = std::move(pendingRequests_);
    pendingRequests_.clear();
    for (const auto& record : records) {
        auto text = [&](const char* key) -> std::optional<std::string> {
            if (auto* d = record.asDictionary())
                if (auto* v = d->find(key)) return v->toText();
            return std::nullopt;
        };
        auto type = text("requestType");
        Log::line("Velkora - handle pending request type=%@", type.value_or("(null)"));
        if (type == std::optional<std::string>("feed")) {
            postToFeed(text("feedMessage"), text("imageUrl"), text("description"), text("subDesc"), text("actionVerb"),
                       text("actionId"));
        } else if (type == std::optional<std::string>("setScore")) {
            const Value* score = record.asDictionary()->find("score");
            setUserScore(score ? score->int64Or(0) : 0, text("level"));
        }
    }
}

} // namespace velkora
