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
    if (topNewest) return Comments(comments_.rbegin(), comments_.rend());
    return comments_;
}

namespace {
bool lowerId(const VelkoraChatRoomsCommentPtr& c, int32_t id) {
    return c->commentId() < id;
}
} // namespace

void VelkoraChatRoomsTopic::addComment(const VelkoraChatRoomsCommentPtr& comment) {
    if (!comment) return;
    const int32_t id = comment->commentId();
    if (comments_.empty() || comments_.back()->commentId() < id) {
        comments_.push_back(comment);
        return;
    }
    ++rewrites_;
    auto at = std::lower_bound(comments_.begin(), comments_.end(), id, lowerId);
    if (at != comments_.end() && (*at)->commentId() == id)
        *at = comment;
    else
        comments_.insert(at, comment);
}

void VelkoraChatRoomsTopic::deleteComment(int32_t commentId) {
    auto at = std::lower_bound(comments_.begin(), comments_.end(), commentId, lowerId);
    if (at == comments_.end() || (*at)->commentId() != commentId) return;
    comments_.erase(at);
    ++rewrites_;
}

void VelkoraChatRoomsTopic::reset() {
    comments_.clear();
    ++rewrites_;
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

} // namespace velkora
