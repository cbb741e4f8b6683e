#include "view/controls/ViewListItem.h"

#include "gfx/Graphics.h"
#include "gfx/Units.h"
#include "platform/Encoding.h"
#include "platform/Messages.h"
#include "view/IHostWindow.h"
#include "view/controls/ViewList.h"

#include <cstdio>

namespace Plenvo {

namespace {

constexpr const char* kEllipsis = "...";

} // namespace

CViewListItem::CViewListItem(CViewList* list, const Style& style, std::string title,
                             std::string subtitle, std::uint32_t id)
    : title_(std::move(title)), subtitle_(std::move(subtitle)), id_(id),
      list_(list), rect_{0, 0, style.width, style.height}, background_(style.background),
      hoverBackground_(style.hoverBackground), checkedBackground_(style.checkedBackground),
      titleFont_(ParseFont(style.titleFont)), subtitleFont_(ParseFont(style.subtitleFont)),
      titlePadding_(style.titlePadding), subtitlePadding_(style.subtitlePadding) {
    if (titleFont_.format) {
        titleFont_.format->SetFlags(titleFont_.format->GetFlags() | gfx::StringFormat::kNoWrap);
    }
}

void CViewListItem::Place(gfx::PointF position) {
    rect_.x = position.x;
    rect_.y = position.y;
    const double half = rect_.height * 0.5;
    titleRect_ = {rect_.x + titlePadding_.left, rect_.y + titlePadding_.top,
                  rect_.width - titlePadding_.right, half - titlePadding_.bottom};
    subtitleRect_ = {rect_.x + subtitlePadding_.left, rect_.y + half + subtitlePadding_.top,
                     rect_.width - subtitlePadding_.right, half - subtitlePadding_.bottom};
}

void CViewListItem::SetSubtitle(std::string subtitle) {
    subtitle_ = std::move(subtitle);
    Invalidate();
}

void CViewListItem::SetChecked(bool checked) {
    checked_ = checked;
    Invalidate();
}

void CViewListItem::Invalidate() {
    list_->InvalidateRectMm(rect_);
}

void CViewListItem::FitTitle(gfx::Graphics& graphics) {
    if (shownWidth_ == titleRect_.width && shownDpi_ == graphics.Dpi()) {
        return;
    }
    shownWidth_ = titleRect_.width;
    shownDpi_ = graphics.Dpi();
    shown_ = title_;
    tooltip_.clear();
    const gfx::Font& font = *titleFont_.font;
    const gfx::StringFormat& format = *titleFont_.format;
    const gfx::RectF unbounded{0, 0, 0, 0};
    const double available = titleRect_.width - kTitleReserve;
    if (graphics.MeasureString(title_, font, unbounded, format).width <= available) {
        return;
    }
    // The first prefix (two characters or more) that no longer fits with "..." appended is the
    // one shown; the reserve takes the excess. Widths grow with the prefix, so search for it.
    const std::u32string chars = platform::Utf8ToUtf32(title_);
    const auto candidate = [&](std::size_t length) {
        return platform::Utf32ToUtf8(chars.substr(0, length)) + kEllipsis;
    };
    const auto tooWide = [&](std::size_t length) {
        return graphics.MeasureString(candidate(length), font, unbounded, format).width > available;
    };
    std::size_t low = std::min<std::size_t>(2, chars.size());
    std::size_t high = chars.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (tooWide(mid)) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    shown_ = candidate(low);
    tooltip_ = title_;
}

void CViewListItem::Paint(gfx::Graphics& graphics, const gfx::RectF& clip) {
    if (!rect_.Intersects(clip) || gfx::MmRectToPx(rect_, graphics.Dpi()).IsEmpty()) {
        return;
    }
    const gfx::Color fill = checked_   ? checkedBackground_
                            : hovered_ ? hoverBackground_
                                       : background_;
    graphics.FillRectangle(fill, rect_);
    if (titleFont_.font && titleFont_.format && titleFont_.brush) {
        FitTitle(graphics);
        graphics.DrawString(shown_, *titleFont_.font, titleRect_, *titleFont_.format,
                            *titleFont_.brush);
    }
    if (subtitleFont_.font && subtitleFont_.format && subtitleFont_.brush) {
        graphics.DrawString(subtitle_, *subtitleFont_.font, subtitleRect_, *subtitleFont_.format,
                            *subtitleFont_.brush);
    }
}

bool CViewListItem::HandleMessage(platform::UINT message) {
    char parameter[32];
    std::snprintf(parameter, sizeof parameter, "listitem.%u", static_cast<unsigned>(id_));
    // Handlers may clear the list; the item and the list stay alive until this returns.
    const auto self = shared_from_this();
    const auto list = list_->weak_from_this().lock();
    switch (message) {
    case platform::WM_MOUSEMOVE: {
        std::weak_ptr<CViewListItem> weak = weak_from_this();
        const bool entered = list_->TrackHoverRegion(this, rect_, [weak] {
            const auto item = weak.lock();
            if (!item) {
                return;
            }
            item->hovered_ = false;
            item->Invalidate();
            if (!item->tooltip_.empty()) {
                if (IHostWindow* host = item->list_->GetHostWindow()) {
                    host->ShowTooltip(std::nullopt);
                }
            }
        });
        if (entered) {
            hovered_ = true;
            Invalidate();
            if (!tooltip_.empty()) {
                if (IHostWindow* host = list_->GetHostWindow()) {
                    host->ShowTooltip(tooltip_);
                }
            }
        }
        return true;
    }
    case platform::WM_LBUTTONDOWN:
        list_->SetActiveId(this);
        return true;
    case platform::WM_LBUTTONUP:
        if (!list_->IsActiveId(this)) {
            return false;
        }
        list_->FireEvent("click", parameter);
        Invalidate();
        return true;
    case platform::WM_RBUTTONUP:
        list_->FireEvent("contextmenu", parameter);
        return true;
    default:
        return false;
    }
}

} // namespace Plenvo
