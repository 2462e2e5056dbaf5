#include "shell/VelkoraActivationRibonView.h"

#include "shell/VelkoraSidebarClasses.h"

namespace velkora {

std::shared_ptr<VelkoraActivationRibonView> VelkoraActivationRibonView::create() {
    auto ribbon = std::make_shared<VelkoraActivationRibonView>();
    ribbon->postInit();
    return ribbon;
}

void VelkoraActivationRibonView::loadNib() {
    registerSidebarClasses();
    ui::InterfaceLoader::instance().loadNibNamed(kInterface, this);
}

} // namespace velkora
