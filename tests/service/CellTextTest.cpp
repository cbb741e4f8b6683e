#include "CellText.h"
#include "Text.h"

#include <gtest/gtest.h>

#include <string>

using PlenvoService::CellValueToText;
using PlenvoService::IsValidUtf8;

namespace {

std::string Rtf(const std::string& body) {
    return "__RTF__" + body;
}

TEST(CellText, KeepsTheTextAndDropsTheMachinery) {
    EXPECT_EQ(CellValueToText(Rtf("{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil SimSun;}}{\\colortbl;\\red0"
                                  "\\green0\\blue0;}\\f0\\fs22 Hello\\par {\\b world}\\tab x\\line "
                                  "y\\par}")),
              "Hello\nworld\tx\ny");
    EXPECT_EQ(CellValueToText(Rtf("{\\rtf1 a\\{b\\}c\\\\d {\\*\\unknown skipped}e}")),
              "a{b}c\\d e");
    // Anything without the prefix is plain text already, RTF-looking or not.
    EXPECT_EQ(CellValueToText("__RTF_{\\rtf1 x}"), "__RTF_{\\rtf1 x}");
    EXPECT_EQ(CellValueToText("课题 \\par"), "课题 \\par");
}

TEST(CellText, UnicodeEscapesGiveValidUtf8EvenForSurrogatePairs) {
    EXPECT_EQ(CellValueToText(Rtf("{\\rtf1 \\u25945?\\u26696?\\uc2\\u35838??x}")), "教案课x");
    // A character outside the basic plane comes as two negative halves of a surrogate pair.
    const std::string smile = CellValueToText(Rtf("{\\rtf1\\ansi \\u-10179?\\u-8694?!}"));
    EXPECT_EQ(smile, "\xF0\x9F\x98\x8A!");
    EXPECT_TRUE(IsValidUtf8(smile));
    // A lone half is no character at all; whatever stands for it, the text stays valid.
    EXPECT_TRUE(IsValidUtf8(CellValueToText(Rtf("{\\rtf1 a\\u-10179?b}"))));
}

TEST(CellText, CodePageBytesFollowTheFontsCharsetBeforeTheDocumentsCodePage) {
    EXPECT_EQ(CellValueToText(Rtf("{\\rtf1\\ansi\\ansicpg936 \\'bd\\'cc\\'b0\\'b8}")), "教案");
    // Word processors declare Western code page 1252 and mark Chinese fonts GB2312 (134).
    EXPECT_EQ(CellValueToText(Rtf("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil"
                                  "\\fcharset134 SimSun;}{\\f1\\fswiss\\fcharset0 Arial;}}"
                                  "\\f0 \\'bd\\'cc\\'b0\\'b8 \\f1 caf\\'e9}")),
              "教案 café");
}

TEST(CellText, BrokenRtfGivesWhatCouldBeReadAsValidText) {
    EXPECT_EQ(CellValueToText(Rtf("{\\rtf1 abc")), "abc");
    EXPECT_EQ(CellValueToText(Rtf("{\\rtf1 abc\\")), "abc");
    for (const std::string& broken :
         {std::string("{\\rtf1 \\'4"), std::string("{\\rtf1 \\'zz\\'"), std::string(5000, '{'),
          std::string(5000, '{') + "\\rtf1 deep", std::string("{\\rtf1 \\u99999999999 x}")}) {
        EXPECT_TRUE(IsValidUtf8(CellValueToText(Rtf(broken)))) << broken.substr(0, 40);
    }
}

} // namespace
