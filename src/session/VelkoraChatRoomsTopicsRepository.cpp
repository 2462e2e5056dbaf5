#include "session/VelkoraChatRoomsTopicsRepository.h"

#include <algorithm>
#include <limits>

#include "data/VelkoraAppData.h"
#include "data/VelkoraSessionRecords.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "server/VelkoraServerApi.h"

namespace velkora {

using foundation::Dictionary;
using foundation::Log;
using foundation::Value;

namespace {

constexpr size_t kCommentTopicsCapacity = 10;

double timeOf(const VelkoraChatRoomsTopicPtr& t) {
    return t->dateTime() ? *t->dateTime() : -std::numeric_limits<double>::infinity();
}

} // namespace

VelkoraChatRoomsTopicsRepository::VelkoraChatRoomsTopicsRepository() {
    commentTopics_.reserve(kCommentTopicsCapacity);
    gotTopics = [this](const Topics& topics) { mergeTopics(topics); };
    gotTopic = [this](const VelkoraChatRoomsTopicPtr& topic) { handleUpdatedTopic(topic, false); };
}

void VelkoraChatRoomsTopicsRepository::requestTopics() {
    // A failed request leaves the repository not loaded until the next clearing.
    VelkoraServerApi::getChatRoomsTopics(
        VelkoraCallback::make(shared_from_this(), [this](const Value& reply) { gotNewTopics(reply); }));
}

void VelkoraChatRoomsTopicsRepository::gotNewTopics(const Value& reply) {
    gotNewTopics(objectsOf<VelkoraChatRoomsTopic>(reply["topics"]), reply["changeNumber"].int32Or(0));
}

void VelkoraChatRoomsTopicsRepository::gotNewTopics(const Topics& list, int32_t changeNumber) {
    topics_.clear();
    for (const auto& t : list) {
        if (t) topics_.push_back(t);
    }
    buildTopicsHash();
    changeNumber_ = changeNumber;
    VelkoraServerApi::setTopicsDelegate(weak_from_this());
    didFinishLoading_ = true;
    foundation::NotificationCenter::defaultCenter().post(kGotTopicsNotification, this,
                                                         Value(Dictionary{{"newTopics", topics_.size()}}));
}

void VelkoraChatRoomsTopicsRepository::buildTopicsHash() {
    topicsIndexFromId_ = std::unordered_map<int32_t, int32_t>(topics_.size());
    newFlagFromId_.emplace(topics_.size());
    for (size_t i = 0; i < topics_.size(); ++i) {
        topicsIndexFromId_[topics_[i]->topicId()] = static_cast<int32_t>(i + 1);
        (*newFlagFromId_)[topics_[i]->topicId()] = false;
    }
}

int32_t VelkoraChatRoomsTopicsRepository::indexEntry(int32_t topicId) const {
    auto it = topicsIndexFromId_.find(topicId);
    return it == topicsIndexFromId_.end() ? 0 : it->second;
}

VelkoraChatRoomsTopicPtr VelkoraChatRoomsTopicsRepository::getTopicById(int32_t topicId) const {
    const int32_t p = indexEntry(topicId);
    if (p >= 1) {
        // While a new list is on its way the index outlives the old one: a listed topic is then not found.
        return static_cast<size_t>(p) <= topics_.size() ? topics_[static_cast<size_t>(p - 1)] : nullptr;
    }
    auto it = commentTopics_.find(topicId);
    return it == commentTopics_.end() ? nullptr : it->second;
}

void VelkoraChatRoomsTopicsRepository::mergeTopics(const Topics& batch) {
    int32_t inserted = 0, updated = 0, deleted = 0;
    for (const auto& t : batch) {
        if (!t) continue;
        const int32_t p = indexEntry(t->topicId());
        const bool listed = p >= 1 && static_cast<size_t>(p) <= topics_.size();
        if (!listed) {
            if (p >= 1 || t->isRemoved()) continue;
            topics_.insert(topics_.begin(), t);
            buildTopicsHash();
            ++inserted;
        } else if (t->isRemoved()) {
            topics_.erase(topics_.begin() + (p - 1));
            buildTopicsHash();
            ++deleted;
        } else {
            auto& held = topics_[static_cast<size_t>(p - 1)];
            held->setTitle(t->title());
            held->setText(t->text());
            held->setContentType(t->contentType());
            held->setPhotoUrl(t->photoUrl());
            if (held->commentsNumber() < t->commentsNumber() && newFlagFromId_) (*newFlagFromId_)[t->topicId()] = true;
            held->setCommentsNumber(t->commentsNumber());
            held->setLikesNumber(t->likesNumber());
            held->setDateTime(t->dateTime());
            ++updated;
        }
    }
    foundation::NotificationCenter::defaultCenter().post(
        kNewTopicsNotification, this,
        Value(Dictionary{{"newTopics", inserted}, {"updatedTopics", updated}, {"deletedTopics", deleted}}));
}

void VelkoraChatRoomsTopicsRepository::handleUpdatedTopic(const VelkoraChatRoomsTopicPtr& topic, bool shouldClearAll) {
    if (!topic) return;
    auto held = getTopicById(topic->topicId());
    if (!held) {
        Log::line("Velkora - Got update for new Topic (%d) ?! Can't be !!", topic->topicId());
        return;
    }
    held->setChangeNumber(topic->changeNumber());
    // Taken before the clearing: an opened topic may be merged into itself, and its events must survive.
    auto events = topic->getLatestTopicEvents();
    if (shouldClearAll) held->reset();
    for (const auto& e : events)
        held->addComment(e);
    foundation::NotificationCenter::defaultCenter().post(kNewTopicCommentsNotification, this,
                                                         Value(Dictionary{{"newComments", events.size()}}));
}

void VelkoraChatRoomsTopicsRepository::updateWithTopic(const VelkoraChatRoomsTopicPtr& topic) {
    handleUpdatedTopic(topic, true);
}

void VelkoraChatRoomsTopicsRepository::addObjectTopic(const VelkoraChatRoomsTopicPtr& topic) {
    if (!topic) return;
    commentTopics_.try_emplace(topic->topicId(), topic);
    handleUpdatedTopic(topic, false);
}

VelkoraChatRoomsTopicsRepository::Topics VelkoraChatRoomsTopicsRepository::getActiveTopics() const {
    auto appData = VelkoraSessionRecords::current().getAppData();
    if (appData && appData->fixedTopicsOrder()) return topics_;
    Topics sorted = topics_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return timeOf(a) > timeOf(b); });
    return sorted;
}

std::vector<int32_t> VelkoraChatRoomsTopicsRepository::getActiveTopicIds() const {
    std::vector<int32_t> ids;
    ids.reserve(topics_.size());
    for (const auto& t : topics_)
        ids.push_back(t->topicId());
    return ids;
}

int32_t VelkoraChatRoomsTopicsRepository::numUpdatedTopicThreads() const {
    if (!newFlagFromId_) return 0;
    return static_cast<int32_t>(
        std::count_if(newFlagFromId_->begin(), newFlagFromId_->end(), [](const auto& entry) { return entry.second; }));
}

bool VelkoraChatRoomsTopicsRepository::isTopicCommentsFlagOn(int32_t topicId) const {
    if (!newFlagFromId_) return false;
    auto it = newFlagFromId_->find(topicId);
    return it != newFlagFromId_->end() && it->second;
}

void VelkoraChatRoomsTopicsRepository::markCommentsViewedForTopic(int32_t topicId) {
    if (newFlagFromId_) (*newFlagFromId_)[topicId] = false;
    foundation::NotificationCenter::defaultCenter().post(kTopicCommentsViewedNotification, this,
                                                         Value(Dictionary{{"topicId", topicId}}));
}

void VelkoraChatRoomsTopicsRepository::deleteCommentWithId(int32_t commentId, int32_t topicId) {
    if (auto topic = getTopicById(topicId)) {
        topic->deleteComment(commentId);
        return;
    }
    Log::line("Velkora - deleteTopicById - Topic with Id %d does not exist in repository", topicId);
}

void VelkoraChatRoomsTopicsRepository::clearRepository() {
    VelkoraServerApi::setTopicsDelegate({});
    topics_.clear();
    didFinishLoading_ = false;
    requestTopics();
}

} // namespace velkora
