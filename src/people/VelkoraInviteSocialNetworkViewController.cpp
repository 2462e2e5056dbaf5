#include "people/VelkoraInviteSocialNetworkViewController.h"

#include <algorithm>
#include <numeric>

#include "data/VelkoraAppSettings.h"
#include "people/VelkoraFriendsSupport.h"
#include "people/VelkoraInviteSelectionViewController.h"
#include "people/VelkoraUserListSections.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/TextFolding.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraKitObjects.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraProfileSupport.h"
#include "social/VelkoraContactsConnctor.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraTwitterConnector.h"

namespace velkora {

namespace {
constexpr int kSearchGlyphSection = 0;
constexpr int kOtherSection = 27;
} // namespace

// ---- the sections

std::string VelkoraInviteSections::sortKey(std::string_view name) {
    std::string key(name);
    for (size_t i = 0; i < key.size(); ++i) {
        auto c = static_cast<unsigned char>(key[i]);
        if (c >= 'A' && c <= 'Z') {
            key[i] = static_cast<char>(c + 32);
        } else if (c == 0xC3 && i + 1 < key.size()) {
            // Latin-1 capitals À..Þ (but not ×) fold to their small letters.
            auto d = static_cast<unsigned char>(key[i + 1]);
            if (d >= 0x80 && d <= 0x9E && d != 0x97) key[i + 1] = static_cast<char>(d + 0x20);
            ++i;
        }
    }
    return key;
}

void VelkoraInviteSections::add(const std::vector<VelkoraSocialFriendPtr>& friends) {
    entries_.reserve(entries_.size() + friends.size());
    for (const auto& f : friends) {
        if (!f) continue;
        std::string name = f->fullName();
        Entry e;
        e.user = f;
        e.section = name.empty() ? 0 : VelkoraUserListSections::sectionForName(name);
        e.sortKey = sortKey(name);
        e.folded = foundation::foldForSearch(name);
        entries_.push_back(std::move(e));
    }
}

void VelkoraInviteSections::rebuildSorted() {
    const auto before = [this](uint32_t a, uint32_t b) {
        const int c = entries_[a].sortKey.compare(entries_[b].sortKey);
        return c != 0 ? c < 0 : a < b;
    };
    const size_t sorted = sorted_.size();
    sorted_.resize(entries_.size());
    std::iota(sorted_.begin() + static_cast<std::ptrdiff_t>(sorted), sorted_.end(), static_cast<uint32_t>(sorted));
    std::sort(sorted_.begin() + static_cast<std::ptrdiff_t>(sorted), sorted_.end(), before);
    std::inplace_merge(sorted_.begin(), sorted_.begin() + static_cast<std::ptrdiff_t>(sorted), sorted_.end(), before);
    bucket(sorted_);
}

void VelkoraInviteSections::rebuildInOrder() {
    std::vector<uint32_t> order(entries_.size());
    std::iota(order.begin(), order.end(), 0u);
    bucket(order);
}

void VelkoraInviteSections::bucket(const std::vector<uint32_t>& order) {
    for (auto& s : sections_)
        s.clear();
    std::array<std::vector<uint32_t>, kSectionCount> listed;
    for (uint32_t i : order) {
        const int s = entries_[i].section;
        if (s <= 0) continue;
        sections_[static_cast<size_t>(s)].push_back(entries_[i].user);
        listed[static_cast<size_t>(s)].push_back(i);
    }
    listed_.clear();
    for (const auto& l : listed)
        listed_.insert(listed_.end(), l.begin(), l.end());
    haystack_.clear();
    starts_.clear();
    starts_.reserve(listed_.size() + 1);
    for (uint32_t i : listed_) {
        starts_.push_back(haystack_.size());
        haystack_ += entries_[i].folded;
        haystack_ += '\0';
    }
    starts_.push_back(haystack_.size());
}

void VelkoraInviteSections::clear() {
    entries_.clear();
    sorted_.clear();
    for (auto& s : sections_)
        s.clear();
    listed_.clear();
    haystack_.clear();
    starts_.clear();
}

const std::vector<VelkoraSocialFriendPtr>& VelkoraInviteSections::section(int index) const {
    static const std::vector<VelkoraSocialFriendPtr> kNone;
    if (index < 0 || index >= kSectionCount) return kNone;
    return sections_[static_cast<size_t>(index)];
}

bool VelkoraInviteSections::isEmpty() const {
    return listed_.empty();
}

std::vector<VelkoraSocialFriendPtr> VelkoraInviteSections::filter(std::string_view text) const {
    const std::string needle = foundation::foldForSearch(text);
    std::vector<VelkoraSocialFriendPtr> found;
    if (listed_.empty()) return found;
    // A needle holds no zero byte, so no match runs from one name into the next.
    size_t at = 0;
    while ((at = haystack_.find(needle, at)) != std::string::npos && at < haystack_.size()) {
        const auto next = std::upper_bound(starts_.begin(), starts_.end(), at);
        const auto k = static_cast<size_t>(next - starts_.begin()) - 1;
        if (k >= listed_.size()) break;
        found.push_back(entries_[listed_[k]].user);
        // Each friend once: go on from the next name.
        at = starts_[k + 1];
    }
    return found;
}

// ---- the cell

std::shared_ptr<VelkoraInviteSocialFriendCell>
VelkoraInviteSocialFriendCell::initFromNibSocial(std::weak_ptr<VelkoraInviteSocialFriendCellDelegate> d) {
    return initFromNib(kSocialInterface, std::move(d));
}

std::shared_ptr<VelkoraInviteSocialFriendCell>
VelkoraInviteSocialFriendCell::initFromNibContact(std::weak_ptr<VelkoraInviteSocialFriendCellDelegate> d) {
    return initFromNib(kContactInterface, std::move(d));
}

std::shared_ptr<VelkoraInviteSocialFriendCell>
VelkoraInviteSocialFriendCell::initFromNib(const std::string& nibName,
                                           std::weak_ptr<VelkoraInviteSocialFriendCellDelegate> d) {
    friends::registerFriendsViewClasses();
    auto cell = std::dynamic_pointer_cast<VelkoraInviteSocialFriendCell>(
        ui::InterfaceLoader::instance().loadFirstObject(nibName));
    if (!cell) return nullptr;
    cell->delegate_ = std::move(d);
    cell->setUp();
    return cell;
}

void VelkoraInviteSocialFriendCell::setUp() {
    friends::styleFriendRow(*this, nameLabel_.get(), userPhoto_.get());
    auto selected = friends::giveSelectedBackground(*this);
    for (const auto& b : {fbInviteButton_, twitterInviteButton_, contactInviteButton_})
        if (b) b->setTitle(profiles::text("velkora_text_invite_button"));
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableCellTitleLabel(nameLabel_.get(), kScreenId);
    style.customizeTableCellSelectedBackgroundView(selected.get(), kScreenId);
    style.customizeTableCellDescriptionLabel(emailLabel_.get(), kScreenId);
    style.customizeUserPhotoFrameImage(userFrameView_.get(), kScreenId);
    style.customizeInviteFriendsFacebookButton(fbInviteButton_.get(), kScreenId);
    style.customizeInviteFriendsTwitterButton(twitterInviteButton_.get(), kScreenId);
    style.customizeInviteFriendsContactButton(contactInviteButton_.get(), kScreenId);
}

void VelkoraInviteSocialFriendCell::updateDataWithUser(VelkoraSocialFriendPtr user) {
    socialFriend_ = std::move(user);
    if (!socialFriend_) return;
    if (nameLabel_) nameLabel_->setText(socialFriend_->fullName());
    if (auto contact = std::dynamic_pointer_cast<VelkoraContactUser>(socialFriend_)) {
        if (userPhoto_)
            userPhoto_->setImage(contact->photoImage() ? contact->photoImage() : profiles::placeholderPhoto());
        if (emailLabel_) emailLabel_->setText(contact->email());
    } else if (userPhoto_) {
        userPhoto_->setImage(profiles::placeholderPhoto());
        const auto size = userPhoto_->frame().size;
        if (auto url = socialFriend_->getPhoto(static_cast<int>(size.width), static_cast<int>(size.height));
            url && !url->empty())
            userPhoto_->getImage(*url);
    }
    const bool facebook = std::dynamic_pointer_cast<VelkoraFBUser>(socialFriend_) != nullptr;
    if (fbInviteButton_) fbInviteButton_->setHidden(!facebook);
    if (twitterInviteButton_) twitterInviteButton_->setHidden(facebook);
}

void VelkoraInviteSocialFriendCell::inviteButtonTapped(ui::Control*) {
    if (auto d = delegate_.lock()) d->inviteTapped(*this);
}

void VelkoraInviteSocialFriendCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("nameLabel", nameLabel_);
    b.outlet("emailLabel", emailLabel_);
    b.outlet("userPhoto", userPhoto_);
    b.outlet("userFrameView", userFrameView_);
    b.outlet("fbInviteButton", fbInviteButton_);
    b.outlet("twitterInviteButton", twitterInviteButton_);
    b.outlet("contactInviteButton", contactInviteButton_);
    b.action("inviteTapped:", this, &VelkoraInviteSocialFriendCell::inviteButtonTapped);
}

// ---- the screen

std::shared_ptr<VelkoraInviteSocialNetworkViewController> VelkoraInviteSocialNetworkViewController::create() {
    return std::shared_ptr<VelkoraInviteSocialNetworkViewController>(new VelkoraInviteSocialNetworkViewController());
}

VelkoraInviteSocialNetworkViewController::VelkoraInviteSocialNetworkViewController()
    : VelkoraGeneralFeatureViewController(kInterface) {
    friends::registerFriendsViewClasses();
}

VelkoraInviteSocialNetworkViewController::~VelkoraInviteSocialNetworkViewController() {
    auto& agent = VelkoraAgentInternal::instance();
    if (auto fb = agent.fbConnector()) fb->removeDelegate(this);
    if (auto tw = agent.twitterConnector()) tw->removeDelegate(this);
    friends::detachTable(friendsTable_.get());
}

void VelkoraInviteSocialNetworkViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("friendsTable", friendsTable_);
    b.outlet("searchIconView", searchIconView_);
    b.outlet("searchText", searchText_);
    b.outlet("nameTitleLabel", nameTitleLabel_);
    b.outlet("activityIndicator", activityIndicator_);
    b.action("filterChanged:", this, &VelkoraInviteSocialNetworkViewController::filterChanged);
    b.action("filterChangedEnded:", this, &VelkoraInviteSocialNetworkViewController::filterChangedEnded);
}

void VelkoraInviteSocialNetworkViewController::importFromFacebook() {
    socialNetwork_ = kFacebook;
    auto fb = VelkoraAgentInternal::instance().fbConnector();
    if (!fb) return;
    std::weak_ptr<VelkoraInviteSocialNetworkViewController> weak = sharedAs<VelkoraInviteSocialNetworkViewController>();
    fb->getUserFriendsWithDelegate(VelkoraConnectorTarget::pages(sharedAs<VelkoraInviteSocialNetworkViewController>(),
                                                                 [weak](const foundation::Value& page, bool hasMore) {
                                                                     if (auto self = weak.lock())
                                                                         self->fbGotFriends(page, hasMore);
                                                                 }));
}

void VelkoraInviteSocialNetworkViewController::importFromTwitter() {
    socialNetwork_ = kTwitter;
    auto tw = VelkoraAgentInternal::instance().twitterConnector();
    if (!tw) return;
    std::weak_ptr<VelkoraInviteSocialNetworkViewController> weak = sharedAs<VelkoraInviteSocialNetworkViewController>();
    tw->getUserFriendsObjectsWithDelegate(VelkoraConnectorTarget::pages(
        sharedAs<VelkoraInviteSocialNetworkViewController>(), [weak](const foundation::Value& page, bool hasMore) {
            if (auto self = weak.lock()) self->twitterGotFriends(page, hasMore);
        }));
}

void VelkoraInviteSocialNetworkViewController::importFromContacts() {
    socialNetwork_ = kContacts;
    retrieveContactsInfo();
}

void VelkoraInviteSocialNetworkViewController::retrieveContactsInfo() {
    std::weak_ptr<VelkoraInviteSocialNetworkViewController> weak = sharedAs<VelkoraInviteSocialNetworkViewController>();
    // The reader waits for the person's answer to the contacts prompt: never on the main thread.
    foundation::DispatchQueue::global().async([weak] {
        auto contacts = VelkoraContactsConnctor::retrieveFriendsContactUsers();
        std::vector<VelkoraSocialFriendPtr> friends(contacts.begin(), contacts.end());
        foundation::RunLoop::main().post([weak, friends = std::move(friends)] {
            if (auto self = weak.lock()) self->applyContactsInfo(friends);
        });
    });
}

void VelkoraInviteSocialNetworkViewController::applyContactsInfo(const std::vector<VelkoraSocialFriendPtr>& contacts) {
    sortedUsers_.clear();
    sortedUsers_.add(contacts);
    updateDataSourceOnSortedUsers();
    stopIndicator();
    reload();
}

void VelkoraInviteSocialNetworkViewController::fbGotFriends(const foundation::Value& page, bool) {
    std::vector<VelkoraSocialFriendPtr> friends;
    if (!page.isNull())
        for (auto& f : VelkoraFBConnector::retrieveFriendsFBUsers(page))
            friends.push_back(std::move(f));
    gotPage(std::move(friends));
}

void VelkoraInviteSocialNetworkViewController::twitterGotFriends(const foundation::Value& page, bool hasMore) {
    std::vector<VelkoraSocialFriendPtr> friends;
    if (!page.isNull())
        for (auto& f : VelkoraTwitterConnector::retrieveFriendsTwitterUsers(page))
            friends.push_back(std::move(f));
    foundation::Log::line("Velkora - Got few friends from twitter: %d, total=%d has more %@",
                          static_cast<int>(friends.size()), static_cast<int>(sortedUsers_.received() + friends.size()),
                          hasMore ? "YES" : "No");
    gotPage(std::move(friends));
}

void VelkoraInviteSocialNetworkViewController::gotPage(std::vector<VelkoraSocialFriendPtr> friends) {
    stopIndicator();
    sortedUsers_.add(friends);
    updateDataSourceOnSortedUsers();
    reload();
}

void VelkoraInviteSocialNetworkViewController::updateDataSourceOnSortedUsers() {
    if (socialNetwork_ == kContacts)
        sortedUsers_.rebuildInOrder();
    else
        sortedUsers_.rebuildSorted();
    hasList_ = true;
    ++rebuilds_;
    if (filteredMode_ && searchText_) filteredSortedUsers_ = sortedUsers_.filter(searchText_->text());
    if (!sortedUsers_.isEmpty() && friendsTable_) friends::showSearchField(*friendsTable_, searchText_);
}

void VelkoraInviteSocialNetworkViewController::stopIndicator() {
    if (activityIndicator_) activityIndicator_->stopAnimating();
}

void VelkoraInviteSocialNetworkViewController::reload() {
    if (friendsTable_) friendsTable_->reloadData();
}

void VelkoraInviteSocialNetworkViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (searchText_) {
        friends::prepareSearchField(velkoraContentView().get(), searchText_.get(), searchIconView_);
    }
    auto self = sharedAs<VelkoraInviteSocialNetworkViewController>();
    if (friendsTable_) {
        auto probe = socialNetwork_ == kContacts ? VelkoraInviteSocialFriendCell::initFromNibContact({})
                                                 : VelkoraInviteSocialFriendCell::initFromNibSocial({});
        if (probe) friendsTable_->setRowHeight(probe->frame().height());
        friendsTable_->setDataSource(std::static_pointer_cast<ui::TableViewDataSource>(self));
        friendsTable_->setDelegate(std::static_pointer_cast<ui::TableViewDelegate>(self));
    }
    static const char* const kTitles[] = {"velkora_text_facebook_contacts", "velkora_text_twitter_contacts",
                                          "velkora_text_invite_contacts_title"};
    if (nameTitleLabel_ && socialNetwork_ >= 0 && socialNetwork_ <= 2)
        nameTitleLabel_->setText(profiles::text(kTitles[socialNetwork_]));
    // A list that came before the view keeps the spinner off.
    if (activityIndicator_ && !hasList_) activityIndicator_->startAnimating();
    if (hasList_) updateDataSourceOnSortedUsers();
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeUsersListSearchField(searchText_.get(), 1);
    style.customizeUsersListSearchIconView(searchIconView_.get(), 1);
    std::weak_ptr<VelkoraInviteSocialNetworkViewController> weak = self;
    friends::observeKeyboard(weak, keyboardShowObserver_, keyboardHideObserver_);
}

bool VelkoraInviteSocialNetworkViewController::shouldAutorotateToInterfaceOrientation(int orientation) const {
    return orientation == ui::InterfaceOrientationPortrait;
}

int VelkoraInviteSocialNetworkViewController::numberOfSectionsInTableView(ui::TableView&) {
    if (filteredMode_) return 1;
    return hasList_ ? VelkoraInviteSections::kSectionCount : 0;
}

int VelkoraInviteSocialNetworkViewController::numberOfRowsInSection(ui::TableView&, int section) {
    if (filteredMode_) return static_cast<int>(filteredSortedUsers_.size());
    return static_cast<int>(sortedUsers_.section(section).size());
}

VelkoraSocialFriendPtr VelkoraInviteSocialNetworkViewController::friendAt(const ui::IndexPath& indexPath) const {
    if (indexPath.row < 0) return nullptr;
    const auto row = static_cast<size_t>(indexPath.row);
    const auto& list = filteredMode_ ? filteredSortedUsers_ : sortedUsers_.section(indexPath.section);
    return row < list.size() ? list[row] : nullptr;
}

ui::TableViewCellPtr VelkoraInviteSocialNetworkViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                                     const ui::IndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<VelkoraInviteSocialFriendCell>(
        table.dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell) {
        auto self = std::static_pointer_cast<VelkoraInviteSocialFriendCellDelegate>(
            sharedAs<VelkoraInviteSocialNetworkViewController>());
        cell = socialNetwork_ == kContacts ? VelkoraInviteSocialFriendCell::initFromNibContact(self)
                                           : VelkoraInviteSocialFriendCell::initFromNibSocial(self);
        if (!cell) return ui::TableViewCell::create(ui::TableViewCellStyle::Default, kCellIdentifier);
        cell->setReuseIdentifier(kCellIdentifier);
    }
    cell->updateDataWithUser(friendAt(indexPath));
    return cell;
}

std::vector<std::string> VelkoraInviteSocialNetworkViewController::sectionIndexTitlesForTableView(ui::TableView&) {
    if (filteredMode_) return {};
    std::vector<std::string> titles;
    titles.reserve(VelkoraInviteSections::kSectionCount);
    titles.emplace_back(ui::kTableViewIndexSearch);
    for (char c = 'A'; c <= 'Z'; ++c)
        titles.emplace_back(1, c);
    titles.emplace_back("#");
    return titles;
}

int VelkoraInviteSocialNetworkViewController::sectionForSectionIndexTitle(ui::TableView& table,
                                                                          const std::string& title, int index) {
    if (filteredMode_) return -1;
    if (index == kSearchGlyphSection) {
        table.setContentOffset({0, 0});
        return -1;
    }
    if (!title.empty() && title[0] >= 'A' && title[0] <= 'Z') return title[0] - 'A' + 1;
    return kOtherSection;
}

void VelkoraInviteSocialNetworkViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell,
                                                               const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

void VelkoraInviteSocialNetworkViewController::filterChanged(ui::Control*) {
    filterContentForSearchText(searchText_ ? searchText_->text() : std::string());
    reload();
}

void VelkoraInviteSocialNetworkViewController::filterContentForSearchText(const std::string& text) {
    filteredMode_ = !text.empty();
    if (filteredMode_)
        filteredSortedUsers_ = sortedUsers_.filter(text);
    else
        filteredSortedUsers_.clear();
}

void VelkoraInviteSocialNetworkViewController::filterChangedEnded(ui::Control*) {}

void VelkoraInviteSocialNetworkViewController::keyboardWillShow(const foundation::Notification&) {
    friends::addEndEditingTap(view(), keyboardTap_);
}

void VelkoraInviteSocialNetworkViewController::keyboardWillHide(const foundation::Notification&) {
    friends::removeEndEditingTap(viewIfLoaded().get(), keyboardTap_);
}

void VelkoraInviteSocialNetworkViewController::inviteTapped(VelkoraInviteSocialFriendCell& cell) {
    auto target = cell.socialFriend();
    if (!target) return;
    auto& agent = VelkoraAgentInternal::instance();
    switch (socialNetwork_) {
    case kFacebook: {
        auto fb = agent.fbConnector();
        auto user = std::dynamic_pointer_cast<VelkoraFBUser>(target);
        if (!fb || !user) return;
        fb->inviteByPostFriendWall(user->fbId(), [](bool posted) {
            if (posted) VelkoraLogEventsManager::instance().logEvent("invite-sent;facebook");
        });
        break;
    }
    case kTwitter: {
        auto tw = agent.twitterConnector();
        auto user = std::dynamic_pointer_cast<VelkoraTwitterUser>(target);
        if (!tw || !user) return;
        tw->sendInvitationTweet(this, user->name().value_or(""), [](bool posted) {
            if (posted) VelkoraLogEventsManager::instance().logEvent("invite-sent;twitter");
        });
        break;
    }
    case kContacts:
        inviteByEmail(target);
        break;
    default:
        break;
    }
}

void VelkoraInviteSocialNetworkViewController::inviteByEmail(const VelkoraSocialFriendPtr& contact) {
    auto person = std::dynamic_pointer_cast<VelkoraContactUser>(contact);
    if (!person) return;
    auto sheet = makeInvitationMailSheet();
    if (!sheet) return;
    sheet->setMailComposeDelegate(std::static_pointer_cast<ui::MailComposeViewControllerDelegate>(
        sharedAs<VelkoraInviteSocialNetworkViewController>()));
    sheet->setToRecipients({person->email()});
    // The sidebar presents it over everything, its own frame kept for when the sheet goes; a screen the
    // host opened without the sidebar presents it itself.
    std::shared_ptr<ui::ViewController> presenter;
    if (auto sidebar = VelkoraAgentInternal::instance().velkoraVC()) presenter = sidebar->viewController();
    restoreSidebarFrame_ = presenter != nullptr;
    if (presenter) {
        if (auto v = presenter->viewIfLoaded()) origViewFrame_ = v->frame();
    } else {
        presenter = sharedAs<VelkoraInviteSocialNetworkViewController>();
    }
    mailPresenter_ = presenter;
    presenter->presentViewController(sheet, true);
}

void VelkoraInviteSocialNetworkViewController::mailComposeControllerDidFinish(ui::MailComposeViewController&,
                                                                              int result, const foundation::ErrorPtr&) {
    if (result == ui::MailComposeResultSent) VelkoraLogEventsManager::instance().logEvent("invite-sent;email");
    auto presenter = mailPresenter_.lock();
    mailPresenter_.reset();
    if (!presenter) return;
    presenter->dismissViewController(true);
    if (restoreSidebarFrame_)
        if (auto v = presenter->viewIfLoaded()) v->setFrame(origViewFrame_);
}

} // namespace velkora
