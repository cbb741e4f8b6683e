// The style value grammar: colours, font specs, pens, paddings, sizes, cursors and images.
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 with sanitizers warns about std::function inside <regex>; the warning is a false one.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include "gfx/OffscreenSurface.h"
#include "view/StyleValues.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <regex>
#include <vector>

using namespace Plenvo;

TEST(ColorText, ArgbAndRgbFormsAnyCaseWithLowBytesOnly) {
    EXPECT_EQ(ParseColor("rgb(10,20,30)"), 0xFF0A141Eu);
    EXPECT_EQ(ParseColor("ARGB(0,1,2,3)"), 0x00010203u);
    EXPECT_EQ(ParseColor("argb(255,256,0,0)"), 0xFF000000u);
    EXPECT_EQ(ParseColor("argb(511,0,0,1)"), 0xFF000001u);
    // Found anywhere in a longer text, the first match winning.
    EXPECT_EQ(ParseColor("frame argb(255,204,204,204),w:0.1"), 0xFFCCCCCCu);
    // A three-number argb is not argb, but it contains an rgb text.
    EXPECT_EQ(ParseColor("argb(1,2,3)"), 0xFF010203u);
}

TEST(ColorText, MalformedOrEmptyTextFallsBack) {
    EXPECT_EQ(ParseColor("", 0x00FFFFFF), 0x00FFFFFFu);
    EXPECT_EQ(ParseColor("", 0xFF123456), 0xFF123456u);
    EXPECT_EQ(ParseColor("red", 0xFF123456), 0x00FFFFFFu);
    EXPECT_EQ(ParseColor("rgb(1, 2,3)"), 0x00FFFFFFu); // no blanks allowed
    EXPECT_EQ(ParseColor("rgb(-1,2,3)"), 0x00FFFFFFu);
    EXPECT_EQ(ParseColor("rgb(1,2,3"), 0x00FFFFFFu);
}

TEST(FontSpec, DefaultsAndAlignmentsOfASpecWithoutFamily) {
    const FontSet set = ParseFont("size:4.2;line-align-center;string-align-center;"
                                  "color:argb(255,255,255,255)");
    EXPECT_EQ(set.font->GetFamily(), "宋体");
    EXPECT_DOUBLE_EQ(set.font->GetSize(), 4.2);
    EXPECT_EQ(set.font->GetStyle(), gfx::FontStyleRegular);
    EXPECT_EQ(set.format->GetAlignment(), gfx::StringAlignment::Center);
    EXPECT_EQ(set.format->GetLineAlignment(), gfx::StringAlignment::Center);
    EXPECT_EQ(set.brush->GetColor(), 0xFFFFFFFFu);
}

TEST(FontSpec, StyleWordsWithoutColourGiveAnInvisibleBrush) {
    const FontSet set = ParseFont("family:微软雅黑;bold;italic;underline");
    EXPECT_EQ(set.font->GetFamily(), "微软雅黑");
    EXPECT_EQ(set.font->GetStyle(), 7);
    EXPECT_DOUBLE_EQ(set.font->GetSize(), 6.0);
    EXPECT_EQ(set.brush->GetColor(), 0x00FFFFFFu);
    EXPECT_EQ(set.format->GetAlignment(), gfx::StringAlignment::Near);
    EXPECT_EQ(set.format->GetLineAlignment(), gfx::StringAlignment::Near);
}

TEST(FontSpec, PatternDetails) {
    // Style words are plain case-sensitive substrings, wherever they stand.
    EXPECT_EQ(ParseFont("family:mybold face").font->GetStyle(), gfx::FontStyleBold);
    EXPECT_EQ(ParseFont("BOLD;strikeout").font->GetStyle(), gfx::FontStyleStrikeout);
    // Keys are case-insensitive; the size's wildcard takes one character, then digits.
    EXPECT_DOUBLE_EQ(ParseFont("SIZE:12px").font->GetSize(), 12.0);
    EXPECT_DOUBLE_EQ(ParseFont("size:3.7e5").font->GetSize(), 3.7);
    EXPECT_DOUBLE_EQ(ParseFont("size:x;size:5").font->GetSize(), 5.0);
    // A family needs at least one character before ';'.
    EXPECT_EQ(ParseFont("family:;size:3").font->GetFamily(), "宋体");
    EXPECT_EQ(ParseFont("Family:Noto Sans;x").font->GetFamily(), "Noto Sans");
    // Line alignment: center, then top, then bottom; there is no far along the line.
    EXPECT_EQ(ParseFont("line-align-bottom;line-align-top").format->GetLineAlignment(),
              gfx::StringAlignment::Near);
    EXPECT_EQ(ParseFont("line-align-bottom").format->GetLineAlignment(), gfx::StringAlignment::Far);
    EXPECT_EQ(ParseFont("string-align-far").format->GetAlignment(), gfx::StringAlignment::Near);
    EXPECT_EQ(ParseFont("color:rgb(1,2,3)").brush->GetColor(), 0xFF010203u);
}

TEST(PenSpec, ColourDecidesWhetherThereIsALine) {
    const auto grey = ParsePen("argb(255,204,204,204),w:0.1");
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->GetColor(), 0xFFCCCCCCu);
    EXPECT_DOUBLE_EQ(grey->GetWidth(), 0.1);
    EXPECT_FALSE(ParsePen("w:0.1"));
    EXPECT_FALSE(ParsePen(""));
    EXPECT_FALSE(ParsePen("argb(0,255,255,255),w:2")); // the no-colour value itself
    const auto black = ParsePen("rgb(0,0,0)");
    ASSERT_TRUE(black);
    EXPECT_DOUBLE_EQ(black->GetWidth(), 1.0);
    EXPECT_DOUBLE_EQ(ParsePen("rgb(0,0,0),W:3")->GetWidth(), 1.0); // case-sensitive key
    EXPECT_DOUBLE_EQ(ParsePen("rgb(0,0,0),w:2x5")->GetWidth(), 2.0);
}

TEST(PaddingText, FourNumbersTopRightBottomLeft) {
    EXPECT_EQ(ParsePadding("5,5,5,5"), (Padding{5, 5, 5, 5}));
    EXPECT_EQ(ParsePadding("3.5,0,3.5,7"), (Padding{7, 3.5, 0, 3.5}));
    EXPECT_EQ(ParsePadding("1,2"), Padding{});
    EXPECT_EQ(ParsePadding("-1,2,3,-4.5"), (Padding{-4.5, -1, 2, 3}));
    EXPECT_EQ(ParsePadding("pad 1,2,3,4 more"), (Padding{4, 1, 2, 3}));
    EXPECT_EQ(ParsePadding(""), Padding{});
}

namespace {

// The reference: the patterns as written, through the standard library's engine (short texts
// only, where its recursion is safe).
Padding RegexPadding(const std::string& text) {
    static const std::regex re(R"((-?\d+.?\d*),(-?\d+.?\d*),(-?\d+.?\d*),(-?\d+.?\d*))",
                               std::regex::icase);
    std::smatch m;
    if (!std::regex_search(text, m, re)) {
        return {};
    }
    return {std::atof(m[4].str().c_str()), std::atof(m[1].str().c_str()),
            std::atof(m[2].str().c_str()), std::atof(m[3].str().c_str())};
}

double RegexSize(const std::string& text) {
    static const std::regex re(R"(size:(\d+.?\d*))", std::regex::icase);
    std::smatch m;
    return std::regex_search(text, m, re) ? std::atof(m[1].str().c_str()) : 6.0;
}

std::string RegexFamily(const std::string& text) {
    static const std::regex re(R"(family:([^;$]+))", std::regex::icase);
    std::smatch m;
    return std::regex_search(text, m, re) ? m[1].str() : "宋体";
}

} // namespace

TEST(StyleTextMatching, AgreesWithTheRegularExpressionsOnRandomTexts) {
    std::mt19937 rng(20241208);
    // Tokens rather than characters, so that number lists with stray separators are common.
    const std::vector<std::string> tokens = {
        "1", "23", "4.5", "0", "7",     "1",       "23",    "4.5",   "0", "7",
        "-", ",",  ",",   ",", ",",     ",",       ",",     ",",     ".", ";",
        "$", "\n", " ",   "x", "size:", "family:", "SIZE:", "argb(", ")", "e"};
    int paddings = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        if (rng() % 2) {
            const int length = static_cast<int>(rng() % 14);
            for (int j = 0; j < length; ++j) {
                text += tokens[rng() % tokens.size()];
            }
        } else {
            // Number lists with stray characters, where the wildcard and backtracking matter.
            const int count = 3 + static_cast<int>(rng() % 4);
            for (int j = 0; j < count; ++j) {
                text += tokens[rng() % 10];
                if (rng() % 4 == 0) {
                    text += tokens[rng() % tokens.size()];
                }
                text += rng() % 4 ? "," : tokens[rng() % tokens.size()];
            }
        }
        if (rng() % 3 == 0) {
            text.insert(rng() % (text.size() + 1), (rng() % 2) ? "size:" : "family:");
        }
        ASSERT_EQ(ParsePadding(text), RegexPadding(text)) << text;
        paddings += !(RegexPadding(text) == Padding{});
        const FontSet set = ParseFont(text);
        ASSERT_EQ(set.font->GetFamily(), RegexFamily(text)) << text;
        ASSERT_EQ(set.font->GetSize(), std::min(RegexSize(text), gfx::Font::kMaxSizeMm)) << text;
    }
    EXPECT_GT(paddings, 1000); // the texts do reach the interesting cases
}

TEST(StyleTextMatching, LongTextsAreHandledWithoutExhaustingTheStack) {
    const std::string digits(200000, '7');
    EXPECT_EQ(ParsePadding(digits), Padding{});
    EXPECT_DOUBLE_EQ(ParseFont("family:" + digits).font->GetSize(), 6.0);
    EXPECT_EQ(ParseFont("family:" + digits).font->GetFamily().size(), digits.size());
    EXPECT_EQ(ParseColor("argb(" + digits + ",1,2,3)"), 0xFF010203u);
}

TEST(SizeMember, KindsByJsonType) {
    const auto d = nlohmann::json::parse(
        R"({"a":"100%","b":2.2,"c":-10,"d":"auto","e":true,"f":"12px","g":"99%","h":7})");
    EXPECT_EQ(ReadSize(d, "a"), (SizeValue{100, SizeKind::Percent}));
    EXPECT_EQ(ReadSize(d, "b"), (SizeValue{2.2, SizeKind::Number}));
    EXPECT_EQ(ReadSize(d, "c"), (SizeValue{-10, SizeKind::Number}));
    EXPECT_EQ(ReadSize(d, "d").kind, SizeKind::Unset);
    EXPECT_EQ(ReadSize(d, "e").kind, SizeKind::Unset);
    EXPECT_EQ(ReadSize(d, "f"), (SizeValue{12, SizeKind::Pixels}));
    EXPECT_EQ(ReadSize(d, "g"), (SizeValue{99, SizeKind::Percent}));
    EXPECT_EQ(ReadSize(d, "h"), (SizeValue{7, SizeKind::Number}));
    EXPECT_EQ(ReadSize(d, "missing").kind, SizeKind::Unset);
    EXPECT_EQ(ReadSize(nlohmann::json::array(), "a").kind, SizeKind::Unset);
}

TEST(CursorText, ExactLowerCaseNamesOnly) {
    EXPECT_EQ(ParseCursor("hand"), Cursor::Hand);
    EXPECT_EQ(ParseCursor("arrow"), Cursor::Arrow);
    EXPECT_EQ(ParseCursor("Hand"), Cursor::None);
    EXPECT_EQ(ParseCursor("pointer"), Cursor::None);
}

TEST(ImageReference, FileUrlsLoadFromDiskAndBareNamesGiveNone) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "plenvo_style_image.png";
    {
        gfx::OffscreenSurface s(7, 5, 96);
        s.GetGraphics().FillRectangle(0xFF00FF00, {0, 0, 100, 100});
        ASSERT_TRUE(s.WritePng(file.string()));
    }
    const auto image = LoadImage("file://" + file.string());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Width(), 7);
    EXPECT_EQ(image->Height(), 5);
    EXPECT_FALSE(LoadImage(file.string()));
    EXPECT_FALSE(LoadImage("file:///no/such/picture.png"));
    EXPECT_FALSE(LoadImage("PNG_NO_SUCH_RESOURCE"));
    std::filesystem::remove(file);
}
