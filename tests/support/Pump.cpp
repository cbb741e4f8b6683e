#include "support/Pump.h"

#include "platform/MessageQueue.h"
#include "platform/Messaging.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace testsupport {

void PumpPending() {
    platform::MSG msg;
    while (platform::PeekMessage(msg, true)) {
        platform::DispatchMessage(msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, std::uint64_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        PumpPending();
        if (done()) {
            return true;
        }
        const auto now = Clock::now();
        if (now >= end) {
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count() + 1;
        if (platform::ClockIsManual()) {
            // The queue's own waits follow the stopped clock; look again shortly.
            platform::MessageQueue::Current()->WaitForMessage(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(left, 2)));
        } else {
            platform::MessageQueue::Current()->WaitForMessage(static_cast<std::uint64_t>(left));
        }
    }
}

void PumpFor(std::uint64_t milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

bool AdvanceUntil(platform::ManualClock& clock, const std::function<bool()>& done,
                  std::uint64_t limitMs, std::uint64_t stepMs) {
    PumpPending();
    for (std::uint64_t moved = 0; !done(); moved += stepMs) {
        if (moved >= limitMs) {
            return false;
        }
        clock.Advance(stepMs);
        PumpPending();
    }
    return true;
}

void Advance(platform::ManualClock& clock, std::uint64_t ms) {
    for (std::uint64_t i = 0; i < ms; ++i) {
        clock.Advance(1);
        PumpPending();
    }
}

} // namespace testsupport
