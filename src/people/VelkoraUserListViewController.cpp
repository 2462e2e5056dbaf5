#include "people/VelkoraUserListViewController.h"

#include "people/VelkoraFriendsSupport.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraScreenRegistry.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraProfileSupport.h"

namespace velkora {

namespace {
constexpr int kSearchGlyphSection = 0;
constexpr int kOtherSection = 27;
} // namespace

std::shared_ptr<VelkoraUserListViewController>
VelkoraUserListViewController::initWithTitle(std::string title, std::shared_ptr<VelkoraUsersFetcher> fetcher) {
    return std::shared_ptr<VelkoraUserListViewController>(
        new VelkoraUserListViewController(std::move(title), std::move(fetcher)));
}

VelkoraUserListViewController::VelkoraUserListViewController(std::string title,
                                                             std::shared_ptr<VelkoraUsersFetcher> fetcher)
    : VelkoraGeneralFeatureViewController(kInterface), usersFetcher_(std::move(fetcher)), title_(std::move(title)) {
    profiles::registerPeopleViewClasses();
}

VelkoraUserListViewController::~VelkoraUserListViewController() {
    VelkoraServerApi::clearUserDelegate(this);
    if (signinHelper_) signinHelper_->setDelegate({});
    friends::detachTable(usersTable_.get());
}

void VelkoraUserListViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("usersTable", usersTable_);
    b.outlet("activityIndicatorView", activityIndicatorView_);
    b.outlet("nameTitleLabel", nameTitleLabel_);
    b.outlet("searchText", searchText_);
    b.outlet("searchIconView", searchIconView_);
    b.outlet("noUsersLabel", noUsersLabel_);
    b.action("filterChanged:", this, &VelkoraUserListViewController::filterChanged);
    b.action("filterChangedEnded:", this, &VelkoraUserListViewController::filterChangedEnded);
}

void VelkoraUserListViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (nameTitleLabel_) nameTitleLabel_->setText(title_);
    if (searchText_) {
        if (velkoraContentView()) {
            removeConstraintsForView(searchText_.get(), velkoraContentView().get());
            if (searchIconView_) removeConstraintsForView(searchIconView_.get(), velkoraContentView().get());
        }
        if (searchIconView_) {
            searchIconView_->setTranslatesAutoresizingMaskIntoConstraints(true);
            searchText_->setLeftView(searchIconView_);
            searchText_->setLeftViewMode(ui::TextFieldViewMode::Always);
        }
        searchText_->setHidden(true);
    }
    auto self = sharedAs<VelkoraUserListViewController>();
    if (usersTable_) {
        // Rows are as tall as the cell's interface file draws them.
        if (auto probe = VelkoraUserListCell::initFromNibNormalWithDelegate({}))
            usersTable_->setRowHeight(probe->frame().height());
        usersTable_->setDataSource(std::static_pointer_cast<ui::TableViewDataSource>(self));
        usersTable_->setDelegate(std::static_pointer_cast<ui::TableViewDelegate>(self));
    }
    if (activityIndicatorView_) activityIndicatorView_->startAnimating();
    if (usersFetcher_)
        usersFetcher_->loadUsersWithDelegate(std::static_pointer_cast<VelkoraUsersFetcherDelegate>(self));

    std::weak_ptr<VelkoraUserListViewController> weak = self;
    followingObserver_ = friends::observeFollowing(weak);
    friends::observeKeyboard(weak, keyboardShowObserver_, keyboardHideObserver_);
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeUsersListSearchField(searchText_.get(), kScreenId);
    style.customizeUsersListSearchIconView(searchIconView_.get(), kScreenId);
}

void VelkoraUserListViewController::viewWillAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewWillAppear(animated);
    // A profile opened from this list may have blocked someone since: they leave the list.
    if (sortedUsers_.count() == 0) return;
    rebuildSections();
    if (filteredMode_ && searchText_) filteredSortedUsers_ = sortedUsers_.filter(searchText_->text());
    if (usersTable_) usersTable_->reloadData();
    showWhetherEmpty();
}

void VelkoraUserListViewController::handleNewData(VelkoraUsersFetcher& fetcher) {
    if (activityIndicatorView_) activityIndicatorView_->stopAnimating();
    // A social-network fetcher answers page by page with that page's matches only: the list keeps them all.
    sortedUsers_.merge(fetcher.getUsers());
    rebuildSections();
    if (filteredMode_ && searchText_) filteredSortedUsers_ = sortedUsers_.filter(searchText_->text());
    if (!sortedUsers_.isEmpty() && searchText_ && usersTable_) {
        searchText_->setHidden(false);
        searchText_->setTranslatesAutoresizingMaskIntoConstraints(true);
        if (usersTable_->tableHeaderView() != searchText_) usersTable_->setTableHeaderView(searchText_);
    }
    if (usersTable_) usersTable_->reloadData();
    showWhetherEmpty();
}

void VelkoraUserListViewController::showWhetherEmpty() {
    if (!noUsersLabel_) return;
    noUsersLabel_->setText(emptyListText());
    noUsersLabel_->setHidden(!sortedUsers_.isEmpty());
}

std::string VelkoraUserListViewController::emptyListText() const {
    const char* key = "velkora_text_no_users_message";
    if (auto favorites = std::dynamic_pointer_cast<VelkoraFavoritesUsersFetcher>(usersFetcher_))
        key = favorites->showFollowing() ? "velkora_text_no_following_message" : "velkora_text_no_followers_message";
    else if (std::dynamic_pointer_cast<VelkoraSNUserFetcher>(usersFetcher_))
        key = "velkora_text_no_friends_message";
    return profiles::text(key);
}

void VelkoraUserListViewController::rebuildSections() {
    sortedUsers_.rebuild();
}

int VelkoraUserListViewController::numberOfSectionsInTableView(ui::TableView&) {
    return filteredMode_ ? 1 : VelkoraUserListSections::kSectionCount;
}

int VelkoraUserListViewController::numberOfRowsInSection(ui::TableView&, int section) {
    if (filteredMode_) return static_cast<int>(filteredSortedUsers_.size());
    return static_cast<int>(sortedUsers_.section(section).size());
}

VelkoraUserPtr VelkoraUserListViewController::userAt(const ui::IndexPath& indexPath) const {
    if (indexPath.row < 0) return nullptr;
    const auto row = static_cast<size_t>(indexPath.row);
    if (filteredMode_) return row < filteredSortedUsers_.size() ? filteredSortedUsers_[row] : nullptr;
    if (indexPath.section == kSearchGlyphSection) return nullptr;
    const auto& section = sortedUsers_.section(indexPath.section);
    return row < section.size() ? section[row] : nullptr;
}

ui::TableViewCellPtr VelkoraUserListViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                          const ui::IndexPath& indexPath) {
    auto cell =
        std::dynamic_pointer_cast<VelkoraUserListCell>(table.dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell) {
        cell = VelkoraUserListCell::initFromNibNormalWithDelegate(
            std::static_pointer_cast<VelkoraUserListCellDelegate>(sharedAs<VelkoraUserListViewController>()));
        if (!cell) return ui::TableViewCell::create(ui::TableViewCellStyle::Default, kCellIdentifier);
        cell->setReuseIdentifier(kCellIdentifier);
        cell->setShowFollowButton(showFollowButton_);
    }
    cell->updateData(userAt(indexPath), false);
    return cell;
}

std::vector<std::string> VelkoraUserListViewController::sectionIndexTitlesForTableView(ui::TableView&) {
    if (filteredMode_) return {};
    std::vector<std::string> titles;
    titles.reserve(VelkoraUserListSections::kSectionCount);
    titles.emplace_back(ui::kTableViewIndexSearch);
    for (char c = 'A'; c <= 'Z'; ++c)
        titles.emplace_back(1, c);
    titles.emplace_back("#");
    return titles;
}

int VelkoraUserListViewController::sectionForSectionIndexTitle(ui::TableView& table, const std::string& title, int) {
    if (filteredMode_) return -1;
    if (title == ui::kTableViewIndexSearch) {
        table.setContentOffset({0, 0});
        return -1;
    }
    if (title.size() == 1 && title[0] >= 'A' && title[0] <= 'Z') return title[0] - 64;
    return kOtherSection;
}

void VelkoraUserListViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

void VelkoraUserListViewController::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) {
    auto user = userAt(indexPath);
    if (!user) return;
    auto screen = VelkoraScreenRegistry::instance().makeScreen(
        "profile", foundation::Value(foundation::Dictionary{{"object1", foundation::Value::object(user)}}));
    if (!screen) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraUserListViewController::filterChanged(ui::Control*) {
    const std::string text = searchText_ ? searchText_->text() : std::string();
    if (!text.empty()) {
        filteredSortedUsers_ = sortedUsers_.filter(text);
        filteredMode_ = true;
    } else {
        filteredMode_ = false;
    }
    if (usersTable_) usersTable_->reloadData();
}

void VelkoraUserListViewController::filterChangedEnded(ui::Control*) {}

void VelkoraUserListViewController::keyboardWillShow(const foundation::Notification&) {
    friends::addEndEditingTap(view(), keyboardTap_);
}

void VelkoraUserListViewController::keyboardWillHide(const foundation::Notification&) {
    friends::removeEndEditingTap(viewIfLoaded().get(), keyboardTap_);
}

void VelkoraUserListViewController::followTapped(VelkoraUserListCell& cell) {
    tappedUser_ = cell.theUser();
    if (!tappedUser_) return;
    if (profiles::viewerIsAnonymous()) {
        if (signinHelper_) signinHelper_->setDelegate({});
        signinHelper_ = VelkoraSigninToFollowPopupHelper::create();
        auto window = ui::Application::instance().keyWindowShared();
        signinHelper_->showSigninPopupInView(window ? window.get() : view().get(),
                                             profiles::text("velkora_text_follow_connect_message"),
                                             std::static_pointer_cast<VelkoraSigninToFollowPopupHelperDelegate>(
                                                 sharedAs<VelkoraUserListViewController>()));
        return;
    }
    // The button stays off until the service's answer redraws the row, so one tap sends one follow.
    if (cell.followButton()) cell.followButton()->setEnabled(false);
    didSignin();
}

void VelkoraUserListViewController::performLogin() {
    pushFeature("login");
}

void VelkoraUserListViewController::performSignUp() {
    pushFeature("signup");
}

void VelkoraUserListViewController::pushFeature(const std::string& name) {
    auto screen = VelkoraScreenRegistry::instance().makeScreen(name);
    if (!screen) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraUserListViewController::didSignin() {
    if (tappedUser_) VelkoraServerApi::addFollowing(tappedUser_);
}

void VelkoraUserListViewController::unFollowTapped(VelkoraUserListCell& cell) {
    tappedUser_ = cell.theUser();
    if (!tappedUser_) return;
    if (cell.followingButton()) cell.followingButton()->setEnabled(false);
    VelkoraServerApi::removeFollowing(tappedUser_);
}

void VelkoraUserListViewController::followingDidChanged(const foundation::Notification&) {
    if (tappedUser_) {
        redrawRowsOf(tappedUser_);
        tappedUser_.reset();
    } else if (usersTable_) {
        usersTable_->reloadData();
    }
}

void VelkoraUserListViewController::redrawRowsOf(const VelkoraUserPtr& user) {
    if (!usersTable_) return;
    for (const auto& visible : usersTable_->visibleCells())
        if (auto cell = std::dynamic_pointer_cast<VelkoraUserListCell>(visible))
            if (cell->theUser() && cell->theUser()->isEqual(user)) cell->updateButtons();
}

std::shared_ptr<VelkoraFavoriteUserListViewController>
VelkoraFavoriteUserListViewController::initWithUser(VelkoraUserPtr user, bool showFollowers) {
    auto fetcher = VelkoraFavoritesUsersFetcher::create();
    fetcher->setShowFollowing(!showFollowers);
    fetcher->setVelkoraUser(user);
    auto screen = std::shared_ptr<VelkoraFavoriteUserListViewController>(new VelkoraFavoriteUserListViewController(
        profiles::text(showFollowers ? "velkora_text_followers_title" : "velkora_text_following_title"), fetcher));
    screen->setVelkoraUser(std::move(user));
    screen->setShowFollowButton(showFollowers);
    return screen;
}

} // namespace velkora
