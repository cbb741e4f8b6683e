#pragma once
// Colours as one 32-bit ARGB value (alpha in the top byte), the form the element descriptions
// produce. 0x00FFFFFF, transparent white, doubles as "no colour".
#include <cstdint>

namespace gfx {

using Color = std::uint32_t;

inline constexpr Color kNoColor = 0x00FFFFFF;

inline constexpr Color MakeArgb(unsigned a, unsigned r, unsigned g, unsigned b) {
    return ((a & 0xFFu) << 24) | ((r & 0xFFu) << 16) | ((g & 0xFFu) << 8) | (b & 0xFFu);
}
inline constexpr unsigned AlphaOf(Color c) {
    return (c >> 24) & 0xFFu;
}
inline constexpr unsigned RedOf(Color c) {
    return (c >> 16) & 0xFFu;
}
inline constexpr unsigned GreenOf(Color c) {
    return (c >> 8) & 0xFFu;
}
inline constexpr unsigned BlueOf(Color c) {
    return c & 0xFFu;
}

} // namespace gfx
