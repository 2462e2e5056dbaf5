// The find and invite menu (feature 3): ways to find people who already use the application, and ways to
// invite friends who do not, each row opening the screen that does the work. Facebook and Twitter rows
// offer a connect button while that network is not connected. Also the e-mail invitation that any screen
// can offer through the mail sheet.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "people/VelkoraFriendsSupport.h"
#include "people/VelkoraInviteHeaderView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class Button;
class Control;
class ImageView;
class Label;
} // namespace ui
class VelkoraInviteViewCell;

class VelkoraInviteViewCellDelegate {
public:
    virtual ~VelkoraInviteViewCellDelegate() = default;
    virtual void connectTapped(VelkoraInviteViewCell& cell) = 0;
    virtual bool isOpenedAsFeature() = 0;
};

class VelkoraInviteViewCell : public ui::TableViewCell, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraInviteCell";
    static constexpr uint32_t kScreenId = 11;

    const char* className() const override { return "VelkoraInviteViewCell"; }
    // Null when the interface file does not load (logged by the loader).
    static std::shared_ptr<VelkoraInviteViewCell> initFromNib(std::weak_ptr<VelkoraInviteViewCellDelegate> d);

    // n >= 1 shows the badge with n; anything else hides it.
    void updateBadge(int32_t n);
    void connectButtonTapped(ui::Control* sender);
    void layoutSubviews() override;
    void fitTextsBeforeTheRightSide();

    // The network of the row's connect button: 1 Facebook, 2 Twitter, -1 none. The row's code decides
    // what a connect does, whatever its title reads in the user's language.
    int32_t networkCode() const { return networkCode_; }
    void setNetworkCode(int32_t code) { networkCode_ = code; }

    std::shared_ptr<VelkoraInviteViewCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraInviteViewCellDelegate> d) { delegate_ = std::move(d); }
    const std::shared_ptr<ui::Label>& title() const { return title_; }
    const std::shared_ptr<ui::Label>& descriptionLabel() const { return description_; }
    const std::shared_ptr<ui::ImageView>& accessory() const { return accessory_; }
    const std::shared_ptr<ui::ImageView>& optionIcon() const { return optionIcon_; }
    const std::shared_ptr<ui::Label>& badgeNumberLabel() const { return badgeNumberLabel_; }
    const std::shared_ptr<ui::View>& badgeView() const { return badgeView_; }
    const std::shared_ptr<ui::Button>& fbConnectButton() const { return fbConnectButton_; }
    const std::shared_ptr<ui::Button>& twitterConnectButton() const { return twitterConnectButton_; }
    const std::shared_ptr<ui::ImageView>& badgeImageView() const { return badgeImageView_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    void setUp();

    int32_t networkCode_ = -1;
    std::weak_ptr<VelkoraInviteViewCellDelegate> delegate_;
    std::shared_ptr<ui::Label> title_;
    std::shared_ptr<ui::Label> description_;
    std::shared_ptr<ui::ImageView> accessory_;
    std::shared_ptr<ui::ImageView> optionIcon_;
    std::shared_ptr<ui::Label> badgeNumberLabel_;
    std::shared_ptr<ui::View> badgeView_;
    std::shared_ptr<ui::Button> fbConnectButton_;
    std::shared_ptr<ui::Button> twitterConnectButton_;
    std::shared_ptr<ui::ImageView> badgeImageView_;
};

class VelkoraInviteSelectionViewController : public VelkoraGeneralFeatureViewController,
                                             public ui::TableViewDataSource,
                                             public ui::TableViewDelegate,
                                             public VelkoraInviteViewCellDelegate {
public:
    static constexpr const char* kInterface = "VelkoraInviteFriendsList";
    static constexpr const char* kCellIdentifier = "velkorainvitecell";
    static constexpr uint32_t kScreenId = 11;
    static constexpr uint32_t kHeaderScreenId = 9;
    // The invite section's rows.
    static constexpr int32_t kContacts = 0, kFacebook = 1, kTwitter = 2;

    static std::shared_ptr<VelkoraInviteSelectionViewController> create();
    ~VelkoraInviteSelectionViewController() override;
    const char* className() const override { return "VelkoraInviteSelectionViewController"; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) const override;

    int numberOfSectionsInTableView(ui::TableView& table) override;
    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    double heightForHeaderInSection(ui::TableView& table, int section) override;
    double heightForFooterInSection(ui::TableView& table, int section) override;
    ui::ViewPtr viewForHeaderInSection(ui::TableView& table, int section) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    void connectTapped(VelkoraInviteViewCell& cell) override;
    bool isOpenedAsFeature() override;

    const std::vector<int32_t>& supportedSN() const { return supportedSN_; }
    const std::shared_ptr<ui::TableView>& optionsTable() const { return optionsTable_; }
    const std::shared_ptr<VelkoraInviteHeaderView>& findHeaderView() const { return findHeaderView_; }
    const std::shared_ptr<VelkoraInviteHeaderView>& inviteHeaderView() const { return inviteHeaderView_; }
    std::shared_ptr<VelkoraUserSignUpHelper> userSignUpHelper() const;

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraInviteSelectionViewController();
    void connected(int32_t method);

    std::vector<int32_t> supportedSN_{kContacts, kFacebook, kTwitter};
    std::shared_ptr<ui::TableView> optionsTable_;
    std::shared_ptr<VelkoraInviteHeaderView> findHeaderView_;
    std::shared_ptr<VelkoraInviteHeaderView> inviteHeaderView_;
    std::shared_ptr<friends::NetworkConnect> connect_;
};

// Offers the application's e-mail invitation from the screen that owns it: the mail sheet with the
// configured subject and text and no recipient, presented by `parent`; when the sheet finishes, whatever
// the person did, `parent` dismisses it and is told to go back.
class VelkoraInviteByEmailSender : public ui::MailComposeViewControllerDelegate,
                                   public std::enable_shared_from_this<VelkoraInviteByEmailSender> {
public:
    static std::shared_ptr<VelkoraInviteByEmailSender> create(std::shared_ptr<ui::ViewController> parent);
    // False (logged) when the device cannot send mail.
    bool sendEmail();
    void mailComposeControllerDidFinish(ui::MailComposeViewController& controller, int result,
                                        const foundation::ErrorPtr& error) override;
    const std::shared_ptr<ui::ViewController>& parent() const { return parent_; }

private:
    explicit VelkoraInviteByEmailSender(std::shared_ptr<ui::ViewController> parent) : parent_(std::move(parent)) {}
    std::shared_ptr<ui::ViewController> parent_;
};

// The mail sheet when the device has the mail module and an account to send from; else the line that
// says so is logged and null is answered.
std::shared_ptr<ui::MailComposeViewController> makeInvitationMailSheet();

} // namespace velkora
