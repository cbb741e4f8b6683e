#pragma once
// The pango context every paragraph is laid out on: one user unit is one millimetre and glyph
// metrics are unhinted, so that a line breaks at the same place on the screen and on paper.
#include <pango/pango.h>

namespace richtext {

// The calling thread's context (layouts belong to the user-interface thread).
PangoContext* LayoutContext();

// Millimetres of a length in pango units, and back.
inline double FromPango(int units) {
    return static_cast<double>(units) / PANGO_SCALE;
}
inline int ToPango(double mm) {
    return static_cast<int>(mm * PANGO_SCALE + (mm >= 0 ? 0.5 : -0.5));
}

} // namespace richtext
