#pragma once
// The desktop's resolution (horizontal pixels per logical inch), set at start-up, and the
// conversions between millimetres and pixels that every layer uses at the pixel boundary. Every
// conversion names the resolution of the surface it works for (a window's, a printer's): there
// is no conversion at an implied resolution.
#include "gfx/Geometry.h"

#include <cmath>

namespace gfx {

inline constexpr double kMmPerInch = 25.4;
// A typographic point, 1/72 inch.
inline constexpr double kMmPerPoint = kMmPerInch / 72.0;

double ScreenDpi();
void SetScreenDpi(double dpi);

inline double MmToPx(double mm, double dpi) {
    return mm / kMmPerInch * dpi;
}
inline double PxToMm(double px, double dpi) {
    return px * kMmPerInch / dpi;
}
// The length moved to the nearest whole pixel of the surface.
inline double SnapToPixel(double mm, double dpi) {
    return PxToMm(std::round(MmToPx(mm, dpi)), dpi);
}
// A pixel rectangle is rounded to whole pixels before it becomes millimetres.
RectF PxRectToMm(const RectF& px, double dpi);
RectF MmRectToPx(const RectF& mm, double dpi);

} // namespace gfx
