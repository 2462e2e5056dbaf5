#include "VelkoraKitScreens.h"

#include "conversations/VelkoraInboxScreens.h"
#include "ads/VelkoraAdsScreens.h"
#include "conversations/VelkoraStickerScreens.h"
#include "feed/VelkoraFeedScreens.h"
#include "people/VelkoraAccountScreens.h"
#include "people/VelkoraProfileScreens.h"
#include "shell/VelkoraShellScreens.h"
#include "shell/VelkoraSidebarScreens.h"
#include "people/VelkoraFriendsScreens.h"
#include "conversations/VelkoraChatRoomsScreens.h"
#include "conversations/VelkoraChatScreens.h"

// One line per group of screens: `registerXxxScreens();`, declared in that group's own header.

namespace velkora {

void registerKitScreens() {
    registerAccountScreens();
    registerShellScreens();
    registerSidebarScreens();
    registerProfileScreens();
    registerStickerScreens();
    registerInboxScreens();
    registerAdsScreens();
    registerFriendsScreens();
    registerChatRoomsScreens();
    registerChatScreens();
    registerFeedScreens();
}

} // namespace velkora
