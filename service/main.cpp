// quillmere-service: the reference face service. Stops cleanly on SIGINT, SIGTERM and SIGHUP.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>

#include "service/command_line.h"
#include "service/face_service.h"

namespace {

// An installed service finds its samples beside itself, in ../share/quillmere/samples.
std::string InstalledAssetsDir() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return {};
    }
    const auto dir = self.parent_path().parent_path() / "share" / "quillmere" / "samples";
    return std::filesystem::is_directory(dir, ec) ? dir.string() : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    using quill::service::CommandLine;
    quill::service::ServiceConfig defaults = quill::service::ServiceConfig::Defaults();
    if (std::string installed = InstalledAssetsDir(); !installed.empty()) {
        defaults.assetsDir = installed;
    }
    const CommandLine command =
        quill::service::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), defaults);
    if (command.action == CommandLine::Action::Help) {
        std::fputs(command.message.c_str(), stdout);
        return 0;
    }
    if (command.action == CommandLine::Action::Error) {
        std::fputs(command.message.c_str(), stderr);
        return 2;
    }

    // Signals go to one waiting thread, never into the middle of a request.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    quill::service::FaceService service(command.config);
    std::string error;
    if (!service.Start(error)) {
        std::fprintf(stderr, "quillmere-service: %s\n", error.c_str());
        return 1;
    }
    std::atomic<bool> serving{true};
    std::thread waiter([&service, &serving, signals] {
        int received = 0;
        sigwait(&signals, &received);
        if (serving) {
            service.Stop();
        }
    });
    std::fprintf(stderr, "quillmere-service: listening on https://127.0.0.1:%d with %d workers\n",
                 service.Port(), command.config.workers);
    service.Serve();
    // Wake the waiter if the service ended on its own, so it can be joined.
    serving = false;
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    std::fprintf(stderr, "quillmere-service: stopped\n");
    return 0;
}
