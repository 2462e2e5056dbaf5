#include "session/VelkoraChatsRepository.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <unordered_set>

#include "data/VelkoraSessionRecords.h"
#include "data/VelkoraUserInfo.h"
#include "platform/foundation/NotificationCenter.h"
#include "server/VelkoraServerApi.h"

namespace velkora {

using foundation::Array;
using foundation::Dictionary;
using foundation::Value;

namespace {

std::string idOf(const VelkoraUserPtr& user) {
    return user && user->userId() ? *user->userId() : std::string();
}

double newestTime(const VelkoraChat& chat) {
    // A conversation without a dated message goes after every dated one.
    if (chat.messages().empty() || !chat.messages().front() || !chat.messages().front()->time())
        return -std::numeric_limits<double>::infinity();
    // A time that is no number would leave the order undefined; it sorts as an undated conversation.
    const double time = *chat.messages().front()->time();
    return std::isnan(time) ? -std::numeric_limits<double>::infinity() : time;
}

bool newestFirst(const VelkoraChatPtr& a, const VelkoraChatPtr& b) {
    return newestTime(*a) > newestTime(*b);
}

// A set of users as the notifications carry it: each user once, in the order first met. The users it
// keeps hold the ids it looks at, so those are not copied.
class UserSet {
public:
    explicit UserSet(size_t expected) {
        ids_.reserve(expected);
        users_.reserve(expected);
    }
    void add(const VelkoraUserPtr& user) {
        if (!user) return;
        const bool fresh = user->userId() ? ids_.insert(*user->userId()).second : objects_.insert(user.get()).second;
        if (fresh) users_.push_back(Value::object(user));
    }
    Value value() && { return Value(std::move(users_)); }

private:
    std::unordered_set<std::string_view> ids_;
    std::unordered_set<const VelkoraUserInternal*> objects_;
    Array users_;
};

using ChangeNumbers = VelkoraUserInfo::ChangeNumbersMap;

// The highest message id of a conversation from either side: what a deletion hides, and what a newer
// message goes past.
int32_t highestMessageId(const VelkoraChat& chat) {
    int32_t highest = 0;
    for (const auto& m : chat.messages())
        if (m) highest = std::max(highest, m->messageId());
    return highest;
}

std::shared_ptr<VelkoraUserInfo> userInfo() {
    return VelkoraSessionRecords::current().getUserInfo();
}

} // namespace

VelkoraChatsRepository::VelkoraChatsRepository() {
    gotMessages = [this](const std::optional<std::vector<VelkoraMessagePtr>>& m) { mergeMessages(m); };
}

VelkoraChatsRepository::~VelkoraChatsRepository() {
    if (chatsRetryTimer_) chatsRetryTimer_->invalidate();
}

void VelkoraChatsRepository::requestChats() {
    if (chatsRetryTimer_) chatsRetryTimer_->invalidate();
    chatsRetryTimer_.reset();
    VelkoraServerApi::getChats(VelkoraCallback::make(
        shared_from_this(), [this](const Value& reply) { gotChats(reply); },
        [this](const foundation::ErrorPtr&) { chatsFailed(); }));
}

void VelkoraChatsRepository::chatsFailed() {
    // Without the list the inbox has nothing to show and the poll brings no messages: it is asked for
    // again on the run loop's clock until it arrives, as the session asks again for a user id.
    if (didFinishLoading_ || chatsRetryTimer_) return;
    std::weak_ptr<VelkoraChatsRepository> weak = weak_from_this();
    chatsRetryTimer_ = foundation::RunLoop::main().schedule(kChatsRetryInterval, false, [weak](foundation::Timer&) {
        if (auto self = weak.lock(); self && !self->didFinishLoading_) self->requestChats();
    });
}

void VelkoraChatsRepository::gotChats(const Value& reply) {
    gotChats(objectsOf<VelkoraChat>(reply));
}

void VelkoraChatsRepository::gotChats(const std::vector<VelkoraChatPtr>& list) {
    auto info = userInfo();
    const int32_t oldMark = info ? info->messagesChangeNumber() : 0;

    chats_.clear();
    chats_.reserve(list.size());
    touched_.clear();
    chatsSorted_ = false;
    chatsStale_ = false;
    userToChats_.clear();
    userToChats_.reserve(list.size() * 2);
    UserSet users(list.size());
    int32_t highest = 0;
    std::unordered_set<const VelkoraChat*> listed;
    listed.reserve(list.size() * 2);
    for (const auto& chat : list) {
        // The list holds each conversation once however often the reply names it.
        if (!chat || !listed.insert(chat.get()).second) continue;
        chats_.push_back(chat);
        if (chat->user()) userToChats_[idOf(chat->user())] = chat;
        users.add(chat->user());
        highest = std::max(highest, getChatMaxChangeNumber(*chat));
    }

    VelkoraServerApi::setMessagesChangeNumber(highest);
    VelkoraServerApi::setMessagesDelegate(weak_from_this());
    didFinishLoading_ = true;
    foundation::NotificationCenter::defaultCenter().post(
        kGotChatsNotification, this,
        Value(Dictionary{{"users", std::move(users).value()}, {"newMessages", highest > oldMark}}));
}

void VelkoraChatsRepository::touch(const VelkoraChatPtr& chat) {
    touched_.push_back(chat);
    chatsStale_ = true;
    // With nobody reading the list, the notes would grow with every poll; writing the list out once they
    // outnumber the conversations keeps them bounded at a cost that stays constant per message.
    if (touched_.size() > std::max<size_t>(kTouchesBeforeWriteOut, chats_.size())) chats();
}

bool VelkoraChatsRepository::addToChat(const VelkoraUserPtr& user, const VelkoraMessagePtr& message, bool flagSystem) {
    // A conversation needs the other user: a message naming nobody has nowhere to go.
    if (!user) return false;
    static const std::string noId;
    // The id is copied only when a conversation is made for it.
    auto& slot = userToChats_.try_emplace(user->userId() ? *user->userId() : noId).first->second;
    const bool created = !slot;
    if (created) {
        slot = std::make_shared<VelkoraChat>();
        slot->setUser(user);
        slot->mutableMessages().push_back(message);
        slot->setNumMessages(1);
        if (flagSystem) slot->setSystemChat(message->isSystem());
    } else {
        auto& messages = slot->mutableMessages();
        messages.insert(messages.begin(), message);
        slot->setNumMessages(slot->numMessages() + 1);
    }
    touch(slot);
    return created;
}

void VelkoraChatsRepository::mergeMessages(const std::optional<std::vector<VelkoraMessagePtr>>& messages) {
    Dictionary info;
    int32_t newUsers = 0;
    if (messages) {
        UserSet users(messages->size());
        Array received;
        received.reserve(messages->size());
        for (const auto& m : *messages) {
            if (!m) continue;
            received.push_back(Value::object(m));
            users.add(m->sender());
            if (addToChat(m->sender(), m, true)) ++newUsers;
        }
        info.set("messages", Value(std::move(received)));
        info.set("users", std::move(users).value());
    }
    // Even a poll without messages re-sorts, as the list's first merge does.
    chatsStale_ = true;
    if (auto d = messagesDelegate_.lock(); d && d->gotMessages) d->gotMessages(messages);
    info.set("newUsers", newUsers);
    foundation::NotificationCenter::defaultCenter().post(kNewMessagesNotification, this, Value(std::move(info)));
}

void VelkoraChatsRepository::addSentMessage(const VelkoraMessagePtr& message) {
    if (!message) return;
    addToChat(message->otherUser(), message, false);
    // A message just sent has no id from the service yet, so it cannot go past the deleted mark: the
    // mark is lifted instead. It becomes the viewed mark, so the unread count stays what it was.
    const std::string id = idOf(message->otherUser());
    auto info = userInfo();
    if (id.empty() || !info || !info->usersDeletedChangeNumbersMap()) return;
    auto deleted = info->usersDeletedChangeNumbersMap();
    auto it = deleted->find(id);
    if (it == deleted->end()) return;
    auto viewed = info->usersLastViewedChangeNumbersMap();
    if (!viewed) viewed.emplace();
    (*viewed)[id] = std::max(markOf(id, false), it->second);
    deleted->erase(it);
    info->setUsersLastViewedChangeNumbersMap(std::move(viewed));
    info->setUsersDeletedChangeNumbersMap(std::move(deleted));
    VelkoraSessionRecords::current().saveUserInfo();
}

const std::vector<VelkoraChatPtr>& VelkoraChatsRepository::chats() const {
    if (!chatsStale_) return chats_;
    // Each touched conversation once, the one touched last first; a stable sort by time then leaves equal
    // times in that order.
    std::unordered_set<const VelkoraChat*> seen;
    seen.reserve(touched_.size() * 2);
    std::vector<VelkoraChatPtr> moved;
    for (auto it = touched_.rbegin(); it != touched_.rend(); ++it) {
        if (seen.insert(it->get()).second) moved.push_back(std::move(*it));
    }
    touched_.clear();
    std::stable_sort(moved.begin(), moved.end(), newestFirst);

    std::vector<VelkoraChatPtr> rest;
    rest.reserve(chats_.size());
    for (auto& chat : chats_) {
        if (!seen.count(chat.get())) rest.push_back(std::move(chat));
    }
    // Equal times keep the order they had: the service's at first, then that of the touches.
    if (!chatsSorted_) {
        std::stable_sort(rest.begin(), rest.end(), newestFirst);
        chatsSorted_ = true;
    }

    chats_.clear();
    chats_.reserve(rest.size() + moved.size());
    auto next = rest.begin();
    for (auto& chat : moved) {
        const double time = newestTime(*chat);
        while (next != rest.end() && newestTime(**next) > time)
            chats_.push_back(std::move(*next++));
        chats_.push_back(std::move(chat));
    }
    std::move(next, rest.end(), std::back_inserter(chats_));
    chatsStale_ = false;
    return chats_;
}

int32_t VelkoraChatsRepository::getChatMaxChangeNumber(const VelkoraChat& chat) {
    int32_t highest = 0;
    if (!chat.user()) return 0;
    for (const auto& m : chat.messages()) {
        if (m && chat.user()->isEqual(m->sender())) highest = std::max(highest, m->messageId());
    }
    return highest;
}

const VelkoraChat* VelkoraChatsRepository::chatOf(const std::string& userId) const {
    auto it = userToChats_.find(userId);
    return it == userToChats_.end() ? nullptr : it->second.get();
}

int32_t VelkoraChatsRepository::markOf(const std::string& userId, bool deleted) const {
    auto info = userInfo();
    if (!info) return 0;
    const auto& map = deleted ? info->usersDeletedChangeNumbersMap() : info->usersLastViewedChangeNumbersMap();
    if (!map) return 0;
    auto it = map->find(userId);
    return it == map->end() ? 0 : it->second;
}

int32_t VelkoraChatsRepository::numNewMessageFromUser(const std::string& userId) const {
    const VelkoraChat* chat = chatOf(userId);
    if (!chat) return 0;
    // The deleted mark may stand above the other user's messages (it counts the user's own too).
    return std::max(0, getChatMaxChangeNumber(*chat) - std::max(markOf(userId, false), markOf(userId, true)));
}

bool VelkoraChatsRepository::isMessaegeNew(const std::string& userId, int32_t messageId) const {
    return messageId > std::max(markOf(userId, false), markOf(userId, true));
}

bool VelkoraChatsRepository::isAnyNewMessageExcept(const std::optional<std::string>& userId) const {
    for (const auto& chat : chats()) {
        const std::string id = idOf(chat->user());
        if (userId && id == *userId) continue;
        if (isNewMessageFromUser(id)) return true;
    }
    return false;
}

int32_t VelkoraChatsRepository::numNewMessageThreads() const {
    int32_t n = 0;
    for (const auto& chat : chats()) {
        if (isNewMessageFromUser(idOf(chat->user()))) ++n;
    }
    return n;
}

void VelkoraChatsRepository::setMark(const std::string& userId, bool deleted) {
    const VelkoraChat* chat = chatOf(userId);
    const int32_t mark = !chat ? 0 : deleted ? highestMessageId(*chat) : getChatMaxChangeNumber(*chat);
    auto info = userInfo();
    if (!info) return;
    auto map = deleted ? info->usersDeletedChangeNumbersMap() : info->usersLastViewedChangeNumbersMap();
    if (!map) map.emplace();
    (*map)[userId] = mark;
    if (deleted)
        info->setUsersDeletedChangeNumbersMap(std::move(map));
    else
        info->setUsersLastViewedChangeNumbersMap(std::move(map));
    VelkoraSessionRecords::current().saveUserInfo();
}

void VelkoraChatsRepository::setChatWasViewed(const std::string& userId) {
    setMark(userId, false);
    foundation::NotificationCenter::defaultCenter().post(kMessagesViewedNotification, this,
                                                         Value(Dictionary{{"user", userId}}));
}

void VelkoraChatsRepository::setChatWasDeleted(const std::string& userId) {
    setMark(userId, true);
}

std::vector<VelkoraChatPtr> VelkoraChatsRepository::getActiveChats() const {
    std::vector<VelkoraChatPtr> active;
    auto info = userInfo();
    const ChangeNumbers* deleted =
        info && info->usersDeletedChangeNumbersMap() ? &*info->usersDeletedChangeNumbersMap() : nullptr;
    for (const auto& chat : chats()) {
        if (deleted) {
            auto it = deleted->find(idOf(chat->user()));
            if (it != deleted->end() && it->second >= highestMessageId(*chat)) continue;
        }
        active.push_back(chat);
    }
    return active;
}

void VelkoraChatsRepository::reset() {
    VelkoraServerApi::setMessagesChangeNumber(0);
    VelkoraServerApi::setMessagesDelegate({});
    chats_.clear();
    touched_.clear();
    chatsSorted_ = false;
    chatsStale_ = false;
    userToChats_.clear();
    didFinishLoading_ = false;
    requestChats();
}

} // namespace velkora
