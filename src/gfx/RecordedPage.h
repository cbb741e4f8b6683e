#pragma once
// One page drawn once and replayed later onto any target (a printer's context, a PDF file) as
// vector drawing: glyphs stay text, lines stay lines. Its units are the device pixels of the
// resolution it was recorded for; what lies outside the page's size is cut off.
#include "gfx/Graphics.h"

#include <cairo.h>

#include <memory>

namespace gfx {

class RecordedPage {
public:
    RecordedPage(double widthPx, double heightPx, double dpi);
    ~RecordedPage();
    RecordedPage(const RecordedPage&) = delete;
    RecordedPage& operator=(const RecordedPage&) = delete;

    Graphics& GetGraphics() { return *graphics_; }
    // Draws the page at the target's origin; the target's units must be the recorded pixels.
    void Replay(cairo_t* target) const;

private:
    cairo_surface_t* surface_;
    cairo_t* cr_;
    std::unique_ptr<Graphics> graphics_;
};

} // namespace gfx
