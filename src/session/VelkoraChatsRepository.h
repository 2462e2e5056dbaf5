// The inbox cache: the conversations with their messages, merged with what each poll brings and counted
// against the viewed and deleted marks of the local user record.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/VelkoraChat.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Value.h"
#include "server/VelkoraMessagesDelegate.h"
#include "session/VelkoraSharedRepository.h"

namespace velkora {

class VelkoraChatsRepository final : public VelkoraMessagesDelegate,
                                     public std::enable_shared_from_this<VelkoraChatsRepository> {
public:
    static constexpr const char* kGotChatsNotification = "VelkoraMessagesGotChats";
    static constexpr const char* kNewMessagesNotification = "VelkoraNewMessagesNotification";
    static constexpr const char* kMessagesViewedNotification = "VelkoraMessagesViewedNotification";

    static VelkoraChatsRepository& instance() { return VelkoraSharedRepository<VelkoraChatsRepository>::instance(); }
    static std::shared_ptr<VelkoraChatsRepository> shared() {
        return VelkoraSharedRepository<VelkoraChatsRepository>::shared();
    }
    static void resetForTests() { VelkoraSharedRepository<VelkoraChatsRepository>::resetForTests(); }
    ~VelkoraChatsRepository();
    // A failed list is asked for again this many seconds later, until it arrives.
    static constexpr double kChatsRetryInterval = 15;

    // The chat-list reply (the conversations as objects): replaces the whole cache, keeping the service's order.
    void gotChats(const foundation::Value& reply);
    void gotChats(const std::vector<VelkoraChatPtr>& chats);
    // A poll's private messages arrive through `gotMessages` (none when the poll brought none). A message
    // the user sent shows a conversation the user had deleted again.
    void addSentMessage(const VelkoraMessagePtr& message);

    int32_t numNewMessageFromUser(const std::string& userId) const;
    bool isNewMessageFromUser(const std::string& userId) const { return numNewMessageFromUser(userId) > 0; }
    // Whether a message of that conversation came after both the viewed and the deleted mark.
    bool isMessaegeNew(const std::string& userId, int32_t messageId) const;
    bool isAnyNewMessage() const { return isAnyNewMessageExcept(std::nullopt); }
    bool isAnyNewMessageExcept(const std::optional<std::string>& userId) const;
    int32_t numNewMessageThreads() const;
    void setChatWasViewed(const std::string& userId);
    // The deleted mark is the conversation's highest message id from either side.
    void setChatWasDeleted(const std::string& userId);
    // The conversations in list order without those deleted since their last message from either side.
    std::vector<VelkoraChatPtr> getActiveChats() const;
    // The highest id among the messages the other user wrote; 0 when there is none.
    static int32_t getChatMaxChangeNumber(const VelkoraChat& chat);
    void reset();

    bool didFinishLoading() const { return didFinishLoading_; }
    // Newest conversation first (in the service's order until the first poll is merged).
    const std::vector<VelkoraChatPtr>& chats() const;
    const std::unordered_map<std::string, VelkoraChatPtr>& userToChats() const { return userToChats_; }
    std::shared_ptr<VelkoraMessagesDelegate> messagesDelegate() const { return messagesDelegate_.lock(); }
    void setMessagesDelegate(std::weak_ptr<VelkoraMessagesDelegate> d) { messagesDelegate_ = std::move(d); }

private:
    friend class VelkoraSharedRepository<VelkoraChatsRepository>;
    VelkoraChatsRepository();
    void didCreate() { requestChats(); }
    void requestChats();
    void chatsFailed();
    void mergeMessages(const std::optional<std::vector<VelkoraMessagePtr>>& messages);

    void touch(const VelkoraChatPtr& chat);
    // Puts the message at the front of the conversation with `user`, creating one when there is none;
    // true when a conversation was created.
    bool addToChat(const VelkoraUserPtr& user, const VelkoraMessagePtr& message, bool flagSystem);
    int32_t markOf(const std::string& userId, bool deleted) const;
    void setMark(const std::string& userId, bool deleted);
    const VelkoraChat* chatOf(const std::string& userId) const;

    bool didFinishLoading_ = false;
    std::shared_ptr<foundation::Timer> chatsRetryTimer_;
    std::unordered_map<std::string, VelkoraChatPtr> userToChats_;
    std::weak_ptr<VelkoraMessagesDelegate> messagesDelegate_;
    // The list is written out when next read. A poll touches a handful of conversations among possibly
    // very many, so the merge only notes which ones (with the order of the touches, which breaks ties in
    // time) and the read puts them in place with one pass over the untouched rest: a poll costs what it
    // brings, not what is held, and the list is not re-sorted on every poll.
    mutable std::vector<VelkoraChatPtr> chats_;
    mutable std::vector<VelkoraChatPtr> touched_;
    static constexpr size_t kTouchesBeforeWriteOut = 1024;
    // False while `chats_` is still in the service's order, which the first write-out sorts.
    mutable bool chatsSorted_ = false;
    mutable bool chatsStale_ = false;
};

} // namespace velkora
