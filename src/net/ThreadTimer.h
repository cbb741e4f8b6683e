#pragma once
// Periodic callbacks keyed by a timer id, without a window. A timer fires on the thread that
// registered it, through that thread's message loop, until it is killed.
#include "platform/Types.h"

#include <functional>

namespace SimpleCurl {

using ThreadTimerCallback = std::function<void(platform::UINT_PTR id)>;

// Returns the new timer's id (never 0).
platform::UINT_PTR RegisterThreadTimer(unsigned periodMs, ThreadTimerCallback callback);
// Restarts the timer with a new period; an unknown or killed id is ignored.
void SetThreadTimer(platform::UINT_PTR id, unsigned periodMs);
void KillThreadTimer(platform::UINT_PTR id);

} // namespace SimpleCurl
