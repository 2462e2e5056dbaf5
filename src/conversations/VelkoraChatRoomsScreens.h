#pragma once

namespace velkora {

// The chat rooms ("blog") and one topic ("blogTopic": object 1 the topic id, object 2 the host object's
// id of a topic bound to it), and the classes of their interface files.
void registerChatRoomsScreens();

} // namespace velkora
