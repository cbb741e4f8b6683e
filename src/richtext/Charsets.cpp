#include "richtext/Charsets.h"

namespace richtext {

int CodePageOfCharset(int charset) {
    switch (charset) {
    case 0:
    case 2:
        return 1252;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    default:
        return 0;
    }
}

Script ScriptOfWide(char32_t c) {
    if (c < 0x250) {
        // Latin-1 and Latin Extended letters; the symbols and signs between them are neutral.
        return c >= 0xC0 && c != 0xD7 && c != 0xF7 ? Script::Western : Script::Neutral;
    }
    if (c < 0x590) {
        return Script::Western; // IPA, Greek, Cyrillic, Armenian
    }
    if (c < 0xF00) {
        return Script::Complex; // Hebrew, Arabic, Syriac, Indic scripts, Thai, Lao
    }
    if (c >= 0x1100 && c <= 0x11FF) {
        return Script::EastAsian; // Hangul jamo
    }
    if (c >= 0x1E00 && c <= 0x1EFF) {
        return Script::Western;
    }
    if ((c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7AF) ||
        (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
        (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF)) {
        return Script::EastAsian; // CJK, kana, Hangul, full-width forms
    }
    if ((c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF)) {
        return Script::Complex;
    }
    return Script::Neutral;
}

int AnsiCodePageOfText(std::u32string_view text) {
    bool han = false;
    bool hangul = false;
    int alphabet = 0;
    for (const char32_t c : text) {
        if (c < 0x370) {
            continue;
        }
        if (c >= 0x3040 && c <= 0x30FF) {
            return 932; // kana: Japanese, whatever else the text holds
        }
        if ((c >= 0x1100 && c <= 0x11FF) || (c >= 0xAC00 && c <= 0xD7AF)) {
            hangul = true;
        } else if ((c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
                   (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFFEF) ||
                   (c >= 0x20000 && c <= 0x3FFFF)) {
            han = true;
        } else if (alphabet == 0) {
            alphabet = c < 0x400                 ? 1253
                       : c < 0x530               ? 1251
                       : c < 0x590               ? 0
                       : c < 0x600               ? 1255
                       : c < 0x700               ? 1256
                       : c >= 0xE00 && c < 0xE80 ? 874
                                                 : 0;
        }
    }
    if (hangul) {
        return 949;
    }
    if (han) {
        return 936;
    }
    return alphabet != 0 ? alphabet : 1252;
}

} // namespace richtext
