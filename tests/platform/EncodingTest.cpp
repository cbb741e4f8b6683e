#include "platform/Encoding.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Encoding, GbkBytesConvertBothWays) {
    const std::string gbk = "\xD3\xEF\xCE\xC4"; // 语文
    EXPECT_EQ(CodePageToUtf8(gbk, 936).value(), "语文");
    EXPECT_EQ(Utf8ToCodePage("语文", 936).value(), gbk);
    EXPECT_FALSE(CodePageToUtf8(gbk, 12345).has_value());
}

TEST(Encoding, UnconvertibleTextIsReplacedNotCut) {
    // A character GBK lacks, between two it has.
    EXPECT_EQ(Utf8ToCodePage("语😀文", 936).value(), "\xD3\xEF?\xCE\xC4");
    // A truncated GBK pair at the end.
    EXPECT_EQ(CodePageToUtf8("\xD3\xEF\xCE", 936).value(), "语\xEF\xBF\xBD");
}

TEST(Encoding, Utf16RoundTripsSurrogatesAndReplacesInvalidInput) {
    const std::string text = "a语😀";
    const std::u16string units = Utf8ToUtf16(text);
    EXPECT_EQ(units.size(), 4u);
    EXPECT_EQ(Utf16ToUtf8(units), text);
    EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xE8\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(CountCodePoints("a语😀"), 3u);
    EXPECT_EQ(Utf8ToUtf32("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD"); // encoded surrogate
}
