#include "platform/Display.h"
#include "platform/Keyboard.h"
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

#include <algorithm>
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

// Pumps until the condition holds; false after the time limit.
bool PumpUntil(const std::function<bool()>& done, unsigned limitMs = 5000) {
    const auto end = GetTickCount() + limitMs;
    while (!done()) {
        if (GetTickCount() > end) {
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

} // namespace

TEST(GtkNativeWindow, RealWindowTurnsUserInputIntoMessagesAndClosesOnRequest) {
    ASSERT_TRUE(InitializeUserInterface());
    EXPECT_EQ(WorkArea(), (RectI{0, 0, 1920, 1080}));
    EXPECT_DOUBLE_EQ(ReadDesktopResolution(), 96.0);

    std::vector<Seen> seen;
    int paints = 0;
    WindowParams params;
    params.title = "Tavrin教育系统 backend";
    params.frame = {20, 27, 400, 300};
    params.proc = [&](HWND, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        seen.push_back({m, w, l, IsKeyDown(VK_CONTROL)});
        return 0;
    };
    params.paint = [&](cairo_t* cr, const RectI&) {
        ++paints;
        cairo_set_source_rgb(cr, 0x33 / 255.0, 0x66 / 255.0, 0xCC / 255.0);
        cairo_paint(cr);
    };
    auto window = NativeWindow::Create(params);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return paints > 0; })) << "the window was never drawn";

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
