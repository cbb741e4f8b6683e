#include "richtext/RtfWriter.h"

#include "richtext/Charsets.h"

#include "platform/Encoding.h"

#include <charconv>
#include <map>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

namespace richtext {

namespace {

// Length of the code-page character that starts with `lead`.
std::size_t CharBytes(int codePage, unsigned char lead) {
    switch (codePage) {
    case 936:
    case 949:
    case 950:
        return lead >= 0x81 && lead <= 0xFE ? 2 : 1;
    case 932:
        return (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC) ? 2 : 1;
    default:
        return 1;
    }
}

// The code-page bytes of each character of `text` ("?" where the code page has none).
std::vector<std::string> EncodeEach(std::u32string_view text, int codePage) {
    std::vector<std::string> out;
    out.reserve(text.size());
    if (codePage == 0) {
        out.assign(text.size(), "?");
        return out;
    }
    const std::optional<std::string> bytes =
        platform::Utf8ToCodePage(platform::Utf32ToUtf8(text), codePage);
    if (bytes) {
        // One conversion for the whole stretch, split again by the code page's lead bytes.
        std::size_t at = 0;
        for (std::size_t i = 0; i < text.size() && at < bytes->size(); ++i) {
            const std::size_t n = CharBytes(codePage, static_cast<unsigned char>((*bytes)[at]));
            out.push_back(bytes->substr(at, n));
            at += n;
        }
        if (out.size() == text.size() && at == bytes->size()) {
            return out;
        }
    }
    // The split did not line up: convert character by character.
    out.clear();
    for (char32_t cp : text) {
        const std::optional<std::string> one =
            platform::Utf8ToCodePage(platform::Utf32ToUtf8(std::u32string_view(&cp, 1)), codePage);
        out.push_back(one && !one->empty() ? *one : std::string("?"));
    }
    return out;
}

class Writer {
public:
    explicit Writer(const CDocument& doc) : doc_(doc) {}

    std::string Run() {
        CollectTables();
        body_.reserve(doc_.Length() * 2 + 64);
        for (const Paragraph& p : doc_.Paragraphs()) {
            WriteParagraph(p);
        }
        std::string out = "{\\rtf1\\ansi\\ansicpg" + std::to_string(ansiCodePage_) + "\\deff0";
        out += header_;
        out += body_;
        out += "}";
        return out;
    }

private:
    void CollectTables() {
        std::vector<bool> used(doc_.FormatCount(), false);
        for (const Paragraph& p : doc_.Paragraphs()) {
            used[p.endFormat] = true;
            for (const auto& r : p.runs) {
                used[r.format] = true;
            }
        }
        fontOf_.assign(doc_.FormatCount(), 0);
        colorOf_.assign(doc_.FormatCount(), 0);
        std::map<std::pair<std::string, int>, int> fonts;
        std::map<std::uint32_t, int> colors;
        std::string fontTable = "{\\fonttbl";
        std::string colorTable = "{\\colortbl ;";
        for (std::size_t id = 0; id < used.size(); ++id) {
            if (!used[id]) {
                continue;
            }
            const CharFormat& f = doc_.Format(static_cast<std::uint32_t>(id));
            const auto key = std::make_pair(f.face, f.charset);
            auto font = fonts.find(key);
            if (font == fonts.end()) {
                const int n = static_cast<int>(fonts.size());
                font = fonts.emplace(key, n).first;
                fontTable += "{\\f" + std::to_string(n) + "\\fnil\\fcharset" +
                             std::to_string(f.charset) + " ";
                fontTable += FontName(f.face, f.charset);
                fontTable += ";}";
                if (f.charset == 134 || f.charset == 136 || f.charset == 128 || f.charset == 129) {
                    ansiCodePage_ = CodePageOfCharset(f.charset);
                }
            }
            fontOf_[id] = font->second;
            if (!f.autoColor) {
                auto color = colors.find(f.color);
                if (color == colors.end()) {
                    const int n = static_cast<int>(colors.size()) + 1;
                    color = colors.emplace(f.color, n).first;
                    colorTable += "\\red" + std::to_string((f.color >> 16) & 0xFF) + "\\green" +
                                  std::to_string((f.color >> 8) & 0xFF) + "\\blue" +
                                  std::to_string(f.color & 0xFF) + ";";
                }
                colorOf_[id] = color->second;
            }
        }
        header_ = fontTable + "}";
        if (!colors.empty()) {
            header_ += colorTable + "}";
        }
        header_ += "\n\\uc1\\pard";
    }

    // A face name in its character set's bytes, as readers of font tables expect them.
    static std::string FontName(const std::string& face, int charset) {
        std::string out;
        const std::u32string name = platform::Utf8ToUtf32(face);
        const std::vector<std::string> bytes = EncodeEach(name, CodePageOfCharset(charset));
        for (std::size_t i = 0; i < name.size(); ++i) {
            const char32_t c = name[i];
            if (c == ';' || c < 0x20) {
                continue;
            }
            if (c < 0x80) {
                if (c == '\\' || c == '{' || c == '}') {
                    out += '\\';
                }
                out += static_cast<char>(c);
            } else if (bytes[i] != "?") {
                for (unsigned char b : bytes[i]) {
                    Hex(out, b);
                }
            } else {
                out += "\\u" + std::to_string(Signed16(c)) + "?";
            }
        }
        return out;
    }

    static int Signed16(char32_t unit) {
        return unit > 0x7FFF ? static_cast<int>(unit) - 0x10000 : static_cast<int>(unit);
    }

    static void Hex(std::string& out, unsigned char b) {
        static const char kDigits[] = "0123456789abcdef";
        out += "\\'";
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }

    void Word(std::string_view word) {
        body_ += word;
        delimit_ = true;
    }

    void Word(std::string_view word, int value) {
        body_ += word;
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        body_.append(digits, end);
        delimit_ = true;
    }

    void SwitchFormat(std::uint32_t id) {
        const CharFormat& f = doc_.Format(id);
        if (!current_ || fontOf_[id] != fontOf_[*current_]) {
            Word("\\f", fontOf_[id]);
        }
        const CharFormat* was = current_ ? &doc_.Format(*current_) : nullptr;
        if (!was || was->heightTwips != f.heightTwips) {
            Word("\\fs", std::max(1, (f.heightTwips + 5) / 10));
        }
        if (!was || colorOf_[*current_] != colorOf_[id]) {
            Word("\\cf", colorOf_[id]);
        }
        const auto toggle = [&](bool on, bool before, const char* set, const char* clear) {
            if (was ? on != before : on) {
                Word(on ? set : clear);
            }
        };
        toggle(f.bold, was && was->bold, "\\b", "\\b0");
        toggle(f.italic, was && was->italic, "\\i", "\\i0");
        toggle(f.underline, was && was->underline, "\\ul", "\\ulnone");
        toggle(f.strikeout, was && was->strikeout, "\\strike", "\\strike0");
        current_ = id;
    }

    void WriteParagraph(const Paragraph& p) {
        if (p.alignment != alignment_ || first_) {
            Word(p.alignment == Alignment::Center  ? "\\qc"
                 : p.alignment == Alignment::Right ? "\\qr"
                                                   : "\\ql");
            alignment_ = p.alignment;
            first_ = false;
        }
        std::size_t at = 0;
        for (const richtext::Run& r : p.runs) {
            if (!current_ || *current_ != r.format) {
                SwitchFormat(r.format);
            }
            WriteText(std::u32string_view(p.text).substr(at, r.length),
                      CodePageOfCharset(doc_.Format(r.format).charset));
            at += r.length;
        }
        if (p.runs.empty() && (!current_ || *current_ != p.endFormat)) {
            SwitchFormat(p.endFormat);
        }
        body_ += "\\par\n";
        delimit_ = false;
    }

    void WriteText(std::u32string_view text, int codePage) {
        std::size_t i = 0;
        while (i < text.size()) {
            const char32_t c = text[i];
            if (c >= 0x80) {
                std::size_t end = i;
                while (end < text.size() && text[end] >= 0x80) {
                    ++end;
                }
                WriteWide(text.substr(i, end - i), codePage);
                i = end;
                continue;
            }
            ++i;
            if (c == '\t') {
                Word("\\tab");
                continue;
            }
            if (c == kLineBreak) {
                Word("\\line");
                continue;
            }
            if (c < 0x20) {
                continue;
            }
            if (delimit_) {
                body_ += ' ';
                delimit_ = false;
            }
            if (c == '\\' || c == '{' || c == '}') {
                body_ += '\\';
            }
            body_ += static_cast<char>(c);
        }
    }

    // The code-page bytes of each character, converted once per character and code page.
    const std::string& Fallback(char32_t c, int codePage, std::u32string_view stretch) {
        auto& known = fallbacks_[codePage];
        auto found = known.find(c);
        if (found == known.end()) {
            const std::vector<std::string> bytes = EncodeEach(stretch, codePage);
            for (std::size_t i = 0; i < stretch.size(); ++i) {
                known.emplace(stretch[i], bytes[i]);
            }
            found = known.find(c);
        }
        return found->second;
    }

    void WriteWide(std::u32string_view text, int codePage) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char32_t c = text[i];
            if (c >= 0x10000) {
                // Outside the 16-bit range: a surrogate pair, each half with one "?".
                SkipCount(1);
                const char32_t v = c - 0x10000;
                Word("\\u", Signed16(0xD800 + (v >> 10)));
                body_ += '?';
                Word("\\u", Signed16(0xDC00 + (v & 0x3FF)));
                body_ += '?';
                delimit_ = false;
                continue;
            }
            const std::string& fallback = Fallback(c, codePage, text.substr(i));
            SkipCount(static_cast<int>(fallback.size()));
            Word("\\u", Signed16(c));
            for (unsigned char b : fallback) {
                // A raw digit or letter here would run into the \u parameter.
                if (b == '?') {
                    body_ += '?';
                } else {
                    Hex(body_, b);
                }
            }
            delimit_ = false;
        }
    }

    void SkipCount(int n) {
        if (n != skipCount_) {
            Word("\\uc", n);
            skipCount_ = n;
        }
    }

    const CDocument& doc_;
    std::string header_;
    std::string body_;
    std::vector<int> fontOf_;
    std::vector<int> colorOf_;
    int ansiCodePage_ = 1252;
    std::optional<std::uint32_t> current_;
    Alignment alignment_ = Alignment::Left;
    bool first_ = true;
    bool delimit_ = false;
    int skipCount_ = 1;
    std::unordered_map<int, std::unordered_map<char32_t, std::string>> fallbacks_;
};

} // namespace

std::string CRtfWriter::Write(const CDocument& document) {
    return Writer(document).Run();
}

} // namespace richtext
