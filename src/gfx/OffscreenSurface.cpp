#include "gfx/OffscreenSurface.h"

#include <algorithm>

namespace gfx {

OffscreenSurface::OffscreenSurface(int widthPx, int heightPx, double dpi)
    : m_width(std::max(1, widthPx)), m_height(std::max(1, heightPx)),
      m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, m_width, m_height)),
      m_cr(cairo_create(m_surface)), m_graphics(std::make_unique<Graphics>(m_cr, dpi)) {}

OffscreenSurface::~OffscreenSurface() {
    m_graphics.reset();
    cairo_destroy(m_cr);
    cairo_surface_destroy(m_surface);
}

Color OffscreenSurface::PixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height ||
        cairo_surface_status(m_surface) != CAIRO_STATUS_SUCCESS) {
        return 0;
    }
    cairo_surface_flush(m_surface);
    const unsigned char* data = cairo_image_surface_get_data(m_surface);
    const int stride = cairo_image_surface_get_stride(m_surface);
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
    cairo_surface_flush(m_surface);
    return cairo_surface_write_to_png(m_surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

} // namespace gfx
