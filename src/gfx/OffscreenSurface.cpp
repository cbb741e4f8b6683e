#include "gfx/OffscreenSurface.h"

#include <algorithm>

namespace gfx {

OffscreenSurface::OffscreenSurface(int widthPx, int heightPx, double dpi)
    : width_(std::max(1, widthPx)), height_(std::max(1, heightPx)),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width_, height_)),
      cr_(cairo_create(surface_)), graphics_(std::make_unique<Graphics>(cr_, dpi)) {}

OffscreenSurface::~OffscreenSurface() {
    graphics_.reset();
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

Color OffscreenSurface::PixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ ||
        cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
        return 0;
    }
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    const std::uint32_t p = *reinterpret_cast<const std::uint32_t*>(
        data + static_cast<std::ptrdiff_t>(y) * stride + static_cast<std::ptrdiff_t>(x) * 4);
    const unsigned a = p >> 24;
    if (a == 0) {
        return 0;
    }
    auto unpremultiply = [a](unsigned c) { return std::min(255u, (c * 255 + a / 2) / a); };
    return MakeArgb(a, unpremultiply((p >> 16) & 0xFF), unpremultiply((p >> 8) & 0xFF),
                    unpremultiply(p & 0xFF));
}

bool OffscreenSurface::WritePng(const std::string& path) const {
    cairo_surface_flush(surface_);
    return cairo_surface_write_to_png(surface_, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

} // namespace gfx
