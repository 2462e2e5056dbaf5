// Fetchers of lists of users: the service's users among the signed-in user's Facebook or Twitter
// friends, and the followers or followed users of a user. Each tells its delegate, on the main run loop,
// every time its list changes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/VelkoraUserInternal.h"
#include "platform/foundation/Value.h"

namespace velkora {

class VelkoraUsersFetcher;

class VelkoraUsersFetcherDelegate {
public:
    virtual ~VelkoraUsersFetcherDelegate() = default;
    virtual void handleNewData(VelkoraUsersFetcher& fetcher) = 0;
};

class VelkoraUsersFetcher : public std::enable_shared_from_this<VelkoraUsersFetcher> {
public:
    virtual ~VelkoraUsersFetcher();
    // Stores the delegate (not retained) and starts loading.
    virtual void loadUsersWithDelegate(std::weak_ptr<VelkoraUsersFetcherDelegate> delegate);
    const std::vector<VelkoraUserPtr>& getUsers() const { return users_; }
    std::vector<VelkoraUserPtr>& users() { return users_; }

protected:
    VelkoraUsersFetcher() = default;
    void tellDelegate();
    // The users of a reply: model objects of an array.
    static std::vector<VelkoraUserPtr> usersOf(const foundation::Value& reply);

    std::vector<VelkoraUserPtr> users_;
    std::weak_ptr<VelkoraUsersFetcherDelegate> delegate_;
};

class VelkoraSNUserFetcher : public VelkoraUsersFetcher {
public:
    static constexpr int32_t kPageSize = 200;

    static std::shared_ptr<VelkoraSNUserFetcher> create();
    ~VelkoraSNUserFetcher() override;

    void loadUsersWithDelegate(std::weak_ptr<VelkoraUsersFetcherDelegate> delegate) override;
    int32_t socialNetwork() const { return socialNetwork_; }
    void setSocialNetwork(int32_t network) { socialNetwork_ = network; }
    // "facebook", "twitter", "linkedin", or "N/A".
    std::string socialNetworkStr() const;
    const std::vector<foundation::Value>& idsFromSocialNetwork() const { return idsFromSocialNetwork_; }
    int32_t pagingLastSentOffset() const { return pagingLastSentOffset_; }
    int32_t pagingLastSentLength() const { return pagingLastSentLength_; }

    void fbGotFriends(const foundation::Value& page, bool hasMore);
    void twitterGotFriends(const foundation::Value& page, bool hasMore);
    void sendIdsPageToVelkoraServer(int32_t offset);
    void gotVelkoraFriends(const foundation::Value& reply);

private:
    VelkoraSNUserFetcher() = default;
    void importFromFacebook();
    void importFromTwitter();

    int32_t socialNetwork_ = 0;
    std::vector<foundation::Value> idsFromSocialNetwork_;
    int32_t pagingLastSentOffset_ = 0;
    int32_t pagingLastSentLength_ = 0;
};

class VelkoraFavoritesUsersFetcher : public VelkoraUsersFetcher {
public:
    static std::shared_ptr<VelkoraFavoritesUsersFetcher> create();
    ~VelkoraFavoritesUsersFetcher() override;

    void loadUsersWithDelegate(std::weak_ptr<VelkoraUsersFetcherDelegate> delegate) override;
    bool showFollowing() const { return showFollowing_; }
    void setShowFollowing(bool v) { showFollowing_ = v; }
    // Whose lists; null for the signed-in user.
    const VelkoraUserPtr& velkoraUser() const { return velkoraUser_; }
    void setVelkoraUser(VelkoraUserPtr user) { velkoraUser_ = std::move(user); }
    void gotUsers(const foundation::Value& reply);

private:
    VelkoraFavoritesUsersFetcher() = default;
    bool showFollowing_ = false;
    VelkoraUserPtr velkoraUser_;
};

} // namespace velkora
