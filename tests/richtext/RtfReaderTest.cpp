#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"

#include "DocumentSamples.h"

#include <gtest/gtest.h>

namespace richtext {
namespace {

using testing::AllText;
using testing::ParagraphText;
using testing::Spans;

CharFormat Defaults() {
    CharFormat f;
    f.face = "宋体";
    f.heightTwips = 224;
    f.color = 0x010101;
    return f;
}

CDocument ReadRtf(std::string_view rtf) {
    return CRtfReader::Read(rtf, Defaults(), Alignment::Left);
}

// What a word processor on a Chinese system writes: GBK bytes, a font table with a Chinese face
// name in bytes, colours, and a generator group to skip.
TEST(RtfReader, ReadsChineseWordProcessorOutputWithFontsAndColours) {
    const CDocument doc = ReadRtf(
        "{\\rtf1\\ansi\\ansicpg936\\deff0\\deflang1033\\deflangfe2052"
        "{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}{\\f1\\fswiss\\fcharset0 "
        "Arial;}{\\f2\\froman\\fprq2\\fcharset0 Times New Roman{\\*\\falt Times};}}\r\n"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
        "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1 \r\n"
        "\\pard\\sa200\\sl276\\slmult1\\qc\\f0\\fs28\\lang2052\\'d6\\'d0\\'ce\\'c4\\f1\\fs22 "
        "\\cf1\\b Bold\\b0\\cf0 \\i it\\i0 \\ul un\\ulnone \\strike st\\strike0\\par\r\n"
        "\\pard\\qr\\cf2\\f2 R\\par\r\n}\r\n");
    ASSERT_EQ(doc.Paragraphs().size(), 2u);
    EXPECT_EQ(ParagraphText(doc, 0), "中文Bolditunst");
    EXPECT_EQ(doc.Paragraphs()[0].alignment, Alignment::Center);
    EXPECT_EQ(doc.Paragraphs()[1].alignment, Alignment::Right);

    const auto spans = Spans(doc, 0);
    ASSERT_EQ(spans.size(), 5u);
    EXPECT_EQ(spans[0].text, "中文");
    EXPECT_EQ(spans[0].format.face, "宋体");
    EXPECT_EQ(spans[0].format.heightTwips, 280);
    EXPECT_EQ(spans[0].format.charset, 134);
    EXPECT_EQ(spans[1].text, "Bold");
    EXPECT_EQ(spans[1].format.face, "Arial");
    EXPECT_TRUE(spans[1].format.bold);
    EXPECT_FALSE(spans[1].format.autoColor);
    EXPECT_EQ(spans[1].format.color, 0xFF0000u);
    EXPECT_EQ(spans[2].text, "it");
    EXPECT_TRUE(spans[2].format.italic);
    EXPECT_TRUE(spans[2].format.autoColor);
    EXPECT_EQ(spans[3].text, "un");
    EXPECT_TRUE(spans[3].format.underline);
    EXPECT_FALSE(spans[3].format.italic);

    const auto second = Spans(doc, 1);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].format.face, "Times New Roman");
    EXPECT_EQ(second[0].format.color, 0x0000FFu);
}

TEST(RtfReader, UnicodeEscapesSkipTheirFallbackBytes) {
    // \uc1 with "?" fallbacks, \uc2 with GBK fallbacks, \uc0 without any, and negative values.
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1\\uc1\\u20320?\\u22909?!}")), "你好!");
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1\\ansicpg936\\uc2\\u20320\\'c4\\'e3\\u22909\\'ba\\'c3}")),
              "你好");
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1\\uc0\\u20320\\u22909 x}")), "你好x");
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1\\u-3913?}")), "\xef\x82\xb7"); // U+F0B7
    // A surrogate pair written as two escapes is one character.
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1\\u-10179?\\u-8694?}")), "😊");
    // \ucN is scoped to its group.
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1{\\uc2\\u20320??}\\u22909?}")), "你好");
}

TEST(RtfReader, CodePagesFollowTheFontCharset) {
    // GBK in a font with charset 134, Latin-1 bytes in a charset-0 font, under \ansicpg936.
    const CDocument doc = ReadRtf("{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0\\fcharset134 SimSun;}"
                                  "{\\f1\\fcharset0 Arial;}}\\f0\\'c4\\'e3\\f1 caf\\'e9}");
    EXPECT_EQ(AllText(doc), "你café");
    // Without a font table the document's code page decides; a Big5 font its own.
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1\\ansicpg936 \\'d6\\'d0}")), "中");
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1{\\fonttbl{\\f0\\fcharset136 MingLiU;}}\\f0\\'a4\\'a4}")),
              "中");
}

TEST(RtfReader, RawUtf8TextIsReadAsUtf8AndOtherRawBytesByTheCodePage) {
    // Hand-written RTF saved by a UTF-8 editor, with escapes beside the raw text.
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1\\ansicpg936 教学{\\b 目标}\\'d6\\'d0 é}")), "教学目标中 é");
    // Bytes that are not UTF-8 follow the document's code page as before.
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1\\ansicpg936 \xc4\xe3}")), "你");
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1 caf\xe9}")), "café");
}

TEST(RtfReader, SkipsPicturesObjectsAndIgnorableDestinations) {
    const CDocument doc =
        ReadRtf("{\\rtf1{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}{\\author A}}"
                "A{\\pict\\pngblip\\picw10 89504e47\\}\\{0d0a}B"
                "{\\*\\shppict{\\pict\\bin4 }}}}}}C"
                "{\\*\\unknown hidden {\\nested too}}D\\mycontrol42 E"
                "{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt link}}"
                "{\\object\\objemb{\\*\\objdata 0102}{\\result{\\pict 00}}}F}");
    EXPECT_EQ(AllText(doc), "ABCDElinkF");
}

TEST(RtfReader, StructureWordsAndSymbols) {
    const CDocument doc = ReadRtf("{\\rtf1 a\\tab b\\line c\\par d\\{\\}\\\\\\~e\\emdash "
                                  "f\\par\\par g\\par}");
    ASSERT_EQ(doc.Paragraphs().size(), 4u);
    EXPECT_EQ(ParagraphText(doc, 0), "a\tb\vc");
    EXPECT_EQ(ParagraphText(doc, 1), "d{}\\\xc2\xa0"
                                     "e—f");
    EXPECT_EQ(ParagraphText(doc, 2), "");
    // The final \par closes the last paragraph and adds no empty one.
    EXPECT_EQ(ParagraphText(doc, 3), "g");
}

TEST(RtfReader, PlainAndPardResetTheirProperties) {
    const CDocument doc =
        ReadRtf("{\\rtf1{\\colortbl;\\red1\\green2\\blue3;}\\qc\\b\\i\\cf1\\fs40 x\\plain y"
                "\\par\\pard z}");
    const auto spans = Spans(doc, 0);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_TRUE(spans[0].format.bold);
    EXPECT_EQ(spans[0].format.heightTwips, 400);
    EXPECT_EQ(spans[0].format.color, 0x010203u);
    EXPECT_FALSE(spans[1].format.bold);
    EXPECT_EQ(spans[1].format.heightTwips, Defaults().heightTwips);
    EXPECT_TRUE(spans[1].format.autoColor);
    EXPECT_EQ(doc.Paragraphs()[0].alignment, Alignment::Center);
    EXPECT_EQ(doc.Paragraphs()[1].alignment, Alignment::Left);
}

TEST(RtfReader, TextThatIsNotRtfIsKeptAsPlainText) {
    const CDocument doc = CRtfReader::Read("第一行\r\nsecond", Defaults(), Alignment::Center);
    ASSERT_EQ(doc.Paragraphs().size(), 2u);
    EXPECT_EQ(ParagraphText(doc, 0), "第一行");
    EXPECT_EQ(doc.Paragraphs()[1].alignment, Alignment::Center);
}

TEST(RtfReader, MalformedInputEndsWithADocument) {
    const char* const inputs[] = {
        "{\\rtf1",
        "{\\rtf1 unterminated {\\b group",
        "{\\rtf1 \\'zz\\'4",
        "{\\rtf1 \\u",
        "{\\rtf1 \\u99999999999999999999 x}",
        "{\\rtf1 \\bin99999999 abc}",
        "{\\rtf1 \\fs-5 \\fs999999999 a}",
        "{\\rtf1 {\\fonttbl{\\f0 ",
        "{\\rtf1 }}}}}} trailing",
        "{\\rtf1 \\uc99999 \\u20320 abc}",
        "{\\rtf1 \\u-10179 lone high}",
        "{\\rtf1 \\",
    };
    for (const char* input : inputs) {
        const CDocument doc = ReadRtf(input);
        // What was read is text the editor can hold: no surrogate halves, no control characters
        // but tabs and line breaks, and it survives being written and read again.
        for (const Paragraph& paragraph : doc.Paragraphs()) {
            for (const char32_t c : paragraph.text) {
                EXPECT_FALSE(c >= 0xD800 && c <= 0xDFFF) << input;
                EXPECT_FALSE(c < 0x20 && c != U'\t' && c != kLineBreak) << input;
                EXPECT_LE(c, 0x10FFFFu) << input;
            }
        }
        const CDocument plain = CRtfReader::Read(input, CharFormat{}, Alignment::Left);
        const CDocument back =
            CRtfReader::Read(CRtfWriter::Write(plain), CharFormat{}, Alignment::Left);
        EXPECT_TRUE(testing::SameContent(plain, back)) << input;
    }
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1 {\\b group")), "group");
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1 unterminated {\\b group")), "unterminated group");
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1 \\fs-5 \\fs999999999 a}")), "a");
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1 {\\fonttbl{\\f0 ")), "");
    // Deep nesting is read without exhausting anything.
    std::string deep = "{\\rtf1 ";
    deep += std::string(100000, '{') + "x" + std::string(100000, '}') + "y}";
    EXPECT_EQ(AllText(ReadRtf(deep)), "xy");
}

} // namespace
} // namespace richtext
