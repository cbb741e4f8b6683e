#pragma once
// The drawing surface of the element tree: a cairo context whose page unit is the millimetre at
// a given resolution (pixels = mm / 25.4 * dpi), with world translation, clipping, saved states,
// fills, pen lines, text, images and translucent groups. Shapes are drawn without antialiasing so
// edges land on whole pixels and hairlines stay visible (a pen thinner than a device pixel draws
// one pixel wide); text and images are smoothed.
//
// The cairo context stays usable for engines that draw on their own (rich text): its user space
// is millimetres and its state is restored to the caller's when the Graphics ends.
#include "gfx/Color.h"
#include "gfx/Geometry.h"

#include <cairo.h>

#include <span>
#include <string_view>

namespace gfx {

class Bitmap;
class Font;
class Pen;
class SolidBrush;
class StringFormat;

enum class CombineMode { Replace, Intersect };

class Graphics {
public:
    Graphics(cairo_t* cr, double dpi);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    cairo_t* Cairo() const { return cr_; }
    double Dpi() const { return dpi_; }

    void TranslateTransform(double dx, double dy);

    // Replace makes the rectangle the whole clip (it may reach beyond an earlier clip);
    // Intersect narrows the current clip.
    void SetClip(const RectF& rect, CombineMode mode = CombineMode::Replace);
    void ResetClip();
    // The clip in page units (the whole target when nothing clips).
    RectF GetClipBounds() const;

    // Save returns a token; Restore brings back that state and drops every later one.
    int Save();
    void Restore(int state);

    void FillRectangle(const SolidBrush& brush, const RectF& rect);
    void FillRectangle(Color color, const RectF& rect);
    // An open polyline through the points.
    void DrawLines(const Pen& pen, std::span<const PointF> points);

    // Everything drawn between the two calls is composed at the given opacity (0..1).
    void BeginTranslucent();
    void EndTranslucent(double opacity);

    // Text in a layout rectangle, aligned, wrapped and clipped as the format says.
    void DrawString(std::string_view utf8, const Font& font, const RectF& layout,
                    const StringFormat& format, const SolidBrush& brush);
    // The extent the text takes in the rectangle's width (no wrapping width when it is 0).
    SizeF MeasureString(std::string_view utf8, const Font& font, const RectF& layout,
                        const StringFormat& format) const;

    // The bitmap's current frame stretched into dest, or the pixel rectangle src of it.
    void DrawImage(const Bitmap& bitmap, const RectF& dest);
    void DrawImage(const Bitmap& bitmap, const RectF& dest, const RectF& srcPixels);

private:
    cairo_t* cr_;
    double dpi_;
    int depth_ = 0;
};

} // namespace gfx
