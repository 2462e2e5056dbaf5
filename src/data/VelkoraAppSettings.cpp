#include "data/VelkoraAppSettings.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "data/VelkoraSessionRecords.h"
#include "data/VelkoraAppData.h"

namespace velkora {

using foundation::Value;

namespace {

std::recursive_mutex& settingsLock() {
    static std::recursive_mutex m;
    return m;
}

std::unique_ptr<VelkoraAppSettings>& settingsSlot() {
    static std::unique_ptr<VelkoraAppSettings> slot;
    return slot;
}

std::shared_ptr<VelkoraAppData> config() { return VelkoraSessionRecords::current().getAppData(); }

template <typename T, typename F>
T fromConfig(F read, T fallback = T{}) {
    auto data = config();
    return data ? read(*data) : fallback;
}

}  // namespace

VelkoraAppSettings::VelkoraAppSettings() = default;

VelkoraAppSettings& VelkoraAppSettings::instance() {
    std::lock_guard lock(settingsLock());
    auto& slot = settingsSlot();
    if (!slot) {
        // Recorded before the set-up so that what the set-up calls reaches this instance.
        slot.reset(new VelkoraAppSettings());
        slot->readPropertyList();
    }
    return *slot;
}

void VelkoraAppSettings::resetForTests() {
    std::lock_guard lock(settingsLock());
    settingsSlot().reset();
}

void VelkoraAppSettings::readPropertyList() {
    const Value& info = foundation::Bundle::main().infoDictionary();
    const Value& iconFiles = info["CFBundleIconFiles"];
    if (const foundation::Array* icons = iconFiles.asArray()) {
        for (const Value& name : *icons) {
            const std::string* text = name.asString();
            if (text && text->find("@2x") != std::string::npos) appLogo_ = ui::Image::named(*text);
        }
        if (!appLogo_ && !icons->empty())
            if (const std::string* first = icons->front().asString()) appLogo_ = ui::Image::named(*first);
    }
    if (!appLogo_) {
        const Value& primary = info["CFBundleIcons"]["CFBundlePrimaryIcon"]["CFBundleIconFiles"];
        if (const std::string* first = primary.at(0).asString()) appLogo_ = ui::Image::named(*first);
    }
    isUIViewControllerBaseStatusBarAppearance_ = info["UIViewControllerBasedStatusBarAppearance"].boolOr(false);
    retreiveFBAppIdFromPlist();
}

void VelkoraAppSettings::retreiveFBAppIdFromPlist() {
    const Value& types = foundation::Bundle::main().infoDictionary()["CFBundleURLTypes"];
    const std::string* scheme = types.at(0)["CFBundleURLSchemes"].at(0).asString();
    if (scheme && scheme->starts_with("fb")) {
        fbAppId_ = scheme->substr(2);
        foundation::Log::line("Velkora - fbAppId = %@", *fbAppId_);
    } else {
        foundation::Log::line("Velkora - Cannot find fbAppId in plist");
        fbAppId_.reset();
    }
}

#define VELKORA_CONFIG_TEXT(method, field) \
    VelkoraAppSettings::OptString VelkoraAppSettings::method() { return fromConfig<OptString>([](const VelkoraAppData& d) { return d.field(); }); }
#define VELKORA_CONFIG_VALUE(type, method, field) \
    type VelkoraAppSettings::method() { return fromConfig<type>([](const VelkoraAppData& d) { return d.field(); }); }

VELKORA_CONFIG_TEXT(theme, theme)
VELKORA_CONFIG_TEXT(appName, appName)
VELKORA_CONFIG_TEXT(smsText, smsText)
VELKORA_CONFIG_TEXT(twitterAppAccount, twitterAppAccount)
VELKORA_CONFIG_TEXT(mailInviteText, mailInviteText)
VELKORA_CONFIG_TEXT(mailInviteSubject, mailInviteSubject)
VELKORA_CONFIG_TEXT(facebookInviteTitle, facebookInviteTitle)
VELKORA_CONFIG_TEXT(facebookInviteTitleLink, facebookInviteTitleLink)
VELKORA_CONFIG_TEXT(facebookInviteCaption, facebookInviteCaption)
VELKORA_CONFIG_TEXT(facebookInviteDescription, facebookInviteDescription)
VELKORA_CONFIG_TEXT(facebookInvitePictureLink, facebookInvitePicture)
VELKORA_CONFIG_TEXT(twitterInviteLink, twitterInviteLink)
VELKORA_CONFIG_TEXT(twitterInviteDescription, twitterInviteDescription)
VELKORA_CONFIG_TEXT(rateUrl, rateUrl)
VELKORA_CONFIG_VALUE(int32_t, welcomePopupMode, welcomePopupMode)
VELKORA_CONFIG_VALUE(float, welcomePopupDelay, welcomePopupDelay)
VELKORA_CONFIG_VALUE(float, welcomePopupDuration, welcomePopupDuration)
VELKORA_CONFIG_VALUE(int32_t, welcomePopupType, welcomePopupType)
VELKORA_CONFIG_VALUE(int32_t, actionOnIncomingMessage, actionOnIncomingMessage)
VELKORA_CONFIG_VALUE(bool, allowOnIpad, allowOnIpad)
VELKORA_CONFIG_VALUE(bool, displayAge, displayAge)
VELKORA_CONFIG_VALUE(bool, disableVelkora, disableVelkora)
VELKORA_CONFIG_VALUE(int32_t, changeNumber, changeNumber)
VELKORA_CONFIG_VALUE(bool, menuOpensToRight, opensRight)
#undef VELKORA_CONFIG_TEXT
#undef VELKORA_CONFIG_VALUE

std::shared_ptr<ui::Image> VelkoraAppSettings::appLogo() { return instance().appLogo_; }
VelkoraAppSettings::OptString VelkoraAppSettings::appId() { return instance().appId_; }
VelkoraAppSettings::OptString VelkoraAppSettings::facebookAppId() { return instance().fbAppId_; }

std::string VelkoraAppSettings::distanceUnits() {
    return fromConfig<int32_t>([](const VelkoraAppData& d) { return d.distanceUnits(); }) == 1 ? "km" : "mi";
}

float VelkoraAppSettings::distanceInUnits(float metres) {
    bool km = fromConfig<int32_t>([](const VelkoraAppData& d) { return d.distanceUnits(); }) == 1;
    // 1600, not 1609.344: the figure users have always been shown.
    return km ? metres / 1000.0f : metres / 1600.0f;
}

bool VelkoraAppSettings::displayTestUsers() { return VelkoraSessionRecords::current().testMode(); }

std::vector<std::shared_ptr<VelkoraAppFeatures>> VelkoraAppSettings::appFeatures() {
    return fromConfig<std::vector<std::shared_ptr<VelkoraAppFeatures>>>([](const VelkoraAppData& d) { return d.appFeatures(); });
}

ui::Color VelkoraAppSettings::leadingColor() {
    auto packed = static_cast<uint32_t>(fromConfig<int32_t>([](const VelkoraAppData& d) { return d.leadingColor(); }));
    return ui::Color::rgba(((packed >> 16) & 0xff) / 255.0, ((packed >> 8) & 0xff) / 255.0, (packed & 0xff) / 255.0, 1.0);
}

void VelkoraAppSettings::setLeadingColor(ui::Label& label) { label.setTextColor(leadingColor()); }

}  // namespace velkora
