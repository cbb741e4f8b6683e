#pragma once
// What an element may ask of the window that hosts its tree: invalidation, the caret, mouse
// capture, keyboard focus, a measuring context, window timers, the log, the tooltip and the
// window-wide overlays. The page window implements it; elements reach it through GetHostWindow.
#include "gfx/Geometry.h"
#include "platform/Types.h"
#include "view/ViewTypes.h"

#include <functional>
#include <optional>
#include <string>

namespace gfx {
class Bitmap;
class Graphics;
} // namespace gfx

namespace Plenvo {

// Units of InvalidateArea, numbered as the drawing platform numbers them.
inline constexpr int kUnitPixel = 2;
inline constexpr int kUnitMillimetre = 6;

class IHostWindow {
public:
    virtual ~IHostWindow() = default;

    // A rectangle in device pixels, invalidated without erasing.
    virtual void Invalidate(const platform::RectI& rect) = 0;
    // x, y, width, height in the given unit: kUnitPixel (truncated) or kUnitMillimetre (each
    // value rounded up to pixels); other units do nothing.
    virtual void InvalidateArea(const gfx::RectF& rect, int unit) = 0;
    virtual void ShowCaret() = 0;
    // Without a bitmap: a solid caret of the given pixel size.
    virtual void CreateCaret(const gfx::Bitmap* bitmap, int width, int height) = 0;
    virtual void SetCaretPos(int x, int y) = 0;
    virtual void HideCaret() = 0;
    // Part of the interface callers were built against; this host does nothing with it.
    virtual void Reserved(int first, int second) = 0;
    virtual void SetCapture(bool on) = 0;
    virtual void SetFocus() = 0;
    // A context for measuring in the window's resolution; hand it back with ReleaseDC.
    virtual gfx::Graphics* GetDC() = 0;
    virtual void ReleaseDC(gfx::Graphics* dc) = 0;
    // Window timers; their WM_TIMER is routed into the tree.
    virtual void SetTimer(platform::UINT_PTR id, unsigned milliseconds) = 0;
    virtual void KillTimer(platform::UINT_PTR id) = 0;
    virtual platform::HWND GetHandle() = 0;
    // Millimetres.
    virtual gfx::SizeF GetClientSize() = 0;
    // Writes a line to the diagnostic log; the duration is not used.
    virtual void Log(const std::string& text, unsigned duration) = 0;
    // A text shows the tooltip, none hides it.
    virtual void ShowTooltip(const std::optional<std::string>& text) = 0;
    virtual void ShowToast(const std::string& text, unsigned duration) = 0;
    // Up to two buttons, one per caption given; the callback gets the number (1 or 2) of the
    // button pressed.
    virtual void ShowBottomMessage(const std::string& text, const std::string& title,
                                   const std::optional<std::string>& firstCaption,
                                   const std::optional<std::string>& secondCaption,
                                   std::function<void(int button)> callback) = 0;
    virtual void ShowProgress() = 0;
    virtual void HideProgress() = 0;
};

} // namespace Plenvo
