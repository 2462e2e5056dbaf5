// The host's like and comment controls: each handle owns one of the kit's controls, and its end takes the
// control out of the host's view and silences everything the control asked.
#include "feed/VelkoraCommentButton.h"
#include "feed/VelkoraFeedClasses.h"
#include "feed/VelkoraLikeButton.h"
#include "host/HostInternals.h"
#include "velkora/VelkoraCommentButton.h"
#include "velkora/VelkoraLikeButton.h"

namespace velkora {

namespace {

ui::Rect uiRect(const VelkoraRect& r) {
    return ui::Rect{r.x, r.y, r.width, r.height};
}
VelkoraRect hostRect(const ui::Rect& r) {
    return VelkoraRect{r.origin.x, r.origin.y, r.size.width, r.size.height};
}

// The controls come from interface files: their classes are known before the first one is made.
void prepareControls() {
    host::prepareKit();
    registerVelkoraFeedClasses();
}

void addControl(const std::shared_ptr<ui::View>& control, ui::View* parent) {
    if (!control || !parent) return;
    control->removeFromSuperview();
    parent->addSubview(control);
}

// Passes the control's settled redraws to the host's function.
class LikeDelegateAdapter : public VelkoraLikeButtonDelegate {
public:
    host::VelkoraLikeButton::Delegate function;
    void likeObject(const VelkoraLikeObjectPtr&, const OptionalText& data, bool newMode) override {
        if (function) function(data.value_or(""), newMode);
    }
};

} // namespace

struct host::VelkoraLikeButton::Impl {
    std::shared_ptr<velkora::VelkoraLikeButton> control;
    std::shared_ptr<LikeDelegateAdapter> delegate;
};

struct host::VelkoraCommentButton::Impl {
    std::shared_ptr<velkora::VelkoraCommentButton> control;
    VelkoraNavigation navigation;
};

namespace host {

// ---- Like button

std::shared_ptr<VelkoraLikeButton> VelkoraLikeButton::create(const VelkoraRect& frame) {
    prepareControls();
    std::shared_ptr<VelkoraLikeButton> handle(new VelkoraLikeButton());
    handle->impl_ = std::make_shared<Impl>();
    handle->impl_->control = velkora::VelkoraLikeButton::create(uiRect(frame));
    handle->impl_->delegate = std::make_shared<LikeDelegateAdapter>();
    handle->impl_->control->setDelegate(handle->impl_->delegate);
    return handle;
}

VelkoraLikeButton::~VelkoraLikeButton() {
    if (!impl_) return;
    impl_->control->setDelegate({});
    impl_->control->cancelCallbacks();
    impl_->control->removeFromSuperview();
}

void VelkoraLikeButton::addTo(const std::shared_ptr<VelkoraView>& view) {
    if (view) addControl(impl_->control, view->impl()->view.get());
}

void VelkoraLikeButton::addTo(const std::shared_ptr<VelkoraWindow>& window) {
    if (window) addControl(impl_->control, window->impl()->window.get());
}

void VelkoraLikeButton::removeFromView() {
    impl_->control->removeFromSuperview();
}

VelkoraRect VelkoraLikeButton::frame() const {
    return hostRect(impl_->control->frame());
}

void VelkoraLikeButton::setFrame(const VelkoraRect& frame) {
    impl_->control->setFrame(uiRect(frame));
}

void VelkoraLikeButton::updateLikeObject(const std::string& objectId, int32_t type,
                                         const std::optional<std::string>& description) {
    impl_->control->updateLikeObject(objectId, type, description);
}

void VelkoraLikeButton::updateLikeObjectFromChatRoomsWithComment(
    const std::shared_ptr<VelkoraChatRoomComment>& comment) {
    if (comment) impl_->control->updateLikeObjectFromChatRoomsWithComment(comment->impl()->comment);
}

void VelkoraLikeButton::updateLikeObjectFromChatRoomsWithTopic(const std::shared_ptr<VelkoraChatRoom>& room) {
    if (room) impl_->control->updateLikeObjectFromChatRoomsWithTopic(room->impl()->topic);
}

void VelkoraLikeButton::clickLike() {
    impl_->control->clickLike();
}

void VelkoraLikeButton::clickUnlike() {
    impl_->control->clickUnlike();
}

bool VelkoraLikeButton::isReady() const {
    return impl_->control->likeObjectIsReady();
}

int VelkoraLikeButton::count() const {
    return impl_->control->shownCount();
}

bool VelkoraLikeButton::isLiked() const {
    return impl_->control->shownLiked();
}

bool VelkoraLikeButton::isPending() const {
    const auto& object = impl_->control->likeObject();
    return object && velkora::VelkoraLikeButton::isRequestPending(object->likeObjectToKey());
}

void VelkoraLikeButton::setDelegate(Delegate delegate) {
    impl_->delegate->function = std::move(delegate);
}

// ---- Comment button

std::shared_ptr<VelkoraCommentButton> VelkoraCommentButton::create(const VelkoraRect& frame) {
    prepareControls();
    std::shared_ptr<VelkoraCommentButton> handle(new VelkoraCommentButton());
    handle->impl_ = std::make_shared<Impl>();
    handle->impl_->control = velkora::VelkoraCommentButton::create(uiRect(frame));
    return handle;
}

VelkoraCommentButton::~VelkoraCommentButton() {
    if (!impl_) return;
    impl_->control->cancelCallbacks();
    impl_->control->removeFromSuperview();
}

void VelkoraCommentButton::addTo(const std::shared_ptr<VelkoraView>& view) {
    if (view) addControl(impl_->control, view->impl()->view.get());
}

void VelkoraCommentButton::addTo(const std::shared_ptr<VelkoraWindow>& window) {
    if (window) addControl(impl_->control, window->impl()->window.get());
}

void VelkoraCommentButton::removeFromView() {
    impl_->control->removeFromSuperview();
}

VelkoraRect VelkoraCommentButton::frame() const {
    return hostRect(impl_->control->frame());
}

void VelkoraCommentButton::setFrame(const VelkoraRect& frame) {
    impl_->control->setFrame(uiRect(frame));
}

void VelkoraCommentButton::updateImageCommentObject(const std::string& objectId,
                                                    const std::optional<std::string>& title) {
    impl_->control->updateImageCommentObject(objectId, title);
}

void VelkoraCommentButton::updateVideoCommentObject(const std::string& objectId,
                                                    const std::optional<std::string>& title) {
    impl_->control->updateVideoCommentObject(objectId, title);
}

void VelkoraCommentButton::updateLinkCommentObject(const std::string& objectId,
                                                   const std::optional<std::string>& title) {
    impl_->control->updateLinkCommentObject(objectId, title);
}

void VelkoraCommentButton::updateHtmlCommentObject(const std::string& objectId, const std::optional<std::string>& title,
                                                   const std::optional<std::string>& html) {
    impl_->control->updateHtmlCommentObject(objectId, title, html);
}

void VelkoraCommentButton::click() {
    impl_->control->click();
}

void VelkoraCommentButton::refresh() {
    impl_->control->refresh();
}

bool VelkoraCommentButton::isReady() const {
    return impl_->control->commentButtonIsReady();
}

int VelkoraCommentButton::count() const {
    return impl_->control->commentsNumber();
}

int VelkoraCommentButton::topicId() const {
    return impl_->control->topicId();
}

void VelkoraCommentButton::setNavigationController(const std::shared_ptr<VelkoraNavigationController>& controller) {
    // The control holds the kit's controller weakly; the handle keeps the host's alive with it.
    impl_->navigation = controller;
    impl_->control->setNavController(navOf(controller));
}

std::shared_ptr<VelkoraNavigationController> VelkoraCommentButton::navigationController() const {
    return impl_->navigation;
}

void VelkoraCommentButton::setVelkoraNavControllerEnabled(bool enabled) {
    impl_->control->setVelkoraNavControllerEnabled(enabled);
}

bool VelkoraCommentButton::velkoraNavControllerEnabled() const {
    return impl_->control->velkoraNavControllerEnabled();
}

} // namespace host
} // namespace velkora
