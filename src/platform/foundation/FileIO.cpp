#include "platform/foundation/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

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

} // namespace

bool writeFileAtomically(const std::string& path, std::string_view bytes, ErrorPtr* error) {
    if (path.empty() || path.back() == '/') return fail(error, "open", path, EINVAL);
    std::string dir = folderOf(path);
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    std::string tmp = dir + "/." + name + "." + uuidV4() + ".tmp";

    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return fail(error, "open", tmp, errno);

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
    return true;
}

std::optional<std::string> readFile(const std::string& path) {
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
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool removeFile(const std::string& path) {
    if (path.empty()) return false;
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    if (errno == EISDIR || errno == EPERM) return ::rmdir(path.c_str()) == 0;
    return false;
}

bool createDirectories(const std::string& path) {
    if (path.empty()) return false;
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
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    return !ec && !std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

} // namespace velkora::foundation
