// The image view every network picture of the kit is shown by: a picture by address through the memory
// cache of scaled copies, the host's own fetcher, the disk cache and a plain download, in that order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/ImageView.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"
#include "server/utils/VelkoraCachedImageFetcher.h"
#include "shell/VelkoraImageFetcher.h"

namespace velkora {

class VelkoraLazyImageView;

// Told when a picture has arrived; an empty function does not answer.
class VelkoraLazyImageDelegate {
public:
    virtual ~VelkoraLazyImageDelegate() = default;
    std::function<void(VelkoraLazyImageView&)> imageDidFinish;
};

class VelkoraLazyImageView : public ui::ImageView,
                             public VelkoraCachedImageFetcherDelegate,
                             public VelkoraUrlFetcherDelegate,
                             public VelkoraImageFetcherDelegate {
public:
    VelkoraLazyImageView() : VelkoraLazyImageView(ui::Rect{}) {}
    explicit VelkoraLazyImageView(const ui::Rect& frame) : ui::ImageView(frame) {}
    ~VelkoraLazyImageView() override;
    static std::shared_ptr<VelkoraLazyImageView> create(const ui::Rect& frame = {}) {
        return std::make_shared<VelkoraLazyImageView>(frame);
    }
    const char* className() const override { return "VelkoraLazyImageView"; }
    // Makes the class known to the interface loader under its name (done once, on first use too).
    static void registerClass();

    // A failed plain download is started again at most this many times per load, this far apart.
    static constexpr int kMaxRestarts = 3;
    static constexpr double kRestartDelay = 1.0;

    bool isImageInCache(const std::string& url) const;
    void getImage(const std::string& url);

    void imageFetcherGotError(const void* sender, const foundation::ErrorPtr& error) override;
    void imageFetcherDidFinish(const void* sender, const std::shared_ptr<ui::Image>& image) override;
    std::string imageFetcherDelegateId() const override;

    void cachedImageGotError(VelkoraCachedImageFetcher& fetcher, const foundation::ErrorPtr& error) override;
    void cachedImageDidFinish(VelkoraCachedImageFetcher& fetcher, const std::shared_ptr<ui::Image>& image,
                              bool cacheHit) override;

    void urlGotError(VelkoraUrlFetcher& fetcher, const foundation::ErrorPtr& error) override;
    // Plain downloads arrive as bytes and are decoded off the main loop.
    void urlDidFinishWithData(VelkoraUrlFetcher& fetcher, const std::vector<uint8_t>& data) override;

    // Stops the spinner and cancels every load; with the memory cache on, keeps the picture there under
    // (imageURL, resizeTarget) and shows the scaled copy.
    void setImage(std::shared_ptr<ui::Image> image) override;
    void cancelPreviousCalls();
    void startActivityIndicator();
    ui::Size getSizeInPixels() const;

    std::shared_ptr<VelkoraLazyImageDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraLazyImageDelegate> d) { delegate_ = std::move(d); }
    const std::shared_ptr<VelkoraUrlFetcher>& imageFetcher() const { return imageFetcher_; }
    const std::shared_ptr<VelkoraCachedImageFetcher>& cachedImageFetcher() const { return cachedImageFetcher_; }
    bool usingCache() const { return usingCache_; }
    void setUsingCache(bool v) { usingCache_ = v; }
    bool imageLoaded() const { return imageLoaded_; }
    // A picture was asked for and has neither come nor failed for good yet.
    bool isLoading() const { return loading_; }
    void setImageLoaded(bool v) { imageLoaded_ = v; }
    bool setImageOnlyOnCacheHit() const { return setImageOnlyOnCacheHit_; }
    void setSetImageOnlyOnCacheHit(bool v) { setImageOnlyOnCacheHit_ = v; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    bool showActivityIndicator() const { return showActivityIndicator_; }
    void setShowActivityIndicator(bool v) { showActivityIndicator_ = v; }
    bool disableRetries() const { return disableRetries_; }
    void setDisableRetries(bool v) { disableRetries_ = v; }
    bool usingResizedImagesCache() const { return usingResizedImagesCache_; }
    void setUsingResizedImagesCache(bool v) { usingResizedImagesCache_ = v; }
    const std::optional<std::string>& imageURL() const { return imageURL_; }
    void setImageURL(std::optional<std::string> url) { imageURL_ = std::move(url); }
    ui::Size resizeTarget() const { return resizeTarget_; }
    void setResizeTarget(ui::Size s) { resizeTarget_ = {static_cast<float>(s.width), static_cast<float>(s.height)}; }

private:
    class HostRequest;

    void load(const std::string& url);
    void stopActivityIndicator();
    void tellDelegate();
    void plainDownloadFailed(const std::string& url);
    bool isCurrent(uint64_t token) const { return token == loadToken_; }

    std::weak_ptr<VelkoraLazyImageDelegate> delegate_;
    std::shared_ptr<VelkoraUrlFetcher> imageFetcher_;
    std::shared_ptr<VelkoraCachedImageFetcher> cachedImageFetcher_;
    bool usingCache_ = false;
    bool imageLoaded_ = false;
    bool loading_ = false;
    bool setImageOnlyOnCacheHit_ = false;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    bool showActivityIndicator_ = false;
    bool disableRetries_ = false;
    bool usingResizedImagesCache_ = false;
    std::optional<std::string> imageURL_;
    ui::Size resizeTarget_;

    // Every load, cancel and picture set moves the token on; an answer for an older one is dropped.
    uint64_t loadToken_ = 0;
    std::shared_ptr<HostRequest> hostRequest_;
    std::shared_ptr<foundation::Timer> restartTimer_;
    int restarts_ = 0;
};

} // namespace velkora
