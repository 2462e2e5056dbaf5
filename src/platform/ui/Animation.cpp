#include "platform/ui/Animation.h"

#include <cmath>
#include <limits>
#include <map>
#include <memory>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/View.h"

namespace velkora::ui {

namespace {

using foundation::Value;

constexpr double kForever = std::numeric_limits<double>::infinity();

struct Change {
    std::weak_ptr<View> view;
    std::string keyPath;
    Value from;
};

struct Block {
    bool legacy = false;
    std::string animationId;
    double duration = kDefaultAnimationDuration;
    double delay = 0;
    unsigned options = 0;
    AnimationCurve curve = AnimationCurve::EaseInOut;
    double repeatCount = 0;
    bool autoreverses = false;
    Animator::Completion completion;
    std::function<void(const std::string&, bool)> didStop;
    std::vector<Change> changes;
};

struct Entry {
    std::weak_ptr<View> view;
    const View* viewAddress = nullptr;
    std::string key;
};

struct Flight {
    Animator::Running info;
    std::vector<Entry> entries;
    Animator::Completion completion;
    std::function<void(const std::string&, bool)> didStop;
    std::shared_ptr<foundation::Timer> timer;
};

using LayerKey = std::pair<const Layer*, std::string>;

struct State {
    std::vector<Block> open;
    std::map<uint64_t, Flight> flights;
    std::map<LayerKey, uint64_t> owners;  // which flight put an animation on a layer under a key
    std::map<LayerKey, std::shared_ptr<foundation::Timer>> layerTimers;  // ends of client layer animations
    uint64_t nextId = 1;
    int withoutAnimation = 0;
    int internal = 0;  // our own adds and removes do not count as the client's
    bool enabled = true;
};

State& state() {
    static State s;
    return s;
}

struct Internal {
    Internal() { ++state().internal; }
    ~Internal() { --state().internal; }
    Internal(const Internal&) = delete;
    Internal& operator=(const Internal&) = delete;
};

Value pair(double a, double b) { return Value(foundation::Array{Value(a), Value(b)}); }

Value readProperty(const View& v, const std::string& key) {
    if (key == "position") return pair(v.center().x, v.center().y);
    if (key == "bounds") {
        Rect b = v.bounds();
        return Value(foundation::Array{Value(b.x()), Value(b.y()), Value(b.width()), Value(b.height())});
    }
    if (key == "opacity") return Value(v.alpha());
    if (key == "transform") {
        const AffineTransform& t = v.transform();
        return Value(foundation::Array{Value(t.a), Value(t.b), Value(t.c), Value(t.d), Value(t.tx), Value(t.ty)});
    }
    if (key == "backgroundColor") {
        Color c = v.backgroundColor();
        return Value(foundation::Array{Value(c.r), Value(c.g), Value(c.b), Value(c.a)});
    }
    return {};
}

const char* timingName(AnimationCurve c) {
    switch (c) {
    case AnimationCurve::EaseIn: return "easeIn";
    case AnimationCurve::EaseOut: return "easeOut";
    case AnimationCurve::Linear: return "linear";
    default: return "easeInEaseOut";
    }
}

void finishFlight(uint64_t id, bool finished) {
    auto& s = state();
    auto it = s.flights.find(id);
    if (it == s.flights.end()) return;
    Flight flight = std::move(it->second);
    s.flights.erase(it);
    if (flight.timer) flight.timer->invalidate();
    for (auto& e : flight.entries) {
        auto view = e.view.lock();
        if (!view) continue;
        LayerKey k{&view->layer(), e.key};
        auto owner = s.owners.find(k);
        if (owner == s.owners.end() || owner->second != id) continue;
        s.owners.erase(owner);
        Internal guard;
        view->layer().removeAnimationForKey(e.key);
    }
    if (flight.completion) flight.completion(finished);
    if (flight.didStop) flight.didStop(flight.info.animationId, finished);
}

// Calls the completion on the next turn of the loop, as the platform does for animations that never ran.
void completeLater(Animator::Completion completion, std::function<void(const std::string&, bool)> didStop,
                   std::string animationId) {
    if (!completion && !didStop) return;
    foundation::RunLoop::main().post([completion = std::move(completion), didStop = std::move(didStop), animationId] {
        if (completion) completion(true);
        if (didStop) didStop(animationId, true);
    });
}

void commit(Block block) {
    auto& s = state();
    auto& loop = foundation::RunLoop::main();
    double now = loop.now();
    bool forever = (block.options & AnimationOption::Repeat) || std::isinf(block.repeatCount);
    uint64_t id = s.nextId++;
    Flight flight;
    flight.info.id = id;
    flight.info.animationId = block.animationId;
    flight.info.duration = block.duration;
    flight.info.delay = block.delay;
    flight.info.options = block.options;
    flight.info.curve = block.curve;
    flight.info.beginTime = now;
    double runs = forever ? kForever : std::max(1.0, block.repeatCount) * (block.autoreverses ? 2 : 1);
    flight.info.endTime = forever ? kForever : now + block.delay + block.duration * runs;
    flight.completion = std::move(block.completion);
    flight.didStop = std::move(block.didStop);

    if (block.duration > 0 && s.enabled) {
        for (auto& change : block.changes) {
            auto view = change.view.lock();
            if (!view) continue;
            Value to = readProperty(*view, change.keyPath);
            if (to == change.from) continue;  // set back to where it was: nothing moves
            LayerAnimation a;
            a.keyPath = change.keyPath;
            a.fromValue = change.from;
            a.toValue = to;
            a.duration = block.duration;
            a.beginTime = now + block.delay;
            a.repeatCount = forever ? kForever : block.repeatCount;
            a.autoreverses = block.autoreverses || (block.options & AnimationOption::Autoreverse);
            a.timingFunction = timingName(block.curve);
            LayerKey k{&view->layer(), change.keyPath};
            // A newer animation of the same property takes it over; the older one did not finish.
            if (auto owner = s.owners.find(k); owner != s.owners.end()) {
                uint64_t older = owner->second;
                s.owners.erase(owner);
                auto f = s.flights.find(older);
                if (f != s.flights.end()) {
                    std::erase_if(f->second.entries, [&](const Entry& e) { return e.viewAddress == view.get() && e.key == change.keyPath; });
                    if (f->second.entries.empty()) {
                        f->second.info.endTime = now;
                        if (f->second.timer) f->second.timer->invalidate();
                        loop.post([older] { finishFlight(older, false); });
                    }
                }
            }
            {
                Internal guard;
                view->layer().addAnimation(a, change.keyPath);
            }
            s.owners[k] = id;
            flight.entries.push_back({view, view.get(), change.keyPath});
            flight.info.properties.emplace_back(view.get(), change.keyPath);
        }
    }
    if (flight.entries.empty()) {
        // Nothing animates: the completion still waits for the delay, then runs finished.
        if (block.delay > 0) {
            flight.timer = loop.schedule(block.delay, false, [id](foundation::Timer&) { finishFlight(id, true); });
            s.flights[id] = std::move(flight);
        } else {
            completeLater(std::move(flight.completion), std::move(flight.didStop), flight.info.animationId);
        }
        return;
    }
    if (!forever)
        flight.timer = loop.schedule(flight.info.endTime - now, false, [id](foundation::Timer&) { finishFlight(id, true); });
    s.flights[id] = std::move(flight);
}

Block* openLegacy() {
    auto& open = state().open;
    for (auto it = open.rbegin(); it != open.rend(); ++it)
        if (it->legacy) return &*it;
    return nullptr;
}

}  // namespace

double layerAnimationTotalDuration(const LayerAnimation& a) {
    if (std::isinf(a.repeatCount) || a.repeatCount > 1e9) return kForever;
    return a.duration * std::max(1.0, a.repeatCount) * (a.autoreverses ? 2 : 1);
}

void Animator::animate(double duration, std::function<void()> animations, Completion completion) {
    animate(duration, 0, 0, std::move(animations), std::move(completion));
}

void Animator::animate(double duration, double delay, unsigned options, std::function<void()> animations,
                       Completion completion) {
    Block b;
    b.duration = std::max(0.0, duration);
    b.delay = std::max(0.0, delay);
    b.options = options;
    b.curve = static_cast<AnimationCurve>((options >> 16) & 0xf);
    b.completion = std::move(completion);
    state().open.push_back(std::move(b));
    if (animations) animations();
    Block done = std::move(state().open.back());
    state().open.pop_back();
    commit(std::move(done));
}

void Animator::performWithoutAnimation(const std::function<void()>& changes) {
    ++state().withoutAnimation;
    if (changes) changes();
    --state().withoutAnimation;
}

void Animator::beginAnimations(const std::string& animationId) {
    Block b;
    b.legacy = true;
    b.animationId = animationId;
    state().open.push_back(std::move(b));
}

void Animator::setAnimationDuration(double seconds) {
    if (auto* b = openLegacy()) b->duration = std::max(0.0, seconds);
}
void Animator::setAnimationDelay(double seconds) {
    if (auto* b = openLegacy()) b->delay = std::max(0.0, seconds);
}
void Animator::setAnimationCurve(AnimationCurve curve) {
    if (auto* b = openLegacy()) b->curve = curve;
}
void Animator::setAnimationRepeatCount(double count) {
    if (auto* b = openLegacy()) b->repeatCount = std::max(0.0, count);
}
void Animator::setAnimationRepeatAutoreverses(bool autoreverses) {
    if (auto* b = openLegacy()) b->autoreverses = autoreverses;
}
void Animator::setAnimationBeginsFromCurrentState(bool fromCurrent) {
    if (auto* b = openLegacy()) {
        if (fromCurrent) b->options |= AnimationOption::BeginFromCurrentState;
        else b->options &= ~AnimationOption::BeginFromCurrentState;
    }
}
void Animator::setAnimationDidStop(std::function<void(const std::string&, bool)> didStop) {
    if (auto* b = openLegacy()) b->didStop = std::move(didStop);
}

void Animator::commitAnimations() {
    auto& open = state().open;
    // Commits the innermost begin; blocks opened inside it and left open are committed with it.
    for (size_t i = open.size(); i-- > 0;) {
        if (!open[i].legacy) continue;
        Block b = std::move(open[i]);
        open.erase(open.begin() + long(i));
        commit(std::move(b));
        return;
    }
}

void Animator::setAnimationsEnabled(bool enabled) { state().enabled = enabled; }
bool Animator::areAnimationsEnabled() { return state().enabled; }

std::vector<Animator::Running> Animator::running() {
    std::vector<Running> out;
    for (auto& [id, f] : state().flights) out.push_back(f.info);
    return out;
}

size_t Animator::runningCount() { return state().flights.size(); }

bool Animator::isAnimating(const View& view, const std::string& keyPath) {
    for (auto& [id, f] : state().flights)
        for (auto& e : f.entries)
            if (e.viewAddress == &view && (keyPath.empty() || e.key == keyPath) && !e.view.expired()) return true;
    return false;
}

void Animator::reset() {
    auto& s = state();
    for (auto& [id, f] : s.flights)
        if (f.timer) f.timer->invalidate();
    for (auto& [k, t] : s.layerTimers)
        if (t) t->invalidate();
    s.flights.clear();
    s.owners.clear();
    s.layerTimers.clear();
    s.open.clear();
    s.withoutAnimation = 0;
    s.enabled = true;
}

void Animator::viewPropertyWillChange(View& view, const char* keyPath) {
    auto& s = state();
    if (s.open.empty() || s.withoutAnimation > 0 || !s.enabled) return;
    Block& b = s.open.back();
    for (auto& c : b.changes)
        if (c.keyPath == keyPath && c.view.lock().get() == &view) return;  // the first value is the start
    b.changes.push_back({view.sharedView(), keyPath, readProperty(view, keyPath)});
}

void Animator::layerAnimationAdded(Layer& layer, const std::string& key, const LayerAnimation& animation) {
    auto& s = state();
    if (s.internal > 0) return;
    layerAnimationRemoved(layer, key);  // replacing counts as removing the earlier one
    double total = layerAnimationTotalDuration(animation);
    if (std::isinf(total) || !animation.removedOnCompletion) return;
    View* view = layer.view();
    std::weak_ptr<View> weak = view ? view->sharedView() : nullptr;
    if (!view) return;
    LayerKey k{&layer, key};
    s.layerTimers[k] = foundation::RunLoop::main().schedule(total, false, [weak, key](foundation::Timer&) {
        auto v = weak.lock();
        if (!v) return;
        auto& st = state();
        st.layerTimers.erase({&v->layer(), key});
        Internal guard;
        v->layer().removeAnimationForKey(key);
    });
}

void Animator::layerAnimationRemoved(Layer& layer, const std::string& key) {
    auto& s = state();
    if (s.internal > 0) return;
    LayerKey k{&layer, key};
    if (auto t = s.layerTimers.find(k); t != s.layerTimers.end()) {
        if (t->second) t->second->invalidate();
        s.layerTimers.erase(t);
    }
    auto owner = s.owners.find(k);
    if (owner == s.owners.end()) return;
    uint64_t id = owner->second;
    s.owners.erase(owner);
    auto f = s.flights.find(id);
    if (f == s.flights.end()) return;
    std::erase_if(f->second.entries, [&](const Entry& e) {
        auto v = e.view.lock();
        return !v || (&v->layer() == &layer && e.key == key);
    });
    if (!f->second.entries.empty()) return;
    // Removed before its end: the completion runs on the next turn, not finished.
    if (f->second.timer) f->second.timer->invalidate();
    f->second.info.endTime = foundation::RunLoop::main().now();
    foundation::RunLoop::main().post([id] { finishFlight(id, false); });
}

// ---- The view's class methods

void View::animateWithDuration(double duration, std::function<void()> animations, std::function<void(bool)> completion) {
    Animator::animate(duration, std::move(animations), std::move(completion));
}

void View::animateWithDuration(double duration, double delay, unsigned options, std::function<void()> animations,
                               std::function<void(bool)> completion) {
    Animator::animate(duration, delay, options, std::move(animations), std::move(completion));
}

}  // namespace velkora::ui
