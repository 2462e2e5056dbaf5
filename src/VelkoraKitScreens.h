// Every screen folder of the kit registers its screen makers with VelkoraScreenRegistry here. The
// session core never names a screen class; the host interface, which sits above every folder, calls
// this once at start-up so that a feature opens whatever screens this build holds.
#pragma once

namespace velkora {

// Registers every screen maker of the build. Calling it again registers the same makers again.
void registerKitScreens();

} // namespace velkora
