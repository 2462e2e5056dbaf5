#include "platform/foundation/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "platform/foundation/FileIO.h"

namespace velkora::foundation {

namespace {

struct PathState {
    std::mutex mutex;
    std::string appName;
    std::string documents, caches, temp; // empty: the default
};

PathState& state() {
    static PathState* s = new PathState();
    return *s;
}

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v == '/' ? std::string(v) : std::string(); // XDG ignores relative paths
}

std::string home() {
    const char* h = std::getenv("HOME");
    if (h && *h) return h;
    return "/tmp";
}

std::string programName() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::string name = ec ? std::string() : exe.filename().string();
    return name.empty() ? std::string("app") : name;
}

std::string defaultAppName(PathState& s) {
    if (s.appName.empty()) s.appName = programName();
    return s.appName;
}

std::string ensured(std::string path) {
    createDirectories(path);
    return path;
}

} // namespace

// The folder set for it, else <$xdgVar or $HOME/homeFallback>/velkora/<app>, created when missing.
static std::string xdgFolder(std::string PathState::*override, const char* xdgVar, const char* homeFallback) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (!(s.*override).empty()) return ensured(s.*override);
    std::string base = env(xdgVar);
    if (base.empty()) base = home() + homeFallback;
    return ensured(base + "/velkora/" + defaultAppName(s));
}

std::string Paths::documents() {
    return xdgFolder(&PathState::documents, "XDG_DATA_HOME", "/.local/share");
}

std::string Paths::caches() {
    return xdgFolder(&PathState::caches, "XDG_CACHE_HOME", "/.cache");
}

std::string Paths::temp() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.temp.empty()) return ensured(s.temp);
    std::string base = env("TMPDIR");
    if (base.empty()) base = "/tmp";
    std::string path = base + "/velkora-" + defaultAppName(s) + "-" + std::to_string(getuid());
    // The shared temporary folder is writable by everyone: a name made there in advance by someone else
    // (a symbolic link, or a folder of another user) would receive our files. Use it only when it is
    // our own private folder; otherwise take a fresh one for this process.
    ::mkdir(path.c_str(), 0700);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()) {
        if ((st.st_mode & 077) != 0) ::chmod(path.c_str(), 0700);
        return path;
    }
    std::string fresh = createTemporaryDirectory("velkora-" + defaultAppName(s) + "-");
    if (fresh.empty()) return path; // nothing better to offer; writes there will report their failures
    s.temp = fresh;
    return fresh;
}

std::string Paths::appName() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return defaultAppName(s);
}

void Paths::setAppName(const std::string& name) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    // A name is one path component: separators would move the folders elsewhere.
    std::string clean;
    for (char c : name)
        clean += (c == '/' || c == '\0') ? '_' : c;
    if (clean == "." || clean == "..") clean.clear();
    s.appName = clean;
}

void Paths::setRoot(const std::string& root) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.documents = root + "/Documents";
    s.caches = root + "/Caches";
    s.temp = root + "/tmp";
}

void Paths::setDocuments(const std::string& path) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.documents = path;
}

void Paths::setCaches(const std::string& path) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.caches = path;
}

void Paths::setTemp(const std::string& path) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.temp = path;
}

void Paths::reset() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.appName.clear();
    s.documents.clear();
    s.caches.clear();
    s.temp.clear();
}

} // namespace velkora::foundation
