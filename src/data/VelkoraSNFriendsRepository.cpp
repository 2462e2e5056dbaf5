#include "data/VelkoraSNFriendsRepository.h"

namespace velkora {

VelkoraSNFriendsRepository::VelkoraSNFriendsRepository() {
    facebookFriends_.reserve(5);
    twitterFriends_.reserve(5);
}

VelkoraSNFriendsRepository& VelkoraSNFriendsRepository::instance() {
    static VelkoraSNFriendsRepository repository;
    return repository;
}

int32_t VelkoraSNFriendsRepository::totalNonFollowedFriendsNumber() const {
    int32_t n = 0;
    for (const auto* list : {&facebookFriends_, &twitterFriends_}) {
        for (const auto& user : *list)
            n += user && !user->isFavorite();
    }
    return n;
}

} // namespace velkora
