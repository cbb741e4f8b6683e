#pragma once
// The stamp that names a saved version of a plan and goes with every save to the service: a
// counter value and the local wall-clock time, "a.b.c" with c the high and b the low half of the
// local time in 100 ns steps since 1601, a the low half of a fine monotonic counter.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

namespace Plenvo {

struct CVersionStamp {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::uint32_t c = 0;

    // The stamp of this moment.
    static CVersionStamp Now();
    // Exactly "digits.digits.digits", each number within 32 bits; none otherwise.
    static std::optional<CVersionStamp> Parse(std::string_view text);

    // "a.b.c" in decimal.
    std::string Text() const;
    // The next stamp after this one: the same time with the counter one higher, or the next
    // time step when the counter is at its end.
    CVersionStamp JustAbove() const;

    // Newer means a larger c, then b, then a.
    auto Key() const { return std::tuple(c, b, a); }
    friend bool operator<(const CVersionStamp& x, const CVersionStamp& y) {
        return x.Key() < y.Key();
    }
    friend bool operator==(const CVersionStamp& x, const CVersionStamp& y) {
        return x.Key() == y.Key();
    }
};

// Decimal digits only, no sign, within 32 bits.
std::optional<std::uint32_t> ParseStampNumber(std::string_view digits);

} // namespace Plenvo
