#include "platform/Display.h"
#include "platform/Keyboard.h"
#include "platform/LabelPopup.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "platform/NativeWindow.h"
#include "platform/Tick.h"
#include "support/TempDir.h"
#include "support/X11Tools.h"
#include "support/Xvfb.h"

#include <cairo.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

using namespace platform;
using testsupport::RunPumping;

namespace {

testsupport::Xvfb* display = nullptr;

class DisplayEnvironment : public ::testing::Environment {
public:
    void SetUp() override { display = new testsupport::Xvfb(); }
    void TearDown() override {
        delete display;
        display = nullptr;
    }
};

[[maybe_unused]] auto* const environment =
    ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

void Pump() {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    MSG msg;
    while (PeekMessage(msg, true)) {
        DispatchMessage(msg);
    }
}

// Pumps until the condition holds; false after the time limit (real time: the tests stop the
// program's clock, and the server's painting does not follow it).
bool PumpUntil(const std::function<bool()>& done, unsigned limitMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        Pump();
        g_usleep(1000);
    }
    return true;
}

struct Seen {
    UINT message;
    WPARAM w;
    LPARAM l;
    bool control;
};

// A 400 x 300 window at (20, 27) painted all blue, shown and drawn once.
std::unique_ptr<NativeWindow> BlueWindow(const std::string& title, WndProc proc) {
    WindowParams params;
    params.title = title;
    params.frame = {20, 27, 400, 300};
    params.proc = std::move(proc);
    auto paints = std::make_shared<int>(0);
    params.paint = [paints](cairo_t* cr, const RectI&) {
        ++*paints;
        cairo_set_source_rgb(cr, 0x33 / 255.0, 0x66 / 255.0, 0xCC / 255.0);
        cairo_paint(cr);
    };
    auto window = NativeWindow::Create(params);
    EXPECT_NE(window, nullptr);
    EXPECT_TRUE(window && PumpUntil([&] { return *paints > 0; })) << "the window was never drawn";
    return window;
}

} // namespace

TEST(GtkNativeWindow, RealWindowTurnsUserInputIntoMessagesAndClosesOnRequest) {
    ASSERT_TRUE(InitializeUserInterface());
    EXPECT_EQ(WorkArea(), (RectI{0, 0, 1920, 1080}));
    EXPECT_DOUBLE_EQ(ReadDesktopResolution(), 96.0);

    std::vector<Seen> seen;
    auto window = BlueWindow("Tavrin教育系统 backend", [&](HWND, UINT m, WPARAM w, LPARAM l) {
        seen.push_back({m, w, l, IsKeyDown(VK_CONTROL)});
        return LRESULT{0};
    });
    ASSERT_NE(window, nullptr);

    const std::string ids = RunPumping("xdotool search --name 'Tavrin教育系统 backend'", Pump);
    ASSERT_FALSE(ids.empty());
    const unsigned long xid = std::stoul(ids);
    const std::string geometry =
        RunPumping("xdotool getwindowgeometry " + std::to_string(xid), Pump);
    EXPECT_NE(geometry.find("Position: 20,27"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Geometry: 400x300"), std::string::npos) << geometry;

    const auto find = [&](UINT m) {
        return std::find_if(seen.begin(), seen.end(),
                            [m](const Seen& s) { return s.message == m; });
    };
    RunPumping("xdotool mousemove --sync 120 110 click 1", Pump);
    ASSERT_TRUE(PumpUntil([&] { return find(WM_LBUTTONUP) != seen.end(); }));
    EXPECT_EQ(LowWord(find(WM_LBUTTONDOWN)->l), 100);
    EXPECT_EQ(HighWord(find(WM_LBUTTONDOWN)->l), 83);

    RunPumping("xdotool key ctrl+s", Pump);
    ASSERT_TRUE(PumpUntil([&] {
        return std::any_of(seen.begin(), seen.end(),
                           [](const Seen& s) { return s.message == WM_KEYDOWN && s.w == 'S'; });
    }));
    auto keyS = std::find_if(seen.begin(), seen.end(),
                             [](const Seen& s) { return s.message == WM_KEYDOWN && s.w == 'S'; });
    EXPECT_TRUE(keyS->control) << "Control was not reported down with Ctrl+S";

    RunPumping("xdotool type ab", Pump);
    ASSERT_TRUE(PumpUntil([&] {
        return std::count_if(seen.begin(), seen.end(),
                             [](const Seen& s) { return s.message == WM_CHAR; }) >= 2;
    }));
    std::u16string typed;
    for (const Seen& s : seen) {
        if (s.message == WM_CHAR) {
            typed += static_cast<char16_t>(s.w);
        }
    }
    EXPECT_EQ(typed, u"ab");

    testsupport::TempDir dir;
    const std::string shot = dir.File("window.png");
    int status = -1;
    RunPumping("import -window " + std::to_string(xid) + " " + shot, Pump, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(testsupport::ReadPngPixel(shot, 200, 150), 0xFF3366CCu);

    // A window manager's close asks; the procedure did not agree, so the window stays.
    ASSERT_TRUE(testsupport::SendDeleteWindow(xid));
    ASSERT_TRUE(PumpUntil([&] { return find(WM_CLOSE) != seen.end(); }));
    EXPECT_TRUE(window->Exists());
    window->Destroy();
    EXPECT_FALSE(window->Exists());
    EXPECT_NE(find(WM_DESTROY), seen.end());
    Pump();
    EXPECT_TRUE(RunPumping("xdotool search --name 'Tavrin教育系统 backend'", Pump).empty());
}

namespace {

// Rows 50 to 249 of the window scroll: each row has its own colour by its place in the content,
// and a blue mark lies in the content; the rows above and below stay grey.
struct ScrollingPicture {
    int offset = 0;
    int mark = 150; // content row of the mark's top
    static constexpr RectI kArea{0, 50, 400, 200};

    unsigned Expected(int x, int y) const {
        if (y < kArea.y || y >= kArea.Bottom()) {
            return 0xFF808080u;
        }
        if (x >= 100 && x < 150 && y >= mark + offset && y < mark + offset + 4) {
            return 0xFF0000FFu;
        }
        return 0xFF000000u | unsigned((y - offset) * 37 & 0xFF) << 16 | 0x3380u;
    }
    void Paint(cairo_t* cr) const {
        for (int y = 0; y < 300; ++y) {
            const unsigned c = Expected(0, y);
            cairo_set_source_rgb(cr, (c >> 16 & 0xFF) / 255.0, (c >> 8 & 0xFF) / 255.0,
                                 (c & 0xFF) / 255.0);
            cairo_rectangle(cr, 0, y, 400, 1);
            cairo_fill(cr);
        }
        cairo_rectangle(cr, kArea.x, kArea.y, kArea.width, kArea.height);
        cairo_clip(cr);
        cairo_set_source_rgb(cr, 0, 0, 1);
        cairo_rectangle(cr, 100, mark + offset, 50, 4);
        cairo_fill(cr);
    }
};

// The first pixel of the window on the screen that differs from the picture, or none.
std::string FirstDifference(const NativeWindow& window, const ScrollingPicture& picture) {
    gdk_display_sync(gdk_display_get_default());
    const PointI origin = window.ScreenToClient({0, 0});
    const std::vector<unsigned> shown = testsupport::ScreenPixels(-origin.x, -origin.y, 400, 300);
    if (shown.size() != 400u * 300u) {
        return "the screen could not be read";
    }
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 400; ++x) {
            if (shown[std::size_t(y) * 400 + x] != picture.Expected(x, y)) {
                char text[96];
                std::snprintf(text, sizeof text, "at %d,%d: %08X instead of %08X", x, y,
                              shown[std::size_t(y) * 400 + x], picture.Expected(x, y));
                return text;
            }
        }
    }
    return "";
}

} // namespace

// Scrolling copies the picture on the server and repaints the rows it uncovers, what waited to
// be repainted (at both places) and what another window had covered until just before.
TEST(GtkNativeWindow, ScrollingMovesThePictureAndRepaintsWhatTheCopyCouldNotBring) {
    ASSERT_TRUE(InitializeUserInterface());
    auto picture = std::make_shared<ScrollingPicture>();
    auto paints = std::make_shared<int>(0);
    WindowParams params;
    params.title = "scrolling";
    params.frame = {20, 27, 400, 300};
    params.paint = [picture, paints](cairo_t* cr, const RectI&) {
        ++*paints;
        picture->Paint(cr);
    };
    auto window = NativeWindow::Create(params);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return *paints > 0; }));
    ASSERT_TRUE(PumpUntil([&] { return FirstDifference(*window, *picture).empty(); }))
        << FirstDifference(*window, *picture);

    const auto scroll = [&](int dy) {
        // The mark moves in the content and waits to be repainted; then the content scrolls.
        window->Invalidate({100, picture->mark + picture->offset, 50, 4});
        picture->mark += 3;
        window->Invalidate({100, picture->mark + picture->offset, 50, 4});
        picture->offset += dy;
        const int before = *paints;
        window->Scroll(ScrollingPicture::kArea, dy);
        return PumpUntil([&] { return *paints > before; });
    };
    for (const int dy : {-20, 7, -33, 1}) {
        ASSERT_TRUE(scroll(dy));
        EXPECT_EQ(FirstDifference(*window, *picture), "") << "after scrolling by " << dy;
    }

    // A popup over the window goes, and the window scrolls before it hears what was uncovered.
    GtkWidget* popup = gtk_window_new(GTK_WINDOW_POPUP);
    gtk_window_set_default_size(GTK_WINDOW(popup), 80, 60);
    const PointI origin = window->ScreenToClient({0, 0});
    gtk_window_move(GTK_WINDOW(popup), 200 - origin.x, 120 - origin.y);
    g_signal_connect(popup, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer) {
                         cairo_set_source_rgb(cr, 1, 0, 0);
                         cairo_paint(cr);
                         return TRUE;
                     }),
                     nullptr);
    gtk_widget_show(popup);
    ASSERT_TRUE(PumpUntil(
        [&] { return testsupport::ScreenPixel(220 - origin.x, 140 - origin.y) == 0xFFFF0000u; }));
    gtk_widget_hide(popup);
    ASSERT_TRUE(scroll(-25));
    PumpUntil([&] { return FirstDifference(*window, *picture).empty(); }, 1000);
    EXPECT_EQ(FirstDifference(*window, *picture), "") << "after the popup went";
    gtk_widget_destroy(popup);
    window->Destroy();
}

// The window's own tooltip: after the pointer rests, below it; gone on a click and not back for
// the same element; at once when the pointer goes on to another element's tooltip.
TEST(GtkNativeWindow, TooltipAppearsAfterThePauseAndStaysAwayAfterAClick) {
    ASSERT_TRUE(InitializeUserInterface());
    int moves = 0;
    auto window = BlueWindow("tooltip window", [&](HWND, UINT m, WPARAM, LPARAM) {
        moves += m == WM_MOUSEMOVE;
        return LRESULT{0};
    });
    ASSERT_NE(window, nullptr);
    // From elsewhere: a move with --sync onto where the pointer already is never ends.
    RunPumping("xdotool mousemove 10 10 mousemove --sync 140 120", Pump);
    ASSERT_TRUE(PumpUntil([&] { return moves > 0; }));

    // The tooltip's top-left corner is its border, 20 px below the pointer.
    const auto corner = [&](unsigned awaited) {
        unsigned pixel = 0;
        PumpUntil([&] { return (pixel = testsupport::ScreenPixel(140, 140)) == awaited; });
        return pixel;
    };
    constexpr unsigned kWindow = 0xFF3366CCu, kBorder = 0xFF767676u;
    {
        ManualClock clock;
        window->SetTooltip(std::string("新建一份教案"));
        clock.Advance(499);
        EXPECT_EQ(corner(kWindow), kWindow) << "the tooltip came before the pause was over";
        clock.Advance(1);
        EXPECT_EQ(corner(kBorder), kBorder) << "no tooltip after the pause";

        RunPumping("xdotool click 1", Pump);
        EXPECT_EQ(corner(kWindow), kWindow) << "a click left the tooltip on screen";
        window->SetTooltip(std::string("新建一份教案"));
        clock.Advance(2000);
        EXPECT_EQ(corner(kWindow), kWindow) << "the same element's tooltip came back after a click";

        // Off the element and onto another: its tooltip waits the pause again, and the next
        // element's comes at once while one is shown.
        window->SetTooltip(std::nullopt);
        window->SetTooltip(std::string("打印正在编辑的教案"));
        clock.Advance(500);
        EXPECT_EQ(corner(kBorder), kBorder);
        window->SetTooltip(std::string("新建一份教案"));
        EXPECT_EQ(corner(kBorder), kBorder);
        window->SetTooltip(std::nullopt);
        EXPECT_EQ(corner(kWindow), kWindow)
            << "the tooltip stayed after the pointer left its element";
    }
    window->Destroy();
}

// A short tooltip stays on one line (the window shrinks to its label's least width, which for a
// wrapping label is a single character); a long one wraps at its width.
TEST(LabelPopup, OnlyATextLongerThanTheWrappingWidthWraps) {
    ASSERT_TRUE(InitializeUserInterface());
    auto window = BlueWindow("popup owner", [](HWND, UINT, WPARAM, LPARAM) { return LRESULT{0}; });
    ASSERT_NE(window, nullptr);
    GtkWidget* owner = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    LabelPopup popup("label { margin: 2px 5px; }", 20);
    // The popup's new size once the window has settled on it: changed, then the same for a
    // while (the first size shown may be GTK's own guess, before the asked-for size comes).
    const auto shown = [&](const std::string& text) {
        const RectI before = popup.Frame();
        popup.SetText(owner, text.c_str(), nullptr);
        popup.Show();
        RectI frame = before;
        int unchanged = 0;
        PumpUntil([&] {
            const RectI now = popup.Frame();
            unchanged = now.width == frame.width && now.height == frame.height ? unchanged + 1 : 0;
            frame = now;
            const bool changed = frame.width != before.width || frame.height != before.height;
            return changed && frame.height > 1 && unchanged >= 50;
        });
        return frame;
    };
    const RectI shortText = shown("新建一份教案");
    EXPECT_GT(shortText.width, 2 * shortText.height) << "a short text was wrapped";
    std::string longText;
    for (int i = 0; i < 8; ++i) {
        longText += "第一课光合作用";
    }
    const RectI wrapped = shown(longText);
    EXPECT_GT(wrapped.height, 2 * shortText.height) << "a long text stayed on one line";
    EXPECT_LT(wrapped.width, 56 * shortText.width / 6) << "a long text did not wrap";
    popup.Hide();
    gtk_widget_destroy(owner);
    window->Destroy();
}
