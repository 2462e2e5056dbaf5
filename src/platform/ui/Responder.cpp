#include "platform/ui/Responder.h"

#include "platform/ui/Keyboard.h"

#include "platform/ui/Keyboard.h"

#include <map>
#include <vector>

namespace velkora::ui {

namespace {

struct FirstResponderState {
    Responder* current = nullptr;
    uint64_t nextToken = 1;
    std::map<uint64_t, Responder::FirstResponderObserver> observers;
};

FirstResponderState& state() {
    static FirstResponderState s;
    return s;
}

void notifyObservers(Responder* previous, Responder* current) {
    Keyboard::instance().firstResponderChanged(previous, current);
    std::vector<Responder::FirstResponderObserver> copy;
    for (auto& [token, observer] : state().observers) copy.push_back(observer);
    for (auto& observer : copy) observer(previous, current);
}

}  // namespace

Responder::~Responder() {
    if (state().current == this) state().current = nullptr;
}

bool Responder::isFirstResponder() const { return state().current == this; }

Responder* Responder::currentFirstResponder() { return state().current; }

bool Responder::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    Responder* previous = state().current;
    if (previous) {
        if (!previous->canResignFirstResponder()) return false;
        // Handing over is one change for the observers: the keyboard stays up between two text inputs.
        state().current = nullptr;
        previous->didResignFirstResponder();
    }
    state().current = this;
    didBecomeFirstResponder();
    notifyObservers(previous, this);
    return true;
}

bool Responder::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    if (!canResignFirstResponder()) return false;
    state().current = nullptr;
    didResignFirstResponder();
    notifyObservers(this, nullptr);
    return true;
}

bool Responder::resignCurrentFirstResponder(bool force) {
    Responder* current = state().current;
    if (!current) return true;
    if (!force) return current->resignFirstResponder();
    state().current = nullptr;
    current->didResignFirstResponder();
    notifyObservers(current, nullptr);
    return true;
}

uint64_t Responder::addFirstResponderObserver(FirstResponderObserver observer) {
    uint64_t token = state().nextToken++;
    state().observers[token] = std::move(observer);
    return token;
}

void Responder::removeFirstResponderObserver(uint64_t token) { state().observers.erase(token); }

void Responder::touchesBegan(const std::vector<Touch*>& touches, Event* event) {
    if (Responder* next = nextResponder()) next->touchesBegan(touches, event);
}

void Responder::touchesMoved(const std::vector<Touch*>& touches, Event* event) {
    if (Responder* next = nextResponder()) next->touchesMoved(touches, event);
}

void Responder::touchesEnded(const std::vector<Touch*>& touches, Event* event) {
    if (Responder* next = nextResponder()) next->touchesEnded(touches, event);
}

void Responder::touchesCancelled(const std::vector<Touch*>& touches, Event* event) {
    if (Responder* next = nextResponder()) next->touchesCancelled(touches, event);
}

void Responder::reloadInputViews() {
    if (isFirstResponder()) Keyboard::instance().firstResponderChanged(this, this);
}

}  // namespace velkora::ui
