#pragma once
// A root for element trees under test: the root services and host window operations a page
// window provides, kept in memory so tests can look at what the elements asked for.
#include "gfx/OffscreenSurface.h"
#include "gfx/Units.h"
#include "platform/Messages.h"
#include "view/IHostWindow.h"
#include "view/OffscreenRoot.h"
#include "view/ViewFactory.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace PlenvoTest {

using namespace Plenvo;

class TestRoot : public COffscreenRoot, public IHostWindow {
public:
    static std::shared_ptr<TestRoot> Make(const char* json) {
        auto root = std::make_shared<TestRoot>(Json::parse(json));
        root->ReadProperties();
        return root;
    }
    explicit TestRoot(Json description) : COffscreenRoot(std::move(description)) {}

    gfx::RectF LayoutAll(double width, double height) {
        return COffscreenRoot::LayoutAll({width, height});
    }
    // Sends a mouse message at client pixels.
    bool Mouse(platform::UINT message, int x, int y, platform::WPARAM wParam = 0) {
        platform::LRESULT result = 0;
        return RouteMessage(message, wParam, platform::MakeLParam(x, y), result);
    }
    static int Px(double mm) { return static_cast<int>(gfx::MmToPx(mm, 96)); }

    // --- Root services that tests watch ---
    IHostWindow* GetHostWindow() override { return this; }
    void InvalidateRectMm(const gfx::RectF& rect) override {
        invalidated.push_back(rect);
        COffscreenRoot::InvalidateRectMm(rect);
    }
    Point ScreenToClient(Point screen) override {
        return {screen.x - windowOrigin.x, screen.y - windowOrigin.y};
    }
    void SetCursor(Cursor cursor) override {
        cursors.push_back(cursor == Cursor::None ? GetCursor() : cursor);
    }
    void RequestLayout() override {
        ++layoutRequests;
        COffscreenRoot::RequestLayout();
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
    int layoutRequests = 0;
    Point windowOrigin{100, 50};
};

} // namespace PlenvoTest
