#pragma once
// The window backend without a display: it keeps the client area as an image in memory, records
// what the program asks of the window (invalidations, cursor, tooltip, capture, focus) and
// paints on demand. Tests drive it by sending messages to its handle.
#include "platform/NativeWindow.h"

#include <cstdint>
#include <vector>

struct _cairo_surface;

namespace platform {

// Premultiplied ARGB pixels, row by row, as cairo's ARGB32 format keeps them.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t Pixel(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
    bool SavePng(const std::string& path) const;
};

class OffscreenWindow : public NativeWindow {
public:
    // Use NativeWindow::CreateOffscreen, which sends WM_CREATE.
    explicit OffscreenWindow(WindowParams params);
    ~OffscreenWindow() override;

    HWND Handle() const override { return hwnd_; }
    bool Exists() const override;
    SizeI ClientSize() const override { return {params_.frame.width, params_.frame.height}; }
    RectI Frame() const override { return params_.frame; }
    void Invalidate(const RectI& rect) override;
    void Scroll(const RectI& rect, int dy) override;
    void SetCapture(bool on) override { capture_ = on; }
    bool HasCapture() const override { return capture_; }
    void Focus() override;
    // The keyboard focus goes to another window (WM_KILLFOCUS).
    void LoseFocus();
    bool HasFocus() const override { return focus_; }
    void SetCursor(Cursor cursor) override { cursor_ = cursor; }
    void SetTooltip(const std::optional<std::string>& text) override { tooltip_ = text; }
    void SetImeCursorArea(const RectI& rect) override { imeArea_ = rect; }
    PointI ScreenToClient(PointI screen) const override;
    void Destroy() override;

    // Changes the client size and sends WM_SIZE.
    void Resize(SizeI size);
    // Every rectangle invalidated since the last Paint, and their union.
    const std::vector<RectI>& Invalidations() const { return invalidations_; }
    RectI DirtyArea() const;
    // The invalidated region as separate rectangles, as Paint paints them.
    std::vector<RectI> DirtyRects() const;
    // Paints the invalidated rectangles (everything when nothing was painted yet) and returns the
    // window.
    Image Paint();
    // Paints the whole client area regardless of what is dirty.
    Image PaintAll();
    Cursor CurrentCursor() const { return cursor_; }
    const std::optional<std::string>& Tooltip() const { return tooltip_; }
    RectI ImeCursorArea() const { return imeArea_; }

    bool Register();

private:
    Image PaintRects(const std::vector<RectI>& rects);

    WindowParams params_;
    HWND hwnd_ = 0;
    _cairo_surface* surface_ = nullptr;
    std::vector<RectI> invalidations_;
    bool painted_ = false;
    bool capture_ = false;
    bool focus_ = false;
    Cursor cursor_ = Cursor::Arrow;
    std::optional<std::string> tooltip_;
    RectI imeArea_;
};

} // namespace platform
