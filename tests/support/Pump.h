#pragma once
// Runs the calling thread's message loop, as the user-interface thread does, until a condition
// holds or the time runs out.
#include <cstdint>
#include <functional>

namespace testsupport {

bool PumpUntil(const std::function<bool()>& done, std::uint64_t timeoutMs);
void PumpFor(std::uint64_t milliseconds);

} // namespace testsupport
