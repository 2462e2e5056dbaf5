#include "platform/foundation/NotificationCenter.h"

#include <algorithm>
#include <atomic>

namespace velkora::foundation {

struct NotificationCenter::Entry {
    ObserverId id;
    std::string name;
    const void* object;
    Callback fn;
    std::atomic<bool> removed{false};
};

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* center = new NotificationCenter(); // outlives static destruction order
    return *center;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(std::string name, const void* object, Callback fn) {
    auto e = std::make_shared<Entry>();
    e->name = std::move(name);
    e->object = object;
    e->fn = std::move(fn);
    std::lock_guard lock(mutex_);
    e->id = nextId_++;
    entries_.push_back(e);
    return e->id;
}

void NotificationCenter::removeObserver(ObserverId id) {
    if (id == 0) return;
    std::shared_ptr<Entry> gone; // released outside the lock: its callback may own things that post
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) { return e->id == id; });
        if (it == entries_.end()) return;
        (*it)->removed.store(true);
        gone = std::move(*it);
        entries_.erase(it);
    }
}

void NotificationCenter::post(const Notification& n) {
    std::vector<std::shared_ptr<Entry>> targets;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_) {
            if (!e->name.empty() && e->name != n.name) continue;
            if (e->object && e->object != n.object) continue;
            targets.push_back(e);
        }
    }
    for (const auto& e : targets) {
        if (e->removed.load()) continue;
        if (e->fn) e->fn(n);
    }
}

void NotificationCenter::post(std::string name, const void* object, Value userInfo) {
    post(Notification{std::move(name), object, std::move(userInfo)});
}

size_t NotificationCenter::observerCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void NotificationCenter::removeAllObservers() {
    std::vector<std::shared_ptr<Entry>> gone;
    {
        std::lock_guard lock(mutex_);
        gone.swap(entries_);
    }
    for (auto& e : gone)
        e->removed.store(true);
}

NotificationObserver::NotificationObserver(std::string name, const void* object, NotificationCenter::Callback fn)
    : NotificationObserver(NotificationCenter::defaultCenter(), std::move(name), object, std::move(fn)) {}

NotificationObserver::NotificationObserver(NotificationCenter& center, std::string name, const void* object,
                                           NotificationCenter::Callback fn)
    : center_(&center), id_(center.addObserver(std::move(name), object, std::move(fn))) {}

NotificationObserver& NotificationObserver::operator=(NotificationObserver&& o) noexcept {
    if (this != &o) {
        reset();
        center_ = o.center_;
        id_ = o.id_;
        o.release();
    }
    return *this;
}

void NotificationObserver::reset() {
    if (center_ && id_) center_->removeObserver(id_);
    center_ = nullptr;
    id_ = 0;
}

NotificationCenter::ObserverId NotificationObserver::release() {
    auto id = id_;
    center_ = nullptr;
    id_ = 0;
    return id;
}

} // namespace velkora::foundation
