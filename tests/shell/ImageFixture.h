// A fresh velkora-service and fresh picture caches for each test: the kit's folders in a temporary root,
// the run loop on its test clock, pictures served over loopback HTTPS.
#pragma once

#include <gtest/gtest.h>
#include <velkora_service/Service.h>

#include <dirent.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <thread>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "session/VelkoraAgentInternal.h"
#include "server/utils/VelkoraCachedImageFetcher.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraResizedImagesCache.h"

namespace velkora::testing {

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velkora-images-XXXXXX";
        root_ = mkdtemp(pattern);
        foundation::Paths::setRoot(root_);
        VelkoraAgentInternal::resetForTests();
        VelkoraResizedImagesCache::resetForTests();
        VelkoraCachedImageFetcher::resetForTests();
        ASSERT_TRUE(svc.start());
        foundation::UrlConnection::setCaFile(svc.caFile());
        loop().useTestClock();
        capture_ = std::make_unique<foundation::Log::Capture>();
    }
    void TearDown() override {
        VelkoraCachedImageFetcher::resetForTests();
        VelkoraResizedImagesCache::resetForTests();
        loop().reset();
        foundation::UrlConnection::closeIdleConnections();
        foundation::UrlConnection::setCaFile("");
        capture_.reset();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
        foundation::Paths::reset();
    }

    static foundation::RunLoop& loop() { return foundation::RunLoop::main(); }
    bool waitFor(const std::function<bool()>& p) { return loop().runUntil(p, 20); }
    // Runs what the loop and the cache's queue hold now, and whatever that posts back.
    void drain() {
        VelkoraCachedImageFetcher::queue().waitUntilIdle();
        bool done = false;
        loop().post([&] { done = true; });
        loop().runUntil([&] { return done; }, 20);
    }
    // Pumps the network and moves the clock a second whenever only a timer is left, until `p` holds.
    bool driveUntil(const std::function<bool()>& p, int maxSeconds = 40) {
        for (int i = 0; i <= maxSeconds; ++i) {
            loop().runUntil([&] { return p() || loop().scheduledTimerCount() > 0; }, 20);
            if (p()) return true;
            loop().advance(1.0);
        }
        return p();
    }
    size_t gets(const std::string& path) const { return svc.requestsFor("/pictures/" + path).size(); }

    // A picture of one colour, as PNG bytes.
    static std::string png(int width, int height, ui::Color color) {
        auto image = ui::Image::create(width, height);
        auto g = ui::GraphicsContext::forImage(image);
        g->setFillColor(color);
        g->fillRect({0, 0, double(width), double(height)});
        auto bytes = image->pngData();
        return std::string(bytes.begin(), bytes.end());
    }
    std::string serve(const std::string& path, int width, int height, ui::Color color) {
        return svc.addPicture(path, png(width, height, color), "image/png");
    }
    static ui::Color centreColor(const std::shared_ptr<ui::Image>& image) {
        if (!image) return ui::Color::clear();
        return image->colorAt(image->pixelWidth() / 2, image->pixelHeight() / 2);
    }
    // The cache files in the kit's folder.
    static std::vector<std::string> cacheFiles() {
        std::vector<std::string> out;
        if (DIR* dir = opendir(VelkoraCachedImageFetcher::cacheFolder().c_str())) {
            while (dirent* e = readdir(dir))
                if (e->d_name[0] != '.') out.push_back(e->d_name);
            closedir(dir);
        }
        return out;
    }
    static size_t folderBytes(const std::string& folder) {
        size_t total = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            total += entry.is_regular_file() ? entry.file_size() : 0;
        return total;
    }
    bool logged(const std::string& text) const { return capture_->contains(text); }
    size_t loggedCount(const std::string& text) const { return capture_->count(text); }

    static service::ServiceOptions unseeded() {
        service::ServiceOptions o;
        o.seedDemo = false;
        return o;
    }
    static service::Fault fault(service::Fault::Kind kind, int times = -1) {
        service::Fault f;
        f.kind = kind;
        f.times = times;
        return f;
    }

    service::Service svc{unseeded()};
    std::string root_;
    std::unique_ptr<foundation::Log::Capture> capture_;
};

// Counts what a view tells its delegate.
struct CountingDelegate : VelkoraLazyImageDelegate {
    int finished = 0;
    CountingDelegate() {
        imageDidFinish = [this](VelkoraLazyImageView&) { ++finished; };
    }
};

inline const ui::Color kRed{1, 0, 0, 1};
inline const ui::Color kGreen{0, 1, 0, 1};
inline const ui::Color kBlue{0, 0, 1, 1};

inline bool sameColor(ui::Color a, ui::Color b) {
    auto near = [](double x, double y) { return std::abs(x - y) < 0.02; };
    return near(a.r, b.r) && near(a.g, b.g) && near(a.b, b.b) && near(a.a, b.a);
}

} // namespace velkora::testing
