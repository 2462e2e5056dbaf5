#include "conversations/VelkoraNewMessageChooserViewController.h"

#include <algorithm>
#include <unordered_set>

#include "conversations/VelkoraInboxScreens.h"
#include "people/VelkoraInviteHeaderView.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/TextFolding.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraLazyImageView.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "data/VelkoraUserDetailsDisplayer.h"

namespace velkora {

using foundation::Value;

namespace {

std::string text(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

std::string idOf(const VelkoraUserPtr& user) {
    return user ? user->userId().value_or("") : std::string();
}

// Each person once, in the order met; people without an id are kept as they are.
std::vector<VelkoraUserPtr> uniqueUsers(std::initializer_list<const std::vector<VelkoraUserPtr>*> lists) {
    std::vector<VelkoraUserPtr> out;
    std::unordered_set<std::string> seen;
    for (const auto* list : lists)
        for (const auto& user : *list) {
            if (!user) continue;
            const std::string id = idOf(user);
            if (!id.empty() && !seen.insert(id).second) continue;
            out.push_back(user);
        }
    return out;
}

// By full name, compared unit by unit in UTF-16 as the platform's compare: did; equal names keep their order.
void sortByNameFull(std::vector<VelkoraUserPtr>& users) {
    std::vector<std::pair<std::string, VelkoraUserPtr>> keyed;
    keyed.reserve(users.size());
    for (auto& u : users)
        keyed.emplace_back(VelkoraUserDetailsDisplayer::nameFull(u.get()), u);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return foundation::compareUtf16(a.first, b.first) < 0; });
    for (size_t i = 0; i < keyed.size(); ++i)
        users[i] = std::move(keyed[i].second);
}

std::shared_ptr<VelkoraAppData> appData() {
    return VelkoraAgentInternal::instance().appData();
}

} // namespace

// ---- cell

VelkoraNewMessageChooserCell::~VelkoraNewMessageChooserCell() = default;

std::shared_ptr<VelkoraNewMessageChooserCell> VelkoraNewMessageChooserCell::initFromNib() {
    registerInboxViewClasses();
    auto cell = std::dynamic_pointer_cast<VelkoraNewMessageChooserCell>(
        ui::InterfaceLoader::instance().loadFirstObject(kInterface));
    if (cell) cell->prepare();
    return cell;
}

void VelkoraNewMessageChooserCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("title", title_);
    b.outlet("accessory", accessory_);
    b.outlet("userPhoto", userPhoto_);
    b.outlet("userFrameView", userFrameView_);
    b.outlet("moreImage", moreImage_);
    b.outlet("moreLabel", moreLabel_);
    b.outlet("lineView", lineView_);
}

void VelkoraNewMessageChooserCell::prepare() {
    setReuseIdentifier(kReuseIdentifier);
    setBackgroundView(ui::View::create(bounds()));
    if (title_) VelkoraAppSettings::setLeadingColor(*title_);
    if (userPhoto_) {
        userPhoto_->layer().setCornerRadius(7.0);
        userPhoto_->setClipsToBounds(true);
        userPhoto_->setUsingCache(true);
    }
    auto selected = ui::View::create(frame());
    selected->setBackgroundColor(ui::Color::rgba(29 / 255.0, 29 / 255.0, 29 / 255.0, 1.0));
    setSelectedBackgroundView(selected);
    if (moreLabel_) moreLabel_->setText(text("velkora_text_more_title"));
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableCellSelectedBackgroundView(selected.get(), kScreenId);
    style.customizeTableCellTitleLabel(title_.get(), kScreenId);
    style.customizeTableCellAccessoryView(accessory_.get(), kScreenId);
    style.customizeTableCellMoreLabel(moreLabel_.get(), kScreenId);
    style.customizeTableCellMoreImageView(moreImage_.get(), kScreenId);
    style.customizeTableCellSeparatorView(lineView_.get(), kScreenId);
}

void VelkoraNewMessageChooserCell::updateDataWithUser(const VelkoraUserPtr& user) {
    user_ = user;
    showMoreButton_ = false;
    for (ui::View* v : std::initializer_list<ui::View*>{moreLabel_.get(), moreImage_.get()})
        if (v) v->setHidden(true);
    for (ui::View* v :
         std::initializer_list<ui::View*>{title_.get(), userPhoto_.get(), userFrameView_.get(), accessory_.get()})
        if (v) v->setHidden(false);
    if (!user) return;
    if (title_) title_->setText(VelkoraUserDetailsDisplayer::nameWithInitial(user.get()));
    if (userPhoto_) {
        auto info = VelkoraAgentInternal::instance().userInfo();
        std::optional<std::string> url;
        if (user->hasPhoto(info ? info->userInfoSource() : 0)) {
            const ui::Size pixels = userPhoto_->getSizeInPixels();
            url = user->getSizedPhotoUrl(float(pixels.width), float(pixels.height));
        }
        if (url && !url->empty()) {
            userPhoto_->getImage(*url);
        } else {
            userPhoto_->cancelPreviousCalls();
            userPhoto_->setImage(ui::Image::named("VelImg_UserThumbMediumNon.png"));
        }
    }
}

void VelkoraNewMessageChooserCell::updateCellToMore() {
    user_.reset();
    showMoreButton_ = true;
    for (ui::View* v : std::initializer_list<ui::View*>{moreLabel_.get(), moreImage_.get()})
        if (v) v->setHidden(false);
    for (ui::View* v :
         std::initializer_list<ui::View*>{title_.get(), userPhoto_.get(), accessory_.get(), userFrameView_.get()})
        if (v) v->setHidden(true);
}

// ---- screen

VelkoraNewMessageChooserViewController::VelkoraNewMessageChooserViewController()
    : VelkoraGeneralFeatureViewController(kInterface) {}

std::shared_ptr<VelkoraNewMessageChooserViewController> VelkoraNewMessageChooserViewController::create() {
    registerInboxViewClasses();
    auto screen = std::shared_ptr<VelkoraNewMessageChooserViewController>(new VelkoraNewMessageChooserViewController());
    screen->startLoading();
    return screen;
}

VelkoraNewMessageChooserViewController::~VelkoraNewMessageChooserViewController() {
    // The fetchers hold this screen weakly and go with it, so no late answer of theirs reaches it.
    VelkoraServerApi::clearUserDelegate(this);
    if (recipientsTable_) {
        recipientsTable_->setDataSource({});
        recipientsTable_->setDelegate({});
    }
}

void VelkoraNewMessageChooserViewController::startLoading() {
    auto self = sharedAs<VelkoraNewMessageChooserViewController>();
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    followingFetcher_ = VelkoraFavoritesUsersFetcher::create();
    followingFetcher_->setShowFollowing(true);
    followingFetcher_->setVelkoraUser(me);
    followingFetcher_->loadUsersWithDelegate(std::weak_ptr<VelkoraUsersFetcherDelegate>(self));
    followersFetcher_ = VelkoraFavoritesUsersFetcher::create();
    followersFetcher_->setShowFollowing(false);
    followersFetcher_->setVelkoraUser(me);
    followersFetcher_->loadUsersWithDelegate(std::weak_ptr<VelkoraUsersFetcherDelegate>(self));

    friendsHeaderView_ = VelkoraInviteHeaderView::create();
    friendsHeaderView_->setStyleScreenIdentifier(kScreenId);
    friendsHeaderView_->loadNib();
    if (friendsHeaderView_->headerLabel())
        friendsHeaderView_->headerLabel()->setText(text("velkora_text_friends_title"));
    friendsSectionIndex_ = 1;
    nearbySectionIndex_ = -1;
    auto data = appData();
    if (data && data->isRadarEnabled()) {
        nearbyHeaderView_ = VelkoraInviteHeaderView::create();
        nearbyHeaderView_->setStyleScreenIdentifier(kScreenId);
        nearbyHeaderView_->loadNib();
        if (nearbyHeaderView_->headerLabel())
            nearbyHeaderView_->headerLabel()->setText(text("velkora_text_people_nearby_header"));
        nearbySectionIndex_ = 2;
        VelkoraServerApi::getNearbyUsers(
            kNearbyRadius, VelkoraCallback(self, &VelkoraNewMessageChooserViewController::gotNearbyUsers));
    }
}

void VelkoraNewMessageChooserViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("recipientsTable", recipientsTable_);
    b.outlet("filterText", filterText_);
    b.action("filterChanged:", this, &VelkoraNewMessageChooserViewController::filterChanged);
    b.action("filterChangedEnded:", this, &VelkoraNewMessageChooserViewController::filterChangedEnded);
}

void VelkoraNewMessageChooserViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    auto self = sharedAs<VelkoraNewMessageChooserViewController>();
    if (recipientsTable_) {
        recipientsTable_->setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
        recipientsTable_->setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
        recipientsTable_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
        if (auto measure = VelkoraNewMessageChooserCell::initFromNib())
            recipientsTable_->setRowHeight(measure->frame().height());
    }
    auto data = appData();
    if (!(data && data->isFeedbackEnabled())) {
        friendsSectionIndex_ = 0;
        if (data && data->isRadarEnabled()) nearbySectionIndex_ = 1;
    }
    if (filterText_) filterText_->setPlaceholder(text("velkora_text_compose_filter_hint"));
    if (titleLabel()) titleLabel()->setText(text("velkora_text_compose_title"));
    keyboardShowObserver_ = foundation::NotificationObserver(
        ui::kKeyboardWillShowNotification, nullptr, [this](const foundation::Notification& n) { keyboardWillShow(n); });
    keyboardHideObserver_ = foundation::NotificationObserver(
        ui::kKeyboardWillHideNotification, nullptr, [this](const foundation::Notification& n) { keyboardWillHide(n); });
    VelkoraStyleSheetCustomizer::instance().customizeInboxComposeFilterTextField(filterText_.get(), kScreenId);
}

void VelkoraNewMessageChooserViewController::viewWillAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewWillAppear(animated);
    scrollToTalkToUs();
}

// Only to a talk-to-us row that exists now.
void VelkoraNewMessageChooserViewController::scrollToTalkToUs() {
    if (!talkToUsIndexPath_ || !recipientsTable_ || filtering()) return;
    const auto& ip = *talkToUsIndexPath_;
    if (ip.section < 0 || ip.section >= recipientsTable_->numberOfSections() || ip.row < 0 ||
        ip.row >= recipientsTable_->numberOfRowsInSection(ip.section))
        return;
    recipientsTable_->scrollToRowAtIndexPath(ip, ui::TableViewScrollPosition::Top, true);
}

bool VelkoraNewMessageChooserViewController::filtering() const {
    return filterText_ && !filterText_->text().empty();
}

const std::vector<VelkoraUserPtr>* VelkoraNewMessageChooserViewController::listOfSection(int section,
                                                                                         bool* expanded) const {
    if (section == friendsSectionIndex_) {
        *expanded = showAllFriends_;
        return &friendsList_;
    }
    if (nearbySectionIndex_ >= 0 && section == nearbySectionIndex_) {
        *expanded = showAllNearby_;
        return &nearbyUsersList_;
    }
    return nullptr;
}

int VelkoraNewMessageChooserViewController::numberOfSectionsInTableView(ui::TableView&) {
    if (filtering()) return 1;
    return nearbySectionIndex_ >= 0 ? nearbySectionIndex_ + 1 : friendsSectionIndex_ + 1;
}

int VelkoraNewMessageChooserViewController::numberOfRowsInSection(ui::TableView&, int section) {
    if (filtering()) return mergedFilteredList_ ? static_cast<int>(mergedFilteredList_->size()) : 0;
    bool expanded = false;
    if (const auto* list = listOfSection(section, &expanded)) {
        const int n = static_cast<int>(list->size());
        return expanded ? n : std::min(n, kCollapsedRows);
    }
    return 1;
}

ui::TableViewCellPtr VelkoraNewMessageChooserViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                                   const ui::IndexPath& indexPath) {
    bool expanded = false;
    const auto* list = filtering() ? nullptr : listOfSection(indexPath.section, &expanded);
    if (filtering() || list) {
        auto cell = std::dynamic_pointer_cast<VelkoraNewMessageChooserCell>(
            table.dequeueReusableCellWithIdentifier(VelkoraNewMessageChooserCell::kReuseIdentifier));
        if (!cell) cell = VelkoraNewMessageChooserCell::initFromNib();
        if (!cell) return nullptr;
        cell->setFrame(ui::Rect(0, 0, table.bounds().width(), cell->frame().height()));
        if (filtering()) {
            const auto& filtered = mergedFilteredList_ ? *mergedFilteredList_ : std::vector<VelkoraUserPtr>{};
            cell->updateDataWithUser(indexPath.row < static_cast<int>(filtered.size()) ? filtered[indexPath.row]
                                                                                       : nullptr);
        } else if (!expanded && indexPath.row == kCollapsedRows - 1 &&
                   static_cast<int>(list->size()) >= kCollapsedRows) {
            cell->updateCellToMore();
        } else {
            cell->updateDataWithUser(indexPath.row < static_cast<int>(list->size()) ? (*list)[indexPath.row] : nullptr);
        }
        return cell;
    }
    auto cell = std::dynamic_pointer_cast<VelkoraFeedbackViewCell>(
        table.dequeueReusableCellWithIdentifier(VelkoraFeedbackViewCell::kReuseIdentifier));
    if (!cell) cell = VelkoraFeedbackViewCell::initFromNibSmall();
    if (!cell) return nullptr;
    cell->setFrame(ui::Rect(0, 0, table.bounds().width(), cell->frame().height()));
    if (cell->fbConnectButton()) cell->fbConnectButton()->setHidden(true);
    if (cell->twitterConnectButton()) cell->twitterConnectButton()->setHidden(true);
    if (cell->title()) cell->title()->setText(text("velkora_text_talk_to_us_title"));
    if (cell->description()) cell->description()->setText(text("velkora_text_compose_talk_to_us_description"));
    auto logo = VelkoraAppSettings::appLogo();
    auto data = appData();
    const bool hasAppImage = data && data->appImage() && !data->appImage()->empty();
    if (!cell->showKitIconUnlessTheApplicationHasOne(logo || hasAppImage)) {
        cell->setOptionIconImage(logo);
        if (hasAppImage) cell->setOptionIconString(*data->appImage());
        if (cell->optionBacground()) cell->optionBacground()->setBackgroundColor(VelkoraAppSettings::leadingColor());
    }
    talkToUsIndexPath_ = indexPath;
    return cell;
}

ui::ViewPtr VelkoraNewMessageChooserViewController::viewForHeaderInSection(ui::TableView&, int section) {
    if (filtering()) return nullptr;
    if (section == friendsSectionIndex_) return friendsHeaderView_;
    if (nearbySectionIndex_ >= 0 && section == nearbySectionIndex_) return nearbyHeaderView_;
    return nullptr;
}

double VelkoraNewMessageChooserViewController::heightForHeaderInSection(ui::TableView&, int section) {
    if (filtering()) return 0;
    if (section == friendsSectionIndex_ || (nearbySectionIndex_ >= 0 && section == nearbySectionIndex_))
        return friendsHeaderView_ ? friendsHeaderView_->getHeight() : 0;
    return 0;
}

double VelkoraNewMessageChooserViewController::heightForFooterInSection(ui::TableView&, int) {
    return 0;
}

void VelkoraNewMessageChooserViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell,
                                                             const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

void VelkoraNewMessageChooserViewController::didSelectRowAtIndexPath(ui::TableView& table,
                                                                     const ui::IndexPath& indexPath) {
    if (filtering()) {
        if (auto cell = std::dynamic_pointer_cast<VelkoraNewMessageChooserCell>(table.cellForRowAtIndexPath(indexPath));
            cell && cell->user())
            pushChatScreen(*this, cell->user());
        table.deselectRowAtIndexPath(indexPath, true);
        return;
    }
    if (indexPath.section < friendsSectionIndex_) {
        auto talk = VelkoraFeedbackTalkToUsViewController::initFromNibWithDelegate(
            std::weak_ptr<VelkoraFeedbackTalkToUsViewControllerDelegate>(
                sharedAs<VelkoraNewMessageChooserViewController>()));
        auto d = featureTabDelegate();
        const bool inPopover = d && d->isUsingPopover();
        talk->setModalPresentationStyle(inPopover ? ui::ModalPresentationStyle::CurrentContext
                                                  : ui::ModalPresentationStyle::FullScreen);
        // A tap beside the popover must not close it over what the user is writing.
        talk->setModalInPopover(inPopover);
        presentViewController(talk, true);
        table.deselectRowAtIndexPath(indexPath, true);
        return;
    }
    auto cell = std::dynamic_pointer_cast<VelkoraNewMessageChooserCell>(table.cellForRowAtIndexPath(indexPath));
    if (cell && cell->showMoreButton()) {
        if (indexPath.section == friendsSectionIndex_) showAllFriends_ = true;
        if (nearbySectionIndex_ >= 0 && indexPath.section == nearbySectionIndex_) showAllNearby_ = true;
        table.reloadSections({indexPath.section}, ui::TableViewRowAnimation::Automatic);
        return;
    }
    if (cell && cell->user()) pushChatScreen(*this, cell->user());
    table.deselectRowAtIndexPath(indexPath, true);
}

void VelkoraNewMessageChooserViewController::filterChanged(ui::Control*) {
    if (filtering()) {
        filterContentForSearchText(filterText_->text());
        if (recipientsTable_) recipientsTable_->reloadData();
    } else {
        if (recipientsTable_) recipientsTable_->reloadData();
        scrollToTalkToUs();
    }
}

void VelkoraNewMessageChooserViewController::filterChangedEnded(ui::Control*) {}

std::vector<VelkoraUserPtr> VelkoraNewMessageChooserViewController::filterUsers(
    const std::vector<VelkoraUserPtr>& friends, const std::vector<VelkoraUserPtr>& nearby, const std::string& filter) {
    // The text is matched as it stands: no character of it is a pattern.
    const std::string needle = foundation::foldForSearch(filter);
    auto matches = [&](const VelkoraUserPtr& u) {
        return u && (foundation::containsFolded(foundation::foldForSearch(u->firstName().value_or("")), needle) ||
                     foundation::containsFolded(foundation::foldForSearch(u->lastName().value_or("")), needle));
    };
    std::vector<VelkoraUserPtr> fromFriends, fromNearby;
    std::copy_if(friends.begin(), friends.end(), std::back_inserter(fromFriends), matches);
    std::copy_if(nearby.begin(), nearby.end(), std::back_inserter(fromNearby), matches);
    auto merged = uniqueUsers({&fromFriends, &fromNearby});
    sortByNameFull(merged);
    return merged;
}

void VelkoraNewMessageChooserViewController::filterContentForSearchText(const std::string& filter) {
    mergedFilteredList_ = filterUsers(friendsList_, nearbyUsersList_, filter);
}

// Each fetcher's answer replaces its own part; a person who follows and is followed is listed once.
void VelkoraNewMessageChooserViewController::rebuildFriends() {
    static const std::vector<VelkoraUserPtr> none;
    friendsList_ = uniqueUsers({followingFetcher_ ? &followingFetcher_->getUsers() : &none,
                                followersFetcher_ ? &followersFetcher_->getUsers() : &none});
    sortByNameFull(friendsList_);
}

void VelkoraNewMessageChooserViewController::handleNewData(VelkoraUsersFetcher&) {
    rebuildFriends();
    if (filtering()) filterContentForSearchText(filterText_->text());
    if (recipientsTable_) recipientsTable_->reloadData();
    scrollToTalkToUs();
}

void VelkoraNewMessageChooserViewController::gotNearbyUsers(const Value& users) {
    std::vector<VelkoraUserPtr> list;
    if (const auto* array = users.asArray())
        for (const auto& u : *array)
            if (auto user = u.asObject<VelkoraUserInternal>()) list.push_back(user);
    nearbyUsersList_ = uniqueUsers({&list});
    sortByNameFull(nearbyUsersList_);
    if (filtering()) filterContentForSearchText(filterText_->text());
    if (recipientsTable_) recipientsTable_->reloadData();
    scrollToTalkToUs();
}

void VelkoraNewMessageChooserViewController::cancelTapped(ui::Control*) {
    dismissViewController(true);
}

void VelkoraNewMessageChooserViewController::dismissTalkToUs() {
    dismissViewController(true);
}

void VelkoraNewMessageChooserViewController::keyboardWillShow(const foundation::Notification&) {
    if (!view()) return;
    if (keyboardTap_) view()->removeGestureRecognizer(keyboardTap_.get());
    keyboardTap_ = std::make_shared<ui::TapGestureRecognizer>();
    keyboardTap_->addAction([this](ui::GestureRecognizer& r) {
        if (r.state() == ui::GestureRecognizerState::Recognized) handleTouchesWhenKeyboardIsVisble();
    });
    view()->addGestureRecognizer(keyboardTap_);
}

void VelkoraNewMessageChooserViewController::keyboardWillHide(const foundation::Notification&) {
    if (!view()) return;
    for (const auto& r : view()->gestureRecognizers())
        if (std::dynamic_pointer_cast<ui::TapGestureRecognizer>(r)) {
            view()->removeGestureRecognizer(r.get());
            break;
        }
    keyboardTap_.reset();
}

void VelkoraNewMessageChooserViewController::handleTouchesWhenKeyboardIsVisble() {
    if (view()) view()->endEditing(true);
}

} // namespace velkora
