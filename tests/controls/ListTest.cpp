#include "ViewFixture.h"

#include "view/controls/ViewList.h"
#include "view/controls/ViewScrollBar.h"

#include <vector>

using namespace controlstest;

namespace {

// A white window with one list of 60 x 10 mm items at the top left; every event parameter kept.
class ListTest : public ViewFixture {
protected:
    void OpenList(double height, const std::string& extra = {}) {
        Open(R"j({"bkgnd":"argb(255,255,255,255)","elements":[{"name":"list","type":"list",
            "width":60,"height":)j" +
             std::to_string(height) + R"j(,"item_width":60,"item_height":10,
            "item_bkgnd":"argb(255,250,250,250)","item_hover_bkgnd":"argb(255,0,0,255)",
            "item_checked_bkgnd":"argb(255,255,0,0)",
            "item_titlefont":"family:微软雅黑;size:4;color:argb(255,0,0,0)",
            "item_subtitlefont":"family:微软雅黑;size:3;color:argb(255,90,90,90)")j" +
             extra + R"(}]})");
        list = std::dynamic_pointer_cast<CViewList>(view->FindByName("list"));
        ASSERT_NE(list, nullptr);
        for (const char* event : {"click", "contextmenu"}) {
            list->AddEventHandler(event, [this, event](const auto&, const std::string& p) {
                events.push_back(std::string(event) + " " + p);
                return 1;
            });
        }
    }
    void Fill(unsigned count) {
        for (unsigned i = 0; i < count; ++i) {
            list->AddItem("教案 " + std::to_string(i), "2026年01月01日 08:00", i);
        }
        Settle();
    }
    // Client pixels of a point given in millimetres.
    static int Px(double mm) { return static_cast<int>(gfx::MmToPx(mm, 96)); }
    void Wheel(int steps, double yMm = 20) {
        // The wheel carries a screen point; the offscreen window's client origin is its screen
        // origin.
        const int delta = steps > 0 ? platform::WHEEL_DELTA : -platform::WHEEL_DELTA;
        for (int i = 0; i < std::abs(steps); ++i) {
            Send(platform::WM_MOUSEWHEEL, Px(30), Px(yMm),
                 static_cast<platform::WPARAM>(static_cast<std::uint16_t>(delta)) << 16);
        }
    }

    std::shared_ptr<CViewList> list;
    std::vector<std::string> events;
};

} // namespace

TEST_F(ListTest, WheelStepsAreTenMillimetresClampedToTheContent) {
    OpenList(50);
    Fill(15); // 150 mm of items in a 50 mm list
    Wheel(-8);
    EXPECT_DOUBLE_EQ(list->GetScrollOffset(), -80);
    Wheel(-3);
    EXPECT_DOUBLE_EQ(list->GetScrollOffset(), -100);
    Wheel(1);
    EXPECT_DOUBLE_EQ(list->GetScrollOffset(), -90);
    EXPECT_EQ(list->GetScrollBar()->GetScrollInfo().position, 340); // round(90 mm at 96 dpi)
    // Item 9 now sits at the top: a click there names it.
    Window().PaintAll();
    Send(platform::WM_LBUTTONDOWN, Px(30), Px(5), platform::MK_LBUTTON);
    Send(platform::WM_LBUTTONUP, Px(30), Px(5));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "click list.listitem.9");
    // Items scrolled out of the list are cut at its edge: white below it.
    EXPECT_EQ(Window().PaintAll().Pixel(Px(30), Px(52)), 0xFFFFFFFFu);
}

TEST_F(ListTest, WhenTheItemsFitTheWheelPassesAndNoThumbIsDrawn) {
    OpenList(50);
    Fill(3);
    Wheel(-2);
    EXPECT_EQ(list->GetScrollOffset(), 0);
    EXPECT_FALSE(list->GetScrollBar()->HasThumb());
    // Where the thumb would be, the item background shows.
    EXPECT_EQ(Window().PaintAll().Pixel(Px(57.5), Px(5)), 0xFFFAFAFAu);
}

TEST_F(ListTest, AListThatLosesItemsIsNotLeftScrolledPastItsEnd) {
    OpenList(50);
    Fill(15);
    Wheel(-10);
    list->ClearChildren();
    Fill(6); // 60 mm: 10 mm can still scroll
    EXPECT_DOUBLE_EQ(list->GetScrollOffset(), -10);
    list->ClearChildren();
    Fill(2);
    EXPECT_DOUBLE_EQ(list->GetScrollOffset(), 0);
}

TEST_F(ListTest, APressOnOneItemAndAReleaseOnAnotherIsNoClick) {
    OpenList(50);
    Fill(4);
    Send(platform::WM_LBUTTONDOWN, Px(30), Px(5), platform::MK_LBUTTON);
    Send(platform::WM_LBUTTONUP, Px(30), Px(15));
    EXPECT_TRUE(events.empty());
    Send(platform::WM_LBUTTONDOWN, Px(30), Px(15), platform::MK_LBUTTON);
    Send(platform::WM_LBUTTONUP, Px(30), Px(15));
    Send(platform::WM_RBUTTONUP, Px(30), Px(35));
    EXPECT_EQ(events,
              (std::vector<std::string>{"click list.listitem.1", "contextmenu list.listitem.3"}));
}

TEST_F(ListTest, HoverAndCheckedBackgroundsAndAtMostTenCheckedIds) {
    OpenList(200);
    Fill(14);
    Send(platform::WM_MOUSEMOVE, Px(30), Px(15));
    EXPECT_EQ(Window().PaintAll().Pixel(Px(50), Px(11)), 0xFF0000FFu);
    Send(platform::WM_MOUSEMOVE, Px(30), Px(190));
    EXPECT_EQ(Window().PaintAll().Pixel(Px(50), Px(11)), 0xFFFAFAFAu);
    for (std::uint32_t id = 1; id <= 12; ++id) {
        list->SetChecked(id, true);
    }
    EXPECT_EQ(Window().Paint().Pixel(Px(50), Px(11)), 0xFFFF0000u);
    const auto ids = list->GetCheckedIds();
    for (std::uint32_t i = 0; i < 10; ++i) {
        EXPECT_EQ(ids[i], i + 1);
    }
    list->SetChecked(3, false);
    EXPECT_EQ(list->GetCheckedIds()[2], 4u);
}

TEST_F(ListTest, ALongTitleIsShortenedAgainstTheReserveAndShownInFullAsTooltip) {
    OpenList(50);
    const std::string title = "第一单元 认识图形：长方形、正方形、三角形和圆的初步认识与练习";
    list->AddItem(title, "2026年01月01日 08:00", 5);
    list->AddItem("短标题", "", 6);
    Settle();
    Window().PaintAll();
    const CViewListItem* item = list->GetItem(5);
    ASSERT_NE(item, nullptr);
    const std::string& shown = item->GetShownTitle();
    ASSERT_GT(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), "...");
    EXPECT_EQ(title.compare(0, shown.size() - 3, shown, 0, shown.size() - 3), 0);
    EXPECT_LT(shown.size(), title.size());
    EXPECT_EQ(item->GetTooltip(), title);
    EXPECT_TRUE(list->GetItem(6)->GetTooltip().empty());
    EXPECT_EQ(list->GetItem(6)->GetShownTitle(), "短标题");

    Send(platform::WM_MOUSEMOVE, Px(30), Px(5));
    EXPECT_EQ(Window().Tooltip(), std::optional<std::string>(title));
    Send(platform::WM_MOUSEMOVE, Px(30), Px(15));
    EXPECT_EQ(Window().Tooltip(), std::nullopt);
}

TEST_F(ListTest, TheScrollBarSitsOneLayerUpAndItsDragScrollsTheItems) {
    OpenList(50, R"(,"layer":3)");
    Fill(15);
    const auto bar = list->GetScrollBar();
    EXPECT_EQ(bar->GetLayer(), 4);
    const gfx::RectF thumb = bar->ThumbRect();
    ASSERT_FALSE(thumb.IsEmpty());
    // The translucent thumb darkens the item beneath.
    EXPECT_EQ(Window().PaintAll().Pixel(Px(thumb.x + 1), Px(thumb.y + 2)), 0xFFC9C9C9u);
    // The thumb takes the press before the item under it, and dragging it scrolls the list.
    Send(platform::WM_LBUTTONDOWN, Px(thumb.x + 1), Px(thumb.y + 2), platform::MK_LBUTTON);
    Send(platform::WM_MOUSEMOVE, Px(thumb.x + 1), Px(thumb.y + 2) + 500, platform::MK_LBUTTON);
    Send(platform::WM_LBUTTONUP, Px(thumb.x + 1), Px(thumb.y + 2) + 500);
    EXPECT_TRUE(events.empty());
    EXPECT_NEAR(list->GetScrollOffset(), -100, 0.3);
    EXPECT_NEAR(list->GetItem(14)->GetRect().y, 40, 0.3);
}

TEST_F(ListTest, TenThousandItemsLayOutPaintAndScrollToTheEnd) {
    OpenList(200);
    for (std::uint32_t i = 0; i < 10000; ++i) {
        list->AddItem("教案 " + std::to_string(i), "subtitle", i);
    }
    Settle();
    EXPECT_DOUBLE_EQ(list->GetContentHeight(), 100000);
    Window().PaintAll();
    list->GetScrollBar()->FireEvent("scrolltrack", "track.99800.00");
    EXPECT_DOUBLE_EQ(list->GetScrollOffset(), -99800);
    Window().PaintAll();
    Send(platform::WM_LBUTTONDOWN, Px(30), Px(195), platform::MK_LBUTTON);
    Send(platform::WM_LBUTTONUP, Px(30), Px(195));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "click list.listitem.9999");
}
