// The host's own image fetcher and what it calls back. A host hands one in to load pictures itself;
// the kit asks it before its own caches.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"

namespace velkora::ui {
class Image;
}

namespace velkora {

// The host answers through this. Each load gets its own delegate: a late answer to a load the view has
// since replaced reaches no one.
class VelkoraImageFetcherDelegate {
public:
    virtual ~VelkoraImageFetcherDelegate() = default;
    // `sender` is the host's own object; the kit never reads it.
    virtual void imageFetcherDidFinish(const void* sender, const std::shared_ptr<ui::Image>& image) = 0;
    virtual void imageFetcherGotError(const void* sender, const foundation::ErrorPtr& error) = 0;
    // How the asking view names itself to the host: "%p" of the view.
    virtual std::string imageFetcherDelegateId() const = 0;
};

// Every method has a body, so a host that implements only some of them never breaks a caller.
class VelkoraImageFetcher {
public:
    virtual ~VelkoraImageFetcher() = default;
    // True when the host takes the request and will answer the delegate (on any thread).
    virtual bool fetchImage(const std::string& /*url*/,
                            const std::shared_ptr<VelkoraImageFetcherDelegate>& /*delegate*/) {
        return false;
    }
    // The host drops what it still owes that delegate (the same id as the view's).
    virtual void cancelDelegate(const std::shared_ptr<VelkoraImageFetcherDelegate>& /*delegate*/) {}
    // Asked by the feed for a liked picture's share button and link.
    virtual bool shouldEnableImageShare(const std::string& /*data*/) { return true; }
    virtual std::optional<std::string> shareUrlForImage(const std::string& /*data*/) { return std::nullopt; }
};

} // namespace velkora
