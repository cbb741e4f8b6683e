#include "platform/Event.h"

#include <chrono>

namespace platform {

Event::Event(bool manualReset, bool initialState) : manual_(manualReset), state_(initialState) {}

void Event::Set() {
    {
        std::lock_guard lock(mutex_);
        state_ = true;
    }
    if (manual_) {
        cv_.notify_all();
    } else {
        cv_.notify_one();
    }
}

void Event::Reset() {
    std::lock_guard lock(mutex_);
    state_ = false;
}

bool Event::IsSet() const {
    std::lock_guard lock(mutex_);
    return state_;
}

bool Event::Wait(std::int64_t timeoutMs) {
    std::unique_lock lock(mutex_);
    const auto signalled = [this] { return state_; };
    if (timeoutMs < 0) {
        cv_.wait(lock, signalled);
    } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), signalled)) {
        return false;
    }
    if (!manual_) {
        state_ = false;
    }
    return true;
}

} // namespace platform
