#pragma once
#include <cstdint>

namespace platform {

// Milliseconds of a monotonic clock, the stand-in for GetTickCount (never wraps here).
std::uint64_t GetTickCount();

} // namespace platform
