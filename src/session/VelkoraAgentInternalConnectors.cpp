// The session's social-network connectors, made once at start-up and handed out to the screens.
#include "session/VelkoraAgentInternal.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraTwitterConnector.h"

namespace velkora {

void VelkoraAgentInternal::initTwitterConnector() {
    if (!twitterConnector_) twitterConnector_ = VelkoraTwitterConnector::create();
}

void VelkoraAgentInternal::initFacebookConnector() {
    if (!fbConnector_) fbConnector_ = VelkoraFBConnector::create();
}

} // namespace velkora
