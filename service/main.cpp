// velkora-service as a program: serves until SIGTERM or SIGINT. Prints "port N" and "ca FILE" on
// standard output once it listens, so a parent process can read where to connect and what to trust.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "velkora_service/Service.h"

namespace {

void usage() {
    std::fprintf(stderr, "usage: velkora-service [--data DIR] [--port N] [--no-seed]\n");
}

std::string defaultDataDir() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return std::string(xdg) + "/velkora-service";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.local/share/velkora-service";
    return "velkora-service-data";
}

} // namespace

int main(int argc, char** argv) {
    velkora::service::ServiceOptions options;
    options.dataDir = defaultDataDir();
    options.welcomeNewUsers = true;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--data" && i + 1 < argc) {
            options.dataDir = argv[++i];
        } else if (arg == "--port" && i + 1 < argc) {
            char* end = nullptr;
            long port = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || port < 0 || port > 65535) {
                usage();
                return 2;
            }
            options.port = static_cast<uint16_t>(port);
        } else if (arg == "--no-seed") {
            options.seedDemo = false;
        } else {
            usage();
            return 2;
        }
    }

    // The signals are taken by sigwait below, not by a handler, so stopping runs on the main thread.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    velkora::service::Service service(options);
    if (!service.start()) return 1;
    std::printf("port %u\nca %s\n", unsigned(service.port()), service.caFile().c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    service.stop();
    return 0;
}
