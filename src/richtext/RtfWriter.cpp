#include "richtext/RtfWriter.h"

#include "richtext/Charsets.h"

#include "platform/Encoding.h"

#include <algorithm>
#include <array>
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
        // The code page follows the text's script, not the fonts' character sets: a Chinese
        // face may carry a Japanese set, and a Latin face may hold Chinese text.
        const auto rank = [](int codePage) {
            return codePage == 932   ? 4
                   : codePage == 949 ? 3
                   : codePage == 936 ? 2
                                     : codePage != 1252;
        };
        for (const Paragraph& p : doc_.Paragraphs()) {
            used[p.endFormat] = true;
            for (const auto& r : p.runs) {
                used[r.format] = true;
            }
            const int codePage = AnsiCodePageOfText(p.text);
            if (rank(codePage) > rank(ansiCodePage_)) {
                ansiCodePage_ = codePage;
            }
        }
        fontOf_.assign(doc_.FormatCount(), 0);
        colorOf_.assign(doc_.FormatCount(), 0);
        backgroundOf_.assign(doc_.FormatCount(), 0);
        std::map<std::pair<std::string, int>, int> fonts;
        std::string fontTable = "{\\fonttbl";
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
            }
            fontOf_[id] = font->second;
            if (!f.autoColor) {
                colorOf_[id] = ColorIndex(f.color);
            }
            if (!f.autoBackground) {
                backgroundOf_[id] = ColorIndex(f.background);
            }
        }
        header_ = fontTable + "}";
        if (!colors_.empty()) {
            header_ += colorTable_ + "}";
        }
        header_ += "\n\\uc1\\pard";
    }

    // The colour table's index of a colour, which is added when new.
    int ColorIndex(std::uint32_t rgb) {
        const auto [found, added] = colors_.emplace(rgb, static_cast<int>(colors_.size()) + 1);
        if (added) {
            colorTable_ += "\\red" + std::to_string((rgb >> 16) & 0xFF) + "\\green" +
                           std::to_string((rgb >> 8) & 0xFF) + "\\blue" +
                           std::to_string(rgb & 0xFF) + ";";
        }
        return found->second;
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
                for (const char16_t unit : Utf16Units(c)) {
                    if (unit != 0) {
                        out += "\\u" + std::to_string(Signed16(unit)) + "?";
                    }
                }
            }
        }
        return out;
    }

    // One unit, or a surrogate pair for a character beyond 16 bits (the second unit 0 if none).
    static std::array<char16_t, 2> Utf16Units(char32_t c) {
        if (c < 0x10000) {
            return {static_cast<char16_t>(c), 0};
        }
        const char32_t v = c - 0x10000;
        return {static_cast<char16_t>(0xD800 + (v >> 10)),
                static_cast<char16_t>(0xDC00 + (v & 0x3FF))};
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
            // Word processors keep a font per script: \f after \loch is the Western one,
            // \af after \hich and \dbch those of other Latin and of East Asian text.
            const int font = fontOf_[id];
            Word("\\loch\\f", font);
            Word("\\hich\\af", font);
            Word("\\dbch\\af", font);
            script_ = Script::EastAsian;
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
        if (!was || backgroundOf_[*current_] != backgroundOf_[id]) {
            SwitchBackground(f, backgroundOf_[id]);
        }
        current_ = id;
    }

    // A background among the highlight colours is written as highlighting, which every word
    // processor reads; any other as character shading, which keeps the exact colour.
    void SwitchBackground(const CharFormat& f, int color) {
        static constexpr std::uint32_t kHighlights[] = {
            0x000000, 0x0000FF, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0xFFFF00, 0xFFFFFF,
            0x000080, 0x008080, 0x008000, 0x800080, 0x800000, 0x808000, 0x808080, 0xC0C0C0};
        const bool highlight =
            color != 0 && std::find(std::begin(kHighlights), std::end(kHighlights), f.background) !=
                              std::end(kHighlights);
        const char* const word = highlight ? "\\highlight" : "\\chcbpat";
        // Clear what the other word set, or a reader that keeps both shows the old one.
        if (highlighted_ != highlight || color == 0) {
            if (backgroundSet_) {
                Word(highlighted_ ? "\\highlight" : "\\chcbpat", 0);
            }
            backgroundSet_ = false;
        }
        if (color != 0) {
            Word(word, color);
            highlighted_ = highlight;
            backgroundSet_ = true;
        }
    }

    // Neutral characters read in the font of the script selected last; letters of another
    // script are preceded by their selector, as word processors write them.
    void SelectScript(Script script) {
        if (script == Script::Western && script_ != Script::Western) {
            Word("\\loch");
            script_ = Script::Western;
        } else if (script == Script::EastAsian && script_ != Script::EastAsian) {
            Word("\\dbch");
            script_ = Script::EastAsian;
        }
    }

    void WriteParagraph(const Paragraph& p) {
        if (p.alignment != alignment_ || first_) {
            Word(p.alignment == Alignment::Center    ? "\\qc"
                 : p.alignment == Alignment::Right   ? "\\qr"
                 : p.alignment == Alignment::Justify ? "\\qj"
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
            if (script_ != Script::Western && ScriptOf(c) == Script::Western) {
                SelectScript(Script::Western);
            }
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
            SelectScript(ScriptOf(c));
            if (c >= 0x10000) {
                // Outside the 16-bit range: a surrogate pair, each half with one "?".
                SkipCount(1);
                for (const char16_t unit : Utf16Units(c)) {
                    Word("\\u", Signed16(unit));
                    body_ += '?';
                }
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
    std::vector<int> backgroundOf_;
    std::map<std::uint32_t, int> colors_;
    std::string colorTable_ = "{\\colortbl ;";
    bool backgroundSet_ = false; // by \highlight when highlighted_, else by \chcbpat
    bool highlighted_ = false;
    Script script_ = Script::Western;
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
