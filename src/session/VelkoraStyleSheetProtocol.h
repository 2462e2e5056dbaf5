// What a host implements to restyle the kit's views: one hook per kind of element, each receiving the
// element's view and the screen that shows it. Every hook does nothing unless the host overrides it.
// This header names no class of the kit beyond a forward declaration, so a host can include it alone.
#pragma once

#include <cstdint>

namespace velkora {

namespace ui {
class View;
}

// The screen named with every hook: one number for a screen and all the cells, headers and custom views
// it shows. 9 is not used by any view.
#define VELKORA_STYLE_SCREENS(X)                                                                                       \
    X(VelkoraStyleScreenHost, 0)                                                                                       \
    X(VelkoraStyleScreenUserList, 1)                                                                                   \
    X(VelkoraStyleScreenSidebar, 2)                                                                                    \
    X(VelkoraStyleScreenInbox, 3)                                                                                      \
    X(VelkoraStyleScreenNewMessageChooser, 4)                                                                          \
    X(VelkoraStyleScreenActivityFeed, 5)                                                                               \
    X(VelkoraStyleScreenFeedSuggestions, 6)                                                                            \
    X(VelkoraStyleScreenFeedback, 7)                                                                                   \
    X(VelkoraStyleScreenTalkToUs, 8)                                                                                   \
    X(VelkoraStyleScreenNone, 9)                                                                                       \
    X(VelkoraStyleScreenFindFriends, 10)                                                                               \
    X(VelkoraStyleScreenInvitations, 11)                                                                               \
    X(VelkoraStyleScreenSuggestedUsers, 12)                                                                            \
    X(VelkoraStyleScreenChatOne, 13)                                                                                   \
    X(VelkoraStyleScreenOtherUserProfile, 14)                                                                          \
    X(VelkoraStyleScreenUserProfile, 15)                                                                               \
    X(VelkoraStyleScreenEditAbout, 16)                                                                                 \
    X(VelkoraStyleScreenRadarMapPin, 17)                                                                               \
    X(VelkoraStyleScreenRadar, 18)                                                                                     \
    X(VelkoraStyleScreenFullScreenImage, 19)                                                                           \
    X(VelkoraStyleScreenSystemMessage, 20)                                                                             \
    X(VelkoraStyleScreenChatRooms, 21)                                                                                 \
    X(VelkoraStyleScreenChatRoomTopic, 22)                                                                             \
    X(VelkoraStyleScreenLeaderboard, 23)                                                                               \
    X(VelkoraStyleScreenSignUp, 24)                                                                                    \
    X(VelkoraStyleScreenLogin, 25)                                                                                     \
    X(VelkoraStyleScreenEmailSignUp, 26)                                                                               \
    X(VelkoraStyleScreenEmailLogin, 27)                                                                                \
    X(VelkoraStyleScreenSettings, 28)                                                                                  \
    X(VelkoraStyleScreenQuizProfile, 29)                                                                               \
    X(VelkoraStyleScreenQuizzes, 30)                                                                                   \
    X(VelkoraStyleScreenQuizPlay, 31)                                                                                  \
    X(VelkoraStyleScreenQuizPurchase, 32)                                                                              \
    X(VelkoraStyleScreenSuggestQuestion, 33)                                                                           \
    X(VelkoraStyleScreenStickerPack, 34)                                                                               \
    X(VelkoraStyleScreenStickerStore, 35)                                                                              \
    X(VelkoraStyleScreenStickerKeyboard, 36)                                                                           \
    X(VelkoraStyleScreenWebPage, 37)

enum VelkoraStyleScreenId : uint32_t {
#define VELKORA_STYLE_SCREEN_ENUM(name, value) name = value,
    VELKORA_STYLE_SCREENS(VELKORA_STYLE_SCREEN_ENUM)
#undef VELKORA_STYLE_SCREEN_ENUM
};

inline constexpr uint32_t kVelkoraStyleScreenCount = 38;

class VelkoraStyleSheetProtocol {
public:
    virtual ~VelkoraStyleSheetProtocol() = default;

#define VELKORA_STYLE_HOOK(name, kind)                                                                                 \
    virtual void name(ui::View* /*element*/, uint32_t /*screen*/) {}
#include "VelkoraStyleSheetHooks.inc"
#undef VELKORA_STYLE_HOOK
};

} // namespace velkora
