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
    const bool pending = m_layoutPending;
    m_layoutPending = false;
    return pending;
}

gfx::RectF COffscreenRoot::TakeInvalidArea() {
    const gfx::RectF area = m_invalid;
    m_invalid = {};
    return area;
}

void COffscreenRoot::LeaveHover() {
    m_slots.LeaveHover();
}

bool COffscreenRoot::TrackHoverRegion(ElementId id, const gfx::RectF& rect, LeaveCallback leave) {
    return m_slots.TrackHover(id, rect, std::move(leave));
}

void COffscreenRoot::InvalidateRectMm(const gfx::RectF& rect) {
    if (!rect.IsEmpty()) {
        m_invalid = gfx::RectF::Union(m_invalid, rect);
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
    return m_slots.IsFocused(id);
}

void COffscreenRoot::SetFocusId(ElementId id) {
    m_slots.SetFocus(id);
}

void COffscreenRoot::SetFocusId(ElementId id, KillFocusCallback killFocus) {
    m_slots.SetFocus(id, std::move(killFocus));
}

void COffscreenRoot::SetActiveId(ElementId id) {
    m_slots.SetActive(id);
}

bool COffscreenRoot::IsActiveId(ElementId id) {
    return m_slots.IsActive(id);
}

void COffscreenRoot::RequestLayout() {
    m_layoutPending = true;
}

} // namespace Plenvo
