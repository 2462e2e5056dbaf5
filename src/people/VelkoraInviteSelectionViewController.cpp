#include "people/VelkoraInviteSelectionViewController.h"

#include "data/VelkoraAppSettings.h"
#include "data/VelkoraSNFriendsRepository.h"
#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUtils.h"
#include "people/VelkoraFindFriendsViewController.h"
#include "people/VelkoraFriendsSupport.h"
#include "people/VelkoraInviteSocialNetworkViewController.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraProfileSupport.h"
#include "shell/VelkoraSidebarClasses.h"

namespace velkora {

namespace {

std::shared_ptr<VelkoraUserInfo> record() {
    return VelkoraAgentInternal::instance().userInfo();
}

} // namespace

// ---- the cell

std::shared_ptr<VelkoraInviteViewCell>
VelkoraInviteViewCell::initFromNib(std::weak_ptr<VelkoraInviteViewCellDelegate> d) {
    friends::registerFriendsViewClasses();
    auto cell =
        std::dynamic_pointer_cast<VelkoraInviteViewCell>(ui::InterfaceLoader::instance().loadFirstObject(kInterface));
    if (!cell) return nullptr;
    cell->delegate_ = std::move(d);
    cell->setUp();
    return cell;
}

void VelkoraInviteViewCell::setUp() {
    setBackgroundView(ui::View::create(bounds()));
    if (optionIcon_) {
        optionIcon_->layer().setCornerRadius(7.0);
        optionIcon_->setClipsToBounds(true);
    }
    for (const auto& button : {fbConnectButton_, twitterConnectButton_})
        if (button) {
            button->setHidden(true);
            button->setTitle(profiles::text("velkora_text_connect_button"));
        }
    auto selected = friends::giveSelectedBackground(*this);
    updateBadge(0);
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableCellTitleLabel(title_.get(), kScreenId);
    style.customizeTableCellSelectedBackgroundView(selected.get(), kScreenId);
    style.customizeTableCellDescriptionLabel(description_.get(), kScreenId);
    style.customizeTableCellAccessoryView(accessory_.get(), kScreenId);
    style.customizeTableCellFBConnectButton(fbConnectButton_.get(), kScreenId);
    style.customizeTableCellTwitterConnectButton(twitterConnectButton_.get(), kScreenId);
    style.customizeTableCellBadgeLabel(badgeNumberLabel_.get(), kScreenId);
    style.customizeTableCellBadgeImageView(badgeImageView_.get(), kScreenId);
}

void VelkoraInviteViewCell::updateBadge(int32_t n) {
    if (n >= 1) {
        if (badgeNumberLabel_) badgeNumberLabel_->setText(std::to_string(n));
        if (badgeView_) badgeView_->setHidden(false);
        setNeedsLayout();
    } else if (badgeView_) {
        badgeView_->setHidden(true);
        setNeedsLayout();
    }
}

void VelkoraInviteViewCell::connectButtonTapped(ui::Control*) {
    if (auto d = delegate_.lock()) d->connectTapped(*this);
}

void VelkoraInviteViewCell::layoutSubviews() {
    ui::TableViewCell::layoutSubviews();
    auto d = delegate_.lock();
    friends::layoutCellAcrossScreen(*this, d ? d->isOpenedAsFeature() : true);
    fitTextsBeforeTheRightSide();
}

// The title and the description run up to whatever the row shows on its right (the badge, a connect
// button, else the arrow), so a row without a button does not cut its texts short.
void VelkoraInviteViewCell::fitTextsBeforeTheRightSide() {
    constexpr double kGap = 8;
    for (const auto& label : {title_, description_}) {
        if (!label || !label->superview()) continue;
        double right = label->superview()->bounds().width();
        for (const ui::View* side : std::initializer_list<const ui::View*>{
                 badgeView_.get(), fbConnectButton_.get(), twitterConnectButton_.get(), accessory_.get()})
            if (side && !side->isHidden() && side->superview() == label->superview())
                right = std::min(right, side->frame().x());
        auto f = label->frame();
        f.size.width = std::max(0.0, right - kGap - f.x());
        label->setFrame(f);
    }
}

void VelkoraInviteViewCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("title", title_);
    b.outlet("description", description_);
    b.outlet("accessory", accessory_);
    b.outlet("optionIcon", optionIcon_);
    b.outlet("badgeNumberLabel", badgeNumberLabel_);
    b.outlet("badgeView", badgeView_);
    b.outlet("fbConnectButton", fbConnectButton_);
    b.outlet("twitterConnectButton", twitterConnectButton_);
    b.outlet("badgeImageView", badgeImageView_);
    b.action("connectTapped:", this, &VelkoraInviteViewCell::connectButtonTapped);
}

// ---- the screen

std::shared_ptr<VelkoraInviteSelectionViewController> VelkoraInviteSelectionViewController::create() {
    return std::shared_ptr<VelkoraInviteSelectionViewController>(new VelkoraInviteSelectionViewController());
}

VelkoraInviteSelectionViewController::VelkoraInviteSelectionViewController()
    : VelkoraGeneralFeatureViewController(kInterface) {
    friends::registerFriendsViewClasses();
    auto header = [](const char* key) {
        auto h = VelkoraInviteHeaderView::create();
        h->setStyleScreenIdentifier(kHeaderScreenId);
        h->loadNib();
        if (h->headerLabel()) h->headerLabel()->setText(profiles::text(key));
        return h;
    };
    findHeaderView_ = header("velkora_text_find_header");
    inviteHeaderView_ = header("velkora_text_invite_header");
}

VelkoraInviteSelectionViewController::~VelkoraInviteSelectionViewController() {
    friends::detachTable(optionsTable_.get());
}

std::shared_ptr<VelkoraUserSignUpHelper> VelkoraInviteSelectionViewController::userSignUpHelper() const {
    return connect_ ? connect_->userSignUpHelper() : nullptr;
}

void VelkoraInviteSelectionViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("optionsTable", optionsTable_);
}

void VelkoraInviteSelectionViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (!optionsTable_) return;
    auto self = sharedAs<VelkoraInviteSelectionViewController>();
    if (auto probe = VelkoraInviteViewCell::initFromNib({})) optionsTable_->setRowHeight(probe->frame().height());
    optionsTable_->setDataSource(std::static_pointer_cast<ui::TableViewDataSource>(self));
    optionsTable_->setDelegate(std::static_pointer_cast<ui::TableViewDelegate>(self));
}

void VelkoraInviteSelectionViewController::viewDidAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewDidAppear(animated);
    VelkoraLogEventsManager::instance().logEvent("feature-viewed;findfriends");
}

bool VelkoraInviteSelectionViewController::shouldAutorotateToInterfaceOrientation(int orientation) const {
    return orientation == ui::InterfaceOrientationPortrait;
}

int VelkoraInviteSelectionViewController::numberOfSectionsInTableView(ui::TableView&) {
    return 2;
}

int VelkoraInviteSelectionViewController::numberOfRowsInSection(ui::TableView&, int section) {
    if (section == 0) return profiles::viewerIsAnonymous() ? 1 : 2;
    return static_cast<int>(supportedSN_.size());
}

ui::TableViewCellPtr VelkoraInviteSelectionViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                                 const ui::IndexPath& indexPath) {
    auto cell =
        std::dynamic_pointer_cast<VelkoraInviteViewCell>(table.dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell) {
        cell = VelkoraInviteViewCell::initFromNib(
            std::static_pointer_cast<VelkoraInviteViewCellDelegate>(sharedAs<VelkoraInviteSelectionViewController>()));
        if (!cell) return ui::TableViewCell::create(ui::TableViewCellStyle::Default, kCellIdentifier);
        cell->setReuseIdentifier(kCellIdentifier);
    }
    if (cell->fbConnectButton()) cell->fbConnectButton()->setHidden(true);
    if (cell->twitterConnectButton()) cell->twitterConnectButton()->setHidden(true);
    cell->setNetworkCode(-1);
    cell->updateBadge(0);
    const char* title = "";
    const char* description = "";
    const char* icon = "";
    auto info = record();
    if (indexPath.section == 0) {
        if (indexPath.row == 0) {
            title = "velkora_text_find_friends_title";
            description = "velkora_text_find_friends_description";
            icon = "VelImg_FindFriendsIcon.png";
            cell->updateBadge(VelkoraSNFriendsRepository::instance().totalNonFollowedFriendsNumber());
        } else {
            title = "velkora_text_suggestions_title";
            description = "velkora_text_suggestions_description";
            icon = "VelImg_SuggestionsIcon.png";
        }
    } else if (indexPath.row >= 0 && indexPath.row < static_cast<int>(supportedSN_.size())) {
        switch (supportedSN_[static_cast<size_t>(indexPath.row)]) {
        case kContacts:
            title = "velkora_text_contacts_title";
            description = "velkora_text_contacts_description";
            icon = "VelImg_ContactsIcon.png";
            break;
        case kFacebook:
            title = "velkora_text_facebook_title";
            description = "velkora_text_facebook_invite_description";
            icon = "VelImg_FacebookIcon.png";
            cell->setNetworkCode(kFacebook);
            if (cell->fbConnectButton()) cell->fbConnectButton()->setHidden(info && info->isFacebookConnected());
            break;
        case kTwitter:
            title = "velkora_text_twitter_title";
            description = "velkora_text_twitter_invite_description";
            icon = "VelImg_TwitterIcon.png";
            cell->setNetworkCode(kTwitter);
            if (cell->twitterConnectButton())
                cell->twitterConnectButton()->setHidden(info && info->isTwitterConnected());
            break;
        default:
            break;
        }
    }
    if (cell->title()) cell->title()->setText(profiles::text(title));
    if (cell->descriptionLabel()) cell->descriptionLabel()->setText(profiles::text(description));
    if (cell->optionIcon()) cell->optionIcon()->setImage(*icon ? ui::Image::named(icon) : nullptr);
    // A reused row may have shown another button or badge.
    cell->setNeedsLayout();
    return cell;
}

double VelkoraInviteSelectionViewController::heightForHeaderInSection(ui::TableView&, int) {
    return findHeaderView_ ? findHeaderView_->getHeight() : 0;
}

double VelkoraInviteSelectionViewController::heightForFooterInSection(ui::TableView&, int) {
    return 0;
}

ui::ViewPtr VelkoraInviteSelectionViewController::viewForHeaderInSection(ui::TableView&, int section) {
    return section == 0 ? findHeaderView_ : inviteHeaderView_;
}

void VelkoraInviteSelectionViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell,
                                                           const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

void VelkoraInviteSelectionViewController::didSelectRowAtIndexPath(ui::TableView& table,
                                                                   const ui::IndexPath& indexPath) {
    auto info = record();
    if (indexPath.section == 0) {
        if (indexPath.row == 0)
            friends::push(*this, VelkoraFindFriendsViewController::create());
        else
            friends::pushFeature(*this, "suggestedUsers");
    } else if (indexPath.row >= 0 && indexPath.row < static_cast<int>(supportedSN_.size())) {
        const int32_t code = supportedSN_[static_cast<size_t>(indexPath.row)];
        std::shared_ptr<VelkoraInviteSocialNetworkViewController> screen;
        if (code == kTwitter && info && info->isTwitterConnected()) {
            screen = VelkoraInviteSocialNetworkViewController::create();
            screen->importFromTwitter();
        } else if (code == kFacebook && info && info->isFacebookConnected()) {
            screen = VelkoraInviteSocialNetworkViewController::create();
            screen->importFromFacebook();
        } else if (code == kContacts) {
            screen = VelkoraInviteSocialNetworkViewController::create();
            screen->setFeatureTabDelegate(featureTabDelegate());
            screen->importFromContacts();
        }
        if (screen) friends::push(*this, screen);
    }
    table.deselectRowAtIndexPath(indexPath, true);
}

void VelkoraInviteSelectionViewController::connectTapped(VelkoraInviteViewCell& cell) {
    const int32_t method = cell.networkCode() == kFacebook ? 2 : cell.networkCode() == kTwitter ? 3 : 0;
    if (method == 0) return;
    if (!connect_) {
        std::weak_ptr<VelkoraInviteSelectionViewController> weak = sharedAs<VelkoraInviteSelectionViewController>();
        connect_ = friends::NetworkConnect::create([weak](int32_t m) {
            if (auto self = weak.lock()) self->connected(m);
        });
    }
    connect_->connect(method, view().get());
}

void VelkoraInviteSelectionViewController::connected(int32_t) {
    // The connected network's button goes with the redraw.
    if (optionsTable_) optionsTable_->reloadData();
}

bool VelkoraInviteSelectionViewController::isOpenedAsFeature() {
    auto d = featureTabDelegate();
    return d ? d->isOpenedAsFeature() : true;
}

// ---- the e-mail invitation

std::shared_ptr<ui::MailComposeViewController> makeInvitationMailSheet() {
    if (!VelkoraDynamicFrameworkLoader::loadClass("MFMailComposeViewController", "MessageUI") ||
        !ui::MailComposeViewController::canSendMail()) {
        foundation::Log::line("Velkora - MFMailComposeViewController - cannot send email from device");
        return nullptr;
    }
    auto sheet = ui::MailComposeViewController::create();
    if (!sheet) return nullptr;
    sheet->setSubject(VelkoraAppSettings::mailInviteSubject().value_or(""));
    sheet->setMessageBody(VelkoraAppSettings::mailInviteText().value_or(""), false);
    return sheet;
}

std::shared_ptr<VelkoraInviteByEmailSender>
VelkoraInviteByEmailSender::create(std::shared_ptr<ui::ViewController> parent) {
    return std::shared_ptr<VelkoraInviteByEmailSender>(new VelkoraInviteByEmailSender(std::move(parent)));
}

bool VelkoraInviteByEmailSender::sendEmail() {
    auto sheet = makeInvitationMailSheet();
    if (!sheet || !parent_) return false;
    sheet->setMailComposeDelegate(weak_from_this());
    parent_->presentViewController(sheet, true);
    return true;
}

void VelkoraInviteByEmailSender::mailComposeControllerDidFinish(ui::MailComposeViewController&, int,
                                                                const foundation::ErrorPtr&) {
    if (!parent_) return;
    auto keep = shared_from_this();
    parent_->dismissViewController(true);
    if (auto container = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewControllerDelegate>(parent_))
        container->didClickBack();
}

} // namespace velkora
