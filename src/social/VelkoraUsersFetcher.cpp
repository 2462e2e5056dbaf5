#include "social/VelkoraUsersFetcher.h"

#include <algorithm>

#include "data/VelkoraSessionRecords.h"
#include "platform/foundation/Log.h"
#include "server/VelkoraServerApi.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraSocialConnectors.h"
#include "social/VelkoraTwitterConnector.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

VelkoraUsersFetcher::~VelkoraUsersFetcher() {
    VelkoraServerApi::clearUserDelegate(this);
}

void VelkoraUsersFetcher::loadUsersWithDelegate(std::weak_ptr<VelkoraUsersFetcherDelegate> delegate) {
    delegate_ = std::move(delegate);
    Log::line("Velkora - You're not supposed to use this method, it's abstract!");
}

void VelkoraUsersFetcher::tellDelegate() {
    if (auto d = delegate_.lock()) d->handleNewData(*this);
}

std::vector<VelkoraUserPtr> VelkoraUsersFetcher::usersOf(const Value& reply) {
    std::vector<VelkoraUserPtr> out;
    if (const auto* array = reply.asArray())
        for (const auto& v : *array)
            if (auto user = v.asObject<VelkoraUserInternal>()) out.push_back(std::move(user));
    return out;
}

std::shared_ptr<VelkoraSNUserFetcher> VelkoraSNUserFetcher::create() {
    return std::shared_ptr<VelkoraSNUserFetcher>(new VelkoraSNUserFetcher());
}

VelkoraSNUserFetcher::~VelkoraSNUserFetcher() {
    if (auto c = VelkoraSocialConnectors::twitter()) c->removeDelegate(this);
    if (auto c = VelkoraSocialConnectors::facebook()) c->removeDelegate(this);
}

std::string VelkoraSNUserFetcher::socialNetworkStr() const {
    switch (socialNetwork_) {
    case 0:
        return "facebook";
    case 1:
        return "twitter";
    case 3:
        return "linkedin";
    default:
        return "N/A";
    }
}

void VelkoraSNUserFetcher::loadUsersWithDelegate(std::weak_ptr<VelkoraUsersFetcherDelegate> delegate) {
    delegate_ = std::move(delegate);
    users_.clear();
    pagingLastSentLength_ = 0;
    // A new list starts sending from its first id.
    pagingLastSentOffset_ = 0;
    idsFromSocialNetwork_.clear();
    if (socialNetwork_ == 0)
        importFromFacebook();
    else if (socialNetwork_ == 1)
        importFromTwitter();
}

void VelkoraSNUserFetcher::importFromFacebook() {
    auto connector = VelkoraSocialConnectors::facebook();
    if (!connector) return;
    auto self = std::static_pointer_cast<VelkoraSNUserFetcher>(shared_from_this());
    std::weak_ptr<VelkoraSNUserFetcher> weak = self;
    connector->getUserFriendsWithDelegate(VelkoraConnectorTarget::pages(self, [weak](const Value& page, bool more) {
        if (auto s = weak.lock()) s->fbGotFriends(page, more);
    }));
}

void VelkoraSNUserFetcher::importFromTwitter() {
    auto connector = VelkoraSocialConnectors::twitter();
    if (!connector) return;
    auto self = std::static_pointer_cast<VelkoraSNUserFetcher>(shared_from_this());
    std::weak_ptr<VelkoraSNUserFetcher> weak = self;
    connector->getUserFriendsIdsWithDelegate(VelkoraConnectorTarget::pages(self, [weak](const Value& page, bool more) {
        if (auto s = weak.lock()) s->twitterGotFriends(page, more);
    }));
}

void VelkoraSNUserFetcher::twitterGotFriends(const Value& page, bool) {
    const auto held = static_cast<int32_t>(idsFromSocialNetwork_.size());
    const int32_t offset = pagingLastSentOffset_;
    const auto* ids = page["ids"].asArray();
    Log::line("Velkora - Twitter got friends: pagingOffset=%d, sendNow=%d, received %d", offset, offset >= held ? 1 : 0,
              ids ? static_cast<int32_t>(ids->size()) : 0);
    if (ids) idsFromSocialNetwork_.insert(idsFromSocialNetwork_.end(), ids->begin(), ids->end());
    // Caught up (or nothing sent yet): the chain restarts at the first id not sent, never at 0 again.
    if (offset >= held) sendIdsPageToVelkoraServer(offset);
}

void VelkoraSNUserFetcher::fbGotFriends(const Value& page, bool hasMore) {
    auto ids = VelkoraFBConnector::retrieveFriendsIds(page);
    std::string joined;
    for (const auto& id : ids) {
        if (!joined.empty()) joined += ',';
        joined += id.textOr("");
    }
    Log::line("Velkora - hasMore=%d, got these ids=%@", hasMore ? 1 : 0, joined);
    idsFromSocialNetwork_.insert(idsFromSocialNetwork_.end(), ids.begin(), ids.end());
    // Facebook's ids go in pages too: thousands in one request exceed the request line the service takes.
    if (!hasMore && !idsFromSocialNetwork_.empty()) sendIdsPageToVelkoraServer(0);
}

void VelkoraSNUserFetcher::sendIdsPageToVelkoraServer(int32_t offset) {
    pagingLastSentOffset_ = offset;
    const int32_t left = static_cast<int32_t>(idsFromSocialNetwork_.size()) - offset;
    if (left < 1) {
        Log::line("Velkora - Not sending a page. offset is %d, ids left %d", offset, left);
        return;
    }
    const int32_t count = std::min(left, kPageSize);
    pagingLastSentLength_ = count;
    Log::line("Velkora - Sending a page. starting %d size %d", offset, count);
    std::string joined;
    for (int32_t i = offset; i < offset + count; ++i) {
        if (!joined.empty()) joined += ',';
        joined += idsFromSocialNetwork_[static_cast<size_t>(i)].textOr("");
    }
    auto self = std::static_pointer_cast<VelkoraSNUserFetcher>(shared_from_this());
    VelkoraServerApi::getSocialNetworkFriends(VelkoraCallback(self, &VelkoraSNUserFetcher::gotVelkoraFriends),
                                              socialNetworkStr(), joined);
}

void VelkoraSNUserFetcher::gotVelkoraFriends(const Value& reply) {
    users_ = usersOf(reply);
    tellDelegate();
    sendIdsPageToVelkoraServer(pagingLastSentOffset_ + pagingLastSentLength_);
}

std::shared_ptr<VelkoraFavoritesUsersFetcher> VelkoraFavoritesUsersFetcher::create() {
    return std::shared_ptr<VelkoraFavoritesUsersFetcher>(new VelkoraFavoritesUsersFetcher());
}

VelkoraFavoritesUsersFetcher::~VelkoraFavoritesUsersFetcher() = default;

void VelkoraFavoritesUsersFetcher::loadUsersWithDelegate(std::weak_ptr<VelkoraUsersFetcherDelegate> delegate) {
    delegate_ = std::move(delegate);
    VelkoraUserPtr other = velkoraUser_;
    auto me = VelkoraSessionRecords::current().velkoraUser();
    if (other && me && other->userId() == me->userId()) other = nullptr;
    auto self = std::static_pointer_cast<VelkoraFavoritesUsersFetcher>(shared_from_this());
    VelkoraCallback callback(self, &VelkoraFavoritesUsersFetcher::gotUsers);
    if (showFollowing_)
        VelkoraServerApi::getFollowing(callback, false, other);
    else
        VelkoraServerApi::getFollowers(callback, false, other);
}

void VelkoraFavoritesUsersFetcher::gotUsers(const Value& reply) {
    users_ = usersOf(reply);
    tellDelegate();
}

} // namespace velkora
