// The memory cache of pictures scaled down to the size a view shows them at, bounded by their decoded
// bytes with the least recently used going first.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

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

    struct Key {
        std::string url;
        float width = 0;
        float height = 0;
        friend bool operator==(const Key&, const Key&) = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const;
    };
    struct Entry {
        Key key;
        std::shared_ptr<ui::Image> image;
        size_t bytes = 0;
    };
    using Order = std::list<Entry>;

    void evictTo(size_t limit);
    void eraseLocked(Order::iterator it);

    mutable std::mutex mutex_;
    Order order_; // most recent first
    std::unordered_map<Key, Order::iterator, KeyHash> index_;
    size_t totalBytes_ = 0;
    size_t byteLimit_ = kDefaultByteLimit;
};

} // namespace velkora
