#include "Text.h"

#include <charconv>
#include <regex>

namespace PlenvoService {

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t length;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            length = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + length > n)
            return false;
        for (size_t k = 1; k < length; ++k) {
            auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((length == 2 && cp < 0x80) || (length == 3 && cp < 0x800) ||
            (length == 4 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

size_t CodePointCount(std::string_view text) {
    size_t count = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    return count;
}

std::string Trim(std::string_view text) {
    static const std::string_view ideographicSpace = "\xE3\x80\x80";
    bool changed = true;
    while (changed && !text.empty()) {
        changed = false;
        if (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
            text.front() == '\n') {
            text.remove_prefix(1);
            changed = true;
        } else if (text.substr(0, 3) == ideographicSpace) {
            text.remove_prefix(3);
            changed = true;
        }
        if (text.empty())
            break;
        if (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
            text.back() == '\n') {
            text.remove_suffix(1);
            changed = true;
        } else if (text.size() >= 3 && text.substr(text.size() - 3) == ideographicSpace) {
            text.remove_suffix(3);
            changed = true;
        }
    }
    return std::string(text);
}

std::string EscapeRegex(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

std::optional<int64_t> ParseInteger(std::string_view text, int64_t min, int64_t max) {
    if (text.empty())
        return std::nullopt;
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

std::optional<std::string> PercentDecode(std::string_view text, bool plusIsBlank) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            int high = HexDigit(text[i + 1]);
            int low = HexDigit(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else if (c == '+' && plusIsBlank) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<FormFields> ParseForm(std::string_view body) {
    FormFields fields;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string_view::npos)
            end = body.size();
        std::string_view pair = body.substr(start, end - start);
        if (!pair.empty()) {
            size_t equals = pair.find('=');
            if (equals == std::string_view::npos || equals == 0)
                return std::nullopt;
            auto key = PercentDecode(pair.substr(0, equals), true);
            auto value = PercentDecode(pair.substr(equals + 1), true);
            if (!key || !value || key->empty())
                return std::nullopt;
            fields.emplace_back(std::move(*key), std::move(*value));
        }
        if (end == body.size())
            break;
        start = end + 1;
    }
    return fields;
}

} // namespace PlenvoService
