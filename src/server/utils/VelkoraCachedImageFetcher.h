// One request to the disk cache of pictures: a hit is read and decoded on the cache's background queue,
// a miss is downloaded, decoded off the main loop and written whole. The cache's files live in a folder
// of the kit's own under the temporary folder, named by a digest of the exact address, and their bytes
// are bounded with the least recently used going first.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"

namespace velkora::foundation {
class DispatchQueue;
}

namespace velkora {

class VelkoraCachedImageFetcher;

class VelkoraCachedImageFetcherDelegate {
public:
    virtual ~VelkoraCachedImageFetcherDelegate() = default;
    // On the main loop. `cacheHit`: read from disk rather than downloaded.
    virtual void cachedImageDidFinish(VelkoraCachedImageFetcher& fetcher, const std::shared_ptr<ui::Image>& image,
                                      bool cacheHit) = 0;
    virtual void cachedImageGotError(VelkoraCachedImageFetcher& fetcher, const foundation::ErrorPtr& error) = 0;
};

// The error a download that is not a picture ends with.
inline constexpr const char* kCachedImageNotAnImageDomain = "VelkoraCachedImageNotAnImage";

class VelkoraCachedImageFetcher : public VelkoraUrlFetcherDelegate,
                                  public std::enable_shared_from_this<VelkoraCachedImageFetcher> {
public:
    static std::shared_ptr<VelkoraCachedImageFetcher>
    create(std::weak_ptr<VelkoraCachedImageFetcherDelegate> delegate = {});
    ~VelkoraCachedImageFetcher() override;

    static bool isCacheHit(const std::string& url);
    bool cacheHit() const;
    void serializeUrl(const std::string& url);
    void urlDidFinishWithData(VelkoraUrlFetcher& fetcher, const std::vector<uint8_t>& data) override;
    void urlGotError(VelkoraUrlFetcher& fetcher, const foundation::ErrorPtr& error) override;
    // Delivers a picture read from disk (cacheHit true).
    void callDelegate(const std::shared_ptr<ui::Image>& image);
    void getImage(const std::string& url);
    // Nothing more is delivered, not even a read already under way.
    void cancel();

    std::shared_ptr<VelkoraCachedImageFetcherDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraCachedImageFetcherDelegate> d) { delegate_ = std::move(d); }
    const std::shared_ptr<VelkoraUrlFetcher>& urlFetcher() const { return urlFetcher_; }
    const std::string& fileName() const { return fileName_; }
    const foundation::Value& userData() const { return userData_; }
    void setUserData(foundation::Value v) { userData_ = std::move(v); }

    // The folder of the cache files: "VelkoraImageCache" in the kit's temporary folder.
    static std::string cacheFolder();
    // The file of an address: the folder and the SHA-1 of the address in hexadecimal.
    static std::string fileNameForUrl(const std::string& url);
    static constexpr size_t kDefaultDiskLimit = 128u * 1024 * 1024;
    static size_t diskLimit();
    static void setDiskLimit(size_t bytes);
    // The serial queue that reads, decodes, writes and trims.
    static foundation::DispatchQueue& queue();
    // Waits for the queue's work (tests and benchmarks), then restores the default bound.
    static void resetForTests();
    // Called on the thread that decodes each picture (tests check it is never the main loop's).
    static void setDecodeObserver(std::function<void()> observer);

private:
    VelkoraCachedImageFetcher() = default;
    void readFile(uint64_t generation);
    void download();
    void reportError(const foundation::ErrorPtr& error);
    bool isCurrent(uint64_t generation) const { return generation_.load() == generation; }

    std::weak_ptr<VelkoraCachedImageFetcherDelegate> delegate_;
    std::shared_ptr<VelkoraUrlFetcher> urlFetcher_;
    std::string fileName_;
    std::string url_;
    foundation::Value userData_;
    // Grows with every request and every cancel; work started for an earlier value is dropped.
    std::atomic<uint64_t> generation_{0};
};

} // namespace velkora
