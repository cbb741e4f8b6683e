#pragma once
// The root of an element tree that lives outside a window: the root services (hover, focus,
// active and capture slots, hit testing, invalidation, layout requests) kept in memory, and a
// layered renderer to paint the tree into any Graphics. For rendering trees off screen, for tools,
// and for tests and benchmarks that drive a tree without a display.
#include "view/LayeredRenderer.h"
#include "view/RootSlots.h"
#include "view/ViewElement.h"

namespace Plenvo {

class COffscreenRoot : public CViewElement, public CLayeredRenderer {
public:
    // Builds the tree of the description; the result is always a root, even for bad input.
    static std::shared_ptr<COffscreenRoot> Create(Json description);
    explicit COffscreenRoot(Json description);

    // Lays the tree out in a client area of the given size (millimetres) and returns the area
    // the layout reports for repainting.
    gfx::RectF LayoutAll(gfx::SizeF client);
    // Clears the pending layout request.
    bool TakeLayoutRequest();
    // The union of everything invalidated since the last call.
    gfx::RectF TakeInvalidArea();
    // What the window does when the pointer leaves the hover region or the window.
    void LeaveHover();

    bool TrackHoverRegion(ElementId id, const gfx::RectF& rect, LeaveCallback leave) override;
    void InvalidateRectMm(const gfx::RectF& rect) override;
    void SetMouseCapture(bool on, CViewElement* element) override;
    bool HasMouseCapture(const CViewElement* element) override;
    std::shared_ptr<CViewElement> HitTest(gfx::PointF pointMm) override;
    bool IsFocused(ElementId id) override;
    void SetFocusId(ElementId id) override;
    void SetFocusId(ElementId id, KillFocusCallback killFocus) override;
    void SetActiveId(ElementId id) override;
    bool IsActiveId(ElementId id) override;
    void RequestLayout() override;

    ElementId GetHoverId() const { return slots_.HoverId(); }
    const gfx::RectF& GetHoverRect() const { return slots_.HoverRect(); }
    ElementId GetFocusId() const { return slots_.FocusId(); }
    ElementId GetActiveId() const { return slots_.ActiveId(); }

private:
    CRootSlots slots_;
    bool layoutPending_ = false;
    gfx::RectF invalid_;
};

} // namespace Plenvo
