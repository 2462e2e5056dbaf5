// The leaderboard: the best scores of one level (the overall one when the level is empty) for today, this
// week or all time, and under them the rows around the user's own place. A row opens that user's profile;
// the user's own row, while still anonymous, offers to sign in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/VelkoraScorePosition.h"
#include "shell/VelkoraSigninToFollowPopupHelper.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/ui/TableView.h"
#include "quiz/VelkoraLeaderboardTableCell.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class Button;
class Control;
} // namespace ui

class VelkoraLeaderboardViewController : public VelkoraGeneralFeatureViewController,
                                         public ui::TableViewDataSource,
                                         public ui::TableViewDelegate,
                                         public VelkoraSigninToFollowPopupHelperDelegate {
public:
    static constexpr const char* kInterface = "VelkoraLeaderboardList";
    static constexpr uint32_t kScreenId = 23;
    static constexpr double kDashHeight = 10.0;
    // The periods, as the service's interval types number them.
    enum Mode : int { kModeNone = 0, kModeToday = 1, kModeThisWeek = 2, kModeAllTime = 3 };

    static std::shared_ptr<VelkoraLeaderboardViewController> initFromNibWithLevel(std::string level,
                                                                                  bool shouldShowProfileButton);
    ~VelkoraLeaderboardViewController() override;
    const char* className() const override { return "VelkoraLeaderboardViewController"; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    // ---- the period buttons; each answers NO when its period is the one shown
    void todayClicked(ui::Control* sender);
    void thisWeekClicked(ui::Control* sender);
    void allTimeClicked(ui::Control* sender);
    bool updateForToday();
    bool updateForThisWeek();
    bool updateForAllTime();

    // ---- the service's answers
    void gotScoresOfToday(const foundation::Value& reply);
    void gotScoresOfThisWeek(const foundation::Value& reply);
    void gotScoresOfAllTime(const foundation::Value& reply);
    void scoresFailed(int mode, const foundation::ErrorPtr& error);

    void openUserProfile(const VelkoraUserPtr& user);
    void suggestConnect();

    // ---- signing in from the user's own row
    void performLogin() override;
    void performSignUp() override;
    void didSignin() override;

    // ---- the table
    int numberOfSectionsInTableView(ui::TableView& table) override;
    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    double heightForHeaderInSection(ui::TableView& table, int section) override;
    double heightForFooterInSection(ui::TableView& table, int section) override;
    ui::ViewPtr viewForHeaderInSection(ui::TableView& table, int section) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    const std::string& level() const { return level_; }
    void setLevel(std::string level) { level_ = std::move(level); }
    int leaderboardMode() const { return leaderboardMode_; }
    const std::vector<VelkoraScorePositionPtr>& leaders() const { return leaders_; }
    const std::vector<VelkoraScorePositionPtr>& myNeighbours() const { return myNeighbours_; }
    const std::shared_ptr<VelkoraLeaderboardTableCell>& sampleCell() const { return sampleCell_; }
    const std::shared_ptr<ui::Button>& todayButton() const { return todayButton_; }
    void setTodayButton(std::shared_ptr<ui::Button> b) { todayButton_ = std::move(b); }
    const std::shared_ptr<ui::Button>& thisWeekButton() const { return thisWeekButton_; }
    void setThisWeekButton(std::shared_ptr<ui::Button> b) { thisWeekButton_ = std::move(b); }
    const std::shared_ptr<ui::Button>& allTimeButton() const { return allTimeButton_; }
    void setAllTimeButton(std::shared_ptr<ui::Button> b) { allTimeButton_ = std::move(b); }
    const std::shared_ptr<ui::TableView>& leadersTable() const { return leadersTable_; }
    void setLeadersTable(std::shared_ptr<ui::TableView> t) { leadersTable_ = std::move(t); }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    void setActivityIndicator(std::shared_ptr<ui::ActivityIndicatorView> a) { activityIndicator_ = std::move(a); }
    const std::shared_ptr<VelkoraSigninToFollowPopupHelper>& signinHelper() const { return signinHelper_; }
    void setSigninHelper(std::shared_ptr<VelkoraSigninToFollowPopupHelper> h) { signinHelper_ = std::move(h); }

    // The row's score position, or null past the end of its section.
    VelkoraScorePositionPtr positionAt(const ui::IndexPath& indexPath) const;

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

protected:
    explicit VelkoraLeaderboardViewController(std::string level);

private:
    // Selects the period and asks for it; NO when it is already shown and its last request did not fail.
    bool updateFor(int mode);
    void loadScores(int mode);
    void gotScores(int mode, const foundation::Value& reply);
    void pushScreen(const std::shared_ptr<ui::ViewController>& screen);

    std::string level_;
    int leaderboardMode_ = kModeNone;
    // The shown period's last request failed: its button may ask again.
    bool modeFailed_ = false;
    uint64_t lastRequest_ = 0;
    std::vector<VelkoraScorePositionPtr> leaders_;
    std::vector<VelkoraScorePositionPtr> myNeighbours_;
    std::shared_ptr<VelkoraLeaderboardTableCell> sampleCell_;
    std::shared_ptr<ui::Button> todayButton_;
    std::shared_ptr<ui::Button> thisWeekButton_;
    std::shared_ptr<ui::Button> allTimeButton_;
    std::shared_ptr<ui::TableView> leadersTable_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::shared_ptr<VelkoraSigninToFollowPopupHelper> signinHelper_;
};

} // namespace velkora
