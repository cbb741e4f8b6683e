#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace PlenvoService {

bool IsValidUtf8(std::string_view text);
// Number of code points of valid UTF-8 text.
size_t CodePointCount(std::string_view text);
// Removes ASCII white space and the ideographic space at both ends.
std::string Trim(std::string_view text);

// The text as a regular expression that matches it literally.
std::string EscapeRegex(const std::string& text);

// A whole decimal number in [min, max]; anything else (blank, sign only, trailing text,
// overflow) is none.
std::optional<int64_t> ParseInteger(std::string_view text, int64_t min, int64_t max);

// Decodes %XX escapes and, for form bodies, '+' as a blank; none on a broken escape.
std::optional<std::string> PercentDecode(std::string_view text, bool plusIsBlank);

using FormFields = std::vector<std::pair<std::string, std::string>>;

// Parses an application/x-www-form-urlencoded body. Every pair needs a non-empty key and an
// "="; a broken escape makes the whole body malformed.
std::optional<FormFields> ParseForm(std::string_view body);

} // namespace PlenvoService
