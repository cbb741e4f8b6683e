#pragma once
// Text encodings: the program's text is UTF-8; UTF-16 where a format asks for it (debug.log,
// RTF's \uN), and legacy code pages such as GBK through iconv.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Invalid input bytes or unpaired surrogates become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
std::u32string Utf8ToUtf32(std::string_view utf8);
std::string Utf32ToUtf8(std::u32string_view utf32);
// Appends one code point as UTF-8 (U+FFFD for values that are not scalar values).
void AppendUtf8(std::string& out, char32_t codePoint);
// Number of code points in valid or invalid UTF-8 (each invalid byte counts as one).
std::size_t CountCodePoints(std::string_view utf8);

// The iconv name of a Windows code page number (936 gives "CP936", 65001 "UTF-8"), empty for
// numbers iconv does not know.
std::string CodePageName(int codePage);
// Converts between two iconv encodings; nullopt when an encoding is unknown. Bytes that cannot
// be converted become U+FFFD (or '?' in the target) rather than stopping the conversion.
std::optional<std::string> ConvertEncoding(std::string_view bytes, const std::string& from,
                                           const std::string& to);
// Legacy bytes to UTF-8 and back, by code page number.
std::optional<std::string> CodePageToUtf8(std::string_view bytes, int codePage);
std::optional<std::string> Utf8ToCodePage(std::string_view utf8, int codePage);

} // namespace platform
