// The session object's duties toward the feature screens: the host's style sheet, the activation
// image, the preloaded features and their badges.
#include "session/VelkoraAgentInternal.h"
#include "shell/VelkoraStyleSheetCustomizer.h"

namespace velkora {

void VelkoraAgentInternal::setCustomStyleSheet(std::shared_ptr<VelkoraStyleSheetProtocol> sheet) {
    VelkoraStyleSheetCustomizer::instance().setCustomStyleSheet(std::move(sheet));
}

} // namespace velkora
