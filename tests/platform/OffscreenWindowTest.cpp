#include "platform/OffscreenWindow.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <memory>
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
    ASSERT_EQ(rec.painted.size(), 3u) << "each invalidated rectangle, not their union";
    EXPECT_EQ(rec.painted[1], (RectI{5, 5, 4, 4}));
    EXPECT_EQ(rec.painted[2], (RectI{30, 20, 10, 10}));
    off->Paint();
    EXPECT_EQ(rec.painted.size(), 3u) << "nothing dirty, nothing painted";
}

namespace {

// Rows 5 to 24 scroll: each has its own colour by its place in the content, and a blue mark
// lies in the content; the rows above and below stay grey.
struct ScrollingScene {
    int offset = 0;
    int mark = 10; // content row of the mark's top
    static constexpr int kTop = 5;
    static constexpr int kBottom = 25;

    void Paint(cairo_t* cr) const {
        for (int y = 0; y < 30; ++y) {
            const bool scrolls = y >= kTop && y < kBottom;
            const double shade = scrolls ? ((y - offset) * 37 & 0xFF) / 255.0 : 0.5;
            cairo_set_source_rgb(cr, shade, scrolls ? 0.2 : 0.5, 0.5);
            cairo_rectangle(cr, 0, y, 40, 1);
            cairo_fill(cr);
        }
        cairo_rectangle(cr, 10, kTop, 10, kBottom - kTop);
        cairo_clip(cr);
        cairo_set_source_rgb(cr, 0, 0, 1);
        cairo_rectangle(cr, 10, mark + offset, 10, 2);
        cairo_fill(cr);
    }
};

} // namespace

TEST(OffscreenWindow, ScrollingMovesThePictureAndWhatAwaitedRepaintingEqualsAFullPaint) {
    auto scene = std::make_shared<ScrollingScene>();
    const auto open = [&] {
        WindowParams p;
        p.frame = {0, 0, 40, 30};
        p.paint = [scene](cairo_t* cr, const RectI&) { scene->Paint(cr); };
        return NativeWindow::CreateOffscreen(p);
    };
    auto window = open();
    auto* off = static_cast<OffscreenWindow*>(window.get());
    ASSERT_NE(off, nullptr);
    off->Paint();
    const RectI area{0, ScrollingScene::kTop, 40, ScrollingScene::kBottom - ScrollingScene::kTop};
    for (const int dy : {5, 3, -7, -1}) {
        // The mark moves in the content and waits to be repainted; then the content scrolls.
        off->Invalidate({10, scene->mark + scene->offset, 10, 2});
        scene->mark += 3;
        off->Invalidate({10, scene->mark + scene->offset, 10, 2});
        scene->offset += dy;
        off->Scroll(area, dy);
        std::size_t repainted = 0;
        for (const RectI& r : off->Invalidations()) {
            repainted += std::size_t(r.width) * r.height;
        }
        EXPECT_LT(repainted, std::size_t(40) * 20) << "scrolling by " << dy;
        const Image scrolled = off->Paint();
        auto fresh = open();
        const Image painted = static_cast<OffscreenWindow*>(fresh.get())->PaintAll();
        ASSERT_EQ(scrolled.pixels.size(), painted.pixels.size());
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) {
                ASSERT_EQ(scrolled.Pixel(x, y), painted.Pixel(x, y))
                    << "at " << x << "," << y << " after scrolling by " << dy;
            }
        }
    }
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
