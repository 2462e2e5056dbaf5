#include "feed/VelkoraLikeButton.h"

#include <map>
#include <set>
#include <vector>

#include "feed/VelkoraFeedSession.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

// One like or unlike on its way, per like key: the thing it was sent for and the identity its answer is
// held by, so an answer reaches the record even when the control that sent it was rebound or is gone.
struct VelkoraLikeButton::Pending {
    bool liking = true;
    VelkoraLikeObjectPtr likeObject;
    std::shared_ptr<int> identity;
};

namespace {

std::map<std::string, VelkoraLikeButton::Pending>& pendingRequests() {
    static std::map<std::string, VelkoraLikeButton::Pending> requests;
    return requests;
}

// Every control alive, so an answer redraws each control bound to its key.
std::set<VelkoraLikeButton*>& liveControls() {
    static std::set<VelkoraLikeButton*> controls;
    return controls;
}

bool isKeyLiked(const std::string& key) {
    auto info = VelkoraAgentInternal::instance().getUserInfo();
    if (!info || !info->objectsMeLiked()) return false;
    return info->objectsMeLiked()->count(key) > 0;
}

std::vector<VelkoraLikeButton*> controlsBoundTo(const std::string& key) {
    std::vector<VelkoraLikeButton*> bound;
    for (auto* control : liveControls())
        if (control->likeObject() && control->likeObject()->likeObjectToKey() == key) bound.push_back(control);
    return bound;
}

// The linked thing's own count moves with the like, in the order the request was chosen.
void moveLinkedCount(const VelkoraLikeObject& object, int delta, std::set<const void*>& moved) {
    if (const auto& post = object.feedMessage()) {
        if (moved.insert(post.get()).second) post->setNumLikes(post->numLikes() + delta);
    } else if (const auto& comment = object.chatRoomsComment()) {
        if (moved.insert(comment.get()).second) comment->setLikesNumber(comment->likesNumber() + delta);
    } else if (const auto& topic = object.chatRoomsTopic()) {
        if (moved.insert(topic.get()).second) topic->setLikesNumber(topic->likesNumber() + delta);
    }
}

void showNoNetworkToast(ui::View* near) {
    ui::View* view = near ? static_cast<ui::View*>(near->window()) : nullptr;
    // Without a window to centre on, the notice is centred on the screen.
    if (!view) view = ui::Application::instance().keyWindow();
    auto toast = VelkoraDefaultNotificationPopupView::initFromNib(
        foundation::Bundle::main().localizedString("velkora_text_no_network_message"));
    toast->showInView(view);
}

} // namespace

std::shared_ptr<VelkoraLikeButton> VelkoraLikeButton::create(const ui::Rect& frame) {
    auto button = std::make_shared<VelkoraLikeButton>(frame);
    button->postInit();
    return button;
}

VelkoraLikeButton::VelkoraLikeButton(const ui::Rect& frame) : ui::Button(frame) {
    liveControls().insert(this);
}

VelkoraLikeButton::~VelkoraLikeButton() {
    liveControls().erase(this);
    VelkoraServerApi::clearUserDelegate(identity_.get());
}

void VelkoraLikeButton::registerClass() {
    auto& loader = ui::InterfaceLoader::instance();
    if (!loader.hasClass("VelkoraLikeButton"))
        loader.registerClass("VelkoraLikeButton", [] { return VelkoraLikeButton::create(); });
}

void VelkoraLikeButton::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("topLevelView", topLevelView_);
    bindings.outlet("likeOnButton", likeOnButton_);
    bindings.outlet("likeOffButton", likeOffButton_);
    bindings.action("likeOnTapped:", this, &VelkoraLikeButton::likeOnTapped);
    bindings.action("likeOffTapped:", this, &VelkoraLikeButton::likeOffTapped);
}

void VelkoraLikeButton::postInit() {
    ui::InterfaceLoader::instance().loadNibNamed(kInterfaceName, this);
    for (auto* button : {likeOnButton_.get(), likeOffButton_.get()})
        if (button && button->titleLabel()) button->titleLabel()->setAdjustsFontSizeToFitWidth(true);
    likeObjectIsReady_ = false;
    updateButtons();
    if (topLevelView_) {
        // Made in code or from a file whose frame comes later: the body follows the control's size.
        if (bounds().width() > 0 && bounds().height() > 0) topLevelView_->setFrame(bounds());
        topLevelView_->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
        addSubview(topLevelView_);
    }
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeLikeOnButton(likeOnButton_.get(), kStyleScreen);
    style.customizeLikeOffButton(likeOffButton_.get(), kStyleScreen);
    signinObserver_ = foundation::NotificationObserver(kVelkoraUserSigninChangedNotification, nullptr,
                                                       [this](const foundation::Notification&) { updateButtons(); });
}

std::shared_ptr<void> VelkoraLikeButton::callbackIdentity() {
    return identity_;
}

void VelkoraLikeButton::setBound(VelkoraLikeObjectPtr likeObject) {
    // Answers to the previous binding's count request no longer apply.
    ++binding_;
    readyObserver_.reset();
    likeObject_ = std::move(likeObject);
}

void VelkoraLikeButton::updateLikeObject(const std::string& objectId, int32_t type, const OptionalText& description) {
    auto object = std::make_shared<VelkoraLikeObject>();
    object->setNumLikes(0);
    object->setTime(foundation::RunLoop::main().now());
    object->setData(objectId);
    object->setDescription(description);
    switch (type) {
    case VelkoraLikeObject::NONE:
    case VelkoraLikeObject::IMAGE:
    case VelkoraLikeObject::VIDEO:
    case VelkoraLikeObject::POST:
    case VelkoraLikeObject::OTHER:
        object->setType(type);
        break;
    default:
        break;
    }
    setBound(object);
    if (VelkoraFeedSession::isVelkoraReady()) {
        getLikeInformation();
    } else {
        readyObserver_ = foundation::NotificationObserver(kVelkoraIsReadyNotification, nullptr,
                                                          [this](const foundation::Notification&) {
                                                              readyObserver_.reset();
                                                              getLikeInformation();
                                                          });
    }
}

void VelkoraLikeButton::updateLikeObject(const VelkoraLikeObjectPtr& likeObject) {
    setBound(likeObject);
    likeObjectIsReady_ = true;
    updateButtons();
}

void VelkoraLikeButton::updateLikeObjectFromFeed(const VelkoraFeedMessagePtr& feedMessage) {
    auto object = std::make_shared<VelkoraLikeObject>();
    if (feedMessage) {
        object->setNumLikes(feedMessage->numLikes());
        if (feedMessage->sender()) object->setAppId(feedMessage->sender()->appId());
    }
    object->setFeedMessage(feedMessage);
    object->setType(VelkoraLikeObject::POST);
    updateLikeObject(object);
}

void VelkoraLikeButton::updateLikeObjectFromChatRoomsWithComment(const VelkoraChatRoomsCommentPtr& comment) {
    auto object = std::make_shared<VelkoraLikeObject>();
    if (comment) object->setNumLikes(comment->likesNumber());
    object->setChatRoomsComment(comment);
    object->setType(VelkoraLikeObject::COMMENT);
    object->setAppId(VelkoraAppSettings::appId());
    updateLikeObject(object);
}

void VelkoraLikeButton::updateLikeObjectFromChatRoomsWithTopic(const VelkoraChatRoomsTopicPtr& topic) {
    auto object = std::make_shared<VelkoraLikeObject>();
    if (topic) object->setNumLikes(topic->likesNumber());
    object->setChatRoomsTopic(topic);
    object->setType(VelkoraLikeObject::TOPIC);
    object->setAppId(VelkoraAppSettings::appId());
    updateLikeObject(object);
}

void VelkoraLikeButton::getLikeInformation() {
    if (!likeObject_) return;
    likeObject_->setAppId(VelkoraAppSettings::appId());
    // The answer is read against the binding that asked: a control rebound meanwhile ignores it.
    const uint64_t binding = binding_;
    VelkoraLikeObjectPtr asked = likeObject_;
    VelkoraServerApi::getLikes(
        likeObject_->data(),
        VelkoraCallback::make(callbackIdentity(),
                              [this, binding, asked](const foundation::Value& v) { gotLikes(binding, asked, v); }));
    updateButtons();
}

void VelkoraLikeButton::gotLikes(uint64_t binding, const VelkoraLikeObjectPtr& asked, const foundation::Value& reply) {
    if (binding != binding_ || asked != likeObject_) return;
    auto parsed = reply.asObject<VelkoraLikeObject>();
    likeObject_->setNumLikes(parsed ? parsed->numLikes() : 0);
    likeObjectIsReady_ = true;
    updateButtons();
}

void VelkoraLikeButton::likeOnTapped(ui::Control*) {
    send(true);
}
void VelkoraLikeButton::likeOffTapped(ui::Control*) {
    send(false);
}

void VelkoraLikeButton::send(bool like) {
    if (!likeObjectIsReady_ || !likeObject_) return;
    const std::string key = likeObject_->likeObjectToKey();
    auto& pending = pendingRequests();
    // One request per key until it is answered; a like of a liked thing (or the reverse) sends nothing.
    if (pending.count(key) || isKeyLiked(key) == like) return;
    Pending request{like, likeObject_, std::make_shared<int>(0)};
    const void* id = request.identity.get();
    auto callback = VelkoraCallback::make(
        request.identity, [key, id](const foundation::Value&) { VelkoraLikeButton::settle(key, id, true, nullptr); },
        [key, id](const foundation::ErrorPtr& error) { VelkoraLikeButton::settle(key, id, false, error); });
    pending.emplace(key, request);
    const auto& object = request.likeObject;
    if (object->feedMessage()) {
        like ? VelkoraServerApi::likeFeed(object, callback) : VelkoraServerApi::unlikeFeed(object, callback);
    } else if (const auto& comment = object->chatRoomsComment()) {
        like ? VelkoraServerApi::likeTopicComment(comment->topicId(), comment->commentId(), callback)
             : VelkoraServerApi::unlikeTopicComment(comment->topicId(), comment->commentId(), callback);
    } else if (const auto& topic = object->chatRoomsTopic()) {
        like ? VelkoraServerApi::likeTopic(topic->topicId(), callback)
             : VelkoraServerApi::unlikeTopic(topic->topicId(), callback);
    } else {
        like ? VelkoraServerApi::like(object, callback) : VelkoraServerApi::unlike(object, callback);
    }
    for (auto* control : controlsBoundTo(key))
        control->updateButtons();
}

void VelkoraLikeButton::settle(const std::string& key, const void* requestId, bool acknowledged,
                               const foundation::ErrorPtr& error) {
    auto& pending = pendingRequests();
    auto it = pending.find(key);
    if (it == pending.end() || it->second.identity.get() != requestId) return;
    Pending request = std::move(it->second);
    pending.erase(it);
    std::vector<VelkoraLikeButton*> bound = controlsBoundTo(key);
    if (acknowledged) {
        const int delta = request.liking ? 1 : -1;
        if (auto info = VelkoraAgentInternal::instance().getUserInfo()) {
            auto liked = info->objectsMeLiked().value_or(std::set<std::string>());
            if (request.liking)
                liked.insert(key);
            else
                liked.erase(key);
            if (request.liking || info->objectsMeLiked()) {
                info->setObjectsMeLiked(std::move(liked));
                VelkoraAgentInternal::instance().saveUserInfo();
            }
        }
        // The thing the tap was for, and every other object of the same key a control shows, move once.
        std::set<const void*> movedObjects, movedLinks;
        auto move = [&](const VelkoraLikeObjectPtr& object) {
            if (!object || !movedObjects.insert(object.get()).second) return;
            object->setNumLikes(object->numLikes() + delta);
            moveLinkedCount(*object, delta, movedLinks);
        };
        move(request.likeObject);
        for (auto* control : bound)
            move(control->likeObject());
    } else if (error && error->domain == foundation::kUrlConnectionErrorDomain) {
        showNoNetworkToast(bound.empty() ? nullptr : bound.front());
    }
    for (auto* control : bound)
        control->updateButtons();
}

void VelkoraLikeButton::cancelCallbacks() {
    VelkoraServerApi::clearUserDelegate(identity_.get());
    readyObserver_.reset();
    ++binding_;
}

bool VelkoraLikeButton::isRequestPending(const std::string& key) {
    return pendingRequests().count(key) > 0;
}

void VelkoraLikeButton::resetForTests() {
    pendingRequests().clear();
}

int32_t VelkoraLikeButton::shownCount() const {
    if (!likeObject_) return 0;
    auto it = pendingRequests().find(likeObject_->likeObjectToKey());
    if (it == pendingRequests().end()) return likeObject_->numLikes();
    return likeObject_->numLikes() + (it->second.liking ? 1 : -1);
}

bool VelkoraLikeButton::shownLiked() const {
    if (!likeObject_) return false;
    const std::string key = likeObject_->likeObjectToKey();
    auto it = pendingRequests().find(key);
    return it == pendingRequests().end() ? isKeyLiked(key) : it->second.liking;
}

void VelkoraLikeButton::updateButtons() {
    if (!likeObjectIsReady_) {
        if (likeOnButton_) likeOnButton_->setHidden(false);
        if (likeOffButton_) likeOffButton_->setHidden(true);
        setUserInteractionEnabled(false);
        return;
    }
    setUserInteractionEnabled(true);
    const int32_t count = shownCount();
    const std::string title = likeObject_ && count > 0 ? std::to_string(count) : std::string();
    for (auto* button : {likeOnButton_.get(), likeOffButton_.get()}) {
        if (!button) continue;
        button->setTitle(title, ui::ControlStateNormal);
        button->setTitle(title, ui::ControlStateHighlighted);
    }
    if (!likeObject_) {
        if (likeOnButton_) likeOnButton_->setHidden(true);
        if (likeOffButton_) likeOffButton_->setHidden(true);
        return;
    }
    const bool liked = shownLiked();
    if (likeOnButton_) likeOnButton_->setHidden(liked);
    if (likeOffButton_) likeOffButton_->setHidden(!liked);
    // A pending face is not yet the thing's state: the delegate hears settled states only.
    if (isRequestPending(likeObject_->likeObjectToKey())) return;
    if (auto d = delegate_.lock()) d->likeObject(likeObject_, likeObject_->data(), liked);
}

} // namespace velkora
