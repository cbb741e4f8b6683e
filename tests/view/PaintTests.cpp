// Trees rendered off screen at 96 dpi (1 mm = 3.78 px), checked pixel by pixel.
#include "TestRoot.h"

#include <gtest/gtest.h>

using namespace PlenvoTest;

namespace {

constexpr gfx::Color kWhite = 0xFFFFFFFF;
constexpr gfx::Color kRed = 0xFFFF0000;
constexpr gfx::Color kBlue = 0xFF0000FF;
constexpr gfx::Color kGrey = 0xFFCCCCCC;

std::unique_ptr<gfx::OffscreenSurface> Render(TestRoot& root, int w, int h,
                                              gfx::RectF clip = {0, 0, 1000, 1000}) {
    auto s = std::make_unique<gfx::OffscreenSurface>(w, h, 96);
    root.Render(s->GetGraphics(), clip);
    return s;
}

} // namespace

TEST(ElementPainting, GridLineIsGreyAndItsRightAndBottomEdgesLieInside) {
    auto root = TestRoot::Make(R"J({"elements":[{"width":20,"height":10,"bkgnd":"rgb(255,255,255)",
        "gridline":"argb(255,204,204,204),w:0.1"}]})J");
    root->LayoutAll(100, 100);
    const auto s = Render(*root, 100, 60);
    // Content 0..75.6 x 0..37.8 px; right line at 19.9 mm = 75.2 px, bottom at 9.9 mm = 37.4 px.
    EXPECT_EQ(s->PixelAt(0, 20), kGrey);
    EXPECT_EQ(s->PixelAt(40, 0), kGrey);
    EXPECT_EQ(s->PixelAt(75, 20), kGrey);
    EXPECT_EQ(s->PixelAt(40, 37), kGrey);
    EXPECT_EQ(s->PixelAt(74, 20), kWhite);
    EXPECT_EQ(s->PixelAt(40, 36), kWhite);
    EXPECT_EQ(s->PixelAt(76, 20), 0u);
    EXPECT_EQ(s->PixelAt(40, 38), 0u);
}

TEST(ElementPainting, BackgroundFillsOnlyTheContentRectangle) {
    auto root = TestRoot::Make(R"J({"elements":[{"width":20,"height":20,"bkgnd":"rgb(255,0,0)",
        "padding":"2,2,2,2"}]})J");
    root->LayoutAll(100, 100);
    const auto s = Render(*root, 100, 100);
    EXPECT_EQ(s->PixelAt(4, 37), 0u);   // inside the padding band
    EXPECT_EQ(s->PixelAt(9, 37), kRed); // 2.4 mm
    EXPECT_EQ(s->PixelAt(70, 37), 0u);  // 18.5 mm
}

TEST(LayeredPainting, HigherLayersPaintOverLowerOnesWhateverTheTreeOrder) {
    auto root = TestRoot::Make(R"J({"layout":"vertical","elements":[
        {"name":"pinned","width":30,"height":30,"bkgnd":"rgb(0,0,255)","layer":100},
        {"name":"red","width":30,"height":30,"bkgnd":"rgb(255,0,0)"}]})J");
    root->LayoutAll(100, 100);
    // Move the red element up so both overlap; it stays in the lower layer.
    gfx::RectF area;
    gfx::SizeF size;
    root->FindByName("red")->Layout(area, {10, 10}, size, false);
    const auto s = Render(*root, 200, 200);
    EXPECT_EQ(s->PixelAt(57, 57), kBlue); // both cover 10..30 mm
    EXPECT_EQ(s->PixelAt(130, 130), kRed);
}

TEST(LayeredPainting, InOneLayerTheLaterRegistrationPaintsOnTop) {
    auto root = TestRoot::Make(R"J({"layout":"vertical","elements":[
        {"name":"first","width":30,"height":30,"bkgnd":"rgb(255,0,0)"},
        {"name":"second","width":30,"height":30,"bkgnd":"rgb(0,0,255)"}]})J");
    root->LayoutAll(100, 100);
    gfx::RectF area;
    gfx::SizeF size;
    root->FindByName("second")->Layout(area, {10, 10}, size, false);
    const auto s = Render(*root, 200, 200);
    EXPECT_EQ(s->PixelAt(57, 57), kBlue);
    EXPECT_EQ(s->PixelAt(20, 20), kRed);
}

TEST(LayeredPainting, AChildPaintsOverItsParent) {
    auto root = TestRoot::Make(R"J({"elements":[{"width":40,"height":40,"bkgnd":"rgb(255,0,0)",
        "elements":[{"width":10,"height":10,"bkgnd":"rgb(0,0,255)"}]}]})J");
    root->LayoutAll(100, 100);
    const auto s = Render(*root, 200, 200);
    EXPECT_EQ(s->PixelAt(20, 20), kBlue);
    EXPECT_EQ(s->PixelAt(100, 100), kRed);
}

TEST(LayeredPainting, AnElementAtHalfOpacityIsBlendedAtHalfAlpha) {
    auto root = TestRoot::Make(R"J({"bkgnd":"rgb(255,255,255)","elements":[
        {"name":"fade","width":40,"height":40,"bkgnd":"rgb(0,0,0)"}]})J");
    root->LayoutAll(100, 100);
    root->FindByName("fade")->SetOpacity(0.5f);
    const auto s = Render(*root, 200, 200);
    const gfx::Color c = s->PixelAt(50, 50);
    EXPECT_EQ(gfx::AlphaOf(c), 255u);
    EXPECT_NEAR(static_cast<int>(gfx::RedOf(c)), 128, 2);
    EXPECT_EQ(s->PixelAt(180, 180), kWhite);
}

TEST(LayeredPainting, OnlyTheClipRectangleIsPainted) {
    auto root = TestRoot::Make(R"J({"bkgnd":"rgb(255,0,0)"})J");
    root->LayoutAll(50, 50);
    const auto s = Render(*root, 200, 200, {10, 10, 10, 10});
    EXPECT_EQ(s->PixelAt(57, 57), kRed);
    EXPECT_EQ(s->PixelAt(20, 20), 0u);
    EXPECT_EQ(s->PixelAt(80, 80), 0u);
}

TEST(LayeredPainting, ReleasedElementsAreDroppedFromTheirLayer) {
    auto root =
        TestRoot::Make(R"J({"elements":[{"width":10,"height":10,"bkgnd":"rgb(255,0,0)"}]})J");
    root->LayoutAll(100, 100);
    root->ClearChildren();
    const auto s = Render(*root, 100, 100);
    EXPECT_EQ(s->PixelAt(5, 5), 0u);
    EXPECT_TRUE(root->GetLayers().at(1).empty());
}
