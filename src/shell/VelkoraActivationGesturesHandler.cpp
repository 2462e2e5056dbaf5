#include "shell/VelkoraActivationGesturesHandler.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/Touch.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"

namespace velkora {

namespace {

int orientation() {
    return ui::Application::instance().statusBarOrientation();
}

bool isPad() {
    auto& device = ui::Device::current();
    return device.answersUserInterfaceIdiom() && device.isPad();
}

std::shared_ptr<ui::Window> keyWindow() {
    return ui::Application::instance().keyWindowShared();
}

void askForStatusBarUpdate(const std::shared_ptr<ui::Window>& window) {
    if (ui::Device::current().compareSystemVersion("7.0") < 0 || !window) return;
    if (auto& root = window->rootViewController()) root->setNeedsStatusBarAppearanceUpdate();
}

} // namespace

std::shared_ptr<VelkoraActivationGesturesHandler>
VelkoraActivationGesturesHandler::initWithWindow(const std::shared_ptr<ui::Window>& window, bool leftMenu) {
    auto handler = std::make_shared<VelkoraActivationGesturesHandler>();
    handler->keepAppWindow_ = window;
    handler->origViewController_ = window ? window->rootViewController() : nullptr;
    handler->leftMenu_ = leftMenu;
    std::weak_ptr<ui::GestureRecognizerDelegate> delegate = handler;

    handler->recognizer_ = std::make_shared<ui::PanGestureRecognizer>();
    handler->recognizer_->setMaximumNumberOfTouches(1);
    handler->recognizer_->addTarget(handler, &VelkoraActivationGesturesHandler::handlePanEvents);
    handler->recognizer_->setDelegate(delegate);
    handler->recognizer_->setEnabled(false);

    handler->tapRecognizer_ = std::make_shared<ui::TapGestureRecognizer>();
    handler->tapRecognizer_->setNumberOfTapsRequired(1);
    handler->tapRecognizer_->setCancelsTouchesInView(true);
    handler->tapRecognizer_->addTarget(handler, &VelkoraActivationGesturesHandler::handleTapEvents);
    handler->tapRecognizer_->setDelegate(delegate);
    handler->tapRecognizer_->setEnabled(false);
    handler->recognizer_->requireGestureRecognizerToFail(handler->tapRecognizer_);

    if (window) window->addGestureRecognizer(handler->recognizer_);
    if (auto* host = handler->hostView()) host->addGestureRecognizer(handler->tapRecognizer_);
    return handler;
}

std::shared_ptr<VelkoraActivationGesturesHandler> VelkoraActivationGesturesHandler::current() {
    return std::dynamic_pointer_cast<VelkoraActivationGesturesHandler>(
        VelkoraAgentInternal::instance().gesturesHandler());
}

VelkoraActivationGesturesHandler::~VelkoraActivationGesturesHandler() {
    if (tapRecognizer_)
        if (auto* view = tapRecognizer_->view()) view->removeGestureRecognizer(tapRecognizer_.get());
    if (recognizer_)
        if (auto* view = recognizer_->view()) view->removeGestureRecognizer(recognizer_.get());
}

ui::View* VelkoraActivationGesturesHandler::hostView() const {
    return origViewController_ ? origViewController_->view().get() : nullptr;
}

bool VelkoraActivationGesturesHandler::isKeyWindowRoot() const {
    auto key = keyWindow();
    return origViewController_ && key && key->rootViewController() == origViewController_;
}

// ---- Switching the recognisers

void VelkoraActivationGesturesHandler::start() {
    if (recognizer_) recognizer_->setEnabled(true);
}

void VelkoraActivationGesturesHandler::pause() {
    if (recognizer_) recognizer_->setEnabled(false);
    if (tapRecognizer_) tapRecognizer_->setEnabled(false);
}

void VelkoraActivationGesturesHandler::resume() {
    if (recognizer_) recognizer_->setEnabled(true);
    if (tapRecognizer_) tapRecognizer_->setEnabled(isShowingFullMenu_);
}

void VelkoraActivationGesturesHandler::resumeIfUserAllows() {
    if (userPaused_)
        pause();
    else
        resume();
}

void VelkoraActivationGesturesHandler::userPause() {
    if (userPaused_) return;
    pause();
    userPaused_ = true;
}

void VelkoraActivationGesturesHandler::userResume() {
    if (!userPaused_) return;
    resume();
    userPaused_ = false;
}

void VelkoraActivationGesturesHandler::enableTappingRecognition() {
    if (tapRecognizer_) tapRecognizer_->setEnabled(true);
    for (auto& view : origViewDisabledControls_)
        view->setUserInteractionEnabled(false);
}

void VelkoraActivationGesturesHandler::disableTappingRecognition() {
    if (tapRecognizer_) tapRecognizer_->setEnabled(false);
    giveBackDisabledControls();
}

void VelkoraActivationGesturesHandler::giveBackDisabledControls() {
    for (auto& view : origViewDisabledControls_)
        view->setUserInteractionEnabled(true);
    origViewDisabledControls_.clear();
}

// ---- Geometry

void VelkoraActivationGesturesHandler::setRootControllerOffset(double offset) {
    auto* view = hostView();
    if (!view) return;
    ui::Rect frame = view->frame();
    switch (orientation()) {
    case ui::InterfaceOrientationPortrait:
        frame.origin.x = offset;
        break;
    case ui::InterfaceOrientationPortraitUpsideDown:
        frame.origin.x = -offset;
        break;
    case ui::InterfaceOrientationLandscapeRight:
        frame.origin.y = offset;
        break;
    case ui::InterfaceOrientationLandscapeLeft:
        if (isKeyWindowRoot())
            frame.origin.y = -offset;
        else
            frame.origin.x = offset;
        break;
    default:
        return;
    }
    view->setFrame(frame);
}

ui::Point VelkoraActivationGesturesHandler::pointAdjustedForInterfaceOrientation(ui::Point p) const {
    if (!isKeyWindowRoot()) return p;
    switch (orientation()) {
    case ui::InterfaceOrientationPortraitUpsideDown:
        return {-p.x, -p.y};
    case ui::InterfaceOrientationLandscapeRight:
        return {p.y, p.x};
    case ui::InterfaceOrientationLandscapeLeft:
        return {-p.y, -p.x};
    default:
        return p;
    }
}

double VelkoraActivationGesturesHandler::widthAdjustedForInterfaceOrientation(const ui::View* view,
                                                                              bool considerIpad) const {
    if (considerIpad && isPad() && !forceEntireWidth_) return 450;
    if (!view) return 0;
    return ui::isPortraitOrientation(orientation()) ? view->frame().size.width : view->frame().size.height;
}

double VelkoraActivationGesturesHandler::adjustMenuWidth() const {
    return ui::isPortraitOrientation(orientation()) ? menuWidth_ : menuWidthLandscape_;
}

int VelkoraActivationGesturesHandler::determinePanDirection(ui::Point t) const {
    if (direction_ != DirectionUnknown) return direction_;
    if (std::fabs(t.x) > 10 && (t.y == 0 || std::fabs(t.x / t.y) > 1.5))
        return t.x > 0 ? DirectionRight : DirectionLeft;
    if (std::fabs(t.y) > 10 && (t.x == 0 || std::fabs(t.y / t.x) > 1.5)) return t.y > 0 ? DirectionDown : DirectionUp;
    return DirectionUnknown;
}

double VelkoraActivationGesturesHandler::currentOffset() const {
    auto* view = hostView();
    return view ? pointAdjustedForInterfaceOrientation(view->frame().origin).x : 0;
}

// ---- The slides

void VelkoraActivationGesturesHandler::showFullMenuWithNotification(bool notify) {
    auto window = keyWindow();
    double width = widthAdjustedForInterfaceOrientation(window.get(), true);
    auto* host = hostView();
    double x = host ? host->frame().origin.x : 0;
    double target;
    if (hideEntireOriginalApp_) {
        target = width;
    } else {
        target = adjustMenuWidth();
        enableTappingRecognition();
    }
    if (!leftMenu_) target = -target;

    // A menu of no width has no way to go: the shortest slide, rather than a duration of no number.
    double duration = target == 0 ? 0.1 : std::max(0.1, (1 - x / target) * 0.5);
    if (window) window->setUserInteractionEnabled(false);
    std::weak_ptr<VelkoraActivationGesturesHandler> weak = weak_from_this();
    std::weak_ptr<ui::Window> weakWindow = window;
    bool panelShowing = !hideEntireOriginalApp_;
    ui::Animator::animate(
        duration, [this, target] { setRootControllerOffset(target); },
        [weak, weakWindow, notify, panelShowing, target](bool finished) {
            auto w = weakWindow.lock();
            // However the slide ended, the window must not stay deaf to touches.
            if (w) w->setUserInteractionEnabled(true);
            if (!finished) return;
            if (w) w->endEditing(true);
            if (notify) {
                foundation::Dictionary info{{"panelShowing", foundation::Value(panelShowing)},
                                            {"panelWidth", foundation::Value(double(int64_t(std::fabs(target))))}};
                foundation::NotificationCenter::defaultCenter().post("VelkoraNotificationWasActivated", nullptr,
                                                                     foundation::Value(std::move(info)));
            }
            if (auto self = weak.lock()) self->isShowingFullMenu_ = true;
        });

    menuVisible_ = true;
    if (hideEntireOriginalApp_) {
        pause();
        if (isPad() && !forceEntireWidth_)
            enableTappingRecognition();
        else
            disableTappingRecognition();
    } else {
        VelkoraLogEventsManager::instance().logEvent("feature-viewed;sidebar");
        resume();
    }
    askForStatusBarUpdate(window);
}

void VelkoraActivationGesturesHandler::hideFullMenu() {
    auto window = keyWindow();
    double width = widthAdjustedForInterfaceOrientation(window.get(), true);
    double x = currentOffset();
    double duration = width == 0 ? 0 : std::fabs(x) / width * 0.5;
    std::weak_ptr<VelkoraActivationGesturesHandler> weak = weak_from_this();
    std::weak_ptr<ui::Window> weakWindow = window;
    // The host's views that a touch on the uncovered strip turned off stay off while the host slides back,
    // so the touch that closed the menu never reaches them; they take touches again once the slide ends.
    auto disabled = std::move(origViewDisabledControls_);
    origViewDisabledControls_.clear();
    ui::Animator::animate(
        duration, [this] { setRootControllerOffset(0); },
        [weak, weakWindow, disabled](bool finished) {
            for (auto& view : disabled)
                view->setUserInteractionEnabled(true);
            if (!finished) return;
            foundation::NotificationCenter::defaultCenter().post("VelkoraNotificationWasDeactivated");
            if (auto w = weakWindow.lock()) w->endEditing(true);
            if (auto self = weak.lock()) self->isShowingFullMenu_ = false;
        });
    menuVisible_ = false;
    resumeIfUserAllows();
    disableTappingRecognition();
    askForStatusBarUpdate(window);
}

void VelkoraActivationGesturesHandler::shakeAffect(double seconds) {
    double amplitude = leftMenu_ ? 15 : -15;
    int swings = int(seconds / 0.6);
    auto offsets = std::make_shared<std::vector<double>>();
    for (int i = 0; i < swings; ++i) {
        offsets->push_back(amplitude);
        offsets->push_back(0);
    }
    shakeStep(offsets);
}

void VelkoraActivationGesturesHandler::shakeStep(std::shared_ptr<std::vector<double>> offsets) {
    if (offsets->empty()) return;
    double next = offsets->front();
    std::weak_ptr<VelkoraActivationGesturesHandler> weak = weak_from_this();
    ui::Animator::animate(
        0.3, [this, next] { setRootControllerOffset(next); },
        [weak, offsets](bool finished) {
            auto self = weak.lock();
            if (!self || !finished) return;
            offsets->erase(offsets->begin());
            self->shakeStep(offsets);
        });
}

// ---- The recognisers

void VelkoraActivationGesturesHandler::handlePanEvents(ui::GestureRecognizer& recognizer) {
    auto* pan = dynamic_cast<ui::PanGestureRecognizer*>(&recognizer);
    if (!pan) return;
    auto* host = hostView();
    auto state = pan->state();
    if (state == ui::GestureRecognizerState::Began) {
        panGestureOrigin_ = host ? host->frame().origin : ui::Point{};
        direction_ = DirectionUnknown;
        followedLastEvent_ = false;
        return;
    }
    ui::Point t = pan->translationInView(host);
    if (state == ui::GestureRecognizerState::Changed && direction_ == DirectionUnknown)
        direction_ = determinePanDirection(t);

    followedLastEvent_ = (direction_ == DirectionLeft && menuVisible_ == leftMenu_) ||
                         (direction_ == DirectionRight && menuVisible_ != leftMenu_);
    if (followedLastEvent_) {
        double m = adjustMenuWidth();
        double offset = t.x + pointAdjustedForInterfaceOrientation(panGestureOrigin_).x;
        offset = leftMenu_ ? std::clamp(offset, 0.0, std::max(0.0, m)) : std::clamp(offset, std::min(0.0, -m), 0.0);
        lastOffset_ = offset;
        setRootControllerOffset(offset);
    }
    if (state != ui::GestureRecognizerState::Ended || !followedLastEvent_) return;

    double v = pan->velocityInView(host).x;
    double width = widthAdjustedForInterfaceOrientation(host, true);
    double p = lastOffset_ + 0.35 * v;
    bool close = leftMenu_ ? p < width / 2 : p > -width / 2;
    if (menuVisible_) {
        if (close)
            hideFullMenu();
        else
            ui::Animator::animate(ui::kDefaultAnimationDuration, [this] { showFullMenuWithNotification(false); });
    } else if (!close) {
        forceEntireWidth_ = false;
        showFullMenuWithNotification(true);
    } else {
        ui::Animator::animate(ui::kDefaultAnimationDuration, [this] { setRootControllerOffset(0); });
    }
}

bool VelkoraActivationGesturesHandler::uncoveredStripAt(double along) const {
    double width = widthAdjustedForInterfaceOrientation(keyWindow().get(), false);
    double m = adjustMenuWidth();
    return leftMenu_ ? along > m : along < width - m;
}

bool VelkoraActivationGesturesHandler::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer,
                                                                           ui::Touch& touch) {
    if (!isShowingFullMenu_) return &recognizer != tapRecognizer_.get();
    auto* host = hostView();
    double along = currentOffset() + touch.locationInView(host).x;
    if (uncoveredStripAt(along)) {
        if (auto* view = touch.view()) {
            auto shared = view->sharedView();
            if (std::find(origViewDisabledControls_.begin(), origViewDisabledControls_.end(), shared) ==
                origViewDisabledControls_.end()) {
                view->setUserInteractionEnabled(false);
                origViewDisabledControls_.push_back(shared);
            }
        }
        hideFullMenu();
        return false;
    }
    return &recognizer == recognizer_.get();
}

void VelkoraActivationGesturesHandler::handleTapEvents(ui::GestureRecognizer& recognizer) {
    if (recognizer.state() != ui::GestureRecognizerState::Ended) {
        foundation::Log::line("Velkora - Tap has not yet ended ...");
        return;
    }
    double along = currentOffset() + recognizer.locationInView(hostView()).x;
    if (isShowingFullMenu_ && uncoveredStripAt(along)) hideFullMenu();
}

} // namespace velkora
