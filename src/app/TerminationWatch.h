#pragma once
// The desktop ends a program with SIGTERM at logout or shutdown. The teacher's work must then be
// kept as when the window is closed, which only the user-interface thread can do; so SIGTERM is
// blocked in every thread and one thread of its own waits for it and hands it over.
#include <atomic>
#include <functional>
#include <thread>

namespace Plenvo {

class CTerminationWatch {
public:
    // Call first in main, before any thread exists: threads inherit the blocked signal.
    static void BlockInProcess();
    // True when BlockInProcess ran; otherwise SIGTERM ends the process as by default.
    static bool Blocked();

    // onTerminate runs on the watch thread for every SIGTERM (post from it, do no more).
    explicit CTerminationWatch(std::function<void()> onTerminate);
    ~CTerminationWatch();
    CTerminationWatch(const CTerminationWatch&) = delete;
    CTerminationWatch& operator=(const CTerminationWatch&) = delete;

private:
    const std::function<void()> onTerminate_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace Plenvo
