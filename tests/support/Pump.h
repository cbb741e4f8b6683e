#pragma once
// Runs the calling thread's message loop, as the user-interface thread does, until a condition
// holds or the time runs out.
#include "platform/Tick.h"

#include <cstdint>
#include <functional>

namespace testsupport {

// The limit is real time and only bounds a test that would otherwise hang: with the program's
// clock driven by hand, the loop still serves what other threads post.
bool PumpUntil(const std::function<bool()>& done, std::uint64_t timeoutMs);
void PumpFor(std::uint64_t milliseconds);
// Serves everything that is ready now (posted messages, timers due by the clock), then returns.
void PumpPending();
// Moves the hand-driven clock on in steps, serving what falls due after each, until the
// condition holds (true) or the clock has moved limitMs (false).
bool AdvanceUntil(platform::ManualClock& clock, const std::function<bool()>& done,
                  std::uint64_t limitMs, std::uint64_t stepMs = 1);
// Moves the clock on by ms in steps of one millisecond, serving what falls due.
void Advance(platform::ManualClock& clock, std::uint64_t ms);

} // namespace testsupport
