#include "people/VelkoraUserAnnotationView.h"

#include <algorithm>

#include "data/VelkoraUserDetailsDisplayer.h"
#include "people/VelkoraFriendsSupport.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraProfileSupport.h"

namespace velkora {

std::shared_ptr<VelkoraUserAnnotationView>
VelkoraUserAnnotationView::initWithAnnotation(std::shared_ptr<ui::MapAnnotation> annotation,
                                              std::string reuseIdentifier) {
    auto view = std::make_shared<VelkoraUserAnnotationView>(annotation, std::move(reuseIdentifier));
    view->loadBody();
    view->setAnnotation(std::move(annotation));
    return view;
}

VelkoraUserAnnotationView::VelkoraUserAnnotationView(std::shared_ptr<ui::MapAnnotation> annotation,
                                                     std::string reuseIdentifier)
    : ui::MapAnnotationView(std::move(annotation), std::move(reuseIdentifier)) {}

void VelkoraUserAnnotationView::loadBody() {
    friends::registerFriendsViewClasses();
    ui::InterfaceLoader::instance().loadNibNamed(kInterface, this);
    if (userPhotoImageView_) {
        userPhotoImageView_->layer().setCornerRadius(5);
        userPhotoImageView_->setClipsToBounds(true);
    }
    if (toplevelSubviewForAnonymousMe_) toplevelSubviewForAnonymousMe_->setHidden(true);
    if (connectButton_) connectButton_->setTitle(profiles::text("velkora_text_connect_button"));
    if (toplevelSubview_) addSubview(toplevelSubview_);
    if (toplevelSubviewForAnonymousMe_) addSubview(toplevelSubviewForAnonymousMe_);
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeUserPhotoFrameImage(userPhotoFrameImage_.get(), kScreenId);
    style.customizeRadarAnnotationUserLabel(userDetailsLabel_.get(), kScreenId);
    style.customizeRadarAnnotationBackgroundView(bgImageView_.get(), kScreenId);
    style.customizeRadarAnnotationAnonymousUserView(anonymousUserView_.get(), kScreenId);
}

void VelkoraUserAnnotationView::setAnnotation(std::shared_ptr<ui::MapAnnotation> annotation) {
    ui::MapAnnotationView::setAnnotation(annotation);
    if (toplevelSubview_) {
        auto f = frame();
        f.size = toplevelSubview_->frame().size;
        setFrame(f);
    }
    if (auto user = std::dynamic_pointer_cast<VelkoraUserAnnotation>(annotation)) {
        const auto& who = user->velkoraUser();
        if (who && who->isAnonymous())
            setAnnotationForAnonymousFriend(who);
        else
            setAnnotationForRegisteredFriend(who);
    } else if (annotation) {
        // The device's own position.
        auto me = VelkoraAgentInternal::instance().velkoraUser();
        if (!me || me->isAnonymous()) {
            if (toplevelSubviewForAnonymousMe_) {
                auto f = frame();
                f.size = toplevelSubviewForAnonymousMe_->frame().size;
                setFrame(f);
            }
            setAnnotationForAnonymousMe(me);
        } else {
            setAnnotationForRegisteredFriend(me);
        }
    }
    setNeedsDisplay();
}

void VelkoraUserAnnotationView::show(std::initializer_list<ui::View*> visible) {
    for (ui::View* v :
         std::initializer_list<ui::View*>{toplevelSubview_.get(), bgImageView_.get(), userPhotoFrameImage_.get(),
                                          userDetailsLabel_.get(), userPhotoImageView_.get(), anonymousUserView_.get(),
                                          tapSignView_.get(), toplevelSubviewForAnonymousMe_.get()})
        if (v) v->setHidden(std::find(visible.begin(), visible.end(), v) == visible.end());
}

void VelkoraUserAnnotationView::setAnnotationForAnonymousFriend(const VelkoraUserPtr&) {
    look_ = Look::AnonymousFriend;
    show({toplevelSubview_.get(), anonymousUserView_.get()});
}

void VelkoraUserAnnotationView::setAnnotationForAnonymousMe(const VelkoraUserPtr&) {
    look_ = Look::AnonymousMe;
    show({toplevelSubviewForAnonymousMe_.get(), bgImageView_.get(), tapSignView_.get()});
}

void VelkoraUserAnnotationView::setAnnotationForRegisteredFriend(const VelkoraUserPtr& user) {
    look_ = Look::RegisteredFriend;
    show({toplevelSubview_.get(), bgImageView_.get(), userDetailsLabel_.get(), userPhotoFrameImage_.get(),
          userPhotoImageView_.get()});
    if (userPhotoImageView_) profiles::showUserPhoto(*userPhotoImageView_, user);
    if (userDetailsLabel_) userDetailsLabel_->setText(VelkoraUserDetailsDisplayer::nameAndAge(user.get()));
}

void VelkoraUserAnnotationView::setAnnotationForRegisteredMe(const VelkoraUserPtr&) {}

void VelkoraUserAnnotationView::userTapped(ui::Control*) {}

void VelkoraUserAnnotationView::signinButtonTapped(ui::Control*) {
    if (auto d = delegate_.lock()) d->signinTapped(*this);
}

void VelkoraUserAnnotationView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("toplevelSubview", toplevelSubview_);
    b.outlet("bgImageView", bgImageView_);
    b.outlet("userPhotoFrameImage", userPhotoFrameImage_);
    b.outlet("userDetailsLabel", userDetailsLabel_);
    b.outlet("userPhotoImageView", userPhotoImageView_);
    b.outlet("anonymousUserView", anonymousUserView_);
    b.outlet("tapSignView", tapSignView_);
    b.outlet("toplevelSubviewForAnonymousMe", toplevelSubviewForAnonymousMe_);
    b.outlet("connectButton", connectButton_);
    b.action("userTapped:", this, &VelkoraUserAnnotationView::userTapped);
    b.action("signinTapped:", this, &VelkoraUserAnnotationView::signinButtonTapped);
}

} // namespace velkora
