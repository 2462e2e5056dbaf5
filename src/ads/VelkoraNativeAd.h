#pragma once

#include <cstdint>
#include <memory>

#include "data/VelkoraProperty.h"

namespace velkora {

// One promoted application shown as a row among chat-room comments, as the store describes it.
class VelkoraNativeAd {
    // Never filled.
    VELKORA_MODEL_PROPERTY(int32_t, nativeAdId, NativeAdId)
    VELKORA_MODEL_PROPERTY(OptionalText, name, Name)
    VELKORA_MODEL_PROPERTY(OptionalText, icon, Icon)
    VELKORA_MODEL_PROPERTY(OptionalText, description, Description)
    // The store address reached through the banner's link.
    VELKORA_MODEL_PROPERTY(OptionalText, url, Url)
};

using VelkoraNativeAdPtr = std::shared_ptr<VelkoraNativeAd>;

} // namespace velkora
