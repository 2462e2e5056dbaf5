// The target of a connector's operation: the caller held weakly and what to do with the answer, either
// one object or a page of friends with whether more follow. A caller that is gone is never called.
#pragma once

#include <functional>
#include <memory>

#include "platform/foundation/Value.h"

namespace velkora {

class VelkoraConnectorTarget {
public:
    using Selector = std::function<void(const foundation::Value& object)>;
    using PageSelector = std::function<void(const foundation::Value& page, bool hasMore)>;

    VelkoraConnectorTarget() = default;

    template <class T> static VelkoraConnectorTarget make(const std::shared_ptr<T>& target, Selector selector) {
        VelkoraConnectorTarget t;
        t.target_ = target;
        t.identity_ = static_cast<const void*>(target.get());
        t.selector_ = std::move(selector);
        return t;
    }
    template <class T> static VelkoraConnectorTarget pages(const std::shared_ptr<T>& target, PageSelector selector) {
        VelkoraConnectorTarget t;
        t.target_ = target;
        t.identity_ = static_cast<const void*>(target.get());
        t.pageSelector_ = std::move(selector);
        return t;
    }

    // The caller's identity, compared by removeDelegate; null when none is set.
    const void* target() const { return identity_; }
    // Whether a living caller waits.
    bool isWaiting() const { return identity_ && !target_.expired(); }
    void clear() {
        target_.reset();
        identity_ = nullptr;
        selector_ = nullptr;
        pageSelector_ = nullptr;
    }

    // False when nobody answered.
    bool perform(const foundation::Value& object) const {
        auto keep = target_.lock();
        if (!identity_ || !keep || !selector_) return false;
        selector_(object);
        return true;
    }
    bool performPage(const foundation::Value& page, bool hasMore) const {
        auto keep = target_.lock();
        if (!identity_ || !keep || !pageSelector_) return false;
        pageSelector_(page, hasMore);
        return true;
    }

private:
    std::weak_ptr<void> target_;
    const void* identity_ = nullptr;
    Selector selector_;
    PageSelector pageSelector_;
};

} // namespace velkora
