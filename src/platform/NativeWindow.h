#pragma once
// A top-level window of the platform: the GTK backend puts it on screen, the offscreen backend
// keeps it in memory for tests and for rendering a window to an image. Input reaches the window
// procedure as messages with Win32 meaning; painting reaches the paint procedure as a cairo
// context and the update rectangle in pixels.
#include "platform/PixelGeometry.h"
#include "platform/Types.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

struct _cairo;

namespace platform {

enum class Cursor { Arrow, Hand, IBeam };

using PaintProc = std::function<void(_cairo* cr, const RectI& update)>;

struct WindowParams {
    std::string title;
    // Position on the screen and client size, in pixels.
    RectI frame;
    WndProc proc;
    PaintProc paint;
    bool visible = true;
};

class NativeWindow {
public:
    virtual ~NativeWindow() = default;

    // A GTK window; none without an open display. WM_CREATE goes to the procedure first; when it
    // answers -1 nothing is created. Off-screen windows only when asked for by name.
    static std::unique_ptr<NativeWindow> Create(WindowParams params);
    static std::unique_ptr<NativeWindow> CreateOffscreen(WindowParams params);

    virtual HWND Handle() const = 0;
    // False once destroyed (by Destroy or platform::DestroyWindow on the handle).
    virtual bool Exists() const = 0;
    virtual SizeI ClientSize() const = 0;
    virtual RectI Frame() const = 0;
    // Marks pixels for repainting; no background erase.
    virtual void Invalidate(const RectI& rect) = 0;
    // Moves what the window shows inside the rectangle by dy pixel rows (down when positive), as
    // content scrolled under it does, and repaints the rows it uncovers. What was waiting to be
    // repainted there is repainted at its old place and at its new one.
    virtual void Scroll(const RectI& rect, int dy) = 0;
    virtual void SetCapture(bool on) = 0;
    virtual bool HasCapture() const = 0;
    virtual void Focus() = 0;
    virtual bool HasFocus() const = 0;
    virtual void SetCursor(Cursor cursor) = 0;
    // Shows the text as the window's tooltip; none hides it.
    virtual void SetTooltip(const std::optional<std::string>& text) = 0;
    // Where the input method places its composition window, in client pixels.
    virtual void SetImeCursorArea(const RectI& rect) = 0;
    virtual PointI ScreenToClient(PointI screen) const = 0;
    // Sends WM_DESTROY and WM_NCDESTROY, then removes the window.
    virtual void Destroy() = 0;
};

} // namespace platform
