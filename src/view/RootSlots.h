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
    ElementId HoverId() const { return hoverId_; }
    const gfx::RectF& HoverRect() const { return hoverRect_; }
    bool HasHoverRegion() const { return static_cast<bool>(hoverLeave_); }

    bool IsFocused(ElementId id) const { return focusId_ == id; }
    // A stored kill-focus callback runs (once) when another id takes the focus.
    void SetFocus(ElementId id);
    void SetFocus(ElementId id, KillFocusCallback killFocus);
    ElementId FocusId() const { return focusId_; }

    void SetActive(ElementId id) { activeId_ = id; }
    bool IsActive(ElementId id) const { return activeId_ == id; }
    ElementId ActiveId() const { return activeId_; }

private:
    ElementId hoverId_ = nullptr;
    gfx::RectF hoverRect_;
    LeaveCallback hoverLeave_;
    ElementId focusId_ = nullptr;
    KillFocusCallback killFocus_;
    ElementId activeId_ = nullptr;
};

} // namespace Plenvo
