#include "view/controls/ViewButton.h"

#include "gfx/Graphics.h"
#include "gfx/Units.h"

#include <cmath>

namespace Plenvo {

gfx::RectF SnapToPixels(const gfx::RectF& mm, double dpi) {
    return {gfx::SnapToPixel(mm.x, dpi), gfx::SnapToPixel(mm.y, dpi),
            gfx::SnapToPixel(mm.width, dpi), gfx::SnapToPixel(mm.height, dpi)};
}

CViewButton::CViewButton(Json description) : CViewElement(std::move(description)) {}

bool CViewButton::ReadProperties() {
    const std::string* value = StringMember(description_, "value");
    value_ = value ? *value : std::string();
    const std::string* icon = StringMember(description_, "icon");
    icon_ = icon && !icon->empty() ? LoadImage(*icon) : nullptr;
    const std::string* font = StringMember(description_, "font");
    font_ = ParseFont(font ? *font : std::string_view());
    if (!CViewElement::ReadProperties()) {
        return false;
    }
    const std::string* hover = StringMember(description_, "hover-bkgnd");
    hoverBackground_ = hover ? ParseColor(*hover, background_) : background_;
    const std::string* press = StringMember(description_, "press-bkgnd");
    pressBackground_ = press ? ParseColor(*press, background_) : background_;
    const auto picture = [this](const char* key) -> std::unique_ptr<gfx::Bitmap> {
        const std::string* name = StringMember(description_, key);
        return name && !name->empty() ? LoadImage(*name) : nullptr;
    };
    normal_ = picture("texnor");
    hover_ = picture("texhov");
    press_ = picture("texpre");
    disabledPicture_ = picture("texdis");

    const auto state = [this](bool CViewButton::*flag, bool value) {
        return [this, flag, value](const std::shared_ptr<CViewElement>&, const std::string&) {
            SetState(&(this->*flag), value);
            return flag == &CViewButton::hovered_ ? 1 : 0;
        };
    };
    RemoveEventHandlers("mousein");
    RemoveEventHandlers("mouseleave");
    RemoveEventHandlers("lbuttondown");
    RemoveEventHandlers("lbuttonup");
    AddEventHandler("mousein", state(&CViewButton::hovered_, true));
    AddEventHandler("mouseleave", state(&CViewButton::hovered_, false));
    AddEventHandler("lbuttondown", state(&CViewButton::pressed_, true));
    AddEventHandler("lbuttonup", state(&CViewButton::pressed_, false));
    return true;
}

void CViewButton::SetState(bool* flag, bool value) {
    *flag = value;
    const gfx::RectF r = GetRect();
    InvalidateRectMm({r.x - 1, r.y - 1, r.width + 2, r.height + 2});
}

void CViewButton::SetDisabled(bool disabled) {
    SetState(&disabled_, disabled);
}

const gfx::Bitmap* CViewButton::CurrentPicture() const {
    if (pressed_ && press_) {
        return press_.get();
    }
    if (hovered_ && hover_) {
        return hover_.get();
    }
    if (disabled_ && disabledPicture_) {
        return disabledPicture_.get();
    }
    return normal_.get();
}

gfx::RectF CViewButton::IconRect(double dpi) const {
    if (!icon_) {
        return {};
    }
    const double w = gfx::PxToMm(icon_->Width(), dpi);
    const double h = gfx::PxToMm(icon_->Height(), dpi);
    return {contentRect_.x + kIconInset, contentRect_.y + (contentRect_.height - h) * 0.5, w, h};
}

double CViewButton::TextStart(double dpi) const {
    return icon_ ? contentRect_.x + kIconInset + IconRect(dpi).width + kIconGap : contentRect_.x;
}

void CViewButton::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int) {
    const gfx::RectF visible = gfx::RectF::Intersect(GetRect(), clip);
    if (visible.IsEmpty()) {
        return;
    }
    const double dpi = graphics.Dpi();
    const gfx::RectF inner = gfx::RectF::Intersect(contentRect_, visible);
    if (!inner.IsEmpty()) {
        if (const gfx::Bitmap* picture = CurrentPicture()) {
            graphics.DrawImage(*picture, SnapToPixels(contentRect_, dpi));
        } else {
            const gfx::Color fill = pressed_   ? pressBackground_
                                    : hovered_ ? hoverBackground_
                                               : background_;
            graphics.FillRectangle(fill, inner);
        }
    }
    if (icon_) {
        graphics.DrawImage(*icon_, SnapToPixels(IconRect(dpi), dpi));
    }
    if (!value_.empty() && font_.font && font_.format && font_.brush) {
        // The width is not reduced by the icon's offset.
        const gfx::RectF text{TextStart(dpi), contentRect_.y, contentRect_.width,
                              contentRect_.height};
        graphics.DrawString(value_, *font_.font, text, *font_.format, *font_.brush);
    }
}

} // namespace Plenvo
