// The session object: one per process, owning the local user record, the application configuration and
// the current user. Start-up, the feature screens and the session's other duties grow on it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "data/VelkoraSessionRecords.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"
#include "platform/ui/Geometry.h"

namespace velkora {

class VelkoraUserInfo;
class VelkoraGeneralFeatureViewControllerDelegate;
class VelkoraUsersFetcher;
class VelkoraDefaultOKPopupView;
class VelkoraAppData;
class VelkoraUserInternal;
class VelkoraStyleSheetProtocol;
class VelkoraImageFetcher;
class VelkoraTwitterConnector;
class VelkoraFBConnector;
class VelkoraSNUserFetcher;
class VelkoraSidebarController;
class VelkoraActivationGestures;
class VelkoraAppBanner;
class VelkoraStickerPack;
class VelkoraDeviceIdentity;
namespace foundation {
class Timer;
}
namespace services {
class LocationManager;
}
namespace ui {
class NavigationController;
class PopoverController;
class TabBarController;
class View;
class ViewController;
class Window;
class BarButtonItem;
class Button;
} // namespace ui

class VelkoraAgentInternal final : public VelkoraSessionRecords {
public:
    static VelkoraAgentInternal& instance();
    ~VelkoraAgentInternal();
    // The configuration held by the shared object.
    static std::shared_ptr<VelkoraAppData> appDataOfInstance();

    // The local user record: loaded or created once per process.
    void initUserInfo(const std::string& appId) override;
    std::shared_ptr<VelkoraUserInfo> getUserInfo() const override { return userInfo_; }
    std::shared_ptr<VelkoraUserInfo> userInfo() const { return userInfo_; }
    void setUserInfo(std::shared_ptr<VelkoraUserInfo> info) { userInfo_ = std::move(info); }
    // Writes the record; a failed write is logged and leaves the previous file as it was.
    bool saveUserInfo() override;
    void createVelkoraUserFromUserData();
    // Starts over with another user id (the device id when none).
    void resetUserInfoWithUserId(const std::optional<std::string>& userId) override;
    // What the server client does when the user changes (takes the new id, asks for the user's data); it
    // runs after the record is saved and before "VelkoraDidResetUser" is posted.
    void setUserResetHandler(std::function<void(const std::optional<std::string>&)> handler) {
        onUserReset_ = std::move(handler);
    }

    // The application configuration: loaded or created once per process.
    void initAppData(const std::string& appId);
    std::shared_ptr<VelkoraAppData> getAppData() const override { return appData_; }
    std::shared_ptr<VelkoraAppData> appData() const { return appData_; }
    void setAppData(std::shared_ptr<VelkoraAppData> data) override { appData_ = std::move(data); }
    // Hands the configuration to the file writer's thread, as saveUserInfo does the record.
    bool saveAppData() override;

    std::shared_ptr<VelkoraUserInternal> velkoraUser() const override { return velkoraUser_; }
    void setVelkoraUser(std::shared_ptr<VelkoraUserInternal> user) override { velkoraUser_ = std::move(user); }
    // The host's style sheet, handed to the customizer every view asks while it is made.
    void setCustomStyleSheet(std::shared_ptr<VelkoraStyleSheetProtocol> sheet);

    // The host's own image fetcher, or null; every picture load asks it first.
    std::shared_ptr<VelkoraImageFetcher> imageFetcher() const { return imageFetcher_; }
    void setImageFetcher(std::shared_ptr<VelkoraImageFetcher> fetcher) { imageFetcher_ = std::move(fetcher); }
    // ---- What the feature screens read
    // The activation ribbon's style (0 to 3) and the name of its image.
    uint32_t activationButtonType() const { return activationButtonType_; }
    void setActivationButtonType(uint32_t type) { activationButtonType_ = type; }
    std::string getActivationButtonImageString() const;
    // Loads a feature's data ahead of its screen (0 feed, 1 inbox, 2 chat rooms, 103 quizzes); the
    // completion runs once the data is there, and the feature's badge is announced from then on.
    void preloadFeature(int32_t featureId, std::function<void()> completion);
    void markFeatureForPreload(int32_t featureId, std::function<void()> completion);
    bool isFeaturePreloaded(int32_t featureId) const;
    // 0 unless the feature was preloaded.
    int32_t getFeatureBadgeNumber(uint32_t featureId) const;
    // Posts "VelkoraBadgeNumberChangedNotification" with the feature's "tabId" and "tabName".
    void sendBadgeNumberChangeNotificationForFeature(uint32_t featureId);
    // The sidebar's gestures; none until the sidebar is installed.
    std::shared_ptr<VelkoraActivationGestures> gesturesHandler() const { return gesturesHandler_; }
    void setGesturesHandler(std::shared_ptr<VelkoraActivationGestures> h) { gesturesHandler_ = std::move(h); }

    // ---- The social networks' connectors: made once by start-up, handed out to the screens.
    std::shared_ptr<VelkoraTwitterConnector> twitterConnector() const { return twitterConnector_; }
    std::shared_ptr<VelkoraFBConnector> fbConnector() const { return fbConnector_; }
    void initTwitterConnector();
    void initFacebookConnector();

    bool testMode() const override { return testMode_; }
    void setTestMode(bool on) { testMode_ = on; }

    // ---- Start-up
    // The host's start call. A first call starts the session (after `delay` seconds when above 0); a
    // later one closes the kit's view and, in mode 2, asks for the configuration and the user again.
    // The completion runs once, at the next time both first replies of a cycle are in.
    static void startSession(const std::string& appId, std::shared_ptr<services::LocationManager> locationManager,
                             float delay, int32_t startMode, std::function<void()> completion);
    void startSessionNow(const std::string& appId);
    void handlePendingRequests();
    void initWindow();
    void windowBecomeKey();
    void initView(bool opensRight, bool ignoreStartMode);
    void initVelkora();
    void closeView();
    void addSidebar(const std::shared_ptr<ui::Window>& window, bool toLeft);
    void gotAppData(const std::shared_ptr<VelkoraAppData>& appData);
    void gotMyUserData(const std::shared_ptr<VelkoraUserInternal>& user);
    void gotUpdatedUserData(const std::shared_ptr<VelkoraUserInternal>& user);
    void appReturnFromBackground();
    void initUserFetchers();
    std::shared_ptr<services::LocationManager> startLocationManagerIfRequired();
    std::shared_ptr<services::LocationManager> getNonEmptyLocationManager() { return startLocationManagerIfRequired(); }
    void backwardCompatabilitySignUpSocialNetworks();
    void bcSignedUp(const foundation::Value& reply);

    // Called by the user reset when no handler was set: the new id goes to the server client, whose
    // reply with the user's data is handled as a return of the user's data.
    void askUpdatedUserData(const std::optional<std::string>& userId);

    bool isVelkoraReady() const { return isVelkoraReady_; }
    int32_t startMode() const { return startMode_; }
    std::shared_ptr<services::LocationManager> locationManager() const { return locationManager_; }
    void setLocationManager(std::shared_ptr<services::LocationManager> m) { locationManager_ = std::move(m); }
    std::shared_ptr<ui::Window> appWindow() const { return appWindow_.lock(); }
    void setAppWindow(const std::shared_ptr<ui::Window>& w) { appWindow_ = w; }
    std::shared_ptr<VelkoraSidebarController> velkoraVC() const { return velkoraVC_; }
    const std::vector<foundation::Value>& pendingRequests() const { return pendingRequests_; }
    std::shared_ptr<VelkoraSNUserFetcher> facebookFetcher() const { return facebookFetcher_; }
    std::shared_ptr<VelkoraSNUserFetcher> twitterFetcher() const { return twitterFetcher_; }

    // ---- Opening features
    void openFeature(int32_t featureId, const std::shared_ptr<ui::NavigationController>& navigationController,
                     bool velkoraNavControllerEnabled, const foundation::Value& object1 = {},
                     const foundation::Value& object2 = {});
    void addFeature(int32_t featureId, const std::shared_ptr<ui::TabBarController>& tabBarController, int32_t position,
                    const foundation::Value& options = {});
    // The answers to the feature screens the host opened.
    void didClickBack() { handleFeatureBackToPanel(false, false); }
    void didClose() { handleFeatureBackToPanel(false, true); }
    void backToPanel() { handleFeatureBackToPanel(true, false); }
    bool isTopPanelHidden() const { return isTopPanelHidden_; }
    void handleFeatureBackToPanel(bool backToPanel, bool close);
    void dismissTalkToUs();
    // Closes a screen the session or a screen of the kit opened: popped from the stack it was pushed on
    // (with what is above it), or dismissed when it was presented.
    void closeFeatureScreen(const std::shared_ptr<ui::ViewController>& screen);
    std::shared_ptr<ui::NavigationController> featureNavController() const { return featureNavController_.lock(); }
    std::shared_ptr<ui::ViewController> currentPresentedFeatureVC() const { return currentPresentedFeatureVC_; }
    // The feature-screen container the session object answers as.
    std::shared_ptr<VelkoraGeneralFeatureViewControllerDelegate> featureContainer() const;

    // Menu, activation, panel and swipe.
    void openMenuInPopoverWithRect(ui::Rect rect, ui::View* view);
    void openMenuInWindow(const std::shared_ptr<ui::Window>& window);
    void openMenuWithNavigationController(const std::shared_ptr<ui::NavigationController>& navigationController,
                                          bool velkoraNavControllerEnabled);
    void openStickerStoreWithNavigationController(const std::shared_ptr<ui::NavigationController>& navigationController,
                                                  bool velkoraNavControllerEnabled);
    std::shared_ptr<ui::BarButtonItem> velkoraActivationBarItem();
    std::shared_ptr<ui::Button> velkoraActivationButtonOpensToLeft(bool toLeft);
    std::shared_ptr<ui::PopoverController> popover() const { return popover_; }
    void openPanel();
    void closePanel();
    bool isPanelOpen() const;
    void pauseGestureHandler();
    void resumeGestureHandler();
    bool isSwipeEnabled() const;
    bool userPausedSwipe() const { return userPausedSwipe_; }
    void implicitPreloadFeatures();

    // ---- Badges
    int32_t getTotalBagdes() const;
    void updateBadgeData();
    void handleNewData(VelkoraUsersFetcher& fetcher);

    // ---- Duties
    using OptString = std::optional<std::string>;
    // The host's feed posts and scores: kept for the replay while the kit is not ready.
    static void postToFeed(const OptString& message, const OptString& imageUrl, const OptString& description,
                           const OptString& subDesc, const OptString& actionVerb, const OptString& actionId);
    static void postToFeedWithLink(const OptString& message, const OptString& link);
    static void setUserScore(int64_t score, const OptString& level);
    static void didReceiveRemoteNotification(const foundation::Value& payload);
    // The shared object's Facebook connector's answer; NO without one.
    static bool handleOpenURLOfSession(const std::string& url);
    void updateStickerPacksInfo();
    void gotStickerData(const foundation::Value& packs);
    void stickerPackAdded(const foundation::Notification& notification);
    void addStickerPack(const std::shared_ptr<VelkoraStickerPack>& pack);
    void downloadPackStickers(const VelkoraStickerPack& pack);
    void fetchImageForUrl(const std::string& url);
    size_t stickerFetchesInFlight() const;
    void gotAppDeals(const foundation::Value& deals);
    void gotNearbyUsers(const foundation::Value& users);
    void connectFacebook();
    void disconnectFacebook();
    std::shared_ptr<VelkoraAppBanner> createActionBannerIfNeeded();
    std::shared_ptr<VelkoraAppBanner> appBannerView() const { return appBannerView_; }
    void showPopInAdNow();
    bool isPopInAdsEnabled() const;
    void disablePopInAds(bool disable);
    // The device identity pair that ad-network requests carry ("hadid" or "hudid", and its SHA-1); worked
    // out on first use when the session has not started.
    std::optional<std::string> uuidKey();
    std::optional<std::string> uuidSHA1();
    void disableSideBarAds(bool disable);
    void configureAppBannerHandling(bool newAppData);
    void traceViewControllerChanges(const foundation::Notification& notification);
    void didReceiveQuizProducts();
    std::vector<int32_t> getChatRoomTopicIds() const;
    std::vector<int32_t> getQuizIds() const;
    std::shared_ptr<VelkoraDefaultOKPopupView> initializingPopup() const { return initializingPopup_.lock(); }

    static constexpr const char* kUserInfoFile = "persist_velkora_user_info.dat";
    static constexpr const char* kOldUserInfoFile = "user_info.dat";
    static constexpr const char* kAppDataFile = "persist_velkora_app_data.dat";
    static constexpr const char* kOldAppDataFile = "app_data.dat";

    // Push registration, as the host's application delegate forwards it: the token goes to the service as
    // Base64 text; a refusal is only logged.
    static void didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<uint8_t>& deviceToken);
    static void didFailToRegisterForRemoteNotificationsWithError(const foundation::ErrorPtr& error);

    // A fresh session object, for tests that start the kit more than once in one process.
    static void resetForTests();
    static void resetStartFlagForTests();

private:
    VelkoraAgentInternal();
    VelkoraAgentInternal(const VelkoraAgentInternal&) = delete;
    VelkoraAgentInternal& operator=(const VelkoraAgentInternal&) = delete;

    // The callbacks' shared identity and the objects that answer for the session object as delegates.
    struct Delegates;
    std::shared_ptr<Delegates> delegates_;

    void takeCompletion(std::function<void()> completion);
    void startDeviceIdentity();
    void runCompletionsIfIdle();
    void runCompletions();
    void completeCycleIfBothArrived(bool wasComplete);
    void scheduleEntryBanner();
    // Friends a fetcher found (none: the session itself refreshes the count with emptied lists).
    void friendsArrived(VelkoraUsersFetcher* fetcher);
    void armEntryBannerTimer();
    void startCycle();
    void cycleReplyArrived();
    void askAppData(uint64_t cycle);
    void askUserData(uint64_t cycle);
    void retryLater(std::shared_ptr<foundation::Timer>& timer, void (VelkoraAgentInternal::*ask)(uint64_t),
                    uint64_t cycle);
    bool windowIsUsable(const std::shared_ptr<ui::Window>& window) const;
    void showInitializingPopup();
    std::shared_ptr<ui::ViewController> makeFeatureScreen(int32_t featureId, const foundation::Value& object1,
                                                          const foundation::Value& object2, const char* openedAs,
                                                          std::string* title);
    int32_t rewriteFeatureId(int32_t featureId, const foundation::Value& object1) const;
    std::shared_ptr<VelkoraSidebarController> makeSidebar();
    // The controller a menu opening shows: never the sidebar in the host's window nor one still held by
    // another container.
    std::shared_ptr<VelkoraSidebarController> menuForOpening(bool popover, bool menuMode, bool topPanelHidden);
    // Presents over the topmost screen presented from `root`; false when refused.
    static bool presentOnTop(ui::ViewController& root, const std::shared_ptr<ui::ViewController>& screen);
    void showFeatureScreen(int32_t featureId, const std::shared_ptr<ui::NavigationController>& navigationController,
                           bool velkoraNavControllerEnabled, const foundation::Value& object1,
                           const foundation::Value& object2);
    // Pops a screen the kit pushed on a stack, with what is above it; false when it was not pushed.
    bool closePushedScreen(const std::shared_ptr<ui::ViewController>& screen);
    // A screen the session opened has gone: the one shown before it is current again.
    void featureScreenWent(const ui::ViewController* screen);

    int32_t startMode_ = 0;
    std::shared_ptr<services::LocationManager> locationManager_;
    std::vector<std::function<void()>> startSessionCompletionBlks_;
    bool isAppDataReceived_ = false;
    bool isUserDataReceived_ = false;
    bool isVelkoraReady_ = false;
    bool lastCycleCompleted_ = false;
    bool cycleRunning_ = false;
    uint64_t cycle_ = 0;
    std::shared_ptr<foundation::Timer> startTimer_;
    std::shared_ptr<foundation::Timer> appDataRetry_;
    std::shared_ptr<foundation::Timer> userDataRetry_;
    std::shared_ptr<foundation::Timer> entryBannerTimer_;
    std::weak_ptr<ui::Window> appWindow_;
    foundation::NotificationObserver windowObserver_;
    foundation::NotificationObserver foregroundObserver_;
    foundation::NotificationObserver signinObserver_;
    foundation::NotificationObserver quizProductsObserver_;
    std::shared_ptr<VelkoraSidebarController> velkoraVC_;
    std::vector<foundation::Value> pendingRequests_;
    std::shared_ptr<VelkoraSNUserFetcher> facebookFetcher_;
    std::shared_ptr<VelkoraSNUserFetcher> twitterFetcher_;
    bool fetchingTwitterFriends_ = false;
    bool userPausedSwipe_ = false;
    // The side of a sidebar the host added before any configuration had come (true: left).
    std::optional<bool> pendingSidebarLeft_;
    bool isTopPanelHidden_ = false;
    std::weak_ptr<ui::NavigationController> featureNavController_;
    std::shared_ptr<ui::ViewController> currentPresentedFeatureVC_;
    // The screens presented in stacks of the kit's own, in the order shown.
    std::vector<std::weak_ptr<ui::ViewController>> presentedFeatures_;
    // A menu opened elsewhere while the sidebar is in the host's window.
    std::shared_ptr<VelkoraSidebarController> menuVC_;
    bool sidebarInstalled_ = false;
    std::shared_ptr<ui::PopoverController> popover_;
    std::shared_ptr<VelkoraDeviceIdentity> deviceIdentity_;
    std::shared_ptr<VelkoraAppBanner> appBannerView_;
    foundation::NotificationObserver stickerPackObserver_;
    foundation::NotificationObserver navigationObserver_;
    std::weak_ptr<VelkoraDefaultOKPopupView> initializingPopup_;

    std::shared_ptr<VelkoraUserInfo> userInfo_;
    std::shared_ptr<VelkoraAppData> appData_;
    std::shared_ptr<VelkoraUserInternal> velkoraUser_;
    std::shared_ptr<VelkoraImageFetcher> imageFetcher_;
    bool testMode_ = false;
    std::function<void(const std::optional<std::string>&)> onUserReset_;
    uint32_t activationButtonType_ = 0;
    std::shared_ptr<VelkoraActivationGestures> gesturesHandler_;
    std::shared_ptr<VelkoraTwitterConnector> twitterConnector_;
    std::shared_ptr<VelkoraFBConnector> fbConnector_;
    struct FeaturePreloads;
    std::shared_ptr<FeaturePreloads> preloads_;
    FeaturePreloads& preloads();
    void featureLoaded(int32_t featureId, const char* notificationName);
    // The lasting observation of a loaded feature's badge; made once per feature.
    void observeBadgeUpdates(int32_t featureId, const std::vector<const char*>& names, const void* repository);
};

} // namespace velkora
