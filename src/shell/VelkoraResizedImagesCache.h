// The memory cache of pictures scaled down to the size a view shows them at, bounded by their decoded
// bytes with the least recently used going first. Used from the main loop only, as the views that fill
// it; the shared instance is made once, under a lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/Geometry.h"

namespace velkora::ui {
class Image;
}

namespace velkora {

class VelkoraResizedImagesCache {
public:
    static VelkoraResizedImagesCache& instance();
    // Empties the shared cache and restores the default bound.
    static void resetForTests();

    static constexpr size_t kDefaultByteLimit = 32u * 1024 * 1024;

    // Scales the picture to fit the target once, here (never enlarging), and keeps the result.
    void insertImage(const std::shared_ptr<ui::Image>& image, const std::string& key, ui::Size resizeTo);
    std::shared_ptr<ui::Image> getImageWithKey(const std::string& key, ui::Size resizedTo);
    void removeImageWithKey(const std::string* key, ui::Size resizedTo);
    void removeImageWithKey(const std::string& key, ui::Size resizedTo) { removeImageWithKey(&key, resizedTo); }
    void removeAllImages();
    // The entry's name as "%@-%f-%f" (address, width, height); entries are found by the triple itself.
    static std::string serializeKey(const std::string& key, ui::Size size);

    // The bound on the decoded bytes held; a smaller bound evicts at once.
    size_t byteLimit() const;
    void setByteLimit(size_t bytes);
    size_t totalBytes() const;
    size_t count() const;

    // What scaling gives for a picture of `size` into `target`: the ratio kept, never larger.
    static ui::Size fittedSize(ui::Size size, ui::Size target);

private:
    VelkoraResizedImagesCache() = default;

    // An entry lives in a slot of one array; the recency list runs through the slots by number, so a hit
    // touches the index, its slot and its two neighbours, and nothing is allocated.
    static constexpr uint32_t kNone = UINT32_MAX;
    struct Slot {
        std::string url;
        float width = 0;
        float height = 0;
        uint64_t hash = 0;
        std::shared_ptr<ui::Image> image;
        size_t bytes = 0;
        uint32_t newer = kNone;
        uint32_t older = kNone;
    };

    static uint64_t hashOf(std::string_view url, float width, float height);
    // The slot holding the triple, or kNone; `position` gets its place in the index.
    uint32_t find(std::string_view url, float width, float height, uint64_t hash, size_t* position = nullptr) const;
    void addToIndex(uint32_t slot);
    void growIndex();
    void evictTo(size_t limit);
    void unlink(uint32_t slot);
    void linkNewest(uint32_t slot);
    void erase(uint32_t slot);

    std::vector<Slot> slots_;
    std::vector<uint32_t> freeSlots_;
    // Open addressing with linear probing over a power-of-two table kept at most half full: slot + 1, or 0.
    std::vector<uint32_t> index_;
    size_t count_ = 0;
    uint32_t newest_ = kNone;
    uint32_t oldest_ = kNone;
    size_t totalBytes_ = 0;
    size_t byteLimit_ = kDefaultByteLimit;
};

} // namespace velkora
