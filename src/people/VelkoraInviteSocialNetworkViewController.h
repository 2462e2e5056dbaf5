// The people the user can invite from one source (Facebook friends, Twitter friends or address-book
// contacts with an e-mail address) in an alphabetical index with a search field; each row's button
// prepares the invitation (a wall post, an addressed tweet or an e-mail) that the person then sends or
// cancels.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "social/VelkoraSocialNetworkUser.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class Button;
class Control;
class GestureRecognizer;
class ImageView;
class Label;
class TextField;
} // namespace ui
class VelkoraLazyImageView;
class VelkoraInviteSocialFriendCell;

using VelkoraSocialFriendPtr = std::shared_ptr<VelkoraSocialNetworkUser>;

// Invitable friends in 28 index sections (0 stays empty for the index's search glyph, 1..26 "A".."Z", 27
// the rest), sorted by full name ignoring case. What sorting, sectioning and searching read of a friend
// is worked out once, when the friend arrives, so every page rebuilds the whole index cheaply.
class VelkoraInviteSections {
public:
    static constexpr int kSectionCount = 28;

    void add(const std::vector<VelkoraSocialFriendPtr>& friends);
    // Everyone received, sorted ignoring case (ties in arrival order), into the sections; friends with an
    // empty full name are left out.
    void rebuildSorted();
    // Everyone received, in arrival order, into the sections.
    void rebuildInOrder();
    void clear();

    size_t received() const { return entries_.size(); }
    const std::vector<VelkoraSocialFriendPtr>& section(int index) const;
    bool isEmpty() const;
    // The listed friends whose full name contains the text, ignoring case and diacritics, section by section.
    std::vector<VelkoraSocialFriendPtr> filter(std::string_view text) const;
    // The key a name sorts by: case folded, compared as bytes.
    static std::string sortKey(std::string_view fullName);

private:
    struct Entry {
        VelkoraSocialFriendPtr user;
        std::string sortKey;
        std::string folded;
        int section = 0; // 0: not listed (empty name)
    };
    void bucket(const std::vector<uint32_t>& order);

    std::vector<Entry> entries_;
    // Every entry by sort key (ties in arrival order), kept from one page to the next: a page sorts its
    // own friends and merges them in.
    std::vector<uint32_t> sorted_;
    std::array<std::vector<VelkoraSocialFriendPtr>, kSectionCount> sections_;
    // The entry of each listed friend, in the order of the sections.
    std::vector<uint32_t> listed_;
    // Their folded names one after the other, each ended by a zero byte, and where each begins: a search
    // is then one pass of std::string::find over all of them.
    std::string haystack_;
    std::vector<size_t> starts_;
};

class VelkoraInviteSocialFriendCellDelegate {
public:
    virtual ~VelkoraInviteSocialFriendCellDelegate() = default;
    virtual void inviteTapped(VelkoraInviteSocialFriendCell& cell) = 0;
};

class VelkoraInviteSocialFriendCell : public ui::TableViewCell, public ui::InterfaceOwner {
public:
    static constexpr const char* kSocialInterface = "VelkoraInviteSocialCell";
    static constexpr const char* kContactInterface = "VelkoraInviteContactCell";
    static constexpr uint32_t kScreenId = 11;

    const char* className() const override { return "VelkoraInviteSocialFriendCell"; }
    static std::shared_ptr<VelkoraInviteSocialFriendCell>
    initFromNibSocial(std::weak_ptr<VelkoraInviteSocialFriendCellDelegate> d);
    static std::shared_ptr<VelkoraInviteSocialFriendCell>
    initFromNibContact(std::weak_ptr<VelkoraInviteSocialFriendCellDelegate> d);
    static std::shared_ptr<VelkoraInviteSocialFriendCell>
    initFromNib(const std::string& nibName, std::weak_ptr<VelkoraInviteSocialFriendCellDelegate> d);

    void updateDataWithUser(VelkoraSocialFriendPtr user);
    void inviteButtonTapped(ui::Control* sender);

    const VelkoraSocialFriendPtr& socialFriend() const { return socialFriend_; }
    const std::shared_ptr<ui::Label>& nameLabel() const { return nameLabel_; }
    const std::shared_ptr<ui::Label>& emailLabel() const { return emailLabel_; }
    const std::shared_ptr<VelkoraLazyImageView>& userPhoto() const { return userPhoto_; }
    const std::shared_ptr<ui::ImageView>& userFrameView() const { return userFrameView_; }
    const std::shared_ptr<ui::Button>& fbInviteButton() const { return fbInviteButton_; }
    const std::shared_ptr<ui::Button>& twitterInviteButton() const { return twitterInviteButton_; }
    const std::shared_ptr<ui::Button>& contactInviteButton() const { return contactInviteButton_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    void setUp();

    VelkoraSocialFriendPtr socialFriend_;
    std::weak_ptr<VelkoraInviteSocialFriendCellDelegate> delegate_;
    std::shared_ptr<ui::Label> nameLabel_;
    std::shared_ptr<ui::Label> emailLabel_;
    std::shared_ptr<VelkoraLazyImageView> userPhoto_;
    std::shared_ptr<ui::ImageView> userFrameView_;
    std::shared_ptr<ui::Button> fbInviteButton_;
    std::shared_ptr<ui::Button> twitterInviteButton_;
    std::shared_ptr<ui::Button> contactInviteButton_;
};

class VelkoraInviteSocialNetworkViewController : public VelkoraGeneralFeatureViewController,
                                                 public ui::TableViewDataSource,
                                                 public ui::TableViewDelegate,
                                                 public VelkoraInviteSocialFriendCellDelegate,
                                                 public ui::MailComposeViewControllerDelegate {
public:
    static constexpr const char* kInterface = "VelkoraInviteSocialView";
    static constexpr const char* kCellIdentifier = "VelkoraInviteSocialFriendsCell";
    static constexpr uint32_t kScreenId = 11;
    static constexpr int32_t kFacebook = 0, kTwitter = 1, kContacts = 2;

    static std::shared_ptr<VelkoraInviteSocialNetworkViewController> create();
    ~VelkoraInviteSocialNetworkViewController() override;
    const char* className() const override { return "VelkoraInviteSocialNetworkViewController"; }

    // One of these, once, right after create().
    void importFromFacebook();
    void importFromTwitter();
    void importFromContacts();
    // Reads the address book off the main thread and hands the result to the main run loop.
    void retrieveContactsInfo();
    void applyContactsInfo(const std::vector<VelkoraSocialFriendPtr>& contacts);
    void fbGotFriends(const foundation::Value& page, bool hasMore);
    void twitterGotFriends(const foundation::Value& page, bool hasMore);
    // Rebuilds the sections from everything received (sorted unless the source is the address book).
    void updateDataSourceOnSortedUsers();

    void viewDidLoad() override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) const override;

    int numberOfSectionsInTableView(ui::TableView& table) override;
    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    std::vector<std::string> sectionIndexTitlesForTableView(ui::TableView& table) override;
    int sectionForSectionIndexTitle(ui::TableView& table, const std::string& title, int index) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;

    void filterChanged(ui::Control* sender);
    void filterContentForSearchText(const std::string& text);
    void filterChangedEnded(ui::Control* sender);
    void keyboardWillShow(const foundation::Notification& n);
    void keyboardWillHide(const foundation::Notification& n);

    void inviteTapped(VelkoraInviteSocialFriendCell& cell) override;
    void inviteByEmail(const VelkoraSocialFriendPtr& contact);
    void mailComposeControllerDidFinish(ui::MailComposeViewController& controller, int result,
                                        const foundation::ErrorPtr& error) override;

    int32_t socialNetwork() const { return socialNetwork_; }
    const VelkoraInviteSections& sortedUsers() const { return sortedUsers_; }
    // Whether any list arrived (before that the table has no sections).
    bool hasList() const { return hasList_; }
    const std::vector<VelkoraSocialFriendPtr>& filteredSortedUsers() const { return filteredSortedUsers_; }
    bool filteredMode() const { return filteredMode_; }
    ui::Rect origViewFrame() const { return origViewFrame_; }
    // How many times the sections were rebuilt.
    int rebuilds() const { return rebuilds_; }
    const std::shared_ptr<ui::TableView>& friendsTable() const { return friendsTable_; }
    const std::shared_ptr<ui::TextField>& searchText() const { return searchText_; }
    const std::shared_ptr<ui::Label>& nameTitleLabel() const { return nameTitleLabel_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    VelkoraSocialFriendPtr friendAt(const ui::IndexPath& indexPath) const;

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraInviteSocialNetworkViewController();
    void gotPage(std::vector<VelkoraSocialFriendPtr> friends);
    void stopIndicator();
    void reload();

    int32_t socialNetwork_ = kFacebook;
    VelkoraInviteSections sortedUsers_;
    bool hasList_ = false;
    std::vector<VelkoraSocialFriendPtr> filteredSortedUsers_;
    bool filteredMode_ = false;
    ui::Rect origViewFrame_;
    int rebuilds_ = 0;
    // The controller that presented the mail sheet: the sidebar's, or this screen.
    std::weak_ptr<ui::ViewController> mailPresenter_;
    bool restoreSidebarFrame_ = false;

    std::shared_ptr<ui::TableView> friendsTable_;
    std::shared_ptr<ui::ImageView> searchIconView_;
    std::shared_ptr<ui::TextField> searchText_;
    std::shared_ptr<ui::Label> nameTitleLabel_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::weak_ptr<ui::GestureRecognizer> keyboardTap_;
    foundation::NotificationObserver keyboardShowObserver_, keyboardHideObserver_;
};

} // namespace velkora
