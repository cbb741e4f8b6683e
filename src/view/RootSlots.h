#pragma once
// The window-wide hover, focus and active slots that a tree's root keeps for its elements: which
// element (or item) the pointer is over and what to call when it leaves, which holds the keyboard
// focus and what to call when it loses it, and which got the last press. Any root (a page window,
// an off-screen root) can keep one and forward the root services to it.
#include "gfx/Geometry.h"
#include "view/ViewTypes.h"

namespace Plenvo {

class CRootSlots {
public:
    // When id differs from the current hover id: the current leave callback runs first, then id,
    // rectangle and callback are stored. Returns whether the id changed.
    bool TrackHover(ElementId id, const gfx::RectF& rect, LeaveCallback leave);
    // The pointer left the region or the window: the leave callback runs once and is forgotten.
    void LeaveHover();
    ElementId HoverId() const { return m_hoverId; }
    const gfx::RectF& HoverRect() const { return m_hoverRect; }
    bool HasHoverRegion() const { return static_cast<bool>(m_hoverLeave); }

    bool IsFocused(ElementId id) const { return m_focusId == id; }
    // A stored kill-focus callback runs (once) when another id takes the focus.
    void SetFocus(ElementId id);
    void SetFocus(ElementId id, KillFocusCallback killFocus);
    ElementId FocusId() const { return m_focusId; }

    void SetActive(ElementId id) { m_activeId = id; }
    bool IsActive(ElementId id) const { return m_activeId == id; }
    ElementId ActiveId() const { return m_activeId; }

private:
    ElementId m_hoverId = nullptr;
    gfx::RectF m_hoverRect;
    LeaveCallback m_hoverLeave;
    ElementId m_focusId = nullptr;
    KillFocusCallback m_killFocus;
    ElementId m_activeId = nullptr;
};

} // namespace Plenvo
