// The account screens others open by feature name: "login", "signup" and "settings" (the opener of
// "settings" hands itself as the "delegate" argument or sets itself as the screen's delegate after making
// it; otherwise the sidebar is).
#pragma once

namespace velkora {

void registerAccountScreens();

} // namespace velkora
