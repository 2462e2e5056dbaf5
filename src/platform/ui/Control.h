// Controls: enabled, selected and highlighted state, and target-action by control event.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace velkora::ui {

// Control states, with the platform's values; a state is a combination of them.
enum ControlState : unsigned {
    ControlStateNormal = 0,
    ControlStateHighlighted = 1 << 0,
    ControlStateDisabled = 1 << 1,
    ControlStateSelected = 1 << 2,
};

// Control events, with the platform's values.
enum ControlEvents : unsigned {
    ControlEventTouchDown = 1 << 0,
    ControlEventTouchDownRepeat = 1 << 1,
    ControlEventTouchDragInside = 1 << 2,
    ControlEventTouchDragOutside = 1 << 3,
    ControlEventTouchDragEnter = 1 << 4,
    ControlEventTouchDragExit = 1 << 5,
    ControlEventTouchUpInside = 1 << 6,
    ControlEventTouchUpOutside = 1 << 7,
    ControlEventTouchCancel = 1 << 8,
    ControlEventValueChanged = 1 << 12,
    ControlEventEditingDidBegin = 1 << 16,
    ControlEventEditingChanged = 1 << 17,
    ControlEventEditingDidEnd = 1 << 18,
    ControlEventEditingDidEndOnExit = 1 << 19,
    ControlEventAllTouchEvents = 0x00000FFF,
    ControlEventAllEditingEvents = 0x000F0000,
    ControlEventAllEvents = 0xFFFFFFFF,
};

enum class ContentHorizontalAlignment { Center = 0, Left, Right, Fill };
enum class ContentVerticalAlignment { Center = 0, Top, Bottom, Fill };

class Control : public View {
public:
    using View::View;
    static std::shared_ptr<Control> create(const Rect& frame = {}) { return std::make_shared<Control>(frame); }
    const char* className() const override { return "Control"; }

    // The action gets the control; it runs only while its target lives (an action added without a
    // target always runs). The name is what the interface loader and actionsForTarget report.
    using Action = std::function<void(Control* sender)>;
    uint64_t addTarget(std::weak_ptr<void> target, Action action, unsigned events, std::string name = {});
    uint64_t addAction(Action action, unsigned events, std::string name = {});
    template <typename T>
    uint64_t addTarget(const std::shared_ptr<T>& target, void (T::*method)(Control*), unsigned events,
                       std::string name = {}) {
        std::weak_ptr<T> weak = target;
        return addTarget(
            std::weak_ptr<void>(std::static_pointer_cast<void>(target)),
            [weak, method](Control* sender) {
                if (auto t = weak.lock()) ((*t).*method)(sender);
            },
            events, std::move(name));
    }
    // Removes the target's actions for any of the events (a null target: every action for them).
    void removeTarget(const void* target, unsigned events = ControlEventAllEvents);
    void removeAction(uint64_t token);
    std::vector<std::string> actionsForTarget(const void* target, unsigned event) const;
    unsigned allControlEvents() const;
    void sendActionsForControlEvents(unsigned events);

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool e);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool s);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool h);
    unsigned state() const;

    ContentHorizontalAlignment contentHorizontalAlignment() const { return contentHorizontalAlignment_; }
    void setContentHorizontalAlignment(ContentHorizontalAlignment a) { contentHorizontalAlignment_ = a; }
    ContentVerticalAlignment contentVerticalAlignment() const { return contentVerticalAlignment_; }
    void setContentVerticalAlignment(ContentVerticalAlignment a) { contentVerticalAlignment_ = a; }

    // A finger down and up inside, as the touch routing delivers it: highlighted while down, touch-down
    // then touch-up-inside. Does nothing on a disabled or non-interactive control.
    virtual void tap();

protected:
    // After any of enabled, selected or highlighted changed.
    virtual void stateDidChange() {}

private:
    struct TargetAction {
        uint64_t token;
        std::weak_ptr<void> target;
        const void* targetKey;
        bool hasTarget;
        Action action;
        unsigned events;
        std::string name;
    };
    std::vector<TargetAction> actions_;
    uint64_t nextToken_ = 1;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    ContentHorizontalAlignment contentHorizontalAlignment_ = ContentHorizontalAlignment::Center;
    ContentVerticalAlignment contentVerticalAlignment_ = ContentVerticalAlignment::Center;
};

}  // namespace velkora::ui
