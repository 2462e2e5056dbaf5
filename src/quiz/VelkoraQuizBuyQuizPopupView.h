// The unlock popup of a locked quiz: unlock this quiz or every quiz with coins, or buy coins. A button
// the user's coins do not cover is disabled and greyed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "shell/VelkoraDefaultOKPopupView.h"

namespace velkora {

class VelkoraQuizBuyQuizPopupViewDelegate : public VelkoraDefaultOKPopupViewDelegate {
public:
    virtual void buyTapped() = 0;
};

class VelkoraQuizBuyQuizPopupView : public VelkoraDefaultOKPopupView {
public:
    static constexpr const char* kInterface = "VelkoraQuizUnlockPopup";

    // OK unlocks every quiz, cancel this one; the costs are coins.
    static std::shared_ptr<VelkoraQuizBuyQuizPopupView>
    initFromNib(const std::string& allQuizzesTitle, int32_t allQuizzesCost, const std::string& singleQuizTitle,
                int32_t singleQuizCost, const std::string& buyCoinsTitle);

    VelkoraQuizBuyQuizPopupView() = default;
    const char* className() const override { return "VelkoraQuizBuyQuizPopupView"; }

    void buyCoinsClicked(ui::Control* sender);

    const std::shared_ptr<ui::Label>& allQuizzesCostLabel() const { return allQuizzesCostLabel_; }
    const std::shared_ptr<ui::Label>& singleQuizCostLabel() const { return singleQuizCostLabel_; }
    const std::shared_ptr<ui::Button>& buyCoinsButton() const { return buyCoinsButton_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    // Shows the cost and, when the coins do not cover it, disables and greys its button.
    void showCost(ui::Label* costLabel, ui::Button* button, int32_t cost, int32_t coins);

    std::shared_ptr<ui::Label> allQuizzesCostLabel_;
    std::shared_ptr<ui::Label> singleQuizCostLabel_;
    std::shared_ptr<ui::Button> buyCoinsButton_;
};

} // namespace velkora
