// The comment control a host places beside one of its objects: the comment count of the object's chat-room
// topic, and on a tap the topic itself. Bound from a feed like, its tap goes to its delegate instead.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/VelkoraLikeObject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceLoader.h"

namespace velkora {

namespace ui {
class NavigationController;
}

class VelkoraCommentButtonDelegate {
public:
    virtual ~VelkoraCommentButtonDelegate() = default;
    virtual void commentButtonClicked(int32_t topicId, const std::string& objectId) = 0;
};

class VelkoraCommentButton : public ui::Button, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterfaceName = "VelkoraCommentButton";
    // The screen id the style hook gets: the feed screen.
    static constexpr uint32_t kStyleScreen = 5;
    enum ObjectType : uint32_t { IMAGE = 0, VIDEO = 1, LINK = 2, HTML = 3 };

    static std::shared_ptr<VelkoraCommentButton> create(const ui::Rect& frame = {});
    explicit VelkoraCommentButton(const ui::Rect& frame = {});
    ~VelkoraCommentButton() override;
    const char* className() const override { return "VelkoraCommentButton"; }
    static void registerClass();
    // The name an object kind travels as: "IMAGE", "VIDEO", "LINK", "HTML", else "".
    static std::string objectTypeName(uint32_t objectType);

    void updateImageCommentObject(const std::string& objectId, const OptionalText& title);
    void updateVideoCommentObject(const std::string& objectId, const OptionalText& title);
    void updateLinkCommentObject(const std::string& objectId, const OptionalText& title);
    void updateHtmlCommentObject(const std::string& objectId, const OptionalText& title, const OptionalText& html);
    void updateCommentObject(const std::string& objectId, uint32_t objectType, const OptionalText& title,
                             const OptionalText& data);
    void updateCommentObjectWithLikeObject(const VelkoraLikeObjectPtr& likeObject);
    void click() { commentClicked(nullptr); }
    // Asks for the topic again, keeping the count shown meanwhile.
    void refresh();
    void commentClicked(ui::Control* sender);
    // No topic answer reaches this control any more.
    void cancelCallbacks();

    bool velkoraNavControllerEnabled() const { return velkoraNavControllerEnabled_; }
    void setVelkoraNavControllerEnabled(bool v) { velkoraNavControllerEnabled_ = v; }
    bool isOriginatedFromLike() const { return isOriginatedFromLike_; }
    void setIsOriginatedFromLike(bool v) { isOriginatedFromLike_ = v; }
    bool commentButtonIsReady() const { return commentButtonIsReady_; }
    std::shared_ptr<VelkoraCommentButtonDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraCommentButtonDelegate> d) { delegate_ = std::move(d); }
    std::shared_ptr<ui::NavigationController> navController() const { return navController_.lock(); }
    void setNavController(std::weak_ptr<ui::NavigationController> n) { navController_ = std::move(n); }
    int32_t topicId() const { return topicId_; }
    // The comment count last shown (0 until the topic is known).
    int32_t commentsNumber() const { return commentsNumber_; }
    const std::string& objectId() const { return objectId_; }
    uint32_t objectType() const { return objectType_; }
    const OptionalText& title() const { return title_; }
    const OptionalText& data() const { return data_; }
    const std::shared_ptr<ui::View>& topLevelView() const { return topLevelView_; }
    const std::shared_ptr<ui::Button>& commentButton() const { return commentButton_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    void postInit();
    void forgetTopic();
    void askForTopic(bool withRedraw);
    void getChatRoomData(bool withRedraw);
    void gotCommentData(uint64_t binding, const foundation::Value& reply);
    void updateButton(int32_t count);

    bool velkoraNavControllerEnabled_ = false;
    bool isOriginatedFromLike_ = false;
    bool commentButtonIsReady_ = false;
    std::weak_ptr<VelkoraCommentButtonDelegate> delegate_;
    std::weak_ptr<ui::NavigationController> navController_;
    int32_t topicId_ = 0;
    int32_t commentsNumber_ = 0;
    std::string objectId_;
    uint32_t objectType_ = 0;
    OptionalText title_;
    OptionalText data_;
    std::shared_ptr<ui::View> topLevelView_;
    std::shared_ptr<ui::Button> commentButton_;
    uint64_t binding_ = 0;
    std::shared_ptr<int> identity_ = std::make_shared<int>(0);
    foundation::NotificationObserver readyObserver_;
};

} // namespace velkora
