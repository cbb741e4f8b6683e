#pragma once
// The process-wide resolution (horizontal pixels per logical inch of the desktop) and the
// conversions between millimetres and pixels that every layer uses at the pixel boundary.
// Start-up sets the desktop's value; printing swaps in the printer's for the length of a job.
#include "gfx/Geometry.h"

namespace gfx {

inline constexpr double kMmPerInch = 25.4;

double ScreenDpi();
void SetScreenDpi(double dpi);

inline double MmToPx(double mm, double dpi) {
    return mm / kMmPerInch * dpi;
}
inline double PxToMm(double px, double dpi) {
    return px * kMmPerInch / dpi;
}
inline double MmToPx(double mm) {
    return MmToPx(mm, ScreenDpi());
}
inline double PxToMm(double px) {
    return PxToMm(px, ScreenDpi());
}
// A pixel rectangle is rounded to whole pixels before it becomes millimetres.
RectF PxRectToMm(const RectF& px, double dpi);
RectF MmRectToPx(const RectF& mm, double dpi);
inline RectF PxRectToMm(const RectF& px) {
    return PxRectToMm(px, ScreenDpi());
}
inline RectF MmRectToPx(const RectF& mm) {
    return MmRectToPx(mm, ScreenDpi());
}

} // namespace gfx
