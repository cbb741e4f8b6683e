#pragma once
// The root of an element tree: the root services every element reaches through its parent chain
// (hover, focus, active and capture slots, hit testing, invalidation, layout requests, the
// resolution of its surface) and the layered renderer that paints and routes input. The page
// window and the off-screen root are both this root; a window adds only what a window adds (a
// platform window to invalidate, capture and time, overlays, the caret), through the hooks below.
#include "platform/PixelGeometry.h"
#include "view/LayeredRenderer.h"
#include "view/RootSlots.h"
#include "view/ViewElement.h"

namespace Plenvo {

class CViewRoot : public CViewElement, public CLayeredRenderer {
public:
    // dpi: the resolution of the surface the tree is shown on (the desktop's for a window, the
    // printer's for a print job); every conversion of this tree between millimetres and pixels
    // uses it, whatever the process-wide value is meanwhile.
    CViewRoot(Json description, double dpi);

    double Dpi() const { return dpi_; }
    // The client area in millimetres: what the root is laid out in.
    gfx::SizeF ClientArea() const { return client_; }
    // Lays the tree out in a client area of the given size (millimetres) and returns the area
    // to repaint: everything when the client size changed.
    gfx::RectF LayoutAll(gfx::SizeF client);
    bool LayoutPending() const { return layoutPending_; }
    // Clears the pending layout request; whether there was one.
    bool TakeLayoutRequest();
    // The union of everything invalidated since the last call (millimetres).
    gfx::RectF TakeInvalidArea();
    // What the window does when the pointer leaves the hover region or the window.
    void LeaveHover();
    // Handles a message as the root of the tree: pointer bookkeeping (hover region, cursor),
    // then routing to the elements. Returns whether an element handled it.
    bool RootMessage(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                     platform::LRESULT& result);
    // Whether an element handled the last message the root routed.
    bool LastMessageHandled() const { return lastHandled_; }

    // Client pixels of this root's surface to millimetres, and millimetres to the pixel
    // rectangle that covers every pixel the area touches.
    gfx::PointF PixelToMm(platform::PointI px) const;
    platform::RectI CoveringPixels(const gfx::RectF& mm) const;

    ElementId GetHoverId() const { return slots_.HoverId(); }
    const gfx::RectF& GetHoverRect() const { return slots_.HoverRect(); }
    ElementId GetFocusId() const { return slots_.FocusId(); }
    ElementId GetActiveId() const { return slots_.ActiveId(); }

    // --- Root services ---
    void Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                bool registerInLayer) override;
    bool TrackHoverRegion(ElementId id, const gfx::RectF& rect, LeaveCallback leave) override;
    void InvalidateRectMm(const gfx::RectF& rect) override;
    bool ScrollRectMm(const CViewElement& scroller, const gfx::RectF& area, double dy) override;
    // With no element given the root itself takes the capture.
    void SetMouseCapture(bool on, CViewElement* element = nullptr) override;
    bool HasMouseCapture(const CViewElement* element) override;
    std::shared_ptr<CViewElement> HitTest(gfx::PointF pointMm) override;
    CViewElement* GetRoot() override { return this; }
    bool IsFocused(ElementId id) override { return id != nullptr && slots_.IsFocused(id); }
    void SetFocusId(ElementId id) override { slots_.SetFocus(id); }
    void SetFocusId(ElementId id, KillFocusCallback killFocus) override;
    void SetActiveId(ElementId id) override { slots_.SetActive(id); }
    bool IsActiveId(ElementId id) override { return slots_.IsActive(id); }
    void RequestLayout() override;
    double GetDpi() override { return dpi_; }

protected:
    // What a window adds; a root without a window needs none of them.
    virtual void InvalidatePixels(const platform::RectI&) {}
    // Moves the window's pixels inside the rectangle dy rows; false without a window.
    virtual bool ScrollPixels(const platform::RectI&, int) { return false; }
    virtual void ScheduleLayout() {}
    virtual void CaptureChanged(bool) {}
    // The window changed size: the root takes the new client area (pixels of its surface).
    void SetClientPixels(platform::SizeI px);
    void LayoutDone() { layoutPending_ = false; }

private:
    double dpi_;
    gfx::SizeF client_;
    CRootSlots slots_;
    bool layoutPending_ = false;
    gfx::RectF invalid_;
    bool lastHandled_ = false;
};

} // namespace Plenvo
