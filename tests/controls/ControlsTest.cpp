#include "ViewFixture.h"

#include "platform/Tick.h"
#include "support/TempDir.h"
#include "view/controls/ViewButton.h"
#include "view/controls/ViewImage.h"

#include <cairo.h>

using namespace controlstest;

namespace {

std::string SolidPng(const testsupport::TempDir& dir, const std::string& name, double r, double g,
                     double b) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, r, g, b);
    cairo_paint(cr);
    cairo_destroy(cr);
    const std::string path = dir.File(name);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
    return "file:///" + path;
}

// A 1 x 1 GIF of three frames whose delays are given in hundredths of a second.
std::string ThreeFrameGif(const testsupport::TempDir& dir, int d0, int d1, int d2) {
    std::string gif = "GIF89a";
    gif += std::string("\x01\x00\x01\x00\x80\x00\x00", 7);
    gif += std::string("\x00\x00\x00\xff\xff\xff", 6);
    for (int delay : {d0, d1, d2}) {
        gif += std::string("\x21\xf9\x04\x00", 4);
        gif += static_cast<char>(delay & 0xff);
        gif += static_cast<char>(delay >> 8);
        gif += std::string("\x00\x00", 2);
        gif += std::string("\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);
        gif += std::string("\x02\x02\x44\x01\x00", 5);
    }
    gif += '\x3b';
    const std::string path = dir.File("busy.gif");
    testsupport::WriteBytes(path, gif);
    return "file:///" + path;
}

} // namespace

TEST_F(ViewFixture, ButtonShowsTheHoverPictureOnlyWhileThePointerIsOverIt) {
    testsupport::TempDir dir;
    const std::string json =
        R"({"elements":[{"name":"b","type":"button","width":40,"height":12,"texnor":")" +
        SolidPng(dir, "n.png", 1, 0, 0) + R"(","texhov":")" + SolidPng(dir, "h.png", 0, 1, 0) +
        R"("},{"name":"away","width":40,"height":12}]})";
    Open(json);
    const auto [x, y] = CentreOf("b");
    EXPECT_EQ(Window().PaintAll().Pixel(x, y), 0xFFFF0000u);
    Send(platform::WM_MOUSEMOVE, x, y);
    EXPECT_EQ(Window().Paint().Pixel(x, y), 0xFF00FF00u);
    const auto [ax, ay] = CentreOf("away");
    Send(platform::WM_MOUSEMOVE, ax, ay);
    EXPECT_EQ(Window().Paint().Pixel(x, y), 0xFFFF0000u);
}

TEST_F(ViewFixture, ButtonBackgroundsFollowPressAndHoverButTransparentStaysTransparent) {
    Open(R"json({"bkgnd":"argb(255,255,255,255)","elements":[
        {"name":"b","type":"button","width":40,"height":12,"bkgnd":"argb(255,10,20,30)",
         "hover-bkgnd":"argb(255,40,50,60)","press-bkgnd":"argb(255,70,80,90)"},
        {"name":"clear","type":"button","width":40,"height":12,"bkgnd":"argb(0,0,0,0)"}]})json");
    const auto [x, y] = CentreOf("b");
    Send(platform::WM_MOUSEMOVE, x, y);
    EXPECT_EQ(Window().PaintAll().Pixel(x, y), 0xFF28323Cu);
    Send(platform::WM_LBUTTONDOWN, x, y, platform::MK_LBUTTON);
    EXPECT_EQ(Window().Paint().Pixel(x, y), 0xFF46505Au);
    Send(platform::WM_LBUTTONUP, x, y);
    EXPECT_EQ(Window().Paint().Pixel(x, y), 0xFF28323Cu);
    const auto [cx, cy] = CentreOf("clear");
    Send(platform::WM_MOUSEMOVE, cx, cy);
    EXPECT_EQ(Window().Paint().Pixel(cx, cy), 0xFFFFFFFFu);
}

TEST_F(ViewFixture, ButtonIconSitsFourMillimetresInAndTextTwoAfterIt) {
    testsupport::TempDir dir;
    const std::string json = R"({"elements":[{"name":"b","type":"button","width":60,"height":20,)"
                             R"("value":"保存","icon":")" +
                             SolidPng(dir, "i.png", 0, 0, 1) + R"("}]})";
    Open(json);
    auto button = std::static_pointer_cast<CViewButton>(view->FindByName("b"));
    const gfx::RectF icon = button->IconRect(96);
    EXPECT_DOUBLE_EQ(icon.x, 4.0);
    EXPECT_NEAR(icon.width, 8 * 25.4 / 96, 1e-9);
    EXPECT_NEAR(icon.y, (20 - icon.width) / 2, 1e-9);
    EXPECT_NEAR(button->TextStart(96), 4.0 + icon.width + 2.0, 1e-9);
    const int ix = static_cast<int>(gfx::MmToPx(icon.x + icon.width / 2, 96));
    const int iy = static_cast<int>(gfx::MmToPx(icon.y + icon.height / 2, 96));
    EXPECT_EQ(Window().PaintAll().Pixel(ix, iy), 0xFF0000FFu);
}

TEST_F(ViewFixture, ImageThatCannotBeLoadedIsNotCreatedAndItsSiblingsCloseUp) {
    Open(R"({"elements":[{"name":"pic","type":"image","src":"NO_SUCH_PICTURE","width":30,
        "height":10},{"name":"next","width":30,"height":10}]})");
    EXPECT_EQ(view->FindByName("pic"), nullptr);
    EXPECT_DOUBLE_EQ(view->FindByName("next")->GetPosition().x, 0.0);
}

TEST_F(ViewFixture, AnimationShowsEachFrameForItsDelayButNeverUnder30ms) {
    testsupport::TempDir dir;
    Open(R"({"elements":[{"name":"busy","type":"image","width":15,"height":15,"src":")" +
         ThreeFrameGif(dir, 5, 1, 5) + R"("}]})");
    auto image = std::static_pointer_cast<CViewImage>(view->FindByName("busy"));
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->FrameCount(), 3u);
    EXPECT_EQ(image->FrameDelays(), (std::vector<unsigned>{50, 10, 50}));
    // How long each frame stays, on a clock that moves a millisecond at a time.
    platform::ManualClock clock;
    std::vector<std::uint64_t> changes;
    unsigned last = image->CurrentFrame();
    ASSERT_TRUE(testsupport::AdvanceUntil(
        clock,
        [&] {
            if (image->CurrentFrame() != last) {
                last = image->CurrentFrame();
                changes.push_back(platform::GetTickCount());
            }
            return changes.size() >= 4;
        },
        1000));
    // changes[0]: frame 1 appears; [1]: frame 2; [2]: frame 0; [3]: frame 1.
    const auto shown = [&](int i) { return changes[i + 1] - changes[i]; };
    EXPECT_EQ(shown(0), 30u) << "frame 1 asked for 10 ms";
    EXPECT_EQ(shown(1), 50u);
    EXPECT_EQ(shown(2), 50u);
}
