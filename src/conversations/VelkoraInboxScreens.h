#pragma once

#include <memory>

namespace velkora {

namespace ui {
class ViewController;
}
class VelkoraUserInternal;

// The inbox, its system message screen and the new-message chooser, and the classes of their files.
void registerInboxScreens();
void registerInboxViewClasses();

// Pushes the one-to-one chat with the user (the whole user object, so the chat needs no profile request)
// on the screen's navigation stack, with the screen's container.
void pushChatScreen(ui::ViewController& from, const std::shared_ptr<VelkoraUserInternal>& user);

} // namespace velkora
