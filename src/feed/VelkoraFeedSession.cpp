#include "feed/VelkoraFeedSession.h"

#include "platform/foundation/Value.h"
#include "platform/ui/NavigationController.h"
#include "session/VelkoraAgentInternal.h"

namespace velkora {

bool VelkoraFeedSession::isVelkoraReady() {
    return VelkoraAgentInternal::instance().isVelkoraReady();
}

void VelkoraFeedSession::openTopic(const std::shared_ptr<ui::NavigationController>& navController,
                                   bool velkoraNavControllerEnabled, int32_t topicId, const std::string& objectId) {
    VelkoraAgentInternal::instance().openFeature(kVelkoraTopicFeatureId, navController, velkoraNavControllerEnabled,
                                                 foundation::Value(topicId), foundation::Value(objectId));
}

} // namespace velkora
