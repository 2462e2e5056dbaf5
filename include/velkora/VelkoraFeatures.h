// The kit's features by id, as the host opens them and reads their badges.
#pragma once

#include <cstdint>
#include <string>

#include "velkora/Export.h"

namespace velkora {

enum VelkoraFeatureId : std::int32_t {
    kVelkoraFeatureActivity = 0,        // "feed"
    kVelkoraFeatureInbox = 1,           // "inbox"
    kVelkoraFeatureChatRooms = 2,       // "blog"
    kVelkoraFeatureFindFriends = 3,     // "invite"
    kVelkoraFeatureRadar = 4,           // "radar"
    kVelkoraFeatureFeedback = 100,      // "feedback"
    kVelkoraFeatureApps = 101,          // "apps" (no screen)
    kVelkoraFeatureLeaderboard = 102,   // "leaderboard"
    kVelkoraFeatureQuiz = 103,          // "quiz"
    kVelkoraFeatureLogin = 104,         // "login"
    kVelkoraFeatureSignup = 105,        // "signup"
    kVelkoraFeatureMyProfile = 106,     // "myprofile"
    kVelkoraFeatureProfile = 107,       // "profile"
    kVelkoraFeatureChat = 108,          // "chat"
    kVelkoraFeatureChatRoomTopic = 109, // "blogTopic"
    kVelkoraFeatureMenu = 110,          // "menu"
    kVelkoraFeatureStickerStore = 111,  // "stickerStore"
    kVelkoraFeatureTalkToUs = 112,      // "talkToUs"
    kVelkoraFeatureFollowers = 113,     // "userfollowers"
    kVelkoraFeatureFollowing = 114,     // "userfollowing"
    kVelkoraFeaturePosts = 115,         // "userPosts"
};

// The feature's registry name; empty for an id that has none.
VELKORA_EXPORT std::string velkoraFeatureName(std::int32_t featureId);
// The id of a registry name; 5 for a name that is none of them.
VELKORA_EXPORT std::int32_t velkoraFeatureId(const std::string& name);

} // namespace velkora
