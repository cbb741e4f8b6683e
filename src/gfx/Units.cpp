#include "gfx/Units.h"

#include <atomic>
#include <cmath>

namespace gfx {

namespace {
// Read on the UI thread and by tests' helper threads; an atomic keeps that well defined.
std::atomic<double> g_screenDpi{96.0};
} // namespace

double ScreenDpi() {
    return g_screenDpi.load(std::memory_order_relaxed);
}

void SetScreenDpi(double dpi) {
    if (dpi > 0 && std::isfinite(dpi)) {
        g_screenDpi.store(dpi, std::memory_order_relaxed);
    }
}

RectF PxRectToMm(const RectF& px, double dpi) {
    return {PxToMm(std::round(px.x), dpi), PxToMm(std::round(px.y), dpi),
            PxToMm(std::round(px.width), dpi), PxToMm(std::round(px.height), dpi)};
}

RectF MmRectToPx(const RectF& mm, double dpi) {
    return {MmToPx(mm.x, dpi), MmToPx(mm.y, dpi), MmToPx(mm.width, dpi), MmToPx(mm.height, dpi)};
}

} // namespace gfx
