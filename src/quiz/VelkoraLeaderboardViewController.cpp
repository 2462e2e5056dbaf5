#include "quiz/VelkoraLeaderboardViewController.h"

#include <algorithm>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/NavigationController.h"
#include "quiz/VelkoraLeaderboardScreens.h"
#include "server/VelkoraServerApi.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraScreenRegistry.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

namespace {

std::string text(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

std::vector<VelkoraScorePositionPtr> rowsOf(const foundation::Value& reply, const char* key) {
    std::vector<VelkoraScorePositionPtr> rows;
    if (const auto* list = reply[key].asArray())
        for (const auto& item : *list)
            if (auto row = item.asObject<VelkoraScorePosition>()) rows.push_back(std::move(row));
    return rows;
}

} // namespace

std::shared_ptr<VelkoraLeaderboardViewController>
VelkoraLeaderboardViewController::initFromNibWithLevel(std::string level, bool shouldShowProfileButton) {
    auto screen =
        std::shared_ptr<VelkoraLeaderboardViewController>(new VelkoraLeaderboardViewController(std::move(level)));
    screen->setShouldShowProfileButton(shouldShowProfileButton);
    return screen;
}

VelkoraLeaderboardViewController::VelkoraLeaderboardViewController(std::string level)
    : VelkoraGeneralFeatureViewController(kInterface), level_(std::move(level)) {
    VelkoraLeaderboardTableCell::registerClass();
}

VelkoraLeaderboardViewController::~VelkoraLeaderboardViewController() {
    VelkoraServerApi::clearUserDelegate(this);
    if (signinHelper_) signinHelper_->setDelegate({});
    if (leadersTable_) {
        leadersTable_->setDataSource({});
        leadersTable_->setDelegate({});
    }
}

void VelkoraLeaderboardViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("todayButton", todayButton_);
    b.outlet("thisWeekButton", thisWeekButton_);
    b.outlet("allTimeButton", allTimeButton_);
    b.outlet("leadersTable", leadersTable_);
    b.outlet("activityIndicator", activityIndicator_);
    b.action("todayClicked:", this, &VelkoraLeaderboardViewController::todayClicked);
    b.action("thisWeekClicked:", this, &VelkoraLeaderboardViewController::thisWeekClicked);
    b.action("allTimeClicked:", this, &VelkoraLeaderboardViewController::allTimeClicked);
}

void VelkoraLeaderboardViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    sampleCell_ = VelkoraLeaderboardTableCell::initFromNib();
    auto self = sharedAs<VelkoraLeaderboardViewController>();
    if (leadersTable_) {
        leadersTable_->setDataSource(std::static_pointer_cast<ui::TableViewDataSource>(self));
        leadersTable_->setDelegate(std::static_pointer_cast<ui::TableViewDelegate>(self));
    }
    auto& style = VelkoraStyleSheetCustomizer::instance();
    const std::pair<std::shared_ptr<ui::Button>*, const char*> buttons[] = {
        {&todayButton_, "velkora_text_leaderboard_button_today"},
        {&thisWeekButton_, "velkora_text_leaderboard_button_this_week"},
        {&allTimeButton_, "velkora_text_leaderboard_button_all_time"}};
    for (const auto& [button, key] : buttons) {
        if (!*button) continue;
        (*button)->setTitle(text(key));
        // The chosen period reads as a filled button.
        (*button)->setTitleColor(ui::Color::whiteColor(), ui::ControlStateSelected);
        (*button)->setBackgroundImage(ui::Image::named("VelImg_BlueBtn.png"), ui::ControlStateSelected);
    }
    style.customizeLeaderboardTodayButton(todayButton_.get(), kScreenId);
    style.customizeLeaderboardThisWeekButton(thisWeekButton_.get(), kScreenId);
    style.customizeLeaderboardAllTimeButton(allTimeButton_.get(), kScreenId);
    if (activityIndicator_) activityIndicator_->stopAnimating();
    updateForToday();
}

void VelkoraLeaderboardViewController::viewDidAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewDidAppear(animated);
    VelkoraLogEventsManager::instance().logEvent(level_.empty() ? "feature-viewed;leaderboard"
                                                                : "feature-viewed;highscores");
}

// ---- periods

void VelkoraLeaderboardViewController::todayClicked(ui::Control*) {
    updateForToday();
}

void VelkoraLeaderboardViewController::thisWeekClicked(ui::Control*) {
    updateForThisWeek();
}

void VelkoraLeaderboardViewController::allTimeClicked(ui::Control*) {
    updateForAllTime();
}

bool VelkoraLeaderboardViewController::updateForToday() {
    return updateFor(kModeToday);
}

bool VelkoraLeaderboardViewController::updateForThisWeek() {
    return updateFor(kModeThisWeek);
}

bool VelkoraLeaderboardViewController::updateForAllTime() {
    return updateFor(kModeAllTime);
}

bool VelkoraLeaderboardViewController::updateFor(int mode) {
    if (leaderboardMode_ == mode && !modeFailed_) return false;
    loadScores(mode);
    return true;
}

void VelkoraLeaderboardViewController::loadScores(int mode) {
    if (activityIndicator_ && !activityIndicator_->isAnimating()) activityIndicator_->startAnimating();
    leaderboardMode_ = mode;
    modeFailed_ = false;
    if (todayButton_) todayButton_->setSelected(mode == kModeToday);
    if (thisWeekButton_) thisWeekButton_->setSelected(mode == kModeThisWeek);
    if (allTimeButton_) allTimeButton_->setSelected(mode == kModeAllTime);
    // Only the answer to the latest request counts: an earlier one may come after it.
    const uint64_t request = ++lastRequest_;
    auto answer = [this, mode, request](const foundation::Value& reply) {
        if (request != lastRequest_) return;
        switch (mode) {
        case kModeToday:
            gotScoresOfToday(reply);
            break;
        case kModeThisWeek:
            gotScoresOfThisWeek(reply);
            break;
        default:
            gotScoresOfAllTime(reply);
            break;
        }
    };
    auto failure = [this, mode, request](const foundation::ErrorPtr& error) {
        if (request == lastRequest_) scoresFailed(mode, error);
    };
    VelkoraServerApi::getScores(
        VelkoraCallback::make(sharedAs<VelkoraLeaderboardViewController>(), std::move(answer), std::move(failure)),
        level_, mode);
}

void VelkoraLeaderboardViewController::gotScoresOfToday(const foundation::Value& reply) {
    gotScores(kModeToday, reply);
}

void VelkoraLeaderboardViewController::gotScoresOfThisWeek(const foundation::Value& reply) {
    gotScores(kModeThisWeek, reply);
}

void VelkoraLeaderboardViewController::gotScoresOfAllTime(const foundation::Value& reply) {
    gotScores(kModeAllTime, reply);
}

void VelkoraLeaderboardViewController::gotScores(int mode, const foundation::Value& reply) {
    // A late answer for a period the user has left would put its rows under another button.
    if (mode != leaderboardMode_) return;
    if (activityIndicator_) activityIndicator_->stopAnimating();
    leaders_ = rowsOf(reply, "leaders");
    myNeighbours_ = rowsOf(reply, "userArea");
    // A player near the top finds the rows around them among the leaders already: they are not shown twice,
    // and when nothing is left the section under the dash goes.
    std::erase_if(myNeighbours_, [this](const VelkoraScorePositionPtr& around) {
        return std::any_of(leaders_.begin(), leaders_.end(), [&](const VelkoraScorePositionPtr& leader) {
            return leader && around && sameUser(leader->user(), around->user());
        });
    });
    if (leadersTable_) leadersTable_->reloadData();
}

void VelkoraLeaderboardViewController::scoresFailed(int mode, const foundation::ErrorPtr& error) {
    foundation::Log::line("Velkora (W) - Leaderboard: scores of period %@ failed: %@", mode,
                          error ? error->description() : std::string());
    if (mode != leaderboardMode_) return;
    // The rows shown stay; the spinner stops and the period's button may ask again.
    if (activityIndicator_) activityIndicator_->stopAnimating();
    modeFailed_ = true;
    showLeaderboardFailureNotice(error, viewIfLoaded().get());
}

// ---- rows

VelkoraScorePositionPtr VelkoraLeaderboardViewController::positionAt(const ui::IndexPath& indexPath) const {
    const auto& rows = indexPath.section == 0 ? leaders_ : myNeighbours_;
    if (indexPath.section > 1 || indexPath.row < 0 || static_cast<size_t>(indexPath.row) >= rows.size()) return nullptr;
    return rows[static_cast<size_t>(indexPath.row)];
}

int VelkoraLeaderboardViewController::numberOfSectionsInTableView(ui::TableView&) {
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    return !myNeighbours_.empty() && me && me->score() > 0 ? 2 : 1;
}

int VelkoraLeaderboardViewController::numberOfRowsInSection(ui::TableView&, int section) {
    if (section == 0) return static_cast<int>(leaders_.size());
    if (section == 1) return static_cast<int>(myNeighbours_.size());
    return 0;
}

ui::TableViewCellPtr VelkoraLeaderboardViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                             const ui::IndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<VelkoraLeaderboardTableCell>(
        table.dequeueReusableCellWithIdentifier(VelkoraLeaderboardTableCell::kReuseIdentifier));
    if (!cell) {
        cell = VelkoraLeaderboardTableCell::initFromNib();
        if (!cell)
            return ui::TableViewCell::create(ui::TableViewCellStyle::Default,
                                             VelkoraLeaderboardTableCell::kReuseIdentifier);
        cell->setReuseIdentifier(VelkoraLeaderboardTableCell::kReuseIdentifier);
    }
    if (auto position = positionAt(indexPath)) cell->updateWithScorePositionUser(position);
    return cell;
}

double VelkoraLeaderboardViewController::heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath&) {
    return sampleCell_ ? sampleCell_->frame().height() : table.rowHeight();
}

double VelkoraLeaderboardViewController::heightForHeaderInSection(ui::TableView&, int section) {
    return section == 1 ? kDashHeight : 0.0;
}

double VelkoraLeaderboardViewController::heightForFooterInSection(ui::TableView&, int) {
    return 0.0;
}

ui::ViewPtr VelkoraLeaderboardViewController::viewForHeaderInSection(ui::TableView& table, int section) {
    if (section != 1) return nullptr;
    auto dash = ui::ImageView::create(ui::Rect(0, 0, table.frame().width(), kDashHeight));
    dash->setImage(ui::Image::named("VelImg_LeaderboardDash.png"));
    dash->setContentMode(ui::ContentMode::Left);
    dash->setClipsToBounds(true);
    return dash;
}

void VelkoraLeaderboardViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

void VelkoraLeaderboardViewController::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) {
    if (auto position = positionAt(indexPath)) {
        const VelkoraUserPtr& user = position->user();
        const bool anonymous = !user || user->isAnonymous();
        auto me = VelkoraAgentInternal::instance().velkoraUser();
        const bool isMe = me && user && me->isEqual(user);
        if (isMe && anonymous)
            suggestConnect();
        else if (!isMe && !anonymous)
            openUserProfile(user);
    }
    table.deselectRowAtIndexPath(indexPath, true);
}

void VelkoraLeaderboardViewController::suggestConnect() {
    if (signinHelper_) signinHelper_->setDelegate({});
    signinHelper_ = VelkoraSigninToFollowPopupHelper::create();
    auto window = ui::Application::instance().keyWindowShared();
    signinHelper_->showSigninPopupInView(window ? window.get() : view().get(),
                                         text("velkora_text_leaderboard_connect_message"),
                                         std::static_pointer_cast<VelkoraSigninToFollowPopupHelperDelegate>(
                                             sharedAs<VelkoraLeaderboardViewController>()));
}

void VelkoraLeaderboardViewController::openUserProfile(const VelkoraUserPtr& user) {
    pushScreen(VelkoraScreenRegistry::instance().makeScreen(
        "profile", foundation::Value(foundation::Dictionary{{"object1", foundation::Value::object(user)}})));
}

void VelkoraLeaderboardViewController::performLogin() {
    pushScreen(VelkoraScreenRegistry::instance().makeScreen("login"));
}

void VelkoraLeaderboardViewController::performSignUp() {
    pushScreen(VelkoraScreenRegistry::instance().makeScreen("signup"));
}

void VelkoraLeaderboardViewController::didSignin() {
    // The period buttons' guard is for taps only: the same period is asked again with the new name.
    if (leaderboardMode_ != kModeNone) loadScores(leaderboardMode_);
}

void VelkoraLeaderboardViewController::pushScreen(const std::shared_ptr<ui::ViewController>& screen) {
    if (!screen) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

} // namespace velkora
