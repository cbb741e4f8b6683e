#pragma once
// A 32-bit ARGB pixel surface with a Graphics on it, for drawing off screen: back buffers,
// composition, printing previews and tests that look at pixels.
#include "gfx/Color.h"
#include "gfx/Graphics.h"

#include <cairo.h>

#include <memory>
#include <string>

namespace gfx {

class OffscreenSurface {
public:
    // Starts fully transparent; a size below 1 pixel becomes 1.
    OffscreenSurface(int widthPx, int heightPx, double dpi);
    ~OffscreenSurface();
    OffscreenSurface(const OffscreenSurface&) = delete;
    OffscreenSurface& operator=(const OffscreenSurface&) = delete;

    Graphics& GetGraphics() { return *m_graphics; }
    cairo_surface_t* Surface() const { return m_surface; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // The pixel as straight (not premultiplied) ARGB; 0 outside the surface.
    Color PixelAt(int x, int y) const;
    bool WritePng(const std::string& path) const;

private:
    int m_width;
    int m_height;
    cairo_surface_t* m_surface;
    cairo_t* m_cr;
    std::unique_ptr<Graphics> m_graphics;
};

} // namespace gfx
