#include "quiz/VelkoraQuizBuyQuizPopupView.h"

#include "data/VelkoraUserInternal.h"
#include "platform/foundation/Log.h"
#include "quiz/VelkoraQuizHomeScreens.h"
#include "session/VelkoraAgentInternal.h"

namespace velkora {

std::shared_ptr<VelkoraQuizBuyQuizPopupView>
VelkoraQuizBuyQuizPopupView::initFromNib(const std::string& allQuizzesTitle, int32_t allQuizzesCost,
                                         const std::string& singleQuizTitle, int32_t singleQuizCost,
                                         const std::string& buyCoinsTitle) {
    auto popup = std::make_shared<VelkoraQuizBuyQuizPopupView>();
    loadInto(popup, kInterface);
    popup->setButtonTitles(allQuizzesTitle, singleQuizTitle);
    if (popup->buyCoinsButton_) {
        popup->buyCoinsButton_->setTitle(buyCoinsTitle, ui::ControlStateNormal);
        popup->buyCoinsButton_->setTitle(buyCoinsTitle, ui::ControlStateHighlighted);
    }
    auto user = VelkoraAgentInternal::instance().velkoraUser();
    const int32_t coins = user ? user->coins() : 0;
    popup->showCost(popup->singleQuizCostLabel_.get(), popup->cancelButton().get(), singleQuizCost, coins);
    popup->showCost(popup->allQuizzesCostLabel_.get(), popup->okButton().get(), allQuizzesCost, coins);
    return popup;
}

void VelkoraQuizBuyQuizPopupView::showCost(ui::Label* costLabel, ui::Button* button, int32_t cost, int32_t coins) {
    if (costLabel) {
        costLabel->setText(foundation::format(quizhome::text("velkora_text_quiz_coins_cost"), cost));
        costLabel->setHidden(false);
    }
    if (coins >= cost) return;
    const ui::Color grey = messageLable() ? messageLable()->textColor() : ui::Color::rgba(0.5, 0.5, 0.5, 1.0);
    if (button) {
        button->setEnabled(false);
        button->setTitleColor(grey, ui::ControlStateNormal);
    }
    if (costLabel) costLabel->setTextColor(grey);
}

void VelkoraQuizBuyQuizPopupView::buyCoinsClicked(ui::Control*) {
    auto self = sharedAs<VelkoraQuizBuyQuizPopupView>();
    if (auto d = std::dynamic_pointer_cast<VelkoraQuizBuyQuizPopupViewDelegate>(delegate())) d->buyTapped();
    close();
}

void VelkoraQuizBuyQuizPopupView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraDefaultOKPopupView::registerInterfaceBindings(b);
    b.outlet("allQuizzesCostLabel", allQuizzesCostLabel_);
    b.outlet("singleQuizCostLabel", singleQuizCostLabel_);
    b.outlet("buyCoinsButton", buyCoinsButton_);
    b.action("buyCoinsClicked:", this, &VelkoraQuizBuyQuizPopupView::buyCoinsClicked);
}

} // namespace velkora
