#include "shell/VelkoraMessageNotificationView.h"

#include "data/VelkoraMessageInternal.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/Bundle.h"
#include "platform/ui/Animation.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraSidebarClasses.h"
#include "data/VelkoraUserDetailsDisplayer.h"

namespace velkora {

std::shared_ptr<VelkoraMessageNotificationView>
VelkoraMessageNotificationView::initFromNib(const std::shared_ptr<VelkoraMessageInternal>& message) {
    registerSidebarClasses();
    auto banner = std::make_shared<VelkoraMessageNotificationView>();
    if (ui::InterfaceLoader::instance().loadNibNamed(kInterface, banner.get()).empty() || !banner->topLevelView_)
        return nullptr;
    banner->setFrame(banner->topLevelView_->frame());
    auto sender = message ? message->sender() : nullptr;
    if (banner->nameLabel_) banner->nameLabel_->setText(VelkoraUserDetailsDisplayer::nameWithInitial(sender.get()));
    if (banner->messageLabel_ && message) {
        auto type = message->contentType().value_or("");
        std::string line;
        if (type == "sticker")
            line = foundation::Bundle::main().localizedString("velkora_text_notification_sticker_message");
        else if (type == "image")
            line = foundation::Bundle::main().localizedString("velkora_text_notification_image_message");
        else
            line = message->message().value_or("");
        banner->messageLabel_->setText(line);
    }
    if (auto& picture = banner->userImageView_) {
        picture->layer().setCornerRadius(5.0);
        picture->layer().setMasksToBounds(true);
        picture->setImage(ui::Image::named("VelImg_UserThumbMediumNon.png"));
        auto info = VelkoraAgentInternal::instance().userInfo();
        if (sender && sender->hasPhoto(info ? info->userInfoSource() : 0)) {
            auto pixels = picture->getSizeInPixels();
            if (auto url = sender->getSizedPhotoUrl(float(pixels.width), float(pixels.height)); url && !url->empty())
                picture->getImage(*url);
        }
    }
    banner->topLevelView_->setFrame({{0, 0}, banner->topLevelView_->frame().size});
    banner->addSubview(banner->topLevelView_);
    banner->alertWindow_ = ui::Window::create(banner->topLevelView_->frame());
    banner->alertWindow_->addSubview(banner);
    banner->alertWindow_->setWindowLevel(ui::WindowLevel::StatusBar);
    return banner;
}

VelkoraMessageNotificationView::~VelkoraMessageNotificationView() = default;

void VelkoraMessageNotificationView::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("topLevelView", topLevelView_);
    bindings.outlet("nameLabel", nameLabel_);
    bindings.outlet("messageLabel", messageLabel_);
    bindings.outlet("userFrameView", userFrameView_);
    bindings.outlet("userImageView", userImageView_);
    bindings.action("closeNotificationTapped:", this, &VelkoraMessageNotificationView::closeNotificationTapped);
    bindings.action("messageTapped:", this, &VelkoraMessageNotificationView::messageTapped);
}

void VelkoraMessageNotificationView::showInView(ui::View* /*view*/) {
    if (!alertWindow_) return;
    double height = topLevelView_ ? topLevelView_->frame().size.height : frame().size.height;
    setFrame({{0, -height}, frame().size});
    alertWindow_->setHidden(false);
    ui::Animator::animate(0.2, [this] { setFrame({{0, 0}, frame().size}); });
}

void VelkoraMessageNotificationView::releaseWindow() {
    // The window holds the banner: keep it alive until both have let go of each other.
    auto self = sharedAs<VelkoraMessageNotificationView>();
    auto window = std::move(alertWindow_);
    alertWindow_.reset();
    if (!window) return;
    window->setHidden(true);
    removeFromSuperview();
}

void VelkoraMessageNotificationView::closeNotificationTapped(ui::Control* /*sender*/) {
    releaseWindow();
}

void VelkoraMessageNotificationView::messageTapped(ui::Control* /*sender*/) {
    auto self = sharedAs<VelkoraMessageNotificationView>();
    openSidebarPanel();
    releaseWindow();
}

} // namespace velkora
