#include "shell/VelkoraResizedImagesCache.h"

#include <cmath>
#include <functional>

#include "platform/foundation/Log.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"

namespace velkora {

namespace {

std::mutex& instanceLock() {
    static std::mutex m;
    return m;
}

size_t decodedBytes(const ui::Image& image) {
    return static_cast<size_t>(image.pixelWidth()) * static_cast<size_t>(image.pixelHeight()) * 4;
}

// Drawn at one point per pixel, whatever the scale of the picture given.
std::shared_ptr<ui::Image> redraw(const ui::Image& image, ui::Size size) {
    auto context = ui::GraphicsContext::bitmap(size, 1.0);
    if (!context) return nullptr;
    context->drawImage(image, ui::Rect({0, 0}, size));
    return context->makeImage();
}

} // namespace

VelkoraResizedImagesCache& VelkoraResizedImagesCache::instance() {
    std::lock_guard lock(instanceLock());
    static VelkoraResizedImagesCache* shared = new VelkoraResizedImagesCache();
    return *shared;
}

void VelkoraResizedImagesCache::resetForTests() {
    auto& cache = instance();
    cache.removeAllImages();
    cache.setByteLimit(kDefaultByteLimit);
}

size_t VelkoraResizedImagesCache::KeyHash::operator()(const Key& k) const {
    size_t h = std::hash<std::string>()(k.url);
    h ^= std::hash<float>()(k.width) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    h ^= std::hash<float>()(k.height) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h;
}

std::string VelkoraResizedImagesCache::serializeKey(const std::string& key, ui::Size size) {
    return foundation::format("%@-%f-%f", key, static_cast<double>(static_cast<float>(size.width)),
                              static_cast<double>(static_cast<float>(size.height)));
}

ui::Size VelkoraResizedImagesCache::fittedSize(ui::Size size, ui::Size target) {
    if (size.width <= 0 || size.height <= 0) return size;
    if (!(size.height > target.height || size.width > target.width)) return size;
    double ratio = size.width / size.height;
    if (target.height > 0 && ratio > target.width / target.height) return {target.width, target.width / ratio};
    return {ratio * target.height, target.height};
}

void VelkoraResizedImagesCache::insertImage(const std::shared_ptr<ui::Image>& image, const std::string& key,
                                            ui::Size resizeTo) {
    if (!image) return;
    Key k{key, static_cast<float>(resizeTo.width), static_cast<float>(resizeTo.height)};
    ui::Size target{k.width, k.height};
    ui::Size fitted = fittedSize(image->size(), target);
    std::shared_ptr<ui::Image> stored = image;
    if (fitted.width != image->size().width || fitted.height != image->size().height || image->scale() != 1.0) {
        // A target of zero in a side leaves nothing to draw: such a picture is not kept.
        stored = fitted.width >= 1 && fitted.height >= 1 ? redraw(*image, fitted) : nullptr;
        if (!stored) return;
    }
    size_t bytes = decodedBytes(*stored);
    std::lock_guard lock(mutex_);
    if (auto it = index_.find(k); it != index_.end()) eraseLocked(it->second);
    // A picture larger than the whole bound would only push everything else out and go itself.
    if (bytes > byteLimit_) return;
    order_.push_front({k, std::move(stored), bytes});
    index_.emplace(std::move(k), order_.begin());
    totalBytes_ += bytes;
    evictTo(byteLimit_);
}

std::shared_ptr<ui::Image> VelkoraResizedImagesCache::getImageWithKey(const std::string& key, ui::Size resizedTo) {
    std::lock_guard lock(mutex_);
    auto it = index_.find(Key{key, static_cast<float>(resizedTo.width), static_cast<float>(resizedTo.height)});
    if (it == index_.end()) return nullptr;
    if (it->second != order_.begin()) order_.splice(order_.begin(), order_, it->second);
    return it->second->image;
}

void VelkoraResizedImagesCache::removeImageWithKey(const std::string* key, ui::Size resizedTo) {
    if (!key) return;
    std::lock_guard lock(mutex_);
    auto it = index_.find(Key{*key, static_cast<float>(resizedTo.width), static_cast<float>(resizedTo.height)});
    if (it != index_.end()) eraseLocked(it->second);
}

void VelkoraResizedImagesCache::removeAllImages() {
    std::lock_guard lock(mutex_);
    index_.clear();
    order_.clear();
    totalBytes_ = 0;
}

size_t VelkoraResizedImagesCache::byteLimit() const {
    std::lock_guard lock(mutex_);
    return byteLimit_;
}

void VelkoraResizedImagesCache::setByteLimit(size_t bytes) {
    std::lock_guard lock(mutex_);
    byteLimit_ = bytes;
    evictTo(byteLimit_);
}

size_t VelkoraResizedImagesCache::totalBytes() const {
    std::lock_guard lock(mutex_);
    return totalBytes_;
}

size_t VelkoraResizedImagesCache::count() const {
    std::lock_guard lock(mutex_);
    return index_.size();
}

void VelkoraResizedImagesCache::eraseLocked(Order::iterator it) {
    totalBytes_ -= it->bytes;
    index_.erase(it->key);
    order_.erase(it);
}

void VelkoraResizedImagesCache::evictTo(size_t limit) {
    while (totalBytes_ > limit && !order_.empty())
        eraseLocked(std::prev(order_.end()));
}

} // namespace velkora
