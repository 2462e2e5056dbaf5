// The like control a host places in its own screens: the like count of one of its things and whether the
// signed-in user likes it; a tap likes or unlikes. Everything here is used on the main loop's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "velkora/Export.h"
#include "velkora/VelkoraHost.h"

namespace velkora {

class VelkoraChatRoom;
class VelkoraChatRoomComment;

namespace host {

class VELKORA_EXPORT VelkoraLikeButton {
public:
    // What a host's thing is; any other value is liked as a thing of no kind.
    enum Type : int32_t { NONE = 0, IMAGE = 1, VIDEO = 2, POST = 3, OTHER = 6 };
    // Told the thing's data and whether it is liked each time the control settles on what it shows
    // (never while a like or unlike is on its way).
    using Delegate = std::function<void(const std::string& data, bool liked)>;

    // A control of that frame, not yet in a view; it shows the like face and takes no taps until it
    // knows the count of a bound thing.
    static std::shared_ptr<VelkoraLikeButton> create(const VelkoraRect& frame);
    // Takes the control out of its view; nothing it asked calls back any more.
    ~VelkoraLikeButton();
    VelkoraLikeButton(const VelkoraLikeButton&) = delete;
    VelkoraLikeButton& operator=(const VelkoraLikeButton&) = delete;

    void addTo(const std::shared_ptr<VelkoraView>& view);
    void addTo(const std::shared_ptr<VelkoraWindow>& window);
    void removeFromView();
    VelkoraRect frame() const;
    void setFrame(const VelkoraRect& frame);

    // Binds a thing of the host's by its id; its count is asked once the kit is ready.
    void updateLikeObject(const std::string& objectId, int32_t type,
                          const std::optional<std::string>& description = std::nullopt);
    // Binds a chat room's comment or the chat room itself, with the count the kit holds.
    void updateLikeObjectFromChatRoomsWithComment(const std::shared_ptr<VelkoraChatRoomComment>& comment);
    void updateLikeObjectFromChatRoomsWithTopic(const std::shared_ptr<VelkoraChatRoom>& room);

    // As a tap on the like or the unlike face; a thing already liked (or not) sends nothing.
    void clickLike();
    void clickUnlike();

    // The count is known and the control takes taps.
    bool isReady() const;
    // The count shown, a like or unlike on its way included.
    int count() const;
    // Whether it shows the thing liked.
    bool isLiked() const;
    // A like or unlike of the bound thing is on its way.
    bool isPending() const;

    void setDelegate(Delegate delegate);

    struct Impl;
    const std::shared_ptr<Impl>& impl() const { return impl_; }

private:
    VelkoraLikeButton() = default;
    std::shared_ptr<Impl> impl_;
};

} // namespace host
} // namespace velkora
