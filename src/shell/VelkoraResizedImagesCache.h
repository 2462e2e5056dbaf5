// The memory cache of pictures scaled down to the size a view shows them at, bounded by their decoded
// bytes with the least recently used going first. Used from the main loop only, as the views that fill
// it; the shared instance is made once, under a lock.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
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
    // Lookups name an entry without copying its address.
    struct KeyView {
        std::string_view url;
        float width = 0;
        float height = 0;
    };
    struct KeyHash {
        using is_transparent = void;
        size_t operator()(const KeyView& k) const;
        size_t operator()(const Key& k) const { return (*this)(KeyView{k.url, k.width, k.height}); }
    };
    struct KeyEqual {
        using is_transparent = void;
        static KeyView view(const Key& k) { return {k.url, k.width, k.height}; }
        static KeyView view(const KeyView& k) { return k; }
        template <typename A, typename B> bool operator()(const A& a, const B& b) const {
            KeyView x = view(a), y = view(b);
            return x.width == y.width && x.height == y.height && x.url == y.url;
        }
    };
    static KeyView viewOf(const std::string& url, ui::Size size) {
        return {url, static_cast<float>(size.width), static_cast<float>(size.height)};
    }
    // An entry lives in its index node; the recency list runs through the nodes themselves, so a hit
    // touches no other allocation.
    struct Entry {
        std::shared_ptr<ui::Image> image;
        size_t bytes = 0;
        const Key* key = nullptr;
        Entry* newer = nullptr;
        Entry* older = nullptr;
    };

    void evictTo(size_t limit);
    void unlink(Entry* e);
    void linkNewest(Entry* e);
    void erase(Entry* e);

    std::unordered_map<Key, Entry, KeyHash, KeyEqual> index_;
    Entry* newest_ = nullptr;
    Entry* oldest_ = nullptr;
    size_t totalBytes_ = 0;
    size_t byteLimit_ = kDefaultByteLimit;
};

} // namespace velkora
