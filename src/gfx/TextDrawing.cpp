#include "gfx/TextDrawing.h"

#include "gfx/Font.h"
#include "gfx/StringFormat.h"

namespace gfx {

namespace {

double AlignOffset(StringAlignment alignment, double room, double extent) {
    switch (alignment) {
    case StringAlignment::Center:
        return (room - extent) * 0.5;
    case StringAlignment::Far:
        return room - extent;
    case StringAlignment::Near:
        break;
    }
    return 0;
}

PangoAlignment PangoAlignmentOf(StringAlignment alignment) {
    switch (alignment) {
    case StringAlignment::Center:
        return PANGO_ALIGN_CENTER;
    case StringAlignment::Far:
        return PANGO_ALIGN_RIGHT;
    case StringAlignment::Near:
        break;
    }
    return PANGO_ALIGN_LEFT;
}

constexpr double kMaxLayoutWidthMm = 1.0e6;

} // namespace

PlacedText PlaceText(std::string_view utf8, const Font& font, const RectF& layout,
                     const StringFormat& format) {
    PlacedText placed{CreateTextLayout(), {layout.x, layout.y}, {}};
    PangoLayout* pl = placed.layout.get();
    font.ApplyTo(pl);
    SetLayoutText(pl, utf8.data(), utf8.size());
    pango_layout_set_alignment(pl, PangoAlignmentOf(format.GetAlignment()));
    // Pango widths are ints of 1/1024 mm; a width beyond any page counts as unbounded.
    const bool bounded = layout.width > 0 && layout.width < kMaxLayoutWidthMm;
    const bool wrap = bounded && !format.NoWrap();
    if (wrap) {
        // Word boundaries first (CJK text breaks between characters by the line-break rules);
        // a word longer than the line is broken between characters rather than overflowing.
        pango_layout_set_width(pl, static_cast<int>(layout.width * PANGO_SCALE));
        pango_layout_set_wrap(pl, PANGO_WRAP_WORD_CHAR);
    } else {
        pango_layout_set_width(pl, -1);
    }
    PangoRectangle logical{};
    pango_layout_get_extents(pl, nullptr, &logical);
    placed.extent = {static_cast<double>(logical.width) / PANGO_SCALE,
                     static_cast<double>(logical.height) / PANGO_SCALE};
    if (bounded && !wrap) {
        // Without a wrapping width pango aligns lines against the widest one; place that block.
        placed.origin.x += AlignOffset(format.GetAlignment(), layout.width, placed.extent.width);
    }
    if (layout.height > 0) {
        placed.origin.y +=
            AlignOffset(format.GetLineAlignment(), layout.height, placed.extent.height);
    }
    return placed;
}

} // namespace gfx
