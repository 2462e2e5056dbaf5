// The screens of the shared interface that others open by feature name.
#pragma once

namespace velkora {

// "webpage": the web page screen; its arguments are {"link": the address, "title": the screen's title}.
inline constexpr const char* kWebPageFeatureName = "webpage";

// Registers the shared interface's screen makers with VelkoraScreenRegistry.
void registerShellScreens();

} // namespace velkora
