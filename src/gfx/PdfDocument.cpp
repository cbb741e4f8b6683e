#include "gfx/PdfDocument.h"

#include "gfx/Units.h"

#include <cairo-pdf.h>

namespace gfx {

namespace {
constexpr double kPointsPerInch = 72.0;
}

PdfDocument::PdfDocument(const std::string& path, double widthMm, double heightMm, double dpi)
    : widthPx_(MmToPx(widthMm, dpi)), heightPx_(MmToPx(heightMm, dpi)),
      scale_(kPointsPerInch / dpi) {
    surface_ = cairo_pdf_surface_create(path.c_str(), widthMm / kMmPerInch * kPointsPerInch,
                                        heightMm / kMmPerInch * kPointsPerInch);
    cr_ = cairo_create(surface_);
    cairo_scale(cr_, scale_, scale_);
}

PdfDocument::~PdfDocument() {
    Close();
}

bool PdfDocument::IsOk() const {
    return surface_ && cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS;
}

void PdfDocument::EndPage() {
    if (cr_) {
        cairo_show_page(cr_);
    }
}

void PdfDocument::Close() {
    if (cr_) {
        cairo_destroy(cr_);
        cr_ = nullptr;
    }
    if (surface_) {
        cairo_surface_finish(surface_);
        cairo_surface_destroy(surface_);
        surface_ = nullptr;
    }
}

} // namespace gfx
