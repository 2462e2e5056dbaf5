#include "people/VelkoraPanelProfileView.h"

#include <algorithm>

#include "data/VelkoraAppData.h"
#include "data/VelkoraUserDetailsDisplayer.h"
#include "data/VelkoraUserInfo.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraProfileSupport.h"

namespace velkora {

namespace {
constexpr uint32_t kInboxFeature = 1;
const char* const kAboutClosedNotification = "VelkoraUserAboutPopupClosedNotification";
} // namespace

std::shared_ptr<VelkoraPanelProfileView> VelkoraPanelProfileView::initFromNibWithMessages(bool withMessages) {
    profiles::registerPeopleViewClasses();
    auto block = std::make_shared<VelkoraPanelProfileView>();
    auto objects = ui::InterfaceLoader::instance().loadNibNamed(kInterface, block.get());
    if (objects.empty() || !block->toplevelView_) return nullptr;
    block->myInit(withMessages);
    return block;
}

VelkoraPanelProfileView::~VelkoraPanelProfileView() = default;

void VelkoraPanelProfileView::registerPanelProfileView() {
    VelkoraPanelProfileViewFace::registerMaker([](bool withMessages) -> std::shared_ptr<VelkoraPanelProfileViewFace> {
        return initFromNibWithMessages(withMessages);
    });
}

void VelkoraPanelProfileView::myInit(bool withMessages) {
    setFrame(toplevelView_->frame());
    toplevelView_->setFrame({0, 0, frame().width(), frame().height()});
    toplevelView_->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    addSubview(toplevelView_);

    if (aboutLabel_) origAboutTextViewColor_ = aboutLabel_->textColor();
    if (aboutLabelHeightConstraint_) minAboutLabelHeight_ = aboutLabelHeightConstraint_->constant();

    const std::string signOut = profiles::text("velkora_text_sign_out_title");
    if (fbSignoutButton_) fbSignoutButton_->setTitle(signOut);
    if (twSignoutButton_) twSignoutButton_->setTitle(signOut);
    if (fbConnectLabel_) fbConnectLabel_->setText(profiles::text("velkora_text_facebook_connect_title"));
    if (twConnectLabel_) twConnectLabel_->setText(profiles::text("velkora_text_twitter_connect_title"));
    if (privacyTitle_) privacyTitle_->setText(profiles::text("velkora_text_privacy_title"));
    if (privacyDescriptionLabel_) privacyDescriptionLabel_->setText(profiles::text("velkora_text_activity_share"));
    if (settingsLabel_) settingsLabel_->setText(profiles::text("velkora_text_settings_title"));

    std::weak_ptr<VelkoraPanelProfileView> weak =
        std::static_pointer_cast<VelkoraPanelProfileView>(sharedAs<ui::View>());
    if (withMessages) {
        showInboxBadge();
        if (messagesLabel_) messagesLabel_->setText(profiles::text("velkora_text_messages_tab_title"));
        badgeObserver_ = foundation::NotificationObserver("VelkoraBadgeNumberChangedNotification", nullptr,
                                                          [weak](const foundation::Notification& n) {
                                                              if (auto s = weak.lock()) s->badgeNumberChanged(n);
                                                          });
    } else if (messagesView_) {
        messagesView_->removeFromSuperview();
    }

    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeBackgroundView(backgroundView_.get(), kScreenId);
    style.customizeProfileAboutLabel(aboutLabel_.get(), kScreenId);
    style.customizeProfileEditAboutButton(editAboutButton_.get(), kScreenId);
    style.customizeProfileSettingsButton(settingsButton_.get(), kScreenId);
    style.customizeProfileMessagesButton(messagesButton_.get(), kScreenId);
    style.customizeProfilePrivacyImageView(privacyImageView_.get(), kScreenId);
    style.customizeFacebookConnectLogo(fbSocialLogo_.get(), kScreenId);
    style.customizeFacebookConnectButton(fbConnectButton_.get(), kScreenId);
    style.customizeFacebookSignoutButton(fbSignoutButton_.get(), kScreenId);
    style.customizeTwitterConnectLogo(twSocialLogo_.get(), kScreenId);
    style.customizeTwitterConnectButton(twConnectButton_.get(), kScreenId);
    style.customizeTwitterSignoutButton(twSignoutButton_.get(), kScreenId);

    aboutObserver_ =
        foundation::NotificationObserver(kAboutClosedNotification, nullptr, [weak](const foundation::Notification& n) {
            if (auto s = weak.lock()) s->userAboutChangedHandler(n);
        });
}

void VelkoraPanelProfileView::showInboxBadge() {
    const int32_t badge = VelkoraAgentInternal::instance().getFeatureBadgeNumber(kInboxFeature);
    if (messagesBadgeView_) messagesBadgeView_->setHidden(badge == 0);
    if (messagesBadgeNumberLabel_) messagesBadgeNumberLabel_->setText(std::to_string(badge));
}

void VelkoraPanelProfileView::updateWithVelkoraUser(const std::shared_ptr<VelkoraUserInternal>&) {
    updateAboutText();
    auto& session = VelkoraAgentInternal::instance();
    auto record = session.userInfo();
    // The switch stands for sharing the user's activity: on exactly when not in private mode.
    if (privateModeSwitch_) privateModeSwitch_->setOn(!(record && record->isPrivateMode()));
    auto appData = session.appData();
    if (appData && appData->emailSignUpEnabled()) {
        // Rows taken out stay out for the block's life.
        if (fbView_) fbView_->removeFromSuperview();
        if (twView_) twView_->removeFromSuperview();
        if (settingsView_) settingsView_->setHidden(false);
    } else {
        if (fbView_) fbView_->setHidden(false);
        if (twView_) twView_->setHidden(false);
        if (settingsView_) settingsView_->removeFromSuperview();
        const bool fb = record && record->isFacebookConnected();
        if (fbNameLabel_)
            fbNameLabel_->setText(fb ? VelkoraUserDetailsDisplayer::firstNameLastNameString(record->fbFirstName(),
                                                                                            record->fbLastName(), 0)
                                     : std::string());
        for (ui::View* v : {static_cast<ui::View*>(fbNameLabel_.get()), static_cast<ui::View*>(fbSignoutButton_.get()),
                            static_cast<ui::View*>(fbSocialLogo_.get())})
            if (v) v->setHidden(!fb);
        for (ui::View* v :
             {static_cast<ui::View*>(fbConnectButton_.get()), static_cast<ui::View*>(fbConnectLabel_.get())})
            if (v) v->setHidden(fb);
        const bool tw = record && record->isTwitterConnected();
        if (twNameLabel_) twNameLabel_->setText(tw ? record->twitterName().value_or("") : std::string());
        for (ui::View* v : {static_cast<ui::View*>(twNameLabel_.get()), static_cast<ui::View*>(twSignoutButton_.get()),
                            static_cast<ui::View*>(twSocialLogo_.get())})
            if (v) v->setHidden(!tw);
        for (ui::View* v :
             {static_cast<ui::View*>(twConnectButton_.get()), static_cast<ui::View*>(twConnectLabel_.get())})
            if (v) v->setHidden(tw);
    }
    setNeedsLayout();
}

void VelkoraPanelProfileView::updateAboutText() {
    if (!aboutLabel_) return;
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    const std::string bio = me ? me->customString1().value_or("") : std::string();
    if (bio.empty()) {
        aboutLabel_->setText(profiles::text("velkora_text_bio_text"));
        aboutLabel_->setTextColor(ui::Color::white(1.0 / 3.0));
    } else {
        aboutLabel_->setText(bio);
        aboutLabel_->setTextColor(origAboutTextViewColor_);
    }
    auto constant = [](const std::shared_ptr<ui::LayoutConstraint>& c) { return c ? c->constant() : 0.0; };
    const double width = frame().width() -
                         (constant(aboutViewLeadingSpaceConstraint_) + constant(aboutViewTrailingSpaceConstraint_)) -
                         (constant(aboutLabelLeadingSpaceConstraint_) + constant(aboutLabelTrailingSpaceConstraint_));
    // Measured with a letter at each end, so leading and trailing blanks count; the placeholder is not
    // measured, an empty bio is.
    const auto font = aboutLabel_->font() ? *aboutLabel_->font() : ui::Font::systemFont(17);
    ui::Size measured = ui::measureText("A" + bio + "A", font, std::max(1.0, width), 0, aboutLabel_->lineBreakMode());
    measured.height = std::min(measured.height, 1000.0);
    if (aboutLabelHeightConstraint_)
        aboutLabelHeightConstraint_->setConstant(std::max(minAboutLabelHeight_, measured.height + 1.0));
    setNeedsLayout();
}

void VelkoraPanelProfileView::layoutSubviews() {
    ui::View::layoutSubviews();
    if (!toplevelView_) return;
    toplevelView_->layoutIfNeeded();
    // The rows follow the bio, one under another; rows taken out or hidden leave no gap.
    double y = aboutView_ ? aboutView_->frame().maxY() : 0;
    for (const auto& row : {fbView_, twView_, settingsView_, privacyView_, messagesView_}) {
        if (!row || row->superview() != toplevelView_.get() || row->isHidden()) continue;
        ui::Rect f = row->frame();
        row->setFrame({f.x(), y, toplevelView_->bounds().width() - 2 * f.x(), f.height()});
        y += f.height();
    }
}

void VelkoraPanelProfileView::badgeNumberChanged(const foundation::Notification& n) {
    const foundation::Value* tab = n.userInfo.get("tabId");
    if (!tab || tab->toInt64() != std::optional<int64_t>(kInboxFeature)) return;
    showInboxBadge();
}

void VelkoraPanelProfileView::userAboutChangedHandler(const foundation::Notification&) {
    updateAboutText();
}

void VelkoraPanelProfileView::editAboutButtonClicked(ui::Control*) {
    if (auto d = delegate_.lock()) d->editAboutClicked();
}
void VelkoraPanelProfileView::fbConnectButtonClicked(ui::Control*) {
    if (auto d = delegate_.lock()) d->fbConnectClickedInView(this);
}
void VelkoraPanelProfileView::fbSignoutButtonClicked(ui::Control*) {
    if (auto d = delegate_.lock()) d->fbSignoutClickedInView(this);
}
void VelkoraPanelProfileView::twConnectButtonClicked(ui::Control*) {
    if (auto d = delegate_.lock()) d->twConnectClickedInView(this);
}
void VelkoraPanelProfileView::twSignoutButtonClicked(ui::Control*) {
    if (auto d = delegate_.lock()) d->twSignoutClickedInView(this);
}
void VelkoraPanelProfileView::privateModeSwitchedValue(ui::Control*) {
    if (auto d = delegate_.lock()) d->privateModeSwitchedValue(privateModeSwitch_ && privateModeSwitch_->isOn());
}
void VelkoraPanelProfileView::settingsButtonClicked(ui::Control*) {
    if (auto d = delegate_.lock()) d->settingsClicked();
}
void VelkoraPanelProfileView::messagesButtonClicked(ui::Control*) {
    if (auto d = delegate_.lock()) d->messagesClicked(messagesLabel_ ? messagesLabel_->text() : std::string());
}

void VelkoraPanelProfileView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("toplevelView", toplevelView_);
    b.outlet("backgroundView", backgroundView_);
    b.outlet("aboutView", aboutView_);
    b.outlet("aboutLabel", aboutLabel_);
    b.outlet("editAboutButton", editAboutButton_);
    b.outlet("aboutViewLeadingSpaceConstraint", aboutViewLeadingSpaceConstraint_);
    b.outlet("aboutViewTrailingSpaceConstraint", aboutViewTrailingSpaceConstraint_);
    b.outlet("aboutLabelHeightConstraint", aboutLabelHeightConstraint_);
    b.outlet("aboutLabelLeadingSpaceConstraint", aboutLabelLeadingSpaceConstraint_);
    b.outlet("aboutLabelTrailingSpaceConstraint", aboutLabelTrailingSpaceConstraint_);
    b.outlet("fbView", fbView_);
    b.outlet("fbConnectButton", fbConnectButton_);
    b.outlet("fbConnectLabel", fbConnectLabel_);
    b.outlet("fbNameLabel", fbNameLabel_);
    b.outlet("fbSignoutButton", fbSignoutButton_);
    b.outlet("fbSocialLogo", fbSocialLogo_);
    b.outlet("twView", twView_);
    b.outlet("twConnectButton", twConnectButton_);
    b.outlet("twConnectLabel", twConnectLabel_);
    b.outlet("twNameLabel", twNameLabel_);
    b.outlet("twSignoutButton", twSignoutButton_);
    b.outlet("twSocialLogo", twSocialLogo_);
    b.outlet("privacyView", privacyView_);
    b.outlet("privacyTitle", privacyTitle_);
    b.outlet("privacyDescriptionLabel", privacyDescriptionLabel_);
    b.outlet("privacyImageView", privacyImageView_);
    b.outlet("privateModeSwitch", privateModeSwitch_);
    b.outlet("settingsView", settingsView_);
    b.outlet("settingsButton", settingsButton_);
    b.outlet("settingsLabel", settingsLabel_);
    b.outlet("messagesView", messagesView_);
    b.outlet("messagesButton", messagesButton_);
    b.outlet("messagesLabel", messagesLabel_);
    b.outlet("messagesBadgeView", messagesBadgeView_);
    b.outlet("messagesBadgeNumberLabel", messagesBadgeNumberLabel_);
    b.action("editAboutButtonClicked:", this, &VelkoraPanelProfileView::editAboutButtonClicked);
    b.action("fbConnectButtonClicked:", this, &VelkoraPanelProfileView::fbConnectButtonClicked);
    b.action("fbSignoutButtonClicked:", this, &VelkoraPanelProfileView::fbSignoutButtonClicked);
    b.action("twConnectButtonClicked:", this, &VelkoraPanelProfileView::twConnectButtonClicked);
    b.action("twSignoutButtonClicked:", this, &VelkoraPanelProfileView::twSignoutButtonClicked);
    b.action("privateModeSwitchedValue:", this, &VelkoraPanelProfileView::privateModeSwitchedValue);
    b.action("settingsButtonClicked:", this, &VelkoraPanelProfileView::settingsButtonClicked);
    b.action("messagesButtonClicked:", this, &VelkoraPanelProfileView::messagesButtonClicked);
}

} // namespace velkora
