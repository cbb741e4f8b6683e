#include "view/ViewRoot.h"

#include "gfx/Units.h"
#include "platform/Messages.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace Plenvo {

CViewRoot::CViewRoot(Json description, double dpi)
    : CViewElement(std::move(description)), dpi_(dpi > 0 && std::isfinite(dpi) ? dpi : 96.0) {}

gfx::PointF CViewRoot::PixelToMm(platform::PointI px) const {
    return {gfx::PxToMm(px.x, dpi_), gfx::PxToMm(px.y, dpi_)};
}

platform::RectI CViewRoot::CoveringPixels(const gfx::RectF& mm) const {
    // Rounding each edge outward leaves no stale sliver.
    const int left = static_cast<int>(std::floor(gfx::MmToPx(mm.x, dpi_)));
    const int top = static_cast<int>(std::floor(gfx::MmToPx(mm.y, dpi_)));
    const int right = static_cast<int>(std::ceil(gfx::MmToPx(mm.Right(), dpi_)));
    const int bottom = static_cast<int>(std::ceil(gfx::MmToPx(mm.Bottom(), dpi_)));
    return {left, top, right - left, bottom - top};
}

void CViewRoot::SetClientPixels(platform::SizeI px) {
    client_ = {gfx::PxToMm(px.width, dpi_), gfx::PxToMm(px.height, dpi_)};
}

gfx::RectF CViewRoot::LayoutAll(gfx::SizeF client) {
    // A whole layout answers every request made before it; one made during it stays pending.
    layoutPending_ = false;
    client_ = client;
    gfx::RectF area;
    gfx::SizeF size;
    Layout(area, {0, 0}, size, true);
    return area;
}

void CViewRoot::Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                       bool registerInLayer) {
    // The root is always exactly the client area, whatever its description says: its children
    // are offered all of it, also when it just changed.
    const gfx::SizeF before = size_;
    space_ = client_;
    size_ = client_;
    CViewElement::Layout(result, origin, resultSize, registerInLayer);
    size_ = client_;
    contentRect_ = {padding_.left, padding_.top, client_.width - padding_.left - padding_.right,
                    client_.height - padding_.top - padding_.bottom};
    if (before != client_) {
        result = {0, 0, client_.width, client_.height};
    }
    resultSize = client_;
}

bool CViewRoot::TakeLayoutRequest() {
    const bool pending = layoutPending_;
    layoutPending_ = false;
    return pending;
}

void CViewRoot::RequestLayout() {
    if (!layoutPending_) {
        layoutPending_ = true;
        ScheduleLayout();
    }
}

gfx::RectF CViewRoot::TakeInvalidArea() {
    const gfx::RectF area = invalid_;
    invalid_ = {};
    return area;
}

void CViewRoot::InvalidateRectMm(const gfx::RectF& rect) {
    if (rect.IsEmpty()) {
        return;
    }
    invalid_ = gfx::RectF::Union(invalid_, rect);
    const platform::RectI px = CoveringPixels(rect);
    if (!px.Empty()) {
        InvalidatePixels(px);
    }
}

bool CViewRoot::ScrollRectMm(const CViewElement& scroller, const gfx::RectF& area, double dy) {
    const double exact = gfx::MmToPx(dy, dpi_);
    const double rows = std::round(exact);
    if (rows == 0 || std::abs(exact - rows) > 1e-6) {
        return false;
    }
    // The rows the area covers wholly move. A row it covers in part mixes what scrolls with
    // what lies above or below the area, and is repainted; a column it covers in part mixes
    // the content with the same share of the background all the way down, and moves with it.
    const platform::RectI outer = CoveringPixels(area);
    const int top = static_cast<int>(std::ceil(gfx::MmToPx(area.y, dpi_)));
    const int bottom = static_cast<int>(std::floor(gfx::MmToPx(area.Bottom(), dpi_)));
    const platform::RectI moving{outer.x, top, outer.width, bottom - top};
    if (moving.Empty() || !ScrollPixels(moving, static_cast<int>(rows))) {
        return false;
    }
    InvalidatePixels({outer.x, outer.y, outer.width, moving.y - outer.y});
    InvalidatePixels({outer.x, moving.Bottom(), outer.width, outer.Bottom() - moving.Bottom()});
    invalid_ = gfx::RectF::Union(invalid_, area);
    // Everything else drawn in the area stays where it is: it is repainted where it was drawn
    // and where the move took its picture. The scroller's ancestors only fill its background.
    std::vector<const CViewElement*> ancestors;
    for (const CViewElement* up = scroller.GetParent(); up; up = up->GetParent()) {
        ancestors.push_back(up);
    }
    for (const auto& [layer, list] : GetLayers()) {
        for (const auto& entry : list) {
            const auto element = entry.lock();
            if (!element || element.get() == &scroller ||
                std::find(ancestors.begin(), ancestors.end(), element.get()) != ancestors.end()) {
                continue;
            }
            const gfx::RectF drawn = gfx::RectF::Intersect(element->GetRect(), area);
            if (drawn.IsEmpty()) {
                continue;
            }
            InvalidateRectMm(drawn);
            InvalidateRectMm(
                gfx::RectF::Intersect({drawn.x, drawn.y + dy, drawn.width, drawn.height}, area));
        }
    }
    return true;
}

void CViewRoot::LeaveHover() {
    slots_.LeaveHover();
}

bool CViewRoot::TrackHoverRegion(ElementId id, const gfx::RectF& rect, LeaveCallback leave) {
    return slots_.TrackHover(id, rect, std::move(leave));
}

void CViewRoot::SetFocusId(ElementId id, KillFocusCallback killFocus) {
    slots_.SetFocus(id, std::move(killFocus));
}

void CViewRoot::SetMouseCapture(bool on, CViewElement* element) {
    if (on) {
        CViewElement* target = element ? element : this;
        SetCaptureElement(target->shared_from_this());
    } else {
        ClearCaptureElement();
    }
    CaptureChanged(on);
}

bool CViewRoot::HasMouseCapture(const CViewElement* element) {
    const auto capture = GetCaptureElement();
    return capture && capture.get() == element;
}

std::shared_ptr<CViewElement> CViewRoot::HitTest(gfx::PointF pointMm) {
    return HitTestLayers(pointMm);
}

bool CViewRoot::RootMessage(platform::UINT message, platform::WPARAM wParam,
                            platform::LPARAM lParam, platform::LRESULT& result) {
    if (message == platform::WM_MOUSEMOVE) {
        const gfx::PointF point =
            PixelToMm({platform::LowWord(lParam), platform::HighWord(lParam)});
        if (slots_.HoverId() && !slots_.HoverRect().Contains(point)) {
            slots_.LeaveHover();
        }
        if (auto element = HitTest(point)) {
            element->SetCursor(Cursor::None);
        }
    } else if (message == platform::WM_MOUSELEAVE) {
        slots_.LeaveHover();
    }
    lastHandled_ = RouteMessage(message, wParam, lParam, result);
    return lastHandled_;
}

} // namespace Plenvo
