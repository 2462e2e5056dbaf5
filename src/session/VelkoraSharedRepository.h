// The process-wide object of a repository class: made on first use under a lock on the class, and held
// by a shared pointer so that the poll and the server calls keep only weak references to it.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/Value.h"

namespace velkora {

// T makes this a friend, keeps its constructor private and, when it must ask the service for something
// as soon as it exists, does so in `didCreate()` (run after the lock is released, so an answer that
// arrives at once may reach `instance()` again).
template <class T> class VelkoraSharedRepository {
public:
    static std::shared_ptr<T> shared() {
        std::shared_ptr<T> created;
        {
            std::lock_guard lock(mutex());
            if (slot()) return slot();
            created = slot() = std::shared_ptr<T>(new T());
        }
        created->didCreate();
        return created;
    }
    static T& instance() { return *shared(); }
    // Whether the shared object was made yet; asking never makes it.
    static bool exists() {
        std::lock_guard lock(mutex());
        return slot() != nullptr;
    }
    // The next `instance()` makes a fresh object; for tests that start the kit more than once.
    static void resetForTests() {
        std::shared_ptr<T> old;
        {
            std::lock_guard lock(mutex());
            old.swap(slot());
        }
    }

private:
    static std::recursive_mutex& mutex() {
        static std::recursive_mutex m;
        return m;
    }
    static std::shared_ptr<T>& slot() {
        static std::shared_ptr<T> s;
        return s;
    }
};

// The objects of type T in a reply's list, in order; anything else in it, or a reply that is no list,
// gives nothing.
template <class T> std::vector<std::shared_ptr<T>> objectsOf(const foundation::Value& list) {
    std::vector<std::shared_ptr<T>> out;
    if (const foundation::Array* a = list.asArray()) {
        out.reserve(a->size());
        for (const foundation::Value& v : *a) {
            if (auto o = v.asObject<T>()) out.push_back(std::move(o));
        }
    }
    return out;
}

} // namespace velkora
