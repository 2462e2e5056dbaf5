#include "shell/VelkoraResizedImagesCache.h"

#include <bit>
#include <cmath>
#include <cstdint>
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

uint64_t VelkoraResizedImagesCache::hashOf(std::string_view url, float width, float height) {
    // The two sides go in as one word with one multiply: hashing each float on its own costs two more
    // passes of the string hash's byte loop on every lookup. Zero's two signs compare equal, so they
    // must hash alike.
    auto bits = [](float f) { return uint64_t(std::bit_cast<uint32_t>(f == 0 ? 0.0f : f)); };
    uint64_t sides = (bits(width) << 32 | bits(height)) * 0x9e3779b97f4a7c15ull;
    uint64_t h = std::hash<std::string_view>()(url);
    h ^= sides + (h << 6) + (h >> 2);
    // The index uses the low bits: fold the high ones in.
    return h ^ (h >> 29);
}

uint32_t VelkoraResizedImagesCache::find(std::string_view url, float width, float height, uint64_t hash,
                                         size_t* position) const {
    if (index_.empty()) return kNone;
    const size_t mask = index_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        uint32_t held = index_[i];
        if (!held) return kNone;
        const Slot& s = slots_[held - 1];
        if (s.hash == hash && s.width == width && s.height == height && s.url == url) {
            if (position) *position = i;
            return held - 1;
        }
    }
}

void VelkoraResizedImagesCache::addToIndex(uint32_t slot) {
    if ((count_ + 1) * 2 > index_.size()) growIndex();
    const size_t mask = index_.size() - 1;
    size_t i = slots_[slot].hash & mask;
    while (index_[i])
        i = (i + 1) & mask;
    index_[i] = slot + 1;
    ++count_;
}

void VelkoraResizedImagesCache::growIndex() {
    std::vector<uint32_t> old = std::move(index_);
    index_.assign(std::max<size_t>(64, old.size() * 2), 0);
    const size_t mask = index_.size() - 1;
    for (uint32_t held : old) {
        if (!held) continue;
        size_t i = slots_[held - 1].hash & mask;
        while (index_[i])
            i = (i + 1) & mask;
        index_[i] = held;
    }
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
    const float width = static_cast<float>(resizeTo.width), height = static_cast<float>(resizeTo.height);
    ui::Size target{width, height};
    ui::Size fitted = fittedSize(image->size(), target);
    std::shared_ptr<ui::Image> stored = image;
    if (fitted.width != image->size().width || fitted.height != image->size().height || image->scale() != 1.0) {
        // A target of zero in a side leaves nothing to draw: such a picture is not kept.
        stored = fitted.width >= 1 && fitted.height >= 1 ? redraw(*image, fitted) : nullptr;
        if (!stored) return;
    }
    size_t bytes = decodedBytes(*stored);
    const uint64_t hash = hashOf(key, width, height);
    if (uint32_t held = find(key, width, height, hash); held != kNone) erase(held);
    // A picture larger than the whole bound would only push everything else out and go itself.
    if (bytes > byteLimit_) return;
    uint32_t slot;
    if (!freeSlots_.empty()) {
        slot = freeSlots_.back();
        freeSlots_.pop_back();
    } else {
        slot = static_cast<uint32_t>(slots_.size());
        slots_.emplace_back();
    }
    Slot& s = slots_[slot];
    s.url = key;
    s.width = width;
    s.height = height;
    s.hash = hash;
    s.image = std::move(stored);
    s.bytes = bytes;
    addToIndex(slot);
    linkNewest(slot);
    totalBytes_ += bytes;
    evictTo(byteLimit_);
}

std::shared_ptr<ui::Image> VelkoraResizedImagesCache::getImageWithKey(const std::string& key, ui::Size resizedTo) {
    const float width = static_cast<float>(resizedTo.width), height = static_cast<float>(resizedTo.height);
    uint32_t slot = find(key, width, height, hashOf(key, width, height));
    if (slot == kNone) return nullptr;
    if (slot != newest_) {
        unlink(slot);
        linkNewest(slot);
    }
    return slots_[slot].image;
}

void VelkoraResizedImagesCache::removeImageWithKey(const std::string* key, ui::Size resizedTo) {
    if (!key) return;
    const float width = static_cast<float>(resizedTo.width), height = static_cast<float>(resizedTo.height);
    if (uint32_t slot = find(*key, width, height, hashOf(*key, width, height)); slot != kNone) erase(slot);
}

void VelkoraResizedImagesCache::removeAllImages() {
    slots_.clear();
    freeSlots_.clear();
    index_.clear();
    count_ = 0;
    newest_ = oldest_ = kNone;
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
    return count_;
}

void VelkoraResizedImagesCache::unlink(uint32_t slot) {
    Slot& s = slots_[slot];
    (s.newer != kNone ? slots_[s.newer].older : newest_) = s.older;
    (s.older != kNone ? slots_[s.older].newer : oldest_) = s.newer;
    s.newer = s.older = kNone;
}

void VelkoraResizedImagesCache::linkNewest(uint32_t slot) {
    Slot& s = slots_[slot];
    s.older = newest_;
    s.newer = kNone;
    if (newest_ != kNone) slots_[newest_].newer = slot;
    newest_ = slot;
    if (oldest_ == kNone) oldest_ = slot;
}

void VelkoraResizedImagesCache::erase(uint32_t slot) {
    Slot& s = slots_[slot];
    size_t at = 0;
    if (find(s.url, s.width, s.height, s.hash, &at) == slot) {
        // Backward-shift deletion: later members of the run move up into the gap unless that would put
        // them before their home place, so every probe still ends at the first empty place.
        const size_t mask = index_.size() - 1;
        size_t gap = at;
        for (size_t j = (gap + 1) & mask; index_[j]; j = (j + 1) & mask) {
            size_t home = slots_[index_[j] - 1].hash & mask;
            bool homeAfterGap = gap <= j ? (gap < home && home <= j) : (gap < home || home <= j);
            if (homeAfterGap) continue;
            index_[gap] = index_[j];
            gap = j;
        }
        index_[gap] = 0;
        --count_;
    }
    // The slot goes in every case, so eviction always makes progress.
    totalBytes_ -= s.bytes;
    unlink(slot);
    s.image.reset();
    s.url.clear();
    s.bytes = 0;
    freeSlots_.push_back(slot);
}

void VelkoraResizedImagesCache::evictTo(size_t limit) {
    while (totalBytes_ > limit && oldest_ != kNone)
        erase(oldest_);
}

} // namespace velkora
