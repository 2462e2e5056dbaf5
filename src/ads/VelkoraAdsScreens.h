// The promoted-application objects that others make by name: the pop-in banner and the native-ads
// buffer for the session, the sidebar's deals row and the chat rooms' native-ad row.
#pragma once

#include "session/VelkoraKitObjects.h"

namespace velkora {

// The chat rooms ask for the native-ad row (a ui::TableViewCell) under its reuse identifier.
inline constexpr const char* kNativeAdRowMaker = VelkoraKitObjectNames::kNativeAdRow;

// Registers the makers with VelkoraScreenRegistry.
void registerAdsScreens();

} // namespace velkora
