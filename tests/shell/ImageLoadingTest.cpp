// Pictures by address through the memory cache, the host's fetcher, the disk cache and a plain download,
// against velkora-service.
#include <atomic>
#include <fstream>

#include "ImageFixture.h"
#include "platform/ui/InterfaceLoader.h"

namespace velkora::testing {
namespace {

struct LoadedView {
    std::shared_ptr<VelkoraLazyImageView> view = VelkoraLazyImageView::create({0, 0, 60, 60});
    std::shared_ptr<CountingDelegate> delegate = std::make_shared<CountingDelegate>();
    explicit LoadedView(bool usingCache = true) {
        view->setUsingCache(usingCache);
        view->setDelegate(delegate);
    }
};

// A host that keeps the delegates it was handed and answers when told.
struct HostFetcher : VelkoraImageFetcher {
    bool takes = true;
    std::vector<std::pair<std::string, std::shared_ptr<VelkoraImageFetcherDelegate>>> asked;
    std::vector<std::string> cancelled;
    bool fetchImage(const std::string& url, const std::shared_ptr<VelkoraImageFetcherDelegate>& d) override {
        asked.emplace_back(url, d);
        return takes;
    }
    void cancelDelegate(const std::shared_ptr<VelkoraImageFetcherDelegate>& d) override {
        cancelled.push_back(d->imageFetcherDelegateId());
    }
};

TEST_F(ImageTest, FirstLoadDownloadsAndWritesOnceThenASecondViewReadsTheDiskOffTheMainLoop) {
    std::string url = serve("p/one.png", 8, 8, kRed);
    LoadedView first;
    first.view->getImage(url);
    ASSERT_TRUE(waitFor([&] { return first.delegate->finished > 0; }));
    drain();
    EXPECT_EQ(gets("p/one.png"), 1u);
    EXPECT_EQ(cacheFiles().size(), 1u);
    EXPECT_TRUE(sameColor(centreColor(first.view->image()), kRed));
    EXPECT_EQ(first.delegate->finished, 1);
    EXPECT_TRUE(first.view->imageLoaded());

    std::atomic<int> decodedOnMain{0}, decoded{0};
    VelkoraCachedImageFetcher::setDecodeObserver([&] {
        ++decoded;
        if (loop().isLoopThread()) ++decodedOnMain;
    });
    LoadedView second;
    EXPECT_TRUE(second.view->isImageInCache(url));
    second.view->getImage(url);
    EXPECT_EQ(second.view->image(), nullptr) << "a disk hit is never delivered inside getImage";
    EXPECT_EQ(second.delegate->finished, 0);
    ASSERT_TRUE(waitFor([&] { return second.delegate->finished > 0; }));
    EXPECT_TRUE(sameColor(centreColor(second.view->image()), kRed));
    EXPECT_EQ(gets("p/one.png"), 1u);
    EXPECT_EQ(decoded.load(), 1);
    EXPECT_EQ(decodedOnMain.load(), 0);
}

TEST_F(ImageTest, MemoryCacheStoresScaledCopiesAndARepeatIsASilentHit) {
    struct Case {
        int width, height;
        ui::Size shown;
    };
    const Case cases[] = {{400, 200, {100, 50}}, {50, 50, {50, 50}}, {100, 300, {100.0 / 3, 100}}};
    int n = 0;
    for (const auto& c : cases) {
        std::string path = "m/" + std::to_string(n++) + ".png";
        std::string url = serve(path, c.width, c.height, kGreen);
        LoadedView first;
        first.view->setUsingResizedImagesCache(true);
        first.view->setResizeTarget({100, 100});
        first.view->getImage(url);
        ASSERT_TRUE(waitFor([&] { return first.delegate->finished > 0; }));
        auto shown = first.view->image();
        ASSERT_TRUE(shown);
        EXPECT_NEAR(shown->size().width, c.shown.width, 1.0) << path;
        EXPECT_NEAR(shown->size().height, c.shown.height, 1.0) << path;
        EXPECT_EQ(shown->scale(), 1.0);

        LoadedView repeat;
        repeat.view->setUsingResizedImagesCache(true);
        repeat.view->setResizeTarget({100, 100});
        repeat.view->getImage(url);
        EXPECT_EQ(repeat.view->image(), shown) << "the stored copy, at once";
        drain();
        EXPECT_EQ(repeat.delegate->finished, 0);
        EXPECT_EQ(gets(path), 1u);
    }
}

TEST_F(ImageTest, AHostFetcherThatTakesTheRequestAnswersAndIsCancelledNextTime) {
    auto host = std::make_shared<HostFetcher>();
    VelkoraAgentInternal::instance().setImageFetcher(host);
    std::string url = serve("h/a.png", 4, 4, kRed);
    LoadedView v;
    v.view->getImage(url);
    ASSERT_EQ(host->asked.size(), 1u);
    EXPECT_EQ(host->asked[0].second->imageFetcherDelegateId(), v.view->imageFetcherDelegateId());
    char id[32];
    std::snprintf(id, sizeof id, "%p", static_cast<void*>(v.view.get()));
    EXPECT_EQ(v.view->imageFetcherDelegateId(), id);
    // The host answers on a thread of its own.
    auto picture = ui::Image::create(3, 3);
    std::thread([d = host->asked[0].second, picture] { d->imageFetcherDidFinish(nullptr, picture); }).join();
    ASSERT_TRUE(waitFor([&] { return v.delegate->finished > 0; }));
    EXPECT_EQ(v.view->image(), picture);
    EXPECT_EQ(gets("h/a.png"), 0u);

    size_t cancelledBefore = host->cancelled.size();
    v.view->getImage(url);
    ASSERT_GT(host->cancelled.size(), cancelledBefore);
    EXPECT_EQ(host->cancelled.back(), v.view->imageFetcherDelegateId());

    // An error is only logged.
    host->asked.back().second->imageFetcherGotError(nullptr, foundation::makeError("HostDown", 7));
    EXPECT_TRUE(
        logged("Velkora - lazy image failed to fetch image using external delegate; Error: Error Domain=HostDown"));
}

TEST_F(ImageTest, AHostFetcherThatDeclinesFallsThroughToTheCaches) {
    auto host = std::make_shared<HostFetcher>();
    host->takes = false;
    VelkoraAgentInternal::instance().setImageFetcher(host);
    std::string url = serve("h/b.png", 4, 4, kBlue);
    LoadedView v;
    v.view->getImage(url);
    ASSERT_TRUE(waitFor([&] { return v.delegate->finished > 0; }));
    EXPECT_EQ(host->asked.size(), 1u);
    EXPECT_EQ(gets("h/b.png"), 1u);
    EXPECT_TRUE(sameColor(centreColor(v.view->image()), kBlue));
}

TEST_F(ImageTest, SetImageOnlyOnCacheHitShowsDiskPicturesAndReportsDownloadedOnes) {
    struct Case {
        bool onlyOnHit;
        bool fromDisk;
        bool shown;
        int reported;
    };
    const Case cases[] = {
        {false, false, true, 1}, {false, true, true, 1}, {true, false, false, 1}, {true, true, true, 0}};
    int n = 0;
    for (const auto& c : cases) {
        std::string path = "o/" + std::to_string(n++) + ".png";
        std::string url = serve(path, 4, 4, kRed);
        if (c.fromDisk) {
            LoadedView warm;
            warm.view->getImage(url);
            ASSERT_TRUE(waitFor([&] { return warm.delegate->finished > 0; }));
            drain();
        }
        LoadedView v;
        v.view->setSetImageOnlyOnCacheHit(c.onlyOnHit);
        v.view->getImage(url);
        ASSERT_TRUE(waitFor([&] { return v.view->imageLoaded(); })) << path;
        drain();
        EXPECT_EQ(v.view->image() != nullptr, c.shown) << path;
        EXPECT_EQ(v.delegate->finished, c.reported) << path;
    }
}

TEST_F(ImageTest, AddressesDifferingOnlyInPunctuationKeepTheirOwnPictures) {
    std::string dashed = serve("w/a-b.png", 6, 6, kRed);
    std::string plain = serve("w/ab.png", 6, 6, kBlue);
    auto load = [&](const std::string& url, bool memory) {
        LoadedView v;
        v.view->setUsingResizedImagesCache(memory);
        v.view->setResizeTarget({50, 50});
        v.view->getImage(url);
        EXPECT_TRUE(waitFor([&] { return v.view->image() != nullptr; }));
        drain();
        return centreColor(v.view->image());
    };
    for (bool memory : {false, true}) {
        // Fresh (or from memory the second round), then from disk, then after the memory is emptied.
        EXPECT_TRUE(sameColor(load(dashed, memory), kRed));
        EXPECT_TRUE(sameColor(load(plain, memory), kBlue));
        EXPECT_TRUE(sameColor(load(dashed, memory), kRed));
        EXPECT_TRUE(sameColor(load(plain, memory), kBlue));
        VelkoraResizedImagesCache::instance().removeAllImages();
        EXPECT_TRUE(sameColor(load(plain, memory), kBlue));
        EXPECT_TRUE(sameColor(load(dashed, memory), kRed));
    }
    EXPECT_EQ(gets("w/a-b.png"), 1u);
    EXPECT_EQ(gets("w/ab.png"), 1u);
    EXPECT_EQ(cacheFiles().size(), 2u);
}

TEST_F(ImageTest, AViewAskedForBWhileAIsPendingShowsOnlyB) {
    std::string a = serve("r/a.png", 4, 4, kRed);
    std::string b = serve("r/b.png", 4, 4, kBlue);
    { // A's disk read is under way.
        LoadedView warm;
        warm.view->getImage(a);
        ASSERT_TRUE(waitFor([&] { return warm.delegate->finished > 0; }));
        drain();
        LoadedView v;
        v.view->getImage(a);
        v.view->getImage(b);
        ASSERT_TRUE(waitFor([&] { return v.delegate->finished > 0; }));
        drain();
        EXPECT_TRUE(sameColor(centreColor(v.view->image()), kBlue));
        EXPECT_EQ(v.delegate->finished, 1);
    }
    { // A's download is under way (and slow).
        std::string slow = serve("r/slow.png", 4, 4, kRed);
        service::Fault delay = fault(service::Fault::Kind::Delay, 1);
        delay.command = "/pictures/r/slow.png";
        delay.delaySeconds = 0.3;
        svc.addFault(delay);
        LoadedView v(false);
        v.view->getImage(slow);
        ASSERT_TRUE(waitFor([&] { return gets("r/slow.png") == 1; }));
        v.view->getImage(b);
        ASSERT_TRUE(waitFor([&] { return v.delegate->finished > 0; }));
        loop().runUntil([] { return false; }, 0.5); // the slow reply's time passes on the network
        EXPECT_TRUE(sameColor(centreColor(v.view->image()), kBlue));
        EXPECT_EQ(v.delegate->finished, 1);
    }
    { // The host still owes A.
        auto host = std::make_shared<HostFetcher>();
        VelkoraAgentInternal::instance().setImageFetcher(host);
        LoadedView v;
        v.view->getImage(a);
        v.view->getImage(b);
        ASSERT_EQ(host->asked.size(), 2u);
        auto red = ui::Image::create(2, 2), blue = ui::Image::create(2, 2);
        host->asked[1].second->imageFetcherDidFinish(nullptr, blue);
        host->asked[0].second->imageFetcherDidFinish(nullptr, red);
        EXPECT_EQ(v.view->image(), blue);
        EXPECT_EQ(v.delegate->finished, 1);
        VelkoraAgentInternal::instance().setImageFetcher(nullptr);
    }
    { // A placeholder set mid-load cancels the load.
        auto placeholder = ui::Image::create(1, 1);
        LoadedView v;
        v.view->getImage(a);
        v.view->setImage(placeholder);
        drain();
        EXPECT_EQ(v.view->image(), placeholder);
        EXPECT_EQ(v.delegate->finished, 0);
    }
}

TEST_F(ImageTest, FailedDownloadsKeepThePlaceholderLogAndStopRestartingAtTheBound) {
    struct Case {
        const char* name;
        service::Fault fault;
    };
    service::Fault notFound = fault(service::Fault::Kind::HttpStatus), notImage = fault(service::Fault::Kind::NotJson);
    notFound.status = 404;
    notImage.value = "<html>no</html>";
    const Case cases[] = {
        {"status", notFound},
        {"drop", fault(service::Fault::Kind::Drop)},
        {"not-an-image", notImage},
    };
    for (const auto& c : cases) {
        for (bool usingCache : {false, true}) {
            std::string path = std::string("f/") + c.name + (usingCache ? "-cached" : "") + ".png";
            std::string url = serve(path, 4, 4, kRed);
            service::Fault f = c.fault;
            f.command = "/pictures/" + path;
            svc.addFault(f);
            auto placeholder = ui::Image::create(1, 1);
            LoadedView v(usingCache);
            v.view->setShowActivityIndicator(true);
            v.view->setImage(placeholder);
            capture_->clear();
            v.view->getImage(url);
            std::string plainLine = "Velkora - lazy image failed to downloaded: " + url;
            std::string cacheLine = "Velkora - lazy image failed to downloaded (cache";
            // The plain road gives up after its restarts; the disk road does not restart.
            ASSERT_TRUE(driveUntil([&] { return !v.view->activityIndicator()->isAnimating(); })) << path;
            loop().advance(5);
            drain();
            EXPECT_EQ(v.view->image(), placeholder) << path;
            EXPECT_EQ(v.delegate->finished, 0) << path;
            if (usingCache) {
                EXPECT_EQ(loggedCount(cacheLine), 1u) << path;
                EXPECT_EQ(loggedCount(plainLine), 0u) << path;
            } else {
                EXPECT_EQ(loggedCount(plainLine), size_t(1 + VelkoraLazyImageView::kMaxRestarts)) << path;
            }
            EXPECT_TRUE(cacheFiles().empty()) << path << ": nothing but pictures is written";
        }
    }
}

TEST_F(ImageTest, ADamagedCacheFileIsReplacedAndAnEmptyAddressSendsNothing) {
    std::string url = serve("d/x.png", 4, 4, kGreen);
    std::string file = VelkoraCachedImageFetcher::fileNameForUrl(url);
    { std::ofstream(file) << "not a picture"; }
    LoadedView v;
    v.view->getImage(url);
    ASSERT_TRUE(waitFor([&] { return v.delegate->finished > 0; }));
    drain();
    EXPECT_TRUE(sameColor(centreColor(v.view->image()), kGreen));
    EXPECT_EQ(gets("d/x.png"), 1u);
    EXPECT_TRUE(ui::Image::fromFile(file) != nullptr);

    svc.clearRequests();
    LoadedView empty;
    empty.view->setShowActivityIndicator(true);
    empty.view->getImage("");
    drain();
    EXPECT_FALSE(empty.view->activityIndicator()->isAnimating());
    EXPECT_TRUE(svc.requests().empty());
}

TEST_F(ImageTest, TheMemoryBoundHoldsOverThousandsOfPicturesAndKeepsTheRecentOnes) {
    auto& cache = VelkoraResizedImagesCache::instance();
    const size_t limit = 64 * 1024; // room for 40 pictures of 20 x 20
    cache.setByteLimit(limit);
    auto picture = ui::Image::create(20, 20);
    size_t peak = 0;
    for (int i = 0; i < 3000; ++i) {
        cache.insertImage(picture, "https://pictures/" + std::to_string(i), {20, 20});
        peak = std::max(peak, cache.totalBytes());
    }
    EXPECT_LE(peak, limit);
    EXPECT_EQ(cache.count(), 40u);
    EXPECT_TRUE(cache.getImageWithKey("https://pictures/2999", {20, 20}));
    EXPECT_TRUE(cache.getImageWithKey("https://pictures/2960", {20, 20}));
    EXPECT_FALSE(cache.getImageWithKey("https://pictures/2959", {20, 20}));
    // A lookup makes an entry recent again: it outlives newer ones.
    cache.getImageWithKey("https://pictures/2960", {20, 20});
    cache.insertImage(picture, "https://pictures/new", {20, 20});
    EXPECT_TRUE(cache.getImageWithKey("https://pictures/2960", {20, 20}));
    EXPECT_FALSE(cache.getImageWithKey("https://pictures/2961", {20, 20}));

    // A view that goes takes its entry with it.
    std::string url = serve("b/gone.png", 8, 8, kRed);
    {
        LoadedView v;
        v.view->setUsingResizedImagesCache(true);
        v.view->setResizeTarget({8, 8});
        v.view->getImage(url);
        ASSERT_TRUE(waitFor([&] { return v.delegate->finished > 0; }));
        EXPECT_TRUE(cache.getImageWithKey(url, {8, 8}));
    }
    drain();
    EXPECT_FALSE(cache.getImageWithKey(url, {8, 8}));
}

TEST_F(ImageTest, TheDiskFolderEndsUnderItsBoundAndForeignFilesSurvive) {
    std::string foreign = foundation::Paths::temp() + "/host-file.bin";
    { std::ofstream(foreign) << std::string(50000, 'x'); }
    std::string foreignInside = VelkoraCachedImageFetcher::cacheFolder() + "/notes.txt";
    { std::ofstream(foreignInside) << "kept"; }
    const size_t limit = 6000;
    VelkoraCachedImageFetcher::setDiskLimit(limit);
    std::vector<std::string> urls;
    for (int i = 0; i < 30; ++i) {
        // Noise keeps each file large: about a kilobyte of PNG each.
        auto image = ui::Image::create(24, 24);
        for (int p = 0; p < 24 * 24; ++p)
            image->setPixelAt(p % 24, p / 24, 0xff000000u | uint32_t(p * 2654435761u >> 8));
        auto bytes = image->pngData();
        urls.push_back(
            svc.addPicture("n/" + std::to_string(i) + ".png", std::string(bytes.begin(), bytes.end()), "image/png"));
    }
    for (const auto& url : urls) {
        LoadedView v;
        v.view->getImage(url);
        ASSERT_TRUE(waitFor([&] { return v.delegate->finished > 0; }));
    }
    drain();
    size_t cacheBytes = folderBytes(VelkoraCachedImageFetcher::cacheFolder()) - 4; // less the foreign note
    EXPECT_LE(cacheBytes, limit);
    EXPECT_GT(cacheBytes, 0u);
    EXPECT_TRUE(VelkoraCachedImageFetcher::isCacheHit(urls.back())) << "the newest stays";
    EXPECT_FALSE(VelkoraCachedImageFetcher::isCacheHit(urls.front()));
    EXPECT_TRUE(std::filesystem::exists(foreign));
    EXPECT_TRUE(std::filesystem::exists(foreignInside));
}

TEST_F(ImageTest, TheViewIsKnownToTheInterfaceLoaderAndSizesInPixels) {
    VelkoraLazyImageView::registerClass();
    EXPECT_TRUE(ui::InterfaceLoader::instance().hasClass("VelkoraLazyImageView"));
    auto v = VelkoraLazyImageView::create({0, 0, 30, 20});
    v->setContentScaleFactor(3);
    EXPECT_EQ(v->getSizeInPixels().width, 90);
    EXPECT_EQ(v->getSizeInPixels().height, 60);
}

} // namespace
} // namespace velkora::testing
