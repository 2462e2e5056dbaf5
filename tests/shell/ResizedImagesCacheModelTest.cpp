// The memory cache against a plain model of least-recently-used eviction: thousands of random inserts,
// lookups and removals over addresses that crowd the index, with a bound that keeps evicting.
#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <random>
#include <string>

#include "platform/ui/Image.h"
#include "shell/VelkoraResizedImagesCache.h"

namespace velkora::testing {
namespace {

TEST(ResizedImagesCacheModel, EvictsTheLeastRecentlyUsedAndFindsEveryHeldEntry) {
    auto& cache = VelkoraResizedImagesCache::instance();
    VelkoraResizedImagesCache::resetForTests();
    auto picture = ui::Image::create(1, 1); // 4 bytes, kept as it is
    constexpr size_t kHeld = 40;
    cache.setByteLimit(kHeld * 4);

    // Newest first: the address and the side the entry was stored at.
    std::list<std::pair<std::string, double>> model;
    auto inModel = [&](const std::string& url, double side) {
        return std::find(model.begin(), model.end(), std::make_pair(url, side));
    };
    std::mt19937 random(5);
    for (int step = 0; step < 20000; ++step) {
        std::string url = "https://127.0.0.1/p/" + std::to_string(random() % 120) + ".png";
        // Two sides per address: the same address at another size is another entry.
        double side = random() % 2 ? 10 : 20;
        ui::Size size{side, side};
        auto held = inModel(url, side);
        switch (random() % 4) {
        case 0:
        case 1: {
            bool hit = cache.getImageWithKey(url, size) != nullptr;
            ASSERT_EQ(hit, held != model.end()) << "step " << step << " " << url;
            if (hit) model.splice(model.begin(), model, held);
            break;
        }
        case 2:
            cache.insertImage(picture, url, size);
            if (held != model.end()) model.erase(held);
            model.emplace_front(url, side);
            if (model.size() > kHeld) model.pop_back();
            break;
        default:
            cache.removeImageWithKey(url, size);
            if (held != model.end()) model.erase(held);
            break;
        }
        ASSERT_EQ(cache.count(), model.size()) << "step " << step;
        ASSERT_EQ(cache.totalBytes(), model.size() * 4);
    }
    // Every entry the model holds is found, and only those.
    for (const auto& [url, side] : model)
        EXPECT_TRUE(cache.getImageWithKey(url, {side, side})) << url;
    cache.removeAllImages();
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_FALSE(cache.getImageWithKey(model.front().first, {model.front().second, model.front().second}));
    VelkoraResizedImagesCache::resetForTests();
}

} // namespace
} // namespace velkora::testing
