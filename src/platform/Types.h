#pragma once
// The handle and parameter types of the message model. Handles are process-unique 64-bit numbers
// that are never reused, so a message aimed at a destroyed target can always be recognised.
#include <cstdint>
#include <functional>

namespace platform {

using HWND = std::uint64_t;
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;

struct MSG {
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::uint64_t time = 0;
};

using WndProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
// Called through the owning thread's queue with the window (0 for a thread timer), the timer id
// and the tick at which the timer message was produced.
using TimerProc = std::function<void(HWND, UINT_PTR, std::uint64_t)>;

inline constexpr std::int16_t LowWord(LPARAM v) {
    return static_cast<std::int16_t>(v & 0xFFFF);
}
inline constexpr std::int16_t HighWord(LPARAM v) {
    return static_cast<std::int16_t>((v >> 16) & 0xFFFF);
}
inline constexpr LPARAM MakeLParam(int low, int high) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(high & 0xFFFF) << 16) |
                               static_cast<std::uint32_t>(low & 0xFFFF));
}

} // namespace platform
