#include "people/VelkoraFindFriendsViewController.h"

#include <algorithm>
#include <unordered_set>

#include "data/VelkoraAppSettings.h"
#include "data/VelkoraSNFriendsRepository.h"
#include "data/VelkoraUserDetailsDisplayer.h"
#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUtils.h"
#include "platform/foundation/TextFolding.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraProfileSupport.h"
#include "shell/VelkoraSidebarClasses.h"

namespace velkora {

namespace friends {

void sortByFullName(std::vector<VelkoraUserPtr>& users) {
    struct Keyed {
        std::string name;
        std::string id;
        VelkoraUserPtr user;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(users.size());
    for (auto& u : users)
        if (u) keyed.push_back({VelkoraUserDetailsDisplayer::nameFull(u.get()), u->userId().value_or(""), u});
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        const int c = foundation::compareUtf16(a.name, b.name);
        return c != 0 ? c < 0 : a.id < b.id;
    });
    users.clear();
    for (auto& k : keyed)
        users.push_back(std::move(k.user));
}

size_t addOnce(std::vector<VelkoraUserPtr>& list, const std::vector<VelkoraUserPtr>& users) {
    std::unordered_set<std::string> held;
    for (const auto& u : list)
        if (u && u->userId()) held.insert(*u->userId());
    size_t added = 0;
    for (const auto& u : users) {
        if (!u) continue;
        if (u->userId() && !held.insert(*u->userId()).second) continue;
        list.push_back(u);
        ++added;
    }
    return added;
}

} // namespace friends

// ---- the cell

std::shared_ptr<VelkoraFindFriendsCell>
VelkoraFindFriendsCell::initFromNib(std::weak_ptr<VelkoraFindFriendsCellDelegate> d) {
    friends::registerFriendsViewClasses();
    auto cell =
        std::dynamic_pointer_cast<VelkoraFindFriendsCell>(ui::InterfaceLoader::instance().loadFirstObject(kInterface));
    if (!cell) return nullptr;
    cell->delegate_ = std::move(d);
    cell->setUp();
    return cell;
}

void VelkoraFindFriendsCell::setUp() {
    friends::styleFriendRow(*this, nameLabel_.get(), userPhoto_.get());
    if (followButton_) followButton_->setTitle(profiles::text("velkora_text_follow_button"));
    if (unfollowButton_) unfollowButton_->setTitle(profiles::text("velkora_text_following_button"));
    if (moreLabel_ && moreLabel_->text().empty()) moreLabel_->setText(profiles::text("velkora_text_more_friends"));
    auto selected = friends::giveSelectedBackground(*this);
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableCellTitleLabel(nameLabel_.get(), kScreenId);
    style.customizeTableCellSelectedBackgroundView(selected.get(), kScreenId);
    style.customizeTableCellDescriptionLabel(numFollowersLabel_.get(), kScreenId);
    style.customizeTableCellMoreLabel(moreLabel_.get(), kScreenId);
    style.customizeTableCellMoreImageView(moreImage_.get(), kScreenId);
    style.customizeUserPhotoFrameImage(userFrameView_.get(), kScreenId);
    style.customizeTableCellFollowButton(followButton_.get(), kScreenId);
    style.customizeTableCellFollowButton(unfollowButton_.get(), kScreenId);
}

void VelkoraFindFriendsCell::showUserViews(bool user) {
    for (ui::View* v : std::initializer_list<ui::View*>{moreLabel_.get(), moreImage_.get()})
        if (v) v->setHidden(user);
    for (ui::View* v : std::initializer_list<ui::View*>{nameLabel_.get(), numFollowersLabel_.get(), userPhoto_.get(),
                                                        userFrameView_.get(), showProfileButton_.get()})
        if (v) v->setHidden(!user);
}

void VelkoraFindFriendsCell::updateDataWithUser(VelkoraUserPtr user) {
    user_ = std::move(user);
    showMoreButton_ = false;
    showUserViews(true);
    updateCellButtons();
    if (!user_) return;
    if (nameLabel_) nameLabel_->setText(VelkoraUserDetailsDisplayer::nameWithInitial(user_.get()));
    if (numFollowersLabel_)
        numFollowersLabel_->setText(
            user_->numFollowers() == 1
                ? profiles::text("velkora_text_one_follower")
                : friends::textWithNumber("velkora_text_number_of_followers", user_->numFollowers()));
    if (userPhoto_) profiles::showUserPhoto(*userPhoto_, user_);
}

void VelkoraFindFriendsCell::updateCellToMore() {
    user_.reset();
    showMoreButton_ = true;
    showUserViews(false);
    if (followButton_) followButton_->setHidden(true);
    if (unfollowButton_) unfollowButton_->setHidden(true);
}

void VelkoraFindFriendsCell::updateCellButtons() {
    const bool followed = user_ && user_->isFavorite();
    if (followButton_) {
        followButton_->setHidden(followed);
        followButton_->setEnabled(!followed);
    }
    if (unfollowButton_) {
        unfollowButton_->setHidden(!followed);
        unfollowButton_->setEnabled(followed);
    }
}

void VelkoraFindFriendsCell::followTapped(ui::Control*) {
    // One tap, one request: the button stays off until the answer redraws the row.
    if (followButton_) followButton_->setEnabled(false);
    if (auto d = delegate_.lock()) d->followUserTapped(*this);
}

void VelkoraFindFriendsCell::unfollowTapped(ui::Control*) {
    if (unfollowButton_) unfollowButton_->setEnabled(false);
    if (auto d = delegate_.lock()) d->unfollowUserTapped(*this);
}

void VelkoraFindFriendsCell::layoutSubviews() {
    ui::TableViewCell::layoutSubviews();
    auto d = delegate_.lock();
    friends::layoutCellAcrossScreen(*this, d ? d->isOpenedAsFeature() : true);
}

void VelkoraFindFriendsCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("nameLabel", nameLabel_);
    b.outlet("numFollowersLabel", numFollowersLabel_);
    b.outlet("userFrameView", userFrameView_);
    b.outlet("userPhoto", userPhoto_);
    b.outlet("followButton", followButton_);
    b.outlet("unfollowButton", unfollowButton_);
    b.outlet("showProfileButton", showProfileButton_);
    b.outlet("moreImage", moreImage_);
    b.outlet("moreLabel", moreLabel_);
    b.action("followTapped:", this, &VelkoraFindFriendsCell::followTapped);
    b.action("unfollowTapped:", this, &VelkoraFindFriendsCell::unfollowTapped);
}

// ---- the screen

std::shared_ptr<VelkoraFindFriendsViewController> VelkoraFindFriendsViewController::create() {
    auto screen = std::shared_ptr<VelkoraFindFriendsViewController>(new VelkoraFindFriendsViewController());
    screen->buildHeaders();
    return screen;
}

VelkoraFindFriendsViewController::VelkoraFindFriendsViewController() : VelkoraGeneralFeatureViewController(kInterface) {
    friends::registerFriendsViewClasses();
    facebookList_.reserve(20);
    twitterList_.reserve(20);
}

VelkoraFindFriendsViewController::~VelkoraFindFriendsViewController() {
    VelkoraServerApi::clearUserDelegate(this);
    friends::detachTable(friendsTable_.get());
}

void VelkoraFindFriendsViewController::buildHeaders() {
    auto info = VelkoraAgentInternal::instance().userInfo();
    auto self = std::static_pointer_cast<VelkoraInviteHeaderViewDelegate>(sharedAs<VelkoraFindFriendsViewController>());
    auto header = [&](const char* key, bool connectedNetwork) {
        auto h = VelkoraInviteHeaderView::create();
        h->setStyleScreenIdentifier(kScreenId);
        h->setDelegate(self);
        h->loadNib();
        if (h->followAllButton()) h->followAllButton()->setHidden(true);
        if (h->headerLabel()) h->headerLabel()->setText(profiles::text(key));
        if (h->connectButton()) h->connectButton()->setHidden(true);
        if (!connectedNetwork) showConnect(*h, true);
        return h;
    };
    facebookHeaderView_ = header("velkora_text_facebook_friends_title", info && info->isFacebookConnected());
    twitterHeaderView_ = header("velkora_text_twitter_friends", info && info->isTwitterConnected());
}

void VelkoraFindFriendsViewController::showConnect(VelkoraInviteHeaderView& header, bool show) {
    auto button = header.connectButton();
    if (!button || button->isHidden() == !show) return;
    button->setHidden(!show);
    // The title gives way to the button while it shows.
    if (auto trailing = header.headerLabelTrailingSpaceConstraint())
        trailing->setConstant(trailing->constant() + (show ? 1 : -1) * button->frame().width());
}

void VelkoraFindFriendsViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("friendsTable", friendsTable_);
    b.outlet("filterText", filterText_);
    b.outlet("searchIconView", searchIconView_);
    b.outlet("findFriendsTitleLabel", findFriendsTitleLabel_);
    b.action("filterChanged:", this, &VelkoraFindFriendsViewController::filterChanged);
    b.action("filterChangedEnded:", this, &VelkoraFindFriendsViewController::filterChangedEnded);
}

void VelkoraFindFriendsViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (findFriendsTitleLabel_) findFriendsTitleLabel_->setText(profiles::text("velkora_text_find_friends_title"));
    auto self = sharedAs<VelkoraFindFriendsViewController>();
    if (friendsTable_) {
        if (auto probe = VelkoraFindFriendsCell::initFromNib({})) friendsTable_->setRowHeight(probe->frame().height());
        friendsTable_->setDataSource(std::static_pointer_cast<ui::TableViewDataSource>(self));
        friendsTable_->setDelegate(std::static_pointer_cast<ui::TableViewDelegate>(self));
    }
    rebuildLists();
    if (filterText_) {
        friends::prepareSearchField(velkoraContentView().get(), filterText_.get(), searchIconView_);
        if ((!facebookList_.empty() || !twitterList_.empty()) && friendsTable_)
            friends::showSearchField(*friendsTable_, filterText_);
    }
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeUsersListSearchField(filterText_.get(), 1);
    style.customizeUsersListSearchIconView(searchIconView_.get(), 1);

    std::weak_ptr<VelkoraFindFriendsViewController> weak = self;
    followingObserver_ = friends::observeFollowing(weak);
    friends::observeKeyboard(weak, keyboardShowObserver_, keyboardHideObserver_);
}

void VelkoraFindFriendsViewController::rebuildLists() {
    auto& repo = VelkoraSNFriendsRepository::instance();
    facebookList_.clear();
    for (const auto& u : repo.facebookFriends())
        if (u && !u->isAnonymous()) facebookList_.push_back(u);
    friends::sortByFullName(facebookList_);
    twitterList_.clear();
    for (const auto& u : repo.twitterFriends())
        if (u) twitterList_.push_back(u);
    friends::sortByFullName(twitterList_);
    if (facebookHeaderView_ && facebookHeaderView_->followAllButton())
        facebookHeaderView_->followAllButton()->setHidden(facebookList_.empty());
    if (twitterHeaderView_ && twitterHeaderView_->followAllButton())
        twitterHeaderView_->followAllButton()->setHidden(twitterList_.empty());
    if (isFiltering() && filterText_) filterContentForSearchText(filterText_->text());
}

bool VelkoraFindFriendsViewController::shouldAutorotateToInterfaceOrientation(int orientation) const {
    return orientation == ui::InterfaceOrientationPortrait;
}

bool VelkoraFindFriendsViewController::isFiltering() const {
    return filterText_ && !filterText_->text().empty();
}

const std::vector<VelkoraUserPtr>& VelkoraFindFriendsViewController::listOf(int section) const {
    return section == 0 ? facebookList_ : twitterList_;
}

int VelkoraFindFriendsViewController::numberOfSectionsInTableView(ui::TableView&) {
    return isFiltering() ? 1 : 2;
}

int VelkoraFindFriendsViewController::numberOfRowsInSection(ui::TableView&, int section) {
    if (isFiltering()) return static_cast<int>(mergedFilteredList_.size());
    const auto& list = listOf(section);
    const bool showAll = section == 0 ? showAllFacebook_ : showAllTwitter_;
    const int n = static_cast<int>(list.size());
    return showAll || n < kRowsBeforeMore ? n : kRowsBeforeMore;
}

ui::TableViewCellPtr VelkoraFindFriendsViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                             const ui::IndexPath& indexPath) {
    auto cell =
        std::dynamic_pointer_cast<VelkoraFindFriendsCell>(table.dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell) {
        cell = VelkoraFindFriendsCell::initFromNib(
            std::static_pointer_cast<VelkoraFindFriendsCellDelegate>(sharedAs<VelkoraFindFriendsViewController>()));
        if (!cell) return ui::TableViewCell::create(ui::TableViewCellStyle::Default, kCellIdentifier);
        cell->setReuseIdentifier(kCellIdentifier);
    }
    const auto row = static_cast<size_t>(std::max(indexPath.row, 0));
    if (isFiltering()) {
        cell->updateDataWithUser(row < mergedFilteredList_.size() ? mergedFilteredList_[row] : nullptr);
        return cell;
    }
    const bool showAll = indexPath.section == 0 ? showAllFacebook_ : showAllTwitter_;
    const auto& list = listOf(indexPath.section);
    if (!showAll && list.size() >= static_cast<size_t>(kRowsBeforeMore) && row == kRowsBeforeMore - 1)
        cell->updateCellToMore();
    else
        cell->updateDataWithUser(row < list.size() ? list[row] : nullptr);
    return cell;
}

double VelkoraFindFriendsViewController::heightForHeaderInSection(ui::TableView&, int) {
    if (isFiltering()) return 0;
    return facebookHeaderView_ ? facebookHeaderView_->getHeight() : 0;
}

double VelkoraFindFriendsViewController::heightForFooterInSection(ui::TableView&, int) {
    return 0;
}

ui::ViewPtr VelkoraFindFriendsViewController::viewForHeaderInSection(ui::TableView&, int section) {
    if (isFiltering()) return nullptr;
    return section == 0 ? facebookHeaderView_ : twitterHeaderView_;
}

void VelkoraFindFriendsViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

void VelkoraFindFriendsViewController::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<VelkoraFindFriendsCell>(table.cellForRowAtIndexPath(indexPath));
    if (!cell) return;
    if (cell->showMoreButton()) {
        (indexPath.section == 0 ? showAllFacebook_ : showAllTwitter_) = true;
        table.reloadSections({indexPath.section}, ui::TableViewRowAnimation::Automatic);
        return;
    }
    if (auto user = cell->user())
        friends::pushFeature(*this, "profile",
                             foundation::Value(foundation::Dictionary{{"object1", foundation::Value::object(user)}}));
    table.deselectRowAtIndexPath(indexPath, true);
}

void VelkoraFindFriendsViewController::filterChanged(ui::Control*) {
    if (isFiltering()) filterContentForSearchText(filterText_->text());
    if (friendsTable_) friendsTable_->reloadData();
}

void VelkoraFindFriendsViewController::filterContentForSearchText(const std::string& text) {
    const std::string needle = foundation::foldForSearch(text);
    mergedFilteredList_.clear();
    for (const auto* list : {&facebookList_, &twitterList_})
        for (const auto& u : *list)
            if (foundation::containsFolded(foundation::foldForSearch(u->firstName().value_or("")), needle) ||
                foundation::containsFolded(foundation::foldForSearch(u->lastName().value_or("")), needle))
                mergedFilteredList_.push_back(u);
    friends::sortByFullName(mergedFilteredList_);
}

void VelkoraFindFriendsViewController::filterChangedEnded(ui::Control*) {}

void VelkoraFindFriendsViewController::cancelTapped(ui::Control*) {
    dismissViewController(true);
}

void VelkoraFindFriendsViewController::keyboardWillShow(const foundation::Notification&) {
    friends::addEndEditingTap(view(), keyboardTap_);
}

void VelkoraFindFriendsViewController::keyboardWillHide(const foundation::Notification&) {
    friends::removeEndEditingTap(viewIfLoaded().get(), keyboardTap_);
}

void VelkoraFindFriendsViewController::followUserTapped(VelkoraFindFriendsCell& cell) {
    tappedUser_ = cell.user();
    if (tappedUser_) VelkoraServerApi::addFollowing(tappedUser_);
}

void VelkoraFindFriendsViewController::unfollowUserTapped(VelkoraFindFriendsCell& cell) {
    tappedUser_ = cell.user();
    if (tappedUser_) VelkoraServerApi::removeFollowing(tappedUser_);
}

bool VelkoraFindFriendsViewController::isOpenedAsFeature() {
    auto d = featureTabDelegate();
    return d ? d->isOpenedAsFeature() : true;
}

void VelkoraFindFriendsViewController::followAllTapped(VelkoraInviteHeaderView& header) {
    const auto& list = &header == facebookHeaderView_.get() ? facebookList_ : twitterList_;
    // A copy: answers may arrive while the requests go out.
    const std::vector<VelkoraUserPtr> users = list;
    for (const auto& u : users)
        VelkoraServerApi::addFollowing(u);
}

void VelkoraFindFriendsViewController::connectTapped(VelkoraInviteHeaderView& header) {
    const int32_t method = &header == facebookHeaderView_.get() ? 2 : 3;
    if (!connect_) {
        std::weak_ptr<VelkoraFindFriendsViewController> weak = sharedAs<VelkoraFindFriendsViewController>();
        connect_ = friends::NetworkConnect::create([weak](int32_t m) {
            if (auto self = weak.lock()) self->connected(m);
        });
    }
    connect_->connect(method, view().get());
}

void VelkoraFindFriendsViewController::connected(int32_t method) {
    const bool facebook = method == 2;
    auto& header = facebook ? facebookHeaderView_ : twitterHeaderView_;
    if (header) {
        if (header->followAllButton()) header->followAllButton()->setHidden(false);
        showConnect(*header, false);
    }
    auto& repo = VelkoraSNFriendsRepository::instance();
    auto& fetcher = facebook ? facebookFetcher_ : twitterFetcher_;
    if (facebook)
        repo.setFacebookFriends({});
    else
        repo.setTwitterFriends({});
    rebuildLists();
    if (header && header->followAllButton()) header->followAllButton()->setHidden(false);
    if (!fetcher) {
        fetcher = VelkoraSNUserFetcher::create();
        fetcher->setSocialNetwork(facebook ? 0 : 1);
    }
    fetcher->loadUsersWithDelegate(
        std::static_pointer_cast<VelkoraUsersFetcherDelegate>(sharedAs<VelkoraFindFriendsViewController>()));
    if (friendsTable_) friendsTable_->reloadData();
}

void VelkoraFindFriendsViewController::handleNewData(VelkoraUsersFetcher& fetcher) {
    auto& repo = VelkoraSNFriendsRepository::instance();
    if (&fetcher == facebookFetcher_.get() || &fetcher == twitterFetcher_.get()) {
        const bool facebook = &fetcher == facebookFetcher_.get();
        auto list = facebook ? repo.facebookFriends() : repo.twitterFriends();
        // Each page repeats what came before: every friend is held once.
        friends::addOnce(list, fetcher.getUsers());
        if (facebook)
            repo.setFacebookFriends(std::move(list));
        else
            repo.setTwitterFriends(std::move(list));
        rebuildLists();
        if (friendsTable_ && (!facebookList_.empty() || !twitterList_.empty()))
            friends::showSearchField(*friendsTable_, filterText_);
    }
    if (friendsTable_) friendsTable_->reloadData();
}

void VelkoraFindFriendsViewController::followingDidChanged(const foundation::Notification&) {
    if (tappedUser_ && friendsTable_) {
        for (const auto& visible : friendsTable_->visibleCells())
            if (auto cell = std::dynamic_pointer_cast<VelkoraFindFriendsCell>(visible))
                if (cell->user() && cell->user()->isEqual(tappedUser_)) cell->updateCellButtons();
        tappedUser_.reset();
    } else if (friendsTable_) {
        friendsTable_->reloadData();
    }
}

} // namespace velkora
