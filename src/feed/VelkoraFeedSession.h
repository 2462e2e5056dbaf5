// What the feed's controls ask of the session: whether it is ready for their requests, and opening the
// chat-room topic of a host object.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace velkora {

namespace ui {
class NavigationController;
}

inline constexpr const char* kVelkoraIsReadyNotification = "VelkoraIsReady";
inline constexpr const char* kVelkoraUserSigninChangedNotification = "VelkoraUserSigninChanged";
// The feature that shows one chat-room topic.
inline constexpr int32_t kVelkoraTopicFeatureId = 109;

struct VelkoraFeedSession {
    // The session object announced itself ready, so requests go out at once.
    static bool isVelkoraReady();
    // Opens the topic feature through the session object: pushed on the host's navigation controller,
    // or shown modally in the kit's own when there is none.
    static void openTopic(const std::shared_ptr<ui::NavigationController>& navController,
                          bool velkoraNavControllerEnabled, int32_t topicId, const std::string& objectId);
};

} // namespace velkora
