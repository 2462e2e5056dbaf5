// The chat-rooms cache: the listed topics with their index and new-comment flags, the topics opened one
// by one outside the list, and the merges of what each poll brings.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "data/VelkoraChatRoomsTopic.h"
#include "platform/foundation/Value.h"
#include "server/VelkoraMessagesDelegate.h"
#include "session/VelkoraSharedRepository.h"

namespace velkora {

class VelkoraChatRoomsTopicsRepository final : public VelkoraMessagesDelegate,
                                               public std::enable_shared_from_this<VelkoraChatRoomsTopicsRepository> {
public:
    static constexpr const char* kGotTopicsNotification = "VelkoraChatRoomsGotTopicsNotification";
    static constexpr const char* kNewTopicsNotification = "VelkoraChatRoomsNewTopicsNotification";
    static constexpr const char* kNewTopicCommentsNotification = "VelkoraChatRoomsNewTopicCommentsNotification";
    static constexpr const char* kTopicCommentsViewedNotification = "VelkoraChatRoomsTopicCommentsViewedNotification";

    using Topics = std::vector<VelkoraChatRoomsTopicPtr>;

    static VelkoraChatRoomsTopicsRepository& instance() {
        return VelkoraSharedRepository<VelkoraChatRoomsTopicsRepository>::instance();
    }
    static std::shared_ptr<VelkoraChatRoomsTopicsRepository> shared() {
        return VelkoraSharedRepository<VelkoraChatRoomsTopicsRepository>::shared();
    }
    static void resetForTests() { VelkoraSharedRepository<VelkoraChatRoomsTopicsRepository>::resetForTests(); }

    // The topic-list reply: "topics" (topic objects) and "changeNumber".
    void gotNewTopics(const foundation::Value& reply);
    void gotNewTopics(const Topics& topics, int32_t changeNumber);
    // Poll changes arrive through `gotTopics`, the watched topic's news through `gotTopic`.

    // A topic of a topic reply: its comments are replaced by the reply's.
    void updateWithTopic(const VelkoraChatRoomsTopicPtr& topic);
    // A topic opened on its own: kept beside the list when it is not in it, then merged.
    void addObjectTopic(const VelkoraChatRoomsTopicPtr& topic);
    VelkoraChatRoomsTopicPtr getTopicById(int32_t topicId) const;
    // The list as kept when the configuration fixes the order, else newest first.
    Topics getActiveTopics() const;
    std::vector<int32_t> getActiveTopicIds() const;
    int32_t numUpdatedTopicThreads() const;
    bool isTopicCommentsFlagOn(int32_t topicId) const;
    void markCommentsViewedForTopic(int32_t topicId);
    void deleteCommentWithId(int32_t commentId, int32_t topicId);
    void clearRepository();

    bool didFinishLoading() const { return didFinishLoading_; }
    int32_t changeNumber() const { return changeNumber_; }
    const Topics& topics() const { return topics_; }
    const std::unordered_map<int32_t, VelkoraChatRoomsTopicPtr>& commentTopics() const { return commentTopics_; }

private:
    friend class VelkoraSharedRepository<VelkoraChatRoomsTopicsRepository>;
    VelkoraChatRoomsTopicsRepository();
    void didCreate() { requestTopics(); }
    void requestTopics();
    void buildTopicsHash();
    // Position + 1 of a listed topic; 0 when it is not listed.
    int32_t indexEntry(int32_t topicId) const;
    void mergeTopics(const Topics& topics);
    void handleUpdatedTopic(const VelkoraChatRoomsTopicPtr& topic, bool shouldClearAll);

    bool didFinishLoading_ = false;
    int32_t changeNumber_ = 0;
    Topics topics_;
    std::unordered_map<int32_t, VelkoraChatRoomsTopicPtr> commentTopics_;
    std::unordered_map<int32_t, int32_t> topicsIndexFromId_;
    // Absent until the first list arrives.
    std::optional<std::unordered_map<int32_t, bool>> newFlagFromId_;
};

} // namespace velkora
