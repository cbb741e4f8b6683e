#include "platform/IniDocument.h"

#include "platform/Encoding.h"

#include <algorithm>

namespace platform {

namespace {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

// The name of a "[name]" line, or nullopt for other lines.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    const auto close = line.find(']');
    return Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
}

std::string DecodeUtf16(std::string_view bytes, bool littleEndian) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(bytes[littleEndian ? i : i + 1]);
        const auto hi = static_cast<unsigned char>(bytes[littleEndian ? i + 1 : i]);
        units += static_cast<char16_t>(lo | (hi << 8));
    }
    return Utf16ToUtf8(units);
}

std::string EncodeUtf16(std::string_view text, bool littleEndian) {
    std::string out = littleEndian ? std::string("\xFF\xFE") : std::string("\xFE\xFF");
    for (char16_t unit : Utf8ToUtf16(text)) {
        const char lo = static_cast<char>(unit & 0xFF);
        const char hi = static_cast<char>(unit >> 8);
        out += littleEndian ? lo : hi;
        out += littleEndian ? hi : lo;
    }
    return out;
}

} // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
    IniDocument doc;
    std::string text;
    if (bytes.starts_with("\xFF\xFE")) {
        doc.encoding_ = Encoding::Utf16LE;
        text = DecodeUtf16(bytes.substr(2), true);
    } else if (bytes.starts_with("\xFE\xFF")) {
        doc.encoding_ = Encoding::Utf16BE;
        text = DecodeUtf16(bytes.substr(2), false);
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        doc.encoding_ = Encoding::Utf8WithMark;
        text = bytes.substr(3);
    } else {
        text = bytes;
    }
    if (text.find("\r\n") != std::string::npos) {
        doc.lineEnd_ = "\r\n";
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? nl : nl - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        doc.lines_.push_back(std::move(line));
        if (nl == std::string::npos) {
            break;
        }
        start = nl + 1;
    }
    return doc;
}

std::string IniDocument::Serialize() const {
    std::string text;
    for (const auto& line : lines_) {
        text += line;
        text += lineEnd_;
    }
    switch (encoding_) {
    case Encoding::Utf16LE:
        return EncodeUtf16(text, true);
    case Encoding::Utf16BE:
        return EncodeUtf16(text, false);
    case Encoding::Utf8WithMark:
        return "\xEF\xBB\xBF" + text;
    case Encoding::Utf8:
        break;
    }
    return text;
}

std::optional<IniDocument::Range> IniDocument::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        auto name = SectionName(lines_[i]);
        if (name && SameName(*name, section)) {
            std::size_t end = i + 1;
            while (end < lines_.size() && !SectionName(lines_[end])) {
                ++end;
            }
            return Range{i, end};
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> IniDocument::FindKey(const Range& range, std::string_view key) const {
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        std::string_view line = lines_[i];
        const auto eq = line.find('=');
        if (eq == std::string_view::npos || Trim(line).starts_with(';')) {
            continue;
        }
        if (SameName(Trim(line.substr(0, eq)), key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
    auto range = FindSection(section);
    if (!range) {
        return std::nullopt;
    }
    auto at = FindKey(*range, key);
    if (!at) {
        return std::nullopt;
    }
    std::string_view line = lines_[*at];
    return std::string(Trim(line.substr(line.find('=') + 1)));
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    auto range = FindSection(section);
    if (!range) {
        // Appended piece by piece: GCC 12 at -O3 misreads "[" + std::string as overlapping copies.
        std::string header = "[";
        header.append(section).append("]");
        lines_.push_back(std::move(header));
        lines_.push_back(std::string(key) + "=" + std::string(value));
        return;
    }
    if (auto at = FindKey(*range, key)) {
        std::string& line = lines_[*at];
        // Keep the key as it was spelt in the file.
        line = std::string(Trim(std::string_view(line).substr(0, line.find('=')))) + "=" +
               std::string(value);
        return;
    }
    // After the section's last non-blank line, so a blank line before the next section stays.
    std::size_t insert = range->end;
    while (insert > range->header + 1 && Trim(lines_[insert - 1]).empty()) {
        --insert;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert),
                  std::string(key) + "=" + std::string(value));
}

void IniDocument::RemoveKey(std::string_view section, std::string_view key) {
    if (auto range = FindSection(section)) {
        if (auto at = FindKey(*range, key)) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*at));
        }
    }
}

void IniDocument::RemoveSection(std::string_view section) {
    if (auto range = FindSection(section)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->header),
                     lines_.begin() + static_cast<std::ptrdiff_t>(range->end));
    }
}

} // namespace platform
