// The read-only front through which screens ask for the application's settings: most answers come from
// the configuration the service sent, a few from the host's information dictionary, read once.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Geometry.h"

namespace velkora {

namespace ui {
class Image;
class Label;
}
class VelkoraAppFeatures;

class VelkoraAppSettings {
public:
    static VelkoraAppSettings& instance();

    using OptString = std::optional<std::string>;

    static OptString theme();
    static OptString appName();
    static std::shared_ptr<ui::Image> appLogo();
    static OptString appId();
    static OptString smsText();
    static OptString twitterAppAccount();
    static OptString mailInviteText();
    static OptString mailInviteSubject();
    static OptString facebookAppId();
    static OptString facebookInviteTitle();
    static OptString facebookInviteTitleLink();
    static OptString facebookInviteCaption();
    static OptString facebookInviteDescription();
    static OptString facebookInvitePictureLink();
    static OptString twitterInviteLink();
    static OptString twitterInviteDescription();
    static std::string distanceUnits();
    static float distanceInUnits(float metres);
    static int32_t welcomePopupMode();
    static float welcomePopupDelay();
    static float welcomePopupDuration();
    static int32_t welcomePopupType();
    static int32_t actionOnIncomingMessage();
    static bool displayTestUsers();
    static bool allowOnIpad();
    static bool displayAge();
    static bool disableVelkora();
    static OptString rateUrl();
    static int32_t changeNumber();
    static std::vector<std::shared_ptr<VelkoraAppFeatures>> appFeatures();
    static ui::Color leadingColor();
    static void setLeadingColor(ui::Label& label);
    static bool menuOpensToRight();

    void setAppId(OptString id) { appId_ = std::move(id); }
    const OptString& fbAppId() const { return fbAppId_; }
    bool isUIViewControllerBaseStatusBarAppearance() const { return isUIViewControllerBaseStatusBarAppearance_; }
    void retreiveFBAppIdFromPlist();

    // Reads the host's information dictionary again, for tests that change it.
    static void resetForTests();

private:
    VelkoraAppSettings();
    void readPropertyList();

    std::shared_ptr<ui::Image> appLogo_;
    OptString fbAppId_;
    OptString appId_;
    bool isUIViewControllerBaseStatusBarAppearance_ = false;
};

}  // namespace velkora
