#include "data/VelkoraChatRoomsTopic.h"

#include <algorithm>

namespace velkora {

VelkoraChatRoomsTopic::Comments VelkoraChatRoomsTopic::sortedCommentsArray(Comments comments, bool topNewest) {
    std::stable_sort(comments.begin(), comments.end(), [topNewest](const auto& a, const auto& b) {
        return topNewest ? a->commentId() > b->commentId() : a->commentId() < b->commentId();
    });
    return comments;
}

VelkoraChatRoomsTopic::Comments VelkoraChatRoomsTopic::getComments(bool topNewest) const {
    Comments all;
    all.reserve(commentFromId_.size());
    for (const auto& [id, comment] : commentFromId_) all.push_back(comment);
    return sortedCommentsArray(std::move(all), topNewest);
}

void VelkoraChatRoomsTopic::addComment(const VelkoraChatRoomsCommentPtr& comment) {
    if (!comment) return;
    commentFromId_[comment->commentId()] = comment;
}

void VelkoraChatRoomsTopic::deleteComment(int32_t commentId) { commentFromId_.erase(commentId); }

void VelkoraChatRoomsTopic::reset() {
    commentFromId_.clear();
    topicEvents_.clear();
    nextTopicEventIndex_ = 0;
}

void VelkoraChatRoomsTopic::addTopicEvents(const Comments& events) {
    for (const auto& e : events) {
        if (e) topicEvents_.push_back(e);
    }
}

VelkoraChatRoomsTopic::Comments VelkoraChatRoomsTopic::getLatestTopicEvents() {
    Comments latest(topicEvents_.begin() + static_cast<std::ptrdiff_t>(nextTopicEventIndex_), topicEvents_.end());
    nextTopicEventIndex_ = topicEvents_.size();
    return sortedCommentsArray(std::move(latest), false);
}

}  // namespace velkora
