#include "view/controls/ViewComboBoxItem.h"

#include "gfx/Graphics.h"
#include "platform/Messages.h"
#include "view/controls/ViewComboBox.h"

namespace Plenvo {

CViewComboBoxItem::CViewComboBoxItem(Json description, CViewComboBox* box)
    : CViewElement(std::move(description)), box_(box) {
    SetParent(box);
}

bool CViewComboBoxItem::ReadProperties() {
    const std::string* font = StringMember(description_, "font");
    font_ = ParseFont(font ? *font : std::string_view());
    return CViewElement::ReadProperties();
}

void CViewComboBoxItem::Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                               bool) {
    position_ = origin;
    const auto resolve = [](const SizeValue& v, double space, double current) {
        switch (v.kind) {
        case SizeKind::Number:
            return v.value;
        case SizeKind::Percent:
            return space * v.value / 100;
        default:
            return current;
        }
    };
    size_.width = resolve(width_, space_.width, size_.width);
    size_.height = resolve(height_, space_.height, size_.height);
    contentRect_ = {position_.x + padding_.left, position_.y + padding_.top,
                    size_.width - padding_.right - padding_.left,
                    size_.height - padding_.bottom - padding_.top};
    result = GetRect();
    resultSize = size_;
}

void CViewComboBoxItem::DrawText(gfx::Graphics& graphics, const gfx::RectF& rect) const {
    if (font_.font && font_.format && font_.brush) {
        graphics.DrawString(text_, *font_.font, rect, *font_.format, *font_.brush);
    }
}

void CViewComboBoxItem::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int) {
    const gfx::RectF visible = gfx::RectF::Intersect(contentRect_, clip);
    if (hovered_ && !visible.IsEmpty()) {
        graphics.FillRectangle(background_, visible);
    }
    DrawText(graphics, contentRect_);
}

bool CViewComboBoxItem::HandleMessage(platform::UINT message, platform::WPARAM,
                                      platform::LPARAM lParam, platform::LRESULT&) {
    if (!contentRect_.Contains(MessagePointMm(message, lParam))) {
        return false;
    }
    switch (message) {
    case platform::WM_MOUSEMOVE: {
        std::weak_ptr<CViewElement> weak = weak_from_this();
        const bool entered = box_->TrackHoverRegion(this, contentRect_, [weak] {
            if (auto entry = std::static_pointer_cast<CViewComboBoxItem>(weak.lock())) {
                entry->hovered_ = false;
                entry->InvalidateSelf();
            }
        });
        if (entered) {
            hovered_ = true;
            InvalidateSelf();
        }
        return true;
    }
    case platform::WM_LBUTTONUP:
        box_->Select(this);
        return true;
    default:
        return false;
    }
}

} // namespace Plenvo
