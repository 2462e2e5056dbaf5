// The quiz feature's first screen: the user's points and coins, and four rows (play, buy coins, the
// leaderboard, sounds on or off).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class Button;
class ImageView;
class Label;
class LayoutConstraint;
} // namespace ui

class VelkoraQuizProfileTableCellDelegate {
public:
    virtual ~VelkoraQuizProfileTableCellDelegate() = default;
    virtual void playGameClicked() = 0;
};

class VelkoraQuizProfileTableCell : public ui::TableViewCell, public ui::InterfaceOwner {
public:
    static constexpr const char* kReuseIdentifier = "velkoraquizprofilecell";

    VelkoraQuizProfileTableCell() = default;
    const char* className() const override { return "VelkoraQuizProfileTableCell"; }
    // The first object of "VelkoraQuizProfileTableCell" ("iPad_" on a tablet), set up.
    static std::shared_ptr<VelkoraQuizProfileTableCell> initFromNib();

    void myInit();
    void updateWithTitle(const std::string& title, bool isButton);
    void setSoundsFlag(bool muted);
    void playGameClicked(ui::Control* sender);

    void setDelegate(std::weak_ptr<VelkoraQuizProfileTableCellDelegate> d) { delegate_ = std::move(d); }
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<ui::ImageView>& moreImage() const { return moreImage_; }
    const std::shared_ptr<ui::Button>& playGameButton() const { return playGameButton_; }
    const std::shared_ptr<ui::ImageView>& seperatorLineImage() const { return seperatorLineImage_; }
    const std::shared_ptr<ui::LayoutConstraint>& seperatorLineTopSpaceToSuperviewConstraint() const {
        return seperatorLineTopSpaceToSuperviewConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& seperatorLineTopSpaceToButtonConstraint() const {
        return seperatorLineTopSpaceToButtonConstraint_;
    }
    const std::shared_ptr<ui::View>& soundsOffView() const { return soundsOffView_; }
    const std::shared_ptr<ui::Label>& soundsOffLabel() const { return soundsOffLabel_; }
    const std::shared_ptr<ui::View>& soundsOnView() const { return soundsOnView_; }
    const std::shared_ptr<ui::Label>& soundsOnLabel() const { return soundsOnLabel_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::weak_ptr<VelkoraQuizProfileTableCellDelegate> delegate_;
    std::shared_ptr<ui::Label> titleLabel_;
    std::shared_ptr<ui::ImageView> moreImage_;
    std::shared_ptr<ui::Button> playGameButton_;
    std::shared_ptr<ui::ImageView> seperatorLineImage_;
    std::shared_ptr<ui::LayoutConstraint> seperatorLineTopSpaceToSuperviewConstraint_;
    std::shared_ptr<ui::LayoutConstraint> seperatorLineTopSpaceToButtonConstraint_;
    std::shared_ptr<ui::View> soundsOffView_;
    std::shared_ptr<ui::Label> soundsOffLabel_;
    std::shared_ptr<ui::View> soundsOnView_;
    std::shared_ptr<ui::Label> soundsOnLabel_;
};

class VelkoraQuizProfileViewController : public VelkoraGeneralFeatureViewController,
                                         public ui::TableViewDataSource,
                                         public ui::TableViewDelegate,
                                         public VelkoraQuizProfileTableCellDelegate,
                                         public VelkoraDefaultOKPopupViewDelegate {
public:
    static constexpr uint32_t kScreenId = 29;
    static constexpr int kRowCount = 4;

    // From "VelkoraQuizProfileView" ("iPad_" on a tablet), with the profile button shown or not.
    static std::shared_ptr<VelkoraQuizProfileViewController> initFromNib(bool showProfileButton);
    ~VelkoraQuizProfileViewController() override;
    const char* className() const override { return "VelkoraQuizProfileViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    std::optional<ui::IndexPath> willSelectRowAtIndexPath(ui::TableView& table,
                                                          const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    void playGameClicked() override;
    void openPurchaseView();
    void openLeaderboardView();
    void switchSoundsFlag();
    void setCellSoundsFlag(VelkoraQuizProfileTableCell* cell);
    void updateUserScore();
    void updateUserCoins();

    void popupOkTapped() override {}
    void popupCancelTapped() override {}

    int32_t quizId() const { return quizId_; }
    void setQuizId(int32_t id) { quizId_ = id; }
    const std::array<std::string, kRowCount>& quizProfileTableTitles() const { return quizProfileTableTitles_; }
    const std::shared_ptr<ui::View>& totalPointsView() const { return totalPointsView_; }
    const std::shared_ptr<ui::Label>& totalPointsNumberLabel() const { return totalPointsNumberLabel_; }
    const std::shared_ptr<ui::Label>& totalPointsTitleLabel() const { return totalPointsTitleLabel_; }
    const std::shared_ptr<ui::View>& coinsView() const { return coinsView_; }
    const std::shared_ptr<ui::Label>& coinsNumberLabel() const { return coinsNumberLabel_; }
    const std::shared_ptr<ui::Label>& coinsTitleLabel() const { return coinsTitleLabel_; }
    const std::shared_ptr<ui::TableView>& quizProfileTable() const { return quizProfileTable_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    explicit VelkoraQuizProfileViewController(std::string nibName);
    void push(const std::shared_ptr<VelkoraGeneralFeatureViewController>& screen, const std::string& title);
    void showNotReadyPopupInTestMode();

    int32_t quizId_ = 0;
    std::array<std::string, kRowCount> quizProfileTableTitles_;
    std::shared_ptr<ui::View> totalPointsView_;
    std::shared_ptr<ui::Label> totalPointsNumberLabel_;
    std::shared_ptr<ui::Label> totalPointsTitleLabel_;
    std::shared_ptr<ui::View> coinsView_;
    std::shared_ptr<ui::Label> coinsNumberLabel_;
    std::shared_ptr<ui::Label> coinsTitleLabel_;
    std::shared_ptr<ui::TableView> quizProfileTable_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    foundation::NotificationObserver scoreObserver_, coinsObserver_;
};

} // namespace velkora
