#include "feed/VelkoraSuggestedUserViewController.h"

#include "feed/VelkoraFeedSentence.h"
#include "feed/VelkoraSuggestedPeople.h"
#include "shell/VelkoraProfileSupport.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraScreenRegistry.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "data/VelkoraUserDetailsDisplayer.h"

namespace velkora {

// ---- Fetcher

std::shared_ptr<VelkoraSuggestedUsersFetcher> VelkoraSuggestedUsersFetcher::create() {
    return std::shared_ptr<VelkoraSuggestedUsersFetcher>(new VelkoraSuggestedUsersFetcher());
}

VelkoraSuggestedUsersFetcher::~VelkoraSuggestedUsersFetcher() {
    VelkoraServerApi::clearUserDelegate(this);
}

void VelkoraSuggestedUsersFetcher::loadUsersWithDelegate(std::weak_ptr<VelkoraUsersFetcherDelegate> delegate) {
    delegate_ = std::move(delegate);
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    auto self = std::static_pointer_cast<VelkoraSuggestedUsersFetcher>(shared_from_this());
    VelkoraServerApi::getSuggestedUsers(VelkoraCallback(self, &VelkoraSuggestedUsersFetcher::gotSuggestedUsers), true,
                                        me ? me->numFollowing() : 0);
}

void VelkoraSuggestedUsersFetcher::gotSuggestedUsers(const foundation::Value& users) {
    users_ = usersOf(users);
    tellDelegate();
}

// ---- Screen

std::shared_ptr<VelkoraSuggestedUserViewController> VelkoraSuggestedUserViewController::initFromNib() {
    profiles::registerPeopleViewClasses();
    auto screen = std::shared_ptr<VelkoraSuggestedUserViewController>(new VelkoraSuggestedUserViewController());
    screen->usersFetcher_ = VelkoraSuggestedUsersFetcher::create();
    screen->usersFetcher_->loadUsersWithDelegate(std::weak_ptr<VelkoraUsersFetcherDelegate>(screen));
    return screen;
}

VelkoraSuggestedUserViewController::VelkoraSuggestedUserViewController()
    : VelkoraGeneralFeatureViewController(kInterface) {
    users_.reserve(5);
}

VelkoraSuggestedUserViewController::~VelkoraSuggestedUserViewController() {
    VelkoraServerApi::clearUserDelegate(this);
    if (signinHelper_) signinHelper_->setDelegate({});
    if (usersTable_) {
        usersTable_->setDataSource({});
        usersTable_->setDelegate({});
    }
}

void VelkoraSuggestedUserViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("followAllButton", followAllButton_);
    b.outlet("usersTable", usersTable_);
    b.outlet("noSuggestionsView", noSuggestionsView_);
    b.outlet("nameTitleLabel", nameTitleLabel_);
    b.outlet("noSuggestionsLabel", noSuggestionsLabel_);
    b.outlet("activityIndicator", activityIndicator_);
    b.action("followAllTapped:", this, &VelkoraSuggestedUserViewController::followAllTapped);
}

void VelkoraSuggestedUserViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (nameTitleLabel_) nameTitleLabel_->setText(velkoraFeedText("velkora_text_suggestions_title"));
    auto self = sharedAs<VelkoraSuggestedUserViewController>();
    if (usersTable_) {
        usersTable_->setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
        usersTable_->setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
        // Rows stand as tall as the row's own layout.
        if (auto row = VelkoraUserListCell::initFromNibSuggestionWithDelegate({}))
            usersTable_->setRowHeight(row->frame().height());
    }
    if (noSuggestionsView_) noSuggestionsView_->setHidden(true);
    if (noSuggestionsLabel_) noSuggestionsLabel_->setText(velkoraFeedText("velkora_text_no_suggestions_message"));
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeSuggestedUsersTitleLabel(nameTitleLabel_.get(), kScreenId);
    style.customizeSuggestedUsersFollowButton(followAllButton_.get(), kScreenId);
    style.customizeSuggestedUsersNoSuggestionsLabel(noSuggestionsLabel_.get(), kScreenId);
    std::weak_ptr<VelkoraSuggestedUserViewController> weak = self;
    followingObserver_ = foundation::NotificationObserver("VelkoraChangedFollowingNotification", nullptr,
                                                          [weak](const foundation::Notification& n) {
                                                              if (auto s = weak.lock()) s->followingDidChanged(n);
                                                          });
    if (users_.empty() && activityIndicator_) activityIndicator_->startAnimating();
    // The list may have come before the view.
    if (usersFetcher_ && !usersFetcher_->getUsers().empty())
        handleNewData(*usersFetcher_);
    else
        updateFollowAllButton();
}

void VelkoraSuggestedUserViewController::handleNewData(VelkoraUsersFetcher& fetcher) {
    users_.clear();
    for (const auto& user : fetcher.getUsers())
        if (user && !user->isFavorite()) users_.push_back(user);
    if (!isViewLoaded()) return;
    if (activityIndicator_) activityIndicator_->stopAnimating();
    if (usersTable_) usersTable_->reloadData();
    if (noSuggestionsView_) noSuggestionsView_->setHidden(!users_.empty());
    updateFollowAllButton();
}

void VelkoraSuggestedUserViewController::updateFollowAllButton() {
    if (!followAllButton_) return;
    const size_t n = users_.size();
    followAllButton_->setHidden(n == 0);
    if (n == 0) return;
    const std::string title =
        n == 1 ? velkoraFeedTextWith(
                     "velkora_text_follow_one_button",
                     profiles::nameOrGuest(VelkoraUserDetailsDisplayer::nameWithInitial(users_.front().get())))
               : velkoraFeedTextWith("velkora_text_follow_all_people_button", std::to_string(n));
    followAllButton_->setTitle(title, ui::ControlStateNormal);
    followAllButton_->setTitle(title, ui::ControlStateHighlighted);
}

int VelkoraSuggestedUserViewController::numberOfRowsInSection(ui::TableView&, int) {
    return static_cast<int>(users_.size());
}

ui::TableViewCellPtr VelkoraSuggestedUserViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                               const ui::IndexPath& indexPath) {
    auto cell =
        std::dynamic_pointer_cast<VelkoraUserListCell>(table.dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell) {
        cell = VelkoraUserListCell::initFromNibSuggestionWithDelegate(
            std::weak_ptr<VelkoraUserListCellDelegate>(sharedAs<VelkoraSuggestedUserViewController>()));
        if (!cell) return ui::TableViewCell::create(ui::TableViewCellStyle::Default, kCellIdentifier);
        cell->setReuseIdentifier(kCellIdentifier);
        cell->setShowFollowButton(true);
    }
    if (indexPath.row >= 0 && static_cast<size_t>(indexPath.row) < users_.size())
        cell->updateData(users_[static_cast<size_t>(indexPath.row)], false);
    return cell;
}

void VelkoraSuggestedUserViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell,
                                                         const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

void VelkoraSuggestedUserViewController::pushScreen(const std::shared_ptr<ui::ViewController>& screen) {
    if (!screen) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraSuggestedUserViewController::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) {
    if (indexPath.row < 0 || static_cast<size_t>(indexPath.row) >= users_.size()) return;
    pushScreen(VelkoraScreenRegistry::instance().makeScreen(
        "profile",
        foundation::Value(foundation::Dictionary{
            {VelkoraScreenArguments::kOpenedAs, foundation::Value(VelkoraScreenArguments::kOpenedInNavigation)},
            {VelkoraScreenArguments::kObject1,
             foundation::Value::object(users_[static_cast<size_t>(indexPath.row)])}})));
}

void VelkoraSuggestedUserViewController::followAllTapped(ui::Control*) {
    for (const auto& user : users_)
        VelkoraServerApi::addFollowing(user);
}

void VelkoraSuggestedUserViewController::followTapped(VelkoraUserListCell& cell) {
    tappedCell_ = cell.sharedAs<VelkoraUserListCell>();
    tappedUser_ = cell.theUser();
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    if (!me || me->isAnonymous()) {
        if (signinHelper_) signinHelper_->setDelegate({});
        signinHelper_ = VelkoraSigninToFollowPopupHelper::create();
        signinHelper_->showSigninPopupInView(
            ui::Application::instance().keyWindow(), velkoraFeedText("velkora_text_follow_connect_message"),
            std::weak_ptr<VelkoraSigninToFollowPopupHelperDelegate>(sharedAs<VelkoraSuggestedUserViewController>()));
        return;
    }
    didSignin();
}

void VelkoraSuggestedUserViewController::didSignin() {
    if (tappedUser_) VelkoraServerApi::addFollowing(tappedUser_);
}

void VelkoraSuggestedUserViewController::unFollowTapped(VelkoraUserListCell& cell) {
    tappedCell_ = cell.sharedAs<VelkoraUserListCell>();
    tappedUser_ = cell.theUser();
    if (tappedUser_) VelkoraServerApi::removeFollowing(tappedUser_);
}

void VelkoraSuggestedUserViewController::performLogin() {
    pushScreen(VelkoraScreenRegistry::instance().makeScreen("login"));
}

void VelkoraSuggestedUserViewController::performSignUp() {
    pushScreen(VelkoraScreenRegistry::instance().makeScreen("signup"));
}

void VelkoraSuggestedUserViewController::followingDidChanged(const foundation::Notification&) {
    // The tapped row may have been refilled by scrolling: redraw it only while it still shows its user.
    auto cell = tappedCell_.lock();
    if (cell && tappedUser_ && cell->theUser() == tappedUser_)
        cell->updateButtons();
    else if (usersTable_)
        usersTable_->reloadData();
    tappedCell_.reset();
    updateFollowAllButton();
}

} // namespace velkora
