#include "conversations/VelkoraChatRoomsTopicCells.h"

#include <algorithm>

#include "conversations/VelkoraChatRoomsViewController.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserDetailsDisplayer.h"
#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUtils.h"
#include "feed/VelkoraFeedCellMeasure.h"
#include "feed/VelkoraLikeButton.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Utf16.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraCellBackgroundView.h"
#include "shell/VelkoraTimeIntervalDisplay.h"
#include "shell/VelkoraWidgetClasses.h"

namespace velkora {

namespace {

constexpr double kSelectedGrey = 29 / 255.0;

void setConstant(const std::shared_ptr<ui::LayoutConstraint>& c, double value) {
    if (c) c->setConstant(value);
}
double constantOf(const std::shared_ptr<ui::LayoutConstraint>& c) {
    return c ? c->constant() : 0;
}

} // namespace

float velkoraChatRoomsWidth(bool isOpenedAsFeature) {
    VelkoraScreenState s;
    s.isTablet = ui::Device::current().isPad();
    s.showsInPopover = VelkoraAgentInternal::instance().popover() != nullptr;
    s.statusBarOrientation = ui::Application::instance().statusBarOrientation();
    const ui::Rect b = ui::Screen::main().bounds();
    s.screenWidth = static_cast<float>(b.width());
    s.screenHeight = static_cast<float>(b.height());
    return VelkoraUtils::widthAdjustedForInterfaceOrientation(isOpenedAsFeature, s);
}

std::string velkoraChatRoomsInterface(const std::string& name) {
    return ui::Device::current().isPad() ? "iPad_" + name : name;
}

std::string velkoraCommentSmallImageUrl(const std::string& url) {
    // The last "." of the path, a folder's included; the host's dots ("127.0.0.1") are no extension.
    const size_t scheme = url.find("://");
    const size_t pathStart = scheme == std::string::npos ? 0 : url.find('/', scheme + 3);
    if (pathStart == std::string::npos) return url;
    const auto dot = url.rfind('.');
    if (dot == std::string::npos || dot < pathStart) return url;
    return url.substr(0, dot) + "_small" + url.substr(dot);
}

void registerChatRoomsViewClasses() {
    registerVelkoraWidgetClasses();
    VelkoraLazyImageView::registerClass();
    VelkoraAttributedLabel::registerClass();
    VelkoraLikeButton::registerClass();
    auto& loader = ui::InterfaceLoader::instance();
    if (!loader.hasClass("TableView")) loader.registerClass("TableView", [] { return ui::TableView::create(); });
    if (!loader.hasClass("ScrollView")) loader.registerClass("ScrollView", [] { return ui::ScrollView::create(); });
    if (!loader.hasClass("TextField")) loader.registerClass("TextField", [] { return ui::TextField::create(); });
    if (!loader.hasClass("VelkoraChatRoomsTopicCommentTableCell"))
        loader.registerClass("VelkoraChatRoomsTopicCommentTableCell",
                             [] { return std::make_shared<VelkoraChatRoomsTopicCommentTableCell>(); });
    if (!loader.hasClass("VelkoraChatRoomsTopicStickerTableCell"))
        loader.registerClass("VelkoraChatRoomsTopicStickerTableCell",
                             [] { return std::make_shared<VelkoraChatRoomsTopicStickerTableCell>(); });
    if (!loader.hasClass("VelkoraChatRoomsTopicImageTableCell"))
        loader.registerClass("VelkoraChatRoomsTopicImageTableCell",
                             [] { return std::make_shared<VelkoraChatRoomsTopicImageTableCell>(); });
    if (!loader.hasClass("VelkoraChatRoomsTableCell"))
        loader.registerClass("VelkoraChatRoomsTableCell", [] { return std::make_shared<VelkoraChatRoomsTableCell>(); });
}

// ---- footer

std::shared_ptr<VelkoraChatRoomsCommentsFooterView>
VelkoraChatRoomsCommentsFooterView::initFromNib(std::weak_ptr<VelkoraChatRoomsCommentsFooterDelegate> delegate,
                                                bool refresh, const std::string& label) {
    registerChatRoomsViewClasses();
    auto footer = std::make_shared<VelkoraChatRoomsCommentsFooterView>();
    ui::InterfaceLoader::instance().loadNibNamed(velkoraChatRoomsInterface("VelkoraChatRoomsCommentsFooterView"),
                                                 footer.get());
    if (footer->topLevelSubview_) {
        footer->addSubview(footer->topLevelSubview_);
        footer->setFrame(footer->topLevelSubview_->frame());
    }
    footer->delegate_ = std::move(delegate);
    footer->isRefresh_ = refresh;
    if (refresh) {
        if (footer->loadEarlierCommentsLabel_) footer->loadEarlierCommentsLabel_->setHidden(true);
        if (footer->refreshCommentsLabel_) {
            VelkoraAppSettings::setLeadingColor(*footer->refreshCommentsLabel_);
            footer->refreshCommentsLabel_->setText(label);
        }
    } else {
        if (footer->refreshCommentsLabel_) footer->refreshCommentsLabel_->setHidden(true);
        if (footer->refreshImageView_) footer->refreshImageView_->setHidden(true);
        if (footer->loadEarlierCommentsLabel_) {
            VelkoraAppSettings::setLeadingColor(*footer->loadEarlierCommentsLabel_);
            footer->loadEarlierCommentsLabel_->setText(label);
        }
    }
    return footer;
}

void VelkoraChatRoomsCommentsFooterView::refreshCommentsClicked(ui::Control*) {
    auto d = delegate_.lock();
    if (!d) return;
    if (isRefresh_)
        d->newCommentsClicked();
    else
        d->loadEarlierCommentsClicked();
}

void VelkoraChatRoomsCommentsFooterView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("topLevelSubview", topLevelSubview_);
    b.outlet("refreshImageView", refreshImageView_);
    b.outlet("refreshCommentsLabel", refreshCommentsLabel_);
    b.outlet("loadEarlierCommentsLabel", loadEarlierCommentsLabel_);
    b.action("refreshCommentsClicked:", this, &VelkoraChatRoomsCommentsFooterView::refreshCommentsClicked);
}

// ---- comment cells

VelkoraChatRoomsTopicTableCell::VelkoraChatRoomsTopicTableCell() = default;
VelkoraChatRoomsTopicTableCell::~VelkoraChatRoomsTopicTableCell() = default;

void VelkoraChatRoomsTopicTableCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("commentView", commentView_);
    b.outlet("userImageView", userImageView_);
    b.outlet("userImageFrameView", userImageFrameView_);
    b.outlet("commentLabel", commentLabel_);
    b.outlet("commentLabelHeightConstraint", commentLabelHeightConstraint_);
    b.outlet("commentLabelWidthConstraint", commentLabelWidthConstraint_);
    b.outlet("commentLabelTrailingSpaceConstraint", commentLabelTrailingSpaceConstraint_);
    b.outlet("commentLabelLeadingSpaceConstraint", commentLabelLeadingSpaceConstraint_);
    b.outlet("commentViewTrailingSpaceConstraint", commentViewTrailingSpaceConstraint_);
    b.outlet("commentViewLeadingSpaceConstraint", commentViewLeadingSpaceConstraint_);
    b.outlet("timeLabel", timeLabel_);
    b.outlet("deleteButton", deleteButton_);
    b.outlet("commentBgView", commentBgView_);
    b.outlet("commentEndView", commentEndView_);
    b.action("userImageClicked:", this, &VelkoraChatRoomsTopicTableCell::userImageClicked);
    b.action("deleteCommentClicked:", this, &VelkoraChatRoomsTopicTableCell::deleteCommentClicked);
}

void VelkoraChatRoomsTopicTableCell::myInit() {
    setBackgroundView(ui::View::create(bounds()));
    if (userImageView_) {
        userImageView_->layer().setCornerRadius(7.0);
        userImageView_->setClipsToBounds(true);
        userImageView_->setUsingCache(true);
    }
    auto selected = ui::View::create(frame());
    selected->setBackgroundColor(ui::Color::rgba(kSelectedGrey, kSelectedGrey, kSelectedGrey, 1.0));
    setSelectedBackgroundView(selected);
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableCellSelectedBackgroundView(selected.get(), kScreenId);
    style.customizeTableCellTitleLabel(commentLabel_.get(), kScreenId);
    style.customizeTableCellTimeLabel(timeLabel_.get(), kScreenId);
    style.customizeChatroomCommentBackground(commentBgView_.get(), kScreenId);
    style.customizeChatroomDeleteButton(deleteButton_.get(), kScreenId);
    style.customizeUserPhotoFrameImage(userImageFrameView_.get(), kScreenId);
    if (deleteButton_) deleteButton_->setHidden(true);
    if (commentLabel_) {
        commentLabel_->setNumberOfLines(0);
        commentLabel_->setLineBreakMode(ui::LineBreakMode::WordWrap);
    }
}

bool VelkoraChatRoomsTopicTableCell::isOwnComment() const {
    if (!comment_ || !comment_->user() || !comment_->user()->userId()) return false;
    const auto& own = VelkoraServerClientAgent::instance().userId();
    return own && *own == *comment_->user()->userId();
}

void VelkoraChatRoomsTopicTableCell::recordGeometry() {
    if (geometry_.recorded || !commentEndView_) return;
    setNeedsLayout();
    layoutIfNeeded();
    geometry_.recorded = true;
    geometry_.endTop = commentEndView_->frame().minY();
    geometry_.endHeight = commentEndView_->frame().height();
    geometry_.labelHeight = constantOf(commentLabelHeightConstraint_);
    // The end mark stays below the photo however short the comment.
    geometry_.photoFloor = userImageView_ ? userImageView_->frame().maxY() + 6 : 0;
}

double VelkoraChatRoomsTopicTableCell::measuredHeight() const {
    const double chain =
        geometry_.endTop + (constantOf(commentLabelHeightConstraint_) - geometry_.labelHeight) + extraContentHeight();
    return std::max(chain, geometry_.photoFloor) + geometry_.endHeight;
}

double VelkoraChatRoomsTopicTableCell::updateData(const VelkoraChatRoomsCommentPtr& comment) {
    recordGeometry();
    comment_ = comment;
    const VelkoraUserPtr user = comment ? comment->user() : nullptr;
    if (userImageView_) {
        userImageView_->setImage(ui::Image::named(kUserPlaceholder));
        auto info = VelkoraAgentInternal::instance().getUserInfo();
        const int32_t source = info ? info->userInfoSource() : 0;
        if (user && user->hasPhoto(source)) {
            const ui::Size pixels = userImageView_->getSizeInPixels();
            if (auto url = user->getSizedPhotoUrl(static_cast<float>(pixels.width), static_cast<float>(pixels.height)))
                userImageView_->getImage(*url);
        }
    }
    setCommentTextForUser(user);
    if (timeLabel_) {
        std::string age;
        if (comment && comment->dateTime())
            age = VelkoraTimeIntervalDisplay::getLongDisplayString(
                VelkoraServerClientAgent::instance().getServerTimeDiff(*comment->dateTime()));
        timeLabel_->setText(age);
    }
    setNeedsLayout();
    return geometry_.recorded ? measuredHeight() : frame().height();
}

void VelkoraChatRoomsTopicTableCell::setCommentTextForUser(const VelkoraUserPtr& user) {
    if (!commentLabel_) return;
    auto& label = *commentLabel_;
    label.setDelegate(std::weak_ptr<VelkoraAttributedLabelDelegate>(sharedAs<VelkoraChatRoomsTopicTableCell>()));
    if (!attributedLabelDidSelectLinkWithTextCheckingResult)
        attributedLabelDidSelectLinkWithTextCheckingResult = [this](VelkoraAttributedLabel&,
                                                                    const ui::TextCheckingResult&) { openWriter(); };
    label.setLinkAttributes({});
    label.setActiveLinkAttributes({});
    const std::string name = VelkoraUserDetailsDisplayer::nameWithInitial(user.get());
    const double size = label.font() ? label.font()->pointSize() : 13;
    std::string text = name;
    if (showCommentText_) text = name + " " + (comment_ && comment_->text() ? *comment_->text() : std::string());
    const ui::TextRange nameRange{0, ui::utf16::length(name)};
    const ui::Color leading = VelkoraAppSettings::leadingColor();
    label.setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(text, [&](ui::AttributedString t) {
        if (nameRange.length > 0) {
            t.addAttribute(ui::attr::ForegroundColor, leading, nameRange);
            t.addAttribute(ui::attr::Font, ui::Font::boldSystemFont(size), nameRange);
        }
        return t;
    });
    if (nameRange.length > 0 && user && user->userId())
        label.addLinkWithTextCheckingResult(ui::TextCheckingResult::replacement(nameRange, *user->userId()));

    // A comment without a known writer can be neither deleted nor flagged.
    const bool actionable = user && user->userId() && !user->userId()->empty();
    if (deleteButton_) deleteButton_->setHidden(!actionable);
    if (commentLabelTrailingSpaceConstraint_) commentLabelTrailingSpaceConstraint_->setPriority(700);

    auto d = delegate_.lock();
    const double width = velkoraChatRoomsWidth(d ? d->isOpenedAsFeature() : true);
    const double available =
        width - (constantOf(commentLabelLeadingSpaceConstraint_) + constantOf(commentViewLeadingSpaceConstraint_)) -
        ((deleteButton_ ? deleteButton_->frame().width() : 0) + constantOf(commentViewTrailingSpaceConstraint_));
    const ui::Font font = label.font() ? *label.font() : ui::Font::systemFont(13);
    ui::Size measured = velkoraMeasureLabelText(text, font, label.lineBreakMode(), available);
    // The writer's name is drawn bold, wider than the plain font measures it: a comment that only just fits
    // in the plain font would lose its last line.
    if (const auto& drawn = label.attributedText()) {
        const ui::Size asDrawn = velkoraMeasureLabelText(*drawn, label.lineBreakMode(), available);
        measured.height = std::max(measured.height, asDrawn.height);
        measured.width = std::max(measured.width, asDrawn.width);
    }
    setConstant(commentLabelHeightConstraint_, measured.height + 5);
    setConstant(commentLabelWidthConstraint_, std::min(measured.width, available));
    label.setPreferredMaxLayoutWidth(std::min(measured.width, available));
}

void VelkoraChatRoomsTopicTableCell::openWriter() {
    if (!comment_ || !comment_->user() || isOwnComment()) return;
    if (auto d = delegate_.lock()) d->openUserProfile(comment_->user());
}

void VelkoraChatRoomsTopicTableCell::userImageClicked(ui::Control*) {
    openWriter();
}

void VelkoraChatRoomsTopicTableCell::deleteCommentClicked(ui::Control*) {
    auto d = delegate_.lock();
    if (!d || !comment_) return;
    if (isOwnComment())
        d->deleteComment(*this);
    else
        d->flagComment(*this);
}

// Text comments.

std::shared_ptr<VelkoraChatRoomsTopicCommentTableCell> VelkoraChatRoomsTopicCommentTableCell::initFromNib() {
    auto cell = loadCell<VelkoraChatRoomsTopicCommentTableCell>("VelkoraChatRoomsTopicCell");
    if (cell) cell->setReuseIdentifier(kReuseIdentifier);
    return cell;
}

double VelkoraChatRoomsTopicCommentTableCell::updateData(const VelkoraChatRoomsCommentPtr& comment) {
    showCommentText_ = true;
    if (likeButton_ && comment) likeButton_->updateLikeObjectFromChatRoomsWithComment(comment);
    return VelkoraChatRoomsTopicTableCell::updateData(comment);
}

void VelkoraChatRoomsTopicCommentTableCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraChatRoomsTopicTableCell::registerInterfaceBindings(b);
    b.outlet("likeButton", likeButton_);
}

// Stickers.

std::shared_ptr<VelkoraChatRoomsTopicStickerTableCell> VelkoraChatRoomsTopicStickerTableCell::initFromNib() {
    auto cell = loadCell<VelkoraChatRoomsTopicStickerTableCell>("VelkoraChatRoomsTopicStickerCell");
    if (cell) cell->setReuseIdentifier(kReuseIdentifier);
    return cell;
}

void VelkoraChatRoomsTopicStickerTableCell::myInit() {
    VelkoraChatRoomsTopicTableCell::myInit();
    if (stickerView_) stickerView_->setUsingCache(true);
}

double VelkoraChatRoomsTopicStickerTableCell::updateData(const VelkoraChatRoomsCommentPtr& comment) {
    showCommentText_ = false;
    if (stickerView_) {
        stickerView_->setImage(nullptr);
        if (comment && comment->text() && !comment->text()->empty()) stickerView_->getImage(*comment->text());
    }
    return VelkoraChatRoomsTopicTableCell::updateData(comment);
}

void VelkoraChatRoomsTopicStickerTableCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraChatRoomsTopicTableCell::registerInterfaceBindings(b);
    b.outlet("stickerView", stickerView_);
}

// Pictures.

std::shared_ptr<VelkoraChatRoomsTopicImageTableCell> VelkoraChatRoomsTopicImageTableCell::initFromNib() {
    auto cell = loadCell<VelkoraChatRoomsTopicImageTableCell>("VelkoraChatRoomsTopicImageCell");
    if (cell) cell->setReuseIdentifier(kReuseIdentifier);
    return cell;
}

void VelkoraChatRoomsTopicImageTableCell::myInit() {
    VelkoraChatRoomsTopicTableCell::myInit();
    maxImageHeight_ = constantOf(commentImageViewHeightConstraint_);
    maxImageWidth_ = constantOf(commentImageViewWidthConstraint_);
    if (commentImageView_) commentImageView_->setUsingCache(true);
    imageDelegate_ = std::make_shared<VelkoraLazyImageDelegate>();
    imageDelegate_->imageDidFinish = [this](VelkoraLazyImageView& view) { imageDidFinish(view); };
}

ui::Size VelkoraChatRoomsTopicImageTableCell::fittedImageSize(ui::Size image, double maxWidth, double maxHeight) {
    const double w = image.width, h = image.height;
    if (w <= 0 || h <= 0) return {maxWidth, maxHeight};
    if (h <= maxHeight && w <= maxWidth) return {w, h};
    if (h <= maxHeight) return {maxWidth, h * maxWidth / w};
    // Height first, alone: a wide picture may end up wider than the maximum.
    return {w * maxHeight / h, maxHeight};
}

double VelkoraChatRoomsTopicImageTableCell::updateData(const VelkoraChatRoomsCommentPtr& comment) {
    showCommentText_ = false;
    if (likeButton_ && comment) likeButton_->updateLikeObjectFromChatRoomsWithComment(comment);
    if (commentImageView_) {
        setConstant(commentImageViewWidthConstraint_, maxImageWidth_);
        setConstant(commentImageViewHeightConstraint_, maxImageHeight_);
        commentImageView_->setDelegate(imageDelegate_);
        commentImageView_->setImage(nullptr);
        if (comment && comment->text() && !comment->text()->empty())
            commentImageView_->getImage(velkoraCommentSmallImageUrl(*comment->text()));
    }
    return VelkoraChatRoomsTopicTableCell::updateData(comment);
}

double VelkoraChatRoomsTopicImageTableCell::extraContentHeight() const {
    return constantOf(commentImageViewHeightConstraint_) - maxImageHeight_;
}

void VelkoraChatRoomsTopicImageTableCell::imageDidFinish(VelkoraLazyImageView& view) {
    auto image = view.image();
    if (image) {
        const ui::Size s = fittedImageSize(image->size(), maxImageWidth_, maxImageHeight_);
        setConstant(commentImageViewWidthConstraint_, s.width);
        setConstant(commentImageViewHeightConstraint_, s.height);
    }
    view.setDelegate({});
    setNeedsLayout();
    if (image && comment_ && imageSized_) imageSized_(comment_->commentId(), measuredHeight());
}

void VelkoraChatRoomsTopicImageTableCell::imageClicked(ui::Control*) {
    auto d = delegate_.lock();
    if (d && comment_ && comment_->text()) d->imageClicked(*comment_->text());
}

void VelkoraChatRoomsTopicImageTableCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraChatRoomsTopicTableCell::registerInterfaceBindings(b);
    b.outlet("commentImageView", commentImageView_);
    b.outlet("commentImageViewHeightConstraint", commentImageViewHeightConstraint_);
    b.outlet("commentImageViewWidthConstraint", commentImageViewWidthConstraint_);
    b.outlet("likeButton", likeButton_);
    b.action("imageClicked:", this, &VelkoraChatRoomsTopicImageTableCell::imageClicked);
}

} // namespace velkora
