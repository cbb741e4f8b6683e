#include "ViewFixture.h"

#include "view/controls/ViewComboBox.h"

using namespace controlstest;

namespace {

// A grade box above a button that lies where the open list will be, and a plain area beside.
class ComboBoxTest : public ViewFixture {
protected:
    void OpenForm(const std::string& boxExtra = {}) {
        Open(R"j({"bkgnd":"argb(255,255,255,255)","layout":"vertical","elements":[
            {"name":"grade","type":"combobox","width":60,"height":10,
             "bkgnd":"argb(255,240,240,240)","values":[{"str":"一年级","value":1},
             {"str":"二年级","value":2},{"str":"无值"}])j" +
             boxExtra + R"j(},
            {"name":"under","type":"button","width":60,"height":30,"bkgnd":"argb(255,0,128,0)"},
            {"name":"away","width":60,"height":20}]})j");
        box = std::dynamic_pointer_cast<CViewComboBox>(view->FindByName("grade"));
        ASSERT_NE(box, nullptr);
        view->FindByName("under")->AddEventHandler("click", [this](const auto&, const auto&) {
            ++underClicks;
            return 1;
        });
    }
    static int Px(double mm) { return static_cast<int>(gfx::MmToPx(mm, 96)); }
    void ClickAt(double xMm, double yMm) {
        Send(platform::WM_MOUSEMOVE, Px(xMm), Px(yMm));
        Send(platform::WM_LBUTTONDOWN, Px(xMm), Px(yMm), platform::MK_LBUTTON);
        Send(platform::WM_LBUTTONUP, Px(xMm), Px(yMm));
    }

    std::shared_ptr<CViewComboBox> box;
    int underClicks = 0;
};

} // namespace

TEST_F(ComboBoxTest, EntriesAreEightMillimetresAndTheListStartsJustBelowTheBox) {
    OpenForm();
    ASSERT_EQ(box->Entries().size(), 3u);
    EXPECT_EQ(box->Entries()[2]->GetValue(), 0);
    EXPECT_EQ(box->Entries()[2]->GetText(), "无值");
    const gfx::RectF drop = box->GetDropDownRect();
    EXPECT_DOUBLE_EQ(drop.y, 10.1);
    EXPECT_DOUBLE_EQ(drop.height, 24);
    EXPECT_DOUBLE_EQ(drop.width, 60);
    EXPECT_DOUBLE_EQ(box->Entries()[1]->GetRect().y, 18.1);
}

TEST_F(ComboBoxTest, TheOpenListTakesEveryPressAndReleaseBeforeWhatLiesUnderIt) {
    OpenForm();
    EXPECT_EQ(box->GetSelectedValue(), -1);
    EXPECT_EQ(box->GetSelected(), nullptr);
    ClickAt(30, 5);
    ASSERT_TRUE(box->IsOpen());
    // The list is drawn on white over the green button, with the hovered entry lit.
    Send(platform::WM_MOUSEMOVE, Px(30), Px(20));
    const auto image = Window().PaintAll();
    EXPECT_EQ(image.Pixel(Px(50), Px(14)), 0xFFFFFFFFu);
    EXPECT_EQ(image.Pixel(Px(50), Px(21)), 0xFFD1E4F5u);
    EXPECT_EQ(image.Pixel(Px(50), Px(38)), 0xFF008000u);
    // Second entry: chosen, list closed, and the button beneath saw nothing.
    ClickAt(30, 20);
    EXPECT_FALSE(box->IsOpen());
    EXPECT_EQ(box->GetSelectedValue(), 2);
    EXPECT_EQ(underClicks, 0);
    // Closed, the same place is the button's again.
    ClickAt(30, 20);
    EXPECT_EQ(underClicks, 1);
    // A press between entries of an open list (the frame) is not the button's either.
    ClickAt(30, 5);
    ASSERT_TRUE(box->IsOpen());
    Send(platform::WM_LBUTTONDOWN, Px(30), Px(20), platform::MK_LBUTTON);
    Send(platform::WM_MOUSEMOVE, Px(30), Px(38), platform::MK_LBUTTON);
    Send(platform::WM_LBUTTONUP, Px(30), Px(38));
    EXPECT_EQ(underClicks, 1);
}

TEST_F(ComboBoxTest, FocusMovingElsewhereClosesTheListAndASecondClickClosesItToo) {
    OpenForm();
    ClickAt(30, 5);
    ASSERT_TRUE(box->IsOpen());
    ClickAt(30, 50); // the plain area below the button takes the focus
    EXPECT_FALSE(box->IsOpen());
    EXPECT_EQ(Window().PaintAll().Pixel(Px(50), Px(14)), 0xFF008000u);
    ClickAt(30, 5);
    ASSERT_TRUE(box->IsOpen());
    ClickAt(30, 5);
    EXPECT_FALSE(box->IsOpen());
    EXPECT_EQ(box->GetSelectedValue(), -1);
}

TEST_F(ComboBoxTest, SelectByValueKeepsTheChoiceWhenNoEntryHasTheValue) {
    OpenForm(R"j(,"dropbkgnd":"argb(255,250,240,230)")j");
    box->SelectByValue(1);
    EXPECT_EQ(box->GetSelectedValue(), 1);
    box->SelectByValue(3);
    EXPECT_EQ(box->GetSelectedValue(), 1);
    box->SelectByValue(0);
    EXPECT_EQ(box->GetSelected()->GetText(), "无值");
    ClickAt(30, 5);
    EXPECT_EQ(Window().PaintAll().Pixel(Px(50), Px(14)), 0xFFFAF0E6u);
}
