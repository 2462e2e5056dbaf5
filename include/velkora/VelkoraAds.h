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

} // namespace velkora
