#pragma once
// Paragraphs are laid out on the drawing layer's shared text context, whose pango units are
// millimetres, so that the screen and the printer break lines alike.
#include "gfx/TextContext.h"

#include <pango/pango.h>

namespace richtext {

inline PangoContext* LayoutContext() {
    return gfx::TextContext();
}

// Millimetres of a length in pango units, and back.
inline double FromPango(int units) {
    return static_cast<double>(units) / PANGO_SCALE;
}
inline int ToPango(double mm) {
    return static_cast<int>(mm * PANGO_SCALE + (mm >= 0 ? 0.5 : -0.5));
}

} // namespace richtext
