// The comment control a host places beside one of its objects: the comment count of the object's chat
// room, and on a tap the chat room itself. Everything here is used on the main loop's thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "velkora/Export.h"
#include "velkora/VelkoraHost.h"

namespace velkora::host {

class VELKORA_EXPORT VelkoraCommentButton {
public:
    // A control of that frame, not yet in a view; hidden until the object's chat room is known.
    static std::shared_ptr<VelkoraCommentButton> create(const VelkoraRect& frame);
    // Takes the control out of its view; nothing it asked calls back any more.
    ~VelkoraCommentButton();
    VelkoraCommentButton(const VelkoraCommentButton&) = delete;
    VelkoraCommentButton& operator=(const VelkoraCommentButton&) = delete;

    void addTo(const std::shared_ptr<VelkoraView>& view);
    void addTo(const std::shared_ptr<VelkoraWindow>& window);
    void removeFromView();
    VelkoraRect frame() const;
    void setFrame(const VelkoraRect& frame);

    // Binds an object of the host's by its id (an HTML piece with its text); its chat room is asked once
    // the kit is ready.
    void updateImageCommentObject(const std::string& objectId, const std::optional<std::string>& title);
    void updateVideoCommentObject(const std::string& objectId, const std::optional<std::string>& title);
    void updateLinkCommentObject(const std::string& objectId, const std::optional<std::string>& title);
    void updateHtmlCommentObject(const std::string& objectId, const std::optional<std::string>& title,
                                 const std::optional<std::string>& html);

    // As a tap: opens the chat room on the navigation controller, or in the kit's own shown modally.
    void click();
    // Asks for the count again, keeping the one shown meanwhile.
    void refresh();

    // The chat room is known and the control shows its count.
    bool isReady() const;
    int count() const;
    int topicId() const;

    // The host's navigation controller the chat room is pushed on; none: shown modally.
    void setNavigationController(const std::shared_ptr<VelkoraNavigationController>& controller);
    std::shared_ptr<VelkoraNavigationController> navigationController() const;
    // The chat room keeps the kit's own top panel inside the host's navigation controller.
    void setVelkoraNavControllerEnabled(bool enabled);
    bool velkoraNavControllerEnabled() const;

    struct Impl;
    const std::shared_ptr<Impl>& impl() const { return impl_; }

private:
    VelkoraCommentButton() = default;
    std::shared_ptr<Impl> impl_;
};

} // namespace velkora::host
