#pragma once
// A root for element trees under test, recording what the elements asked of it. The same test
// sources build twice: against the off-screen root (a host window kept in memory) and, with
// PLENVO_TEST_WINDOW_ROOT, against the page window itself on an off-screen platform window, input
// going through the window's procedure. Every element-layer test must hold for both.
#include "gfx/OffscreenSurface.h"
#include "gfx/Units.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "platform/OffscreenWindow.h"
#include "view/IHostWindow.h"
#include "view/OffscreenRoot.h"
#include "view/View.h"
#include "view/ViewFactory.h"

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace PlenvoTest {

using namespace Plenvo;

// The off-screen root with a host window that does nothing but answer.
class OffscreenHost : public COffscreenRoot, public IHostWindow {
public:
    explicit OffscreenHost(Json description) : COffscreenRoot(std::move(description), 96) {}
    void Open() {}
    bool Deliver(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam) {
        platform::LRESULT result = 0;
        return RootMessage(message, wParam, lParam, result);
    }
    gfx::RectF LayoutIn(gfx::SizeF client) { return LayoutAll(client); }

    IHostWindow* GetHostWindow() override { return this; }
    Point ScreenToClient(Point screen) override {
        return {screen.x - windowOrigin.x, screen.y - windowOrigin.y};
    }
    void SetCursor(Cursor) override {}
    void Invalidate(const platform::RectI&) override {}
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
    void ShowTooltip(const std::optional<std::string>&) override {}
    void ShowToast(const std::string&, unsigned) override {}
    void ShowBottomMessage(const std::string&, const std::string&,
                           const std::optional<std::string>&, const std::optional<std::string>&,
                           std::function<void(int)>) override {}
    void ShowProgress() override {}
    void HideProgress() override {}

    Point windowOrigin{100, 50};
};

// The page window, its description given in code (it fetches no template), off screen.
class WindowHost : public CView {
public:
    explicit WindowHost(Json description) : CView("main", ViewServices{nullptr, "", true}) {
        description_ = std::move(description);
    }
    void Open() {
        if (Create()) {
            const platform::RectI frame = Window()->Frame();
            windowOrigin = {frame.x, frame.y};
        }
    }
    bool Deliver(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam) {
        platform::SendMessage(GetHandle(), message, wParam, lParam);
        return LastMessageHandled();
    }
    // The platform window takes the size (covering pixels), the root the exact millimetres.
    gfx::RectF LayoutIn(gfx::SizeF client) {
        if (auto* window = static_cast<platform::OffscreenWindow*>(Window())) {
            window->Resize({static_cast<int>(std::ceil(gfx::MmToPx(client.width, Dpi()))),
                            static_cast<int>(std::ceil(gfx::MmToPx(client.height, Dpi())))});
        }
        return LayoutAll(client);
    }

    Point windowOrigin;
};

#ifdef PLENVO_TEST_WINDOW_ROOT
using TestRootBase = WindowHost;
#else
using TestRootBase = OffscreenHost;
#endif

class TestRoot : public TestRootBase {
public:
    static std::shared_ptr<TestRoot> Make(const char* json) { return Make(Json::parse(json)); }
    static std::shared_ptr<TestRoot> Make(Json description) {
        return Open(std::make_shared<TestRoot>(std::move(description)));
    }
    // Reads the description and opens the window (where there is one).
    template <class Root> static std::shared_ptr<Root> Open(std::shared_ptr<Root> root) {
        root->ReadProperties();
        root->TestRootBase::Open();
        return root;
    }
    explicit TestRoot(Json description) : TestRootBase(std::move(description)) {}

    gfx::RectF LayoutAll(double width, double height) { return LayoutIn({width, height}); }
    using TestRootBase::LayoutAll;
    // Sends a mouse message at client pixels; whether an element handled it.
    bool Mouse(platform::UINT message, int x, int y, platform::WPARAM wParam = 0) {
        return Deliver(message, wParam, platform::MakeLParam(x, y));
    }
    bool Send(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam = 0) {
        return Deliver(message, wParam, lParam);
    }
    static int Px(double mm) { return static_cast<int>(gfx::MmToPx(mm, 96)); }
#ifndef PLENVO_TEST_WINDOW_ROOT
    platform::NativeWindow* Window() const {
        return nullptr;
    }
#endif

    // --- What tests watch; each passes on to the root under test ---
    void InvalidateRectMm(const gfx::RectF& rect) override {
        invalidated.push_back(rect);
        TestRootBase::InvalidateRectMm(rect);
    }
    void SetCursor(Cursor cursor) override {
        cursors.push_back(cursor == Cursor::None ? GetCursor() : cursor);
        TestRootBase::SetCursor(cursor);
    }
    void RequestLayout() override {
        ++layoutRequests;
        TestRootBase::RequestLayout();
    }
    void ShowTooltip(const std::optional<std::string>& text) override {
        tooltips.push_back(text);
        TestRootBase::ShowTooltip(text);
    }
    void CreateCaret(const gfx::Bitmap* bitmap, int width, int height) override {
        ++caretsCreated;
        caretHeight = height;
        TestRootBase::CreateCaret(bitmap, width, height);
    }
    void ShowCaret() override {
        caretShown = true;
        TestRootBase::ShowCaret();
    }
    void HideCaret() override {
        caretShown = false;
        TestRootBase::HideCaret();
    }
    void SetCaretPos(int x, int y) override {
        caretAt = {x, y};
        TestRootBase::SetCaretPos(x, y);
    }

    std::vector<gfx::RectF> invalidated;
    std::vector<Cursor> cursors;
    std::vector<std::optional<std::string>> tooltips;
    int layoutRequests = 0;
    int caretsCreated = 0;
    int caretHeight = 0;
    bool caretShown = false;
    Point caretAt;
};

} // namespace PlenvoTest
