#include "people/VelkoraUserSettingsViewController.h"

#include <iterator>

#include "data/VelkoraUserDetailsDisplayer.h"
#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUserInternal.h"
#include "people/VelkoraPasswordScreens.h"
#include "people/VelkoraUserPictureUploader.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraAccountScreenSupport.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraPanelProfileViewDelegate.h"
#include "shell/VelkoraPictureTaker.h"
#include "shell/VelkoraResizeableButton.h"

namespace velkora {

using foundation::ErrorPtr;
using foundation::Log;
using foundation::Value;

namespace {
const std::optional<std::string> kNoAddress;

void showRow(bool connected, ui::View* name, ui::View* signOut, ui::View* logo, ui::View* connect,
             ui::View* connectLabel) {
    for (ui::View* v : {name, signOut, logo})
        if (v) v->setHidden(!connected);
    for (ui::View* v : {connect, connectLabel})
        if (v) v->setHidden(connected);
}
} // namespace

std::shared_ptr<VelkoraUserSettingsViewController>
VelkoraUserSettingsViewController::initFromNib(const std::string& nibName) {
    return std::shared_ptr<VelkoraUserSettingsViewController>(new VelkoraUserSettingsViewController(nibName));
}

VelkoraUserSettingsViewController::VelkoraUserSettingsViewController(std::string nibName)
    : VelkoraGeneralFeatureViewController(std::move(nibName)) {}

VelkoraUserSettingsViewController::~VelkoraUserSettingsViewController() {
    VelkoraServerApi::clearUserDelegate(this);
}

void VelkoraUserSettingsViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("scrollView", scrollView_);
    b.outlet("userDetailsLabel", userDetailsLabel_);
    b.outlet("userDetailsView", userDetailsView_);
    b.outlet("userImageView", userImageView_);
    b.outlet("userImageFrameView", userImageFrameView_);
    b.outlet("userNameTextField", userNameTextField_);
    b.outlet("changePasswordView", changePasswordView_);
    b.outlet("changePasswordLabel", changePasswordLabel_);
    b.outlet("changePasswordButton", changePasswordButton_);
    b.outlet("accountsLabel", accountsLabel_);
    b.outlet("updateButton", updateButton_);
    b.outlet("fbView", fbView_);
    b.outlet("fbUserNameLabel", fbUserNameLabel_);
    b.outlet("fbSignOutButton", fbSignOutButton_);
    b.outlet("fbConnectButton", fbConnectButton_);
    b.outlet("fbConnectLabel", fbConnectLabel_);
    b.outlet("fbSocialLogo", fbSocialLogo_);
    b.outlet("twView", twView_);
    b.outlet("twUserNameLabel", twUserNameLabel_);
    b.outlet("twSignOutButton", twSignOutButton_);
    b.outlet("twConnectButton", twConnectButton_);
    b.outlet("twConnectLabel", twConnectLabel_);
    b.outlet("twSocialLogo", twSocialLogo_);
    b.outlet("emailView", emailView_);
    b.outlet("emailUserNameLabel", emailUserNameLabel_);
    b.outlet("emailSignOutButton", emailSignOutButton_);
    b.outlet("emailSocialLogo", emailSocialLogo_);
    using S = VelkoraUserSettingsViewController;
    b.action("updateClicked:", this, &S::updateClicked);
    b.action("imageAddClicked:", this, &S::imageAddClicked);
    b.action("changePasswordClicked:", this, &S::changePasswordClicked);
    b.action("fbSignOutClicked:", this, &S::fbSignOutClicked);
    b.action("fbConnectClicked:", this, &S::fbConnectClicked);
    b.action("twSignOutClicked:", this, &S::twSignOutClicked);
    b.action("twConnectClicked:", this, &S::twConnectClicked);
    b.action("emailSignOutClicked:", this, &S::emailSignOutClicked);
}

void VelkoraUserSettingsViewController::viewDidLoad() {
    setStyleScreenIdentifier(kStyleScreenIdentifier);
    setTitleText(account::localized("velkora_text_settings_title"));
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (userImageView_) {
        userImageView_->layer().setCornerRadius(7.0);
        userImageView_->setClipsToBounds(true);
    }
    const std::pair<ui::Label*, const char*> texts[] = {
        {userDetailsLabel_.get(), "velkora_text_user_details_title"},
        {accountsLabel_.get(), "velkora_text_accounts_title"},
        {changePasswordLabel_.get(), "velkora_text_change_password_button"},
        {fbConnectLabel_.get(), "velkora_text_facebook_connect_title"},
        {twConnectLabel_.get(), "velkora_text_twitter_connect_title"},
    };
    for (const auto& [label, key] : texts)
        if (label) label->setText(account::localized(key));
    if (updateButton_)
        updateButton_->setTitle(account::localized("velkora_text_update_button"), ui::ControlStateNormal);
    if (userNameTextField_) {
        userNameTextField_->setBorderStyle(ui::TextBorderStyle::RoundedRect);
        userNameTextField_->setDelegate(std::dynamic_pointer_cast<ui::TextFieldDelegate>(shared_from_this()));
    }
    if (scrollView_) scrollViewOrigHeight_ = scrollView_->frame().height();
    updateUser();
    account::moveMainButtonIfPanelHidden(*this, updateButton_);

    auto& c = VelkoraStyleSheetCustomizer::instance();
    const uint32_t screen = styleScreenIdentifier();
    c.customizeUserPhotoFrameImage(userImageFrameView_.get(), screen);
    c.customizeFacebookConnectLogo(fbSocialLogo_.get(), screen);
    c.customizeFacebookConnectButton(fbConnectButton_.get(), screen);
    c.customizeFacebookSignoutButton(fbSignOutButton_.get(), screen);
    c.customizeTwitterConnectLogo(twSocialLogo_.get(), screen);
    c.customizeTwitterConnectButton(twConnectButton_.get(), screen);
    c.customizeTwitterSignoutButton(twSignOutButton_.get(), screen);
    c.customizeEmailConnectLogo(emailSocialLogo_.get(), screen);
    c.customizeEmailSignoutButton(emailSignOutButton_.get(), screen);
    c.customizeChangePasswordButton(changePasswordButton_.get(), screen);
    c.customizeUpdateButton(updateButton_.get(), screen);

    signinObserver_ = foundation::NotificationObserver("VelkoraUserSigninChanged", nullptr,
                                                       [this](const foundation::Notification&) { updateUser(); });
}

void VelkoraUserSettingsViewController::updateUser() {
    updateWithVelkoraUser(VelkoraAgentInternal::instance().velkoraUser());
}

void VelkoraUserSettingsViewController::updateWithVelkoraUser(const std::shared_ptr<VelkoraUserInternal>& user) {
    for (const auto& row : {fbView_, twView_, emailView_})
        if (row) row->setHidden(false);
    if (changePasswordView_) changePasswordView_->setHidden(false);
    if (userNameTextField_) userNameTextField_->setText(VelkoraUserDetailsDisplayer::nameFull(user.get()));

    auto info = VelkoraAgentInternal::instance().userInfo();
    if (userImageView_) {
        userImageView_->setImage(ui::Image::named("VelImg_EmptyThumb.png"));
        if (user && user->hasPhoto(info ? info->userInfoSource() : 0)) {
            const ui::Size pixels = userImageView_->getSizeInPixels();
            if (auto address =
                    user->getSizedPhotoUrl(static_cast<float>(pixels.width), static_cast<float>(pixels.height)))
                userImageView_->getImage(*address);
        }
    }
    if (!info) {
        closeUpRows();
        return;
    }

    const bool facebook = info->isFacebookConnected();
    if (facebook && fbUserNameLabel_)
        fbUserNameLabel_->setText(
            VelkoraUserDetailsDisplayer::firstNameLastNameString(info->fbFirstName(), info->fbLastName(), 0));
    showRow(facebook, fbUserNameLabel_.get(), fbSignOutButton_.get(), fbSocialLogo_.get(), fbConnectButton_.get(),
            fbConnectLabel_.get());

    const bool twitter = info->isTwitterConnected();
    if (twitter && twUserNameLabel_) twUserNameLabel_->setText(info->twitterName().value_or(""));
    showRow(twitter, twUserNameLabel_.get(), twSignOutButton_.get(), twSocialLogo_.get(), twConnectButton_.get(),
            twConnectLabel_.get());

    if (info->isEmailConnected()) {
        if (emailUserNameLabel_) emailUserNameLabel_->setText(user && user->email() ? *user->email() : "");
    } else {
        if (emailView_) emailView_->setHidden(true);
        if (changePasswordView_) changePasswordView_->setHidden(true);
    }
    closeUpRows();
}

void VelkoraUserSettingsViewController::closeUpRows() {
    // A hidden row gives its place to the rows below it, as a phone's settings list closes up, so no
    // empty band is left above the Update button.
    const std::shared_ptr<ui::View> rows[] = {fbView_, twView_, emailView_, changePasswordView_};
    constexpr size_t n = std::size(rows);
    if (rowTops_.empty()) {
        for (const auto& row : rows)
            rowTops_.push_back(row ? row->frame().y() : 0);
        rowTops_.push_back(updateButton_ ? updateButton_->frame().y() : 0);
    }
    double shift = 0;
    for (size_t i = 0; i < n; ++i) {
        const auto& row = rows[i];
        if (!row) continue;
        row->setFrame({row->frame().x(), rowTops_[i] - shift, row->frame().width(), row->frame().height()});
        if (!row->isHidden()) continue;
        // A row's place is its height and the gap to the next row; the last row takes the pitch of the one
        // before it, so the Update button keeps its own gap.
        if (i + 1 < n && rows[i + 1])
            shift += rowTops_[i + 1] - rowTops_[i];
        else if (i > 0 && rows[i - 1])
            shift += rowTops_[i] - rowTops_[i - 1];
    }
    // The button moves with the rows only while it is among them, not when it went into the bar.
    if (updateButton_ && rows[n - 1] && updateButton_->superview() == rows[n - 1]->superview()) {
        const ui::Rect f = updateButton_->frame();
        updateButton_->setFrame({f.x(), rowTops_[n] - shift, f.width(), f.height()});
    }
}

const std::optional<std::string>& VelkoraUserSettingsViewController::uploadedImageUrl() const {
    return pictureUploader_ ? pictureUploader_->uploadedImageUrl() : kNoAddress;
}

bool VelkoraUserSettingsViewController::hasChanges() const {
    auto user = VelkoraAgentInternal::instance().velkoraUser();
    const std::string typed = userNameTextField_ ? userNameTextField_->text() : "";
    return typed != VelkoraUserDetailsDisplayer::nameFull(user.get()) || uploadedImageUrl().has_value();
}

void VelkoraUserSettingsViewController::updateClicked(ui::Control*) {
    if (saving_) return;
    const std::string typed = userNameTextField_ ? userNameTextField_->text() : "";
    // Blanks are no name: the user would be anonymous everywhere.
    if (account::isBlankName(typed)) {
        account::showOKPopup("velkora_text_requirements_not_met_title", "velkora_text_name_not_empty_message");
        return;
    }
    auto current = VelkoraAgentInternal::instance().velkoraUser();
    if (!current) return;
    auto changed = current->copy();
    bool anything = false;
    if (typed != VelkoraUserDetailsDisplayer::nameFull(current.get())) {
        changed->setFirstName(typed);
        changed->setLastName(std::string());
        anything = true;
    }
    if (const auto& picture = uploadedImageUrl()) {
        changed->setUserPhotoUrl(*picture);
        anything = true;
    }
    if (!anything) return;
    // The current user changes only once the service has it.
    saving_ = true;
    pendingUser_ = changed;
    auto self = std::static_pointer_cast<VelkoraUserSettingsViewController>(shared_from_this());
    VelkoraServerApi::setUserData(changed, VelkoraCallback(self, &VelkoraUserSettingsViewController::userDataSaved,
                                                           &VelkoraUserSettingsViewController::userDataSaveFailed));
}

void VelkoraUserSettingsViewController::userDataSaved(const Value&) {
    saving_ = false;
    auto saved = std::move(pendingUser_);
    auto current = VelkoraAgentInternal::instance().velkoraUser();
    if (!saved || !current) return;
    // The one current user object the other screens hold takes the saved values.
    current->setFirstName(saved->firstName());
    current->setLastName(saved->lastName());
    current->setUserPhotoUrl(saved->userPhotoUrl());
    if (pictureUploader_) pictureUploader_->setUploadedImageUrl(std::nullopt);
    updateWithVelkoraUser(current);
    if (auto d = delegate()) d->updateWithVelkoraUser(current);
    leave();
}

void VelkoraUserSettingsViewController::userDataSaveFailed(const ErrorPtr& error) {
    saving_ = false;
    pendingUser_.reset();
    Log::line("Velkora (E) - setUserData failed: %@", error ? error->domain : std::string("(null)"));
    account::showOKPopup("velkora_text_error_title", "velkora_text_request_failed_message");
}

void VelkoraUserSettingsViewController::leave() {
    VelkoraGeneralFeatureViewController::backTapped(nullptr);
}

void VelkoraUserSettingsViewController::backTapped(ui::Control*) {
    if (!hasChanges()) return leave();
    auto popup = VelkoraDefaultOKPopupView::initFromNibCancel(account::localized("velkora_text_confirm_yes_button"),
                                                              account::localized("velkora_text_cancel_button"));
    if (popup->titleLabel()) popup->titleLabel()->setText(account::localized("velkora_text_discard_changes_title"));
    if (popup->messageLable())
        popup->messageLable()->setText(account::localized("velkora_text_discard_changes_description"));
    popup->setDelegate(std::dynamic_pointer_cast<VelkoraDefaultOKPopupViewDelegate>(shared_from_this()));
    popup->showInView(ui::Application::instance().keyWindow());
}

void VelkoraUserSettingsViewController::popupOkTapped() {
    leave();
}

void VelkoraUserSettingsViewController::popupCancelTapped() {}

bool VelkoraUserSettingsViewController::textFieldShouldReturn(ui::TextField& field) {
    field.resignFirstResponder();
    return true;
}

void VelkoraUserSettingsViewController::changePasswordClicked(ui::Control*) {
    if (userNameTextField_ && userNameTextField_->isFirstResponder()) userNameTextField_->resignFirstResponder();
    account::pushScreen(*this, VelkoraChangePasswordViewController::initFromNib(
                                   account::interfaceName(VelkoraChangePasswordViewController::kNibName)));
}

void VelkoraUserSettingsViewController::fbSignOutClicked(ui::Control*) {
    if (auto d = delegate()) d->fbSignoutClickedInView(viewIfLoaded().get());
}
void VelkoraUserSettingsViewController::fbConnectClicked(ui::Control*) {
    if (auto d = delegate()) d->fbConnectClickedInView(viewIfLoaded().get());
}
void VelkoraUserSettingsViewController::twSignOutClicked(ui::Control*) {
    if (auto d = delegate()) d->twSignoutClickedInView(viewIfLoaded().get());
}
void VelkoraUserSettingsViewController::twConnectClicked(ui::Control*) {
    if (auto d = delegate()) d->twConnectClickedInView(viewIfLoaded().get());
}
void VelkoraUserSettingsViewController::emailSignOutClicked(ui::Control*) {
    if (auto d = delegate()) d->emailSignoutClickedInView(viewIfLoaded().get());
}

void VelkoraUserSettingsViewController::imageAddClicked(ui::Control*) {
    uploader().startTaking(std::static_pointer_cast<ui::ViewController>(shared_from_this()),
                           std::dynamic_pointer_cast<VelkoraPictureTakerDelegate>(shared_from_this()));
}

VelkoraUserPictureUploader& VelkoraUserSettingsViewController::uploader() {
    if (!pictureUploader_) pictureUploader_ = VelkoraUserPictureUploader::create(ui::ActivityIndicatorViewStyle::White);
    return *pictureUploader_;
}

bool VelkoraUserSettingsViewController::pictureTaken(const std::shared_ptr<ui::Image>& image) {
    auto v = viewIfLoaded();
    if (!v) return false;
    return uploader().pictureTaken(image, *v, userImageView_);
}

} // namespace velkora
