// The like control of a likeable thing: its like count, whether the signed-in user likes it, and the like
// and unlike requests. Hosts place it in their own screens; the feed cells and the chat rooms use it too.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/VelkoraChatRoomsComment.h"
#include "data/VelkoraChatRoomsTopic.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceLoader.h"

namespace velkora {

class VelkoraLikeButtonDelegate {
public:
    virtual ~VelkoraLikeButtonDelegate() = default;
    // Every settled redraw of a ready control with a bound thing: the thing, its data and whether it is liked.
    virtual void likeObject(const VelkoraLikeObjectPtr& likeObject, const OptionalText& data, bool newMode) = 0;
};

class VelkoraLikeButton : public ui::Button, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterfaceName = "VelkoraLikeButton";
    // The screen id the style hooks get: the host's own screen.
    static constexpr uint32_t kStyleScreen = 0;

    // `initWithFrame`: loads the body from its interface file.
    static std::shared_ptr<VelkoraLikeButton> create(const ui::Rect& frame = {});
    explicit VelkoraLikeButton(const ui::Rect& frame = {});
    ~VelkoraLikeButton() override;
    const char* className() const override { return "VelkoraLikeButton"; }
    static void registerClass();

    // Binding: each replaces the bound thing.
    // A host object by its id; type 0, 1, 2, 3 or 6 (any other leaves NONE). Its count is asked once the
    // session is ready.
    void updateLikeObject(const std::string& objectId, int32_t type, const OptionalText& description);
    void updateLikeObject(const VelkoraLikeObjectPtr& likeObject);
    void updateLikeObjectFromFeed(const VelkoraFeedMessagePtr& feedMessage);
    void updateLikeObjectFromChatRoomsWithComment(const VelkoraChatRoomsCommentPtr& comment);
    void updateLikeObjectFromChatRoomsWithTopic(const VelkoraChatRoomsTopicPtr& topic);

    void likeOnTapped(ui::Control* sender);
    void likeOffTapped(ui::Control* sender);
    void clickLike() { likeOnTapped(nullptr); }
    void clickUnlike() { likeOffTapped(nullptr); }
    void updateButtons();

    bool likeObjectIsReady() const { return likeObjectIsReady_; }
    const VelkoraLikeObjectPtr& likeObject() const { return likeObject_; }
    const std::shared_ptr<ui::Button>& likeOnButton() const { return likeOnButton_; }
    const std::shared_ptr<ui::Button>& likeOffButton() const { return likeOffButton_; }
    const std::shared_ptr<ui::View>& topLevelView() const { return topLevelView_; }
    std::shared_ptr<VelkoraLikeButtonDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraLikeButtonDelegate> d) { delegate_ = std::move(d); }

    // What the control shows: the count (pending taps included) and whether it shows the thing liked.
    int32_t shownCount() const;
    bool shownLiked() const;
    // No answer to what this control asked reaches it any more (a like it sent still settles the record).
    void cancelCallbacks();
    // A like or unlike of this key is on its way.
    static bool isRequestPending(const std::string& key);
    // Forgets the requests on their way; for tests.
    static void resetForTests();

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

    // One like or unlike on its way (internal).
    struct Pending;

private:
    void postInit();
    void setBound(VelkoraLikeObjectPtr likeObject);
    void getLikeInformation();
    void gotLikes(uint64_t binding, const VelkoraLikeObjectPtr& asked, const foundation::Value& reply);
    void send(bool like);
    static void settle(const std::string& key, const void* requestId, bool acknowledged,
                       const foundation::ErrorPtr& error);
    // The identity the server client's callbacks are held by: gone with the control.
    std::shared_ptr<void> callbackIdentity();

    bool likeObjectIsReady_ = false;
    std::shared_ptr<ui::Button> likeOffButton_;
    std::shared_ptr<ui::Button> likeOnButton_;
    std::shared_ptr<ui::View> topLevelView_;
    VelkoraLikeObjectPtr likeObject_;
    std::weak_ptr<VelkoraLikeButtonDelegate> delegate_;
    uint64_t binding_ = 0;
    std::shared_ptr<int> identity_ = std::make_shared<int>(0);
    foundation::NotificationObserver signinObserver_;
    foundation::NotificationObserver readyObserver_;
};

} // namespace velkora
