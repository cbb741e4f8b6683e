#include "view/WindowCaret.h"

#include "platform/Messaging.h"

#include <algorithm>

namespace Plenvo {

void CWindowCaret::Create(int width, int height) {
    Invalidate();
    created_ = true;
    hideCount_ = 1;
    rect_.width = std::max(width, 1);
    rect_.height = std::max(height, 1);
    UpdateBlink();
}

void CWindowCaret::Show() {
    if (created_ && hideCount_ > 0 && --hideCount_ == 0) {
        blinkOn_ = true;
        Invalidate();
    }
    UpdateBlink();
}

void CWindowCaret::Hide() {
    if (created_ && hideCount_++ == 0) {
        Invalidate();
    }
    UpdateBlink();
}

void CWindowCaret::SetPos(int x, int y) {
    Invalidate();
    rect_.x = x;
    rect_.y = y;
    blinkOn_ = true;
    Invalidate();
    if (platform::NativeWindow* window = window_()) {
        window->SetImeCursorArea(rect_);
        // Moving restarts the blink so the caret is seen where it landed.
        if (blinking_) {
            platform::SetTimer(window->Handle(), kTimer, kBlinkMs);
        }
    }
}

void CWindowCaret::Invalidate() {
    if (platform::NativeWindow* window = window_(); window && created_) {
        window->Invalidate(rect_);
    }
}

void CWindowCaret::Scrolled(const platform::RectI& area, int dy) {
    if (platform::NativeWindow* window = window_(); window && created_) {
        window->Invalidate(rect_);
        window->Invalidate(platform::MovedWithin(rect_, area, dy));
    }
}

void CWindowCaret::UpdateBlink() {
    platform::NativeWindow* window = window_();
    const bool want = window && created_ && hideCount_ == 0 && window->HasFocus();
    if (want == blinking_) {
        return;
    }
    blinking_ = want;
    if (want) {
        platform::SetTimer(window->Handle(), kTimer, kBlinkMs);
    } else if (window) {
        platform::KillTimer(window->Handle(), kTimer);
    }
    blinkOn_ = true;
    Invalidate();
}

void CWindowCaret::OnTimer() {
    blinkOn_ = !blinkOn_;
    Invalidate();
}

void CWindowCaret::Paint(cairo_t* cr, const platform::RectI& update) const {
    if (!created_ || hideCount_ != 0 || !blinkOn_) {
        return;
    }
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_reset_clip(cr);
    cairo_rectangle(cr, update.x, update.y, update.width, update.height);
    cairo_clip(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, rect_.x, rect_.y, rect_.width, rect_.height);
    cairo_fill(cr);
    cairo_restore(cr);
}

} // namespace Plenvo
