#include "support/Pump.h"

#include "platform/MessageQueue.h"
#include "platform/Messaging.h"
#include "platform/Tick.h"

namespace testsupport {

bool PumpUntil(const std::function<bool()>& done, std::uint64_t timeoutMs) {
    const std::uint64_t end = platform::GetTickCount() + timeoutMs;
    for (;;) {
        platform::MSG msg;
        while (platform::PeekMessage(msg, true)) {
            platform::DispatchMessage(msg);
        }
        if (done()) {
            return true;
        }
        const std::uint64_t now = platform::GetTickCount();
        if (now >= end) {
            return false;
        }
        platform::MessageQueue::Current()->WaitForMessage(end - now);
    }
}

void PumpFor(std::uint64_t milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

} // namespace testsupport
