// The profile and user-list screens' makers, registered with the screen registry at start-up.
#pragma once

namespace velkora {

void registerProfileScreens();

} // namespace velkora
