#include "view/controls/ViewComboBox.h"

#include "gfx/Graphics.h"
#include "gfx/Pen.h"
#include "gfx/Units.h"
#include "platform/Messages.h"
#include "view/LayeredRenderer.h"
#include "view/controls/ViewButton.h"

#include <array>
#include <limits>

namespace Plenvo {

namespace {

// Every entry's look: full width, 8 mm high, light blue under the pointer, black text.
const char* const kEntryDescription =
    R"j({"width":"100%","height":8,"bkgnd":"argb(255,209,228,245)",)j"
    R"j("font":"family:微软雅黑;size:3.7;line-align-center;color:argb(255,0,0,0)"})j";

void DrawFrame(gfx::Graphics& graphics, const gfx::Pen& pen, const gfx::RectF& r) {
    const std::array<gfx::PointF, 5> frame{gfx::PointF{r.x, r.y}, gfx::PointF{r.x + r.width, r.y},
                                           gfx::PointF{r.x + r.width, r.y + r.height},
                                           gfx::PointF{r.x, r.y + r.height}, gfx::PointF{r.x, r.y}};
    graphics.DrawLines(pen, frame);
}

} // namespace

CViewComboBox::CViewComboBox(Json description) : CViewElement(std::move(description)) {}

CViewComboBox::~CViewComboBox() {
    for (const auto& entry : entries_) {
        entry->SetParent(nullptr);
    }
}

std::int32_t CViewComboBox::DropLayer() const {
    return layer_ == std::numeric_limits<std::int32_t>::max() ? layer_ : layer_ + 1;
}

bool CViewComboBox::ReadProperties() {
    const std::string* icon = StringMember(description_, "icon");
    icon_ = icon && !icon->empty() ? LoadImage(*icon) : nullptr;
    const std::string* font = StringMember(description_, "font");
    font_ = ParseFont(font ? *font : std::string_view());
    const std::string* drop = StringMember(description_, "dropbkgnd");
    dropBackground_ = drop ? ParseColor(*drop, 0xFFFFFFFF) : 0xFFFFFFFF;
    const bool result = CViewElement::ReadProperties();
    if (description_.is_object()) {
        const auto values = description_.find("values");
        if (values != description_.end() && values->is_array()) {
            for (const Json& value : *values) {
                if (!value.is_object()) {
                    continue;
                }
                const std::string* text = StringMember(value, "str");
                std::int32_t number = 0;
                IntMember(value, "value", number);
                AddValue(text ? *text : std::string(), number);
            }
        }
    }
    return result;
}

void CViewComboBox::AddValue(const std::string& text, std::int32_t value) {
    auto entry = std::make_shared<CViewComboBoxItem>(Json::parse(kEntryDescription), this);
    entry->ReadProperties();
    entry->SetText(text);
    entry->SetValue(value);
    entries_.push_back(std::move(entry));
    RequestLayout();
}

void CViewComboBox::SelectByValue(std::int32_t value) {
    for (const auto& entry : entries_) {
        if (entry->GetValue() == value) {
            Select(entry.get());
            return;
        }
    }
}

void CViewComboBox::Select(CViewComboBoxItem* entry) {
    for (const auto& candidate : entries_) {
        if (candidate.get() == entry) {
            chosen_ = candidate;
        }
    }
    open_ = false;
    InvalidateSelf();
}

std::int32_t CViewComboBox::GetSelectedValue() const {
    return chosen_ ? chosen_->GetValue() : -1;
}

void CViewComboBox::CloseDropDown() {
    open_ = false;
    if (CLayeredRenderer* renderer = FindLayeredRenderer()) {
        renderer->Unregister(DropLayer(), this);
    }
    InvalidateSelf();
}

void CViewComboBox::ClearChildren() {
    CViewElement::ClearChildren();
    chosen_.reset();
}

void CViewComboBox::InvalidateSelf() {
    InvalidateRectMm(gfx::RectF::Union(GetRect(), dropRect_).Inflated(1.0));
}

void CViewComboBox::Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                           bool registerInLayer) {
    CViewElement::Layout(result, origin, resultSize, registerInLayer);
    const gfx::RectF& c = contentRect_;
    if (icon_) {
        const double dpi = GetDpi();
        const double w = gfx::PxToMm(icon_->Width(), dpi);
        const double h = gfx::PxToMm(icon_->Height(), dpi);
        iconRect_ = {c.x + c.width - w - kIconInset, c.y + (c.height - h) * 0.5, w, h};
    }
    dropRect_ = {c.x, c.y + c.height + kDropGap, c.width, 0};
    for (const auto& entry : entries_) {
        entry->SetSpace({dropRect_.width, 0});
        gfx::RectF area;
        gfx::SizeF size;
        entry->Layout(area, {dropRect_.x, dropRect_.y + dropRect_.height}, size, registerInLayer);
        result = gfx::RectF::Union(result, area);
        dropRect_.height += size.height;
    }
    result = gfx::RectF::Union(result, dropRect_);
}

void CViewComboBox::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) {
    if (layer == layer_) {
        if (!GetRect().Intersects(clip) || !contentRect_.Intersects(clip)) {
            return;
        }
        graphics.FillRectangle(background_, gfx::RectF::Intersect(contentRect_, clip));
        if (gridPen_) {
            DrawFrame(graphics, *gridPen_, contentRect_);
        }
        if (icon_) {
            graphics.DrawImage(*icon_, SnapToPixels(iconRect_, graphics.Dpi()));
        }
        if (chosen_) {
            chosen_->DrawText(graphics, contentRect_);
        }
        return;
    }
    if (!open_ || !dropRect_.Intersects(clip)) {
        return;
    }
    graphics.FillRectangle(dropBackground_, dropRect_);
    for (const auto& entry : entries_) {
        entry->Paint(graphics, clip, layer);
    }
    const gfx::Pen frame(kFrameColor, kFrameWidth);
    DrawFrame(graphics, frame, dropRect_);
}

bool CViewComboBox::HandleMessage(platform::UINT message, platform::WPARAM wParam,
                                  platform::LPARAM lParam, platform::LRESULT& result) {
    if (!IsMouseMessage(message)) {
        return false;
    }
    const auto self = weak_from_this().lock();
    const gfx::PointF point = MessagePointMm(message, lParam);
    bool handled = false;
    if (contentRect_.Contains(point)) {
        if (message == platform::WM_LBUTTONDOWN) {
            SetActiveId(this);
            handled = true;
        } else if (message == platform::WM_LBUTTONUP && IsActiveId(this)) {
            handled = true;
            open_ = !open_;
            std::weak_ptr<CViewElement> weak = weak_from_this();
            SetFocusId(this, [weak] {
                if (auto box = std::static_pointer_cast<CViewComboBox>(weak.lock())) {
                    box->CloseDropDown();
                }
            });
            if (CLayeredRenderer* renderer = FindLayeredRenderer()) {
                if (open_) {
                    renderer->RegisterInLayer(DropLayer(), self);
                } else {
                    renderer->Unregister(DropLayer(), this);
                }
            }
        }
    } else if (open_ && dropRect_.Contains(point)) {
        for (const auto& entry : entries_) {
            if (entry->HandleMessage(message, wParam, lParam, result)) {
                break;
            }
        }
        // The open list owns its area: nothing beneath it sees a press or a release there.
        handled = true;
    }
    if (handled) {
        InvalidateSelf();
    }
    return handled;
}

} // namespace Plenvo
