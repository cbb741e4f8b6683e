#include "platform/OffscreenWindow.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

struct Recorder {
    std::vector<UINT> messages;
    std::vector<RectI> painted;
    WindowParams Params(int width, int height) {
        WindowParams p;
        p.title = "test";
        p.frame = {100, 50, width, height};
        p.proc = [this](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
            messages.push_back(m);
            return 0;
        };
        p.paint = [this](cairo_t* cr, const RectI& update) {
            painted.push_back(update);
            cairo_set_source_rgb(cr, 1, 0, 0);
            cairo_paint(cr);
        };
        return p;
    }
};

} // namespace

TEST(OffscreenWindow, PaintsOnlyWhatWasInvalidatedAfterTheFirstFullPaint) {
    Recorder rec;
    auto window = NativeWindow::CreateOffscreen(rec.Params(40, 30));
    auto* off = static_cast<OffscreenWindow*>(window.get());
    ASSERT_NE(off, nullptr);
    Image first = off->Paint();
    ASSERT_EQ(rec.painted.size(), 1u);
    EXPECT_EQ(rec.painted[0], (RectI{0, 0, 40, 30}));
    EXPECT_EQ(first.Pixel(39, 29), 0xFFFF0000u);
    off->Invalidate({5, 5, 4, 4});
    off->Invalidate({30, 20, 100, 100}); // clipped to the client area
    EXPECT_EQ(off->DirtyArea(), (RectI{5, 5, 35, 25}));
    off->Paint();
    EXPECT_EQ(rec.painted.back(), (RectI{5, 5, 35, 25}));
    off->Paint();
    EXPECT_EQ(rec.painted.size(), 2u) << "nothing dirty, nothing painted";
}

TEST(OffscreenWindow, CreationSizeAndDestructionReachTheProcedure) {
    Recorder rec;
    auto window = NativeWindow::CreateOffscreen(rec.Params(40, 30));
    auto* off = static_cast<OffscreenWindow*>(window.get());
    EXPECT_EQ(off->ScreenToClient({110, 70}), (PointI{10, 20}));
    off->Resize({80, 60});
    EXPECT_EQ(off->ClientSize(), (SizeI{80, 60}));
    const HWND hwnd = off->Handle();
    DestroyWindow(hwnd); // by handle, as the application object closes a window
    EXPECT_FALSE(off->Exists());
    off->Invalidate({0, 0, 10, 10});
    EXPECT_TRUE(off->Invalidations().empty()) << "a destroyed window takes no invalidation";
    EXPECT_EQ(rec.messages, (std::vector<UINT>{WM_CREATE, WM_SIZE, WM_DESTROY, WM_NCDESTROY}));
}

TEST(OffscreenWindow, RefusedCreationGivesNoWindow) {
    WindowParams p;
    p.frame = {0, 0, 10, 10};
    p.proc = [](HWND, UINT m, WPARAM, LPARAM) -> LRESULT { return m == WM_CREATE ? -1 : 0; };
    EXPECT_EQ(NativeWindow::CreateOffscreen(p), nullptr);
}
