// The feed's screens by feature name: "feed", "userPosts" (object 1 the user or a user id) and
// "suggestedUsers".
#pragma once

namespace velkora {

void registerFeedScreens();

} // namespace velkora
