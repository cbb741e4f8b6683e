#pragma once
// A length as a description gives it: a number of millimetres (negative: the offered space minus
// that much), a percentage of the offered space, a pixel text the layout ignores, or nothing.

namespace Plenvo {

enum class SizeKind { Number, Percent, Pixels, Unset };

struct SizeValue {
    double value = 0;
    SizeKind kind = SizeKind::Unset;
    bool operator==(const SizeValue&) const = default;
};

} // namespace Plenvo
