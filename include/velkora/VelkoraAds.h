// Switches of the kit's promoted-application ads.
#pragma once

#include "velkora/Export.h"

namespace velkora {

class VELKORA_EXPORT VelkoraAds {
public:
    VelkoraAds() = delete;
    static bool isPopInAdsEnabled();
    static void showPopInAdNow();
    // Stays off across new configurations.
    static void disablePopInAds(bool disable);
    static void disableSideBarAds(bool disable);
};

// A host screen may say whether promoted applications may pop in over it: the kit asks the window's root
// screen when it starts (its answer replaces the configuration's entry banner switch) and each screen a
// navigation controller shows (an answer of false schedules no banner). Give it to
// VelkoraHostScreen::create.
class VELKORA_EXPORT VelkoraPopinAdsAnswer {
public:
    virtual ~VelkoraPopinAdsAnswer() = default;
    virtual bool velkoraShouldPopinAds() const = 0;
};

} // namespace velkora
