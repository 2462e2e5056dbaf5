// The application's quizzes, each with a play or unlock button; a locked quiz with a price opens the
// unlock popup. When the application has one quiz and it is open, the list steps aside and opens it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data/VelkoraQuiz.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "quiz/VelkoraQuizBuyQuizPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class Button;
class Label;
class LayoutConstraint;
} // namespace ui

class VelkoraQuizCellDelegate {
public:
    virtual ~VelkoraQuizCellDelegate() = default;
    virtual void actionClicked(int32_t quizId) = 0;
};

class VelkoraQuizCell : public ui::TableViewCell, public ui::InterfaceOwner {
public:
    static constexpr const char* kReuseIdentifier = "velkoraquizcell";

    VelkoraQuizCell() = default;
    const char* className() const override { return "VelkoraQuizCell"; }
    // The first object of "VelkoraQuizCell" ("iPad_" on a tablet), set up.
    static std::shared_ptr<VelkoraQuizCell> initFromNib();

    void myInit();
    void updateWithQuiz(const VelkoraQuiz& quiz);
    void actionClicked(ui::Control* sender);

    void setDelegate(std::weak_ptr<VelkoraQuizCellDelegate> d) { delegate_ = std::move(d); }
    int32_t quizId() const { return quizId_; }
    const std::shared_ptr<ui::Label>& nameLabel() const { return nameLabel_; }
    const std::shared_ptr<ui::Label>& descriptionLabel() const { return descriptionLabel_; }
    const std::shared_ptr<ui::Button>& actionButton() const { return actionButton_; }
    const std::shared_ptr<ui::LayoutConstraint>& nameLabelTopSpaceConstraint() const {
        return nameLabelTopSpaceConstraint_;
    }
    double nameOrigY() const { return nameOrigY_; }
    double descOrigY() const { return descOrigY_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::weak_ptr<VelkoraQuizCellDelegate> delegate_;
    int32_t quizId_ = 0;
    std::shared_ptr<ui::Label> nameLabel_;
    std::shared_ptr<ui::Label> descriptionLabel_;
    std::shared_ptr<ui::Button> actionButton_;
    std::shared_ptr<ui::LayoutConstraint> nameLabelTopSpaceConstraint_;
    double nameOrigY_ = 0, descOrigY_ = 0;
    // The name's top space with a description under it, as loaded.
    double nameTopSpace_ = 0;
};

class VelkoraQuizzesViewController : public VelkoraGeneralFeatureViewController,
                                     public ui::TableViewDataSource,
                                     public ui::TableViewDelegate,
                                     public VelkoraQuizCellDelegate,
                                     public VelkoraQuizBuyQuizPopupViewDelegate {
public:
    static constexpr uint32_t kScreenId = 30;
    static constexpr int32_t kDefaultUnlockAllQuizzesCoins = 400;

    // From "VelkoraQuizzesList" ("iPad_" on a tablet).
    static std::shared_ptr<VelkoraQuizzesViewController> create();
    ~VelkoraQuizzesViewController() override;
    const char* className() const override { return "VelkoraQuizzesViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    void getAllQuizzes();
    void gotQuizzes(const foundation::Value& reply);
    void gotQuizzesFailed(const foundation::ErrorPtr& error);

    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    void actionClicked(int32_t quizId) override;
    void openQuizScreen(int32_t quizId);
    void handleQuizPurchase(const VelkoraQuizPtr& quiz);
    void purchaseSingleQuiz();
    void purchaseAllQuizzes();
    void openPurchaseView();

    // The unlock popup: OK unlocks every quiz, cancel this one.
    void popupOkTapped() override { purchaseAllQuizzes(); }
    void popupCancelTapped() override { purchaseSingleQuiz(); }
    void buyTapped() override { openPurchaseView(); }

    void quizUnlocked(const foundation::Value& reply);
    void allQuizzesUnlocked(const foundation::Value& reply);
    void unlockFailed(const foundation::ErrorPtr& error);

    const std::vector<VelkoraQuizPtr>& quizzes() const { return quizzes_; }
    int32_t unlockAllQuizzesCoins() const { return unlockAllQuizzesCoins_; }
    const VelkoraQuizPtr& quizToUnlock() const { return quizToUnlock_; }
    const std::shared_ptr<ui::TableView>& quizzesTable() const { return quizzesTable_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    bool viewAppeared() const { return viewAppeared_; }
    bool shouldOpenQuiz() const { return shouldOpenQuiz_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    explicit VelkoraQuizzesViewController(std::string nibName);
    VelkoraQuizPtr quizById(int32_t quizId) const;
    void setTouchesEnabled(bool enabled);
    // A refused unlock: the lock stays, the user hears why, and the list is asked again.
    void unlockRefused();

    std::vector<VelkoraQuizPtr> quizzes_;
    int32_t unlockAllQuizzesCoins_ = kDefaultUnlockAllQuizzesCoins;
    VelkoraQuizPtr quizToUnlock_;
    std::shared_ptr<ui::TableView> quizzesTable_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::shared_ptr<VelkoraQuizCell> measuringCell_;
    bool viewAppeared_ = false;
    bool shouldOpenQuiz_ = false;
};

} // namespace velkora
