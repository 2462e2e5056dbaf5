#include "conversations/VelkoraChatOneCells.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "data/VelkoraUtils.h"
#include "platform/foundation/Bundle.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/Utf16.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "server/VelkoraServerClientAgent.h"
#include "session/VelkoraAgentInternal.h"
#include "shell/VelkoraResizeableButton.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraTimeIntervalDisplay.h"

namespace velkora {

namespace {

std::atomic<uint64_t> g_measurements{0};

std::string text(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

// The bubble's caps: 25 above, 8 below and 20 on either side, narrowed where the picture is too small to
// hold them, so its middle still stretches.
std::shared_ptr<ui::Image> bubble(const std::shared_ptr<ui::Image>& image) {
    if (!image || image->isResizable()) return image;
    ui::EdgeInsets caps{25, 20, 8, 20};
    const ui::Size size = image->size();
    auto fit = [](double& a, double& b, double room) {
        if (a + b < room) return;
        const double k = std::max(0.0, room - 1) / (a + b);
        a = std::floor(a * k);
        b = std::floor(b * k);
    };
    fit(caps.top, caps.bottom, size.height);
    fit(caps.left, caps.right, size.width);
    return image->resizableImageWithCapInsets(caps, ui::ImageResizingMode::Stretch);
}

void makeBubble(ui::ImageView* view) {
    if (view) view->setImage(bubble(view->image()));
}

std::shared_ptr<ui::View> selectedBackground(const ui::Rect& frame) {
    auto selected = ui::View::create(frame);
    selected->setBackgroundColor(ui::Color::rgba(29 / 255.0, 29 / 255.0, 29 / 255.0, 1.0));
    return selected;
}

double constantOf(const std::shared_ptr<ui::LayoutConstraint>& c) {
    return c ? c->constant() : 0;
}

void setConstant(const std::shared_ptr<ui::LayoutConstraint>& c, double v) {
    if (c) c->setConstant(v);
}

VelkoraScreenState screenState() {
    VelkoraScreenState s;
    s.isTablet = VelkoraEnhancedKeyboardView::isTablet();
    s.showsInPopover = VelkoraAgentInternal::instance().popover() != nullptr;
    s.statusBarOrientation = ui::Application::instance().statusBarOrientation();
    const ui::Rect b = ui::Screen::main().bounds();
    s.screenWidth = static_cast<float>(b.width());
    s.screenHeight = static_cast<float>(b.height());
    return s;
}

void showSide(ui::View* mine, ui::View* other, bool me) {
    if (mine) mine->setHidden(!me);
    if (other) other->setHidden(me);
}

void setTime(ui::Label* label, const VelkoraMessageInternal& m) {
    if (label) label->setText(m.time() ? VelkoraTimeIntervalDisplay::getJustTime(*m.time()) : std::string());
}

template <class T> std::shared_ptr<T> loadCell(const char* name) {
    registerChatViewClasses();
    return std::dynamic_pointer_cast<T>(
        ui::InterfaceLoader::instance().loadFirstObject(VelkoraEnhancedKeyboardView::interfaceName(name)));
}

} // namespace

double chatRowWidth(bool openedAsFeature) {
    return VelkoraUtils::widthAdjustedForInterfaceOrientation(openedAsFeature, screenState());
}

// ---- base

bool VelkoraChatOneTableCell::isMine(const VelkoraMessageInternal& message) {
    const auto& me = VelkoraServerClientAgent::instance().userId();
    return me && message.sender() && message.sender()->userId() == me;
}

void VelkoraChatOneTableCell::updateData(const VelkoraMessagePtr& message) {
    theMessage_ = message;
}

double VelkoraChatOneTableCell::getCellHeight(const std::string&) {
    return 0;
}

void VelkoraChatOneTableCell::registerInterfaceBindings(ui::InterfaceBindings&) {}

void VelkoraChatOneTableCell::placeSendStateLabel(ui::Label* timeLabel) {
    if (!timeLabel || !timeLabel->superview()) return;
    if (!sendStateLabel_) {
        sendStateLabel_ = ui::Label::create();
        sendStateLabel_->setFont(ui::Font::systemFont(10));
        sendStateLabel_->setNumberOfLines(1);
    }
    if (sendStateLabel_->superview() != timeLabel->superview()) {
        sendStateLabel_->removeFromSuperview();
        timeLabel->superview()->addSubview(sendStateLabel_);
    }
    const ui::Rect t = timeLabel->frame();
    sendStateLabel_->setFrame({t.minX() - 20, t.minY() - 13, t.width() + 20, 12});
    sendStateLabel_->setTextAlignment(timeLabel->textAlignment());
}

void VelkoraChatOneTableCell::setSendState(VelkoraChatSendState state) {
    sendState_ = state;
    if (state == VelkoraChatSendState::Sent) {
        if (sendStateLabel_) sendStateLabel_->setHidden(true);
        return;
    }
    layoutIfNeeded();
    placeSendStateLabel(shownTimeLabel());
    if (!sendStateLabel_) return;
    sendStateLabel_->setHidden(false);
    const bool failed = state == VelkoraChatSendState::NotSent;
    sendStateLabel_->setText(text(failed ? "velkora_text_message_not_sent" : "velkora_text_message_sending"));
    sendStateLabel_->setTextColor(failed ? ui::Color::fromHex("#D0342C") : ui::Color::fromHex("#8A8F99"));
}

// ---- text

uint64_t VelkoraMessageTableCell::measurements() {
    return g_measurements.load();
}

std::shared_ptr<VelkoraMessageTableCell> VelkoraMessageTableCell::initFromNib() {
    auto cell = loadCell<VelkoraMessageTableCell>(kInterface);
    if (cell) cell->myInit();
    return cell;
}

void VelkoraMessageTableCell::myInit() {
    setReuseIdentifier(kReuseIdentifier);
    setBackgroundView(ui::View::create());
    origCellMessageAreaYMargin_ =
        frame().height() - (messageTextAreaImageMe_ ? messageTextAreaImageMe_->frame().height() : 0);
    makeBubble(messageTextAreaImageMe_.get());
    makeBubble(messageTextAreaImageOther_.get());
    for (auto* label : {messageTextLabelMe_.get(), messageTextLabelOther_.get()})
        if (label) {
            label->setPreferredMaxLayoutWidth(0);
            label->setNumberOfLines(0);
            label->setLineBreakMode(ui::LineBreakMode::WordWrap);
        }
    auto selected = selectedBackground(frame());
    setSelectedBackgroundView(selected);
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeChatMyMessageBackgroundImageView(messageTextAreaImageMe_.get(), kScreenId);
    style.customizeChatMyMessageText(messageTextLabelMe_.get(), kScreenId);
    style.customizeChatMyMessageTimeLabel(timeLabelMe_.get(), kScreenId);
    style.customizeChatOtherMessageBackgroundImageView(messageTextAreaImageOther_.get(), kScreenId);
    style.customizeChatOtherMessageText(messageTextLabelOther_.get(), kScreenId);
    style.customizeChatOtherMessageTimeLabel(timeLabelOther_.get(), kScreenId);
    style.customizeTableCellSelectedBackgroundView(selected.get(), kScreenId);
}

std::string VelkoraMessageTableCell::displayedMessage(const VelkoraMessageInternal& message) {
    return message.message().value_or("");
}

std::string VelkoraMessageTableCell::measuredText(const std::string& t) {
    if (ui::utf16::length(t) < 6) return "123456";
    return "AA" + t + "AA";
}

ui::Size VelkoraMessageTableCell::getMessageLabelSize(const std::string& t, double leading, double trailing) const {
    auto d = delegate();
    const double width = chatRowWidth(d ? d->isOpenedAsFeature() : true) - (leading + trailing);
    if (!messageTextLabelMe_ || !messageTextLabelMe_->font() || width <= 0) return {};
    ++g_measurements;
    const ui::Size size =
        ui::measureText(measuredText(t), *messageTextLabelMe_->font(), width, 0, messageTextLabelMe_->lineBreakMode());
    return {std::ceil(size.width), std::ceil(std::min(size.height, kMaxTextHeight))};
}

ui::Size VelkoraMessageTableCell::measureForRow(const std::string& t) const {
    return getMessageLabelSize(t, constantOf(messageTextLabelMeLeadingSpaceConstraint_),
                               constantOf(messageTextLabelTrailingSpaceToSuperviewConstraint_));
}

double VelkoraMessageTableCell::rowHeightFor(ui::Size labelSize) const {
    return labelSize.height + origCellMessageAreaYMargin_ +
           2 * constantOf(messageTextLabelOtherTopAllignmentConstraint_);
}

void VelkoraMessageTableCell::updateData(const VelkoraMessagePtr& message) {
    VelkoraChatOneTableCell::updateData(message);
    const std::optional<ui::Size> preset = presetLabelSize_;
    presetLabelSize_.reset();
    if (!message) return;
    const bool me = isMine(*message);
    showSide(meFullView_.get(), otherFullView_.get(), me);
    const std::string shown = displayedMessage(*message);
    const double meMargins = constantOf(messageTextLabelMeLeadingSpaceConstraint_) +
                             constantOf(messageTextLabelTrailingSpaceToSuperviewConstraint_);
    auto sizeFor = [&](double leading, double trailing) {
        // Both sides leave the same width in the interface files: the row's measurement serves the label.
        if (preset && leading + trailing == meMargins) return *preset;
        return getMessageLabelSize(shown, leading, trailing);
    };
    if (me) {
        setTime(timeLabelMe_.get(), *message);
        if (messageTextLabelMe_) messageTextLabelMe_->setText(shown);
        const ui::Size size = sizeFor(constantOf(messageTextLabelMeLeadingSpaceConstraint_),
                                      constantOf(messageTextLabelTrailingSpaceToSuperviewConstraint_));
        setConstant(messageTextLabelMeWidthConstraint_, size.width);
        setConstant(messageTextLabelMeHeightConstraint_, size.height);
    } else {
        setTime(timeLabelOther_.get(), *message);
        if (messageTextLabelOther_) messageTextLabelOther_->setText(shown);
        const ui::Size size = sizeFor(constantOf(messageTextLabelOtherLeadingSpaceConstraint_),
                                      constantOf(messageTextLabelOtherTrailingSpaceConstraint_));
        setConstant(messageTextLabelOtherWidthConstraint_, size.width);
        setConstant(messageTextLabelOtherHeightConstraint_, size.height);
    }
    setNeedsLayout();
}

double VelkoraMessageTableCell::getCellHeight(const std::string& t) {
    return rowHeightFor(measureForRow(t));
}

void VelkoraMessageTableCell::otherProfileTapped(ui::Control*) {
    if (!theMessage_ || !theMessage_->sender() || theMessage_->sender()->isAnonymous()) return;
    if (auto d = delegate()) d->otherProfileTapped(*this);
}

ui::Label* VelkoraMessageTableCell::shownTimeLabel() const {
    return theMessage_ && isMine(*theMessage_) ? timeLabelMe_.get() : timeLabelOther_.get();
}

void VelkoraMessageTableCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("meFullView", meFullView_);
    b.outlet("otherFullView", otherFullView_);
    b.outlet("messageTextLabelMe", messageTextLabelMe_);
    b.outlet("messageTextLabelOther", messageTextLabelOther_);
    b.outlet("messageTextAreaImageMe", messageTextAreaImageMe_);
    b.outlet("messageTextAreaImageOther", messageTextAreaImageOther_);
    b.outlet("timeLabelMe", timeLabelMe_);
    b.outlet("timeLabelOther", timeLabelOther_);
    b.outlet("messageTextLabelMeWidthConstraint", messageTextLabelMeWidthConstraint_);
    b.outlet("messageTextLabelMeHeightConstraint", messageTextLabelMeHeightConstraint_);
    b.outlet("messageTextLabelMeLeadingSpaceConstraint", messageTextLabelMeLeadingSpaceConstraint_);
    b.outlet("messageTextLabelTrailingSpaceToSuperviewConstraint", messageTextLabelTrailingSpaceToSuperviewConstraint_);
    b.outlet("messageTextLabelOtherWidthConstraint", messageTextLabelOtherWidthConstraint_);
    b.outlet("messageTextLabelOtherHeightConstraint", messageTextLabelOtherHeightConstraint_);
    b.outlet("messageTextLabelOtherLeadingSpaceConstraint", messageTextLabelOtherLeadingSpaceConstraint_);
    b.outlet("messageTextLabelOtherTrailingSpaceConstraint", messageTextLabelOtherTrailingSpaceConstraint_);
    b.outlet("messageTextLabelOtherTopAllignmentConstraint", messageTextLabelOtherTopAllignmentConstraint_);
    b.action("otherProfileTapped:", this, &VelkoraMessageTableCell::otherProfileTapped);
}

// ---- sticker

std::shared_ptr<VelkoraStickerMessageTableCell> VelkoraStickerMessageTableCell::initFromNib() {
    auto cell = loadCell<VelkoraStickerMessageTableCell>(kInterface);
    if (cell) cell->myInit();
    return cell;
}

void VelkoraStickerMessageTableCell::myInit() {
    setReuseIdentifier(kReuseIdentifier);
    nibHeight_ = frame().height();
    setBackgroundView(ui::View::create());
    for (auto* v : {myStickerImageView_.get(), otherStickerImageView_.get()})
        if (v) {
            v->setClipsToBounds(true);
            v->setUsingCache(true);
        }
    auto selected = selectedBackground(frame());
    setSelectedBackgroundView(selected);
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeChatMyMessageTimeLabel(myTimeLabel_.get(), kScreenId);
    style.customizeChatOtherMessageTimeLabel(otherTimeLabel_.get(), kScreenId);
    style.customizeTableCellSelectedBackgroundView(selected.get(), kScreenId);
}

void VelkoraStickerMessageTableCell::updateData(const VelkoraMessagePtr& message) {
    VelkoraChatOneTableCell::updateData(message);
    if (!message) return;
    const bool me = isMine(*message);
    showSide(myView_.get(), otherView_.get(), me);
    setTime(me ? myTimeLabel_.get() : otherTimeLabel_.get(), *message);
    auto& view = me ? myStickerImageView_ : otherStickerImageView_;
    if (view) {
        view->setImage(nullptr);
        if (message->message() && !message->message()->empty()) view->getImage(*message->message());
    }
}

double VelkoraStickerMessageTableCell::getCellHeight(const std::string&) {
    return nibHeight_;
}

ui::Label* VelkoraStickerMessageTableCell::shownTimeLabel() const {
    return theMessage_ && isMine(*theMessage_) ? myTimeLabel_.get() : otherTimeLabel_.get();
}

void VelkoraStickerMessageTableCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("myView", myView_);
    b.outlet("myStickerImageView", myStickerImageView_);
    b.outlet("myTimeLabel", myTimeLabel_);
    b.outlet("otherView", otherView_);
    b.outlet("otherStickerImageView", otherStickerImageView_);
    b.outlet("otherTimeLabel", otherTimeLabel_);
}

// ---- image

std::shared_ptr<VelkoraImageMessageTableCell> VelkoraImageMessageTableCell::initFromNib() {
    auto cell = loadCell<VelkoraImageMessageTableCell>(kInterface);
    if (cell) cell->myInit();
    return cell;
}

void VelkoraImageMessageTableCell::myInit() {
    setReuseIdentifier(kReuseIdentifier);
    nibHeight_ = frame().height();
    setBackgroundView(ui::View::create());
    maxImageHeight_ = constantOf(myImageViewHeightConstraint_);
    maxImageWidth_ = constantOf(myImageViewWidthConstraint_);
    imageVerticalMargin_ = constantOf(myImageBgViewHeightConstraint_) - constantOf(myImageViewHeightConstraint_);
    imageHorizontalMargin_ = constantOf(myImageBgViewWidthConstraint_) - constantOf(myImageViewWidthConstraint_);
    for (auto* v : {myImageView_.get(), otherImageView_.get()})
        if (v) {
            v->setClipsToBounds(true);
            v->setUsingCache(true);
            // The row turns its own indicator beside the bubble.
            v->setShowActivityIndicator(false);
        }
    makeBubble(myImageBgView_.get());
    makeBubble(otherImageBgView_.get());
    auto selected = selectedBackground(frame());
    setSelectedBackgroundView(selected);
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeChatMyMessageBackgroundImageView(myImageBgView_.get(), kScreenId);
    style.customizeChatMyMessageTimeLabel(myTimeLabel_.get(), kScreenId);
    style.customizeChatOtherMessageBackgroundImageView(otherImageBgView_.get(), kScreenId);
    style.customizeChatOtherMessageTimeLabel(otherTimeLabel_.get(), kScreenId);
    style.customizeTableCellSelectedBackgroundView(selected.get(), kScreenId);
    imageDidFinish = [this](VelkoraLazyImageView& view) { imageDidFinishLoading(view); };
}

std::string VelkoraImageMessageTableCell::thumbnailUrl(const std::string& url) {
    const auto dot = url.rfind('.');
    if (dot == std::string::npos) return url;
    return url.substr(0, dot) + "_small" + url.substr(dot);
}

ui::Size VelkoraImageMessageTableCell::clampedSize(ui::Size p, double maxWidth, double maxHeight) {
    if (p.height > maxHeight && p.height > 0) return {p.width * maxHeight / p.height, maxHeight};
    if (p.width > maxWidth && p.width > 0) return {maxWidth, p.height * maxWidth / p.width};
    return p;
}

void VelkoraImageMessageTableCell::updateData(const VelkoraMessagePtr& message) {
    VelkoraChatOneTableCell::updateData(message);
    if (!message) return;
    const bool me = isMine(*message);
    showSide(myView_.get(), otherView_.get(), me);
    setTime(me ? myTimeLabel_.get() : otherTimeLabel_.get(), *message);
    auto& bg = me ? myImageBgView_ : otherImageBgView_;
    auto& view = me ? myImageView_ : otherImageView_;
    auto& aiv = me ? myAIV_ : otherAIV_;
    if (bg) bg->setHidden(true);
    if (!view) return;
    view->setImage(nullptr);
    // Until the picture is in, the bubble takes no room: nothing gapes beside the spinner.
    fit(me, {0, 0});
    if (aiv) aiv->startAnimating();
    const std::string url = message->message().value_or("");
    if (url.empty()) return;
    auto self = std::dynamic_pointer_cast<VelkoraImageMessageTableCell>(sharedView());
    view->setDelegate(std::weak_ptr<VelkoraLazyImageDelegate>(self));
    view->getImage(thumbnailUrl(url));
    // A picture the memory cache held is in at once.
    if (view->image() && view->delegate()) imageDidFinishLoading(*view);
}

void VelkoraImageMessageTableCell::showLocalPicture(const std::shared_ptr<ui::Image>& picture) {
    if (!theMessage_ || !picture) return;
    const bool me = isMine(*theMessage_);
    auto& view = me ? myImageView_ : otherImageView_;
    if (!view) return;
    view->setDelegate({});
    view->setImage(picture);
    auto& aiv = me ? myAIV_ : otherAIV_;
    if (aiv) aiv->stopAnimating();
    fit(me, picture->size());
}

void VelkoraImageMessageTableCell::fit(bool me, ui::Size picture) {
    const ui::Size shown = clampedSize(picture, maxImageWidth_, maxImageHeight_);
    setConstant(me ? myImageViewWidthConstraint_ : otherImageViewWidthConstraint_, shown.width);
    setConstant(me ? myImageViewHeightConstraint_ : otherImageViewHeightConstraint_, shown.height);
    const bool empty = shown.width <= 0 || shown.height <= 0;
    setConstant(me ? myImageBgViewWidthConstraint_ : otherImageBgViewWidthConstraint_,
                empty ? 0 : shown.width + imageHorizontalMargin_);
    setConstant(me ? myImageBgViewHeightConstraint_ : otherImageBgViewHeightConstraint_,
                empty ? 0 : shown.height + imageVerticalMargin_);
    if (auto& bg = me ? myImageBgView_ : otherImageBgView_) bg->setHidden(empty);
    setNeedsLayout();
    layoutIfNeeded();
    if (sendState_ != VelkoraChatSendState::Sent) placeSendStateLabel(shownTimeLabel());
}

void VelkoraImageMessageTableCell::imageDidFinishLoading(VelkoraLazyImageView& view) {
    const bool me = &view == myImageView_.get();
    if (auto& aiv = me ? myAIV_ : otherAIV_) aiv->stopAnimating();
    if (view.image()) fit(me, view.image()->size());
    view.setDelegate({});
}

double VelkoraImageMessageTableCell::getCellHeight(const std::string&) {
    return nibHeight_;
}

void VelkoraImageMessageTableCell::imageClicked(ui::Control*) {
    auto d = delegate();
    if (!d || !theMessage_ || !theMessage_->message() || theMessage_->message()->empty()) return;
    d->imageClicked(*theMessage_->message());
}

void VelkoraImageMessageTableCell::otherImageClicked(ui::Control*) {}

ui::Label* VelkoraImageMessageTableCell::shownTimeLabel() const {
    return theMessage_ && isMine(*theMessage_) ? myTimeLabel_.get() : otherTimeLabel_.get();
}

void VelkoraImageMessageTableCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("myView", myView_);
    b.outlet("myImageBgView", myImageBgView_);
    b.outlet("myImageBgViewHeightConstraint", myImageBgViewHeightConstraint_);
    b.outlet("myImageBgViewWidthConstraint", myImageBgViewWidthConstraint_);
    b.outlet("myImageView", myImageView_);
    b.outlet("myImageViewHeightConstraint", myImageViewHeightConstraint_);
    b.outlet("myImageViewWidthConstraint", myImageViewWidthConstraint_);
    b.outlet("myTimeLabel", myTimeLabel_);
    b.outlet("myAIV", myAIV_);
    b.outlet("otherView", otherView_);
    b.outlet("otherImageBgView", otherImageBgView_);
    b.outlet("otherImageBgViewHeightConstraint", otherImageBgViewHeightConstraint_);
    b.outlet("otherImageBgViewWidthConstraint", otherImageBgViewWidthConstraint_);
    b.outlet("otherImageView", otherImageView_);
    b.outlet("otherImageViewHeightConstraint", otherImageViewHeightConstraint_);
    b.outlet("otherImageViewWidthConstraint", otherImageViewWidthConstraint_);
    b.outlet("otherTimeLabel", otherTimeLabel_);
    b.outlet("otherAIV", otherAIV_);
    b.action("imageClicked:", this, &VelkoraImageMessageTableCell::imageClicked);
    b.action("otherImageClicked:", this, &VelkoraImageMessageTableCell::otherImageClicked);
}

// ---- headers

std::shared_ptr<VelkoraChatOneHeaderView> VelkoraChatOneHeaderView::initFromNib() {
    registerChatViewClasses();
    auto header = std::make_shared<VelkoraChatOneHeaderView>();
    ui::InterfaceLoader::instance().loadNibNamed(VelkoraEnhancedKeyboardView::interfaceName(kInterface), header.get());
    if (!header->toplevelSubview_) return header;
    header->setFrame(header->toplevelSubview_->frame());
    header->addSubview(header->toplevelSubview_);
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableSectionHeaderLabel(header->headerLabel_.get(), VelkoraChatOneTableCell::kScreenId);
    style.customizeTableSectionHeaderImageView(header->backgroundView_.get(), VelkoraChatOneTableCell::kScreenId);
    return header;
}

void VelkoraChatOneHeaderView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("toplevelSubview", toplevelSubview_);
    b.outlet("backgroundView", backgroundView_);
    b.outlet("headerLabel", headerLabel_);
    b.outlet("headerLineView", headerLineView_);
}

std::shared_ptr<VelkoraChatOneTableHeaderView> VelkoraChatOneTableHeaderView::initFromNib() {
    registerChatViewClasses();
    auto header = std::make_shared<VelkoraChatOneTableHeaderView>();
    ui::InterfaceLoader::instance().loadNibNamed(VelkoraEnhancedKeyboardView::interfaceName(kInterface), header.get());
    if (!header->toplevelSubview_) return header;
    header->setFrame(header->toplevelSubview_->frame());
    header->addSubview(header->toplevelSubview_);
    if (header->loadEarlierButton_)
        header->loadEarlierButton_->setTitle(text("velkora_text_load_earlier_messages_button"));
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeChatLoadEarlierBackgroundView(header->backgroundView_.get(), VelkoraChatOneTableCell::kScreenId);
    style.customizeChatLoadEarlierButton(header->loadEarlierButton_.get(), VelkoraChatOneTableCell::kScreenId);
    return header;
}

void VelkoraChatOneTableHeaderView::loadEarlierMessagesTapped(ui::Control*) {
    if (auto d = delegate_.lock()) d->loadMoreChatMessages();
}

void VelkoraChatOneTableHeaderView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("toplevelSubview", toplevelSubview_);
    b.outlet("backgroundView", backgroundView_);
    b.outlet("loadEarlierButton", loadEarlierButton_);
    b.action("loadEarlierMessagesTapped:", this, &VelkoraChatOneTableHeaderView::loadEarlierMessagesTapped);
}

void registerChatViewClasses() {
    auto& loader = ui::InterfaceLoader::instance();
    if (loader.hasClass("VelkoraMessageTableCell")) return;
    VelkoraLazyImageView::registerClass();
    registerStickerViewClasses();
    loader.registerClass<VelkoraMessageTableCell>("VelkoraMessageTableCell");
    loader.registerClass<VelkoraStickerMessageTableCell>("VelkoraStickerMessageTableCell");
    loader.registerClass<VelkoraImageMessageTableCell>("VelkoraImageMessageTableCell");
}

} // namespace velkora
