#include "shell/VelkoraRefreshTableHeaderView.h"

#include <cmath>

#include "platform/foundation/Bundle.h"
#include "server/utils/VelkoraQuartzCore.h"
#include "shell/VelkoraWidgetClasses.h"

namespace velkora {

std::shared_ptr<VelkoraRefreshTableHeaderView> VelkoraRefreshTableHeaderView::initFromNib() {
    auto header = std::make_shared<VelkoraRefreshTableHeaderView>();
    header->postInit();
    return header;
}

void VelkoraRefreshTableHeaderView::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("topLevelSubview", topLevelSubview_);
    bindings.outlet("statusLabel", statusLabel_);
    bindings.outlet("activityView", activityView_);
    bindings.outlet("refreshImage", refreshImage_);
}

void VelkoraRefreshTableHeaderView::loadNib() {
    registerVelkoraWidgetClasses();
    ui::InterfaceLoader::instance().loadNibNamed(kInterface, this);
}

void VelkoraRefreshTableHeaderView::postInit() {
    loadNib();
    setStatus(PullDownToRefresh);
    turnArrowTo(M_PI); // at rest the arrow points down the list
    if (activityView_) activityView_->setHidesWhenStopped(true);
    isFlipped_ = false;
    if (topLevelSubview_) {
        setFrame(topLevelSubview_->frame());
        addSubview(topLevelSubview_);
    }
}

void VelkoraRefreshTableHeaderView::turnArrowTo(double angle) {
    if (refreshImage_)
        refreshImage_->setTransform(affineTransformOf(VelkoraDFL_CATransform3DMakeRotation(angle, 0, 0, 1)));
}

void VelkoraRefreshTableHeaderView::flipImageAnimated(bool animated) {
    const double angle = isFlipped_ ? M_PI : 2 * M_PI;
    ui::View::animateWithDuration(animated ? kFlipSeconds : 0, [this, angle] { turnArrowTo(angle); });
    isFlipped_ = !isFlipped_;
}

void VelkoraRefreshTableHeaderView::setStatus(int status) {
    static const char* const keys[] = {"velkora_text_release_to_refresh", "velkora_text_pull_down_to_refresh",
                                       "velkora_text_loading"};
    if (status < 0 || status > 2 || !statusLabel_) return;
    statusLabel_->setText(foundation::Bundle::main().localizedString(keys[status]));
}

void VelkoraRefreshTableHeaderView::toggleActivityView(bool on) {
    if (on) {
        if (activityView_) activityView_->startAnimating();
        if (refreshImage_) refreshImage_->setHidden(true);
        setStatus(Loading);
    } else {
        if (activityView_) activityView_->stopAnimating();
        if (refreshImage_) refreshImage_->setHidden(false);
    }
}

} // namespace velkora
