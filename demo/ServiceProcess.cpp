#include "ServiceProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/foundation/RunLoop.h"

namespace velkora::demo {

using foundation::RunLoop;

// The child's standard output, read by the run loop as an I/O source, split into lines.
class ServiceProcess::Output final : public foundation::IoSource {
public:
    explicit Output(int fd) : fd_(fd) { RunLoop::main().addSource(this); }
    ~Output() override {
        RunLoop::main().removeSource(this);
        if (fd_ >= 0) ::close(fd_);
    }

    int prepare(std::vector<pollfd>& fds) override {
        if (fd_ >= 0) fds.push_back({fd_, POLLIN, 0});
        return -1;
    }

    void dispatch(const pollfd* fds, size_t count) override {
        if (count == 0 || !(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) return;
        char buf[4096];
        ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
            ::close(fd_);
            fd_ = -1;
            closed = true;
            return;
        }
        pending_.append(buf, static_cast<size_t>(n));
        for (size_t nl; (nl = pending_.find('\n')) != std::string::npos;) {
            lines.push_back(pending_.substr(0, nl));
            pending_.erase(0, nl + 1);
        }
    }

    std::vector<std::string> lines;
    bool closed = false;

private:
    int fd_;
    std::string pending_;
};

namespace {

std::string describeStatus(int status) {
    if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "was killed by signal " + std::to_string(WTERMSIG(status));
    return "is gone";
}

} // namespace

ServiceProcess::ServiceProcess() = default;

ServiceProcess::~ServiceProcess() {
    if (pid_ > 0) stop();
}

bool ServiceProcess::start(const std::string& program, const std::string& dataDir, double timeoutSeconds,
                           std::string* error) {
    auto failWith = [&](std::string why) {
        if (error) *error = std::move(why);
        if (pid_ > 0) stop();
        return false;
    };
    if (::access(program.c_str(), X_OK) != 0) return failWith(program + " is absent or not executable");

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return failWith(std::string("pipe: ") + std::strerror(errno));
    pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return failWith(std::string("fork: ") + std::strerror(errno));
    }
    if (pid == 0) {
        // The service goes with the demo, however the demo ends.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) _exit(127);
        ::dup2(fds[1], STDOUT_FILENO);
        const char* argv[] = {program.c_str(), "--port", "0", "--data", dataDir.c_str(), nullptr};
        ::execv(program.c_str(), const_cast<char* const*>(argv));
        _exit(127);
    }
    ::close(fds[1]);
    pid_ = pid;
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    output_ = std::make_unique<Output>(fds[0]);

    int status = 0;
    bool exited = false;
    RunLoop::main().runUntil(
        [&] {
            for (const auto& line : output_->lines) {
                if (line.rfind("port ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
                if (line.rfind("ca ", 0) == 0) caFile_ = line.substr(3);
            }
            if (!exited && reap(&status)) exited = true;
            return (port_ > 0 && !caFile_.empty()) || exited || output_->closed;
        },
        timeoutSeconds);
    // Its output ended without the lines: it is on its way out, so wait a moment for its status.
    if (!exited && output_->closed) exited = RunLoop::main().runUntil([&] { return reap(&status); }, 2.0);
    if (exited) {
        pid_ = -1;
        output_.reset();
        return failWith("velkora-service " + describeStatus(status) + " at start");
    }
    if (port_ <= 0) return failWith("velkora-service did not say where it listens");
    return true;
}

bool ServiceProcess::reap(int* status) {
    if (pid_ <= 0) return true;
    pid_t r = ::waitpid(pid_, status, WNOHANG);
    return r == pid_ || (r < 0 && errno == ECHILD);
}

std::string ServiceProcess::stop(double timeoutSeconds) {
    if (pid_ <= 0) return "not running";
    ::kill(pid_, SIGTERM);
    int status = 0;
    bool gone = RunLoop::main().runUntil([&] { return reap(&status); }, timeoutSeconds);
    if (!gone) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    output_.reset();
    return describeStatus(status);
}

} // namespace velkora::demo
