// The responder base of views and controllers: the responder chain and the one first responder of the
// application, with a hook through which the keyboard follows text input.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace velkora::ui {

class Event;
class Touch;
class View;

class Responder : public std::enable_shared_from_this<Responder> {
public:
    Responder() = default;
    virtual ~Responder();
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

    virtual const char* className() const { return "Responder"; }

    // The next object up the chain: a view's controller, else its superview; a controller's view's superview.
    virtual Responder* nextResponder() const { return nullptr; }

    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool canResignFirstResponder() const { return true; }
    // Becomes the first responder, resigning the current one first; false when either side refuses.
    virtual bool becomeFirstResponder();
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;

    static Responder* currentFirstResponder();
    // Resigns whoever is first responder; with force, even one that refuses to resign.
    static bool resignCurrentFirstResponder(bool force);

    // Called after every change of the first responder (previous, current; either may be null). The
    // keyboard posts its notifications from here.
    using FirstResponderObserver = std::function<void(Responder* previous, Responder* current)>;
    static uint64_t addFirstResponderObserver(FirstResponderObserver observer);
    static void removeFirstResponderObserver(uint64_t token);

    // Touches that reach this responder: a view's own, or passed up by one that does not handle them.
    // The defaults pass them on to the next responder.
    virtual void touchesBegan(const std::vector<Touch*>& touches, Event* event);
    virtual void touchesMoved(const std::vector<Touch*>& touches, Event* event);
    virtual void touchesEnded(const std::vector<Touch*>& touches, Event* event);
    virtual void touchesCancelled(const std::vector<Touch*>& touches, Event* event);

    // A text input brings the keyboard up when it becomes first responder; an input view takes the
    // keyboard's place.
    virtual bool isTextInput() const { return false; }
    virtual std::shared_ptr<View> inputView() const { return nullptr; }
    // The input view changed while this responder is first: the keyboard takes the new one.
    virtual void reloadInputViews();

    template <typename T>
    std::shared_ptr<T> sharedAs() {
        return std::dynamic_pointer_cast<T>(weak_from_this().lock());
    }

protected:
    // Hooks for subclasses, run after the change took effect.
    virtual void didBecomeFirstResponder() {}
    virtual void didResignFirstResponder() {}
};

}  // namespace velkora::ui
