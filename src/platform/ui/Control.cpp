#include "platform/ui/Control.h"

namespace velkora::ui {

uint64_t Control::addTarget(std::weak_ptr<void> target, Action action, unsigned events, std::string name) {
    if (!action || events == 0) return 0;
    const void* key = target.lock().get();
    bool hasTarget = key != nullptr;
    uint64_t token = nextToken_++;
    actions_.push_back({token, std::move(target), key, hasTarget, std::move(action), events, std::move(name)});
    return token;
}

uint64_t Control::addAction(Action action, unsigned events, std::string name) {
    return addTarget({}, std::move(action), events, std::move(name));
}

void Control::removeTarget(const void* target, unsigned events) {
    for (auto& ta : actions_)
        if (!target || ta.targetKey == target) ta.events &= ~events;
    std::erase_if(actions_, [](auto& ta) { return ta.events == 0; });
}

void Control::removeAction(uint64_t token) {
    std::erase_if(actions_, [&](auto& ta) { return ta.token == token; });
}

std::vector<std::string> Control::actionsForTarget(const void* target, unsigned event) const {
    std::vector<std::string> names;
    for (auto& ta : actions_)
        if (ta.targetKey == target && (ta.events & event)) names.push_back(ta.name);
    return names;
}

unsigned Control::allControlEvents() const {
    unsigned all = 0;
    for (auto& ta : actions_) all |= ta.events;
    return all;
}

void Control::sendActionsForControlEvents(unsigned events) {
    // An action may remove actions, or release the control: work on a copy, keep the control alive.
    auto self = sharedView();
    auto copy = actions_;
    for (auto& ta : copy) {
        if (!(ta.events & events)) continue;
        auto target = ta.target.lock();
        if (ta.hasTarget && !target) continue;
        ta.action(this);
    }
}

void Control::setEnabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    stateDidChange();
    setNeedsDisplay();
}

void Control::setSelected(bool s) {
    if (selected_ == s) return;
    selected_ = s;
    stateDidChange();
    setNeedsDisplay();
}

void Control::setHighlighted(bool h) {
    if (highlighted_ == h) return;
    highlighted_ = h;
    stateDidChange();
    setNeedsDisplay();
}

unsigned Control::state() const {
    unsigned s = ControlStateNormal;
    if (highlighted_) s |= ControlStateHighlighted;
    if (!enabled_) s |= ControlStateDisabled;
    if (selected_) s |= ControlStateSelected;
    return s;
}

void Control::tap() {
    if (!enabled_ || !isUserInteractionEnabled()) return;
    auto self = sharedView();
    setHighlighted(true);
    sendActionsForControlEvents(ControlEventTouchDown);
    setHighlighted(false);
    sendActionsForControlEvents(ControlEventTouchUpInside);
}

}  // namespace velkora::ui
