#include "view/RootSlots.h"

#include <utility>

namespace Plenvo {

bool CRootSlots::TrackHover(ElementId id, const gfx::RectF& rect, LeaveCallback leave) {
    if (id == m_hoverId) {
        return false;
    }
    // The previous region's leave runs first; it may itself ask for root services.
    if (auto previous = std::move(m_hoverLeave)) {
        m_hoverLeave = nullptr;
        previous();
    }
    m_hoverId = id;
    m_hoverRect = rect;
    m_hoverLeave = std::move(leave);
    return true;
}

void CRootSlots::LeaveHover() {
    auto leave = std::move(m_hoverLeave);
    m_hoverLeave = nullptr;
    m_hoverId = nullptr;
    m_hoverRect = {};
    if (leave) {
        leave();
    }
}

void CRootSlots::SetFocus(ElementId id) {
    if (m_killFocus && m_focusId && m_focusId != id) {
        auto killFocus = std::move(m_killFocus);
        m_killFocus = nullptr;
        killFocus();
    }
    m_focusId = id;
}

void CRootSlots::SetFocus(ElementId id, KillFocusCallback killFocus) {
    SetFocus(id);
    m_killFocus = std::move(killFocus);
}

} // namespace Plenvo
