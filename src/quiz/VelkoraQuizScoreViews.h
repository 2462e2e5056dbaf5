// The two small views of the quiz play screen: one step of the score ladder (a question's points with
// the bars to its neighbours) and the time bonus label that rises from the countdown and fades.
#pragma once

#include <memory>

#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace velkora {

class VelkoraQuizScrollScoreView : public ui::View, public ui::InterfaceOwner {
public:
    const char* className() const override { return "VelkoraQuizScrollScoreView"; }
    // Null when the interface file cannot be loaded.
    static std::shared_ptr<VelkoraQuizScrollScoreView> initFromNib();

    const std::shared_ptr<ui::View>& topLevelView() const { return topLevelView_; }
    const std::shared_ptr<ui::ImageView>& leftBarView() const { return leftBarView_; }
    const std::shared_ptr<ui::ImageView>& rightBarView() const { return rightBarView_; }
    const std::shared_ptr<ui::Label>& scoreLabel() const { return scoreLabel_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::shared_ptr<ui::View> topLevelView_;
    std::shared_ptr<ui::ImageView> leftBarView_, rightBarView_;
    std::shared_ptr<ui::Label> scoreLabel_;
};

class VelkoraQuizTimeBonusView : public ui::View, public ui::InterfaceOwner {
public:
    const char* className() const override { return "VelkoraQuizTimeBonusView"; }
    static std::shared_ptr<VelkoraQuizTimeBonusView> initFromNib();

    const std::shared_ptr<ui::View>& topLevelView() const { return topLevelView_; }
    const std::shared_ptr<ui::Label>& timeBonusTitleLabel() const { return timeBonusTitleLabel_; }
    const std::shared_ptr<ui::Label>& timeBonusValueLabel() const { return timeBonusValueLabel_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::shared_ptr<ui::View> topLevelView_;
    std::shared_ptr<ui::Label> timeBonusTitleLabel_, timeBonusValueLabel_;
};

} // namespace velkora
