#pragma once
// One paragraph laid out with pango. Offsets are code points within the paragraph; lengths are
// millimetres with the paragraph's top-left corner at the origin.
#include "richtext/Document.h"

#include <pango/pango.h>

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
    CParagraphLayout();
    ~CParagraphLayout();
    CParagraphLayout(const CParagraphLayout&) = delete;
    CParagraphLayout& operator=(const CParagraphLayout&) = delete;

    void Build(const CDocument& doc, const Paragraph& paragraph, const LayoutOptions& options);
    // Re-wraps at another width without rebuilding text and attributes.
    void SetWidth(const LayoutOptions& options);
    // Offsets of the start and end of the visual line that holds `offset`.
    std::pair<std::size_t, std::size_t> LineAt(std::size_t offset) const;

    PangoLayout* Layout() const { return layout_; }
    double Height() const { return height_; }
    double Width() const { return width_; }
    // Horizontal shift of the whole paragraph for alignment without wrapping.
    double Indent() const { return indent_; }
    std::size_t Length() const { return byteOf_.size() - 1; }

    CaretBox Caret(std::size_t offset) const;
    // The offset nearest to a point (millimetres relative to the paragraph).
    std::size_t HitTest(double x, double y) const;
    // Horizontal ranges covered by [start, end) on each line, with the line's top and bottom.
    struct Band {
        double left, right, top, bottom;
    };
    std::vector<Band> Ranges(std::size_t start, std::size_t end) const;

    bool IsCursorPosition(std::size_t offset) const;
    bool IsWordStart(std::size_t offset) const;
    bool IsWordEnd(std::size_t offset) const;

private:
    void Measure(const LayoutOptions& options);
    int ByteIndex(std::size_t offset) const;
    std::size_t OffsetOf(int byteIndex) const;

    PangoLayout* layout_ = nullptr;
    std::vector<int> byteOf_{0}; // byte index of each offset, one past the end included
    double height_ = 0;
    double width_ = 0;
    double indent_ = 0;
    Alignment alignment_ = Alignment::Left;
};

} // namespace richtext
