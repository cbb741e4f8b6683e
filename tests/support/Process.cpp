#include "support/Process.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

Process::Process(const std::vector<std::string>& argv, const std::string& workingFolder,
                 const std::map<std::string, std::string>& environment,
                 const std::string& outputFile, const std::vector<std::string>& unsetVariables)
    : outputFile_(outputFile) {
    pid_ = fork();
    if (pid_ == 0) {
        if (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0) {
            _exit(126);
        }
        for (const auto& key : unsetVariables) {
            unsetenv(key.c_str());
        }
        for (const auto& [key, value] : environment) {
            setenv(key.c_str(), value.c_str(), 1);
        }
        const int fd = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
            close(fd);
        }
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
}

Process::~Process() {
    Kill();
}

bool Process::Running() {
    if (exit_ || pid_ <= 0) {
        return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return false;
    }
    return true;
}

std::optional<int> Process::Wait(unsigned timeoutMs) {
    WaitFor([this] { return !Running(); }, timeoutMs, 10);
    return exit_;
}

void Process::Kill() {
    if (Running()) {
        kill(pid_, SIGTERM);
        if (!Wait(3000)) {
            kill(pid_, SIGKILL);
            Wait(3000);
        }
    }
}

std::string Process::Output() const {
    std::ifstream in(outputFile_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WaitFor(const std::function<bool()>& condition, unsigned timeoutMs, unsigned stepMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
    return true;
}

} // namespace testsupport
