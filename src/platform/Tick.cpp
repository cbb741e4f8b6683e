#include "platform/Tick.h"

#include "platform/MessageQueue.h"

#include <atomic>
#include <chrono>

namespace platform {

namespace {

std::atomic<bool> manual{false};
std::atomic<std::uint64_t> manualNow{0};
// Added to the system clock so that the reading never goes back after a hand-driven stretch.
std::atomic<std::uint64_t> offset{0};

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
    // Starting where the clock stands keeps the reading monotonic across the switch.
    manualNow.store(GetTickCount(), std::memory_order_release);
    manual.store(true, std::memory_order_release);
    MessageQueue::WakeAll();
}

ManualClock::~ManualClock() {
    // The system clock goes on from where the hand-driven one stopped, never from before it.
    const std::uint64_t stopped = manualNow.load();
    const std::uint64_t system = SystemTicks();
    if (stopped > system + offset.load()) {
        offset.store(stopped - system);
    }
    manual.store(false, std::memory_order_release);
    MessageQueue::WakeAll();
}

void ManualClock::Advance(std::uint64_t ms) {
    manualNow.fetch_add(ms, std::memory_order_acq_rel);
    MessageQueue::WakeAll();
}

} // namespace platform
