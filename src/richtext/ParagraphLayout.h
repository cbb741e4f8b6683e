#pragma once
// One paragraph laid out from pango's glyphs. Offsets are code points within the paragraph;
// lengths are millimetres with the paragraph's top-left corner at the origin.
//
// The paragraph keeps its text shaped in chunks cut where a line may break. An edit shapes again
// only the chunks it touches; lines are broken anew on the kept advances, which costs little
// even when a character pushed onto the next line moves every later line of a long paragraph.
#include "richtext/Document.h"
#include "richtext/ShapedChunk.h"

#include "gfx/TextContext.h"

#include <pango/pango.h>

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace richtext {

struct LayoutOptions {
    double width = -1;           // wrap width; not above 0 for no wrapping
    double alignWidth = 0;       // the width alignment refers to when not wrapping
    char32_t passwordChar = 0;   // shown for every character when not 0
    std::uint32_t autoColor = 0; // 0xRRGGBB of automatic colour
    double tabStop = 12.7;
    bool operator==(const LayoutOptions&) const = default;
};

struct CaretBox {
    double x = 0;
    double top = 0;
    double height = 0;
};

class CParagraphLayout {
public:
    CParagraphLayout() = default;
    CParagraphLayout(const CParagraphLayout&) = delete;
    CParagraphLayout& operator=(const CParagraphLayout&) = delete;

    void Build(const CDocument& doc, const Paragraph& paragraph, const LayoutOptions& options);
    // After an edit inside this paragraph: keeps the glyphs of the text before and after it.
    void Rebuild(const CDocument& doc, const Paragraph& paragraph, const LayoutOptions& options,
                 const EditSpan& span);
    // Re-wraps at another width without rebuilding text and attributes.
    void SetWidth(const LayoutOptions& options);

    double Height() const { return height_; }
    double Width() const { return width_; }
    // Horizontal shift of the whole paragraph for alignment without wrapping.
    double Indent() const { return indent_; }
    std::size_t Length() const { return length_; }
    bool Built() const { return !lines_.empty(); }
    std::size_t ChunkCount() const { return chunks_.size(); }
    // Chunks the last build or rebuild shaped.
    std::size_t ShapedCount() const { return shaped_; }
    // The band (paragraph coordinates) the last build or rebuild changed; the bottom is
    // infinite when the lines below moved.
    std::pair<double, double> Damage() const { return damage_; }

    // Draws the lines between y0 and y1 (paragraph coordinates) with the paragraph at (x, y).
    void Draw(cairo_t* cr, double x, double y, double y0, double y1) const;
    // Fills the character backgrounds of those lines; drawn before the selection so that a
    // selection stays visible over highlighted text.
    void DrawBackgrounds(cairo_t* cr, double x, double y, double y0, double y1) const;

    CaretBox Caret(std::size_t offset) const;
    // The offset nearest to a point (millimetres relative to the paragraph).
    std::size_t HitTest(double x, double y) const;
    // Horizontal ranges covered by [start, end) on each line, with the line's top and bottom.
    struct Band {
        double left, right, top, bottom;
    };
    std::vector<Band> Ranges(std::size_t start, std::size_t end) const;
    // Offsets of the start and end of the visual line that holds `offset`.
    std::pair<std::size_t, std::size_t> LineAt(std::size_t offset) const;

    // The offset at which each visual line starts.
    std::vector<std::size_t> LineStarts() const;

    bool IsCursorPosition(std::size_t offset) const;
    bool IsWordStart(std::size_t offset) const;
    bool IsWordEnd(std::size_t offset) const;

private:
    struct Style {
        std::size_t start = 0;
        std::size_t end = 0;
        std::uint32_t format = 0;
    };
    struct Chunk {
        std::size_t start = 0; // first character in the paragraph
        std::unique_ptr<CShapedChunk> shaped;
    };
    struct Line {
        std::size_t start = 0; // characters [start, end), the line separator included
        std::size_t end = 0;
        int top = 0; // pango units
        int ascent = 0;
        int descent = 0;
        int x = 0;     // left edge, for the alignment
        int width = 0; // logical width, without a wrapped line's trailing blank
        int gaps = 0;  // where a justified line spreads its spare room
        int spare = 0;
        bool hangs = false; // the last character is a blank the break swallows
        bool operator==(const Line&) const = default;
    };
    // Characters of one glyph run on one line, placed left to right.
    struct Piece {
        const GlyphRun* run = nullptr;
        std::size_t runStart = 0; // the run's first character in the paragraph
        std::size_t start = 0;
        std::size_t end = 0;
        int x = 0;
        int width = 0;
    };

    void PrepareText(const CDocument& doc, const Paragraph& paragraph,
                     const LayoutOptions& options);
    // Break attributes of characters [from, to] computed on that stretch alone.
    void ComputeAttrs(std::size_t from, std::size_t to, PangoLogAttr* out) const;
    // After an edit, only round the edit; everything without one.
    void UpdateAttrs(std::vector<PangoLogAttr> old, const EditSpan* span);
    std::size_t ChunkEnd(std::size_t start, std::size_t limit) const;
    std::unique_ptr<CShapedChunk> Shape(std::size_t start, std::size_t end) const;
    void ShapeRange(std::size_t start, std::size_t end, std::vector<Chunk>& out);
    void CollectWidths();
    void BreakLines();
    // The chunk that holds a character.
    std::vector<Chunk>::const_iterator ChunkAt(std::size_t offset) const;
    bool IsLineSeparator(std::size_t offset) const;
    // A character's advance when it starts at x on its line.
    int Advance(std::size_t offset, int x) const;
    Line MakeLine(std::size_t start, std::size_t end, int top, bool wrapped) const;
    void Align();
    // Advances of the line's characters as drawn: tabs, justification and a hanging blank.
    std::vector<int> Advances(const Line& line) const;
    std::vector<Piece> Pieces(const Line& line, const std::vector<int>& advances) const;
    int XOf(const Line& line, const std::vector<Piece>& pieces, const std::vector<int>& advances,
            std::size_t offset) const;
    const Line& LineOf(std::size_t offset) const;
    std::size_t LineIndexAt(double y) const;
    void SetDamage(const std::vector<Line>& old, double oldHeight, const EditSpan& span);
    void DrawPiece(cairo_t* cr, const Piece& piece, const std::vector<int>& advances,
                   std::size_t lineStart, double x, double baseline) const;
    std::uint32_t LocalFormat(const CDocument& doc, std::uint32_t id);
    const PangoLogAttr& Attr(std::size_t offset) const;

    // Per paragraph.
    std::string text_;           // as shown (password characters, line breaks)
    std::vector<int> byteOf_{0}; // byte index of each character, one past the end included
    std::size_t length_ = 0;     // characters of the paragraph; text_ may end in one more
    std::vector<PangoLogAttr> attrs_;
    std::vector<Style> styles_;
    std::vector<CharFormat> formats_; // kept across edits: chunks refer to them by index
    LayoutOptions options_;
    Alignment alignment_ = Alignment::Left;
    std::vector<Chunk> chunks_;
    std::size_t shaped_ = 0;
    std::vector<int> widths_; // each character's advance, from its chunk
    std::vector<Line> lines_;
    double height_ = 0;
    double width_ = 0;
    double indent_ = 0;
    std::pair<double, double> damage_{0, 0};
};

} // namespace richtext
