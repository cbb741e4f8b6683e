// Pixels drawn through Graphics at 96 dpi: 1 mm is 3.7795 pixels.
#include "gfx/Graphics.h"
#include "gfx/OffscreenSurface.h"
#include "gfx/Pen.h"
#include "gfx/SolidBrush.h"

#include <gtest/gtest.h>

#include <array>

using namespace gfx;

namespace {
constexpr Color kRed = 0xFFFF0000;
constexpr Color kBlue = 0xFF0000FF;
} // namespace

TEST(GraphicsUnits, RectanglesAreMeasuredInMillimetresAtTheSurfaceResolution) {
    OffscreenSurface s(100, 100, 96);
    s.GetGraphics().FillRectangle(kRed, {0, 0, 10, 10}); // 37.8 px
    EXPECT_EQ(s.PixelAt(37, 37), kRed);
    EXPECT_EQ(s.PixelAt(38, 5), 0u);

    OffscreenSurface hi(200, 200, 192);
    hi.GetGraphics().FillRectangle(kRed, {0, 0, 10, 10}); // 75.6 px
    EXPECT_EQ(hi.PixelAt(75, 75), kRed);
    EXPECT_EQ(hi.PixelAt(76, 5), 0u);
}

TEST(GraphicsUnits, TranslationMovesLaterDrawing) {
    OffscreenSurface s(100, 100, 96);
    s.GetGraphics().TranslateTransform(10, 5);
    s.GetGraphics().FillRectangle(kRed, {0, 0, 2, 2});
    EXPECT_EQ(s.PixelAt(1, 1), 0u);
    EXPECT_EQ(s.PixelAt(39, 20), kRed); // 10 mm + a bit, 5 mm + a bit
}

TEST(GraphicsClip, IntersectNarrowsAndReplaceWidensAgain) {
    OffscreenSurface s(100, 100, 96);
    Graphics& g = s.GetGraphics();
    g.SetClip({0, 0, 10, 10});
    g.SetClip({5, 5, 10, 10}, CombineMode::Intersect);
    g.FillRectangle(kRed, {0, 0, 20, 20});
    EXPECT_EQ(s.PixelAt(10, 10), 0u);   // outside the second rectangle
    EXPECT_EQ(s.PixelAt(25, 25), kRed); // inside both
    EXPECT_EQ(s.PixelAt(45, 45), 0u);   // outside the first

    g.SetClip({15, 15, 5, 5}); // replaces: outside the earlier clip
    g.FillRectangle(kBlue, {0, 0, 25, 25});
    EXPECT_EQ(s.PixelAt(65, 65), kBlue);
    EXPECT_EQ(s.PixelAt(25, 25), kRed);
}

TEST(GraphicsState, RestoreBringsBackClipAndTransformOfTheSavedState) {
    OffscreenSurface s(100, 100, 96);
    Graphics& g = s.GetGraphics();
    const int outer = g.Save();
    g.TranslateTransform(10, 0);
    g.Save();
    g.SetClip({0, 0, 1, 1});
    g.Restore(outer); // drops both saved states
    g.FillRectangle(kRed, {0, 0, 5, 5});
    EXPECT_EQ(s.PixelAt(2, 2), kRed);
    EXPECT_EQ(s.PixelAt(15, 15), kRed);
}

TEST(GraphicsLines, AHairlinePenStillDrawsOneDevicePixel) {
    OffscreenSurface s(100, 100, 96);
    const Pen pen(0xFFCCCCCC, 0.1);
    const std::array<PointF, 2> line{PointF{0, 10}, PointF{20, 10}}; // y = 37.8 px
    s.GetGraphics().DrawLines(pen, line);
    int grey = 0;
    for (int y = 35; y < 41; ++y) {
        grey += s.PixelAt(10, y) == 0xFFCCCCCC;
    }
    EXPECT_EQ(grey, 1);
}

TEST(GraphicsLines, WidePenCoversItsWidthAndColorlessPenDrawsNothing) {
    OffscreenSurface s(100, 100, 96);
    const std::array<PointF, 3> line{PointF{0, 10}, PointF{20, 10}, PointF{20, 0}};
    s.GetGraphics().DrawLines(Pen(kBlue, 2.0), line); // 7.6 px thick
    EXPECT_EQ(s.PixelAt(10, 36), kBlue);
    EXPECT_EQ(s.PixelAt(10, 40), kBlue);
    EXPECT_EQ(s.PixelAt(75, 10), kBlue); // second segment
    EXPECT_EQ(s.PixelAt(10, 20), 0u);

    OffscreenSurface t(50, 50, 96);
    t.GetGraphics().DrawLines(Pen(0x00FFFFFF, 2.0), line);
    EXPECT_EQ(t.PixelAt(10, 38), 0u);
}

TEST(GraphicsTranslucent, AGroupIsComposedAtTheGivenOpacity) {
    OffscreenSurface s(50, 50, 96);
    Graphics& g = s.GetGraphics();
    g.FillRectangle(0xFFFFFFFF, {0, 0, 20, 20});
    g.BeginTranslucent();
    g.FillRectangle(0xFF000000, {0, 0, 5, 5});
    g.FillRectangle(0xFF000000, {2, 2, 5, 5}); // overlap does not darken twice
    g.EndTranslucent(0.5);
    const Color c = s.PixelAt(10, 10);
    EXPECT_EQ(AlphaOf(c), 255u);
    EXPECT_NEAR(RedOf(c), 128, 2);
    EXPECT_NEAR(RedOf(s.PixelAt(2, 2)), 128, 2);
    EXPECT_EQ(s.PixelAt(40, 40), 0xFFFFFFFFu);
}
