// What the kit keeps for the life of the process, let go between tests: the repositories of the service's
// data, the caches and the buffers that fill from it. Each test's service starts its ids anew, so a topic,
// user or like object one test left behind would stand for another in the next one run in the same process.
#pragma once

#include "ads/VelkoraNativeAdsController.h"
#include "conversations/VelkoraChatOutbox.h"
#include "data/VelkoraAppDealsRepository.h"
#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "session/VelkoraChatsRepository.h"
#include "session/VelkoraFeedMessagesRepository.h"
#include "session/VelkoraQuizzesRepository.h"
#include "data/VelkoraSNFriendsRepository.h"
#include "data/VelkoraUsersRepository.h"
#include "feed/VelkoraLikeButton.h"
#include "social/VelkoraIdentityFields.h"
#include "platform/services/facebook/Dialogs.h"
#include "shell/VelkoraResizedImagesCache.h"

namespace velkora::testing {

inline void resetKitStateForTests() {
    VelkoraFeedMessagesRepository::resetForTests();
    VelkoraChatRoomsTopicsRepository::resetForTests();
    VelkoraChatsRepository::resetForTests();
    VelkoraQuizzesRepository::resetForTests();
    VelkoraUsersRepository::instance().reset();
    VelkoraSNFriendsRepository::instance().setFacebookFriends({});
    VelkoraSNFriendsRepository::instance().setTwitterFriends({});
    VelkoraAppDealsRepository::instance().cleaerRepository();
    VelkoraAppDealsRepository::instance().setLastUpdateTime(std::nullopt);
    VelkoraChatOutbox::resetForTests();
    VelkoraLikeButton::resetForTests();
    VelkoraNativeAdsController::resetForTests();
    VelkoraResizedImagesCache::resetForTests();
    VelkoraIdentityFields::forgetReplaced();
    // The device's Facebook dialogs, which a case may take away to show what the kit does without them.
    services::facebook::WebDialogs::setAvailable(true);
    services::facebook::NativeDialogs::setAvailable(true);
}

} // namespace velkora::testing
