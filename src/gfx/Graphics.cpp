#include "gfx/Graphics.h"

#include "gfx/Bitmap.h"
#include "gfx/Font.h"
#include "gfx/Pen.h"
#include "gfx/SolidBrush.h"
#include "gfx/StringFormat.h"
#include "gfx/TextDrawing.h"
#include "gfx/Units.h"

#include <pango/pangocairo.h>

#include <cmath>
#include <vector>

namespace gfx {

namespace {

void SetSource(cairo_t* cr, Color c) {
    cairo_set_source_rgba(cr, RedOf(c) / 255.0, GreenOf(c) / 255.0, BlueOf(c) / 255.0,
                          AlphaOf(c) / 255.0);
}

bool Finite(const RectF& r) {
    return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) &&
           std::isfinite(r.height);
}

} // namespace

Graphics::Graphics(cairo_t* cr, double dpi) : cr_(cr), dpi_(dpi > 0 ? dpi : 96.0) {
    cairo_save(cr_);
    const double scale = dpi_ / kMmPerInch;
    cairo_scale(cr_, scale, scale);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
}

Graphics::~Graphics() {
    Restore(0);
    cairo_restore(cr_);
}

void Graphics::TranslateTransform(double dx, double dy) {
    if (std::isfinite(dx) && std::isfinite(dy)) {
        cairo_translate(cr_, dx, dy);
    }
}

void Graphics::SetClip(const RectF& rect, CombineMode mode) {
    if (mode == CombineMode::Replace) {
        cairo_reset_clip(cr_);
    }
    if (!Finite(rect)) {
        return;
    }
    cairo_rectangle(cr_, rect.x, rect.y, std::max(0.0, rect.width), std::max(0.0, rect.height));
    cairo_clip(cr_);
}

void Graphics::ResetClip() {
    cairo_reset_clip(cr_);
}

RectF Graphics::GetClipBounds() const {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(cr_, &x1, &y1, &x2, &y2);
    return {x1, y1, x2 - x1, y2 - y1};
}

int Graphics::Save() {
    cairo_save(cr_);
    return depth_++;
}

void Graphics::Restore(int state) {
    while (depth_ > state && depth_ > 0) {
        cairo_restore(cr_);
        --depth_;
    }
}

void Graphics::FillRectangle(const SolidBrush& brush, const RectF& rect) {
    FillRectangle(brush.GetColor(), rect);
}

void Graphics::FillRectangle(Color color, const RectF& rect) {
    if (AlphaOf(color) == 0 || !Finite(rect) || rect.width <= 0 || rect.height <= 0) {
        return;
    }
    SetSource(cr_, color);
    cairo_rectangle(cr_, rect.x, rect.y, rect.width, rect.height);
    cairo_fill(cr_);
}

void Graphics::DrawLines(const Pen& pen, std::span<const PointF> points) {
    if (points.size() < 2 || AlphaOf(pen.GetColor()) == 0 || !(pen.GetWidth() >= 0)) {
        return;
    }
    for (const PointF& p : points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            return;
        }
    }
    double dx = pen.GetWidth(), dy = 0;
    cairo_user_to_device_distance(cr_, &dx, &dy);
    SetSource(cr_, pen.GetColor());
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_MITER);
    if (std::hypot(dx, dy) <= 1.0) {
        // A pen no wider than a device pixel draws exactly one pixel: the one whose centre is
        // nearest the line, as on the platform the program came from. Snap in device space.
        cairo_save(cr_);
        std::vector<PointF> device(points.begin(), points.end());
        for (PointF& p : device) {
            cairo_user_to_device(cr_, &p.x, &p.y);
            p = {std::floor(p.x + 0.5) + 0.5, std::floor(p.y + 0.5) + 0.5};
        }
        cairo_identity_matrix(cr_);
        cairo_set_line_width(cr_, 1.0);
        cairo_move_to(cr_, device[0].x, device[0].y);
        for (std::size_t i = 1; i < device.size(); ++i) {
            cairo_line_to(cr_, device[i].x, device[i].y);
        }
        cairo_stroke(cr_);
        cairo_restore(cr_);
        return;
    }
    cairo_set_line_width(cr_, pen.GetWidth());
    cairo_move_to(cr_, points[0].x, points[0].y);
    for (std::size_t i = 1; i < points.size(); ++i) {
        cairo_line_to(cr_, points[i].x, points[i].y);
    }
    cairo_stroke(cr_);
}

void Graphics::BeginTranslucent() {
    cairo_push_group(cr_);
}

void Graphics::EndTranslucent(double opacity) {
    cairo_pop_group_to_source(cr_);
    cairo_paint_with_alpha(cr_, std::clamp(std::isfinite(opacity) ? opacity : 1.0, 0.0, 1.0));
}

void Graphics::DrawString(std::string_view utf8, const Font& font, const RectF& layout,
                          const StringFormat& format, const SolidBrush& brush) {
    if (utf8.empty() || AlphaOf(brush.GetColor()) == 0 || !font.IsUsable() || !Finite(layout) ||
        layout.width < 0 || layout.height < 0) {
        return;
    }
    PlacedText placed = PlaceText(utf8, font, layout, format);
    cairo_save(cr_);
    // The layout rectangle clips, in each direction that has an extent.
    if (layout.width > 0 || layout.height > 0) {
        const double big = 1.0e7;
        cairo_rectangle(
            cr_, layout.width > 0 ? layout.x : -big, layout.height > 0 ? layout.y : -big,
            layout.width > 0 ? layout.width : 2 * big, layout.height > 0 ? layout.height : 2 * big);
        cairo_clip(cr_);
    }
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_GRAY);
    SetSource(cr_, brush.GetColor());
    cairo_move_to(cr_, placed.origin.x, placed.origin.y);
    pango_cairo_show_layout(cr_, placed.layout.get());
    cairo_restore(cr_);
}

SizeF Graphics::MeasureString(std::string_view utf8, const Font& font, const RectF& layout,
                              const StringFormat& format) const {
    if (utf8.empty() || !font.IsUsable()) {
        return {};
    }
    return PlaceText(utf8, font, layout, format).extent;
}

void Graphics::DrawImage(const Bitmap& bitmap, const RectF& dest) {
    DrawImage(bitmap, dest,
              {0, 0, static_cast<double>(bitmap.Width()), static_cast<double>(bitmap.Height())});
}

void Graphics::DrawImage(const Bitmap& bitmap, const RectF& dest, const RectF& src) {
    cairo_surface_t* surface = bitmap.Surface();
    if (!surface || !Finite(dest) || !Finite(src) || dest.width <= 0 || dest.height <= 0 ||
        src.width <= 0 || src.height <= 0) {
        return;
    }
    // A whole-pixel source rectangle becomes a sub-surface, so smoothing never pulls in the
    // pixels around it.
    RectF from = src;
    cairo_surface_t* source = surface;
    const bool whole = src.x == std::floor(src.x) && src.y == std::floor(src.y) &&
                       src.width == std::floor(src.width) && src.height == std::floor(src.height);
    const bool full =
        src.x == 0 && src.y == 0 && src.width == bitmap.Width() && src.height == bitmap.Height();
    if (whole && !full) {
        source = cairo_surface_create_for_rectangle(surface, src.x, src.y, src.width, src.height);
        from = {0, 0, src.width, src.height};
    }
    cairo_save(cr_);
    cairo_rectangle(cr_, dest.x, dest.y, dest.width, dest.height);
    cairo_clip(cr_);
    cairo_translate(cr_, dest.x, dest.y);
    cairo_scale(cr_, dest.width / from.width, dest.height / from.height);
    cairo_translate(cr_, -from.x, -from.y);
    cairo_set_source_surface(cr_, source, 0, 0);
    cairo_pattern_t* pattern = cairo_get_source(cr_);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
    // Padding repeats the edge pixels, so a stretched picture does not fade at its border.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_rectangle(cr_, from.x, from.y, from.width, from.height);
    cairo_fill(cr_);
    cairo_restore(cr_);
    if (source != surface) {
        cairo_surface_destroy(source);
    }
}

} // namespace gfx
