#include "view/RootSlots.h"

#include <utility>

namespace Plenvo {

bool CRootSlots::TrackHover(ElementId id, const gfx::RectF& rect, LeaveCallback leave) {
    if (id == hoverId_) {
        return false;
    }
    // The previous region's leave runs first; it may itself ask for root services.
    if (auto previous = std::move(hoverLeave_)) {
        hoverLeave_ = nullptr;
        previous();
    }
    hoverId_ = id;
    hoverRect_ = rect;
    hoverLeave_ = std::move(leave);
    return true;
}

void CRootSlots::LeaveHover() {
    auto leave = std::move(hoverLeave_);
    hoverLeave_ = nullptr;
    hoverId_ = nullptr;
    hoverRect_ = {};
    if (leave) {
        leave();
    }
}

void CRootSlots::SetFocus(ElementId id) {
    if (killFocus_ && focusId_ && focusId_ != id) {
        auto killFocus = std::move(killFocus_);
        killFocus_ = nullptr;
        killFocus();
    }
    focusId_ = id;
}

void CRootSlots::SetFocus(ElementId id, KillFocusCallback killFocus) {
    SetFocus(id);
    killFocus_ = std::move(killFocus);
}

} // namespace Plenvo
