// Processes the live tests run beside themselves: a child with its output read line by line, tools run to
// their end, and a virtual X display.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace velkora::testing {

using Clock = std::chrono::steady_clock;

inline std::string inPath(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && ::access((dir + "/" + tool).c_str(), X_OK) == 0) return dir + "/" + tool;
    return {};
}

// A child process, with its standard output read through a pipe when asked.
class Child {
public:
    bool start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv, bool readOutput,
               int keepFd = -1) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            env.emplace_back(*e);
        for (auto& e : extraEnv) {
            std::string key = e.substr(0, e.find('=') + 1);
            std::erase_if(env, [&](const std::string& x) { return x.rfind(key, 0) == 0; });
            env.push_back(e);
        }
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        int out[2] = {-1, -1};
        if (readOutput) {
            if (::pipe2(out, O_CLOEXEC) != 0) return false;
            posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        }
        (void)keepFd; // descriptors without O_CLOEXEC stay open in the child
        int rc = posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (readOutput) {
            ::close(out[1]);
            fd_ = out[0];
        }
        return rc == 0;
    }
    ~Child() { stop(); }
    pid_t pid() const { return pid_; }
    void signal(int sig) const {
        if (pid_ > 0) ::kill(pid_, sig);
    }
    int wait() {
        int status = -1;
        if (pid_ > 0) ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }
    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            wait();
        }
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // The next line of output that satisfies `wanted`, within the timeout; nullopt on timeout or end.
    std::optional<std::string> lineMatching(const std::function<bool(const std::string&)>& wanted, double seconds) {
        auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            for (size_t nl; (nl = buffer_.find('\n')) != std::string::npos;) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                log_ += line + "\n";
                if (wanted(line)) return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0 || fd_ < 0) return std::nullopt;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, int(left)) <= 0) continue;
            char chunk[4096];
            ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n <= 0) return std::nullopt;
            buffer_.append(chunk, size_t(n));
        }
    }
    const std::string& log() const { return log_; }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string buffer_, log_;
};

inline int runTool(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    Child c;
    if (!c.start(args, env, false)) return -1;
    int status = c.wait();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts Xvfb, which picks a free display itself and writes its number when it is ready for clients;
// answers the display's name (":N"), empty when it did not start.
inline std::string startXvfb(Child& x, const std::string& xvfb, const std::string& screen = "800x700x24") {
    int ready[2];
    if (::pipe(ready) != 0) return {};
    const bool started =
        x.start({xvfb, "-displayfd", std::to_string(ready[1]), "-screen", "0", screen, "-nolisten", "tcp", "-noreset"},
                {}, false);
    ::close(ready[1]);
    std::string number;
    pollfd p{ready[0], POLLIN, 0};
    char c;
    while (started && ::poll(&p, 1, 20000) > 0 && ::read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(ready[0]);
    return number.empty() ? std::string() : ":" + number;
}

} // namespace velkora::testing
