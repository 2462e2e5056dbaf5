#pragma once

namespace velkora {

// The one-to-one chat ("chat", object 1 a user id or a user), the picture viewer ("fullScreenImage",
// object 1 the picture's address), the classes of their interface files, and the chat outbox's start
// once the user's data is in.
void registerChatScreens();

} // namespace velkora
