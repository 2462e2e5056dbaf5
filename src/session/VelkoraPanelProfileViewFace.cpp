#include "session/VelkoraPanelProfileViewFace.h"

#include <mutex>

#include "platform/foundation/Log.h"

namespace velkora {

namespace {
std::mutex g_mutex;
VelkoraPanelProfileViewFace::Maker& maker() {
    static VelkoraPanelProfileViewFace::Maker m;
    return m;
}
} // namespace

void VelkoraPanelProfileViewFace::registerMaker(Maker m) {
    std::lock_guard lock(g_mutex);
    maker() = std::move(m);
}

std::shared_ptr<VelkoraPanelProfileViewFace> VelkoraPanelProfileViewFace::make(bool withMessages) {
    Maker m;
    {
        std::lock_guard lock(g_mutex);
        m = maker();
    }
    if (!m) {
        foundation::Log::line("Velkora (W) - The screen '%@' is not part of this build",
                              std::string("panelProfileView"));
        return nullptr;
    }
    return m(withMessages);
}

} // namespace velkora
