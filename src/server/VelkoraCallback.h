// A caller and the operations to perform on it with an answer or an error. The caller is held weakly:
// a caller that is gone, or that was cleared, is never called.
#pragma once

#include <functional>
#include <memory>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace velkora {

class VelkoraCallback {
public:
    using Answer = std::function<void(void* caller, const foundation::Value& answer)>;
    using Failure = std::function<void(void* caller, const foundation::ErrorPtr& error)>;

    VelkoraCallback() = default;

    // A member function of the caller for the answer and, optionally, one for the error.
    template <class T>
    VelkoraCallback(const std::shared_ptr<T>& caller, void (T::*selector)(const foundation::Value&),
                    void (T::*errorSelector)(const foundation::ErrorPtr&) = nullptr)
        : delegate_(caller), identity_(static_cast<const void*>(caller.get())) {
        if (selector) selector_ = [selector](void* c, const foundation::Value& v) { (static_cast<T*>(c)->*selector)(v); };
        if (errorSelector)
            errorSelector_ = [errorSelector](void* c, const foundation::ErrorPtr& e) { (static_cast<T*>(c)->*errorSelector)(e); };
    }

    // Functions that need not reach into the caller; they still run only while the caller lives.
    template <class T>
    static VelkoraCallback make(const std::shared_ptr<T>& caller, std::function<void(const foundation::Value&)> answer,
                                std::function<void(const foundation::ErrorPtr&)> error = {}) {
        VelkoraCallback cb;
        cb.delegate_ = caller;
        cb.identity_ = static_cast<const void*>(caller.get());
        if (answer) cb.selector_ = [answer = std::move(answer)](void*, const foundation::Value& v) { answer(v); };
        if (error) cb.errorSelector_ = [error = std::move(error)](void*, const foundation::ErrorPtr& e) { error(e); };
        return cb;
    }

    // The caller's identity, compared by clearUserDelegate; null once cleared.
    const void* delegate() const { return identity_; }
    bool hasSelector() const { return static_cast<bool>(selector_); }
    bool hasErrorSelector() const { return static_cast<bool>(errorSelector_); }
    void clearDelegate() {
        delegate_.reset();
        identity_ = nullptr;
    }

    // Performs the selector on a living caller; false when there was nobody to answer.
    bool answer(const foundation::Value& value) const {
        if (!identity_ || !selector_) return false;
        auto caller = delegate_.lock();
        if (!caller) return false;
        selector_(caller.get(), value);
        return true;
    }
    bool fail(const foundation::ErrorPtr& error) const {
        if (!identity_ || !errorSelector_) return false;
        auto caller = delegate_.lock();
        if (!caller) return false;
        errorSelector_(caller.get(), error);
        return true;
    }

private:
    std::weak_ptr<void> delegate_;
    const void* identity_ = nullptr;
    Answer selector_;
    Failure errorSelector_;
};

}  // namespace velkora
