#include "feed/VelkoraFeedCell.h"

#include <algorithm>
#include <functional>

#include "data/VelkoraUtils.h"
#include "feed/VelkoraCommentButton.h"
#include "feed/VelkoraLikeButton.h"
#include "platform/ui/Image.h"
#include "server/VelkoraServerClientAgent.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserInfo.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraTimeIntervalDisplay.h"

namespace velkora {

namespace {

constexpr double kPhotoCornerRadius = 7.0;
constexpr double kSelectedGrey = 29.0 / 255.0;

double constantOf(const std::shared_ptr<ui::LayoutConstraint>& c) {
    return c ? c->constant() : 0;
}
void setConstant(const std::shared_ptr<ui::LayoutConstraint>& c, double value) {
    if (c) c->setConstant(value);
}

void forEachView(ui::View& view, const std::function<void(ui::View&)>& f) {
    f(view);
    for (const auto& sub : view.subviews())
        forEachView(*sub, f);
}

} // namespace

VelkoraFeedCell::VelkoraFeedCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, "") {
    attributedLabelDidSelectLinkWithTextCheckingResult =
        [this](VelkoraAttributedLabel& label, const ui::TextCheckingResult& link) { linkTapped(label, link); };
}

void VelkoraFeedCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("userPhotoImage", userPhotoImage_);
    b.outlet("userPhotoFrameImage", userPhotoFrameImage_);
    b.outlet("attributedNameLabel", activityLabel_);
    b.outlet("attributedActivityLabel", activityLabel_);
    b.outlet("timeLabel", timeLabel_);
    b.outlet("dashLineView", dashLineView_);
    b.outlet("activityBGView", activityBGView_);
    b.outlet("buttonsView", buttonsView_);
    b.outlet("likeButton", likeButton_);
    b.outlet("activityLabelHeightConstraint", activityLabelHeightConstraint_);
    b.outlet("activityLabelWidthConstraint", activityLabelWidthConstraint_);
    b.outlet("activityLabelLeadingSpaceConstraint", activityLabelLeadingSpaceConstraint_);
    b.outlet("activityLabelTrailingSpaceConstraint", activityLabelTrailingSpaceConstraint_);
    b.outlet("activityViewLeadingSpaceConstraint", activityViewLeadingSpaceConstraint_);
    b.outlet("activityViewTrailingSpaceConstraint", activityViewTrailingSpaceConstraint_);
    b.outlet("posterActivityLabel", posterActivityLabel_);
    b.outlet("posterTimeLabel", posterTimeLabel_);
    b.outlet("posterUserPhotoImage", posterUserPhotoImage_);
    b.outlet("posterUserPhotoFrameImage", posterUserPhotoFrameImage_);
    b.outlet("posterActivityLabelHeightConstraint", posterActivityLabelHeightConstraint_);
    b.outlet("posterActivityLabelWidthConstraint", posterActivityLabelWidthConstraint_);
    b.outlet("posterActivityLabelTrailingSpaceConstraint", posterActivityLabelTrailingSpaceConstraint_);
    b.outlet("posterActivityLabelLeadingSpaceConstraint", posterActivityLabelLeadingSpaceConstraint_);
    b.outlet("posterActivityViewTrailingSpaceConstraint", posterActivityViewTrailingSpaceConstraint_);
    b.outlet("posterActivityViewLeadingSpaceConstraint", posterActivityViewLeadingSpaceConstraint_);
    b.outlet("descriptionView", descriptionView_);
    b.outlet("descImageView", descImageView_);
    b.outlet("descriptionLabel", descriptionLabel_);
    b.outlet("subDescLabel", subDescLabel_);
    b.outlet("commentLabel", commentLabel_);
    b.outlet("actionButton", actionButton_);
    b.outlet("descriptionLabelLeadingSpaceConstraint", descriptionLabelLeadingSpaceConstraint_);
    b.outlet("descriptionLabelTrailingSpaceConstraint", descriptionLabelTrailingSpaceConstraint_);
    b.outlet("descriptionViewHeightConstraint", descriptionViewHeightConstraint_);
    b.outlet("descriptionImageLeadingSpaceConstraint", descriptionImageLeadingSpaceConstraint_);
    b.outlet("descriptionViewLeadingSpaceConstraint", descriptionViewLeadingSpaceConstraint_);
    b.outlet("subDescriptionLabelLeadingSpaceConstraint", subDescriptionLabelLeadingSpaceConstraint_);
    b.outlet("actionView", actionView_);
    b.outlet("unfollowinButton", unfollowinButton_);
    b.outlet("nameLabelTrailingSpaceToSuperviewConstraint", nameLabelTrailingSpaceToSuperviewConstraint_);
    b.outlet("nameLabelTrailingSpaceToButtonsConstraint", nameLabelTrailingSpaceToButtonsConstraint_);
    b.outlet("theImageView", theImageView_);
    b.outlet("theImageHeightConstraint", theImageHeightConstraint_);
    b.outlet("playButton", playButton_);
    b.outlet("commentButton", commentButton_);
    b.outlet("shareButton", shareButton_);
    b.outlet("topicImageView", topicImageView_);
    const std::pair<const char*, Action> actions[] = {
        {"profileTapped:", Action::Profile}, {"posterProfileTapped:", Action::PosterProfile},
        {"topicTapped:", Action::Topic},     {"topicImageClicked:", Action::TopicImage},
        {"actionTapped:", Action::Follow},   {"unfollowTapped:", Action::Unfollow},
        {"shareTapped:", Action::Share},     {"playTapped:", Action::Play},
    };
    for (const auto& [selector, action] : actions)
        b.action(selector, [this, action = action](ui::Control*) { performAction(action); });
}

void VelkoraFeedCell::didLoad(int kind) {
    geometry_.kind = kind;
    setBackgroundView(ui::View::create());
    auto selected = ui::View::create(frame());
    selected->setBackgroundColor(ui::Color{kSelectedGrey, kSelectedGrey, kSelectedGrey, 1.0});
    setSelectedBackgroundView(selected);
    for (auto* photo : {userPhotoImage_.get(), posterUserPhotoImage_.get()}) {
        if (!photo) continue;
        photo->layer().setCornerRadius(kPhotoCornerRadius);
        photo->setClipsToBounds(true);
    }
    for (auto* content : {descImageView_.get(), theImageView_.get()})
        if (content) content->setClipsToBounds(true);
    forEachView(*this, [](ui::View& v) {
        if (auto* lazy = dynamic_cast<VelkoraLazyImageView*>(&v)) lazy->setUsingCache(true);
    });
    if (activityLabel_ && kind != 1) {
        // Sentences wrap by words onto as many lines as they need; the height constraint holds them.
        activityLabel_->setLineBreakMode(ui::LineBreakMode::WordWrap);
        activityLabel_->setNumberOfLines(0);
    }
    if (posterActivityLabel_) {
        posterActivityLabel_->setLineBreakMode(ui::LineBreakMode::WordWrap);
        posterActivityLabel_->setNumberOfLines(0);
    }
    if (descriptionLabel_ && kind != 1 && kind != 4 && kind != 7)
        VelkoraAppSettings::setLeadingColor(*descriptionLabel_);
    if (kind == 1 || kind == 2) {
        if (activityLabel_) activityLabel_->setPreferredMaxLayoutWidth(0);
    }
    if (kind == 7 && posterActivityLabel_) posterActivityLabel_->setPreferredMaxLayoutWidth(0);
    recordGeometry();

    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableCellTitleLabel(activityLabel_.get(), kStyleScreen);
    if (kind == 7)
        style.customizeTableCellDescriptionLabel(posterActivityLabel_.get(), kStyleScreen);
    else if (kind == 2 || kind == 3 || kind == 5 || kind == 6)
        style.customizeTableCellDescriptionLabel(descriptionLabel_.get(), kStyleScreen);
    style.customizeTableCellTimeLabel(timeLabel_.get(), kStyleScreen);
    if (kind == 2 || kind == 3) style.customizeTableCellSubDescLabel(subDescLabel_.get(), kStyleScreen);
    if (kind == 6) style.customizeTableCellSubDescLabel(commentLabel_.get(), kStyleScreen);
    style.customizeTableCellSeparatorView(dashLineView_.get(), kStyleScreen);
    style.customizeTableCellSelectedBackgroundView(selectedBackgroundView().get(), kStyleScreen);
    if (kind != 2) style.customizeUserPhotoFrameImage(userPhotoFrameImage_.get(), kStyleScreen);
    if (kind == 7) style.customizeUserPhotoFrameImage(posterUserPhotoFrameImage_.get(), kStyleScreen);
    if (kind != 1) style.customizeActivityBackgroundView(activityBGView_.get(), kStyleScreen);
    styleKindParts();
}

void VelkoraFeedCell::recordGeometry() {
    auto& g = geometry_;
    if (dashLineView_) g.separatorBottom = dashLineView_->frame().maxY();
    const double viewLeading = constantOf(activityViewLeadingSpaceConstraint_);
    const double viewTrailing = constantOf(activityViewTrailingSpaceConstraint_);
    if (activityLabel_) {
        if (activityLabel_->font()) g.activity.font = *activityLabel_->font();
        g.activity.lineBreakMode = activityLabel_->lineBreakMode();
    }
    g.activity.origHeight = constantOf(activityLabelHeightConstraint_);
    g.activity.horizontalInsets = constantOf(activityLabelLeadingSpaceConstraint_) + viewLeading +
                                  constantOf(activityLabelTrailingSpaceConstraint_) + viewTrailing;
    if (posterActivityLabel_) {
        if (posterActivityLabel_->font()) g.poster.font = *posterActivityLabel_->font();
        g.poster.lineBreakMode = posterActivityLabel_->lineBreakMode();
        g.poster.origHeight = constantOf(posterActivityLabelHeightConstraint_);
        g.poster.horizontalInsets = viewLeading + constantOf(posterActivityViewLeadingSpaceConstraint_) +
                                    constantOf(posterActivityLabelLeadingSpaceConstraint_) +
                                    constantOf(posterActivityLabelTrailingSpaceConstraint_) +
                                    constantOf(posterActivityViewTrailingSpaceConstraint_) + viewTrailing;
        // Kind 7's poster line stands five points taller than its text.
        g.poster.extraHeight = g.kind == 7 ? 5.0 : 0.0;
    }
    if (descriptionLabel_ && (g.kind == 5 || g.kind == 6)) {
        if (descriptionLabel_->font()) g.description.font = *descriptionLabel_->font();
        g.description.lineBreakMode = ui::LineBreakMode::WordWrap;
        g.origDescriptionViewHeight = constantOf(descriptionViewHeightConstraint_);
        g.origDescriptionLabelLeading = constantOf(descriptionLabelLeadingSpaceConstraint_);
        g.descriptionFixedInsets = constantOf(descriptionImageLeadingSpaceConstraint_) + viewLeading +
                                   constantOf(descriptionLabelTrailingSpaceConstraint_) + viewTrailing;
        if (descImageView_) {
            g.photoWidth = descImageView_->frame().width();
            g.photoHeight = descImageView_->frame().height();
        }
        g.descriptionLabelFrameHeight = descriptionLabel_->frame().height();
        if (commentLabel_) g.commentLabelFrameHeight = commentLabel_->frame().height();
    }
    if (g.kind == 2 || g.kind == 3) {
        g.postBlockHeight = constantOf(descriptionViewHeightConstraint_);
        if (descriptionLabel_) {
            postTextLeft_ = descriptionLabel_->frame().x();
            postTextRight_ = descriptionLabel_->frame().maxX();
        }
    }
    if (g.kind == 4) g.pictureHeight = constantOf(theImageHeightConstraint_);
}

void VelkoraFeedCell::reset() {
    setConstant(activityLabelHeightConstraint_, geometry_.activity.origHeight);
    if (posterActivityLabelHeightConstraint_)
        setConstant(posterActivityLabelHeightConstraint_, geometry_.poster.origHeight);
    if (geometry_.kind == 2 || geometry_.kind == 3)
        setConstant(descriptionViewHeightConstraint_, geometry_.postBlockHeight);
    if (geometry_.kind == 5 || geometry_.kind == 6) {
        setConstant(descriptionViewHeightConstraint_, geometry_.origDescriptionViewHeight);
        setConstant(descriptionLabelLeadingSpaceConstraint_, geometry_.origDescriptionLabelLeading);
    }
}

float VelkoraFeedCell::getHeight(const VelkoraActivityPtr& item) {
    const VelkoraFeedCellText text = textFor(item);
    applyText(text);
    return static_cast<float>(velkoraFeedRowHeight(text, geometry_));
}

void VelkoraFeedCell::updateData(const VelkoraActivityPtr&) {}

bool VelkoraFeedCell::hasPostBlock(const VelkoraFeedMessage* post) {
    return post && post->descText() && !post->descText()->empty();
}

VelkoraFeedCellText VelkoraFeedCell::textFor(const VelkoraActivityPtr&) const {
    VelkoraFeedCellText text;
    text.kind = geometry_.kind;
    text.widthBase = widthAdjustedForInterfaceOrientation(isOpenedAsFeature());
    return text;
}

ui::Size VelkoraFeedCell::getLabelRealSize(const ui::Label& label, ui::Size maxSize) {
    const ui::Font font = label.font() ? *label.font() : ui::Font::systemFont(17);
    ui::Size size = velkoraMeasureLabelText(label.text(), font, label.lineBreakMode(), maxSize.width);
    size.height = std::min(size.height, maxSize.height);
    return size;
}

double VelkoraFeedCell::widthAdjustedForInterfaceOrientation(bool isOpenedAsFeature) {
    VelkoraScreenState screen;
    screen.isTablet = ui::Device::current().isPad();
    screen.statusBarOrientation = ui::Application::instance().statusBarOrientation();
    const ui::Rect bounds = ui::Screen::main().bounds();
    screen.screenWidth = static_cast<float>(bounds.width());
    screen.screenHeight = static_cast<float>(bounds.height());
    return VelkoraUtils::widthAdjustedForInterfaceOrientation(isOpenedAsFeature, screen);
}

void VelkoraFeedCell::setSentence(VelkoraAttributedLabel& label, const VelkoraFeedSentence& sentence) {
    label.setDelegate(std::weak_ptr<VelkoraAttributedLabelDelegate>(sharedAs<VelkoraFeedCell>()));
    // Links carry only the emphasis below.
    label.setLinkAttributes({});
    label.setActiveLinkAttributes({});
    const double size = label.font() ? label.font()->pointSize() : 13;
    const ui::Color leading = VelkoraAppSettings::leadingColor();
    label.setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(sentence.text, [&](ui::AttributedString text) {
        for (const auto& link : sentence.links) {
            if (link.range.length == 0) continue;
            text.addAttribute(ui::attr::ForegroundColor, leading, link.range);
            text.addAttribute(ui::attr::Font, ui::Font::boldSystemFont(size), link.range);
        }
        return text;
    });
    for (const auto& link : sentence.links)
        label.addLinkWithTextCheckingResult(ui::TextCheckingResult::replacement(link.range, link.replacement));
}

void VelkoraFeedCell::applyText(const VelkoraFeedCellText& text) {
    const auto& g = geometry_;
    if (g.kind == 1) return;
    auto fit = [&](const std::string& sentence, const VelkoraFeedLabelGeometry& label,
                   const std::shared_ptr<ui::LayoutConstraint>& width,
                   const std::shared_ptr<ui::LayoutConstraint>& height) {
        const double w = velkoraLabelWidth(text, label);
        const ui::Size s = velkoraMeasureLabelText(sentence, label.font, label.lineBreakMode, w);
        setConstant(width, std::min(w, s.width));
        setConstant(height, s.height + label.extraHeight);
        return w;
    };
    fit(text.activity, g.activity, activityLabelWidthConstraint_, activityLabelHeightConstraint_);
    if (g.kind == 3 || g.kind == 7) {
        const double w =
            fit(text.poster, g.poster, posterActivityLabelWidthConstraint_, posterActivityLabelHeightConstraint_);
        if (g.kind == 7 && posterActivityLabel_) posterActivityLabel_->setPreferredMaxLayoutWidth(w);
    }
    if (g.kind == 5 || g.kind == 6) {
        const double leading = velkoraDescriptionLabelLeading(text, g);
        setConstant(descriptionLabelLeadingSpaceConstraint_, leading);
        if (g.kind == 6) setConstant(subDescriptionLabelLeadingSpaceConstraint_, leading);
        setConstant(descriptionViewHeightConstraint_, velkoraDescriptionViewHeight(text, g));
    }
}

void VelkoraFeedCell::showPhoto(VelkoraLazyImageView* view, const VelkoraUserPtr& user) {
    if (!view) return;
    view->setImage(ui::Image::named(kUserPlaceholder));
    auto info = VelkoraAgentInternal::instance().getUserInfo();
    const int32_t source = info ? info->userInfoSource() : 0;
    if (!user || !user->hasPhoto(source)) return;
    const ui::Size pixels = view->getSizeInPixels();
    if (auto url = user->getSizedPhotoUrl(static_cast<float>(pixels.width), static_cast<float>(pixels.height)))
        view->getImage(*url);
}

void VelkoraFeedCell::showPicture(VelkoraLazyImageView* view, const OptionalText& url) {
    if (!view) return;
    view->setImage(nullptr);
    if (url && !url->empty()) view->getImage(*url);
}

void VelkoraFeedCell::fillLikeRow(const VelkoraLikeObjectPtr& like, const VelkoraFeedSentence& sentence) {
    if (likeButton_) likeButton_->updateLikeObject(like);
    if (activityLabel_) setSentence(*activityLabel_, sentence);
    showPhoto(userPhotoImage_.get(), like ? like->getPoster() : nullptr);
    if (timeLabel_) timeLabel_->setText(like ? ageText(like->time()) : std::string());
}

void VelkoraFeedCell::showPostBlock(const VelkoraFeedMessage* post) {
    auto present = [](const OptionalText& t) { return t && !t->empty(); };
    const OptionalText none;
    const OptionalText& verb = post ? post->actionVerb() : none;
    if (actionButton_) {
        actionButton_->setHidden(!present(verb));
        if (present(verb)) {
            actionButton_->setTitle(*verb, ui::ControlStateNormal);
            actionButton_->setTitle(*verb, ui::ControlStateHighlighted);
        }
    }
    const OptionalText& descText = post ? post->descText() : none;
    setShown(descriptionView_.get(), present(descText));
    // Without the block the buttons move up under the time, as the row's height does.
    setConstant(descriptionViewHeightConstraint_, present(descText) ? geometry_.postBlockHeight : 0.0);
    const OptionalText& image = post ? post->descImageUrl() : none;
    setShown(descImageView_.get(), present(image));
    showPicture(descImageView_.get(), image);
    // Without a picture the texts start at the block's left edge, not beside an empty slot.
    const double left = present(image) || !descImageView_ ? postTextLeft_ : descImageView_->frame().x();
    for (auto* label : {descriptionLabel_.get(), subDescLabel_.get()}) {
        if (!label || postTextRight_ <= left) continue;
        const ui::Rect f = label->frame();
        label->setFrame({left, f.y(), postTextRight_ - left, f.height()});
    }
    setShown(descriptionLabel_.get(), descText.has_value());
    if (descText && descriptionLabel_) descriptionLabel_->setText(*descText);
    const OptionalText& sub = post ? post->descSubText() : none;
    setShown(subDescLabel_.get(), sub.has_value());
    if (sub && subDescLabel_) subDescLabel_->setText(*sub);
}

std::string VelkoraFeedCell::ageText(const OptionalDate& time) {
    if (!time) return "";
    return VelkoraTimeIntervalDisplay::getLongDisplayString(
        VelkoraServerClientAgent::instance().getServerTimeDiff(*time));
}

} // namespace velkora
