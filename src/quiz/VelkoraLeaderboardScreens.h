// The leaderboard's maker (feature 102), the question-suggestion form's, and the feed's kit actions,
// registered with the screen registry at start-up.
#pragma once

#include "platform/foundation/Error.h"

namespace velkora {

namespace ui {
class View;
}

void registerLeaderboardScreens();

// Tells the person that a request of these screens failed, in the key window (else `fallback`): the
// service's own words when it gave some, else that the network is missing.
void showLeaderboardFailureNotice(const foundation::ErrorPtr& error, ui::View* fallback);

} // namespace velkora
