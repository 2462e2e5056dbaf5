#include "quiz/VelkoraQuizScoreViews.h"

#include "platform/foundation/Bundle.h"

namespace velkora {

namespace {

// Loads the file with the view as its owner and takes its top view's frame and body.
template <class T> std::shared_ptr<T> loadOwned(const std::string& name) {
    auto view = std::make_shared<T>();
    auto objects = ui::InterfaceLoader::instance().loadNibNamed(name, view.get());
    if (objects.empty() || !view->topLevelView()) return nullptr;
    view->setFrame(view->topLevelView()->frame());
    view->topLevelView()->setFrame(view->bounds());
    view->addSubview(view->topLevelView());
    return view;
}

} // namespace

std::shared_ptr<VelkoraQuizScrollScoreView> VelkoraQuizScrollScoreView::initFromNib() {
    return loadOwned<VelkoraQuizScrollScoreView>("VelkoraQuizScrollScoreView");
}

void VelkoraQuizScrollScoreView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("topLevelView", topLevelView_);
    b.outlet("leftBarView", leftBarView_);
    b.outlet("rightBarView", rightBarView_);
    b.outlet("scoreLabel", scoreLabel_);
}

std::shared_ptr<VelkoraQuizTimeBonusView> VelkoraQuizTimeBonusView::initFromNib() {
    auto view = loadOwned<VelkoraQuizTimeBonusView>("VelkoraQuizTimeBonusView");
    if (view && view->timeBonusTitleLabel_)
        view->timeBonusTitleLabel_->setText(
            foundation::Bundle::main().localizedString("velkora_text_quiz_time_bonus_title"));
    return view;
}

void VelkoraQuizTimeBonusView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("topLevelView", topLevelView_);
    b.outlet("timeBonusTitleLabel", timeBonusTitleLabel_);
    b.outlet("timeBonusValueLabel", timeBonusValueLabel_);
}

} // namespace velkora
