#pragma once
// A PDF file written page by page, each page's context in the device pixels of a resolution, so
// that what is drawn for a printer of that resolution lands in the file at its true size.
#include <cairo.h>

#include <string>

namespace gfx {

class PdfDocument {
public:
    PdfDocument(const std::string& path, double widthMm, double heightMm, double dpi);
    ~PdfDocument();
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    bool IsOk() const;
    // The current page's context; its units are pixels at the resolution.
    cairo_t* Page() const { return cr_; }
    void EndPage();
    double WidthPx() const { return widthPx_; }
    double HeightPx() const { return heightPx_; }
    // Finishes the file (also done when destroyed).
    void Close();

private:
    cairo_surface_t* surface_;
    cairo_t* cr_;
    double widthPx_;
    double heightPx_;
    double scale_;
};

} // namespace gfx
