#include "gfx/RecordedPage.h"

namespace gfx {

RecordedPage::RecordedPage(double widthPx, double heightPx, double dpi) {
    const cairo_rectangle_t extents{0, 0, widthPx, heightPx};
    surface_ = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
    cr_ = cairo_create(surface_);
    graphics_ = std::make_unique<Graphics>(cr_, dpi);
}

RecordedPage::~RecordedPage() {
    graphics_.reset();
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

void RecordedPage::Replay(cairo_t* target) const {
    cairo_surface_flush(surface_);
    cairo_save(target);
    cairo_set_source_surface(target, surface_, 0, 0);
    cairo_paint(target);
    cairo_restore(target);
}

} // namespace gfx
