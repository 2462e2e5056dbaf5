// The account screens others open by feature name: "login", "signup" and "settings" (the opener of
// "settings" sets itself as the screen's delegate after making it).
#pragma once

namespace velkora {

void registerAccountScreens();

} // namespace velkora
