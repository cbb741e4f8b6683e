#include "platform/OffscreenWindow.h"

#include "platform/Messages.h"
#include "platform/Messaging.h"

#include <cairo.h>
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
    return PaintRect(painted_ ? DirtyArea()
                              : RectI{0, 0, params_.frame.width, params_.frame.height});
}

Image OffscreenWindow::PaintAll() {
    return PaintRect({0, 0, params_.frame.width, params_.frame.height});
}

Image OffscreenWindow::PaintRect(const RectI& rect) {
    const int w = params_.frame.width, h = params_.frame.height;
    if (!surface_) {
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    }
    if (!rect.Empty() && params_.paint) {
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
