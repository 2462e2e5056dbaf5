// The sidebar menu: its rows from the configured feature list, their badges and the table that shows them.
// The header's half of the panel is in VelkoraPanelViewHeader.cpp.
#include "shell/VelkoraPanelView.h"

#include <array>

#include "data/VelkoraAppDealsRepository.h"
#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "session/VelkoraChatsRepository.h"
#include "session/VelkoraFeedMessagesRepository.h"
#include "data/VelkoraSNFriendsRepository.h"
#include "data/VelkoraUsersRepository.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraFeatureRegistry.h"
#include "session/VelkoraScreenRegistry.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraPanelViewCell.h"

namespace velkora {

namespace {

struct KnownFeature {
    int32_t id;
    const char* key;
    const char* comment;
    const char* icon;
    bool useBadge2;
    VelkoraPanelCommand::Selector selector;
    int VelkoraPanelView::*index;
};

const KnownFeature* knownFeature(int32_t id);

bool isDealsRowShowable() {
    auto info = VelkoraAgentInternal::instance().userInfo();
    return !VelkoraAppDealsRepository::instance().appDeals().empty() && !(info && info->isAppDealsDisabled());
}

bool appDealsDisabled() {
    auto info = VelkoraAgentInternal::instance().userInfo();
    return info && info->isAppDealsDisabled();
}

} // namespace

// The table of rows, kept here because it names the panel's private index fields.
struct VelkoraPanelViewFeatures {
    static const std::array<KnownFeature, 9>& table() {
        using D = VelkoraPanelViewDelegate;
        using P = VelkoraPanelView;
        static const std::array<KnownFeature, 9> features{{
            {0, "velkora_text_activity_tab_title", "Activity", "VelImg_ActivityIcon.png", false, &D::feedClicked,
             &P::feedCommandIdx_},
            {1, "velkora_text_messages_tab_title", "Messages", "VelImg_MessagesIcon.png", true, &D::chatClicked,
             &P::inboxCommandIdx_},
            {2, "velkora_text_chatrooms_tab_title", "Blog", "VelImg_BlogIcon", true, &D::chatRoomsClicked,
             &P::blogCommandIdx_},
            {3, "velkora_text_find_and_invite_friends_tab_title", "Find & Invite Friends", "VelImg_FindInviteIcon.png",
             false, &D::inviteClicked, &P::findFriendsCommandIdx_},
            {4, "velkora_text_radar_tab_title", "Radar", "VelImg_RadarIcon.png", false, &D::radarClicked,
             &P::radarCommandIdx_},
            {100, "velkora_text_feedback_tab_title", "Feedback", "VelImg_FeedbackIcon.png", false, &D::feedbackClicked,
             nullptr},
            {101, "velkora_text_more_apps_tab_title", "More Apps", "VelImg_AppsDealsIcon.png", false, nullptr, nullptr},
            {102, "velkora_text_leaderboard_tab_title", "Leaderboard", "VelImg_LeaderboardTabIcon.png", false,
             &D::leaderboardClicked, &P::leaderboardCommandIdx_},
            {103, "velkora_text_quiz_tab_title", "Quiz", "VelImg_QuizTabIcon.png", false, &D::quizClicked,
             &P::quizCommandIdx_},
        }};
        return features;
    }
};

namespace {
const KnownFeature* knownFeature(int32_t id) {
    for (auto& f : VelkoraPanelViewFeatures::table())
        if (f.id == id) return &f;
    return nullptr;
}
} // namespace

VelkoraPanelView::~VelkoraPanelView() {
    observers_.clear();
    if (profileView_) profileView_->removeFromSuperview();
}

void VelkoraPanelView::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("commandsTable", commandsTable_);
    bindings.outlet("backgroundImageView", backgroundImageView_);
    bindings.outlet("usersDetailsView", usersDetailsView_);
    bindings.outlet("userImage", userImage_);
    bindings.outlet("userImageFrame", userImageFrame_);
    bindings.outlet("nameLabel", nameLabel_);
    bindings.outlet("locationLabel", locationLabel_);
    bindings.outlet("numPostsLabel", numPostsLabel_);
    bindings.outlet("numFollowersLabel", numFollowersLabel_);
    bindings.outlet("numFollowingLabel", numFollowingLabel_);
    bindings.outlet("postsLabel", postsLabel_);
    bindings.outlet("followersLabel", followersLabel_);
    bindings.outlet("followingLabel", followingLabel_);
    bindings.outlet("numPostsButton", numPostsButton_);
    bindings.outlet("numFollowersButton", numFollowersButton_);
    bindings.outlet("numFollowingButton", numFollowingButton_);
    bindings.outlet("facebookConnectButton", facebookConnectButton_);
    bindings.outlet("twitterConnectButton", twitterConnectButton_);
    bindings.outlet("loginButton", loginButton_);
    bindings.outlet("signUpButton", signUpButton_);
    bindings.outlet("activityView", activityView_);
    bindings.outlet("anonymousView", anonymousView_);
    bindings.outlet("anonymousInvitationLabel", anonymousInvitationLabel_);
    bindings.outlet("signUpAnonymousView", signUpAnonymousView_);
    bindings.outlet("signUpAnonymousInvitationLabel", signUpAnonymousInvitationLabel_);
    bindings.outlet("profileButton", profileButton_);
    bindings.outlet("profileScrollView", profileScrollView_);
    bindings.outlet("profileScrollViewTopSpaceConstraint", profileScrollViewTopSpaceConstraint_);
    bindings.outlet("commandsTableTopSpaceConstraint", commandsTableTopSpaceConstraint_);
    bindings.outlet("profileOverlayImageBottomSpaceConstraint", profileOverlayImageBottomSpaceConstraint_);
    bindings.outlet("profileOverlayShadeBottomSpaceConstraint", profileOverlayShadeBottomSpaceConstraint_);
    bindings.action("profileButtonClicked:", this, &VelkoraPanelView::profileButtonClicked);
}

// ---- Set-up

void VelkoraPanelView::myInitAsMenu(bool menuMode) {
    defaultPanelAppDealsCellSample_ = makeAppDealsCell();
    defaultPanelCellSample_ = VelkoraPanelViewCell::initFromNib();
    if (userImage_) {
        userImage_->layer().setCornerRadius(7.0);
        userImage_->layer().setMasksToBounds(true);
    }
    if (nameLabel_) VelkoraAppSettings::setLeadingColor(*nameLabel_);
    isMenuMode_ = menuMode;
    initFeaturesNew();
    if (commandsTable_) {
        auto self = sharedAs<VelkoraPanelView>();
        commandsTable_->setDataSource(std::static_pointer_cast<ui::TableViewDataSource>(self));
        commandsTable_->setDelegate(std::static_pointer_cast<ui::TableViewDelegate>(self));
    }
    styleHeader();
    observeRepositories();
    if (commandsTable_) commandsTable_->reloadData();
}

void VelkoraPanelView::observeRepositories() {
    std::weak_ptr<VelkoraPanelView> weak = sharedAs<VelkoraPanelView>();
    auto on = [&](const char* name, const void* object, auto handler) {
        observers_.emplace_back(name, object, [weak, handler](const foundation::Notification& n) {
            if (auto self = weak.lock()) handler(*self, n);
        });
    };
    const void* chats = &VelkoraChatsRepository::instance();
    const void* topics = &VelkoraChatRoomsTopicsRepository::instance();
    const void* feed = &VelkoraFeedMessagesRepository::instance();
    auto inbox = [](VelkoraPanelView& p, const foundation::Notification&) {
        p.setBadge(p.inboxCommandIdx_, VelkoraChatsRepository::instance().numNewMessageThreads(), 1);
    };
    auto blog = [](VelkoraPanelView& p, const foundation::Notification&) {
        p.setBadge(p.blogCommandIdx_, VelkoraChatRoomsTopicsRepository::instance().numUpdatedTopicThreads(), 2);
    };
    auto feeds = [](VelkoraPanelView& p, const foundation::Notification&) {
        p.setBadge(p.feedCommandIdx_, VelkoraFeedMessagesRepository::instance().numNewFeedMessages(), 0);
    };
    on("VelkoraNewMessagesNotification", chats,
       [](VelkoraPanelView& p, const foundation::Notification& n) { p.gotNewMessages(n); });
    on("VelkoraMessagesViewedNotification", chats, inbox);
    on("VelkoraMessagesGotChats", chats, inbox);
    on("VelkoraChatRoomsGotTopicsNotification", topics, blog);
    on("VelkoraChatRoomsNewTopicsNotification", topics, blog);
    on("VelkoraChatRoomsTopicCommentsViewedNotification", topics, blog);
    on("VelkoraNewFeedMessagesNotification", feed, feeds);
    on("VelkoraFeedMessagesViewedNotification", feed, feeds);
    on("VelkoraMessagesGotFeed", feed, feeds);
    auto rebuild = [](VelkoraPanelView& p, const foundation::Notification&) { p.recreateSideBar(); };
    on("VelkoraAppDataReceived", nullptr, rebuild);
    on("VelkoraUserInfoModifiedByUser", nullptr, rebuild);
}

void VelkoraPanelView::gotNewMessages(const foundation::Notification& n) {
    const auto& info = n.userInfo;
    bool anything = info["newUsers"].int32Or(0) != 0 || info["messages"].size() > 0 || info["users"].size() > 0;
    if (!anything) return;
    setBadge(inboxCommandIdx_, VelkoraChatsRepository::instance().numNewMessageThreads(), 1);
}

void VelkoraPanelView::setBadge(int index, int32_t value, uint32_t featureId) {
    if (index < 0 || size_t(index) >= commands_.size()) return;
    commands_[size_t(index)]->setBadgeNumber(value);
    if (commandsTable_) commandsTable_->reloadData();
    sendBadgeNumberChangeNotificationForFeature(featureId);
}

void VelkoraPanelView::sendBadgeNumberChangeNotificationForFeature(uint32_t featureId) {
    foundation::Dictionary info{{"tabId", foundation::Value(int(featureId))}};
    if (auto name = VelkoraFeatureRegistry::featureNameById(featureId)) info.set("tabName", foundation::Value(*name));
    foundation::NotificationCenter::defaultCenter().post("VelkoraBadgeNumberChangedNotification", nullptr,
                                                         foundation::Value(std::move(info)));
}

int32_t VelkoraPanelView::totalBadges() const {
    int32_t total = 0;
    for (auto& c : commands_)
        if (c->commandId() != "radar") total += c->badgeNumber();
    return total;
}

// ---- Rows

std::shared_ptr<VelkoraPanelCommand> VelkoraPanelView::makeCommand(const std::string& name, int32_t featureId) const {
    auto command = std::make_shared<VelkoraPanelCommand>();
    command->setCommandId(name);
    command->setDelegate(delegate_);
    command->setIsCustom(false);
    command->setFeatureId(featureId);
    return command;
}

bool VelkoraPanelView::finishKnownCommand(VelkoraPanelCommand& command,
                                          const std::optional<std::string>& serverTitle) const {
    const auto* known = knownFeature(command.featureId());
    if (!known) return false;
    command.setTitle(localizedTitleOf(known->key, known->comment, serverTitle));
    command.setIcon(ui::Image::named(known->icon));
    command.setUseBadge2(known->useBadge2);
    command.setSelector(known->selector);
    return true;
}

void VelkoraPanelView::initFeaturesNew() {
    for (auto& f : VelkoraPanelViewFeatures::table())
        if (f.index) this->*f.index = -1;
    commands_.clear();
    for (const auto& entry : VelkoraAppSettings::appFeatures()) {
        if (!entry) continue;
        std::string name = entry->featureId().value_or("");
        auto command = makeCommand(name, VelkoraFeatureRegistry::featureIdByName(entry->featureId()));
        if (command->featureId() == 101 && !isDealsRowShowable()) {
            foundation::Log::line("Velkora - No apps yet, or feature disabled - no use in showing this side-bar item");
            continue;
        }
        if (finishKnownCommand(*command, entry->featureName())) {
            if (const auto* known = knownFeature(command->featureId()); known->index)
                this->*known->index = int(commands_.size());
            commands_.push_back(std::move(command));
        } else if (entry->isCustom()) {
            command->setIcon(ui::Image::named("VelImg_" + entry->featureIcon().value_or("") + ".png"));
            command->setTitle(
                localizedTitleOf("velkora_text_" + name + "_tab_title", "Custom Button", entry->featureName()));
            command->setSelector(&VelkoraPanelViewDelegate::customFeatureClicked);
            command->setIsCustom(true);
            commands_.push_back(std::move(command));
        } else {
            foundation::Log::line("Velkora - Unknown internal feature: %@, %@", name,
                                  entry->featureName().value_or("(null)"));
        }
    }
}

std::optional<std::string> VelkoraPanelView::localizedTitleOf(const std::string& key, const std::string& /*comment*/,
                                                              const std::optional<std::string>& serverDefault) const {
    auto data = VelkoraAgentInternal::appDataOfInstance();
    if (!data || !data->overrideStrings()) return serverDefault;
    std::string host = foundation::Bundle::main().localizedString(key, "Localizable");
    if (host != key) return host;
    return foundation::Bundle::main().localizedString(key);
}

void VelkoraPanelView::refreshAppDealsView() {
    if (!appDealsDisabled()) updateAppDeals();
    if (commandsTable_) commandsTable_->reloadData();
}

void VelkoraPanelView::updateAppDeals() {
    // The position counts rows, so entries that made no row (unknown names) do not shift it away from
    // the row already shown; and at most one promoted-applications row exists.
    size_t position = 0;
    bool inserted = false;
    for (const auto& entry : VelkoraAppSettings::appFeatures()) {
        if (!entry) continue;
        int32_t id = VelkoraFeatureRegistry::featureIdByName(entry->featureId());
        if (id == 101) {
            if (VelkoraAppDealsRepository::instance().appDeals().empty()) {
                foundation::Log::line("Velkora - No apps yet, no use in showing this cell");
                continue;
            }
            auto row = makeCommand(entry->featureId().value_or(""), 101);
            finishKnownCommand(*row, entry->featureName());
            auto shown =
                std::find_if(commands_.begin(), commands_.end(), [](auto& c) { return c->featureId() == 101; });
            if (shown != commands_.end()) {
                *shown = row;
            } else if (position < commands_.size()) {
                commands_.insert(commands_.begin() + long(position), row);
                inserted = true;
            } else {
                commands_.push_back(row);
            }
            ++position;
            continue;
        }
        const auto* known = knownFeature(id);
        bool makesRow = known || entry->isCustom();
        if (!makesRow) continue;
        if (known && known->index && inserted && this->*known->index >= 0) ++(this->*known->index);
        ++position;
    }
}

void VelkoraPanelView::refreshRadarBadge() {
    if (radarCommandIdx_ < 0 || size_t(radarCommandIdx_) >= commands_.size()) return;
    commands_[size_t(radarCommandIdx_)]->setBadgeNumber(
        int32_t(VelkoraUsersRepository::instance().nearbyUsers().size()));
    if (commandsTable_) commandsTable_->reloadData();
}

void VelkoraPanelView::refreshFindFriendsBadge() {
    if (findFriendsCommandIdx_ < 0 || size_t(findFriendsCommandIdx_) >= commands_.size()) return;
    commands_[size_t(findFriendsCommandIdx_)]->setBadgeNumber(
        VelkoraSNFriendsRepository::instance().totalNonFollowedFriendsNumber());
    if (commandsTable_) commandsTable_->reloadData();
}

void VelkoraPanelView::recreateSideBar() {
    initFeaturesNew();
    if (nameLabel_) VelkoraAppSettings::setLeadingColor(*nameLabel_);
    if (commandsTable_) commandsTable_->reloadData();
}

// ---- Table

std::shared_ptr<ui::TableViewCell> VelkoraPanelView::makeAppDealsCell() const {
    // Until the promoted-applications cell is part of the build, the plain row shows its title and icon.
    auto& registry = VelkoraScreenRegistry::instance();
    if (!registry.hasObject(VelkoraPanelRowCell::kAppDealsRowMaker)) return nullptr;
    auto cell = registry.makeObject<ui::TableViewCell>(VelkoraPanelRowCell::kAppDealsRowMaker);
    if (cell) cell->setReuseIdentifier(kAppDealsReuseIdentifier);
    return cell;
}

int VelkoraPanelView::numberOfRowsInSection(ui::TableView& /*table*/, int /*section*/) {
    return int(commands_.size());
}

ui::TableViewCellPtr VelkoraPanelView::cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) {
    if (indexPath.row < 0 || size_t(indexPath.row) >= commands_.size()) return nullptr;
    const auto& command = commands_[size_t(indexPath.row)];
    bool isLast = size_t(indexPath.row) + 1 == commands_.size();
    ui::TableViewCellPtr cell;
    if (command->commandId() == "apps") {
        cell = table.dequeueReusableCellWithIdentifier(kAppDealsReuseIdentifier);
        if (!cell) cell = makeAppDealsCell();
    }
    if (!cell) cell = table.dequeueReusableCellWithIdentifier(VelkoraPanelViewCell::kReuseIdentifier);
    if (!cell) cell = VelkoraPanelViewCell::initFromNib();
    if (!cell)
        return ui::TableViewCell::create(ui::TableViewCellStyle::Default, VelkoraPanelViewCell::kReuseIdentifier);
    if (auto* row = dynamic_cast<VelkoraPanelRowCell*>(cell.get())) row->updateData(command, isLast);
    return cell;
}

void VelkoraPanelView::willDisplayCell(ui::TableView& /*table*/, ui::TableViewCell& cell,
                                       const ui::IndexPath& /*indexPath*/) {
    cell.setBackgroundColor(ui::Color::clear());
}

double VelkoraPanelView::heightForRowAtIndexPath(ui::TableView& /*table*/, const ui::IndexPath& indexPath) {
    bool deals = size_t(indexPath.row) < commands_.size() && commands_[size_t(indexPath.row)]->commandId() == "apps";
    if (deals && defaultPanelAppDealsCellSample_) return defaultPanelAppDealsCellSample_->frame().size.height;
    return defaultPanelCellSample_ ? defaultPanelCellSample_->frame().size.height : 44;
}

std::optional<ui::IndexPath> VelkoraPanelView::willSelectRowAtIndexPath(ui::TableView& /*table*/,
                                                                        const ui::IndexPath& indexPath) {
    if (size_t(indexPath.row) < commands_.size() && commands_[size_t(indexPath.row)]->commandId() == "apps")
        return std::nullopt;
    return indexPath;
}

void VelkoraPanelView::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) {
    if (size_t(indexPath.row) < commands_.size()) {
        auto command = commands_[size_t(indexPath.row)];
        std::string argument = (command->isCustom() ? command->commandId() : command->title()).value_or("");
        auto delegate = command->delegate();
        if (delegate && command->selector()) ((*delegate).*(command->selector()))(argument);
    }
    table.deselectRowAtIndexPath(indexPath, true);
}

} // namespace velkora
