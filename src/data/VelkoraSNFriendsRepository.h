// The user's social-network friends who use the application, one list per network.
#pragma once

#include <cstdint>
#include <vector>

#include "data/VelkoraUserInternal.h"

namespace velkora {

class VelkoraSNFriendsRepository {
public:
    static VelkoraSNFriendsRepository& instance();

    // Friends in either list the user does not follow; a friend in both lists counts twice.
    int32_t totalNonFollowedFriendsNumber() const;

    const std::vector<VelkoraUserPtr>& facebookFriends() const { return facebookFriends_; }
    void setFacebookFriends(std::vector<VelkoraUserPtr> friends) { facebookFriends_ = std::move(friends); }
    const std::vector<VelkoraUserPtr>& twitterFriends() const { return twitterFriends_; }
    void setTwitterFriends(std::vector<VelkoraUserPtr> friends) { twitterFriends_ = std::move(friends); }

private:
    VelkoraSNFriendsRepository();
    std::vector<VelkoraUserPtr> facebookFriends_;
    std::vector<VelkoraUserPtr> twitterFriends_;
};

} // namespace velkora
