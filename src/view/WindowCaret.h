#pragma once
// The caret of a page window: the platform's hide count, a blink that runs only while the window
// has the focus (an unfocused window wakes nobody up), drawn over the tree by inverting what lies
// under it. The window may be absent (not created yet, or gone): then nothing is shown or timed.
#include "platform/NativeWindow.h"
#include "platform/PixelGeometry.h"
#include "platform/Types.h"

#include <cairo.h>
#include <functional>

namespace Plenvo {

class CWindowCaret {
public:
    static constexpr platform::UINT_PTR kTimer = 0xCA7E;
    static constexpr unsigned kBlinkMs = 530;

    explicit CWindowCaret(std::function<platform::NativeWindow*()> window)
        : window_(std::move(window)) {}

    void Create(int width, int height);
    void Show();
    void Hide();
    void SetPos(int x, int y);
    // After the window gained or lost the focus.
    void UpdateBlink();
    void OnTimer();
    void Paint(cairo_t* cr, const platform::RectI& update) const;
    // The window's pixels inside the area moved dy rows: the caret drawn among them is repainted
    // where its picture went and where it is.
    void Scrolled(const platform::RectI& area, int dy);

private:
    void Invalidate();

    std::function<platform::NativeWindow*()> window_;
    bool created_ = false;
    int hideCount_ = 1;
    platform::RectI rect_;
    bool blinkOn_ = true;
    bool blinking_ = false;
};

} // namespace Plenvo
