#pragma once
// A program started by a test: its own working folder, extra environment, standard output and
// error captured in a file, stopped at the end of the test if still running.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

class Process {
public:
    Process(const std::vector<std::string>& argv, const std::string& workingFolder,
            const std::map<std::string, std::string>& environment, const std::string& outputFile,
            const std::vector<std::string>& unsetVariables = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t Pid() const { return pid_; }
    bool Running();
    // The exit code once the program ended within the time, -1 for a signal; none on time-out.
    std::optional<int> Wait(unsigned timeoutMs);
    void Kill();
    std::string Output() const;

private:
    pid_t pid_ = -1;
    std::optional<int> exit_;
    std::string outputFile_;
};

// Polls until the condition holds; false after the time.
bool WaitFor(const std::function<bool()>& condition, unsigned timeoutMs, unsigned stepMs = 50);

} // namespace testsupport
