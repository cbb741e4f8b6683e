#include "view/StyleValues.h"

#include "gfx/NamedImages.h"

#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace Plenvo {

// The patterns are matched by hand rather than with std::regex: the library's recursive matcher
// can exhaust the stack on long texts, and these few patterns are simple enough to follow exactly,
// including where their first match falls and what each group takes.
namespace {

using Span = std::string_view;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The regular-expression wildcard: anything but a line terminator.
bool IsWildcard(char c) {
    return c != '\n' && c != '\r';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool LiteralAt(Span text, std::size_t at, Span literal, bool icase) {
    if (text.size() - at < literal.size()) {
        return false;
    }
    for (std::size_t i = 0; i < literal.size(); ++i) {
        const char a = text[at + i];
        const char b = literal[i];
        if (icase ? Lower(a) != Lower(b) : a != b) {
            return false;
        }
    }
    return true;
}

std::size_t DigitsFrom(Span text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && IsDigit(text[end])) {
        ++end;
    }
    return end;
}

int Atoi(Span digits) {
    return std::atoi(std::string(digits).c_str());
}

double Atof(Span number) {
    return std::atof(std::string(number).c_str());
}

// "<literal>\((\d+),...,(\d+)\)" with `count` groups: the first match's groups through atoi.
template <std::size_t count>
std::optional<std::array<int, count>> MatchCall(Span text, Span literal) {
    for (std::size_t p = 0; p + literal.size() <= text.size(); ++p) {
        if (!LiteralAt(text, p, literal, true)) {
            continue;
        }
        std::array<int, count> values{};
        std::size_t at = p + literal.size();
        bool ok = true;
        for (std::size_t i = 0; i < count && ok; ++i) {
            const std::size_t end = DigitsFrom(text, at);
            const char closer = i + 1 < count ? ',' : ')';
            ok = end > at && end < text.size() && text[end] == closer;
            if (ok) {
                values[i] = Atoi(text.substr(at, end - at));
                at = end + 1;
            }
        }
        if (ok) {
            return values;
        }
    }
    return std::nullopt;
}

// "<literal>([^;$]+)": the run after the first occurrence that is followed by such a character.
std::optional<Span> MatchField(Span text, Span literal) {
    for (std::size_t p = 0; p + literal.size() <= text.size(); ++p) {
        if (!LiteralAt(text, p, literal, true)) {
            continue;
        }
        const std::size_t start = p + literal.size();
        std::size_t end = start;
        while (end < text.size() && text[end] != ';' && text[end] != '$') {
            ++end;
        }
        if (end > start) {
            return text.substr(start, end - start);
        }
    }
    return std::nullopt;
}

// "<literal>(\d+.?\d*)" (anyDot) or "<literal>(\d+\.?\d*)": greedy, so never backtracks.
std::optional<Span> MatchNumber(Span text, Span literal, bool icase, bool anyDot) {
    for (std::size_t p = 0; p + literal.size() <= text.size(); ++p) {
        if (!LiteralAt(text, p, literal, icase)) {
            continue;
        }
        const std::size_t start = p + literal.size();
        std::size_t end = DigitsFrom(text, start);
        if (end == start) {
            continue;
        }
        if (end < text.size() && (anyDot ? IsWildcard(text[end]) : text[end] == '.')) {
            end = DigitsFrom(text, end + 1);
        }
        return text.substr(start, end - start);
    }
    return std::nullopt;
}

// "(-?\d+.?\d*),(-?\d+.?\d*),(-?\d+.?\d*),(-?\d+.?\d*)" with the backtracking order of the
// regular-expression engine. The wildcard may swallow a comma, so the groups are not simply the
// comma-separated fields. Only where a group ends matters to the rest of the match, so each group
// tries its distinct end positions in the order the greedy quantifiers would reach them, and a
// (group, start) pair that failed once is not tried again.
class PaddingMatcher {
public:
    explicit PaddingMatcher(Span text) : text_(text), failed_(4 * (text.size() + 1), false) {}

    std::optional<std::array<Span, 4>> Search() {
        for (std::size_t p = 0; p < text_.size(); ++p) {
            if (Group(0, p)) {
                return groups_;
            }
        }
        return std::nullopt;
    }

private:
    bool Group(std::size_t k, std::size_t start) {
        const std::size_t slot = k * (text_.size() + 1) + start;
        if (failed_[slot]) {
            return false;
        }
        const bool minus = start < text_.size() && text_[start] == '-';
        for (int takeMinus = minus ? 1 : 0; takeMinus >= 0; --takeMinus) {
            const std::size_t digits = start + static_cast<std::size_t>(takeMinus);
            const std::size_t runEnd = DigitsFrom(text_, digits);
            if (runEnd == digits) {
                continue;
            }
            if (runEnd < text_.size() && IsWildcard(text_[runEnd])) {
                const std::size_t afterDot = runEnd + 1;
                for (std::size_t end = DigitsFrom(text_, afterDot); end >= afterDot; --end) {
                    if (Continue(k, start, end)) {
                        return true;
                    }
                }
            }
            for (std::size_t end = runEnd; end > digits; --end) {
                if (Continue(k, start, end)) {
                    return true;
                }
            }
        }
        failed_[slot] = true;
        return false;
    }

    bool Continue(std::size_t k, std::size_t start, std::size_t end) {
        groups_[k] = text_.substr(start, end - start);
        if (k == 3) {
            return true;
        }
        return end < text_.size() && text_[end] == ',' && Group(k + 1, end + 1);
    }

    Span text_;
    std::vector<char> failed_;
    std::array<Span, 4> groups_;
};

// Longer padding texts are not meaningful, and the search is quadratic in long digit runs.
constexpr std::size_t kMaxPaddingText = 4096;

bool Contains(Span text, Span word) {
    return text.find(word) != Span::npos;
}

} // namespace

gfx::Color ParseColor(std::string_view text, gfx::Color defaultColor) {
    if (text.empty()) {
        return defaultColor;
    }
    if (const auto argb = MatchCall<4>(text, "argb(")) {
        return gfx::MakeArgb((*argb)[0], (*argb)[1], (*argb)[2], (*argb)[3]);
    }
    if (const auto rgb = MatchCall<3>(text, "rgb(")) {
        return gfx::MakeArgb(255, (*rgb)[0], (*rgb)[1], (*rgb)[2]);
    }
    return gfx::kNoColor;
}

FontSet ParseFont(std::string_view text) {
    const auto family = MatchField(text, "family:");
    const auto size = MatchNumber(text, "size:", true, true);
    const auto color = MatchField(text, "color:");

    int style = gfx::FontStyleRegular;
    if (Contains(text, "bold")) {
        style |= gfx::FontStyleBold;
    }
    if (Contains(text, "italic")) {
        style |= gfx::FontStyleItalic;
    }
    if (Contains(text, "underline")) {
        style |= gfx::FontStyleUnderline;
    }
    if (Contains(text, "strikeout")) {
        style |= gfx::FontStyleStrikeout;
    }

    FontSet set;
    set.font = std::make_unique<gfx::Font>(family ? std::string(*family) : std::string("宋体"),
                                           size ? Atof(*size) : 6.0, style);
    set.format = std::make_unique<gfx::StringFormat>();
    if (Contains(text, "line-align-center")) {
        set.format->SetLineAlignment(gfx::StringAlignment::Center);
    } else if (Contains(text, "line-align-top")) {
        set.format->SetLineAlignment(gfx::StringAlignment::Near);
    } else if (Contains(text, "line-align-bottom")) {
        set.format->SetLineAlignment(gfx::StringAlignment::Far);
    }
    if (Contains(text, "string-align-center")) {
        set.format->SetAlignment(gfx::StringAlignment::Center);
    } else if (Contains(text, "string-align-near")) {
        set.format->SetAlignment(gfx::StringAlignment::Near);
    }
    set.brush = std::make_unique<gfx::SolidBrush>(ParseColor(color ? *color : Span()));
    return set;
}

std::unique_ptr<gfx::Pen> ParsePen(std::string_view text) {
    const gfx::Color color = ParseColor(text);
    if (color == gfx::kNoColor) {
        return nullptr;
    }
    const auto width = MatchNumber(text, "w:", false, false);
    return std::make_unique<gfx::Pen>(color, width ? Atof(*width) : 1.0);
}

Padding ParsePadding(std::string_view text) {
    PaddingMatcher matcher(text.substr(0, kMaxPaddingText));
    const auto groups = matcher.Search();
    if (!groups) {
        return {};
    }
    return {Atof((*groups)[3]), Atof((*groups)[0]), Atof((*groups)[1]), Atof((*groups)[2])};
}

SizeValue ReadSize(const nlohmann::json& object, std::string_view key) {
    if (!object.is_object()) {
        return {};
    }
    const auto it = object.find(key);
    if (it == object.end()) {
        return {};
    }
    if (it->is_number()) {
        return {it->get<double>(), SizeKind::Number};
    }
    if (it->is_string()) {
        const std::string& s = it->get_ref<const std::string&>();
        if (s.find("px") != std::string::npos) {
            return {std::atof(s.c_str()), SizeKind::Pixels};
        }
        if (s.find('%') != std::string::npos) {
            return {std::atof(s.c_str()), SizeKind::Percent};
        }
    }
    return {};
}

Cursor ParseCursor(std::string_view text) {
    if (text == "hand") {
        return Cursor::Hand;
    }
    if (text == "arrow") {
        return Cursor::Arrow;
    }
    return Cursor::None;
}

std::unique_ptr<gfx::Bitmap> LoadImage(std::string_view name) {
    if (const auto bytes = gfx::FindNamedImage(name); !bytes.empty()) {
        return gfx::Bitmap::FromBytes(bytes);
    }
    // "file:///<path>": the path keeps its leading slash, which makes it absolute here.
    constexpr Span kScheme = "file:///";
    if (name.substr(0, kScheme.size()) == kScheme) {
        return gfx::Bitmap::FromFile(std::string(name.substr(kScheme.size() - 1)));
    }
    return nullptr;
}

} // namespace Plenvo
