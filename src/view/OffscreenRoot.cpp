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
    auto leave = std::move(m_hoverLeave);
    m_hoverLeave = nullptr;
    m_hoverId = nullptr;
    m_hoverRect = {};
    if (leave) {
        leave();
    }
}

bool COffscreenRoot::TrackHoverRegion(ElementId id, const gfx::RectF& rect, LeaveCallback leave) {
    if (id == m_hoverId) {
        return false;
    }
    // The previous region's leave runs first; it may itself ask for hover services.
    if (auto previous = std::move(m_hoverLeave)) {
        m_hoverLeave = nullptr;
        previous();
    }
    m_hoverId = id;
    m_hoverRect = rect;
    m_hoverLeave = std::move(leave);
    return true;
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
    return m_focusId == id;
}

void COffscreenRoot::SetFocusId(ElementId id) {
    if (m_killFocus && m_focusId && m_focusId != id) {
        auto killFocus = std::move(m_killFocus);
        m_killFocus = nullptr;
        killFocus();
    }
    m_focusId = id;
}

void COffscreenRoot::SetFocusId(ElementId id, KillFocusCallback killFocus) {
    SetFocusId(id);
    m_killFocus = std::move(killFocus);
}

void COffscreenRoot::SetActiveId(ElementId id) {
    m_activeId = id;
}

bool COffscreenRoot::IsActiveId(ElementId id) {
    return m_activeId == id;
}

void COffscreenRoot::RequestLayout() {
    m_layoutPending = true;
}

} // namespace Plenvo
