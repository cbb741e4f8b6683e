#pragma once
// A stretch of a paragraph shaped on its own: its glyph runs and the advance of each character.
// A paragraph keeps its chunks between layouts and cuts them where a line may break, so that an
// edit shapes again only the chunk it touches while lines are broken and drawn from the glyphs
// already there.
#include "richtext/CharFormat.h"

#include "gfx/TextContext.h"

#include <pango/pango.h>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace richtext {

struct GlyphStringDeleter {
    void operator()(PangoGlyphString* glyphs) const { pango_glyph_string_free(glyphs); }
};
using GlyphStringPtr = std::unique_ptr<PangoGlyphString, GlyphStringDeleter>;

// Glyphs of one font, direction and format; log clusters count bytes from the run's start.
struct GlyphRun {
    std::size_t start = 0; // characters within the chunk, [start, end)
    std::size_t end = 0;
    std::uint32_t format = 0; // index into the paragraph's formats
    int level = 0;            // bidirectional embedding level: odd runs right to left
    int ascent = 0;           // pango units
    int descent = 0;
    gfx::GObjectPtr<PangoFont> font;
    PangoLanguage* language = nullptr;
    GlyphStringPtr glyphs;
};

// A format applied to characters [start, end) of the chunk.
struct FormatSpan {
    std::size_t start = 0;
    std::size_t end = 0;
    std::uint32_t format = 0;
};

class CShapedChunk {
public:
    // `text` is the chunk's UTF-8; `byteOf` the byte index of each character and one past the
    // end; `spans` cover every character in order.
    CShapedChunk(std::string_view text, const std::vector<int>& byteOf,
                 const std::vector<FormatSpan>& spans, const std::vector<CharFormat>& formats);

    std::size_t Length() const { return widths_.size(); }
    const std::vector<GlyphRun>& Runs() const { return runs_; }
    // The advance of each character in pango units; a cluster's width is shared among its
    // characters.
    const std::vector<int>& Widths() const { return widths_; }

private:
    std::vector<GlyphRun> runs_;
    std::vector<int> widths_;
};

// A font description for a character format.
PangoFontDescription* DescribeFont(const CharFormat& format);

} // namespace richtext
