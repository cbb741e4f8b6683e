#pragma once
// Integer rectangles and points in device pixels, as the windowing layer speaks them.
#include <algorithm>

namespace platform {

struct PointI {
    int x = 0;
    int y = 0;
    bool operator==(const PointI&) const = default;
};

struct SizeI {
    int width = 0;
    int height = 0;
    bool operator==(const SizeI&) const = default;
};

struct RectI {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const RectI&) const = default;
    bool Empty() const { return width <= 0 || height <= 0; }
    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
    bool Contains(PointI p) const {
        return p.x >= x && p.x < Right() && p.y >= y && p.y < Bottom();
    }
    RectI Union(const RectI& o) const {
        if (Empty()) {
            return o;
        }
        if (o.Empty()) {
            return *this;
        }
        const int l = std::min(x, o.x), t = std::min(y, o.y);
        return {l, t, std::max(Right(), o.Right()) - l, std::max(Bottom(), o.Bottom()) - t};
    }
    RectI Intersect(const RectI& o) const {
        const int l = std::max(x, o.x), t = std::max(y, o.y);
        const int r = std::min(Right(), o.Right()), b = std::min(Bottom(), o.Bottom());
        return r > l && b > t ? RectI{l, t, r - l, b - t} : RectI{};
    }
};

// Where the part of `rect` inside `area` lies once the area's picture moved dy rows, within the
// area.
inline RectI MovedWithin(const RectI& rect, const RectI& area, int dy) {
    const RectI inside = rect.Intersect(area);
    return RectI{inside.x, inside.y + dy, inside.width, inside.height}.Intersect(area);
}

// The rows of the area that moving its picture dy rows leaves without a picture.
inline RectI UncoveredRows(const RectI& area, int dy) {
    return dy > 0 ? RectI{area.x, area.y, area.width, dy}
                  : RectI{area.x, area.Bottom() + dy, area.width, -dy};
}

} // namespace platform
