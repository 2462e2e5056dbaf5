#include "platform/foundation/FileIO.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/foundation/Uuid.h"

namespace velkora::foundation {

namespace {

bool fail(ErrorPtr* error, const std::string& what, const std::string& path, int err) {
    if (error) {
        *error = makeError(kFileErrorDomain, err,
                           Value(Dictionary{{"operation", what}, {"path", path}, {"reason", std::strerror(err)}}));
    }
    return false;
}

std::string folderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The temporaries this process is writing right now, which a save of the same file on another thread
// must leave alone. Never destroyed: a background save may still be finishing while the process exits.
std::mutex& g_inFlightMutex = *new std::mutex;
std::set<std::string>& g_inFlight = *new std::set<std::string>;

bool isUuid(std::string_view text) {
    if (text.size() != 36) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

// The temporary of a save of `name` is ".<name>.<pid>-<uuid>.tmp"; saves before the process id was
// part of it wrote ".<name>.<uuid>.tmp". Answers the writer's process id (0 for the older form), or -1
// when `entry` is not a temporary of `name`.
pid_t temporaryOwner(std::string_view entry, std::string_view name) {
    std::string prefix = std::string(".").append(name).append(".");
    if (entry.size() <= prefix.size() + 4 || entry.substr(0, prefix.size()) != prefix ||
        entry.substr(entry.size() - 4) != ".tmp")
        return -1;
    std::string_view middle = entry.substr(prefix.size(), entry.size() - prefix.size() - 4);
    if (isUuid(middle)) return 0;
    size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 10 || !isUuid(middle.substr(dash + 1))) return -1;
    pid_t pid = 0;
    for (char c : middle.substr(0, dash)) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

bool processIsAlive(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// A save killed midway leaves its temporary behind; the next save of the same file clears those of
// writers that are gone, and leaves the ones other processes or threads are writing now.
void removeStaleTemporaries(const std::string& dir, const std::string& name) {
    DIR* folder = ::opendir(dir.c_str());
    if (!folder) return;
    std::vector<std::string> stale;
    while (dirent* entry = ::readdir(folder)) {
        pid_t owner = temporaryOwner(entry->d_name, name);
        if (owner < 0 || (owner != ::getpid() && processIsAlive(owner))) continue;
        stale.push_back(dir + "/" + entry->d_name);
    }
    ::closedir(folder);
    std::lock_guard lock(g_inFlightMutex);
    for (const std::string& path : stale)
        if (!g_inFlight.count(path)) ::unlink(path.c_str());
}

bool writeFileNow(const std::string& path, std::string_view bytes, ErrorPtr* error);

// The writer thread and the writes it has yet to land. Never destroyed: it works while statics go.
struct BackgroundWriter {
    struct Job {
        std::string path, bytes;
        std::function<void(const ErrorPtr&)> done;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    std::map<std::string, int> pendingByPath; // asked for and not yet landed, the one being written included
    std::atomic<int> pending{0};
    bool running = false;

    static BackgroundWriter*& slot() {
        static BackgroundWriter* writer = nullptr;
        return writer;
    }

    static BackgroundWriter& instance() {
        static const bool once = [] {
            slot() = new BackgroundWriter();
            // A child forked while writes wait has no writer thread and none of its parent's writes: it
            // starts a writer of its own; the parent's, whose lock and wake-ups it copied, is let go.
            ::pthread_atfork([] { slot()->mutex.lock(); }, [] { slot()->mutex.unlock(); },
                             [] { slot() = new BackgroundWriter(); });
            // A process that ends normally lands what it asked for first.
            std::atexit([] { waitForBackgroundWrites(); });
            return true;
        }();
        (void)once;
        return *slot();
    }

    void enqueue(Job job) {
        std::lock_guard lock(mutex);
        if (!running) {
            running = true;
            std::thread([this] { work(); }).detach();
        }
        // A write of the same path still waiting is replaced by this newer one: only the newest content
        // lands, however fast the saves come.
        for (auto it = jobs.rbegin(); it != jobs.rend(); ++it) {
            if (it->path != job.path) continue;
            it->bytes = std::move(job.bytes);
            if (job.done) {
                it->done = [first = std::move(it->done), second = std::move(job.done)](const ErrorPtr& error) {
                    if (first) first(error);
                    second(error);
                };
            }
            return;
        }
        ++pendingByPath[job.path];
        ++pending;
        jobs.push_back(std::move(job));
        changed.notify_all();
    }

    void work() {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return !jobs.empty(); });
            Job job = std::move(jobs.front());
            jobs.pop_front();
            lock.unlock();
            ErrorPtr error;
            writeFileNow(job.path, job.bytes, &error);
            if (job.done) job.done(error);
            lock.lock();
            if (--pendingByPath[job.path] == 0) pendingByPath.erase(job.path);
            --pending;
            changed.notify_all();
        }
    }

    void waitFor(const std::string& path) {
        if (pending.load() == 0) return;
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !pendingByPath.count(path); });
    }

    void waitForAll() {
        if (pending.load() == 0) return;
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return pending.load() == 0; });
    }
};

} // namespace

void writeFileAtomicallyInBackground(std::string path, std::string bytes, std::function<void(const ErrorPtr&)> done) {
    BackgroundWriter::instance().enqueue({std::move(path), std::move(bytes), std::move(done)});
}

void waitForBackgroundWrites() {
    BackgroundWriter::instance().waitForAll();
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, ErrorPtr* error) {
    // A write asked for now lands after the ones asked for earlier, never under them.
    BackgroundWriter::instance().waitFor(path);
    return writeFileNow(path, bytes, error);
}

namespace {

bool writeFileNow(const std::string& path, std::string_view bytes, ErrorPtr* error) {
    if (path.empty() || path.back() == '/') return fail(error, "open", path, EINVAL);
    std::string dir = folderOf(path);
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    std::string tmp = dir + "/." + name + "." + std::to_string(::getpid()) + "-" + uuidV4() + ".tmp";

    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return fail(error, "open", tmp, errno);
    {
        std::lock_guard lock(g_inFlightMutex);
        g_inFlight.insert(tmp);
    }
    struct Done {
        const std::string& tmp;
        ~Done() {
            std::lock_guard lock(g_inFlightMutex);
            g_inFlight.erase(tmp);
        }
    } done{tmp};

    auto abandon = [&](const char* what, int err) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return fail(error, what, path, err);
    };

    // Keep the old file's permissions, so a rewrite does not widen or narrow who may read it.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);

    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return abandon("write", errno);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) return abandon("fsync", errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        return fail(error, "close", path, err);
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        return fail(error, "rename", path, err);
    }
    // The rename is durable only once the folder itself is on disk.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    removeStaleTemporaries(dir, name);
    return true;
}

} // namespace

std::optional<std::string> readFile(const std::string& path) {
    BackgroundWriter::instance().waitFor(path);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string out;
    if (st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return out;
}

bool fileExists(const std::string& path) {
    BackgroundWriter::instance().waitFor(path);
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool removeFile(const std::string& path) {
    if (path.empty()) return false;
    BackgroundWriter::instance().waitFor(path);
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    if (errno == EISDIR || errno == EPERM) return ::rmdir(path.c_str()) == 0;
    return false;
}

bool createDirectories(const std::string& path) {
    if (path.empty()) return false;
    // Mostly the folder is there already: one look answers it.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

std::string createTemporaryDirectory(const std::string& prefix) {
    std::error_code ec;
    auto base = std::filesystem::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string pattern = (base / (prefix + "XXXXXX")).string();
    char* made = ::mkdtemp(pattern.data());
    return made ? std::string(made) : std::string();
}

bool removeTree(const std::string& path) {
    if (path.empty()) return false;
    BackgroundWriter::instance().waitForAll();
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    return !ec && !std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

} // namespace velkora::foundation
