#pragma once
// Points, sizes and rectangles in the drawing layer's units (millimetres on a page, pixels where
// a caller says so), with the containment, intersection and union rules every layer shares.
#include <algorithm>

namespace gfx {

// An area counts as empty unless it is wider and taller than the single-precision epsilon.
inline constexpr double kAreaEpsilon = 1.1920928955078125e-07;

struct PointF {
    double x = 0;
    double y = 0;
    bool operator==(const PointF&) const = default;
};

struct SizeF {
    double width = 0;
    double height = 0;
    bool operator==(const SizeF&) const = default;
};

struct RectF {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    bool operator==(const RectF&) const = default;
    double Right() const { return x + width; }
    double Bottom() const { return y + height; }
    // Not wider and taller than the epsilon.
    bool IsEmpty() const { return !(width > kAreaEpsilon && height > kAreaEpsilon); }
    // Zero width and zero height: the neutral element of Union.
    bool IsZero() const { return width == 0 && height == 0; }
    bool Contains(PointF p) const {
        return x <= p.x && p.x < x + width && y <= p.y && p.y < y + height;
    }
    bool Intersects(const RectF& other) const { return !Intersect(*this, other).IsEmpty(); }

    // The overlap of two rectangles; its size is clamped to zero when they do not meet.
    static RectF Intersect(const RectF& a, const RectF& b) {
        const double l = std::max(a.x, b.x);
        const double t = std::max(a.y, b.y);
        const double r = std::min(a.Right(), b.Right());
        const double btm = std::min(a.Bottom(), b.Bottom());
        return {l, t, std::max(0.0, r - l), std::max(0.0, btm - t)};
    }
    // The bounding rectangle of both, where a rectangle of zero width and height adds nothing.
    static RectF Union(const RectF& a, const RectF& b) {
        if (b.IsZero()) {
            return a;
        }
        if (a.IsZero()) {
            return b;
        }
        const double l = std::min(a.x, b.x);
        const double t = std::min(a.y, b.y);
        return {l, t, std::max(a.Right(), b.Right()) - l, std::max(a.Bottom(), b.Bottom()) - t};
    }
    RectF Inflated(double d) const { return {x - d, y - d, width + 2 * d, height + 2 * d}; }
};

} // namespace gfx
