// A chat room (a topic of the application's chat rooms) and its comments as the host sees them, read
// through to the kit's own records. Completions run once, on the main loop's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velkora/Export.h"
#include "velkora/VelkoraUser.h"

namespace velkora {

class VELKORA_EXPORT VelkoraChatRoomComment {
public:
    int commentId() const;
    int topicId() const;
    int likesNumber() const;
    // Seconds since 1970.
    double dateTime() const;
    std::optional<std::string> text() const;
    std::shared_ptr<VelkoraUser> user() const;

    struct Impl;
    explicit VelkoraChatRoomComment(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<Impl>& impl() const { return impl_; }

private:
    std::shared_ptr<Impl> impl_;
};

class VELKORA_EXPORT VelkoraChatRoom {
public:
    using Completion = std::function<void(std::shared_ptr<VelkoraChatRoom> room, bool succeeded)>;
    using CommentsCompletion =
        std::function<void(std::shared_ptr<VelkoraChatRoom> room,
                           std::vector<std::shared_ptr<VelkoraChatRoomComment>> comments, bool succeeded)>;

    // The room of a topic id: at once when the kit holds the topic, else after the service answers. A
    // negative id, an unknown topic or a failing service answers (null, false).
    static void getChatRoomByTopicId(int topicId, Completion completion);

    // The comments the kit holds, newest first.
    std::vector<std::shared_ptr<VelkoraChatRoomComment>> getComments() const;
    // The comments older than `earliestCommentId`, in the service's order; a failing service answers
    // (this room, none, false).
    void getPreviousComments(int earliestCommentId, CommentsCompletion completion);

    int topicId() const;
    int commentsNumber() const;
    int likesNumber() const;
    double dateTime() const;
    bool isRemoved() const;
    // The room belongs to a host object rather than to the application's list.
    bool isAdhoc() const;
    bool hasPhoto() const;
    std::shared_ptr<VelkoraUser> user() const;
    // Writing these changes the kit's local copy only.
    std::optional<std::string> title() const;
    void setTitle(const std::string& title);
    std::optional<std::string> text() const;
    void setText(const std::string& text);
    std::optional<std::string> photoUrl() const;
    void setPhotoUrl(const std::string& url);

    struct Impl;
    explicit VelkoraChatRoom(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<Impl>& impl() const { return impl_; }

private:
    std::shared_ptr<Impl> impl_;
};

} // namespace velkora
