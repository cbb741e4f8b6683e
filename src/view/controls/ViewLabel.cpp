#include "view/controls/ViewLabel.h"

#include "gfx/Graphics.h"

namespace Plenvo {

CViewLabel::CViewLabel(Json description) : CViewElement(std::move(description)) {}

bool CViewLabel::ReadProperties() {
    const std::string* value = StringMember(description_, "value");
    value_ = value ? *value : std::string();
    const std::string* font = StringMember(description_, "font");
    font_ = ParseFont(font ? *font : std::string_view());
    return CViewElement::ReadProperties();
}

void CViewLabel::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) {
    if (!GetRect().Intersects(clip)) {
        return;
    }
    CViewElement::Paint(graphics, clip, layer);
    if (!value_.empty() && font_.font && font_.format && font_.brush) {
        graphics.DrawString(value_, *font_.font, contentRect_, *font_.format, *font_.brush);
    }
}

void CViewLabel::SetValue(std::string value) {
    value_ = std::move(value);
    InvalidateSelf();
}

} // namespace Plenvo
