#include "social/VelkoraPopups.h"

#include <atomic>

namespace velkora {

namespace {

std::atomic<VelkoraPopups::Presenter>& presenterSlot() {
    static std::atomic<VelkoraPopups::Presenter> slot{nullptr};
    return slot;
}

} // namespace

void VelkoraPopups::setPresenter(Presenter presenter) {
    presenterSlot().store(presenter);
}

std::shared_ptr<VelkoraDefaultOKPopupView> VelkoraPopups::show(ui::View* host, const Popup& popup, Answer answer) {
    auto presenter = presenterSlot().load();
    if (!presenter || !host) return nullptr;
    return presenter(host, popup, std::move(answer));
}

} // namespace velkora
