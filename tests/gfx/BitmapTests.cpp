// Decoding pictures (still and animated) and drawing them stretched or from a source rectangle.
#include "gfx/Bitmap.h"
#include "gfx/Graphics.h"
#include "gfx/NamedImages.h"
#include "gfx/OffscreenSurface.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

using namespace gfx;

namespace {

// Three 4 x 4 frames, red, green and blue, shown for 5, 1 and 5 hundredths of a second.
const unsigned char kThreeFrames[] = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x04, 0x00, 0x04, 0x00, 0xf0, 0x00, 0x00, 0xff, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x21, 0xf9, 0x04, 0x00, 0x05, 0x00, 0x00, 0x00, 0x21, 0xff, 0x0b, 0x4e, 0x45,
    0x54, 0x53, 0x43, 0x41, 0x50, 0x45, 0x32, 0x2e, 0x30, 0x03, 0x01, 0x00, 0x00, 0x00, 0x2c, 0x00,
    0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x00, 0x02, 0x04, 0x84, 0x8f, 0x09, 0x05, 0x00, 0x21,
    0xf9, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00,
    0x80, 0x00, 0xff, 0x00, 0x00, 0x00, 0x00, 0x02, 0x04, 0x84, 0x8f, 0x09, 0x05, 0x00, 0x21, 0xf9,
    0x04, 0x00, 0x05, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x80,
    0x00, 0x00, 0xff, 0x00, 0x00, 0x00, 0x02, 0x04, 0x84, 0x8f, 0x09, 0x05, 0x00, 0x3b};

std::vector<unsigned char> PngBytes(OffscreenSurface& s) {
    std::vector<unsigned char> bytes;
    cairo_surface_write_to_png_stream(
        s.Surface(),
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* out = static_cast<std::vector<unsigned char>*>(closure);
            out->insert(out->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    return bytes;
}

// 2 x 2 pixels: red, green / blue, half-transparent white.
std::unique_ptr<Bitmap> Quad() {
    OffscreenSurface s(2, 2, 25.4); // one pixel per millimetre
    s.GetGraphics().FillRectangle(0xFFFF0000, {0, 0, 1, 1});
    s.GetGraphics().FillRectangle(0xFF00FF00, {1, 0, 1, 1});
    s.GetGraphics().FillRectangle(0xFF0000FF, {0, 1, 1, 1});
    s.GetGraphics().FillRectangle(0x80FFFFFF, {1, 1, 1, 1});
    return Bitmap::FromBytes(PngBytes(s));
}

} // namespace

TEST(BitmapDecoding, StillPngKeepsSizeAndStraightColours) {
    const auto quad = Quad();
    ASSERT_TRUE(quad);
    EXPECT_EQ(quad->Width(), 2);
    EXPECT_EQ(quad->Height(), 2);
    EXPECT_EQ(quad->FrameCount(), 1u);
    EXPECT_TRUE(quad->FrameDelays().empty());
    OffscreenSurface s(2, 2, 25.4);
    s.GetGraphics().DrawImage(*quad, {0, 0, 2, 2});
    EXPECT_EQ(s.PixelAt(0, 0), 0xFFFF0000u);
    EXPECT_EQ(s.PixelAt(0, 1), 0xFF0000FFu);
    EXPECT_NEAR(AlphaOf(s.PixelAt(1, 1)), 128, 1);
}

TEST(BitmapDecoding, AnimatedGifHasEveryFrameAndItsDelayInMilliseconds) {
    const auto gif = Bitmap::FromBytes(kThreeFrames);
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->Width(), 4);
    ASSERT_EQ(gif->FrameCount(), 3u);
    EXPECT_EQ(gif->FrameDelays(), (std::vector<unsigned>{50, 10, 50}));
    const Color expected[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (unsigned i = 0; i < 3; ++i) {
        gif->SelectActiveFrame(i);
        OffscreenSurface s(4, 4, 25.4);
        s.GetGraphics().DrawImage(*gif, {0, 0, 4, 4});
        EXPECT_EQ(s.PixelAt(1, 1), expected[i]) << "frame " << i;
    }
    gif->SelectActiveFrame(7);
    EXPECT_EQ(gif->ActiveFrame(), 2u);
}

TEST(BitmapDecoding, GarbageTruncatedAndOversizedInputGivesNone) {
    const unsigned char junk[] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_FALSE(Bitmap::FromBytes(junk));
    EXPECT_FALSE(Bitmap::FromBytes({}));
    // A PNG header that announces 100000 x 100000 pixels.
    OffscreenSurface s(1, 1, 96);
    std::vector<unsigned char> png = PngBytes(s);
    png[16] = 0x00, png[17] = 0x01, png[18] = 0x86, png[19] = 0xA0;
    png[20] = 0x00, png[21] = 0x01, png[22] = 0x86, png[23] = 0xA0;
    EXPECT_FALSE(Bitmap::FromBytes(png));
    // Half a GIF still decodes what is there or nothing, but never crashes.
    const auto half = Bitmap::FromBytes(std::span(kThreeFrames, sizeof(kThreeFrames) / 2));
    if (half) {
        EXPECT_GE(half->FrameCount(), 1u);
    }
    EXPECT_FALSE(Bitmap::FromFile("/dev/zero"));
    EXPECT_FALSE(Bitmap::FromFile("/no/such/file.png"));
}

TEST(BitmapDecoding, GifBlockWalkerCountsFramesAndStopsAtDamage) {
    EXPECT_EQ(ReadGifFrameDelays(kThreeFrames), (std::vector<unsigned>{5, 1, 5}));
    EXPECT_TRUE(ReadGifFrameDelays(std::span(kThreeFrames, 12)).empty());
    std::vector<unsigned char> damaged(std::begin(kThreeFrames), std::end(kThreeFrames));
    damaged[46] = 0x99; // the first image descriptor becomes an unknown block
    EXPECT_TRUE(ReadGifFrameDelays(damaged).empty());
}

TEST(ImageDrawing, StretchedIntoTheRectangleAndFromASourceRectangle) {
    const auto quad = Quad();
    ASSERT_TRUE(quad);
    OffscreenSurface s(100, 100, 96);
    s.GetGraphics().DrawImage(*quad, {5, 5, 20, 20}); // 18.9 .. 94.5 px
    EXPECT_EQ(s.PixelAt(10, 10), 0u);
    EXPECT_EQ(s.PixelAt(25, 25), 0xFFFF0000u);
    EXPECT_EQ(s.PixelAt(85, 25), 0xFF00FF00u);
    EXPECT_EQ(s.PixelAt(25, 85), 0xFF0000FFu);
    EXPECT_EQ(s.PixelAt(97, 97), 0u);

    OffscreenSurface t(40, 40, 96);
    t.GetGraphics().DrawImage(*quad, {0, 0, 10, 10}, {1, 0, 1, 1}); // the green pixel only
    EXPECT_EQ(t.PixelAt(2, 2), 0xFF00FF00u);
    EXPECT_EQ(t.PixelAt(35, 35), 0xFF00FF00u);
}

TEST(NamedImages, TheProgramCarriesItsThirteenPicturesAtTheirScreenSizes) {
    struct Expected {
        const char* name;
        int width;
        int height;
    };
    const Expected all[] = {
        {"PNG_ADD", 48, 48},        {"PNG_ADDLINE", 48, 48},    {"PNG_ALERT", 64, 64},
        {"PNG_BTNTEXHOV", 118, 36}, {"PNG_BTNTEXNOR", 118, 36}, {"PNG_BTNTEXPRE", 118, 36},
        {"PNG_DELLINE", 48, 48},    {"PNG_DROPDOWN", 16, 16},   {"PNG_OK", 48, 48},
        {"PNG_PRINT60", 60, 60},    {"PNG_PROGRESS", 64, 64},   {"PNG_SAVE", 60, 60},
        {"PNG_SUCCESS", 64, 64}};
    for (const Expected& e : all) {
        const auto image = LoadNamedImage(e.name);
        ASSERT_TRUE(image) << e.name;
        EXPECT_EQ(image->Width(), e.width) << e.name;
        EXPECT_EQ(image->Height(), e.height) << e.name;
    }
    EXPECT_TRUE(LoadNamedImage("png_ok")); // resource names ignore case
    EXPECT_FALSE(LoadNamedImage("PNG_NONE"));
    EXPECT_FALSE(LoadNamedImage("PNG_OK.png"));
}

TEST(NamedImages, TheBusyIndicatorTurnsOnceInTwelveFrames) {
    const auto busy = LoadNamedImage("PNG_PROGRESS");
    ASSERT_TRUE(busy);
    ASSERT_EQ(busy->FrameCount(), 12u);
    EXPECT_EQ(busy->FrameDelays(), std::vector<unsigned>(12, 80));
    // The blue arc starts at the top and has moved on a quarter turn three frames later.
    auto blueAt = [&](unsigned frame, int x, int y) {
        busy->SelectActiveFrame(frame);
        OffscreenSurface s(64, 64, 25.4);
        s.GetGraphics().DrawImage(*busy, {0, 0, 64, 64});
        const Color c = s.PixelAt(x, y);
        return BlueOf(c) > 180 && RedOf(c) < 120;
    };
    EXPECT_TRUE(blueAt(0, 40, 18));
    EXPECT_FALSE(blueAt(0, 46, 40));
    EXPECT_TRUE(blueAt(3, 46, 40));
}
