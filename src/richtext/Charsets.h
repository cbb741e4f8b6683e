#pragma once
// RTF's \fcharset numbers, the code pages their bytes are in, and the scripts that decide which
// of a word processor's fonts a character takes.
#include <string_view>

namespace richtext {

// The code page of a font character set; 0 for the default set and for unknown ones, whose bytes
// are in the document's code page (\ansicpg).
int CodePageOfCharset(int charset);

// Word processors keep separate fonts for Western, East Asian and complex-script text; a
// neutral character (space, punctuation, symbol) takes the font of the text around it.
enum class Script : unsigned char { Western = 0, EastAsian = 1, Complex = 2, Neutral = 3 };

Script ScriptOfWide(char32_t c);

inline Script ScriptOf(char32_t c) {
    if (c < 0x80) {
        const bool alnum = (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
        return alnum ? Script::Western : Script::Neutral;
    }
    return ScriptOfWide(c);
}

// The ANSI code page that suits the text's script: 936 for Chinese, 932 when it holds Japanese
// kana, 949 for Korean, the Windows code page of another alphabet, 1252 otherwise.
int AnsiCodePageOfText(std::u32string_view text);

} // namespace richtext
