#include "platform/OffscreenWindow.h"

#include "platform/Messages.h"
#include "platform/Messaging.h"

#include <cairo.h>
#include <cstdlib>
#include <cstring>

namespace platform {

bool Image::SavePng(const std::string& path) const {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_surface_flush(s);
    const int stride = cairo_image_surface_get_stride(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    for (int y = 0; y < height; ++y) {
        std::memcpy(data + std::size_t(y) * stride, &pixels[std::size_t(y) * width],
                    std::size_t(width) * 4);
    }
    cairo_surface_mark_dirty(s);
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

OffscreenWindow::OffscreenWindow(WindowParams params) : params_(std::move(params)) {}

OffscreenWindow::~OffscreenWindow() {
    if (Exists()) {
        DestroyWindow(hwnd_);
    }
    if (surface_) {
        cairo_surface_destroy(surface_);
    }
}

bool OffscreenWindow::Register() {
    hwnd_ = RegisterWindow(params_.proc);
    if (SendMessage(hwnd_, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(hwnd_);
        return false;
    }
    return true;
}

bool OffscreenWindow::Exists() const {
    return IsWindow(hwnd_);
}

void OffscreenWindow::Invalidate(const RectI& rect) {
    const RectI clipped = rect.Intersect({0, 0, params_.frame.width, params_.frame.height});
    if (Exists() && !clipped.Empty()) {
        invalidations_.push_back(clipped);
    }
}

void OffscreenWindow::Focus() {
    if (!focus_) {
        focus_ = true;
        SendMessage(hwnd_, WM_SETFOCUS, 0, 0);
    }
}

void OffscreenWindow::LoseFocus() {
    if (focus_) {
        focus_ = false;
        SendMessage(hwnd_, WM_KILLFOCUS, 0, 0);
    }
}

PointI OffscreenWindow::ScreenToClient(PointI screen) const {
    return {screen.x - params_.frame.x, screen.y - params_.frame.y};
}

void OffscreenWindow::Destroy() {
    DestroyWindow(hwnd_);
}

void OffscreenWindow::Resize(SizeI size) {
    params_.frame.width = size.width;
    params_.frame.height = size.height;
    if (surface_) {
        cairo_surface_destroy(surface_);
        surface_ = nullptr;
        painted_ = false;
    }
    SendMessage(hwnd_, WM_SIZE, 0, MakeLParam(size.width, size.height));
}

RectI OffscreenWindow::DirtyArea() const {
    RectI area;
    for (const RectI& r : invalidations_) {
        area = area.Union(r);
    }
    return area;
}

Image OffscreenWindow::Paint() {
    if (!painted_) {
        return PaintAll();
    }
    // Rectangle by rectangle, as a window's update region is painted: a stale pixel between two
    // invalidated places stays stale here as it would on the screen.
    return PaintRects(DirtyRects());
}

std::vector<RectI> OffscreenWindow::DirtyRects() const {
    cairo_region_t* region = cairo_region_create();
    for (const RectI& r : invalidations_) {
        const cairo_rectangle_int_t rect{r.x, r.y, r.width, r.height};
        cairo_region_union_rectangle(region, &rect);
    }
    std::vector<RectI> parts;
    for (int i = 0; i < cairo_region_num_rectangles(region); ++i) {
        cairo_rectangle_int_t rect;
        cairo_region_get_rectangle(region, i, &rect);
        parts.push_back({rect.x, rect.y, rect.width, rect.height});
    }
    cairo_region_destroy(region);
    return parts;
}

Image OffscreenWindow::PaintAll() {
    return PaintRects({{0, 0, params_.frame.width, params_.frame.height}});
}

void OffscreenWindow::Scroll(const RectI& rect, int dy) {
    const RectI area = rect.Intersect({0, 0, params_.frame.width, params_.frame.height});
    if (!Exists() || area.Empty() || dy == 0) {
        return;
    }
    if (!painted_ || std::abs(dy) >= area.height) {
        Invalidate(area);
        return;
    }
    const std::vector<RectI> pending = invalidations_;
    for (const RectI& r : pending) {
        Invalidate(MovedWithin(r, area, dy));
    }
    cairo_surface_flush(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    unsigned char* data = cairo_image_surface_get_data(surface_);
    const std::size_t bytes = std::size_t(area.width) * 4;
    const auto row = [&](int y) {
        return data + std::size_t(y) * stride + std::size_t(area.x) * 4;
    };
    // Rows are taken before they are overwritten: from the far end of the move first.
    if (dy > 0) {
        for (int y = area.Bottom() - 1; y >= area.y + dy; --y) {
            std::memcpy(row(y), row(y - dy), bytes);
        }
    } else {
        for (int y = area.y; y < area.Bottom() + dy; ++y) {
            std::memcpy(row(y), row(y - dy), bytes);
        }
    }
    cairo_surface_mark_dirty(surface_);
    Invalidate(UncoveredRows(area, dy));
}

Image OffscreenWindow::PaintRects(const std::vector<RectI>& rects) {
    const int w = params_.frame.width, h = params_.frame.height;
    if (!surface_) {
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    }
    for (const RectI& rect : rects) {
        if (rect.Empty() || !params_.paint) {
            continue;
        }
        cairo_t* cr = cairo_create(surface_);
        cairo_rectangle(cr, rect.x, rect.y, rect.width, rect.height);
        cairo_clip(cr);
        params_.paint(cr, rect);
        cairo_destroy(cr);
    }
    painted_ = true;
    invalidations_.clear();
    cairo_surface_flush(surface_);
    Image image{w, h, std::vector<std::uint32_t>(std::size_t(w) * h)};
    const int stride = cairo_image_surface_get_stride(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    for (int y = 0; y < h; ++y) {
        std::memcpy(&image.pixels[std::size_t(y) * w], data + std::size_t(y) * stride,
                    std::size_t(w) * 4);
    }
    return image;
}

} // namespace platform
