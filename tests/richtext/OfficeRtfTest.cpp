// RTF fragments in the styles the office suites write when a teacher copies lesson material:
// associated (per-script) character properties, list numbers, highlighting, justified text,
// and what our writer gives back to them.
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"

#include "DocumentSamples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace richtext {
namespace {

using testing::AllText;
using testing::ParagraphText;
using testing::Spans;

// The host's default face is none of the font table's, so that a face read from the table cannot
// come from the defaults by chance.
CharFormat Defaults() {
    CharFormat f;
    f.face = "Segoe UI";
    f.charset = 0;
    f.heightTwips = 240;
    return f;
}

CDocument ReadRtf(std::string_view rtf) {
    return CRtfReader::Read(rtf, Defaults(), Alignment::Left);
}

CDocument RoundTrip(const CDocument& doc) {
    return CRtfReader::Read(CRtfWriter::Write(doc), Defaults(), Alignment::Left);
}

// A font table as the suites write it: Western faces, a symbol face, a Chinese face named in GBK
// bytes, and a complex-script face.
constexpr std::string_view kHeader = "{\\rtf1\\ansi\\ansicpg936\\deff0"
                                     "{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}"
                                     "{\\f1\\fswiss\\fcharset0 Calibri;}"
                                     "{\\f2\\ftech\\fcharset2 Symbol;}"
                                     "{\\f6\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}"
                                     "{\\f7\\fnil\\fcharset178 Arial;}}"
                                     "{\\colortbl;\\red255\\green255\\blue0;\\red0\\green0\\blue0;"
                                     "\\red204\\green232\\blue207;}";

CDocument ReadBody(std::string_view body) {
    std::string rtf(kHeader);
    rtf += body;
    rtf += "}";
    return ReadRtf(rtf);
}

TEST(OfficeRtf, ChineseTakesTheEastAsianPropertiesAndLatinTheWestern) {
    // The free suites' bold Chinese: bold only as an associated property after \dbch.
    CDocument doc = ReadBody("{\\rtlch\\ab \\ltrch\\dbch\\ab\\dbch \\u35748\\'3f\\u35782\\'3f}");
    auto spans = Spans(doc, 0);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0].text, "认识");
    EXPECT_TRUE(spans[0].format.bold);

    // A Chinese title: 16 pt bold in font 6 for the Chinese, the Western values for the rest.
    doc = ReadBody("\\f1\\fs24\\dbch\\afs32\\ab\\af6 \\u31532?\\u19968?\\u21333?\\u20803? Unit 1");
    spans = Spans(doc, 0);
    // A space or punctuation mark goes with the letters before it.
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0].text, "第一单元 ");
    EXPECT_EQ(spans[0].format.heightTwips, 320);
    EXPECT_TRUE(spans[0].format.bold);
    EXPECT_EQ(spans[0].format.face, "宋体");
    EXPECT_EQ(spans[0].format.charset, 134);
    EXPECT_EQ(spans[1].text, "Unit 1");
    EXPECT_EQ(spans[1].format.face, "Calibri");
    EXPECT_EQ(spans[1].format.heightTwips, 240);
    EXPECT_FALSE(spans[1].format.bold);

    // The commercial suite's runs: \f after \dbch names the East Asian font, bytes in it are in
    // its code page, and complex-script properties touch neither Latin nor Chinese.
    doc =
        ReadBody("{\\rtlch\\fcs1 \\ab\\af7\\afs28 \\ltrch\\fcs0 \\fs21\\loch\\af1\\hich\\af1"
                 "\\dbch\\f6 \\'d6\\'d0\\'ce\\'c4}"
                 "{\\rtlch\\fcs1 \\ab\\af7 \\ltrch\\fcs0 \\b\\fs21\\hich\\af1\\dbch\\af6\\loch\\f1 "
                 "Hello 2}{\\rtlch\\fcs1 \\af7 \\ltrch\\fcs0 \\fs21 \\u1605?}");
    spans = Spans(doc, 0);
    ASSERT_EQ(spans.size(), 3u);
    EXPECT_EQ(spans[0].text, "中文");
    EXPECT_EQ(spans[0].format.face, "宋体");
    EXPECT_EQ(spans[0].format.heightTwips, 210);
    EXPECT_FALSE(spans[0].format.bold);
    EXPECT_EQ(spans[1].text, "Hello 2");
    EXPECT_EQ(spans[1].format.face, "Calibri");
    EXPECT_TRUE(spans[1].format.bold);
    EXPECT_EQ(spans[2].text, "\xd9\x85"); // an Arabic letter takes the complex-script font
    EXPECT_EQ(spans[2].format.face, "Arial");
    EXPECT_EQ(spans[2].format.charset, 178);

    // \ltrch ends a complex-script run and returns to the character type selected before: the
    // commercial suite writes Chinese runs after the paragraph's \dbch without another.
    doc = ReadBody(
        "\\pard\\plain\\loch\\af1\\hich\\af1\\dbch\\af6 {\\rtlch\\fcs1 \\af7 \\ltrch\\fcs0 "
        "\\'d6\\'d0\\'ce\\'c4}{\\rtlch\\fcs1 \\af7 \\ltrch\\fcs0 \\hich\\af1\\dbch\\af6"
        "\\loch\\f1 Text}");
    spans = Spans(doc, 0);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0].text, "中文");
    EXPECT_EQ(spans[0].format.face, "宋体");
    EXPECT_EQ(spans[1].text, "Text");
    EXPECT_EQ(spans[1].format.face, "Calibri");

    // Associated properties end with their group and with \plain.
    doc =
        ReadBody("{\\dbch\\ab\\afs40 \\u20013?}\\u20013?\\dbch\\ai\\ab \\u20013?\\plain \\u20013?");
    spans = Spans(doc, 0);
    ASSERT_EQ(spans.size(), 4u);
    EXPECT_TRUE(spans[0].format.bold);
    EXPECT_EQ(spans[0].format.heightTwips, 400);
    EXPECT_FALSE(spans[1].format.bold);
    EXPECT_TRUE(spans[2].format.bold && spans[2].format.italic);
    EXPECT_FALSE(spans[3].format.bold || spans[3].format.italic);
}

TEST(OfficeRtf, TheLastGroupOfAParagraphKeepsItsFormat) {
    CDocument doc = ReadRtf("{\\rtf1 {\\b bold}\\par}");
    auto spans = Spans(doc, 0);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_TRUE(spans[0].format.bold);

    doc = ReadRtf("{\\rtf1 plain {\\i\\fs32 big}\\par next{\\b end}}");
    spans = Spans(doc, 0);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[1].text, "big");
    EXPECT_TRUE(spans[1].format.italic);
    EXPECT_EQ(spans[1].format.heightTwips, 320);
    // The paragraph mark takes the format outside the group.
    EXPECT_EQ(doc.Format(doc.Paragraphs()[0].endFormat).heightTwips, 240);
    spans = Spans(doc, 1);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_TRUE(spans[1].format.bold);

    // A document that ends without a paragraph mark keeps its last paragraph's format too.
    doc = ReadRtf("{\\rtf1\\qc{\\b centred}}");
    EXPECT_EQ(doc.Paragraphs()[0].alignment, Alignment::Center);
    EXPECT_TRUE(Spans(doc, 0)[0].format.bold);
}

TEST(OfficeRtf, CodePageBytesKeepTheFormatTheyWereReadIn) {
    // Bytes wait to be converted as one run; a format changing after them must not reach back.
    CDocument doc = ReadBody("\\f6 \\'d6\\'d0\\b\\'ce\\'c4\\b0 x{\\highlight1 y}\\'d6\\'d0 z"
                             "{\\fs40 \\'ce\\'c4}\\cf1 w");
    const auto spans = Spans(doc, 0);
    ASSERT_EQ(spans.size(), 7u) << AllText(doc);
    EXPECT_EQ(spans[0].text, "中");
    EXPECT_FALSE(spans[0].format.bold);
    EXPECT_EQ(spans[1].text, "文");
    EXPECT_TRUE(spans[1].format.bold);
    EXPECT_EQ(spans[2].text, "x");
    EXPECT_FALSE(spans[2].format.bold);
    EXPECT_TRUE(spans[2].format.autoBackground);
    EXPECT_EQ(spans[3].text, "y");
    EXPECT_FALSE(spans[3].format.autoBackground);
    EXPECT_EQ(spans[4].text, "中 z");
    EXPECT_TRUE(spans[4].format.autoBackground);
    EXPECT_EQ(spans[4].format.heightTwips, 240);
    EXPECT_EQ(spans[5].text, "文");
    EXPECT_EQ(spans[5].format.heightTwips, 400);
    EXPECT_EQ(spans[6].text, "w");
    EXPECT_FALSE(spans[6].format.autoColor);
}

TEST(OfficeRtf, ListNumbersKeepTheNumberAndOneTab) {
    const CDocument doc = ReadBody(
        // The commercial suite: \listtext with its own formatting, then the text.
        "\\pard\\ls1\\ilvl0{\\listtext\\pard\\plain\\ltrpar \\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 "
        "\\f1\\fs24\\hich\\af1\\dbch\\af6\\loch\\f1 1.\\tab}\\f1 First\\par"
        // The free suites pad the number with spaces.
        "{\\listtext\\pard\\plain  2.    \\tab}Second\\par"
        // Older writers: \pntext, and the list definition in a \pn group to skip.
        "{\\*\\pn\\pnlvlbody\\pndec\\pnstart1{\\pntxta .}}{\\pntext\\f0 3.\\tab}Third\\par"
        "{\\pn\\pnlvlbody\\pndec{\\pntxtb (}{\\pntxta )}}{\\pntext\\f0 (4)}Fourth\\par"
        // A Chinese number with a Chinese separator, and a bullet without visible text.
        "{\\listtext\\dbch\\af6 \\u19968?\\u12289?\\tab}\\u20869?\\par"
        "{\\listtext \\tab}Bullet\\par"
        // Bullets in a symbol font, as a byte and as its private-use character.
        "{\\pntext\\f2\\'B7\\tab}one\\par{\\listtext\\f2\\u-3913?\\tab}two\\par");
    ASSERT_EQ(doc.Paragraphs().size(), 8u);
    EXPECT_EQ(ParagraphText(doc, 0), "1.\tFirst");
    EXPECT_EQ(ParagraphText(doc, 1), "2.\tSecond");
    EXPECT_EQ(ParagraphText(doc, 2), "3.\tThird");
    EXPECT_EQ(ParagraphText(doc, 3), "(4)\tFourth");
    EXPECT_EQ(ParagraphText(doc, 4), "一、\t内");
    EXPECT_EQ(ParagraphText(doc, 5), "Bullet");
    EXPECT_EQ(ParagraphText(doc, 6), "•\tone");
    EXPECT_EQ(ParagraphText(doc, 7), "•\ttwo");
    // The number keeps the list text's own format.
    EXPECT_EQ(Spans(doc, 0)[0].format.face, "Calibri");
    EXPECT_EQ(Spans(doc, 4)[0].format.face, "宋体");
}

TEST(OfficeRtf, HighlightingAndShadingAreKeptAndWrittenBack) {
    const CDocument doc = ReadBody("a{\\highlight1 yellow}{\\chshdng0\\chcfpat0\\chcbpat3 green}"
                                   "{\\cb1\\highlight0 none}{\\highlight1\\plain plain}");
    const auto spans = Spans(doc, 0);
    ASSERT_EQ(spans.size(), 4u);
    EXPECT_TRUE(spans[0].format.autoBackground);
    EXPECT_FALSE(spans[1].format.autoBackground);
    EXPECT_EQ(spans[1].format.background, 0xFFFF00u);
    EXPECT_EQ(spans[2].format.background, 0xCCE8CFu);
    EXPECT_TRUE(spans[3].format.autoBackground);
    EXPECT_EQ(spans[3].text, "noneplain");

    const std::string rtf = CRtfWriter::Write(doc);
    // A highlight colour as highlighting; any other colour as shading, exactly.
    EXPECT_NE(rtf.find("\\highlight"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\chcbpat"), std::string::npos) << rtf;
    EXPECT_TRUE(RoundTrip(doc).SameContent(doc)) << rtf;
}

TEST(OfficeRtf, JustifiedParagraphsAreReadAndWritten) {
    const CDocument doc = ReadRtf("{\\rtf1\\pard\\qj justified\\par\\pard plain\\par\\qj again}");
    ASSERT_EQ(doc.Paragraphs().size(), 3u);
    EXPECT_EQ(doc.Paragraphs()[0].alignment, Alignment::Justify);
    EXPECT_EQ(doc.Paragraphs()[1].alignment, Alignment::Left);
    EXPECT_EQ(doc.Paragraphs()[2].alignment, Alignment::Justify);
    const std::string rtf = CRtfWriter::Write(doc);
    EXPECT_NE(rtf.find("\\qj"), std::string::npos);
    EXPECT_TRUE(RoundTrip(doc).SameContent(doc)) << rtf;
}

CDocument MixedDocument(const std::string& face, int charset) {
    CharFormat chinese = Defaults();
    chinese.face = face;
    chinese.charset = charset;
    chinese.bold = true;
    chinese.heightTwips = 320;
    CharFormat latin = Defaults();
    latin.face = "Calibri";
    latin.charset = 0;
    CDocument doc(chinese);
    doc.Append(U"第一单元 “课文” ", doc.Intern(chinese));
    doc.Append(U"Unit 1, lesson 2: ", doc.Intern(latin));
    doc.Append(U"朗读。", doc.Intern(chinese));
    return doc;
}

TEST(OfficeRtf, WrittenRunsNameTheirFontForEveryScript) {
    const CDocument doc = MixedDocument("微软雅黑", 134);
    const std::string rtf = CRtfWriter::Write(doc);
    // Word processors apply \f to Western text only: East Asian text needs \dbch\af.
    EXPECT_NE(rtf.find("\\loch\\f0\\hich\\af0\\dbch\\af0"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\loch\\f1\\hich\\af1\\dbch\\af1"), std::string::npos) << rtf;
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg936\\", 0), 0u) << rtf;
    const CDocument back = RoundTrip(doc);
    EXPECT_TRUE(back.SameContent(doc)) << rtf;
    // Read as a suite reads it: what holds for each script's properties holds for ours.
    const auto spans = Spans(back, 0);
    ASSERT_EQ(spans.size(), 3u);
    EXPECT_EQ(spans[0].format.face, "微软雅黑");
    EXPECT_EQ(spans[1].format.face, "Calibri");
}

TEST(OfficeRtf, TheCodePageFollowsTheTextNotTheFonts) {
    // A Chinese face that carries a Japanese character set does not make the document Japanese.
    EXPECT_EQ(
        CRtfWriter::Write(MixedDocument("MS Mincho", 128)).rfind("{\\rtf1\\ansi\\ansicpg936", 0),
        0u);
    // Nor does a GB2312 face make other text Chinese.
    CharFormat song = Defaults();
    song.face = "宋体";
    song.charset = 134;
    CDocument latin(song);
    latin.Append(U"Only Latin text, café.", 0);
    EXPECT_EQ(CRtfWriter::Write(latin).rfind("{\\rtf1\\ansi\\ansicpg1252", 0), 0u);
    CDocument japanese(song);
    japanese.Append(U"日本語のテキスト", 0);
    EXPECT_EQ(CRtfWriter::Write(japanese).rfind("{\\rtf1\\ansi\\ansicpg932", 0), 0u);
    CDocument russian(song);
    russian.Append(U"Урок", 0);
    EXPECT_EQ(CRtfWriter::Write(russian).rfind("{\\rtf1\\ansi\\ansicpg1251", 0), 0u);
}

TEST(OfficeRtf, AbsurdUnicodeParametersAddNothing) {
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1 a\\u999999999999999999999999999999 b}")), "ab");
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1 a\\u-999999999999999999999999999999?b}")), "a?b");
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1 \\u65536?\\u-32769?\\u65535?x}")), "??\xef\xbf\xbfx");
    // The 16-bit range itself is read, negative values as unsigned units.
    EXPECT_EQ(AllText(ReadRtf("{\\rtf1 \\u-32768?\\u97?}")), "\xe8\x80\x80"
                                                             "a");
}

TEST(OfficeRtf, CharactersBeyondSixteenBitsAreSurrogatePairsEverywhere) {
    CharFormat emoji = Defaults();
    emoji.face = "Noto 👍 Sans";
    emoji.charset = 0;
    CDocument doc(emoji);
    doc.Append(U"👍 ok", doc.Intern(emoji));
    const std::string rtf = CRtfWriter::Write(doc);
    EXPECT_NE(rtf.find("Noto \\u-10179?\\u-9139? Sans;"), std::string::npos) << rtf;
    const CDocument back = RoundTrip(doc);
    EXPECT_TRUE(back.SameContent(doc)) << rtf;
    EXPECT_EQ(Spans(back, 0)[0].format.face, "Noto 👍 Sans");
}

// Whole files in the suites' styles (the RTF fuzz target's seeds): what we write of them reads
// back as the same document, and their Chinese text is read, not mangled.
TEST(OfficeRtf, OfficeSuiteFilesSurviveOurWriter) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(RICHTEXT_OFFICE_SEEDS)) {
        std::ifstream file(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << file.rdbuf();
        const CDocument doc = ReadRtf(bytes.str());
        EXPECT_TRUE(RoundTrip(doc).SameContent(doc)) << entry.path();
        // Chinese bytes read in a Western code page turn into Latin-1 letters and signs.
        const std::u32string text = doc.Text();
        const auto latin1 = std::count_if(text.begin(), text.end(), [](char32_t c) {
            return c >= 0x80 && c <= 0xFF && c != U'é';
        });
        EXPECT_EQ(latin1, 0) << entry.path() << ": " << AllText(doc);
        ++files;
    }
    EXPECT_GE(files, 4);
}

} // namespace
} // namespace richtext
