#pragma once
// One paragraph laid out with pango. Offsets are code points within the paragraph; lengths are
// millimetres with the paragraph's top-left corner at the origin.
//
// A long wrapped paragraph is laid out in segments of a few lines, each its own pango layout
// that starts at a line start, so an edit lays out again only the lines from the one before it
// to where the old line breaks resume (pango takes far more than linear time on long texts).
#include "richtext/Document.h"

#include "gfx/TextContext.h"

#include <pango/pango.h>

#include <cairo.h>

#include <cstdint>
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
    // After an edit inside this paragraph: keeps the segments before and after it.
    void Rebuild(const CDocument& doc, const Paragraph& paragraph, const LayoutOptions& options,
                 const EditSpan& span);
    // Re-wraps at another width without rebuilding text and attributes.
    void SetWidth(const LayoutOptions& options);

    double Height() const { return height_; }
    double Width() const { return width_; }
    // Horizontal shift of the whole paragraph for alignment without wrapping.
    double Indent() const { return indent_; }
    std::size_t Length() const { return byteOf_.size() - 1; }
    std::size_t SegmentCount() const { return segments_.size(); }
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
    struct Segment {
        std::size_t start = 0; // owned offsets [start, end)
        std::size_t end = 0;
        std::size_t textEnd = 0; // the layout holds [start, textEnd); lines past `end` are not ours
        int lines = 0;           // owned lines
        std::size_t firstLineEnd = 0;
        double top = 0;
        double height = 0;
        gfx::GObjectPtr<PangoLayout> layout;
    };

    void PrepareText(const CDocument& doc, const Paragraph& paragraph,
                     const LayoutOptions& options);
    Segment MakeSegment(std::size_t start, std::size_t textEnd) const;
    // Lays out owned segments from `start` until the end, or until a line starts at one of
    // `resume` (ascending offsets), returning the index reached in `resume` (or its size).
    std::size_t Chain(std::size_t start, const std::vector<std::size_t>& resume,
                      std::vector<Segment>& out) const;
    void Finish();
    const Segment& SegmentAt(std::size_t offset) const;
    int ByteIndex(const Segment& s, std::size_t offset) const;
    std::size_t OffsetOf(const Segment& s, int byteIndex) const;
    const PangoLogAttr* Attr(std::size_t offset) const;

    // Per paragraph.
    std::string text_;           // as shown (password characters, line breaks)
    std::vector<int> byteOf_{0}; // byte index of each offset, one past the end included
    std::vector<Style> styles_;
    std::vector<CharFormat> formats_;
    std::uint32_t endFormat_ = 0;
    LayoutOptions options_;
    Alignment alignment_ = Alignment::Left;
    std::vector<Segment> segments_;
    double height_ = 0;
    double width_ = 0;
    double indent_ = 0;
    std::pair<double, double> damage_{0, 0};
};

} // namespace richtext
