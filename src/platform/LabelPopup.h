#pragma once
// A small undecorated window holding one line of text over the program's windows, never taking
// the focus: the input method's composition and the hovered element's tooltip.
#include "platform/PixelGeometry.h"

#include <optional>

struct _GtkWidget;
struct _PangoAttrList;

namespace platform {

class LabelPopup {
public:
    // `css` styles the window and its label; `wrapChars` wraps text wider than that many
    // characters (0: one line, however long).
    LabelPopup(const char* css, int wrapChars);
    ~LabelPopup();
    LabelPopup(const LabelPopup&) = delete;
    LabelPopup& operator=(const LabelPopup&) = delete;

    // The text and its pango attributes (may be null); the window shrinks to a shorter text.
    void SetText(_GtkWidget* owner, const char* text, _PangoAttrList* attributes);
    // Puts the top-left corner at (x, y) on the screen, moved left rather than past the work
    // area's right edge; with `above`, a window that would pass the bottom edge goes above that
    // line instead.
    void MoveTo(_GtkWidget* owner, int x, int y, std::optional<int> above = std::nullopt);
    void Show();
    void Hide();
    bool Visible() const { return visible_; }
    RectI Frame() const;

private:
    void Build(_GtkWidget* owner);

    const char* css_;
    int wrapChars_;
    _GtkWidget* popup_ = nullptr;
    _GtkWidget* label_ = nullptr;
    bool visible_ = false;
};

} // namespace platform
