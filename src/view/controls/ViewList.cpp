#include "view/controls/ViewList.h"

#include "gfx/Graphics.h"
#include "gfx/Units.h"
#include "platform/Messages.h"
#include "view/LayeredRenderer.h"
#include "view/controls/ViewScrollBar.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <limits>

namespace Plenvo {

namespace {

// The position a "scrolltrack" parameter carries: the first "track." followed by a number.
bool ParseTrack(const std::string& parameter, double& mm) {
    constexpr std::string_view key = "track.";
    for (std::size_t at = parameter.find(key); at != std::string::npos;
         at = parameter.find(key, at + 1)) {
        const std::size_t start = at + key.size();
        if (start < parameter.size() &&
            std::isdigit(static_cast<unsigned char>(parameter[start]))) {
            mm = std::atof(parameter.c_str() + start);
            return true;
        }
    }
    return false;
}

} // namespace

CViewList::CViewList(Json description) : CViewElement(std::move(description)) {}

CViewList::~CViewList() {
    if (scrollBar_ && scrollBar_->GetParent() == this) {
        scrollBar_->SetParent(nullptr);
    }
}

bool CViewList::ReadProperties() {
    const Json& d = description_;
    const auto number = [&d](const char* key) {
        if (!d.is_object()) {
            return 0.0;
        }
        const auto it = d.find(key);
        return it != d.end() && it->is_number() ? it->get<double>() : 0.0;
    };
    const auto text = [&d](const char* key) {
        const std::string* value = StringMember(d, key);
        return value ? *value : std::string();
    };
    style_.width = number("item_width");
    style_.height = number("item_height");
    style_.titleFont = text("item_titlefont");
    style_.subtitleFont = text("item_subtitlefont");
    style_.background = ParseColor(text("item_bkgnd"));
    style_.hoverBackground = ParseColor(text("item_hover_bkgnd"));
    style_.checkedBackground = ParseColor(text("item_checked_bkgnd"));
    style_.titlePadding = ParsePadding(text("item_titlepadding"));
    style_.subtitlePadding = ParsePadding(text("item_subtitlepadding"));
    if (!CViewElement::ReadProperties()) {
        return false;
    }
    if (scrollBar_ && scrollBar_->GetParent() == this) {
        scrollBar_->SetParent(nullptr);
    }
    Json bar = {{"width", 2.2}, {"height", "99%"}, {"bkgnd", "argb(50,0,0,0)"}};
    bar["layer"] = layer_ == std::numeric_limits<std::int32_t>::max() ? layer_ : layer_ + 1;
    scrollBar_ = std::make_shared<CViewScrollBar>(std::move(bar));
    scrollBar_->ReadProperties();
    if (scrollBar_->GetName().empty()) {
        scrollBar_->SetName("scrollbar");
    }
    scrollBar_->AddEventHandler(
        "scrolltrack", [this](const std::shared_ptr<CViewElement>&, const std::string& parameter) {
            return OnScrollTrack(parameter);
        });
    return true;
}

CViewListItem& CViewList::AddItem(std::string title, std::string subtitle, std::uint32_t id) {
    items_.push_back(
        std::make_shared<CViewListItem>(this, style_, std::move(title), std::move(subtitle), id));
    RequestLayout();
    return *items_.back();
}

CViewListItem* CViewList::GetItem(std::uint32_t id) const {
    for (const auto& item : items_) {
        if (item->GetId() == id) {
            return item.get();
        }
    }
    return nullptr;
}

void CViewList::SetChecked(std::uint32_t id, bool checked) {
    if (CViewListItem* item = GetItem(id)) {
        item->SetChecked(checked);
    }
}

std::array<std::uint32_t, CViewList::kMaxChecked> CViewList::GetCheckedIds() const {
    std::array<std::uint32_t, kMaxChecked> ids;
    ids.fill(kNoId);
    std::size_t count = 0;
    for (const auto& item : items_) {
        if (count == kMaxChecked) {
            break;
        }
        if (item->IsChecked()) {
            ids[count++] = item->GetId();
        }
    }
    return ids;
}

void CViewList::ClearChildren() {
    for (const auto& item : items_) {
        InvalidateRectMm(item->GetRect());
    }
    items_.clear();
    RequestLayout();
}

double CViewList::ClampOffset(double offset) const {
    const double overflow = std::max(0.0, contentHeight_ - size_.height);
    return std::clamp(offset, -overflow, 0.0);
}

void CViewList::MoveItems() {
    for (const auto& item : items_) {
        const gfx::PointF last = item->GetLastPosition();
        item->Place({last.x, last.y + offset_});
    }
}

void CViewList::Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                       bool registerInLayer) {
    CViewElement::Layout(result, origin, resultSize, registerInLayer);

    gfx::PointF cursor = origin;
    contentHeight_ = 0;
    for (const auto& item : items_) {
        if (item->GetLastPosition() != cursor) {
            result = gfx::RectF::Union(result, item->GetRect());
        }
        item->SetLastPosition(cursor);
        item->Place(cursor);
        result = gfx::RectF::Union(result, item->GetRect());
        cursor.y += style_.height;
        contentHeight_ += style_.height;
    }
    // A list that lost items must not stay scrolled past its new end.
    offset_ = ClampOffset(offset_);
    MoveItems();

    if (scrollBar_) {
        if (!scrollBar_->GetParent()) {
            scrollBar_->SetParent(this);
        }
        scrollBar_->SetSpace({kScrollBarRoom, contentRect_.height});
        gfx::RectF barArea;
        gfx::SizeF barSize;
        scrollBar_->Layout(
            barArea, {contentRect_.x + contentRect_.width - kScrollBarRoom, contentRect_.y + 1.0},
            barSize, registerInLayer);
        scrollBar_->SetRangeMm(contentHeight_, contentRect_.height);
        scrollBar_->SetScrollPos(-offset_);
    }
}

void CViewList::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) {
    CViewElement::Paint(graphics, clip, layer);
    const gfx::RectF visible = gfx::RectF::Intersect(GetRect(), clip);
    if (visible.IsEmpty()) {
        return;
    }
    const int state = graphics.Save();
    graphics.SetClip(visible, gfx::CombineMode::Replace);
    for (const auto& item : items_) {
        item->Paint(graphics, visible);
    }
    graphics.Restore(state);
}

void CViewList::ScrollTo(double offset) {
    offset_ = ClampOffset(offset);
    if (scrollBar_) {
        scrollBar_->SetScrollPos(-offset_);
    }
    MoveItems();
    InvalidateSelf();
}

int CViewList::OnScrollTrack(const std::string& parameter) {
    double mm = 0;
    if (!ParseTrack(parameter, mm)) {
        return 0;
    }
    offset_ = -mm;
    if (scrollBar_) {
        scrollBar_->SetScrollPos(mm);
    }
    MoveItems();
    InvalidateSelf();
    return 1;
}

bool CViewList::HandleMessage(platform::UINT message, platform::WPARAM wParam,
                              platform::LPARAM lParam, platform::LRESULT&) {
    if (!IsMouseMessage(message)) {
        return false;
    }
    const gfx::PointF point = MessagePointMm(message, lParam);
    if (!GetRect().Contains(point)) {
        return false;
    }
    lastPoint_ = point;
    if (message == platform::WM_MOUSEWHEEL) {
        if (size_.height < contentHeight_) {
            const auto delta = static_cast<std::int16_t>(platform::HighWord(wParam));
            ScrollTo(offset_ + (delta > 0 ? kWheelStep : -kWheelStep));
            return true;
        }
        offset_ = 0;
    }
    const auto self = weak_from_this().lock();
    for (const auto& item : items_) {
        if (item->GetRect().Contains(point)) {
            const auto hold = item;
            return hold->HandleMessage(message);
        }
    }
    return false;
}

} // namespace Plenvo
