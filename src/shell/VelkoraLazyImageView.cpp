#include "shell/VelkoraLazyImageView.h"

#include <cstdio>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Image.h"
#include "platform/ui/InterfaceLoader.h"
#include "session/VelkoraAgentInternal.h"
#include "shell/VelkoraResizedImagesCache.h"

namespace velkora {

namespace {

// Interface files name the class; it is known from the start of the process.
const bool kRegistered = (VelkoraLazyImageView::registerClass(), true);

// A fetcher may be the one calling us: it goes on the next turn of the loop, not under its own feet.
template <typename T> void releaseLater(std::shared_ptr<T>& object) {
    if (!object) return;
    foundation::RunLoop::main().post([keep = std::move(object)] {});
    object.reset();
}

} // namespace

// What the host answers for one load. It forwards only while that load is the view's current one, and
// always on the main loop, whatever thread the host answers on.
class VelkoraLazyImageView::HostRequest : public VelkoraImageFetcherDelegate {
public:
    HostRequest(std::weak_ptr<VelkoraLazyImageView> view, uint64_t token, std::string id)
        : view_(std::move(view)), token_(token), id_(std::move(id)) {}

    void imageFetcherDidFinish(const void* sender, const std::shared_ptr<ui::Image>& image) override {
        forward([sender, image](VelkoraLazyImageView& v) { v.imageFetcherDidFinish(sender, image); });
    }
    void imageFetcherGotError(const void* sender, const foundation::ErrorPtr& error) override {
        forward([sender, error](VelkoraLazyImageView& v) { v.imageFetcherGotError(sender, error); });
    }
    std::string imageFetcherDelegateId() const override { return id_; }

private:
    void forward(std::function<void(VelkoraLazyImageView&)> answer) {
        auto deliver = [view = view_, token = token_, answer = std::move(answer)] {
            auto v = view.lock();
            if (v && v->isCurrent(token)) answer(*v);
        };
        if (foundation::RunLoop::main().isLoopThread()) {
            deliver();
        } else {
            foundation::RunLoop::main().post(std::move(deliver));
        }
    }

    std::weak_ptr<VelkoraLazyImageView> view_;
    uint64_t token_;
    std::string id_;
};

void VelkoraLazyImageView::registerClass() {
    auto& loader = ui::InterfaceLoader::instance();
    if (!loader.hasClass("VelkoraLazyImageView")) loader.registerClass<VelkoraLazyImageView>("VelkoraLazyImageView");
}

VelkoraLazyImageView::~VelkoraLazyImageView() {
    (void)kRegistered;
    if (cachedImageFetcher_) cachedImageFetcher_->cancel();
    if (imageFetcher_) imageFetcher_->cancel();
    if (restartTimer_) restartTimer_->invalidate();
    if (hostRequest_) {
        if (auto host = VelkoraAgentInternal::instance().imageFetcher()) host->cancelDelegate(hostRequest_);
    }
    if (usingResizedImagesCache_ && imageURL_)
        VelkoraResizedImagesCache::instance().removeImageWithKey(*imageURL_, resizeTarget_);
}

bool VelkoraLazyImageView::isImageInCache(const std::string& url) const {
    return usingCache_ && VelkoraCachedImageFetcher::isCacheHit(url);
}

void VelkoraLazyImageView::getImage(const std::string& url) {
    restarts_ = 0;
    load(url);
}

void VelkoraLazyImageView::load(const std::string& url) {
    if (showActivityIndicator_) startActivityIndicator();
    cancelPreviousCalls();
    if (url.empty()) {
        stopActivityIndicator();
        return;
    }
    auto self = sharedAs<VelkoraLazyImageView>();
    if (usingResizedImagesCache_) {
        imageURL_ = url;
        if (auto scaled = VelkoraResizedImagesCache::instance().getImageWithKey(url, resizeTarget_)) {
            stopActivityIndicator();
            ui::ImageView::setImage(scaled);
            return;
        }
    }
    loading_ = true;
    if (auto host = VelkoraAgentInternal::instance().imageFetcher()) {
        hostRequest_ = std::make_shared<HostRequest>(self, loadToken_, imageFetcherDelegateId());
        if (host->fetchImage(url, hostRequest_)) return;
    }
    if (usingCache_) {
        cachedImageFetcher_ = VelkoraCachedImageFetcher::create(std::weak_ptr<VelkoraCachedImageFetcherDelegate>(self));
        cachedImageFetcher_->getImage(url);
        return;
    }
    imageFetcher_ = VelkoraUrlFetcher::create(std::weak_ptr<VelkoraUrlFetcherDelegate>(self));
    imageFetcher_->getDataUrl(url);
}

void VelkoraLazyImageView::cancelPreviousCalls() {
    ++loadToken_;
    loading_ = false;
    if (auto host = VelkoraAgentInternal::instance().imageFetcher()) {
        // The host hears of the view by its delegate id; a view that never asked it still has one.
        auto request =
            hostRequest_ ? hostRequest_
                         : std::make_shared<HostRequest>(sharedAs<VelkoraLazyImageView>(), 0, imageFetcherDelegateId());
        host->cancelDelegate(request);
    }
    hostRequest_.reset();
    if (restartTimer_) {
        restartTimer_->invalidate();
        restartTimer_.reset();
    }
    if (imageFetcher_) imageFetcher_->cancel();
    releaseLater(imageFetcher_);
    if (cachedImageFetcher_) cachedImageFetcher_->cancel();
    releaseLater(cachedImageFetcher_);
}

void VelkoraLazyImageView::imageFetcherGotError(const void* /*sender*/, const foundation::ErrorPtr& error) {
    foundation::Log::line("Velkora - lazy image failed to fetch image using external delegate; Error: %@",
                          error ? error->description() : std::string("(null)"));
    stopActivityIndicator();
}

void VelkoraLazyImageView::imageFetcherDidFinish(const void* /*sender*/, const std::shared_ptr<ui::Image>& image) {
    stopActivityIndicator();
    setImage(image);
    tellDelegate();
}

std::string VelkoraLazyImageView::imageFetcherDelegateId() const {
    char text[32];
    std::snprintf(text, sizeof text, "%p", static_cast<const void*>(this));
    return text;
}

void VelkoraLazyImageView::cachedImageGotError(VelkoraCachedImageFetcher& /*fetcher*/,
                                               const foundation::ErrorPtr& error) {
    foundation::Log::line("Velkora - lazy image failed to downloaded (cache %d)", error ? error->code : 0);
    loading_ = false;
    stopActivityIndicator();
}

void VelkoraLazyImageView::cachedImageDidFinish(VelkoraCachedImageFetcher& /*fetcher*/,
                                                const std::shared_ptr<ui::Image>& image, bool cacheHit) {
    loading_ = false;
    stopActivityIndicator();
    if (!image) return;
    imageLoaded_ = true;
    if (!setImageOnlyOnCacheHit_) {
        setImage(image);
        tellDelegate();
    } else if (cacheHit) {
        setImage(image);
    } else {
        tellDelegate();
    }
}

void VelkoraLazyImageView::urlGotError(VelkoraUrlFetcher& fetcher, const foundation::ErrorPtr& /*error*/) {
    plainDownloadFailed(fetcher.requestUrl());
}

void VelkoraLazyImageView::urlDidFinishWithData(VelkoraUrlFetcher& fetcher, const std::vector<uint8_t>& data) {
    std::weak_ptr<VelkoraLazyImageView> view = sharedAs<VelkoraLazyImageView>();
    uint64_t token = loadToken_;
    std::string url = fetcher.requestUrl();
    foundation::DispatchQueue::global().async([view, token, url, data] {
        auto image = ui::Image::fromData(data);
        foundation::RunLoop::main().post([view, token, url, image] {
            auto v = view.lock();
            if (!v || !v->isCurrent(token)) return;
            // Bytes that are not a picture are a failed download: the placeholder stays.
            if (!image) {
                v->plainDownloadFailed(url);
                return;
            }
            v->stopActivityIndicator();
            v->setImage(image);
            v->tellDelegate();
        });
    });
}

void VelkoraLazyImageView::plainDownloadFailed(const std::string& url) {
    foundation::Log::line("Velkora - lazy image failed to downloaded: %@", url);
    if (disableRetries_ || restarts_ >= kMaxRestarts) {
        loading_ = false;
        stopActivityIndicator();
        return;
    }
    int used = restarts_ + 1;
    std::weak_ptr<VelkoraLazyImageView> view = sharedAs<VelkoraLazyImageView>();
    uint64_t token = loadToken_;
    restartTimer_ = foundation::Timer::scheduled(kRestartDelay, false, [view, token, url, used](foundation::Timer&) {
        auto v = view.lock();
        if (!v || !v->isCurrent(token)) return;
        v->restartTimer_.reset();
        v->restarts_ = used;
        v->load(url);
    });
}

void VelkoraLazyImageView::setImage(std::shared_ptr<ui::Image> image) {
    stopActivityIndicator();
    cancelPreviousCalls();
    if (usingResizedImagesCache_ && imageURL_ && image) {
        auto& cache = VelkoraResizedImagesCache::instance();
        cache.insertImage(image, *imageURL_, resizeTarget_);
        if (auto scaled = cache.getImageWithKey(*imageURL_, resizeTarget_)) image = std::move(scaled);
    }
    ui::ImageView::setImage(std::move(image));
}

void VelkoraLazyImageView::startActivityIndicator() {
    if (activityIndicator_) activityIndicator_->removeFromSuperview();
    activityIndicator_ = ui::ActivityIndicatorView::create(ui::ActivityIndicatorViewStyle::Gray);
    ui::Rect b = bounds();
    activityIndicator_->setCenter({b.midX(), b.midY()});
    activityIndicator_->setHidesWhenStopped(true);
    activityIndicator_->startAnimating();
    addSubview(activityIndicator_);
}

void VelkoraLazyImageView::stopActivityIndicator() {
    if (activityIndicator_) activityIndicator_->stopAnimating();
}

ui::Size VelkoraLazyImageView::getSizeInPixels() const {
    ui::Rect f = frame();
    double scale = contentScaleFactor();
    return {f.width() * scale, f.height() * scale};
}

void VelkoraLazyImageView::tellDelegate() {
    if (auto d = delegate(); d && d->imageDidFinish) d->imageDidFinish(*this);
}

} // namespace velkora
