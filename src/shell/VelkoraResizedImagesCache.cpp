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

size_t VelkoraResizedImagesCache::KeyHash::operator()(const KeyView& k) const {
    size_t h = std::hash<std::string_view>()(k.url);
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
    if (auto it = index_.find(k); it != index_.end()) erase(&it->second);
    // A picture larger than the whole bound would only push everything else out and go itself.
    if (bytes > byteLimit_) return;
    auto [it, added] = index_.emplace(std::move(k), Entry{std::move(stored), bytes});
    it->second.key = &it->first;
    linkNewest(&it->second);
    totalBytes_ += bytes;
    evictTo(byteLimit_);
}

std::shared_ptr<ui::Image> VelkoraResizedImagesCache::getImageWithKey(const std::string& key, ui::Size resizedTo) {
    auto it = index_.find(viewOf(key, resizedTo));
    if (it == index_.end()) return nullptr;
    Entry* e = &it->second;
    if (e != newest_) {
        unlink(e);
        linkNewest(e);
    }
    return e->image;
}

void VelkoraResizedImagesCache::removeImageWithKey(const std::string* key, ui::Size resizedTo) {
    if (!key) return;
    auto it = index_.find(viewOf(*key, resizedTo));
    if (it != index_.end()) erase(&it->second);
}

void VelkoraResizedImagesCache::removeAllImages() {
    index_.clear();
    newest_ = oldest_ = nullptr;
    totalBytes_ = 0;
}

size_t VelkoraResizedImagesCache::byteLimit() const {
    return byteLimit_;
}

void VelkoraResizedImagesCache::setByteLimit(size_t bytes) {
    byteLimit_ = bytes;
    evictTo(byteLimit_);
}

size_t VelkoraResizedImagesCache::totalBytes() const {
    return totalBytes_;
}

size_t VelkoraResizedImagesCache::count() const {
    return index_.size();
}

void VelkoraResizedImagesCache::unlink(Entry* e) {
    (e->newer ? e->newer->older : newest_) = e->older;
    (e->older ? e->older->newer : oldest_) = e->newer;
    e->newer = e->older = nullptr;
}

void VelkoraResizedImagesCache::linkNewest(Entry* e) {
    e->older = newest_;
    e->newer = nullptr;
    if (newest_) newest_->newer = e;
    newest_ = e;
    if (!oldest_) oldest_ = e;
}

void VelkoraResizedImagesCache::erase(Entry* e) {
    totalBytes_ -= e->bytes;
    unlink(e);
    Key key = *e->key; // the node holding it goes with the erase
    index_.erase(key);
}

void VelkoraResizedImagesCache::evictTo(size_t limit) {
    while (totalBytes_ > limit && oldest_)
        erase(oldest_);
}

} // namespace velkora
