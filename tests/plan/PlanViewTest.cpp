// The plan element in a window, driven by messages: editing, lines, focus, scrolling, menus.
#include "plan/PlanFixture.h"

#include "net/RequestsDone.h"

#include "platform/OffscreenWindow.h"

#include "platform/Clipboard.h"
#include "view/controls/ViewList.h"
#include "view/controls/ViewListItem.h"

namespace {

using namespace plantest;

using PlanView = PlanFixture;

TEST_F(PlanView, TypingMarksTheCellChangedAndTheNewTimeOnThePlan) {
    Open();
    ClickIn("row.a");
    ASSERT_EQ(Focused(), plan->FindCell("row.a"));
    Type(u"荷塘");
    EXPECT_EQ(plan->FindCell("row.a")->GetText(), "荷塘");
    EXPECT_TRUE(plan->FindCell("row.a")->IsChanged());
    EXPECT_FALSE(plan->FindCell("row.b")->IsChanged());
    EXPECT_EQ(plan->GetRecord().modified, now);
    EXPECT_TRUE(plan->TakeChanges());
    EXPECT_FALSE(plan->FindCell("row.a")->IsChanged());
    // The value saved carries the typed text.
    auto probe = std::dynamic_pointer_cast<CViewPlenvo>(CreateViewElement(SamplePlan()));
    probe->FindCell("row.c")->SetValue(plan->FindCell("row.a")->GetValue());
    EXPECT_EQ(probe->FindCell("row.c")->GetText(), "荷塘");
}

TEST_F(PlanView, AnEditShowsTheNewTimeInTheHistoryListOnce) {
    Open();
    auto list = std::dynamic_pointer_cast<CViewList>(view->FindByName("historylist"));
    ASSERT_TRUE(list);
    list->AddItem("荷塘月色", "old", 42);
    list->AddItem("背影", "other", 43);
    Settle();
    ClickIn("row.a");
    Type(u"a");
    const std::string shown = list->GetItem(42)->GetSubtitle();
    EXPECT_NE(shown, "old");
    EXPECT_EQ(shown.size(), std::string("2025年06月15日 23:06").size()) << shown;
    EXPECT_NE(shown.find("年"), std::string::npos);
    EXPECT_EQ(list->GetItem(43)->GetSubtitle(), "other");
    // A later edit within the same minute leaves the text as it is.
    now += 5;
    Type(u"b");
    EXPECT_EQ(list->GetItem(42)->GetSubtitle(), shown);
}

TEST_F(PlanView, TextGrowsItsLineAndMovesTheLinesBelow) {
    Open();
    const double before = plan->FindCell("template.aims.list")->Rect().y;
    const double rowHeight = plan->Lines()[1]->Height();
    ClickIn("row.a");
    for (int i = 0; i < 6; ++i) {
        Type(u"第一行文字");
        Key(VK_RETURN);
    }
    EXPECT_GT(plan->Lines()[1]->Height(), rowHeight + 10);
    // Every cell of the line takes the line's height.
    EXPECT_EQ(plan->FindCell("row.c")->Height(), plan->Lines()[1]->Height());
    EXPECT_NEAR(plan->FindCell("template.aims.list")->Rect().y - before,
                plan->Lines()[1]->Height() - rowHeight, 1e-9);
}

TEST_F(PlanView, EnterInAnExtendableCellAddsANumberedFocusedSubLine) {
    Open();
    ClickIn("template.aims.1.text");
    Key(VK_RETURN);
    const auto list = plan->FindCell("template.aims.list");
    ASSERT_EQ(list->Lines().size(), 2u);
    const auto& added = list->Lines()[1];
    EXPECT_EQ(added->Name(), "template.aims.5000");
    EXPECT_EQ(added->Cells()[0]->Name(), "template.aims.5000.text");
    EXPECT_EQ(added->Cells()[0]->GetText(), "2.");
    EXPECT_EQ(Focused(), added->Cells()[0]);
    EXPECT_TRUE(list->IsChanged());
    // The first sub-line kept its text: Enter never reached it.
    EXPECT_EQ(plan->FindCell("template.aims.1.text")->GetText(), "1.");

    // Within the same tick the next number is taken: no two lines share a name.
    Key(VK_RETURN);
    ASSERT_EQ(list->Lines().size(), 3u);
    EXPECT_EQ(list->Lines()[2]->Name(), "template.aims.5001");
    EXPECT_EQ(list->Lines()[2]->Cells()[0]->GetText(), "3.");
    const auto targets = Events(2);
    EXPECT_EQ(targets[0], "/plenvo/event?e=addline&name=template%2Eaims%2E5000&id=42");
    EXPECT_EQ(targets[1], "/plenvo/event?e=addline&name=template%2Eaims%2E5001&id=42");
}

TEST_F(PlanView, EmptyingADeleteOnEmptySubLineRemovesItUnlessItIsTheLast) {
    Open();
    ClickIn("template.aims.1.text");
    Key(VK_RETURN); // "2." focused
    const auto list = plan->FindCell("template.aims.list");
    Key(VK_BACK);
    Key(VK_BACK);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return list->Lines().size() == 1; }, 5000))
        << "the emptied sub-line was not removed";
    // The focus went to the sub-line before it.
    EXPECT_EQ(Focused(), plan->FindCell("template.aims.1.text"));
    const auto targets = Events(2);
    EXPECT_EQ(targets[1], "/plenvo/event?e=delline&name=template%2Eaims%2E5000&id=42");

    // The last one stays, and its emptied text counts as an edit.
    list->TakeChanged();
    Key(VK_BACK);
    Key(VK_BACK);
    ASSERT_TRUE(nettest::PumpUntilRequestsDone());
    ASSERT_EQ(list->Lines().size(), 1u);
    const auto last = plan->FindCell("template.aims.1.text");
    EXPECT_EQ(last->GetText(), "");
    EXPECT_TRUE(last->IsChanged());
    Key(VK_BACK); // swallowed
    EXPECT_EQ(list->Lines().size(), 1u);
    EXPECT_EQ(server.Count("event"), 2u);
}

TEST_F(PlanView, AddLineIconCopiesTheLineBelowItWithFreshNamesAndTellsTheService) {
    Open();
    const auto source = plan->Lines()[3];
    const gfx::RectF icon = source->AddIconRect();
    tick = 7;
    ClickAt(icon.x + 1, icon.y + 1);
    ASSERT_EQ(plan->Lines().size(), 6u);
    const auto added = plan->Lines()[4];
    // Tick 7 names the source line already: the next free number is taken.
    EXPECT_EQ(added->Name(), "template.teachproc.9.container");
    EXPECT_TRUE(added->IsRemovable());
    EXPECT_EQ(added->Cells()[0]->Name(), "template.teachproc.9.aim");
    EXPECT_EQ(added->Cells()[1]->Name(), "template.teachproc.9.step");
    EXPECT_EQ(added->Cells()[0]->GetText(), "");
    EXPECT_GT(added->Rect().y, source->Rect().y);
    const auto targets = Events(1);
    EXPECT_EQ(targets[0], "/plenvo/event?e=addline&name=template%2Eteachproc%2E9%2Econtainer"
                          "&aftername=template%2Eteachproc%2E7%2Econtainer&id=42");
    ASSERT_TRUE(nettest::PumpUntilRequestsDone()) << "the service's answer to the added line";
    EXPECT_EQ(plan->Lines().size(), 6u);
    EXPECT_TRUE(view->Overlays().BottomMessages().empty());
}

TEST_F(PlanView, AnAddedLineTheServiceRefusedIsRemovedAgainWithABottomMessage) {
    SetEventReply(200, R"({"ok":false,"error":"无法在此处添加行"})");
    Open();
    const gfx::RectF icon = plan->Lines()[3]->AddIconRect();
    ClickAt(icon.x + 1, icon.y + 1);
    ASSERT_EQ(plan->Lines().size(), 6u);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return plan->Lines().size() == 5u; }, 5000))
        << "the refused line stayed";
    ASSERT_EQ(view->Overlays().BottomMessages().size(), 1u);
    const std::string band = view->Overlays().BottomMessages().front()->GetDescription().dump();
    EXPECT_NE(band.find("无法在此处添加行"), std::string::npos) << band;

    // A broken transfer too.
    SetEventReply(500, "oops");
    ClickAt(icon.x + 1, icon.y + 1);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return server.Count("event") == 2; }, 5000));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return plan->Lines().size() == 5u; }, 5000));
}

TEST_F(PlanView, DeleteIconAsksAndNoKeepsTheLineAndSendsNothing) {
    Open();
    std::vector<MessageBoxRequest> asked;
    int answer = IDNO;
    SetMessageBoxHandler([&](const MessageBoxRequest& request) {
        asked.push_back(request);
        return answer;
    });
    const auto line = plan->Lines()[4];
    const gfx::RectF icon = line->DeleteIconRect();
    ClickAt(icon.x + 1, icon.y + 1);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "确实要删除该行吗？");
    EXPECT_EQ(asked[0].caption, "提示");
    EXPECT_EQ(plan->Lines().size(), 5u);
    ASSERT_TRUE(nettest::PumpUntilRequestsDone());
    EXPECT_EQ(server.Count("event"), 0u);

    // The line that is not removable offers no delete icon.
    const gfx::RectF fixed = plan->Lines()[3]->DeleteIconRect();
    ClickAt(fixed.x + 1, fixed.y + 1);
    EXPECT_EQ(asked.size(), 1u);

    answer = IDYES;
    ClickAt(icon.x + 1, icon.y + 1);
    EXPECT_EQ(plan->Lines().size(), 4u);
    EXPECT_EQ(plan->FindCell("template.teachproc.8.aim"), nullptr);
    const auto targets = Events(1);
    EXPECT_EQ(targets[0],
              "/plenvo/event?e=delline&name=template%2Eteachproc%2E8%2Econtainer&id=42");
}

TEST_F(PlanView, ArrowsAtTheTextsEdgeMoveTheFocusAndSkipReadOnlyCells) {
    Open();
    ClickIn("row.b"); // caret at the end of "中间"
    Key(VK_LEFT);     // inside the text: the caret moves
    EXPECT_EQ(Focused(), plan->FindCell("row.b"));
    Key(VK_HOME);
    Key(VK_LEFT); // at the start: over the read-only label to row.a
    EXPECT_EQ(Focused(), plan->FindCell("row.a"));
    EXPECT_FALSE(plan->FindCell("row.b")->HasFocus());
    Key(VK_RIGHT); // row.a is empty: its edge at once, past the label to row.b
    EXPECT_EQ(Focused(), plan->FindCell("row.b"));
    Key(VK_DOWN);
    EXPECT_EQ(Focused(), plan->FindCell("template.aims.1.text"));
    Key(VK_UP);
    Key(VK_UP);
    // Above row.a... the header is read only and nothing lies above it: the focus stays.
    ClickIn("row.a");
    Key(VK_UP);
    EXPECT_EQ(Focused(), plan->FindCell("row.a"));
}

TEST_F(PlanView, WheelAndDragScrollWithinTheirLimits) {
    nlohmann::json data = SamplePlan();
    // Short content: the wheel does not scroll.
    Open(data);
    const gfx::RectF r = plan->GetRect();
    const LPARAM inside = MakeLParam(Px(r.x + 50), Px(r.y + 60));
    const auto wheel = [&](int delta) {
        const Point origin = plan->ClientToScreenOrigin();
        SendMessage(view->GetHandle(), WM_MOUSEWHEEL, static_cast<WPARAM>(delta) << 16,
                    MakeLParam(Px(r.x + 50) + origin.x, Px(r.y + 60) + origin.y));
    };
    (void)inside;
    wheel(-120);
    EXPECT_EQ(plan->ScrollOffset(), 0);

    // Long content.
    for (int i = 0; i < 30; ++i) {
        data["gridlines"].push_back(nlohmann::json::parse(
            R"({"name":"filler","width":160,"cells":[{"name":"f","width":160,"height":30}]})"));
    }
    plan.reset();
    view->Destroy();
    Open(data);
    const double view = plan->GetSize().height - 40.0;
    ASSERT_GT(plan->ContentHeight(), view);
    const double firstY = plan->Lines()[0]->Rect().y;
    wheel(-120);
    EXPECT_EQ(plan->ScrollOffset(), -10.0);
    // Drawn at whole pixels: within half a pixel of the offset.
    EXPECT_NEAR(plan->Lines()[0]->Rect().y, firstY - 10.0, 0.5 * 25.4 / plan->GetDpi() + 1e-9);
    wheel(120);
    wheel(120);
    EXPECT_EQ(plan->ScrollOffset(), 0.0);
    for (int i = 0; i < 200; ++i) {
        wheel(-120);
    }
    EXPECT_DOUBLE_EQ(plan->ScrollOffset(), -(plan->ContentHeight() - view));

    // Dragging the background: down to the top, up to the drag limit.
    const double x = r.x + 5;
    const double y = r.y + 100;
    Send(WM_LBUTTONDOWN, Px(x), Px(y), MK_LBUTTON);
    EXPECT_TRUE(plan->IsDragging());
    Send(WM_MOUSEMOVE, Px(x), Px(y) + 5000, MK_LBUTTON);
    EXPECT_EQ(plan->ScrollOffset(), 0.0);
    Send(WM_MOUSEMOVE, Px(x), Px(y) - 20000, MK_LBUTTON);
    EXPECT_DOUBLE_EQ(plan->ScrollOffset(), -(plan->ContentHeight() - plan->GetSize().height));
    Send(WM_LBUTTONUP, Px(x), Px(y) - 20000);
    EXPECT_FALSE(plan->IsDragging());
}

TEST_F(PlanView, MenusOfTheBackgroundAndOfACell) {
    Open();
    std::vector<std::vector<MenuItem>> menus;
    UINT command = 0;
    SetPopupMenuHandler([&](const PopupMenuRequest& request) {
        menus.push_back(request.items);
        return command;
    });
    const gfx::RectF r = plan->GetRect();
    int planInfo = 0;
    GetViewHooks().editPlanInfo = [&](CView&, int id) { planInfo = id; };
    command = 2;
    Send(WM_RBUTTONDOWN, Px(r.x + 3), Px(r.y + 100));
    Send(WM_RBUTTONUP, Px(r.x + 3), Px(r.y + 100));
    ASSERT_EQ(menus.size(), 1u);
    ASSERT_EQ(menus[0].size(), 2u);
    EXPECT_EQ(menus[0][0].text, "打印");
    EXPECT_EQ(menus[0][1].text, "基本信息");
    ASSERT_TRUE(testsupport::PumpUntil([&] { return planInfo != 0; }, 5000));
    EXPECT_EQ(planInfo, 42);
    GetViewHooks().editPlanInfo = {};

    // A cell: cut and copy need a selection, paste a clipboard with text.
    Clipboard::Set("粘贴的文字");
    command = 0;
    const gfx::RectF b = plan->FindCell("row.b")->TextRect();
    Send(WM_RBUTTONDOWN, Px(b.x + 1), Px(b.y + 1));
    Send(WM_RBUTTONUP, Px(b.x + 1), Px(b.y + 1));
    ASSERT_EQ(menus.size(), 2u);
    ASSERT_EQ(menus[1].size(), 3u);
    EXPECT_EQ(menus[1][0].text, "剪切");
    EXPECT_EQ(menus[1][1].text, "复制");
    EXPECT_EQ(menus[1][2].text, "粘贴");
    EXPECT_FALSE(menus[1][0].enabled);
    EXPECT_FALSE(menus[1][1].enabled);
    EXPECT_TRUE(menus[1][2].enabled);

    // Select all and cut: the text goes to the clipboard and the cell is changed.
    plan->FindCell("row.b")->TextHost()->Services()->SetSelection(0, -1);
    command = 1;
    Send(WM_RBUTTONDOWN, Px(b.x + 1), Px(b.y + 1));
    Send(WM_RBUTTONUP, Px(b.x + 1), Px(b.y + 1));
    ASSERT_EQ(menus.size(), 3u);
    EXPECT_TRUE(menus[2][0].enabled);
    EXPECT_EQ(Clipboard::Text(), "中间");
    EXPECT_EQ(plan->FindCell("row.b")->GetText(), "");
    EXPECT_TRUE(plan->FindCell("row.b")->IsChanged());

    command = 3;
    Send(WM_RBUTTONDOWN, Px(b.x + 1), Px(b.y + 1));
    Send(WM_RBUTTONUP, Px(b.x + 1), Px(b.y + 1));
    EXPECT_EQ(plan->FindCell("row.b")->GetText(), "中间");
}

TEST_F(PlanView, ReadOnlyCellsTakeNoTypingAndPrivateMessage0x900Relayouts) {
    Open();
    ClickIn("template.grade.value");
    Type(u"abc");
    EXPECT_EQ(plan->FindCell("template.grade.value")->GetText(), "十年级");
    EXPECT_FALSE(plan->TakeChanges());
    plan->FindCell("row.a")->SetText("一\n二\n三\n四\n五\n六");
    const double before = plan->Lines()[1]->Height();
    SendMessage(view->GetHandle(), WM_PLENVO_BASE, 0, 0);
    EXPECT_GT(plan->Lines()[1]->Height(), before);
}

} // namespace

namespace {

using namespace plantest;

class PlanRepaint : public PlanFixture {
protected:
    // The sample plan with enough filler lines below it to scroll.
    void OpenLong() {
        nlohmann::json data = SamplePlan();
        for (int i = 0; i < 30; ++i) {
            data["gridlines"].push_back(nlohmann::json::parse(
                R"({"name":"filler","width":160,"cells":[{"name":"f","width":160,"height":30}]})"));
        }
        Open(data);
    }
    platform::OffscreenWindow& Window() {
        return *static_cast<platform::OffscreenWindow*>(view->Window());
    }
    static RectI Pixels(const gfx::RectF& mm) {
        const auto px = [](double v) { return static_cast<int>(std::lround(gfx::MmToPx(v, 96))); };
        return {px(mm.x), px(mm.y), px(mm.x + mm.width) - px(mm.x),
                px(mm.y + mm.height) - px(mm.y)};
    }
    void Wheel(int delta) {
        const gfx::RectF r = plan->GetRect();
        const Point origin = plan->ClientToScreenOrigin();
        SendMessage(view->GetHandle(), WM_MOUSEWHEEL, static_cast<WPARAM>(delta) << 16,
                    MakeLParam(Px(r.x + 50) + origin.x, Px(r.y + 60) + origin.y));
    }
};

TEST_F(PlanRepaint, AKeyThatKeepsTheCellsHeightRepaintsOnlyThatCell) {
    OpenLong();
    ClickIn("row.a");
    Type(u"荷塘");
    const double height = plan->FindCell("row.a")->Height();
    const double below = plan->FindCell("template.aims.list")->Rect().y;
    Window().Paint();
    Type(u"月");
    SendMessage(view->GetHandle(), WM_KEYDOWN, VK_BACK, 0);
    Type(u"色");
    ASSERT_EQ(plan->FindCell("row.a")->GetText(), "荷塘色");
    ASSERT_EQ(plan->FindCell("row.a")->Height(), height);
    EXPECT_EQ(plan->FindCell("template.aims.list")->Rect().y, below);
    // The cells of the line that are shorter than it (the read-only label) and every other line
    // stay as painted.
    const RectI cell = Pixels(plan->FindCell("row.a")->Rect());
    const RectI dirty = Window().DirtyArea();
    EXPECT_FALSE(dirty.Empty());
    EXPECT_GE(dirty.x, cell.x - 1);
    EXPECT_GE(dirty.y, cell.y - 1);
    EXPECT_LE(dirty.x + dirty.width, cell.x + cell.width + 1);
    EXPECT_LE(dirty.y + dirty.height, cell.y + cell.height + 1);
}

TEST_F(PlanRepaint, AWheelStepCarriesTheCaretWithItsCellAndKeepsEveryCellsHeight) {
    OpenLong();
    // The header (title, date) stays where it is: a step repaints the grid below it only.
    const int gridTop = Pixels({0, plan->GetRect().y + 38.0, 1, 1}).y;
    for (const int delta : {-120, 120}) {
        Window().Paint();
        Wheel(delta);
        EXPECT_FALSE(Window().DirtyArea().Empty());
        EXPECT_GE(Window().DirtyArea().y, gridTop - 1);
    }
    // A cell well below the header, so that the steps keep its caret in view.
    ClickIn("f");
    const auto cell = Focused();
    ASSERT_TRUE(cell);
    Type(u"荷塘");
    std::vector<double> heights;
    for (const auto& c : plan->CollectCells([](CGridCell& c) { return !c.IsContainer(); })) {
        heights.push_back(c->Height());
    }
    for (const int delta : {-120, -120, 120}) {
        const RectI caret = Window().ImeCursorArea();
        const RectI text = cell->TextHost()->TxGetClientRect();
        Wheel(delta);
        const RectI moved = cell->TextHost()->TxGetClientRect();
        ASSERT_NE(moved.y, text.y) << "the wheel scrolled";
        EXPECT_EQ(Window().ImeCursorArea(),
                  (RectI{caret.x, caret.y + moved.y - text.y, caret.width, caret.height}));
    }
    std::vector<double> after;
    for (const auto& c : plan->CollectCells([](CGridCell& c) { return !c.IsContainer(); })) {
        after.push_back(c->Height());
    }
    EXPECT_EQ(after, heights);
    // Typing after the steps goes on at the caret shown.
    Type(u"月");
    EXPECT_EQ(cell->GetText(), "荷塘月");

    // Scrolled under the header the caret is not shown there; back in view, it is again.
    const RectI shown = Window().ImeCursorArea();
    int steps = 0;
    while (cell->Rect().y > plan->GetRect().y + 20.0 && steps < 50) {
        Wheel(-120);
        ++steps;
    }
    ASSERT_LT(steps, 50);
    EXPECT_EQ(Window().ImeCursorArea().x, richtext::kCaretHidden);
    for (int i = 0; i < steps; ++i) {
        Wheel(120);
    }
    EXPECT_EQ(Window().ImeCursorArea(), shown);
}

TEST_F(PlanRepaint, AWheelStepMovesTheGridsPictureAndPaintsOnlyWhatItUncovers) {
    OpenLong();
    // A caret and a toast over the grid: neither scrolls with it.
    ClickIn("f");
    Type(u"荷塘");
    view->ShowToast("已保存", 3000);
    Window().PaintAll();
    const RectI grid = Pixels({plan->GetRect().x, plan->GetRect().y + 40.0, plan->GetSize().width,
                               plan->GetSize().height - 40.0});
    const std::size_t gridPixels = std::size_t(grid.width) * grid.height;
    std::vector<int> steps(40, -120);
    steps.insert(steps.begin() + 3, 120);
    steps.insert(steps.end(), {120, 120});
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const double before = plan->ScrollOffset();
        Wheel(steps[i]);
        if (plan->ScrollOffset() == before) {
            continue; // at the end: nothing moves, nothing to check
        }
        std::size_t repainted = 0;
        for (const RectI& r : Window().Invalidations()) {
            repainted += std::size_t(r.width) * r.height;
        }
        // The uncovered rows, the title's edge, the scroll bar and the toast, twice each: well
        // under the whole grid.
        EXPECT_LT(repainted, gridPixels / 2) << "step " << i;
        const platform::Image shown = Window().Paint();
        const platform::Image whole = Window().PaintAll();
        ASSERT_EQ(shown.pixels.size(), whole.pixels.size());
        // Pictures scaled to a fractional place may differ by a step of rounding once moved.
        const auto near = [](std::uint32_t a, std::uint32_t b) {
            for (int shift = 0; shift < 32; shift += 8) {
                if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > 2) {
                    return false;
                }
            }
            return true;
        };
        for (int y = 0; y < shown.height; ++y) {
            for (int x = 0; x < shown.width; ++x) {
                ASSERT_TRUE(near(shown.Pixel(x, y), whole.Pixel(x, y)))
                    << std::hex << shown.Pixel(x, y) << " instead of " << whole.Pixel(x, y)
                    << std::dec << " at " << x << "," << y << " after step " << i;
            }
        }
    }
    EXPECT_LT(plan->ScrollOffset(), -100.0) << "the steps reached the end of the plan";
}

TEST_F(PlanRepaint, TypingPastTheBottomAndArrowsAboveTheTopScrollTheCaretIntoView) {
    OpenLong();
    ClickIn("row.a");
    const CTextHost& host = *plan->FindCell("row.a")->TextHost();
    const double viewTop = plan->GetRect().y + 40.0;
    const double viewBottom = plan->GetRect().y + plan->GetSize().height;
    const auto caretTop = [&] { return host.GetCaretPos().y * 25.4 / 96; };
    const auto caretBottom = [&] {
        return (host.GetCaretPos().y + host.GetCaretHeight()) * 25.4 / 96;
    };
    ASSERT_GT(host.GetCaretHeight(), 0);
    // Line after line of a teaching step, well past the window's bottom.
    int lines = 0;
    while (plan->FindCell("row.a")->Height() < viewBottom - viewTop + 40 && lines < 200) {
        Type(u"学生分组讨论");
        Key(VK_RETURN);
        ++lines;
        ASSERT_LE(caretBottom(), viewBottom + 1e-6) << "line " << lines;
        ASSERT_GE(caretTop(), viewTop - 1e-6) << "line " << lines;
    }
    ASSERT_LT(lines, 200);
    EXPECT_LT(plan->ScrollOffset(), 0.0);
    const double scrolled = plan->ScrollOffset();
    Type(u"结束");
    EXPECT_EQ(plan->ScrollOffset(), scrolled) << "the caret was in view: nothing moves";
    // Back up to the first line of the text: the grid follows upwards.
    for (int i = 0; i <= lines; ++i) {
        Key(VK_UP);
        ASSERT_GE(caretTop(), viewTop - 1e-6) << "up " << i;
    }
    EXPECT_GT(plan->ScrollOffset(), scrolled);
}

} // namespace
