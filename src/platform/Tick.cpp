#include "platform/Tick.h"

#include "platform/MessageQueue.h"

#include <atomic>
#include <chrono>

namespace platform {

namespace {

std::atomic<bool> manual{false};
std::atomic<std::uint64_t> manualNow{0};

std::uint64_t SystemTicks() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

std::uint64_t GetTickCount() {
    return manual.load(std::memory_order_acquire) ? manualNow.load(std::memory_order_acquire)
                                                  : SystemTicks();
}

bool ClockIsManual() {
    return manual.load(std::memory_order_acquire);
}

ManualClock::ManualClock() {
    // Starting where the system clock stands keeps the reading monotonic across the switch.
    manualNow.store(SystemTicks(), std::memory_order_release);
    manual.store(true, std::memory_order_release);
    MessageQueue::WakeAll();
}

ManualClock::~ManualClock() {
    manual.store(false, std::memory_order_release);
    MessageQueue::WakeAll();
}

void ManualClock::Advance(std::uint64_t ms) {
    manualNow.fetch_add(ms, std::memory_order_acq_rel);
    MessageQueue::WakeAll();
}

} // namespace platform
