#pragma once
// The text of Graphics::DrawString and MeasureString: one pango layout per call, set up from a
// font and a string format inside a layout rectangle (millimetres).
#include "gfx/Geometry.h"
#include "gfx/TextContext.h"

#include <string_view>

namespace gfx {

class Font;
class StringFormat;

struct PlacedText {
    GObjectPtr<PangoLayout> layout;
    PointF origin; // where the layout's top-left goes
    SizeF extent;  // logical size of the text
};

// Width 0 (or less) means no wrapping width; height 0 (or less) no height to align in.
PlacedText PlaceText(std::string_view utf8, const Font& font, const RectF& layout,
                     const StringFormat& format);

} // namespace gfx
