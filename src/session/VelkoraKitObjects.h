// What the session object asks of kit objects that other folders build and register by name with
// VelkoraScreenRegistry: the sidebar's root screen and its activation gestures, the pop-in banner, the
// native-ads controller and the quiz purchase managers. Until a folder registers its maker, the session skips the step
// that needs it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace velkora {

namespace ui {
class NavigationController;
class TableViewCell;
class View;
class ViewController;
} // namespace ui
class VelkoraAppDeal;
class VelkoraNativeAd;

// Registry names and the arguments their makers read.
struct VelkoraKitObjectNames {
    // VelkoraSidebarController; arguments {"nibName": text}.
    static constexpr const char* kSidebar = "VelkoraViewController";
    // VelkoraActivationGestures; arguments {"window": the host's ui::Window (object), "opensRight": bool}.
    static constexpr const char* kActivationGesturesHandler = "VelkoraActivationGesturesHandler";
    // ui::View; no arguments.
    static constexpr const char* kActivationView = "VelkoraActivationView";
    // ui::View; arguments {"buttonType": number, "direction": 1 left, 0 right}.
    static constexpr const char* kActivationRibbonView = "VelkoraActivationRibonView";
    static constexpr const char* kAppBanner = "VelkoraAppBannerView";       // VelkoraAppBanner
    static constexpr const char* kNativeAds = "VelkoraNativeAdsController"; // VelkoraNativeAds
    // A ui::TableViewCell that is a VelkoraNativeAdRow; no arguments.
    static constexpr const char* kNativeAdRow = "velkorachatroomstopicnativeappadcell";
    static constexpr const char* kQuizIAPServerManager = "VelkoraQuizIAPServerManager"; // VelkoraQuizProducts
    static constexpr const char* kQuizIAPHelper = "VelkoraQuizIAPHelper";               // VelkoraQuizProductLookup
    static constexpr const char* kActivityActionManager =
        "VelkoraActivityActionManager"; // VelkoraActivityActionHandler
};

// The sidebar's root screen as the session object drives it.
class VelkoraSidebarController {
public:
    virtual ~VelkoraSidebarController() = default;
    virtual std::shared_ptr<ui::ViewController> viewController() = 0;
    virtual std::shared_ptr<ui::NavigationController> velkoraNavController() const = 0;
    virtual void setVelkoraNavController(std::shared_ptr<ui::NavigationController> controller) = 0;
    virtual void setIsMenuMode(bool menuMode) = 0;
    virtual void setIsTopPanelViewHidden(bool hidden) = 0;
    virtual void setUsingPopover(bool usingPopover) = 0;
    virtual bool isMenuMode() const = 0;
    virtual bool isTopPanelViewHidden() const = 0;
    virtual bool usingPopover() const = 0;
    virtual void openPanel() = 0;
    virtual void closePanel() = 0;
    virtual void fbConnectClickedInView(ui::View* /*view*/) {}
    virtual void signoutFromFacebook() {}
    virtual void updateWithAppDeals(const std::vector<std::shared_ptr<VelkoraAppDeal>>& /*deals*/) {}
    virtual void updateWithNearbyUsersCount() {}
    virtual void updateWithSNFriendsCount() {}
    // The menu rows' command ids and badge numbers, in order.
    virtual std::vector<std::pair<std::string, int32_t>> panelCommandBadges() const { return {}; }
};

// The sidebar's activation gestures on the host's window as the session object drives them.
class VelkoraActivationGestures {
public:
    virtual ~VelkoraActivationGestures() = default;
    // True while the sidebar panel shows.
    virtual bool menuVisible() const = 0;
    // The host's pause and resume of the swipe; `setUserPaused` carries a pause made before the handler.
    virtual void userPause() = 0;
    virtual void userResume() = 0;
    virtual void setUserPaused(bool paused) = 0;
};

// The pop-in banner of promoted applications.
class VelkoraAppBanner {
public:
    virtual ~VelkoraAppBanner() = default;
    virtual void startSchedule() = 0;
    virtual void stopSchedule() = 0;
    virtual void showNow() = 0;
    virtual bool isDisabled() const = 0;
    virtual void setIsDisabled(bool disabled) = 0;
};

// The process's buffer of native ads. Others only keep the ads it serves and hand them to the ad row.
class VelkoraNativeAds {
public:
    virtual ~VelkoraNativeAds() = default;
    virtual void reset() = 0;
    // Serves a held ad at once, or the first one fetched later; a failed fetch never answers.
    virtual void pullNativeAd(std::function<void(const std::shared_ptr<VelkoraNativeAd>& ad)> block) = 0;
};

// A native ad shown as a row among a chat-room topic's comments.
class VelkoraNativeAdRow {
public:
    virtual ~VelkoraNativeAdRow() = default;
    virtual double getHeight() const = 0;
    // Fills the row and reports its visible impression.
    virtual void updateData(const std::shared_ptr<VelkoraNativeAd>& ad, int32_t topicId) = 0;
};

// The quiz purchase manager: asks the store for the quiz products.
class VelkoraQuizProducts {
public:
    virtual ~VelkoraQuizProducts() = default;
    virtual void initProducts() = 0;
};

// The quiz purchase helper: whether the store returned a product.
class VelkoraQuizProductLookup {
public:
    virtual ~VelkoraQuizProductLookup() = default;
    virtual bool hasProduct(const std::string& productId) const = 0;
};

// The kit's own actions of feed posts: offered every tapped action first; NO hands it to the host.
class VelkoraActivityActionHandler {
public:
    virtual ~VelkoraActivityActionHandler() = default;
    // The tapped feed cell, and the screen to open the kit's screens from.
    virtual bool handleActionOfActivity(ui::TableViewCell& cell, ui::ViewController* fromVC) = 0;
};

} // namespace velkora
