// The sidebar's makers in the registry of screens and kit objects: the sidebar's root screen, and the
// activation button and ribbon a host places in its own screens.
#pragma once

namespace velkora {

void registerSidebarScreens();

} // namespace velkora
