#pragma once
// Waits, serving the loop, until every request this thread started has been delivered: what a
// test then finds at its server (or does not find) is all there will be, without waiting for time
// to pass.
#include "net/ThreadDispatcher.h"
#include "support/Pump.h"

namespace nettest {

inline bool PumpUntilRequestsDone(std::uint64_t timeoutMs = 10000) {
    const auto dispatcher = SimpleCurl::CThreadDispatcher::Current();
    const bool done =
        testsupport::PumpUntil([&] { return dispatcher->InFlight() == 0; }, timeoutMs);
    testsupport::PumpPending();
    return done;
}

} // namespace nettest
