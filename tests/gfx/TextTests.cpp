// Text through pango in millimetres: alignment in the layout rectangle, wrapping, the program's
// font aliases and CJK glyph coverage.
#include "gfx/Font.h"
#include "gfx/Graphics.h"
#include "gfx/OffscreenSurface.h"
#include "gfx/SolidBrush.h"
#include "gfx/StringFormat.h"
#include "gfx/TextContext.h"

#include <gtest/gtest.h>

#include <pango/pangofc-font.h>

#include <string>

using namespace gfx;

namespace {

struct Ink {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool Any() const { return right >= 0; }
};

// The bounding box of pixels that are not fully transparent.
Ink InkOf(const OffscreenSurface& s) {
    Ink ink;
    for (int y = 0; y < s.Height(); ++y) {
        for (int x = 0; x < s.Width(); ++x) {
            if (AlphaOf(s.PixelAt(x, y)) > 0) {
                ink.left = std::min(ink.left, x);
                ink.top = std::min(ink.top, y);
                ink.right = std::max(ink.right, x);
                ink.bottom = std::max(ink.bottom, y);
            }
        }
    }
    return ink;
}

Ink DrawAligned(StringAlignment along, StringAlignment across) {
    OffscreenSurface s(300, 120, 96); // 79 x 31.7 mm
    StringFormat format;
    format.SetAlignment(along);
    format.SetLineAlignment(across);
    s.GetGraphics().DrawString("Plan", Font("DejaVu Sans", 4.0), {10, 5, 50, 20}, format,
                               SolidBrush(0xFF000000));
    return InkOf(s);
}

std::string ResolvedFamily(const char* family) {
    Font font(family, 4.0);
    PangoFont* loaded = pango_context_load_font(TextContext(), font.Description());
    EXPECT_NE(loaded, nullptr);
    if (!loaded) {
        return {};
    }
    PangoFontDescription* d = pango_font_describe(loaded);
    std::string name = pango_font_description_get_family(d);
    pango_font_description_free(d);
    g_object_unref(loaded);
    return name;
}

} // namespace

TEST(TextAlignment, NearCenterFarPlaceTextAlongAndAcrossTheRectangle) {
    // The rectangle spans x 37.8..226.8 px and y 18.9..94.5 px.
    const Ink nearTop = DrawAligned(StringAlignment::Near, StringAlignment::Near);
    const Ink center = DrawAligned(StringAlignment::Center, StringAlignment::Center);
    const Ink farBottom = DrawAligned(StringAlignment::Far, StringAlignment::Far);
    ASSERT_TRUE(nearTop.Any() && center.Any() && farBottom.Any());

    EXPECT_GE(nearTop.left, 37);
    EXPECT_LT(nearTop.left, 45);
    EXPECT_GE(nearTop.top, 18);
    EXPECT_LT(nearTop.top, 30);

    EXPECT_NEAR((center.left + center.right) / 2.0, 132, 3);
    EXPECT_NEAR((center.top + center.bottom) / 2.0, 56, 4);

    EXPECT_LE(farBottom.right, 227);
    EXPECT_GT(farBottom.right, 218);
    EXPECT_LE(farBottom.bottom, 95);
    EXPECT_GT(farBottom.bottom, 85);
}

TEST(TextWrapping, LongTextWrapsInsideTheWidthAndIsClippedToTheRectangle) {
    const Font font("DejaVu Sans", 4.0);
    OffscreenSurface s(300, 300, 96);
    const std::string text = "a lesson plan is prepared one cell at a time by the teacher";
    const SizeF wrapped = s.GetGraphics().MeasureString(text, font, {0, 0, 30, 0}, StringFormat());
    const SizeF oneLine = s.GetGraphics().MeasureString(text, font, {0, 0, 0, 0}, StringFormat());
    EXPECT_LE(wrapped.width, 30.0);
    EXPECT_GT(wrapped.height, 3 * oneLine.height);

    StringFormat noWrap(StringFormat::kNoWrap);
    const SizeF unwrapped = s.GetGraphics().MeasureString(text, font, {0, 0, 30, 0}, noWrap);
    EXPECT_DOUBLE_EQ(unwrapped.height, oneLine.height);

    s.GetGraphics().DrawString(text, font, {10, 10, 30, 10}, StringFormat(),
                               SolidBrush(0xFF000000));
    const Ink ink = InkOf(s);
    EXPECT_GE(ink.left, 37);
    EXPECT_LE(ink.right, 151);
    EXPECT_LE(ink.bottom, 76);
}

TEST(TextWrapping, ChineseTextBreaksBetweenCharacters) {
    const Font font("宋体", 4.0);
    OffscreenSurface s(10, 10, 96);
    const SizeF one = s.GetGraphics().MeasureString("教案", font, {0, 0, 0, 0}, StringFormat());
    const SizeF wrapped = s.GetGraphics().MeasureString("教学过程中教师引导学生观察思考并总结规律",
                                                        font, {0, 0, 20, 0}, StringFormat());
    EXPECT_LE(wrapped.width, 20.0);
    EXPECT_GE(wrapped.height, 3.5 * one.height);
}

TEST(TextFonts, WindowsFamilyNamesResolveToInstalledCjkFamilies) {
    EXPECT_EQ(ResolvedFamily("微软雅黑"), "Noto Sans CJK SC");
    EXPECT_EQ(ResolvedFamily("宋体"), "Noto Serif CJK SC");
    // An unknown family is whatever the generic sans-serif family is.
    EXPECT_EQ(ResolvedFamily("No Such Family 12345"), ResolvedFamily("sans-serif"));
}

TEST(TextFonts, ChineseIsDrawnWithRealGlyphsNotBoxes) {
    const Font font("微软雅黑", 5.0);
    auto layout = CreateTextLayout();
    font.ApplyTo(layout.get());
    const std::string text = "保存成功一年级语文";
    SetLayoutText(layout.get(), text.data(), text.size());
    EXPECT_EQ(pango_layout_get_unknown_glyphs_count(layout.get()), 0);

    OffscreenSurface s(200, 60, 96);
    s.GetGraphics().DrawString(text, font, {0, 0, 52, 15}, StringFormat(), SolidBrush(0xFF000000));
    EXPECT_TRUE(InkOf(s).Any());
}

TEST(TextFonts, SizesAreAbsoluteMillimetres) {
    // Noto Sans CJK's line height is about 1.45 em.
    OffscreenSurface s(10, 10, 96);
    const SizeF a = s.GetGraphics().MeasureString("汉", Font("微软雅黑", 4.0), {}, StringFormat());
    const SizeF b = s.GetGraphics().MeasureString("汉", Font("微软雅黑", 8.0), {}, StringFormat());
    EXPECT_NEAR(a.width, 4.0, 0.05);
    EXPECT_NEAR(b.height / a.height, 2.0, 0.01);
}

TEST(TextInput, InvalidUtf8AndUnusableFontsAreHarmless) {
    OffscreenSurface s(100, 40, 96);
    const std::string bad = std::string("ab\xff\xfe", 4) + std::string(1, '\0') + "c";
    s.GetGraphics().DrawString(bad, Font("DejaVu Sans", 4.0), {0, 0, 20, 10}, StringFormat(),
                               SolidBrush(0xFF000000));
    EXPECT_TRUE(InkOf(s).Any());
    OffscreenSurface t(100, 40, 96);
    t.GetGraphics().DrawString("x", Font("DejaVu Sans", -3.0), {0, 0, 20, 10}, StringFormat(),
                               SolidBrush(0xFF000000));
    EXPECT_FALSE(InkOf(t).Any());
}
