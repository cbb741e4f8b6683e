#pragma once
// A virtual display for end-to-end tests: Xvfb on a free display number at 1920 x 1080 and 96 dpi,
// no window manager, so the work area is the whole screen. The process's DISPLAY points at it.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

class Xvfb {
public:
    Xvfb() {
        for (int n = 90; n < 140; ++n) {
            if (std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock") ||
                std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) {
                continue;
            }
            display_ = ":" + std::to_string(n);
            pid_ = fork();
            if (pid_ == 0) {
                execlp("Xvfb", "Xvfb", display_.c_str(), "-screen", "0", "1920x1080x24", "-dpi",
                       "96", "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
                _exit(127);
            }
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            for (int i = 0; i < 100; ++i) {
                if (std::filesystem::exists(socket)) {
                    setenv("DISPLAY", display_.c_str(), 1);
                    setenv("NO_AT_BRIDGE", "1", 1);
                    return;
                }
                int status = 0;
                if (waitpid(pid_, &status, WNOHANG) == pid_) {
                    break; // this number was taken after all; try the next
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            Stop();
        }
        std::fprintf(stderr, "Xvfb could not be started (is the xvfb package installed?)\n");
        std::abort();
    }
    ~Xvfb() { Stop(); }
    const std::string& Display() const { return display_; }

private:
    void Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    std::string display_;
    pid_t pid_ = -1;
};

} // namespace testsupport
