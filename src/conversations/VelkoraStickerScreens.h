#pragma once

namespace velkora {

// The sticker store and pack screens, the feedback menu and talk to us, the purchase layer's start when
// the user's data arrives, and the classes of their interface files.
void registerStickerScreens();

} // namespace velkora
