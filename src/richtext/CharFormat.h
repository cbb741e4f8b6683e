#pragma once
// The character format of a run of text: what a word processor calls the font of a selection.
#include <cstdint>
#include <string>

namespace richtext {

struct CharFormat {
    std::string face = "宋体"; // font family, UTF-8
    // Size in twips (1/20 point), the unit of the host's records and of RTF's \fs (half points).
    int heightTwips = 240;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    // An automatic colour follows the host's default text colour instead of `color`.
    bool autoColor = true;
    std::uint32_t color = 0x000000; // 0xRRGGBB
    // The character background (a word processor's highlight or shading); none when automatic.
    bool autoBackground = true;
    std::uint32_t background = 0xFFFFFF; // 0xRRGGBB
    int charset = 134;                   // RTF \fcharset of the face; 134 is GB2312

    double Points() const { return heightTwips / 20.0; }
    bool operator==(const CharFormat&) const = default;
};

} // namespace richtext
