#include "view/controls/ViewLabel.h"

#include "gfx/Graphics.h"

namespace Plenvo {

CViewLabel::CViewLabel(Json description) : CViewElement(std::move(description)) {}

bool CViewLabel::ReadProperties() {
    const std::string* value = StringMember(m_description, "value");
    m_value = value ? *value : std::string();
    const std::string* font = StringMember(m_description, "font");
    m_font = ParseFont(font ? *font : std::string_view());
    return CViewElement::ReadProperties();
}

void CViewLabel::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) {
    if (!GetRect().Intersects(clip)) {
        return;
    }
    CViewElement::Paint(graphics, clip, layer);
    if (!m_value.empty() && m_font.font && m_font.format && m_font.brush) {
        graphics.DrawString(m_value, *m_font.font, m_contentRect, *m_font.format, *m_font.brush);
    }
}

void CViewLabel::SetValue(std::string value) {
    m_value = std::move(value);
    InvalidateSelf();
}

} // namespace Plenvo
