// The find, invite and radar screens' makers, registered with the screen registry at start-up: "invite"
// (feature 3) and "radar" (feature 4).
#pragma once

namespace velkora {

void registerFriendsScreens();

} // namespace velkora
