#pragma once
// A text with an optional icon over a background or picture that follows the pointer: normal,
// hovered, pressed. Its own handlers for the pointer events keep them from its ancestors, while
// "click" still travels up to the page.
#include "gfx/Bitmap.h"
#include "view/StyleValues.h"
#include "view/ViewElement.h"

#include <memory>

namespace Plenvo {

class CViewButton : public CViewElement {
public:
    static constexpr double kIconInset = 4.0;
    static constexpr double kIconGap = 2.0;

    explicit CViewButton(Json description);

    bool ReadProperties() override;
    void Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) override;

    bool IsHovered() const { return hovered_; }
    bool IsPressed() const { return pressed_; }
    bool IsDisabled() const { return disabled_; }
    // No description member sets it; a page may grey a button out.
    void SetDisabled(bool disabled);
    const std::string& GetValue() const { return value_; }
    // The picture the current state shows, none when the background is used.
    const gfx::Bitmap* CurrentPicture() const;
    // Where the icon and the text go in the content rectangle (millimetres).
    gfx::RectF IconRect(double dpi) const;
    double TextStart(double dpi) const;

private:
    void SetState(bool* flag, bool value);

    std::string value_;
    FontSet font_;
    std::unique_ptr<gfx::Bitmap> icon_;
    std::unique_ptr<gfx::Bitmap> normal_;
    std::unique_ptr<gfx::Bitmap> hover_;
    std::unique_ptr<gfx::Bitmap> press_;
    std::unique_ptr<gfx::Bitmap> disabledPicture_;
    gfx::Color hoverBackground_ = 0xFF000000;
    gfx::Color pressBackground_ = 0xFF000000;
    bool disabled_ = false;
    bool hovered_ = false;
    bool pressed_ = false;
};

// The rectangle moved and sized to whole pixels, as pictures are drawn.
gfx::RectF SnapToPixels(const gfx::RectF& mm, double dpi);

} // namespace Plenvo
