#include "view/OffscreenRoot.h"

namespace Plenvo {

std::shared_ptr<COffscreenRoot> COffscreenRoot::Create(Json description) {
    auto root = std::make_shared<COffscreenRoot>(std::move(description));
    root->ReadProperties();
    return root;
}

COffscreenRoot::COffscreenRoot(Json description) : CViewElement(std::move(description)) {}

gfx::RectF COffscreenRoot::LayoutAll(gfx::SizeF client) {
    SetSpace(client);
    SetSize(client);
    gfx::RectF area;
    gfx::SizeF size;
    Layout(area, {0, 0}, size, true);
    return area;
}

bool COffscreenRoot::TakeLayoutRequest() {
    const bool pending = layoutPending_;
    layoutPending_ = false;
    return pending;
}

gfx::RectF COffscreenRoot::TakeInvalidArea() {
    const gfx::RectF area = invalid_;
    invalid_ = {};
    return area;
}

void COffscreenRoot::LeaveHover() {
    slots_.LeaveHover();
}

bool COffscreenRoot::TrackHoverRegion(ElementId id, const gfx::RectF& rect, LeaveCallback leave) {
    return slots_.TrackHover(id, rect, std::move(leave));
}

void COffscreenRoot::InvalidateRectMm(const gfx::RectF& rect) {
    if (!rect.IsEmpty()) {
        invalid_ = gfx::RectF::Union(invalid_, rect);
    }
}

void COffscreenRoot::SetMouseCapture(bool on, CViewElement* element) {
    if (on && element) {
        SetCaptureElement(element->weak_from_this().lock());
    } else {
        ClearCaptureElement();
    }
}

bool COffscreenRoot::HasMouseCapture(const CViewElement* element) {
    const auto capture = GetCaptureElement();
    return capture && capture.get() == element;
}

std::shared_ptr<CViewElement> COffscreenRoot::HitTest(gfx::PointF pointMm) {
    return HitTestLayers(pointMm);
}

bool COffscreenRoot::IsFocused(ElementId id) {
    return slots_.IsFocused(id);
}

void COffscreenRoot::SetFocusId(ElementId id) {
    slots_.SetFocus(id);
}

void COffscreenRoot::SetFocusId(ElementId id, KillFocusCallback killFocus) {
    slots_.SetFocus(id, std::move(killFocus));
}

void COffscreenRoot::SetActiveId(ElementId id) {
    slots_.SetActive(id);
}

bool COffscreenRoot::IsActiveId(ElementId id) {
    return slots_.IsActive(id);
}

void COffscreenRoot::RequestLayout() {
    layoutPending_ = true;
}

} // namespace Plenvo
