#include "conversations/VelkoraFeedbackViewController.h"

#include <algorithm>

#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraTwitterConnector.h"
#include "social/VelkoraUserSignUpHelper.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "server/VelkoraServerApi.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraRateUsUtility.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "data/VelkoraUserDetailsDisplayer.h"

namespace velkora {

using foundation::Value;

namespace {

std::string text(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

// The kit's images by name, from its image bundle.
constexpr const char* kUserPlaceholder = "VelImg_UserThumbMediumNon.png";

std::shared_ptr<ui::Image> bundleImage(const std::string& name) {
    return ui::Image::named(name);
}

void rateTheApp(ui::ViewController* from) {
    VelkoraLogEventsManager::instance().logEvent("feature-viewed;rateus");
    VelkoraRateUsUtility::rateApp(VelkoraRateUsUtility::getAppIdFromUrl(VelkoraAppSettings::rateUrl().value_or("")),
                                  from);
}

} // namespace

// ---- cell

std::shared_ptr<VelkoraFeedbackViewCell> VelkoraFeedbackViewCell::initFromNibBig() {
    return initFromNib("VelkoraFeedbackTableCellBig");
}

std::shared_ptr<VelkoraFeedbackViewCell> VelkoraFeedbackViewCell::initFromNibSmall() {
    return initFromNib("VelkoraFeedbackTableCell");
}

std::shared_ptr<VelkoraFeedbackViewCell> VelkoraFeedbackViewCell::initFromNib(const std::string& nibName) {
    registerStickerViewClasses();
    auto cell = std::dynamic_pointer_cast<VelkoraFeedbackViewCell>(
        ui::InterfaceLoader::instance().loadFirstObject(VelkoraEnhancedKeyboardView::interfaceName(nibName)));
    if (!cell) return nullptr;
    cell->setReuseIdentifier(kReuseIdentifier);
    cell->setBackgroundView(ui::View::create(cell->bounds()));
    for (ui::View* v : std::initializer_list<ui::View*>{cell->optionIcon_.get(), cell->optionBacground_.get()})
        if (v) {
            v->layer().setCornerRadius(7);
            v->setClipsToBounds(true);
        }
    if (auto& title = cell->title_) {
        title->setNumberOfLines(1);
        title->setAdjustsFontSizeToFitWidth(true);
        title->setMinimumScaleFactor(0.75);
    }
    for (auto* b : {cell->fbConnectButton_.get(), cell->twitterConnectButton_.get()})
        if (b) {
            b->setHidden(true);
            b->setTitle(text("velkora_text_connect_button"));
        }
    auto selected = ui::View::create(cell->frame());
    selected->setBackgroundColor(ui::Color::rgba(29 / 255.0, 29 / 255.0, 29 / 255.0, 1.0));
    cell->setSelectedBackgroundView(selected);
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableCellTitleLabel(cell->title_.get(), kScreenId);
    style.customizeTableCellDescriptionLabel(cell->description_.get(), kScreenId);
    style.customizeTableCellAccessoryView(cell->accessory_.get(), kScreenId);
    style.customizeTableCellFBConnectButton(cell->fbConnectButton_.get(), kScreenId);
    style.customizeTableCellTwitterConnectButton(cell->twitterConnectButton_.get(), kScreenId);
    style.customizeTableCellSeparatorView(cell->lineView_.get(), kScreenId);
    style.customizeTableCellSelectedBackgroundView(selected.get(), kScreenId);
    return cell;
}

void VelkoraFeedbackViewCell::setOptionIconImage(std::shared_ptr<ui::Image> image) {
    if (optionIcon_) optionIcon_->setImage(std::move(image));
}

void VelkoraFeedbackViewCell::setOptionIconString(const std::string& url) {
    if (optionIcon_) optionIcon_->getImage(url);
}

bool VelkoraFeedbackViewCell::showKitIconUnlessTheApplicationHasOne(bool applicationHasIcon) {
    if (applicationHasIcon) return false;
    setOptionIconImage(bundleImage("VelImg_FeedbackIcon.png"));
    if (optionBacground_) optionBacground_->setBackgroundColor(ui::Color::clear());
    return true;
}

void VelkoraFeedbackViewCell::connectTapped(ui::Control*) {
    if (auto d = delegate_.lock()) d->connectTapped(*this);
}

// The title and the description end a gap before the row's right-hand control: the connect button while one
// shows, else the accessory arrow's place, kept as the row's margin even where the arrow is hidden. A title
// longer than its room shrinks to show whole rather than run under the button or lose its end.
void VelkoraFeedbackViewCell::layoutSubviews() {
    ui::TableViewCell::layoutSubviews();
    constexpr double kGap = 8;
    for (ui::Label* label : {title_.get(), description_.get()}) {
        if (!label || !label->superview()) continue;
        const ui::View* row = label->superview();
        double right = row->bounds().width() - kGap;
        auto limitBy = [&](const ui::View* v) {
            if (v) right = std::min(right, v->convertRectToView(v->bounds(), row).minX() - kGap);
        };
        limitBy(accessory_.get());
        for (const ui::Button* button : {fbConnectButton_.get(), twitterConnectButton_.get()})
            if (button && !button->isHidden()) limitBy(button);
        const ui::Rect f = label->frame();
        label->setFrame({f.x(), f.y(), std::max(0.0, right - f.x()), f.height()});
    }
}

void VelkoraFeedbackViewCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("title", title_);
    b.outlet("description", description_);
    b.outlet("accessory", accessory_);
    b.outlet("optionIcon", optionIcon_);
    b.outlet("optionBacground", optionBacground_);
    b.outlet("fbConnectButton", fbConnectButton_);
    b.outlet("twitterConnectButton", twitterConnectButton_);
    b.outlet("lineView", lineView_);
    b.action("connectTapped:", this, &VelkoraFeedbackViewCell::connectTapped);
}

// ---- menu

VelkoraFeedbackViewController::VelkoraFeedbackViewController()
    : VelkoraGeneralFeatureViewController(VelkoraEnhancedKeyboardView::interfaceName("VelkoraFeedbackView")) {}

std::shared_ptr<VelkoraFeedbackViewController> VelkoraFeedbackViewController::create() {
    registerStickerViewClasses();
    return std::shared_ptr<VelkoraFeedbackViewController>(new VelkoraFeedbackViewController());
}

std::shared_ptr<VelkoraFeedbackViewController> VelkoraFeedbackViewController::initFromNib(bool showProfileButton) {
    auto screen = create();
    screen->setShouldShowProfileButton(showProfileButton);
    return screen;
}

VelkoraFeedbackViewController::~VelkoraFeedbackViewController() {
    VelkoraServerApi::clearUserDelegate(this);
    auto& session = VelkoraAgentInternal::instance();
    if (auto fb = session.fbConnector()) fb->removeDelegate(this);
    if (auto tw = session.twitterConnector()) tw->removeDelegate(this);
    if (userSignUpHelper_) userSignUpHelper_->removeDelegate(this);
}

void VelkoraFeedbackViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("optionsTable", optionsTable_);
}

void VelkoraFeedbackViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    auto self = sharedAs<VelkoraFeedbackViewController>();
    if (optionsTable_) {
        optionsTable_->setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
        optionsTable_->setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
        optionsTable_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
    }
    auto data = VelkoraAgentInternal::instance().appData();
    auto drop = [&](int32_t type, bool keep) {
        if (!keep) std::erase(supportedFeedbackTypes_, type);
    };
    drop(3, data && data->enableShareFacebook());
    drop(4, data && data->enableShareTwitter());
    drop(2, data && data->enableRateUs());
    // Opened without a title, the menu is named as its sidebar row is; "talk to us" is only its first row.
    if (titleLabel() && titleText().empty()) titleLabel()->setText(text("velkora_text_feedback_tab_title"));
}

int VelkoraFeedbackViewController::numberOfRowsInSection(ui::TableView&, int) {
    return static_cast<int>(supportedFeedbackTypes_.size());
}

ui::TableViewCellPtr VelkoraFeedbackViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                          const ui::IndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<VelkoraFeedbackViewCell>(
        table.dequeueReusableCellWithIdentifier(VelkoraFeedbackViewCell::kReuseIdentifier));
    if (!cell) cell = VelkoraFeedbackViewCell::initFromNibBig();
    if (!cell) return nullptr;
    cell->setDelegate(std::weak_ptr<VelkoraFeedbackViewCellDelegate>(sharedAs<VelkoraFeedbackViewController>()));
    if (cell->fbConnectButton()) cell->fbConnectButton()->setHidden(true);
    if (cell->twitterConnectButton()) cell->twitterConnectButton()->setHidden(true);
    const int32_t type =
        indexPath.row < static_cast<int>(supportedFeedbackTypes_.size()) ? supportedFeedbackTypes_[indexPath.row] : 0;
    cell->setFeedbackType(type);
    auto info = VelkoraAgentInternal::instance().userInfo();
    auto setTexts = [&](const char* title, const char* description) {
        if (cell->title()) cell->title()->setText(title ? text(title) : "");
        if (cell->description()) cell->description()->setText(description ? text(description) : "");
    };
    auto clearBackground = [&] {
        if (cell->optionBacground()) cell->optionBacground()->setBackgroundColor(ui::Color::clear());
    };
    switch (type) {
    case 1: {
        setTexts("velkora_text_talk_to_us_title", "velkora_text_talk_to_us_description");
        auto logo = VelkoraAppSettings::appLogo();
        auto data = VelkoraAgentInternal::instance().appData();
        const bool hasAppImage = data && data->appImage() && !data->appImage()->empty();
        if (cell->showKitIconUnlessTheApplicationHasOne(logo || hasAppImage)) break;
        cell->setOptionIconImage(logo);
        if (hasAppImage) cell->setOptionIconString(*data->appImage());
        if (cell->optionBacground()) cell->optionBacground()->setBackgroundColor(VelkoraAppSettings::leadingColor());
        break;
    }
    case 2:
        setTexts("velkora_text_rate_us_title", "velkora_text_rate_us_description");
        cell->setOptionIconImage(bundleImage("VelImg_RateUsIcon.png"));
        clearBackground();
        break;
    case 3:
        setTexts("velkora_text_share_on_facebook", "velkora_text_share_on_facebook_description");
        cell->setOptionIconImage(bundleImage("VelImg_FacebookIcon.png"));
        clearBackground();
        if (cell->fbConnectButton()) cell->fbConnectButton()->setHidden(info && info->isFacebookConnected());
        break;
    case 4:
        setTexts("velkora_text_share_on_twitter_title", "velkora_text_share_on_twitter_description");
        cell->setOptionIconImage(bundleImage("VelImg_TwitterIcon.png"));
        clearBackground();
        if (cell->twitterConnectButton()) cell->twitterConnectButton()->setHidden(info && info->isTwitterConnected());
        break;
    default:
        setTexts(nullptr, nullptr);
        break;
    }
    // The texts' room depends on whether a connect button shows.
    cell->setNeedsLayout();
    return cell;
}

void VelkoraFeedbackViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

// Every row is as tall as its interface file makes it; the table's default would let rows overlap.
double VelkoraFeedbackViewController::heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath&) {
    if (rowHeight_ <= 0) {
        auto cell = VelkoraFeedbackViewCell::initFromNibBig();
        rowHeight_ = cell ? cell->frame().height() : table.rowHeight();
    }
    return rowHeight_;
}

void VelkoraFeedbackViewController::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) {
    if (indexPath.row >= static_cast<int>(supportedFeedbackTypes_.size())) return;
    lastFeedbackType_ = supportedFeedbackTypes_[indexPath.row];
    auto info = VelkoraAgentInternal::instance().userInfo();
    auto& session = VelkoraAgentInternal::instance();
    switch (lastFeedbackType_) {
    case 1: {
        auto talk = VelkoraFeedbackTalkToUsViewController::initFromNibWithDelegate(
            std::weak_ptr<VelkoraFeedbackTalkToUsViewControllerDelegate>(sharedAs<VelkoraFeedbackViewController>()));
        auto d = featureTabDelegate();
        const bool inPopover = d && d->isUsingPopover();
        talk->setModalPresentationStyle(inPopover ? ui::ModalPresentationStyle::CurrentContext
                                                  : ui::ModalPresentationStyle::FullScreen);
        if (inPopover) talk->setModalInPopover(true);
        presentViewController(talk, true);
        break;
    }
    case 2:
        rateTheApp(this);
        break;
    case 3:
        if (info && info->isFacebookConnected())
            if (auto fb = session.fbConnector())
                fb->inviteByPostOnWall([](bool success) {
                    if (success) VelkoraLogEventsManager::instance().logEvent("feedback-shared;facebook");
                });
        break;
    case 4:
        if (info && info->isTwitterConnected())
            if (auto tw = session.twitterConnector())
                tw->sendInvitationTweet(this, [](bool success) {
                    if (success) VelkoraLogEventsManager::instance().logEvent("feedback-shared;twitter");
                });
        break;
    default:
        break;
    }
    table.deselectRowAtIndexPath(indexPath, true);
}

void VelkoraFeedbackViewController::dismissTalkToUs() {
    dismissViewController(true);
}

// The row's type says which network, whatever its localized title reads.
void VelkoraFeedbackViewController::connectTapped(VelkoraFeedbackViewCell& cell) {
    auto& session = VelkoraAgentInternal::instance();
    std::weak_ptr<VelkoraFeedbackViewController> weak = sharedAs<VelkoraFeedbackViewController>();
    if (cell.feedbackType() == 3) {
        if (auto fb = session.fbConnector())
            fb->connectWithDelegate(
                VelkoraConnectorTarget::make(sharedAs<VelkoraFeedbackViewController>(), [weak](const Value& details) {
                    if (auto s = weak.lock()) s->fbConnected(details);
                }));
    } else if (cell.feedbackType() == 4) {
        if (auto tw = session.twitterConnector())
            tw->getUserDetailsWithView(
                view().get(),
                VelkoraConnectorTarget::make(sharedAs<VelkoraFeedbackViewController>(), [weak](const Value& details) {
                    if (auto s = weak.lock()) s->twitterGotUserDetails(details);
                }));
    }
}

VelkoraUserSignUpHelper& VelkoraFeedbackViewController::userSignUpHelper() {
    if (!userSignUpHelper_) userSignUpHelper_ = VelkoraUserSignUpHelper::create();
    return *userSignUpHelper_;
}

// A log-in that failed brings no details: there is nothing to connect.
void VelkoraFeedbackViewController::fbConnected(const Value& details) {
    if (details.isNull()) return;
    connectWithNetwork(2, details);
}

void VelkoraFeedbackViewController::twitterGotUserDetails(const Value& details) {
    if (details.isNull()) return;
    connectWithNetwork(3, details);
}

void VelkoraFeedbackViewController::connectWithNetwork(int32_t method, const Value& details) {
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    const bool justUid = me && !me->isAnonymous();
    userSignUpHelper().connectServerWithDetails(details, 0, method, justUid, true,
                                                VelkoraCallback(sharedAs<VelkoraFeedbackViewController>(),
                                                                &VelkoraFeedbackViewController::connectedServer,
                                                                &VelkoraFeedbackViewController::serverConnectFailed));
}

void VelkoraFeedbackViewController::connectedServer(const Value&) {
    if (optionsTable_) optionsTable_->reloadData();
}

void VelkoraFeedbackViewController::serverConnectFailed(const foundation::ErrorPtr&) {}

// ---- talk to us

VelkoraFeedbackTalkToUsViewController::VelkoraFeedbackTalkToUsViewController()
    : VelkoraGeneralFeatureViewController(VelkoraEnhancedKeyboardView::interfaceName("VelkoraFeedbackTalkToUs")) {}

std::shared_ptr<VelkoraFeedbackTalkToUsViewController> VelkoraFeedbackTalkToUsViewController::initFromNibWithDelegate(
    std::weak_ptr<VelkoraFeedbackTalkToUsViewControllerDelegate> delegate) {
    registerStickerViewClasses();
    auto screen = std::shared_ptr<VelkoraFeedbackTalkToUsViewController>(new VelkoraFeedbackTalkToUsViewController());
    screen->delegate_ = std::move(delegate);
    return screen;
}

VelkoraFeedbackTalkToUsViewController::~VelkoraFeedbackTalkToUsViewController() {
    VelkoraServerApi::clearUserDelegate(this);
}

void VelkoraFeedbackTalkToUsViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("feedbackText", feedbackText_);
    b.outlet("sendFeedbackButton", sendFeedbackButton_);
    b.outlet("cancelFeedbackButton", cancelFeedbackButton_);
    b.outlet("feedbackModeButton", feedbackModeButton_);
    b.outlet("bugModeButton", bugModeButton_);
    b.outlet("requestModeButton", requestModeButton_);
    b.outlet("feedbackModeLabel", feedbackModeLabel_);
    b.outlet("bugModeLabel", bugModeLabel_);
    b.outlet("requestModeLabel", requestModeLabel_);
    b.outlet("feedbackModeView", feedbackModeView_);
    b.outlet("bugModeView", bugModeView_);
    b.outlet("requestModeView", requestModeView_);
    b.outlet("arrowImageView", arrowImageView_);
    b.outlet("arrowLeadingSpaceConstraint", arrowLeadingSpaceConstraint_);
    b.outlet("feedbackStarBtn1", feedbackStarBtn1_);
    b.outlet("feedbackStarBtn2", feedbackStarBtn2_);
    b.outlet("feedbackStarBtn3", feedbackStarBtn3_);
    b.outlet("feedbackStarBtn4", feedbackStarBtn4_);
    b.outlet("feedbackStarBtn5", feedbackStarBtn5_);
    b.outlet("rateUsView", rateUsView_);
    b.outlet("userDetailsView", userDetailsView_);
    b.outlet("userPhoto", userPhoto_);
    b.outlet("userName", userName_);
    b.outlet("userVersions", userVersions_);
    b.outlet("feedbackContentView", feedbackContentView_);
    b.outlet("activityIndicator", activityIndicator_);
    b.outlet("textViewTopSpaceConstraint", textViewTopSpaceConstraint_);
    b.outlet("textViewBottomSpaceConstraint", textViewBottomSpaceConstraint_);
    b.action("feedbackModeTapped:", this, &VelkoraFeedbackTalkToUsViewController::feedbackModeTapped);
    b.action("bugModeTapped:", this, &VelkoraFeedbackTalkToUsViewController::bugModeTapped);
    b.action("requestModeTapped:", this, &VelkoraFeedbackTalkToUsViewController::requestModeTapped);
    b.action("feedbackStarTapped:", this, &VelkoraFeedbackTalkToUsViewController::feedbackStarTapped);
}

void VelkoraFeedbackTalkToUsViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    requestMode_ = 4;
    if (feedbackStarBtn1_) rateStarOnImage_ = feedbackStarBtn1_->imageForState(ui::ControlStateNormal);
    if (feedbackStarBtn2_) rateStarOffImage_ = feedbackStarBtn2_->imageForState(ui::ControlStateNormal);
    if (feedbackModeLabel_) feedbackTypeSelectedColor_ = feedbackModeLabel_->textColor();
    if (requestModeLabel_) feedbackTypeUnselectedColor_ = requestModeLabel_->textColor();
    if (feedbackText_) textOrigColor_ = feedbackText_->textColor();
    if (userPhoto_) {
        userPhoto_->layer().setCornerRadius(7);
        userPhoto_->setClipsToBounds(true);
    }
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    if (userDetailsView_) userDetailsView_->setHidden(!me || me->isAnonymous());
    if (me && !me->isAnonymous()) {
        if (userName_) userName_->setText(VelkoraUserDetailsDisplayer::nameFull(me.get()));
        // A user without a photo (or until it comes) shows the kit's usual silhouette, not an empty tile.
        if (userPhoto_) userPhoto_->setImage(bundleImage(kUserPlaceholder));
        auto info = VelkoraAgentInternal::instance().userInfo();
        if (userPhoto_ && me->hasPhoto(info ? info->userInfoSource() : 0)) {
            const ui::Size px = userPhoto_->getSizeInPixels();
            if (auto url = me->getSizedPhotoUrl(static_cast<float>(px.width), static_cast<float>(px.height)))
                userPhoto_->getImage(*url);
        }
    }
    if (userVersions_) userVersions_->setText("iOS " + ui::Device::current().systemVersion());
    if (feedbackText_) {
        // The text keeps clear of the field's rounded border.
        feedbackText_->setTextContainerInset({8, 8, 8, 8});
        feedbackText_->setTextColor(ui::Color::white(2.0 / 3.0));
        feedbackText_->setDelegate(
            std::static_pointer_cast<ui::TextViewDelegate>(sharedAs<VelkoraFeedbackTalkToUsViewController>()));
    }
    startedEditing_ = false;
    feedbackModeTapped(nullptr);
    updateNumStars(5);
    if (titleLabel()) titleLabel()->setText(text("velkora_text_talk_to_us_title"));
    if (cancelFeedbackButton_) cancelFeedbackButton_->setTitle(text("velkora_text_cancel_button"));
    if (sendFeedbackButton_) sendFeedbackButton_->setTitle(text("velkora_text_send_button"));
    if (feedbackModeLabel_) feedbackModeLabel_->setText(text("velkora_text_send_feedback_title"));
    if (bugModeLabel_) bugModeLabel_->setText(text("velkora_text_bug_report_title"));
    if (requestModeLabel_) requestModeLabel_->setText(text("velkora_text_feature_request_title"));
    keyboardShowObserver_ = foundation::NotificationObserver(
        ui::kKeyboardWillShowNotification, nullptr, [this](const foundation::Notification& n) { keyboardWillShow(n); });
    keyboardHideObserver_ = foundation::NotificationObserver(
        ui::kKeyboardWillHideNotification, nullptr, [this](const foundation::Notification& n) { keyboardWillHide(n); });
    auto d = featureTabDelegate();
    if (d && d->isTopPanelHidden() && sendFeedbackButton_ && !sendFeedbackButton_->isHidden()) {
        navigationItem().setRightBarButtonItem(ui::BarButtonItem::withCustomView(sendFeedbackButton_));
    } else {
        navigationItem().setRightBarButtonItem(nullptr);
    }
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeFeedbackTextView(feedbackText_.get(), kScreenId);
    style.customizeDialogCancelButton(cancelFeedbackButton_.get(), kScreenId);
    style.customizeDialogSendButton(sendFeedbackButton_.get(), kScreenId);
}

void VelkoraFeedbackTalkToUsViewController::selectMode(int32_t mode) {
    requestMode_ = mode;
    struct Entry {
        int32_t mode;
        ui::Label* label;
        ui::Button* button;
        ui::View* view;
        const char* placeholder;
    } entries[] = {
        {4, feedbackModeLabel_.get(), feedbackModeButton_.get(), feedbackModeView_.get(),
         "velkora_text_talk_to_us_feedback"},
        {2, bugModeLabel_.get(), bugModeButton_.get(), bugModeView_.get(), "velkora_text_talk_to_us_bug"},
        {1, requestModeLabel_.get(), requestModeButton_.get(), requestModeView_.get(),
         "velkora_text_talk_to_us_feature"},
    };
    for (const Entry& e : entries) {
        const bool chosen = e.mode == mode;
        if (e.label) e.label->setTextColor(chosen ? feedbackTypeSelectedColor_ : feedbackTypeUnselectedColor_);
        if (e.button) e.button->setSelected(chosen);
        if (!chosen) continue;
        if (!startedEditing_ && feedbackText_) feedbackText_->setText(text(e.placeholder));
        if (arrowLeadingSpaceConstraint_ && e.view) arrowLeadingSpaceConstraint_->setConstant(e.view->frame().x());
    }
    if (rateUsView_) rateUsView_->setHidden(mode != 4);
    closeHiddenBands();
}

// The stars and the sender's details sit in bands above the text; a band that is hidden gives its room to
// what is below it, so no empty stripe is left between the kinds and the text.
void VelkoraFeedbackTalkToUsViewController::closeHiddenBands() {
    if (!textViewTopSpaceConstraint_) return;
    constexpr double kGap = 4;
    double shift = 0;
    if (rateUsView_ && rateUsView_->isHidden()) shift += rateUsView_->frame().height() + kGap;
    if (userDetailsView_) {
        if (detailsTop_ < 0) detailsTop_ = userDetailsView_->frame().y();
        ui::Rect details = userDetailsView_->frame();
        details.origin.y = detailsTop_ - shift;
        userDetailsView_->setFrame(details);
        if (userDetailsView_->isHidden()) shift += details.height() + kGap;
    }
    textViewTopSpaceConstraint_->setConstant(textViewTopSpaceConstraint_->constant() + bandsShift_ - shift);
    bandsShift_ = shift;
}

void VelkoraFeedbackTalkToUsViewController::feedbackModeTapped(ui::Control*) {
    selectMode(4);
}
void VelkoraFeedbackTalkToUsViewController::bugModeTapped(ui::Control*) {
    selectMode(2);
}
void VelkoraFeedbackTalkToUsViewController::requestModeTapped(ui::Control*) {
    selectMode(1);
}

void VelkoraFeedbackTalkToUsViewController::feedbackStarTapped(ui::Control* sender) {
    if (sender) updateNumStars(sender->tag() - 1000);
}

void VelkoraFeedbackTalkToUsViewController::updateNumStars(int n) {
    stars_ = n;
    for (int i = 0; i < 5; ++i)
        if (auto* star = dynamic_cast<ui::Button*>(view()->viewWithTag(1001 + i)))
            star->setImage(i < n ? rateStarOnImage_ : rateStarOffImage_, ui::ControlStateNormal);
}

// The placeholder goes the first time only: a later begin of editing keeps what was typed.
bool VelkoraFeedbackTalkToUsViewController::textViewShouldBeginEditing(ui::TextView& textView) {
    if (!startedEditing_) {
        textView.setTextColor(textOrigColor_);
        textView.setText("");
        startedEditing_ = true;
    }
    return true;
}

std::string VelkoraFeedbackTalkToUsViewController::userText() const {
    if (!feedbackText_ || !startedEditing_ || !(feedbackText_->textColor() == textOrigColor_)) return {};
    return feedbackText_->text();
}

void VelkoraFeedbackTalkToUsViewController::setSending(bool sending) {
    sending_ = sending;
    // The screen waits for the answer, but Cancel stays: a send parked until the network returns still
    // goes once, and the user need not wait for it.
    if (feedbackContentView_) feedbackContentView_->setUserInteractionEnabled(!sending);
    if (sendFeedbackButton_) sendFeedbackButton_->setEnabled(!sending);
    if (activityIndicator_) {
        if (sending)
            activityIndicator_->startAnimating();
        else
            activityIndicator_->stopAnimating();
    }
}

void VelkoraFeedbackTalkToUsViewController::sendTapped(ui::Control*) {
    const std::string message = userText();
    if (message.empty() || sending_) return;
    setSending(true);
    auto self = sharedAs<VelkoraFeedbackTalkToUsViewController>();
    VelkoraServerApi::sendMessage(message, VelkoraAppSettings::appId(), std::string("_OWNER"), requestMode_, stars_,
                                  std::string("text/plain"),
                                  VelkoraCallback(self, &VelkoraFeedbackTalkToUsViewController::feedbackSent,
                                                  &VelkoraFeedbackTalkToUsViewController::feedbackFailed));
}

void VelkoraFeedbackTalkToUsViewController::feedbackSent(const Value&) {
    setSending(false);
    popupIsConfirmCancel_ = false;
    std::shared_ptr<VelkoraDefaultOKPopupView> popup;
    if (stars_ == 5 && requestMode_ == 4) {
        popupOKIsRateUs_ = true;
        popup = VelkoraDefaultOKPopupView::initWithCustomNib("VelkoraFeedbackPopupWithRateUs",
                                                             text("velkora_text_rate_us_button"),
                                                             text("velkora_text_rate_us_later_button"));
        if (popup && popup->messageLable())
            popup->messageLable()->setText(text("velkora_text_post_feedback_popup_message_5stars"));
    } else {
        popup = VelkoraDefaultOKPopupView::initWithCustomNib("VelkoraFeedbackPopupClose",
                                                             text("velkora_text_close_button"), "");
        if (popup && popup->messageLable())
            popup->messageLable()->setText(text("velkora_text_post_feedback_popup_message"));
    }
    if (!popup) return;
    if (popup->titleLabel()) popup->titleLabel()->setText(text("velkora_text_post_feedback_popup_title"));
    if (popup->messageLable()) popup->messageLable()->setNumberOfLines(0);
    popup->setDelegate(
        std::weak_ptr<VelkoraDefaultOKPopupViewDelegate>(sharedAs<VelkoraFeedbackTalkToUsViewController>()));
    popup->showInView(view().get(), true);
}

// The message did not reach the service: the screen comes back with the text as it was.
void VelkoraFeedbackTalkToUsViewController::feedbackFailed(const foundation::ErrorPtr& error) {
    setSending(false);
    foundation::Log::line("Velkora (W) - Feedback was not sent: %@", error ? error->description() : "");
    auto toast = VelkoraDefaultNotificationPopupView::initFromNib(text("velkora_text_feedback_failed_message"));
    if (toast) toast->showInView(view()->window() ? static_cast<ui::View*>(view()->window()) : view().get());
}

void VelkoraFeedbackTalkToUsViewController::dismissSelf() {
    if (presentingViewController())
        dismissViewController(true);
    else if (auto* nav = navigationController())
        nav->popViewController(true);
}

void VelkoraFeedbackTalkToUsViewController::cancelTapped(ui::Control*) {
    if (!userText().empty()) {
        popupIsConfirmCancel_ = true;
        auto popup = VelkoraDefaultOKPopupView::initFromNibCancel(text("velkora_text_confirm_yes_button"),
                                                                  text("velkora_text_cancel_button"));
        if (!popup) return;
        if (popup->titleLabel()) popup->titleLabel()->setText(text("velkora_text_feedback_cancel_title"));
        if (popup->messageLable()) popup->messageLable()->setText(text("velkora_text_feedback_cancel_message"));
        popup->setDelegate(
            std::weak_ptr<VelkoraDefaultOKPopupViewDelegate>(sharedAs<VelkoraFeedbackTalkToUsViewController>()));
        popup->showInView(view().get());
        return;
    }
    dismissSelf();
}

void VelkoraFeedbackTalkToUsViewController::popupOkTapped() {
    if (popupOKIsRateUs_) {
        rateTheApp(this);
        popupOKIsRateUs_ = false;
    }
    if (auto d = delegate_.lock()) d->dismissTalkToUs();
}

void VelkoraFeedbackTalkToUsViewController::popupCancelTapped() {
    if (popupIsConfirmCancel_) return;
    if (auto d = delegate_.lock()) d->dismissTalkToUs();
}

void VelkoraFeedbackTalkToUsViewController::keyboardWillShow(const foundation::Notification& n) {
    if (ui::Application::instance().statusBarOrientation() < 2) return;
    if (!textViewTopSpaceConstraint_ || !textViewBottomSpaceConstraint_) return;
    const double duration = n.userInfo[ui::kKeyboardAnimationDurationUserInfoKey].doubleOr(0.25);
    textViewTopSpaceConstraint_->setConstant(textViewTopSpaceConstraint_->constant() - 100);
    textViewBottomSpaceConstraint_->setConstant(100);
    ui::Animator::animate(duration, [this] { view()->layoutIfNeeded(); });
}

void VelkoraFeedbackTalkToUsViewController::keyboardWillHide(const foundation::Notification& n) {
    if (ui::Application::instance().statusBarOrientation() < 2) return;
    if (!textViewTopSpaceConstraint_ || !textViewBottomSpaceConstraint_) return;
    const double duration = n.userInfo[ui::kKeyboardAnimationDurationUserInfoKey].doubleOr(0.25);
    textViewTopSpaceConstraint_->setConstant(textViewTopSpaceConstraint_->constant() +
                                             textViewBottomSpaceConstraint_->constant());
    textViewBottomSpaceConstraint_->setConstant(0);
    ui::Animator::animate(duration, [this] { view()->layoutIfNeeded(); });
}

} // namespace velkora
