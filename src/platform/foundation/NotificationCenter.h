// Named notifications delivered synchronously to observers, filtered by name and by sender.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace velkora::foundation {

struct Notification {
    std::string name;
    const void* object = nullptr; // the sender, compared by identity only
    Value userInfo;
};

class NotificationCenter {
public:
    using ObserverId = uint64_t;
    using Callback = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // An empty name observes every name; a null object observes every sender. Never returns 0.
    ObserverId addObserver(std::string name, const void* object, Callback fn);
    // Safe from any thread and from inside a delivery: a removed observer is not called afterwards,
    // not even later in the delivery that is running. Unknown ids (and 0) are ignored.
    void removeObserver(ObserverId id);

    // Delivers on the calling thread, in the order the observers were added. Observers added during a
    // delivery see the next notification, not this one.
    void post(const Notification& n);
    void post(std::string name, const void* object = nullptr, Value userInfo = {});

    size_t observerCount() const;
    // Drops every observer; for tests that need a fresh centre.
    void removeAllObservers();

private:
    struct Entry;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Entry>> entries_;
    ObserverId nextId_ = 1;
};

// Removes its observer when destroyed. Movable, not copyable.
class NotificationObserver {
public:
    NotificationObserver() = default;
    NotificationObserver(NotificationCenter& center, NotificationCenter::ObserverId id) : center_(&center), id_(id) {}
    // Observes on the default centre.
    NotificationObserver(std::string name, const void* object, NotificationCenter::Callback fn);
    NotificationObserver(NotificationCenter& center, std::string name, const void* object,
                         NotificationCenter::Callback fn);
    ~NotificationObserver() { reset(); }
    NotificationObserver(NotificationObserver&& o) noexcept : center_(o.center_), id_(o.id_) { o.release(); }
    NotificationObserver& operator=(NotificationObserver&& o) noexcept;
    NotificationObserver(const NotificationObserver&) = delete;
    NotificationObserver& operator=(const NotificationObserver&) = delete;

    void reset();
    // Forgets the observer without removing it.
    NotificationCenter::ObserverId release();
    NotificationCenter::ObserverId id() const { return id_; }
    explicit operator bool() const { return id_ != 0; }

private:
    NotificationCenter* center_ = nullptr;
    NotificationCenter::ObserverId id_ = 0;
};

} // namespace velkora::foundation
