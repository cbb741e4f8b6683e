#include "richtext/TextLayout.h"

#include "richtext/LayoutContext.h"

#include "platform/Encoding.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstring>
#include <random>

namespace richtext {
namespace {

CharFormat Font() {
    CharFormat f;
    f.face = "宋体";
    f.heightTwips = 240;
    return f;
}

// Line starts of the paragraph laid out in one piece by pango, the reference for our own line
// breaking.
std::vector<std::size_t> WholeLineStarts(const CDocument& doc, std::size_t paragraph,
                                         double width) {
    const std::string text = platform::Utf32ToUtf8(doc.Paragraphs()[paragraph].text);
    PangoLayout* layout = pango_layout_new(LayoutContext());
    PangoFontDescription* d = pango_font_description_from_string("宋体 12");
    pango_layout_set_font_description(layout, d);
    pango_font_description_free(d);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_width(layout, ToPango(width));
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    std::vector<std::size_t> starts;
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    do {
        const int byte = pango_layout_iter_get_line_readonly(iter)->start_index;
        starts.push_back(g_utf8_pointer_to_offset(text.data(), text.data() + byte));
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    g_object_unref(layout);
    return starts;
}

TEST(Layout, IncrementalLayoutsBreakLinesExactlyWhereOneWholePangoLayoutDoes) {
    std::u32string text;
    while (text.size() < 3000) {
        text += U"教学过程中，学生朗读课文并讨论问题。Students practise reading aloud, ";
    }
    CDocument doc = CDocument::FromPlainText(text, Font(), Alignment::Left);
    CTextLayout layout;
    LayoutOptions options;
    options.width = 90;
    layout.SetOptions(options);
    layout.Update(doc);
    ASSERT_GT(layout.At(0).ChunkCount(), 5u);
    EXPECT_EQ(layout.At(0).LineStarts(), WholeLineStarts(doc, 0, 90));

    // Edits at random places, each followed by an incremental layout, keep the lines of a
    // fresh whole layout; the height follows.
    std::mt19937 random(7);
    const std::u32string inserts[] = {U"字", U" ", U"word ", U"长长的一段插入文字，", U""};
    for (int round = 0; round < 60; ++round) {
        const std::size_t length = doc.Length();
        const std::size_t at = random() % (length + 1);
        const std::size_t removed =
            round % 3 == 0 ? std::min<std::size_t>(random() % 30, length - at) : 0;
        const CDocument fragment =
            CDocument::FromPlainText(inserts[round % 5], Font(), Alignment::Left);
        layout.Apply(doc.Replace(at, at + removed, fragment));
        const auto builds = layout.BuildCount();
        layout.Update(doc);
        EXPECT_EQ(layout.BuildCount(), builds + 1);
        ASSERT_EQ(layout.At(0).LineStarts(), WholeLineStarts(doc, 0, 90)) << "round " << round;
    }
    CTextLayout fresh;
    fresh.SetOptions(options);
    fresh.Update(doc);
    EXPECT_NEAR(layout.Height(), fresh.Height(), 1e-6);
    // Carets agree with a fresh layout everywhere.
    for (std::size_t offset = 0; offset <= doc.Length(); offset += 37) {
        const CaretBox a = layout.At(0).Caret(offset);
        const CaretBox b = fresh.At(0).Caret(offset);
        EXPECT_NEAR(a.x, b.x, 1e-6) << offset;
        EXPECT_NEAR(a.top, b.top, 1e-6) << offset;
    }
}

TEST(Layout, HitTestingAndCaretsMeetAcrossLines) {
    std::u32string text;
    while (text.size() < 2000) {
        text += U"alpha beta gamma delta 一二三四五六七八九十 ";
    }
    const CDocument doc = CDocument::FromPlainText(text, Font(), Alignment::Left);
    CTextLayout layout;
    LayoutOptions options;
    options.width = 60;
    layout.SetOptions(options);
    layout.Update(doc);
    const CParagraphLayout& p = layout.At(0);
    // Every cursor position's caret, hit again at its centre, gives back that position.
    for (std::size_t offset = 0; offset < p.Length(); offset += 11) {
        const CaretBox caret = p.Caret(offset);
        EXPECT_EQ(p.HitTest(caret.x + 0.01, caret.top + caret.height / 2), offset) << offset;
    }
    // Lines follow each other without gaps: the caret of each line start sits one line lower.
    const auto starts = p.LineStarts();
    for (std::size_t i = 1; i < starts.size(); ++i) {
        const CaretBox above = p.Caret(starts[i - 1]);
        const CaretBox below = p.Caret(starts[i]);
        EXPECT_NEAR(below.top, above.top + above.height, 0.01) << i;
    }
    EXPECT_NEAR(p.Height(), p.Caret(starts.back()).top + p.Caret(starts.back()).height, 0.01);
}

// One paragraph of Chinese sentences, at least `length` characters, laid out 90 mm wide.
CDocument ChineseParagraph(std::size_t length, CTextLayout& layout) {
    std::u32string text;
    while (text.size() < length) {
        text += U"本节课通过观察实验和小组讨论让学生理解植物的光合作用过程";
    }
    CDocument doc = CDocument::FromPlainText(text, Font(), Alignment::Left);
    layout.SetOptions(LayoutOptions{.width = 90});
    layout.Update(doc);
    return doc;
}

TEST(Layout, LettersTypedNearTheStartOfChineseTextPushEveryLaterLineAsAWholeLayoutDoes) {
    CTextLayout layout;
    CDocument doc = ChineseParagraph(2000, layout);
    layout.TakeDamage();
    const CDocument letter = CDocument::FromPlainText(U"a", Font(), Alignment::Left);
    const double lineHeight = layout.At(0).Caret(0).height;
    bool pushed = false;
    for (int key = 0; key < 12; ++key) {
        const auto startsBefore = layout.At(0).LineStarts();
        const std::size_t at = 20 + static_cast<std::size_t>(key);
        layout.Apply(doc.Replace(at, at, letter));
        layout.Update(doc);
        const auto starts = layout.At(0).LineStarts();
        ASSERT_EQ(starts, WholeLineStarts(doc, 0, 90)) << "key " << key;
        // The lines above the edited one stay as they were and are not repainted.
        const auto damage = layout.TakeDamage();
        ASSERT_TRUE(damage);
        EXPECT_GE(damage->first, 0.0);
        EXPECT_LE(damage->first, layout.At(0).Caret(at).top + 1e-6);
        // A letter that fits on its line changes that line only; one that pushes a character
        // on moves every later line's start, and everything below is repainted.
        if (starts[2] != startsBefore[2] + 1) {
            pushed = true;
            EXPECT_TRUE(std::isinf(damage->second) || damage->second >= layout.Height() - 1e-6);
        } else {
            EXPECT_LE(damage->second - damage->first, 2 * lineHeight + 1e-6) << "key " << key;
        }
    }
    EXPECT_TRUE(pushed) << "no key pushed a character onto the next line";
}

// The paragraph drawn at 96 dpi on white, as pixels.
std::vector<std::uint32_t> Pixels(const CParagraphLayout& p, int width, int height) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_scale(cr, 96 / 25.4, 96 / 25.4);
    p.DrawBackgrounds(cr, 1, 1, 0, 1000);
    p.Draw(cr, 1, 1, 0, 1000);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        std::memcpy(pixels.data() + static_cast<std::size_t>(y * width),
                    cairo_image_surface_get_data(surface) + y * stride,
                    static_cast<std::size_t>(width) * 4);
    }
    cairo_surface_destroy(surface);
    return pixels;
}

// Pixels that differ by more than the rounding of a glyph's position between two drawings of
// the same text (where a glyph string starts changes the last bit of its glyphs' places).
int Different(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    int n = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            if (std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                         static_cast<int>((b[i] >> shift) & 0xFF)) > 8) {
                ++n;
                break;
            }
        }
    }
    return n + static_cast<int>(std::max(a.size(), b.size()) - std::min(a.size(), b.size()));
}

TEST(Layout, AKeyShapesAgainOnlyTheTextRoundItAndDrawsWhatAFreshLayoutDraws) {
    CTextLayout layout;
    CDocument doc = ChineseParagraph(5000, layout);
    const std::size_t chunks = layout.At(0).ChunkCount();
    EXPECT_EQ(layout.At(0).ShapedCount(), chunks);
    ASSERT_GT(chunks, 50u);

    // Letters typed near the start push every later line, yet only the text round them is
    // shaped again; lines and pixels are those of a layout built from scratch.
    CharFormat bold = Font();
    bold.bold = true;
    bold.color = 0xC00000;
    bold.autoColor = false;
    for (int key = 0; key < 8; ++key) {
        const std::size_t at = 30 + static_cast<std::size_t>(key);
        layout.Apply(doc.Replace(at, at, CDocument::FromPlainText(U"a", bold, Alignment::Left)));
        layout.Update(doc);
        EXPECT_LE(layout.At(0).ShapedCount(), 3u) << "key " << key;
    }
    CTextLayout fresh;
    fresh.SetOptions(LayoutOptions{.width = 90});
    fresh.Update(doc);
    EXPECT_EQ(layout.At(0).LineStarts(), fresh.At(0).LineStarts());
    EXPECT_EQ(layout.At(0).LineStarts(), WholeLineStarts(doc, 0, 90));
    const int height = static_cast<int>(std::ceil(fresh.Height() * 96 / 25.4)) + 4;
    EXPECT_EQ(Different(Pixels(layout.At(0), 360, height), Pixels(fresh.At(0), 360, height)), 0);
}

TEST(Layout, FormatsTabsAndJustifiedLinesDrawAlikeAfterEdits) {
    CharFormat underlined = Font();
    underlined.underline = true;
    CharFormat highlighted = Font();
    highlighted.autoBackground = false;
    highlighted.background = 0xFFFF00;
    highlighted.heightTwips = 320;
    CDocument doc = CDocument::FromPlainText(U"", Font(), Alignment::Justify);
    std::mt19937 random(11);
    const std::u32string pieces[] = {U"教学目标\t理解课文，", U"reading aloud ", U"朗读",
                                     U"第二段\u2028", U"questions and answers "};
    CTextLayout layout;
    layout.SetOptions(LayoutOptions{.width = 70});
    for (int round = 0; round < 40; ++round) {
        const CharFormat& format = round % 3 == 0   ? underlined
                                   : round % 3 == 1 ? highlighted
                                                    : Font();
        std::u32string piece = pieces[round % 5];
        for (auto& c : piece) {
            c = c == U'\u2028' ? kLineBreak : c;
        }
        const std::size_t at = random() % (doc.Length() + 1);
        const std::size_t removed =
            round % 4 == 0 ? std::min<std::size_t>(3, doc.Length() - at) : 0;
        layout.Apply(doc.Replace(at, at + removed,
                                 CDocument::FromPlainText(piece, format, Alignment::Justify)));
        layout.Update(doc);
    }
    CTextLayout fresh;
    fresh.SetOptions(LayoutOptions{.width = 70});
    fresh.Update(doc);
    ASSERT_EQ(layout.At(0).LineStarts(), fresh.At(0).LineStarts());
    ASSERT_GT(fresh.At(0).LineStarts().size(), 8u);
    const int height = static_cast<int>(std::ceil(fresh.Height() * 96 / 25.4)) + 4;
    const auto pixels = Pixels(fresh.At(0), 290, height);
    EXPECT_EQ(Different(Pixels(layout.At(0), 290, height), pixels), 0);
    // Justified lines end at the right edge; only the last line of the paragraph stays ragged.
    const auto starts = fresh.At(0).LineStarts();
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
        const auto [lineStart, lineEnd] = fresh.At(0).LineAt(starts[i]);
        const auto bands = fresh.At(0).Ranges(lineStart, lineEnd);
        if (bands.empty() || fresh.At(0).LineAt(starts[i + 1]).first != lineEnd) {
            continue; // a line ended by a line break
        }
        EXPECT_NEAR(bands.back().right, 70, 3.0) << "line " << i;
    }
}

TEST(Layout, RightToLeftWordsRunBackwardsAndCaretsRoundTrip) {
    const std::u32string hebrew = U"שלום עולם";
    const CDocument doc =
        CDocument::FromPlainText(U"课文 " + hebrew + U" 结束", Font(), Alignment::Left);
    CTextLayout layout;
    layout.SetOptions(LayoutOptions{.width = 150});
    layout.Update(doc);
    const CParagraphLayout& p = layout.At(0);
    // The Hebrew word's first letter stands right of its last.
    EXPECT_GT(p.Caret(3).x, p.Caret(6).x);
    // Inside each run every position is hit again at its caret.
    for (std::size_t offset : {1u, 4u, 5u, 7u, 9u, 10u, 14u}) {
        const CaretBox caret = p.Caret(offset);
        EXPECT_EQ(p.HitTest(caret.x, caret.top + caret.height / 2), offset) << offset;
    }
    // The selection of the whole word is one band as wide as the word.
    const auto bands = p.Ranges(3, 3 + 4);
    ASSERT_EQ(bands.size(), 1u);
    EXPECT_GT(bands[0].right - bands[0].left, 3.0);
}

} // namespace
} // namespace richtext
