#include "feed/VelkoraCommentButton.h"

#include "feed/VelkoraFeedSession.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

std::shared_ptr<VelkoraCommentButton> VelkoraCommentButton::create(const ui::Rect& frame) {
    auto button = std::make_shared<VelkoraCommentButton>(frame);
    button->postInit();
    return button;
}

VelkoraCommentButton::VelkoraCommentButton(const ui::Rect& frame) : ui::Button(frame) {}

VelkoraCommentButton::~VelkoraCommentButton() {
    VelkoraServerApi::clearUserDelegate(identity_.get());
}

void VelkoraCommentButton::registerClass() {
    auto& loader = ui::InterfaceLoader::instance();
    if (!loader.hasClass("VelkoraCommentButton"))
        loader.registerClass("VelkoraCommentButton", [] { return VelkoraCommentButton::create(); });
}

std::string VelkoraCommentButton::objectTypeName(uint32_t objectType) {
    switch (objectType) {
    case IMAGE:
        return "IMAGE";
    case VIDEO:
        return "VIDEO";
    case LINK:
        return "LINK";
    case HTML:
        return "HTML";
    default:
        return "";
    }
}

void VelkoraCommentButton::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("topLevelView", topLevelView_);
    bindings.outlet("commentButton", commentButton_);
    bindings.action("commentClicked:", this, &VelkoraCommentButton::commentClicked);
}

void VelkoraCommentButton::postInit() {
    ui::InterfaceLoader::instance().loadNibNamed(kInterfaceName, this);
    if (commentButton_ && commentButton_->titleLabel())
        commentButton_->titleLabel()->setAdjustsFontSizeToFitWidth(true);
    commentButtonIsReady_ = false;
    updateButton(0);
    if (topLevelView_) {
        if (bounds().width() > 0 && bounds().height() > 0) topLevelView_->setFrame(bounds());
        topLevelView_->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
        addSubview(topLevelView_);
    }
    VelkoraStyleSheetCustomizer::instance().customizeChatroomHeaderCommentsButton(commentButton_.get(), kStyleScreen);
}

void VelkoraCommentButton::updateImageCommentObject(const std::string& objectId, const OptionalText& title) {
    updateCommentObject(objectId, IMAGE, title, objectId);
}

void VelkoraCommentButton::updateVideoCommentObject(const std::string& objectId, const OptionalText& title) {
    updateCommentObject(objectId, VIDEO, title, objectId);
}

void VelkoraCommentButton::updateLinkCommentObject(const std::string& objectId, const OptionalText& title) {
    updateCommentObject(objectId, LINK, title, objectId);
}

void VelkoraCommentButton::updateHtmlCommentObject(const std::string& objectId, const OptionalText& title,
                                                   const OptionalText& html) {
    updateCommentObject(objectId, HTML, title, html);
}

void VelkoraCommentButton::updateCommentObject(const std::string& objectId, uint32_t objectType,
                                               const OptionalText& title, const OptionalText& data) {
    objectId_ = objectId;
    objectType_ = objectType;
    title_ = title;
    data_ = data;
    forgetTopic();
    askForTopic(true);
}

// A new binding starts hidden and without a topic: until its own answer, a tap must not open the thread
// of what the control showed before (a reused feed row shows another object).
void VelkoraCommentButton::forgetTopic() {
    topicId_ = 0;
    commentButtonIsReady_ = false;
    updateButton(0);
}

void VelkoraCommentButton::updateCommentObjectWithLikeObject(const VelkoraLikeObjectPtr& likeObject) {
    if (!likeObject) return;
    objectId_ = likeObject->data().value_or("");
    data_ = likeObject->data();
    title_ = likeObject->description();
    isOriginatedFromLike_ = true;
    forgetTopic();
    switch (likeObject->type()) {
    case VelkoraLikeObject::VIDEO:
        objectType_ = VIDEO;
        break;
    case VelkoraLikeObject::IMAGE:
        objectType_ = IMAGE;
        break;
    default:
        // Nothing to ask for this binding: a late answer of the previous one must not land here.
        ++binding_;
        readyObserver_.reset();
        return;
    }
    askForTopic(true);
}

void VelkoraCommentButton::refresh() {
    askForTopic(false);
}

void VelkoraCommentButton::askForTopic(bool withRedraw) {
    // Answers to an earlier binding no longer apply.
    ++binding_;
    readyObserver_.reset();
    if (VelkoraFeedSession::isVelkoraReady()) {
        getChatRoomData(withRedraw);
        return;
    }
    readyObserver_ = foundation::NotificationObserver(kVelkoraIsReadyNotification, nullptr,
                                                      [this, withRedraw](const foundation::Notification&) {
                                                          readyObserver_.reset();
                                                          getChatRoomData(withRedraw);
                                                      });
}

void VelkoraCommentButton::getChatRoomData(bool withRedraw) {
    const uint64_t binding = binding_;
    VelkoraServerApi::getChatRoomData(
        objectId_, objectTypeName(objectType_), title_, data_,
        VelkoraCallback::make(identity_, [this, binding](const foundation::Value& v) { gotCommentData(binding, v); }));
    if (withRedraw) updateButton(0);
}

void VelkoraCommentButton::gotCommentData(uint64_t binding, const foundation::Value& reply) {
    if (binding != binding_) return;
    topicId_ = reply["topicId"].int32Or(0);
    const int32_t count = reply["nComments"].int32Or(0);
    commentButtonIsReady_ = true;
    updateButton(count);
}

void VelkoraCommentButton::updateButton(int32_t count) {
    commentsNumber_ = count;
    if (!commentButton_) return;
    if (!commentButtonIsReady_) {
        commentButton_->setHidden(true);
        return;
    }
    const std::string title = count >= 1 ? std::to_string(count) : std::string();
    commentButton_->setTitle(title, ui::ControlStateNormal);
    commentButton_->setTitle(title, ui::ControlStateHighlighted);
    commentButton_->setHidden(false);
}

void VelkoraCommentButton::cancelCallbacks() {
    VelkoraServerApi::clearUserDelegate(identity_.get());
    readyObserver_.reset();
    ++binding_;
}

void VelkoraCommentButton::commentClicked(ui::Control*) {
    if (isOriginatedFromLike_) {
        if (auto d = delegate_.lock()) d->commentButtonClicked(topicId_, objectId_);
        return;
    }
    VelkoraFeedSession::openTopic(navController_.lock(), velkoraNavControllerEnabled_, topicId_, objectId_);
}

} // namespace velkora
