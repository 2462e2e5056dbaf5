// The coin store: up to four coin packs, each with the store's title and price and a buy button. A
// purchase locks the screen until it has settled, then the store closes.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class Button;
class Label;
} // namespace ui

class VelkoraQuizPurchaseViewController : public VelkoraGeneralFeatureViewController {
public:
    static constexpr uint32_t kScreenId = 32;
    static constexpr int kSlotCount = 4;

    // From "VelkoraQuizPurchaseView" ("iPad_" on a tablet); the quiz and question a purchase is made
    // from, −1 for none.
    static std::shared_ptr<VelkoraQuizPurchaseViewController> create(int32_t quizId, int32_t questionId);
    ~VelkoraQuizPurchaseViewController() override;
    const char* className() const override { return "VelkoraQuizPurchaseViewController"; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    void purchaseOption1Clicked(ui::Control* sender);
    void purchaseOption2Clicked(ui::Control* sender);
    void purchaseOption3Clicked(ui::Control* sender);
    void purchaseOption4Clicked(ui::Control* sender);
    void buyProductByButton(ui::Button* button);

    // True when the pack is not available (its panel is hidden).
    bool updateView(ui::View* panel, ui::Button* button, ui::Label* label, const std::string& productKey);
    // True when none of the four packs is available.
    bool updateAllProducts();

    void productDetailsUpdated(const foundation::Notification& notification);
    void quizProductUpdated(const foundation::Notification& notification);

    int32_t quizId() const { return quizId_; }
    void setQuizId(int32_t id) { quizId_ = id; }
    int32_t questionId() const { return questionId_; }
    void setQuestionId(int32_t id) { questionId_ = id; }
    // Slot 1 to 4 as 0 to 3.
    const std::shared_ptr<ui::View>& productView(int slot) const { return productViews_.at(slot); }
    const std::shared_ptr<ui::Button>& productButton(int slot) const { return productButtons_.at(slot); }
    const std::shared_ptr<ui::Label>& productTitleLabel(int slot) const { return productTitleLabels_.at(slot); }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    const std::map<std::string, std::string>& button2productKey() const { return button2productKey_; }
    // The store id of the purchase this screen started and that has not settled; empty when none.
    const std::string& purchaseInProgress() const { return purchaseInProgress_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraQuizPurchaseViewController(std::string nibName, int32_t quizId, int32_t questionId);
    static std::string buttonKey(const ui::Button* button);

    int32_t quizId_ = -1;
    int32_t questionId_ = -1;
    std::array<std::shared_ptr<ui::View>, kSlotCount> productViews_;
    std::array<std::shared_ptr<ui::Button>, kSlotCount> productButtons_;
    std::array<std::shared_ptr<ui::Label>, kSlotCount> productTitleLabels_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::map<std::string, std::string> button2productKey_;
    std::string purchaseInProgress_;
    foundation::NotificationObserver dataObserver_, productObserver_;
};

} // namespace velkora
