#include "server/utils/VelkoraCachedImageFetcher.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Digest.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Image.h"

namespace velkora {

namespace {

constexpr const char* kCacheFolderName = "VelkoraImageCache";

bool isCacheFileName(const std::string& name) {
    return name.size() == 40 && std::all_of(name.begin(), name.end(),
                                            [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string baseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// What the cache folder holds, by recency, so trimming after a write needs no scan of the folder. Loaded
// from the folder the first time it is used (and again when the temporary folder moves).
class DiskIndex {
public:
    static DiskIndex& shared() {
        static DiskIndex* index = new DiskIndex();
        return *index;
    }

    void used(const std::string& folder, const std::string& name, size_t size) {
        std::lock_guard lock(mutex_);
        load(folder);
        forgetLocked(name);
        uint64_t tick = ++clock_;
        files_[name] = {size, tick};
        byTick_[tick] = name;
        total_ += size;
    }

    void forget(const std::string& folder, const std::string& name) {
        std::lock_guard lock(mutex_);
        load(folder);
        forgetLocked(name);
    }

    // Removes the least recently used files until the folder's bytes are within the limit.
    void trim(const std::string& folder, size_t limit) {
        std::lock_guard lock(mutex_);
        load(folder);
        while (total_ > limit && !byTick_.empty()) {
            std::string name = byTick_.begin()->second;
            forgetLocked(name);
            foundation::removeFile(folder + "/" + name);
        }
    }

    void reset() {
        std::lock_guard lock(mutex_);
        folder_.clear();
        files_.clear();
        byTick_.clear();
        total_ = 0;
    }

private:
    void forgetLocked(const std::string& name) {
        auto it = files_.find(name);
        if (it == files_.end()) return;
        total_ -= it->second.size;
        byTick_.erase(it->second.tick);
        files_.erase(it);
    }

    void load(const std::string& folder) {
        if (folder == folder_) return;
        folder_ = folder;
        files_.clear();
        byTick_.clear();
        total_ = 0;
        struct Found {
            std::string name;
            size_t size;
            int64_t mtime;
        };
        std::vector<Found> found;
        if (DIR* dir = opendir(folder.c_str())) {
            while (dirent* e = readdir(dir)) {
                std::string name = e->d_name;
                struct stat st {};
                if (!isCacheFileName(name) || stat((folder + "/" + name).c_str(), &st) != 0) continue;
                found.push_back({name, static_cast<size_t>(st.st_size),
                                 int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec});
            }
            closedir(dir);
        }
        std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.mtime < b.mtime; });
        for (const auto& f : found) {
            uint64_t tick = ++clock_;
            files_[f.name] = {f.size, tick};
            byTick_[tick] = f.name;
            total_ += f.size;
        }
    }

    struct File {
        size_t size;
        uint64_t tick;
    };
    std::mutex mutex_;
    std::string folder_;
    std::unordered_map<std::string, File> files_;
    std::map<uint64_t, std::string> byTick_;
    uint64_t clock_ = 0;
    size_t total_ = 0;
};

std::atomic<size_t>& diskLimitSlot() {
    static std::atomic<size_t> limit{VelkoraCachedImageFetcher::kDefaultDiskLimit};
    return limit;
}

std::mutex& observerMutex() {
    static std::mutex m;
    return m;
}

std::function<void()>& decodeObserver() {
    static std::function<void()> observer;
    return observer;
}

std::shared_ptr<ui::Image> decode(const std::string& bytes) {
    {
        std::lock_guard lock(observerMutex());
        if (decodeObserver()) decodeObserver()();
    }
    return ui::Image::fromData(bytes);
}

std::string folderOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

} // namespace

std::shared_ptr<VelkoraCachedImageFetcher>
VelkoraCachedImageFetcher::create(std::weak_ptr<VelkoraCachedImageFetcherDelegate> delegate) {
    auto fetcher = std::shared_ptr<VelkoraCachedImageFetcher>(new VelkoraCachedImageFetcher());
    fetcher->delegate_ = std::move(delegate);
    return fetcher;
}

VelkoraCachedImageFetcher::~VelkoraCachedImageFetcher() {
    if (urlFetcher_) urlFetcher_->cancel();
}

std::string VelkoraCachedImageFetcher::cacheFolder() {
    std::string folder = foundation::Paths::temp() + "/" + kCacheFolderName;
    foundation::createDirectories(folder);
    return folder;
}

std::string VelkoraCachedImageFetcher::fileNameForUrl(const std::string& url) {
    return cacheFolder() + "/" + foundation::sha1Hex(url);
}

size_t VelkoraCachedImageFetcher::diskLimit() {
    return diskLimitSlot().load();
}

void VelkoraCachedImageFetcher::setDiskLimit(size_t bytes) {
    diskLimitSlot() = bytes;
    std::string folder = cacheFolder();
    queue().async([folder, bytes] { DiskIndex::shared().trim(folder, bytes); });
}

foundation::DispatchQueue& VelkoraCachedImageFetcher::queue() {
    // Never destroyed, like the loop and the global queue: a worker ending during the process's exit
    // would race the exit's own clean-up of what its thread holds.
    static auto* q =
        new std::shared_ptr<foundation::DispatchQueue>(foundation::DispatchQueue::create("velkora.image-cache"));
    return **q;
}

void VelkoraCachedImageFetcher::resetForTests() {
    queue().waitUntilIdle();
    diskLimitSlot() = kDefaultDiskLimit;
    DiskIndex::shared().reset();
    setDecodeObserver(nullptr);
}

void VelkoraCachedImageFetcher::setDecodeObserver(std::function<void()> observer) {
    std::lock_guard lock(observerMutex());
    decodeObserver() = std::move(observer);
}

bool VelkoraCachedImageFetcher::isCacheHit(const std::string& url) {
    auto fetcher = create();
    fetcher->serializeUrl(url);
    return fetcher->cacheHit();
}

bool VelkoraCachedImageFetcher::cacheHit() const {
    return !fileName_.empty() && foundation::fileExists(fileName_);
}

void VelkoraCachedImageFetcher::serializeUrl(const std::string& url) {
    fileName_ = fileNameForUrl(url);
}

void VelkoraCachedImageFetcher::getImage(const std::string& url) {
    url_ = url;
    serializeUrl(url);
    uint64_t generation = ++generation_;
    if (cacheHit()) {
        readFile(generation);
    } else {
        download();
    }
}

void VelkoraCachedImageFetcher::readFile(uint64_t generation) {
    auto self = shared_from_this();
    std::string file = fileName_;
    queue().async([self, generation, file] {
        if (!self->isCurrent(generation)) return;
        std::shared_ptr<ui::Image> image;
        auto bytes = foundation::readFile(file);
        if (bytes) image = decode(*bytes);
        std::string folder = folderOf(file), name = baseName(file);
        if (image) {
            DiskIndex::shared().used(folder, name, bytes->size());
        } else {
            // A damaged file would fail every later load: it goes, and the picture is fetched again.
            foundation::removeFile(file);
            DiskIndex::shared().forget(folder, name);
        }
        foundation::RunLoop::main().post([self, generation, image] {
            if (!self->isCurrent(generation)) return;
            if (image) {
                self->callDelegate(image);
            } else {
                self->download();
            }
        });
    });
}

void VelkoraCachedImageFetcher::download() {
    if (urlFetcher_) urlFetcher_->cancel();
    urlFetcher_ = VelkoraUrlFetcher::create(weak_from_this());
    urlFetcher_->getDataUrl(url_);
}

void VelkoraCachedImageFetcher::urlDidFinishWithData(VelkoraUrlFetcher& /*fetcher*/, const std::vector<uint8_t>& data) {
    auto self = shared_from_this();
    uint64_t generation = generation_.load();
    std::string file = fileName_;
    std::string bytes(data.begin(), data.end());
    size_t limit = diskLimit();
    queue().async([self, generation, file, bytes = std::move(bytes), limit] {
        if (!self->isCurrent(generation)) return;
        auto image = decode(bytes);
        // Only pictures are written: bytes that do not decode would fail every later load from disk.
        if (image && foundation::writeFileAtomically(file, bytes)) {
            std::string folder = folderOf(file);
            DiskIndex::shared().used(folder, baseName(file), bytes.size());
            DiskIndex::shared().trim(folder, limit);
        }
        foundation::RunLoop::main().post([self, generation, image] {
            if (!self->isCurrent(generation)) return;
            auto delegate = self->delegate();
            if (image) {
                if (delegate) delegate->cachedImageDidFinish(*self, image, false);
                return;
            }
            self->reportError(foundation::makeError(kCachedImageNotAnImageDomain, 0));
        });
    });
}

void VelkoraCachedImageFetcher::urlGotError(VelkoraUrlFetcher& /*fetcher*/, const foundation::ErrorPtr& error) {
    reportError(error);
}

void VelkoraCachedImageFetcher::reportError(const foundation::ErrorPtr& error) {
    foundation::Log::line("Velkora - Got CacheImage image error %@", fileName_);
    if (auto delegate = this->delegate()) delegate->cachedImageGotError(*this, error);
}

void VelkoraCachedImageFetcher::callDelegate(const std::shared_ptr<ui::Image>& image) {
    if (auto delegate = this->delegate()) delegate->cachedImageDidFinish(*this, image, true);
}

void VelkoraCachedImageFetcher::cancel() {
    ++generation_;
    delegate_.reset();
    if (urlFetcher_) {
        urlFetcher_->cancel();
        urlFetcher_.reset();
    }
}

} // namespace velkora
