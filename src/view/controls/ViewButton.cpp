#include "view/controls/ViewButton.h"

#include "gfx/Graphics.h"
#include "gfx/Units.h"

#include <cmath>

namespace Plenvo {

gfx::RectF SnapToPixels(const gfx::RectF& mm, double dpi) {
    const auto snap = [dpi](double v) { return gfx::PxToMm(std::round(gfx::MmToPx(v, dpi)), dpi); };
    return {snap(mm.x), snap(mm.y), snap(mm.width), snap(mm.height)};
}

CViewButton::CViewButton(Json description) : CViewElement(std::move(description)) {}

bool CViewButton::ReadProperties() {
    const std::string* value = StringMember(m_description, "value");
    m_value = value ? *value : std::string();
    const std::string* icon = StringMember(m_description, "icon");
    m_icon = icon && !icon->empty() ? LoadImage(*icon) : nullptr;
    const std::string* font = StringMember(m_description, "font");
    m_font = ParseFont(font ? *font : std::string_view());
    if (!CViewElement::ReadProperties()) {
        return false;
    }
    const std::string* hover = StringMember(m_description, "hover-bkgnd");
    m_hoverBackground = hover ? ParseColor(*hover, m_background) : m_background;
    const std::string* press = StringMember(m_description, "press-bkgnd");
    m_pressBackground = press ? ParseColor(*press, m_background) : m_background;
    const auto picture = [this](const char* key) -> std::unique_ptr<gfx::Bitmap> {
        const std::string* name = StringMember(m_description, key);
        return name && !name->empty() ? LoadImage(*name) : nullptr;
    };
    m_normal = picture("texnor");
    m_hover = picture("texhov");
    m_press = picture("texpre");
    m_disabledPicture = picture("texdis");

    const auto state = [this](bool CViewButton::*flag, bool value) {
        return [this, flag, value](const std::shared_ptr<CViewElement>&, const std::string&) {
            SetState(&(this->*flag), value);
            return flag == &CViewButton::m_hovered ? 1 : 0;
        };
    };
    RemoveEventHandlers("mousein");
    RemoveEventHandlers("mouseleave");
    RemoveEventHandlers("lbuttondown");
    RemoveEventHandlers("lbuttonup");
    AddEventHandler("mousein", state(&CViewButton::m_hovered, true));
    AddEventHandler("mouseleave", state(&CViewButton::m_hovered, false));
    AddEventHandler("lbuttondown", state(&CViewButton::m_pressed, true));
    AddEventHandler("lbuttonup", state(&CViewButton::m_pressed, false));
    return true;
}

void CViewButton::SetState(bool* flag, bool value) {
    *flag = value;
    const gfx::RectF r = GetRect();
    InvalidateRectMm({r.x - 1, r.y - 1, r.width + 2, r.height + 2});
}

void CViewButton::SetDisabled(bool disabled) {
    SetState(&m_disabled, disabled);
}

const gfx::Bitmap* CViewButton::CurrentPicture() const {
    if (m_pressed && m_press) {
        return m_press.get();
    }
    if (m_hovered && m_hover) {
        return m_hover.get();
    }
    if (m_disabled && m_disabledPicture) {
        return m_disabledPicture.get();
    }
    return m_normal.get();
}

gfx::RectF CViewButton::IconRect(double dpi) const {
    if (!m_icon) {
        return {};
    }
    const double w = gfx::PxToMm(m_icon->Width(), dpi);
    const double h = gfx::PxToMm(m_icon->Height(), dpi);
    return {m_contentRect.x + kIconInset, m_contentRect.y + (m_contentRect.height - h) * 0.5, w, h};
}

double CViewButton::TextStart(double dpi) const {
    return m_icon ? m_contentRect.x + kIconInset + IconRect(dpi).width + kIconGap : m_contentRect.x;
}

void CViewButton::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int) {
    const gfx::RectF visible = gfx::RectF::Intersect(GetRect(), clip);
    if (visible.IsEmpty()) {
        return;
    }
    const double dpi = graphics.Dpi();
    const gfx::RectF inner = gfx::RectF::Intersect(m_contentRect, visible);
    if (!inner.IsEmpty()) {
        if (const gfx::Bitmap* picture = CurrentPicture()) {
            graphics.DrawImage(*picture, SnapToPixels(m_contentRect, dpi));
        } else {
            const gfx::Color fill = m_pressed   ? m_pressBackground
                                    : m_hovered ? m_hoverBackground
                                                : m_background;
            graphics.FillRectangle(fill, inner);
        }
    }
    if (m_icon) {
        graphics.DrawImage(*m_icon, SnapToPixels(IconRect(dpi), dpi));
    }
    if (!m_value.empty() && m_font.font && m_font.format && m_font.brush) {
        // The width is not reduced by the icon's offset.
        const gfx::RectF text{TextStart(dpi), m_contentRect.y, m_contentRect.width,
                              m_contentRect.height};
        graphics.DrawString(m_value, *m_font.font, text, *m_font.format, *m_font.brush);
    }
}

} // namespace Plenvo
