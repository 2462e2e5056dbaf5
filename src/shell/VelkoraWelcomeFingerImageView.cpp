#include "shell/VelkoraWelcomeFingerImageView.h"

#include <cmath>

#include "platform/ui/Application.h"
#include "session/VelkoraAgentInternal.h"
#include "shell/VelkoraActivationGesturesHandler.h"
#include "shell/VelkoraSidebarClasses.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

std::shared_ptr<VelkoraWelcomeFingerImageView> VelkoraWelcomeFingerImageView::initFromNibAsLandscape(bool landscape) {
    registerSidebarClasses();
    auto finger = std::make_shared<VelkoraWelcomeFingerImageView>();
    ui::InterfaceLoader::instance().loadNibNamed(landscape ? kLandscapeInterface : kInterface, finger.get());
    if (auto& top = finger->toplevelSubview_) {
        finger->setFrame(top->frame());
        top->setHidden(true);
        finger->addSubview(top);
    }
    auto tap = std::make_shared<ui::TapGestureRecognizer>();
    tap->addTarget(finger, &VelkoraWelcomeFingerImageView::handleTapEvents);
    finger->addGestureRecognizer(tap);

    auto gestures = VelkoraActivationGesturesHandler::current();
    bool leftMenu = gestures && gestures->leftMenu();
    if (finger->swipeLeftImageView_) finger->swipeLeftImageView_->setHidden(leftMenu);
    if (finger->swipeRightImageView_) finger->swipeRightImageView_->setHidden(!leftMenu);
    auto& customizer = VelkoraStyleSheetCustomizer::instance();
    customizer.customizeWelcomeFingerSwipeLeftImageView(finger->swipeLeftImageView_.get(), kSidebarStyleScreen);
    customizer.customizeWelcomeFingerSwipeRightImageView(finger->swipeRightImageView_.get(), kSidebarStyleScreen);

    // The user's first swipe anywhere closes the hint too.
    if (gestures && gestures->recognizer()) {
        finger->panRecognizer_ = gestures->recognizer();
        finger->panTarget_ = gestures->recognizer()->addTarget(finger, &VelkoraWelcomeFingerImageView::handleTapEvents);
    }
    return finger;
}

VelkoraWelcomeFingerImageView::~VelkoraWelcomeFingerImageView() {
    if (auto pan = panRecognizer_.lock()) pan->removeTarget(panTarget_);
    if (timer_) timer_->invalidate();
}

void VelkoraWelcomeFingerImageView::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("toplevelSubview", toplevelSubview_);
    bindings.outlet("swipeLeftImageView", swipeLeftImageView_);
    bindings.outlet("swipeRightImageView", swipeRightImageView_);
}

void VelkoraWelcomeFingerImageView::showWithTimeout(double seconds) {
    updateOrientation();
    if (toplevelSubview_) toplevelSubview_->setHidden(false);
    if (auto key = ui::Application::instance().keyWindowShared()) key->addSubview(sharedView());
    std::weak_ptr<VelkoraWelcomeFingerImageView> weak = sharedAs<VelkoraWelcomeFingerImageView>();
    timer_ = foundation::Timer::scheduled(seconds, false, [weak](foundation::Timer&) {
        if (auto self = weak.lock()) self->closeNotification();
    });
}

void VelkoraWelcomeFingerImageView::handleTapEvents(ui::GestureRecognizer& /*recognizer*/) {
    closeNotification();
}

void VelkoraWelcomeFingerImageView::closeNotification() {
    auto self = sharedView();
    if (timer_) timer_->invalidate();
    // Gone from the window, the hint has no more use for the swipe that closes it.
    if (auto pan = panRecognizer_.lock()) pan->removeTarget(panTarget_);
    panRecognizer_.reset();
    removeFromSuperview();
}

void VelkoraWelcomeFingerImageView::updateOrientation() {
    ui::Rect bounds = ui::Screen::main().bounds();
    int o = ui::Application::instance().statusBarOrientation();
    // The drawing covers the screen upright in portrait; turned, it keeps the frame its file gave it.
    if (toplevelSubview_ && (o == ui::InterfaceOrientationPortrait || o == ui::InterfaceOrientationPortraitUpsideDown))
        toplevelSubview_->setFrame(bounds);
    double angle = rotationForStatusBarOrientation(o);
    setTransform(ui::AffineTransform::rotation(angle));
    setFrame(bounds);
}

} // namespace velkora
