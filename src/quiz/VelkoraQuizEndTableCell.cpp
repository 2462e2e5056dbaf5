#include "quiz/VelkoraQuizEndTableCell.h"

#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

namespace {
// The play screen's style sheet screen: the rows look like the rest of the game.
constexpr uint32_t kQuizPlayScreen = 31;
} // namespace

std::shared_ptr<VelkoraQuizEndTableCell> VelkoraQuizEndTableCell::initFromNib() {
    auto& loader = ui::InterfaceLoader::instance();
    if (!loader.hasClass("VelkoraQuizEndTableCell"))
        loader.registerClass<VelkoraQuizEndTableCell>("VelkoraQuizEndTableCell");
    auto cell = std::dynamic_pointer_cast<VelkoraQuizEndTableCell>(loader.loadFirstObject(kInterface));
    if (!cell) return nullptr;
    cell->myInit();
    return cell;
}

void VelkoraQuizEndTableCell::myInit() {
    setReuseIdentifier(kReuseIdentifier);
    setBackgroundView(ui::View::create());
    auto selected = ui::View::create(ui::Rect{0, 0, frame().width(), frame().height()});
    selected->setBackgroundColor(ui::Color::rgba(29 / 255.0, 29 / 255.0, 29 / 255.0, 1));
    setSelectedBackgroundView(selected);
    auto& customizer = VelkoraStyleSheetCustomizer::instance();
    customizer.customizeTableCellSelectedBackgroundView(selectedBackgroundView().get(), kQuizPlayScreen);
    customizer.customizeTableCellTitleLabel(titleLabel_.get(), kQuizPlayScreen);
}

void VelkoraQuizEndTableCell::setTitle(const std::string& title) {
    if (titleLabel_) titleLabel_->setText(title);
}

void VelkoraQuizEndTableCell::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("titleLabel", titleLabel_);
}

} // namespace velkora
