#pragma once
// A waitable event with the meaning of a Win32 event object: manual-reset events stay signalled
// until reset; auto-reset events release one waiter and clear themselves.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

class Event {
public:
    Event(bool manualReset, bool initialState);
    void Set();
    void Reset();
    bool IsSet() const;
    // Waits until signalled; a negative timeout waits forever. Returns false on time-out.
    bool Wait(std::int64_t timeoutMs = -1);

private:
    const bool manual_;
    bool state_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
};

} // namespace platform
