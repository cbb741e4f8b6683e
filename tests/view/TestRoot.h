#pragma once
// A root for element trees under test: the root services and host window operations a page
// window provides, kept in memory so tests can look at what the elements asked for.
#include "gfx/OffscreenSurface.h"
#include "gfx/Units.h"
#include "platform/Messages.h"
#include "view/IHostWindow.h"
#include "view/LayeredRenderer.h"
#include "view/ViewElement.h"
#include "view/ViewFactory.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace PlenvoTest {

using namespace Plenvo;

class TestRoot : public CViewElement, public IHostWindow, public CLayeredRenderer {
public:
    static std::shared_ptr<TestRoot> Make(const char* json) {
        auto root = std::make_shared<TestRoot>(Json::parse(json));
        root->ReadProperties();
        return root;
    }
    explicit TestRoot(Json description) : CViewElement(std::move(description)) {}

    // Lays the whole tree out in a client area of the given size (millimetres).
    gfx::RectF LayoutAll(double width, double height) {
        SetSpace({width, height});
        SetSize({width, height});
        gfx::RectF area;
        gfx::SizeF size;
        Layout(area, {0, 0}, size, true);
        return area;
    }
    // Sends a mouse message at client pixels.
    bool Mouse(platform::UINT message, int x, int y, platform::WPARAM wParam = 0) {
        platform::LRESULT result = 0;
        return RouteMessage(message, wParam, platform::MakeLParam(x, y), result);
    }
    static int Px(double mm) { return static_cast<int>(gfx::MmToPx(mm, 96)); }

    // --- Root services ---
    IHostWindow* GetHostWindow() override { return this; }
    void InvalidateRectMm(const gfx::RectF& rect) override { invalidated.push_back(rect); }
    Point ScreenToClient(Point screen) override {
        return {screen.x - windowOrigin.x, screen.y - windowOrigin.y};
    }
    void SetCursor(Cursor cursor) override {
        cursors.push_back(cursor == Cursor::None ? GetCursor() : cursor);
    }
    bool TrackHoverRegion(ElementId id, const gfx::RectF& rect, LeaveCallback leave) override {
        if (id == hoverId) {
            return false;
        }
        if (hoverLeave) {
            auto previous = std::move(hoverLeave);
            previous();
        }
        hoverId = id;
        hoverRect = rect;
        hoverLeave = std::move(leave);
        return true;
    }
    // What the window does when the pointer leaves the hover region or the window.
    void LeaveHover() {
        if (auto leave = std::move(hoverLeave)) {
            hoverLeave = nullptr;
            hoverId = nullptr;
            leave();
        }
    }
    bool IsFocused(ElementId id) override { return focusId == id; }
    void SetFocusId(ElementId id) override { SetFocusId(id, killFocus); }
    void SetFocusId(ElementId id, KillFocusCallback callback) override {
        if (killFocus && focusId && focusId != id) {
            auto previous = std::move(killFocus);
            killFocus = nullptr;
            previous();
        }
        focusId = id;
        killFocus = std::move(callback);
    }
    void SetActiveId(ElementId id) override { activeId = id; }
    bool IsActiveId(ElementId id) override { return activeId == id; }
    void RequestLayout() override { ++layoutRequests; }
    std::shared_ptr<CViewElement> HitTest(gfx::PointF point) override {
        return HitTestLayers(point);
    }
    void SetMouseCapture(bool on, CViewElement* element) override {
        if (on && element) {
            SetCaptureElement(element->shared_from_this());
        } else {
            ClearCaptureElement();
        }
    }
    bool HasMouseCapture(const CViewElement* element) override {
        return GetCaptureElement().get() == element;
    }

    // --- Host window ---
    void Invalidate(const PixelRect&) override {}
    void InvalidateArea(const gfx::RectF&, int) override {}
    void ShowCaret() override {}
    void CreateCaret(const gfx::Bitmap*, int, int) override {}
    void SetCaretPos(int, int) override {}
    void HideCaret() override {}
    void Reserved(int, int) override {}
    void SetCapture(bool) override {}
    void SetFocus() override {}
    gfx::Graphics* GetDC() override { return nullptr; }
    void ReleaseDC(gfx::Graphics*) override {}
    void SetTimer(platform::UINT_PTR, unsigned) override {}
    void KillTimer(platform::UINT_PTR) override {}
    platform::HWND GetHandle() override { return 0; }
    gfx::SizeF GetClientSize() override { return GetSize(); }
    void Log(const std::string&, unsigned) override {}
    void ShowTooltip(const std::optional<std::string>& text) override { tooltips.push_back(text); }
    void ShowToast(const std::string&, unsigned) override {}
    void ShowBottomMessage(const std::string&, const std::string&,
                           const std::optional<std::string>&, const std::optional<std::string>&,
                           std::function<void(int)>) override {}
    void ShowProgress() override {}
    void HideProgress() override {}

    std::vector<gfx::RectF> invalidated;
    std::vector<Cursor> cursors;
    std::vector<std::optional<std::string>> tooltips;
    ElementId hoverId = nullptr;
    gfx::RectF hoverRect;
    LeaveCallback hoverLeave;
    ElementId focusId = nullptr;
    KillFocusCallback killFocus;
    ElementId activeId = nullptr;
    int layoutRequests = 0;
    Point windowOrigin{100, 50};
};

} // namespace PlenvoTest
