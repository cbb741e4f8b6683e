#include "richtext/TextEngine.h"

#include "RecordingHost.h"

#include "gfx/OffscreenSurface.h"

#include <gtest/gtest.h>

namespace richtext {
namespace {

using namespace platform;
using testing::RecordingHost;

constexpr double kDpi = 96.0;

int Px(double mm) {
    return static_cast<int>(mm / 25.4 * kDpi);
}

// Pixels that are not fully transparent inside and outside a millimetre rectangle.
struct Ink {
    int inside = 0;
    int outside = 0;
};

Ink CountInk(const gfx::OffscreenSurface& surface, const gfx::RectF& rect) {
    Ink ink;
    for (int y = 0; y < surface.Height(); ++y) {
        for (int x = 0; x < surface.Width(); ++x) {
            if (((surface.PixelAt(x, y) >> 24) & 0xFF) == 0) {
                continue;
            }
            const bool in = x >= Px(rect.x) && x <= Px(rect.Right()) && y >= Px(rect.y) &&
                            y <= Px(rect.Bottom());
            (in ? ink.inside : ink.outside)++;
        }
    }
    return ink;
}

// Opaque pixels of exactly one colour.
int CountColour(const gfx::OffscreenSurface& surface, std::uint32_t rgb) {
    int n = 0;
    for (int y = 0; y < surface.Height(); ++y) {
        for (int x = 0; x < surface.Width(); ++x) {
            const auto c = surface.PixelAt(x, y);
            n += ((c >> 24) & 0xFF) == 0xFF && (c & 0xFFFFFF) == rgb;
        }
    }
    return n;
}

TEST(Drawing, GlyphsLandInsideTheRectangleAndNowhereElse) {
    RecordingHost host;
    host.bits = TXTBIT_RICHTEXT; // single line, no wrap: the text runs past the right edge
    auto text = CreateTextServices(host);
    text->TxSetText("这一行文字比矩形宽得多 and it keeps going well past the right edge");
    gfx::OffscreenSurface surface(400, 200, kDpi);
    const gfx::RectF rect{20, 15, 40, 8};
    text->TxDraw(surface.GetGraphics(), rect, nullptr);
    const Ink ink = CountInk(surface, rect);
    EXPECT_GT(ink.inside, 100);
    EXPECT_EQ(ink.outside, 0);

    // An update area limits drawing further.
    gfx::OffscreenSurface part(400, 200, kDpi);
    const gfx::RectF update{20, 15, 10, 8};
    text->TxDraw(part.GetGraphics(), rect, &update);
    const Ink partial = CountInk(part, update);
    EXPECT_GT(partial.inside, 20);
    EXPECT_EQ(partial.outside, 0);
}

TEST(Drawing, TextTakesItsColourAndAutomaticColourFollowsTheHost) {
    RecordingHost host;
    host.format.color = 0x0000FF;
    auto text = CreateTextServices(host);
    text->StreamInRtf("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}\\fs48 "
                      "\\cf1 WWWW\\cf0 WWWW}",
                      false);
    gfx::OffscreenSurface surface(400, 100, kDpi);
    text->TxDraw(surface.GetGraphics(), {0, 0, 100, 20}, nullptr);
    const int red = CountColour(surface, 0xFF0000);
    const int blue = CountColour(surface, 0x0000FF);
    EXPECT_GT(red, 50);
    EXPECT_GT(blue, 50);
}

TEST(Drawing, NaturalHeightGrowsWithWrappedLines) {
    RecordingHost host;
    auto text = CreateTextServices(host);
    const int empty = text->TxGetNaturalHeight(300, kDpi);
    EXPECT_GT(empty, 10); // an empty line still has the height of its font
    text->TxSetText("word");
    const int one = text->TxGetNaturalHeight(300, kDpi);
    EXPECT_EQ(one, empty);
    std::string longText;
    for (int i = 0; i < 40; ++i) {
        longText += "wrapping words ";
    }
    text->TxSetText(longText);
    const int wide = text->TxGetNaturalHeight(300, kDpi);
    const int narrow = text->TxGetNaturalHeight(100, kDpi);
    EXPECT_GT(wide, 3 * one);
    EXPECT_GT(narrow, 2 * wide);
    // At twice the resolution the same text needs twice the pixels.
    EXPECT_NEAR(text->TxGetNaturalHeight(200, 2 * kDpi), narrow * 2, 2);
    // Paragraph breaks add lines too.
    text->TxSetText("a\nb\nc");
    EXPECT_GE(text->TxGetNaturalHeight(300, kDpi), 3 * one - 2);
}

TEST(Drawing, AnEditLaysOutOnlyTheParagraphItTouched) {
    RecordingHost host;
    auto text = CreateTextServices(host);
    std::string many;
    for (int i = 0; i < 50; ++i) {
        many += "paragraph " + std::to_string(i) + "\n";
    }
    text->TxSetText(many);
    text->OnTxInPlaceActivate();
    text->TxSendMessage(WM_SETFOCUS, 0, 0, nullptr);
    gfx::OffscreenSurface surface(400, 200, kDpi);
    text->TxDraw(surface.GetGraphics(), {0, 0, 100, 50}, nullptr);
    const auto before = text->LayoutBuildCount();
    text->SetSelection(30, 30);
    text->TxSendMessage(WM_CHAR, 'x', 0, nullptr);
    text->TxDraw(surface.GetGraphics(), {0, 0, 100, 50}, nullptr);
    EXPECT_EQ(text->LayoutBuildCount() - before, 1u);
    // Enter replaces one paragraph by two.
    text->TxSendMessage(WM_KEYDOWN, VK_RETURN, 0, nullptr);
    EXPECT_EQ(text->LayoutBuildCount() - before, 3u);
}

TEST(Drawing, TypingInvalidatesOnlyTheLinesItLaidOutAgain) {
    RecordingHost host;
    host.rect = {0, 0, 300, 2000};
    auto text = CreateTextServices(host);
    std::string longText;
    for (int i = 0; i < 60; ++i) {
        longText += "many words in a long paragraph ";
    }
    text->TxSetText(longText);
    text->OnTxInPlaceActivate();
    text->TxSendMessage(WM_SETFOCUS, 0, 0, nullptr);
    text->SetSelection(900, 900);
    const int height = text->TxGetNaturalHeight(300, kDpi);
    text->TxSendMessage(WM_CHAR, 'x', 0, nullptr);
    ASSERT_EQ(text->TxGetNaturalHeight(300, kDpi), height); // no line added
    text->TxSendMessage(WM_CHAR, 'y', 0, nullptr);
    EXPECT_GT(host.lastInvalid.y, 50);
    EXPECT_LT(host.lastInvalid.Bottom(), height);
    EXPECT_LE(host.lastInvalid.y, host.caretY);
    EXPECT_GE(host.lastInvalid.Bottom(), host.caretY + host.caretHeight);
    // The band drawn alone looks exactly as that band of a full redraw.
    gfx::OffscreenSurface whole(300, 600, kDpi);
    gfx::OffscreenSurface band(300, 600, kDpi);
    const gfx::RectF bounds{0, 0, 300 * 25.4 / kDpi, 2000 * 25.4 / kDpi};
    const gfx::RectF dirty{0, host.lastInvalid.y * 25.4 / kDpi, bounds.width,
                           host.lastInvalid.height * 25.4 / kDpi};
    text->TxDraw(whole.GetGraphics(), bounds, nullptr);
    text->TxDraw(band.GetGraphics(), bounds, &dirty);
    for (int y = host.lastInvalid.y + 1; y < host.lastInvalid.Bottom() - 1 && y < 600; ++y) {
        for (int x = 0; x < 300; ++x) {
            ASSERT_EQ(whole.PixelAt(x, y), band.PixelAt(x, y)) << x << "," << y;
        }
    }
}

TEST(Drawing, PasswordModeDrawsAStarPerCharacter) {
    RecordingHost plain;
    plain.bits = TXTBIT_RICHTEXT;
    RecordingHost hidden;
    hidden.bits = TXTBIT_RICHTEXT | TXTBIT_USEPASSWORD;
    auto a = CreateTextServices(plain);
    auto b = CreateTextServices(hidden);
    auto stars = CreateTextServices(plain);
    a->TxSetText("iiii");
    b->TxSetText("iiii");
    stars->TxSetText("****");
    const auto render = [](ITextServices& t) {
        gfx::OffscreenSurface s(200, 40, kDpi);
        t.TxDraw(s.GetGraphics(), {0, 0, 50, 10}, nullptr);
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 200; ++x) {
                pixels.push_back(s.PixelAt(x, y));
            }
        }
        return pixels;
    };
    EXPECT_EQ(render(*b), render(*stars));
    EXPECT_NE(render(*b), render(*a));
    EXPECT_EQ(b->TxGetText(), "iiii");
}

TEST(Drawing, HighlightedTextHasItsBackgroundAndTheSelectionStaysVisible) {
    RecordingHost host;
    auto text = CreateTextServices(host);
    text->StreamInRtf("{\\rtf1{\\colortbl;\\red255\\green255\\blue0;}\\fs40 "
                      "{\\highlight1 marked}plain}",
                      false);
    gfx::OffscreenSurface surface(400, 60, kDpi);
    text->TxDraw(surface.GetGraphics(), {0, 0, 100, 15}, nullptr);
    const int yellow = CountColour(surface, 0xFFFF00);
    EXPECT_GT(yellow, 300);
    // Only behind the marked word: the plain word after it has none.
    int yellowRight = -1;
    int inkRight = -1;
    for (int y = 0; y < surface.Height(); ++y) {
        for (int x = 0; x < surface.Width(); ++x) {
            const auto c = surface.PixelAt(x, y);
            if (((c >> 24) & 0xFF) != 0) {
                inkRight = std::max(inkRight, x);
            }
            if ((c & 0xFFFFFF) == 0xFFFF00) {
                yellowRight = std::max(yellowRight, x);
            }
        }
    }
    EXPECT_LT(yellowRight, inkRight - 30);

    text->TxSendMessage(WM_SETFOCUS, 0, 0, nullptr);
    text->SetSelection(0, -1);
    gfx::OffscreenSurface selected(400, 60, kDpi);
    text->TxDraw(selected.GetGraphics(), {0, 0, 100, 15}, nullptr);
    EXPECT_LT(CountColour(selected, 0xFFFF00), yellow / 10);
}

// The rightmost inked column of the first line of a wrapped paragraph, in pixels.
int FirstLineRightEdge(const char* rtf) {
    RecordingHost host;
    host.bits = TXTBIT_RICHTEXT | TXTBIT_MULTILINE | TXTBIT_WORDWRAP;
    host.rect = {0, 0, Px(60), 200}; // lines wrap at the client width
    auto text = CreateTextServices(host);
    text->StreamInRtf(rtf, false);
    gfx::OffscreenSurface surface(400, 200, kDpi);
    text->TxDraw(surface.GetGraphics(), {0, 0, 60, 50}, nullptr);
    int right = -1;
    for (int y = 0; y < Px(5); ++y) {
        for (int x = 0; x < 400; ++x) {
            if (((surface.PixelAt(x, y) >> 24) & 0xFF) != 0) {
                right = std::max(right, x);
            }
        }
    }
    return right;
}

TEST(Drawing, JustifiedLinesReachTheRightEdge) {
    // The long word does not fit on the first line, which leaves it well short of the edge.
    const char* const words = "one two three four incomprehensibilities and more words after it";
    const int left = FirstLineRightEdge((std::string("{\\rtf1\\ql ") + words + "}").c_str());
    const int justified = FirstLineRightEdge((std::string("{\\rtf1\\qj ") + words + "}").c_str());
    EXPECT_GE(justified, Px(60) - 3);
    EXPECT_LT(left, justified - Px(5));
}

} // namespace
} // namespace richtext
