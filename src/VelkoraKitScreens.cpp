#include "VelkoraKitScreens.h"

#include "ads/VelkoraAdsScreens.h"
#include "conversations/VelkoraChatRoomsScreens.h"
#include "conversations/VelkoraChatScreens.h"
#include "conversations/VelkoraInboxScreens.h"
#include "conversations/VelkoraStickerScreens.h"
#include "feed/VelkoraFeedScreens.h"
#include "people/VelkoraAccountScreens.h"
#include "people/VelkoraFriendsScreens.h"
#include "people/VelkoraProfileScreens.h"
#include "quiz/VelkoraQuizIAPHelper.h"
#include "shell/VelkoraShellScreens.h"
#include "shell/VelkoraSidebarScreens.h"
#include "quiz/VelkoraQuizPlayScreens.h"
#include "quiz/VelkoraQuizHomeScreens.h"
#include "people/VelkoraFriendsScreens.h"
#include "conversations/VelkoraChatRoomsScreens.h"
#include "conversations/VelkoraChatScreens.h"
#include "quiz/VelkoraLeaderboardScreens.h"

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
    registerQuizPurchaseObjects();
    registerQuizPlayScreens();
    registerQuizHomeScreens();
    registerLeaderboardScreens();
}

} // namespace velkora
