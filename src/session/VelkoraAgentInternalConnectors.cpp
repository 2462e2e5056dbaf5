// The session's social-network connectors, made once at start-up and handed out to the screens.
#include "people/VelkoraFBConnector.h"
#include "people/VelkoraTwitterConnector.h"
#include "session/VelkoraAgentInternal.h"

namespace velkora {

void VelkoraAgentInternal::initTwitterConnector() {
    if (!twitterConnector_) twitterConnector_ = VelkoraTwitterConnector::create();
}

void VelkoraAgentInternal::initFacebookConnector() {
    if (!fbConnector_) fbConnector_ = VelkoraFBConnector::create();
}

} // namespace velkora
