#pragma once
// The paragraph format the engine knows: the alignment, numbered as the host's records number it.
namespace richtext {

enum class Alignment : int { Left = 1, Right = 2, Center = 3, Justify = 4 };

struct ParaFormat {
    Alignment alignment = Alignment::Left;
    int tabStopTwips = 720; // distance between default tab stops
    bool operator==(const ParaFormat&) const = default;
};

} // namespace richtext
