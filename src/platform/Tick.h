#pragma once
// The one clock that timers, animations, toasts, retries and the idle loop read: milliseconds of
// the monotonic clock, the stand-in for GetTickCount (never wraps here). Tests stop it and move
// it by hand, so that nothing they assert depends on how fast a loaded machine runs.
#include <cstdint>

namespace platform {

std::uint64_t GetTickCount();

// While one exists (tests only, one at a time), the clock stands still at its reading and moves
// only by Advance; blocked queues then wait for a message or for Advance, not for time.
class ManualClock {
public:
    ManualClock();
    ~ManualClock();
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;

    // Moves the clock on and wakes every thread's queue, so that what fell due is served.
    void Advance(std::uint64_t ms);
};

bool ClockIsManual();

} // namespace platform
