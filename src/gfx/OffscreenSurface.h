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

    Graphics& GetGraphics() { return *graphics_; }
    cairo_surface_t* Surface() const { return surface_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    // The pixel as straight (not premultiplied) ARGB; 0 outside the surface.
    Color PixelAt(int x, int y) const;
    bool WritePng(const std::string& path) const;

private:
    int width_;
    int height_;
    cairo_surface_t* surface_;
    cairo_t* cr_;
    std::unique_ptr<Graphics> graphics_;
};

} // namespace gfx
