#include "richtext/RtfWriter.h"

#include "richtext/RtfReader.h"

#include "DocumentSamples.h"

#include <gtest/gtest.h>

#include <cctype>

namespace richtext {
namespace {

using testing::AllText;
using testing::SameContent;

CharFormat Base() {
    CharFormat f;
    f.face = "宋体";
    f.heightTwips = 220; // RTF sizes are half points; the engine keeps its sizes so
    return f;
}

// The RTF as a reader that does not know \uN and \ucN sees it: those words removed, their
// fallback bytes left.
std::string WithoutUnicodeEscapes(const std::string& rtf) {
    std::string out;
    for (std::size_t i = 0; i < rtf.size();) {
        const bool word = rtf.compare(i, 2, "\\u") == 0 && i + 2 < rtf.size() &&
                          (rtf[i + 2] == '-' || rtf[i + 2] == 'c' ||
                           std::isdigit(static_cast<unsigned char>(rtf[i + 2])));
        if (!word) {
            out += rtf[i++];
            continue;
        }
        i += rtf[i + 2] == 'c' ? 3 : 2;
        while (i < rtf.size() &&
               (rtf[i] == '-' || std::isdigit(static_cast<unsigned char>(rtf[i])))) {
            ++i;
        }
        if (i < rtf.size() && rtf[i] == ' ') {
            ++i;
        }
    }
    return out;
}

CDocument Sample() {
    CDocument doc(Base(), Alignment::Left);
    CharFormat bold = Base();
    bold.bold = true;
    bold.autoColor = false;
    bold.color = 0xC00010;
    CharFormat arial = Base();
    arial.face = "Arial";
    arial.charset = 0;
    arial.italic = true;
    arial.underline = true;
    arial.heightTwips = 300;
    CharFormat struck = Base();
    struck.strikeout = true;
    struck.face = "微软雅黑";
    doc.Append(U"教案 plan {x}\\y\t", doc.Intern(Base()));
    doc.Append(U"粗体", doc.Intern(bold));
    doc.LastParagraph().alignment = Alignment::Center;
    doc.NewParagraph();
    doc.Append(U"café line\vnext 😊", doc.Intern(arial));
    doc.LastParagraph().alignment = Alignment::Right;
    doc.NewParagraph();
    doc.LastParagraph().alignment = Alignment::Left;
    doc.NewParagraph();
    doc.Append(U"删除 1 2", doc.Intern(struck));
    return doc;
}

TEST(RtfWriter, ReadingOurOwnOutputGivesTheSameDocument) {
    const CDocument doc = Sample();
    const std::string rtf = CRtfWriter::Write(doc);
    const CDocument back = CRtfReader::Read(rtf, Base(), Alignment::Left);
    EXPECT_TRUE(SameContent(doc, back)) << rtf;
    // Writing again is stable.
    EXPECT_EQ(CRtfWriter::Write(back), rtf);

    // Empty documents and a trailing empty paragraph survive as well.
    const CDocument empty(Base());
    EXPECT_TRUE(
        SameContent(empty, CRtfReader::Read(CRtfWriter::Write(empty), Base(), Alignment::Left)));
    CDocument trailing = CDocument::FromPlainText(U"a\n", Base(), Alignment::Left);
    EXPECT_EQ(trailing.Paragraphs().size(), 2u);
    EXPECT_TRUE(SameContent(
        trailing, CRtfReader::Read(CRtfWriter::Write(trailing), Base(), Alignment::Left)));
}

TEST(RtfWriter, NonAsciiTextServesUnicodeAndCodePageReaders) {
    const std::string rtf = CRtfWriter::Write(Sample());
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg936", 0), 0u);
    EXPECT_NE(rtf.find("\\fcharset134 \\'cb\\'ce\\'cc\\'e5;"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\uc2\\u25945\\'bd\\'cc"), std::string::npos) << rtf; // 教
    EXPECT_NE(rtf.find("\\u-10179?\\u-8694?"), std::string::npos) << rtf;     // 😊

    // A reader that ignores \uN (and \ucN) reads the code-page bytes: the same text, apart
    // from characters its code pages cannot carry.
    const std::string bytesOnly = WithoutUnicodeEscapes(rtf);
    const std::string text = AllText(CRtfReader::Read(bytesOnly, Base(), Alignment::Left));
    EXPECT_NE(text.find("教案 plan {x}\\y\t粗体"), std::string::npos) << text;
    EXPECT_NE(text.find("café"), std::string::npos) << text;
    EXPECT_NE(text.find("删除 1 2"), std::string::npos) << text;

    // A reader that prefers \uN skips exactly the fallback bytes by \ucN.
    EXPECT_EQ(AllText(CRtfReader::Read(rtf, Base(), Alignment::Left)), AllText(Sample()));
}

TEST(RtfWriter, ControlWordsAreDelimitedFromText) {
    CDocument doc(Base());
    CharFormat bold = Base();
    bold.bold = true;
    doc.Append(U" 1", doc.Intern(bold)); // a space and a digit right after \b
    doc.Append(U"2 ", doc.Intern(Base()));
    const CDocument back = CRtfReader::Read(CRtfWriter::Write(doc), Base(), Alignment::Left);
    EXPECT_TRUE(SameContent(doc, back)) << CRtfWriter::Write(doc);
}

} // namespace
} // namespace richtext
