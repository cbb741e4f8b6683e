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

    bool IsHovered() const { return m_hovered; }
    bool IsPressed() const { return m_pressed; }
    bool IsDisabled() const { return m_disabled; }
    // No description member sets it; a page may grey a button out.
    void SetDisabled(bool disabled);
    const std::string& GetValue() const { return m_value; }
    // The picture the current state shows, none when the background is used.
    const gfx::Bitmap* CurrentPicture() const;
    // Where the icon and the text go in the content rectangle (millimetres).
    gfx::RectF IconRect(double dpi) const;
    double TextStart(double dpi) const;

private:
    void SetState(bool* flag, bool value);

    std::string m_value;
    FontSet m_font;
    std::unique_ptr<gfx::Bitmap> m_icon;
    std::unique_ptr<gfx::Bitmap> m_normal;
    std::unique_ptr<gfx::Bitmap> m_hover;
    std::unique_ptr<gfx::Bitmap> m_press;
    std::unique_ptr<gfx::Bitmap> m_disabledPicture;
    gfx::Color m_hoverBackground = 0xFF000000;
    gfx::Color m_pressBackground = 0xFF000000;
    bool m_disabled = false;
    bool m_hovered = false;
    bool m_pressed = false;
};

// The rectangle moved and sized to whole pixels, as pictures are drawn.
gfx::RectF SnapToPixels(const gfx::RectF& mm, double dpi);

} // namespace Plenvo
