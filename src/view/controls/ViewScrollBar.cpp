#include "view/controls/ViewScrollBar.h"

#include "gfx/Graphics.h"
#include "gfx/Units.h"
#include "platform/Messages.h"
#include "view/LayeredRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Plenvo {

namespace {

// Truncates towards zero after clamping, so that no value outside the integer range is converted.
int ToPixels(double value, double low, double high) {
    if (!(value == value)) {
        return static_cast<int>(low);
    }
    return static_cast<int>(std::clamp(value, low, high));
}

} // namespace

CViewScrollBar::CViewScrollBar(Json description) : CViewElement(std::move(description)) {}

bool CViewScrollBar::HasThumb() const {
    return static_cast<std::int64_t>(info_.maximum) - info_.minimum > info_.page;
}

void CViewScrollBar::ComputeThumb() {
    const double dpi = GetDpi();
    geometry_.dpi = dpi;
    const auto px = [dpi](double mm) { return ToPixels(gfx::MmToPx(mm, dpi), -1e9, 1e9); };
    const int left = px(contentRect_.x);
    const int top = px(contentRect_.y);
    geometry_.track = {left, top, px(contentRect_.x + contentRect_.width) - left,
                       px(contentRect_.y + contentRect_.height) - top};
    geometry_.thumbTop = 0;
    geometry_.thumbBottom = 0;
    if (!HasThumb()) {
        return;
    }
    // Positions run from the minimum to the last one that still fills the page.
    const double range = static_cast<double>(info_.maximum) - info_.minimum;
    const double span = range - info_.page;
    const double trackHeight = std::max(0, geometry_.track.height);
    const int length = ToPixels(info_.page / range * trackHeight, 0, trackHeight);
    const double free = std::max(0.0, gfx::MmToPx(size_.height, dpi) - length);
    const double p = dragging_ ? info_.trackPosition : info_.position;
    const double along = std::clamp((p - info_.minimum) / span, 0.0, 1.0);
    geometry_.thumbTop = ToPixels(along * free, 0, free);
    geometry_.thumbBottom = geometry_.thumbTop + length;
}

void CViewScrollBar::SetRangeMm(double contentMm, double pageMm) {
    const double dpi = GetDpi();
    const auto pixels = [dpi](double mm) {
        return static_cast<std::int32_t>(std::clamp(gfx::MmToPx(mm, dpi), 0.0, 2147483647.0));
    };
    ScrollInfo info;
    info.minimum = 0;
    info.maximum = pixels(contentMm);
    info.page = pixels(pageMm);
    SetScrollInfo(info, SIF_RANGE | SIF_PAGE);
}

void CViewScrollBar::SetScrollInfo(const ScrollInfo& info, unsigned mask) {
    const ScrollInfo before = info_;
    if (mask & SIF_PAGE) {
        info_.page = info.page == 0 ? 1 : info.page;
    }
    if (mask & SIF_POS) {
        info_.position = info.position;
    }
    if (mask & SIF_RANGE) {
        info_.minimum = info.minimum;
        info_.maximum = info.maximum;
    }
    if (mask & SIF_TRACKPOS) {
        info_.trackPosition = info.trackPosition;
    }
    const Geometry old = geometry_;
    ComputeThumb();
    const bool changed = before.page != info_.page || before.position != info_.position ||
                         before.minimum != info_.minimum || before.maximum != info_.maximum ||
                         before.trackPosition != info_.trackPosition ||
                         old.thumbTop != geometry_.thumbTop ||
                         old.thumbBottom != geometry_.thumbBottom;
    if (changed) {
        InvalidateRectMm(GetRect().Inflated(1.0));
    }
}

void CViewScrollBar::SetScrollPos(double mm) {
    ScrollInfo info;
    info.position = ToPixels(std::round(gfx::MmToPx(mm, GetDpi())), -2147483647.0, 2147483647.0);
    SetScrollInfo(info, SIF_POS);
}

gfx::RectF CViewScrollBar::ThumbRect() const {
    if (!HasThumb() || geometry_.thumbBottom <= geometry_.thumbTop) {
        return {};
    }
    const double dpi = geometry_.dpi;
    return {contentRect_.x, gfx::PxToMm(geometry_.track.y + geometry_.thumbTop, dpi),
            contentRect_.width, gfx::PxToMm(geometry_.thumbBottom - geometry_.thumbTop, dpi)};
}

void CViewScrollBar::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int) {
    if (!GetRect().Intersects(clip) || !HasThumb()) {
        return;
    }
    const gfx::RectF thumb = ThumbRect();
    if (!thumb.IsEmpty()) {
        graphics.FillRectangle(kThumbColor, thumb);
    }
}

bool CViewScrollBar::HandleMessage(platform::UINT message, platform::WPARAM,
                                   platform::LPARAM lParam, platform::LRESULT&) {
    if (!IsMouseMessage(message)) {
        return false;
    }
    const gfx::PointF point = MessagePointMm(message, lParam);
    const gfx::RectF thumb = ThumbRect();
    const bool onThumb = thumb.Contains(point);
    if (!onThumb && !HasMouseCapture(this)) {
        return false;
    }
    const auto self = weak_from_this().lock();
    switch (message) {
    case platform::WM_LBUTTONDOWN:
        if (!IsFocused(this)) {
            SetFocusId(this, [] {});
        }
        if (onThumb) {
            SetMouseCapture(true);
            dragging_ = true;
            dragInfo_ = info_;
            dragInfo_.trackPosition = info_.position;
            info_.trackPosition = info_.position;
            dragGeometry_ = geometry_;
            pressPoint_ = point;
        }
        return true;
    case platform::WM_LBUTTONUP:
        SetMouseCapture(false);
        dragging_ = false;
        InvalidateSelf();
        return true;
    case platform::WM_MOUSEMOVE: {
        std::weak_ptr<CViewElement> weak = weak_from_this();
        TrackHoverRegion(this, thumb, [weak] {
            if (auto bar = std::static_pointer_cast<CViewScrollBar>(weak.lock())) {
                bar->hovered_ = false;
            }
        });
        if (!dragging_) {
            if (hovered_ != onThumb) {
                hovered_ = onThumb;
                InvalidateSelf();
            }
            return true;
        }
        const double dpi = GetDpi();
        const double dy = gfx::MmToPx(point.y - pressPoint_.y, dpi);
        const int length = dragGeometry_.thumbBottom - dragGeometry_.thumbTop;
        const double free = gfx::MmToPx(size_.height, dpi) - length;
        const double span =
            static_cast<double>(dragInfo_.maximum) - dragInfo_.minimum - dragInfo_.page;
        const double t =
            free > 0 ? (dy + dragGeometry_.thumbTop) / free * span + dragInfo_.minimum : 0;
        info_.trackPosition = ToPixels(
            t, dragInfo_.minimum, std::max<double>(dragInfo_.minimum, dragInfo_.minimum + span));
        ComputeThumb();
        InvalidateSelf();
        char parameter[64];
        std::snprintf(parameter, sizeof parameter, "track.%.2f",
                      gfx::PxToMm(info_.trackPosition, dpi));
        FireEvent("scrolltrack", parameter);
        return true;
    }
    default:
        return false;
    }
}

} // namespace Plenvo
