#include "ViewFixture.h"

#include "view/controls/ViewScrollBar.h"

#include <cstdlib>
#include <vector>

using namespace controlstest;

namespace {

class ScrollBarTest : public ViewFixture {
protected:
    // A 100 mm bar at the left edge of a white window; every "scrolltrack" parameter is kept.
    void OpenBar() {
        Open(R"j({"bkgnd":"argb(255,255,255,255)","elements":[
            {"name":"bar","type":"scrollbar","width":4,"height":100}]})j");
        bar = std::dynamic_pointer_cast<CViewScrollBar>(view->FindByName("bar"));
        ASSERT_NE(bar, nullptr);
        bar->AddEventHandler("scrolltrack", [this](const auto&, const std::string& parameter) {
            tracks.push_back(parameter);
            return 1;
        });
    }
    void SetRange(int maximum, int page, int position = 0) {
        ScrollInfo info;
        info.maximum = maximum;
        info.page = page;
        info.position = position;
        bar->SetScrollInfo(info, SIF_RANGE | SIF_PAGE | SIF_POS);
    }
    // The thumb's top and bottom in client pixels.
    std::pair<int, int> ThumbPixels() const {
        const gfx::RectF t = bar->ThumbRect();
        return {static_cast<int>(gfx::MmToPx(t.y, 96)),
                static_cast<int>(gfx::MmToPx(t.y + t.height, 96))};
    }
    double LastTrackMm() const {
        EXPECT_FALSE(tracks.empty());
        return tracks.empty() ? -1
                              : std::atof(tracks.back().c_str() + tracks.back().find("track.") + 6);
    }

    std::shared_ptr<CViewScrollBar> bar;
    std::vector<std::string> tracks;
};

} // namespace

TEST_F(ScrollBarTest, NoThumbWhileTheContentFitsAndNoDivisionByZeroAtTheEdges) {
    OpenBar();
    // Empty, exactly one page, and one pixel over the page (where the thumb arithmetic used to
    // divide by zero).
    SetRange(0, 0);
    EXPECT_FALSE(bar->HasThumb());
    EXPECT_TRUE(bar->ThumbRect().IsEmpty());
    SetRange(378, 378);
    EXPECT_FALSE(bar->HasThumb());
    EXPECT_EQ(Window().PaintAll().Pixel(5, 100), 0xFFFFFFFFu);

    SetRange(379, 378, 1);
    ASSERT_TRUE(bar->HasThumb());
    const auto [top, bottom] = ThumbPixels();
    EXPECT_GE(top, 0);
    EXPECT_LE(bottom, 378);
    EXPECT_GT(bottom - top, 370);
    // The thumb is the bar's translucent black over the white window.
    EXPECT_EQ(Window().PaintAll().Pixel(5, (top + bottom) / 2), 0xFFCDCDCDu);
}

TEST_F(ScrollBarTest, ThumbFollowsThePositionAndStaysInsideTheTrack) {
    OpenBar();
    SetRange(1000, 250, 0);
    auto [top0, bottom0] = ThumbPixels();
    EXPECT_EQ(top0, 0);
    EXPECT_NEAR(bottom0 - top0, 94, 1);
    SetRange(1000, 250, 750);
    auto [top1, bottom1] = ThumbPixels();
    EXPECT_NEAR(bottom1, 378, 1);
    // A position beyond the end is shown at the end, not below the track.
    SetRange(1000, 250, 5000);
    EXPECT_EQ(ThumbPixels(), std::make_pair(top1, bottom1));
    bar->SetScrollPos(gfx::PxToMm(375, 96));
    EXPECT_EQ(bar->GetScrollInfo().position, 375);
}

TEST_F(ScrollBarTest, DraggingTheThumbReportsTheTrackPositionClampedToTheContent) {
    OpenBar();
    SetRange(1000, 250, 0);
    const auto [top, bottom] = ThumbPixels();
    const int x = 5;
    const int y = (top + bottom) / 2;
    // A press beside the thumb is not the bar's.
    EXPECT_EQ(Send(platform::WM_LBUTTONDOWN, x, bottom + 20, platform::MK_LBUTTON), 0);
    Send(platform::WM_LBUTTONUP, x, bottom + 20);
    EXPECT_FALSE(bar->IsDragging());

    Send(platform::WM_MOUSEMOVE, x, y);
    Send(platform::WM_LBUTTONDOWN, x, y, platform::MK_LBUTTON);
    ASSERT_TRUE(bar->IsDragging());
    Send(platform::WM_MOUSEMOVE, x, y + 142, platform::MK_LBUTTON);
    ASSERT_EQ(tracks.size(), 1u);
    // Half of the free track (284 px) is half of the 750 px the content can move.
    EXPECT_NEAR(LastTrackMm(), gfx::PxToMm(375, 96), 0.6);
    // Far below the window and above it: clamped to the ends.
    Send(platform::WM_MOUSEMOVE, x, y + 2000, platform::MK_LBUTTON);
    EXPECT_NEAR(LastTrackMm(), gfx::PxToMm(750, 96), 0.01);
    EXPECT_NEAR(ThumbPixels().second, 378, 1);
    Send(platform::WM_MOUSEMOVE, x, -500, platform::MK_LBUTTON);
    EXPECT_NEAR(LastTrackMm(), 0, 0.01);
    Send(platform::WM_LBUTTONUP, x, -500);
    EXPECT_FALSE(bar->IsDragging());
    const size_t count = tracks.size();
    Send(platform::WM_MOUSEMOVE, x, 300);
    EXPECT_EQ(tracks.size(), count);
}

TEST_F(ScrollBarTest, AThumblessBarLetsEveryMessagePass) {
    OpenBar();
    SetRange(100, 378);
    EXPECT_EQ(Send(platform::WM_LBUTTONDOWN, 5, 10, platform::MK_LBUTTON), 0);
    Send(platform::WM_MOUSEMOVE, 5, 40, platform::MK_LBUTTON);
    Send(platform::WM_LBUTTONUP, 5, 40);
    EXPECT_TRUE(tracks.empty());
}
