// What the page window offers the layers above it (its hooks) and the caret it draws over the
// tree for the text elements.
#include "ViewFixture.h"

#include "platform/Keyboard.h"
#include "platform/MessageQueue.h"
#include "platform/Tick.h"
#include "view/ViewHooks.h"

using namespace controlstest;

namespace {

constexpr const char* kWhitePage = R"json({"bkgnd":"rgb(255,255,255)","elements":[
    {"name":"box","width":40,"height":20,"bkgnd":"rgb(255,255,255)"}]})json";

class PageWindow : public ViewFixture {
protected:
    void TearDown() override {
        GetViewHooks() = {};
        platform::SetModifierState(false, false, false);
        ViewFixture::TearDown();
    }
};

TEST_F(PageWindow, HooksRunForTheirEventsAndTheWindowWithoutThemStillWorks) {
    std::vector<std::string> calls;
    int planId = 0;
    auto& hooks = GetViewHooks();
    hooks.templateApplied = [&](CView& v) {
        calls.push_back("template:" + std::string(v.FindByName("box") ? "box" : "none"));
    };
    hooks.save = [&](CView&) { calls.push_back("save"); };
    hooks.refreshHistory = [&](CView&) { calls.push_back("refresh"); };
    hooks.editPlanInfo = [&](CView&, int id) {
        calls.push_back("edit");
        planId = id;
    };
    hooks.closing = [&](CView& v) {
        calls.push_back(v.WindowExists() ? "closing:open" : "closing:gone");
        return true;
    };
    Open(kWhitePage);
    // The hook sees the tree of the applied template.
    EXPECT_EQ(calls, (std::vector<std::string>{"template:box"}));

    const platform::HWND hwnd = view->GetHandle();
    // S alone is typing, Ctrl+S is saving.
    platform::SendMessage(hwnd, platform::WM_KEYDOWN, 'S', 0);
    platform::SetModifierState(false, true, false);
    platform::SendMessage(hwnd, platform::WM_KEYDOWN, 'S', 0);
    platform::SendMessage(hwnd, platform::WM_KEYDOWN, 'A', 0);
    platform::SetModifierState(false, false, false);
    platform::SendMessage(hwnd, platform::WM_REFRESH_HISTORY, 0, 0);
    platform::SendMessage(hwnd, platform::WM_EDIT_PLAN_INFO, 4711, 0);
    EXPECT_EQ(planId, 4711);
    // Posted, as other threads and pages send them, the private messages arrive the same way.
    platform::PostMessage(hwnd, platform::WM_REFRESH_HISTORY, 0, 0);
    testsupport::PumpPending();
    // Closing asks the hook while the window still exists, then the window goes.
    view->Close();
    EXPECT_FALSE(view->WindowExists());
    EXPECT_EQ(calls, (std::vector<std::string>{"template:box", "save", "refresh", "edit", "refresh",
                                               "closing:open"}));
}

TEST_F(PageWindow, WithoutHooksTheirEventsChangeNothing) {
    Open(kWhitePage);
    const platform::HWND hwnd = view->GetHandle();
    platform::SetModifierState(false, true, false);
    platform::SendMessage(hwnd, platform::WM_KEYDOWN, 'S', 0);
    platform::SendMessage(hwnd, platform::WM_REFRESH_HISTORY, 0, 0);
    platform::SendMessage(hwnd, platform::WM_EDIT_PLAN_INFO, 1, 0);
    EXPECT_TRUE(view->WindowExists());
    view->Close();
    EXPECT_FALSE(view->WindowExists());
}

class Caret : public PageWindow {
protected:
    // Whether the pixel at the caret's place is inverted (black on the white page).
    bool CaretDrawnAt(int x, int y) {
        const platform::Image image = Window().PaintAll();
        return (image.Pixel(x, y) & 0xFFFFFF) == 0;
    }
    bool Blinking() {
        return platform::MessageQueue::Current()->HasTimer(view->GetHandle(), CView::kCaretTimer);
    }
};

TEST_F(Caret, ShownWhereItIsPutMovedAndHiddenByCount) {
    Open(kWhitePage);
    view->CreateCaret(nullptr, 2, 20);
    view->SetCaretPos(30, 40);
    EXPECT_FALSE(CaretDrawnAt(30, 40)) << "a new caret is hidden until shown";
    view->ShowCaret();
    EXPECT_TRUE(CaretDrawnAt(30, 40));
    EXPECT_TRUE(CaretDrawnAt(31, 59));
    EXPECT_FALSE(CaretDrawnAt(32, 40)) << "two pixels wide";
    EXPECT_FALSE(CaretDrawnAt(30, 60)) << "twenty pixels high";
    // Moving repaints both places and tells the input method where to compose.
    view->SetCaretPos(100, 50);
    EXPECT_FALSE(CaretDrawnAt(30, 40));
    EXPECT_TRUE(CaretDrawnAt(100, 50));
    EXPECT_EQ(Window().ImeCursorArea(), (platform::RectI{100, 50, 2, 20}));
    // Hidden twice, it needs showing twice.
    view->HideCaret();
    view->HideCaret();
    EXPECT_FALSE(CaretDrawnAt(100, 50));
    view->ShowCaret();
    EXPECT_FALSE(CaretDrawnAt(100, 50));
    view->ShowCaret();
    EXPECT_TRUE(CaretDrawnAt(100, 50));
}

TEST_F(Caret, BlinksOnlyWhileShownInTheFocusedWindow) {
    Open(kWhitePage);
    platform::ManualClock clock;
    view->CreateCaret(nullptr, 2, 20);
    view->SetCaretPos(30, 40);
    view->ShowCaret();
    EXPECT_FALSE(Blinking()) << "an unfocused window wakes nobody up";
    testsupport::Advance(clock, 1100);
    EXPECT_TRUE(CaretDrawnAt(30, 40)) << "without focus it stays on";

    view->SetFocus();
    EXPECT_TRUE(Blinking());
    EXPECT_TRUE(CaretDrawnAt(30, 40));
    testsupport::Advance(clock, 530);
    EXPECT_FALSE(CaretDrawnAt(30, 40));
    testsupport::Advance(clock, 530);
    EXPECT_TRUE(CaretDrawnAt(30, 40));
    // Moving restarts the blink with the caret on.
    testsupport::Advance(clock, 300);
    view->SetCaretPos(60, 40);
    testsupport::Advance(clock, 300);
    EXPECT_TRUE(CaretDrawnAt(60, 40));
    testsupport::Advance(clock, 230);
    EXPECT_FALSE(CaretDrawnAt(60, 40));

    // Losing the focus stops the blink with the caret on; hiding it stops it too.
    Window().LoseFocus();
    EXPECT_FALSE(Blinking());
    EXPECT_TRUE(CaretDrawnAt(60, 40));
    Window().Focus();
    EXPECT_TRUE(Blinking());
    view->HideCaret();
    EXPECT_FALSE(Blinking());
    EXPECT_FALSE(CaretDrawnAt(60, 40));
}

} // namespace
