#include "shell/VelkoraStretchableBadgeView.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/TextLayout.h"

namespace velkora {

namespace {
// Room the text keeps from the badge's ends.
constexpr double kTextMargin = 10;
} // namespace

std::shared_ptr<VelkoraStretchableBadgeView> VelkoraStretchableBadgeView::create(const ui::Rect& frame) {
    auto badge = std::make_shared<VelkoraStretchableBadgeView>(frame);
    badge->postInit();
    return badge;
}

void VelkoraStretchableBadgeView::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("topLevelView", topLevelView_);
    bindings.outlet("badgeImageView", badgeImageView_);
    bindings.outlet("badgeLabel", badgeLabel_);
}

void VelkoraStretchableBadgeView::postInit() {
    ui::InterfaceLoader::instance().loadNibNamed(kInterfaceName, this);
    if (!topLevelView_) return;
    minWidth_ = float(topLevelView_->frame().width());
    addSubview(topLevelView_);
}

void VelkoraStretchableBadgeView::setText(const std::string& text) {
    if (!badgeLabel_) return;
    const ui::Rect old = frame();
    const ui::Font& font = *badgeLabel_->font();
    // As many lines as the badge's height holds, the last one cut at its end.
    int lines = std::max(1, int(std::floor(old.height() / font.lineHeight())));
    ui::Size measured =
        ui::measureText(text, font, std::max(0.0, old.width() - kTextMargin), lines, ui::LineBreakMode::TruncateTail);
    measured.height = std::min(measured.height, old.height());

    const double width = std::max(double(minWidth_), measured.width + kTextMargin);
    setFrame({old.x() - (width - old.width()) / 2, old.y(), width, old.height()});
    if (badgeImageView_) {
        ui::Rect f = badgeImageView_->frame();
        badgeImageView_->setFrame({f.x(), f.y(), width, old.height()});
        badgeImageView_->setImage(badgeImageView_->image());
    }
    ui::Rect l = badgeLabel_->frame();
    const double labelHeight = std::min(l.height(), measured.height);
    badgeLabel_->setFrame(
        {kTextMargin / 2, (old.height() - labelHeight) * 0.5 - 1, std::max(l.width(), measured.width), labelHeight});
    badgeLabel_->setText(text);
}

} // namespace velkora
