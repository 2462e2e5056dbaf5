// velkora-service run as a child process: started with a scratch data folder and an ephemeral port,
// its "port N" and "ca FILE" lines read through the run loop, stopped with SIGTERM.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

namespace velkora::demo {

class ServiceProcess {
public:
    ServiceProcess();
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    // Starts the program and pumps the main run loop until it says where it listens, it exits, or the
    // real timeout passes. On failure `error` says why and no child is left running.
    bool start(const std::string& program, const std::string& dataDir, double timeoutSeconds, std::string* error);
    // SIGTERM, then SIGKILL if it has not gone within the timeout. Answers the exit status text.
    std::string stop(double timeoutSeconds = 5.0);

    int port() const { return port_; }
    const std::string& caFile() const { return caFile_; }
    pid_t pid() const { return pid_; }

private:
    class Output;
    bool reap(int* status);

    pid_t pid_ = -1;
    int port_ = 0;
    std::string caFile_;
    std::unique_ptr<Output> output_;
};

} // namespace velkora::demo
