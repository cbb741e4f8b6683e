#include "richtext/RtfReader.h"

#include "richtext/Charsets.h"

#include "platform/Encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <glib.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace richtext {

namespace {

// Nesting beyond this is read with the state of the deepest group, so that a flood of braces
// costs neither stack nor memory.
constexpr std::size_t kMaxDepth = 256;
constexpr int kMaxSkip = 255;

// ListText: the visible number of an automatically numbered paragraph.
enum class Destination { Text, FontTable, ColorTable, ListText };

struct FontEntry {
    std::string name; // UTF-8
    int charset = -1;
    int codePage = 0;
};

struct ColorEntry {
    bool automatic = true;
    std::uint32_t rgb = 0;
};

// What the associated properties (\af \afs \ab \ai) set for East Asian or complex-script text;
// whatever they leave unset follows the Western properties.
struct Associated {
    int font = -1;
    int halfPoints = 0;
    signed char bold = -1;
    signed char italic = -1;
};

struct State {
    Destination destination = Destination::Text;
    // The Western properties, which \f \fs \b \i set and the other scripts fall back to.
    int font = -1;
    int halfPoints = 0; // 0: the defaults' size
    bool bold = false;
    bool italic = false;
    Associated eastAsian;
    Associated complex;
    // The character type \loch \hich \dbch selected, and the direction \rtlch \ltrch did: an
    // \rtlch run is complex script, an \ltrch one returns to the type. The selected script is
    // the one \f and the associated properties describe, and the one neutral characters take.
    Script charType = Script::Western;
    bool rightToLeft = false;
    Script Selected() const { return rightToLeft ? Script::Complex : charType; }
    // The script a neutral character (space, punctuation) takes: that of the strong character
    // before it, or the one selected since.
    Script neutral = Script::Western;
    bool underline = false;
    bool strikeout = false;
    int color = -1;      // index into the colour table, -1 automatic
    int background = -1; // index into the colour table, -1 none
    int skipCount = 1;   // \ucN
    Alignment alignment = Alignment::Left;
};

int CodePageOf(int charset, int ansiCodePage) {
    const int codePage = CodePageOfCharset(charset);
    return codePage != 0 ? codePage : ansiCodePage;
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

enum class Kw : unsigned char {
    Unknown,
    Skipped, // a destination whose group holds no text of the document
    Par,
    Line,
    Tab,
    Unicode,
    ListText,
    Uc,
    Bin,
    Emdash,
    Endash,
    Bullet,
    Lquote,
    Rquote,
    Ldblquote,
    Rdblquote,
    Emspace,
    Enspace,
    Ansicpg,
    Ansi,
    Deff,
    Fonttbl,
    Colortbl,
    Plain,
    Western,
    EastAsian,
    LeftToRight,
    RightToLeft,
    AssociatedBold,
    AssociatedItalic,
    AssociatedSize,
    AssociatedFont,
    Background,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Strike,
    FontSize,
    Font,
    Color,
    Fcharset,
    Cpg,
    Red,
    Green,
    Blue,
    Pard,
    AlignLeft,
    Justify,
    Center,
    AlignRight,
};

struct KeywordEntry {
    std::string_view name;
    Kw keyword;
};

// The words this reader acts on, and the destinations whose groups hold no text of the document.
constexpr KeywordEntry kKeywords[] = {
    {"par", Kw::Par},
    {"sect", Kw::Par},
    {"page", Kw::Par},
    {"row", Kw::Par},
    {"line", Kw::Line},
    {"tab", Kw::Tab},
    {"cell", Kw::Tab},
    {"u", Kw::Unicode},
    {"listtext", Kw::ListText},
    {"pntext", Kw::ListText},
    {"uc", Kw::Uc},
    {"bin", Kw::Bin},
    {"emdash", Kw::Emdash},
    {"endash", Kw::Endash},
    {"bullet", Kw::Bullet},
    {"lquote", Kw::Lquote},
    {"rquote", Kw::Rquote},
    {"ldblquote", Kw::Ldblquote},
    {"rdblquote", Kw::Rdblquote},
    {"emspace", Kw::Emspace},
    {"enspace", Kw::Enspace},
    {"ansicpg", Kw::Ansicpg},
    {"ansi", Kw::Ansi},
    {"deff", Kw::Deff},
    {"fonttbl", Kw::Fonttbl},
    {"colortbl", Kw::Colortbl},
    {"plain", Kw::Plain},
    {"loch", Kw::Western},
    {"hich", Kw::Western},
    {"ltrch", Kw::LeftToRight},
    {"dbch", Kw::EastAsian},
    {"rtlch", Kw::RightToLeft},
    {"ab", Kw::AssociatedBold},
    {"ai", Kw::AssociatedItalic},
    {"afs", Kw::AssociatedSize},
    {"af", Kw::AssociatedFont},
    {"chcbpat", Kw::Background},
    {"highlight", Kw::Background},
    {"cb", Kw::Background},
    {"b", Kw::Bold},
    {"i", Kw::Italic},
    {"ul", Kw::Underline},
    {"uld", Kw::Underline},
    {"uldb", Kw::Underline},
    {"ulw", Kw::Underline},
    {"ulwave", Kw::Underline},
    {"uldash", Kw::Underline},
    {"ulth", Kw::Underline},
    {"ulnone", Kw::UnderlineNone},
    {"strike", Kw::Strike},
    {"strikedl", Kw::Strike},
    {"fs", Kw::FontSize},
    {"f", Kw::Font},
    {"cf", Kw::Color},
    {"fcharset", Kw::Fcharset},
    {"cpg", Kw::Cpg},
    {"red", Kw::Red},
    {"green", Kw::Green},
    {"blue", Kw::Blue},
    {"pard", Kw::Pard},
    {"ql", Kw::AlignLeft},
    {"qd", Kw::AlignLeft},
    {"qj", Kw::Justify},
    {"qc", Kw::Center},
    {"qr", Kw::AlignRight},
    {"annotation", Kw::Skipped},
    {"atnauthor", Kw::Skipped},
    {"atnid", Kw::Skipped},
    {"author", Kw::Skipped},
    {"bkmkend", Kw::Skipped},
    {"bkmkstart", Kw::Skipped},
    {"buptim", Kw::Skipped},
    {"colorschememapping", Kw::Skipped},
    {"comment", Kw::Skipped},
    {"company", Kw::Skipped},
    {"creatim", Kw::Skipped},
    {"datastore", Kw::Skipped},
    {"docvar", Kw::Skipped},
    {"doccomm", Kw::Skipped},
    {"falt", Kw::Skipped},
    {"field_inst", Kw::Skipped},
    {"filetbl", Kw::Skipped},
    {"fldinst", Kw::Skipped},
    {"footer", Kw::Skipped},
    {"footerf", Kw::Skipped},
    {"footerl", Kw::Skipped},
    {"footerr", Kw::Skipped},
    {"footnote", Kw::Skipped},
    {"ftncn", Kw::Skipped},
    {"ftnsep", Kw::Skipped},
    {"ftnsepc", Kw::Skipped},
    {"generator", Kw::Skipped},
    {"header", Kw::Skipped},
    {"headerf", Kw::Skipped},
    {"headerl", Kw::Skipped},
    {"headerr", Kw::Skipped},
    {"info", Kw::Skipped},
    {"keywords", Kw::Skipped},
    {"latentstyles", Kw::Skipped},
    {"listoverridetable", Kw::Skipped},
    {"listtable", Kw::Skipped},
    {"mmathPr", Kw::Skipped},
    {"nonshppict", Kw::Skipped},
    {"object", Kw::Skipped},
    {"operator", Kw::Skipped},
    {"panose", Kw::Skipped},
    {"pgdsctbl", Kw::Skipped},
    {"pict", Kw::Skipped},
    {"pn", Kw::Skipped},
    {"pntxta", Kw::Skipped},
    {"pntxtb", Kw::Skipped},
    {"printim", Kw::Skipped},
    {"private", Kw::Skipped},
    {"revtbl", Kw::Skipped},
    {"revtim", Kw::Skipped},
    {"rsidtbl", Kw::Skipped},
    {"shp", Kw::Skipped},
    {"shpinst", Kw::Skipped},
    {"sn", Kw::Skipped},
    {"sp", Kw::Skipped},
    {"stylesheet", Kw::Skipped},
    {"subject", Kw::Skipped},
    {"sv", Kw::Skipped},
    {"tc", Kw::Skipped},
    {"template", Kw::Skipped},
    {"themedata", Kw::Skipped},
    {"title", Kw::Skipped},
    {"txe", Kw::Skipped},
    {"xe", Kw::Skipped},
    {"xmlnstbl", Kw::Skipped},
    {"userprops", Kw::Skipped},
    {"wgrffmtfilter", Kw::Skipped},
    {"objdata", Kw::Skipped},
};

// One lookup per control word, among the few words of its initial and length: documents carry
// hundreds of thousands of control words, most of them ones this reader passes over.
Kw KeywordOf(std::string_view word) {
    constexpr std::size_t kLengths = 16;
    const auto bucket = [](std::string_view w) {
        return static_cast<std::size_t>(w[0] - 'a') * kLengths + std::min(w.size(), kLengths - 1);
    };
    static const auto kBuckets = [&] {
        std::array<std::vector<KeywordEntry>, 26 * kLengths> buckets;
        for (const KeywordEntry& entry : kKeywords) {
            buckets[bucket(entry.name)].push_back(entry);
        }
        return buckets;
    }();
    if (word.empty() || word[0] < 'a' || word[0] > 'z') {
        return Kw::Unknown;
    }
    for (const KeywordEntry& entry : kBuckets[bucket(word)]) {
        if (entry.name == word) {
            return entry.keyword;
        }
    }
    return Kw::Unknown;
}

class Reader {
public:
    Reader(std::string_view in, const CharFormat& defaults)
        : in_(in), defaults_(defaults), doc_(defaults) {
        // Word processors write 7-bit RTF; a document typed in a UTF-8 editor carries its text
        // as raw UTF-8, which no code page would read right.
        const bool eightBit = std::any_of(
            in.begin(), in.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        rawUtf8_ = eightBit && g_utf8_validate_len(in.data(), in.size(), nullptr);
    }

    CDocument Run() {
        std::size_t depth = 0;
        while (pos_ < in_.size()) {
            const char c = in_[pos_];
            if (c == '{') {
                ++pos_;
                skip_ = 0;
                OpenGroup();
                ++depth;
                groupStart_ = true;
                continue;
            }
            if (c == '}') {
                ++pos_;
                skip_ = 0;
                if (depth == 1) {
                    // The document's own group has ended: its last paragraph keeps the state
                    // it was written in.
                    break;
                }
                CloseGroup();
                if (depth > 0) {
                    --depth;
                }
                groupStart_ = false;
                continue;
            }
            if (c == '\\') {
                ControlToken();
                continue;
            }
            groupStart_ = false;
            ignorableNext_ = false;
            if (c == '\r' || c == '\n') {
                ++pos_;
                continue;
            }
            TextBytes();
        }
        Finish();
        return std::move(doc_);
    }

private:
    // ---- groups ----

    void OpenGroup() {
        if (stack_.size() >= kMaxDepth) {
            ++overflow_;
            return;
        }
        stack_.push_back(state_);
        ignorableNext_ = false;
    }

    // `skipped`: the group was passed over, so it cannot have finished a font entry.
    void CloseGroup(bool skipped = false) {
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (state_.destination == Destination::FontTable && !skipped) {
            CommitFont();
        }
        FlushBytes();
        const bool listText = state_.destination == Destination::ListText;
        if (!stack_.empty()) {
            state_ = stack_.back();
            stack_.pop_back();
        }
        formatDirty_ = true;
        if (listText && state_.destination != Destination::ListText) {
            FinishListText();
        }
    }

    // List bullets come in symbol fonts, as their byte (0xB7 in Symbol) or as the private-use
    // character of that byte; the cell's font shows the Unicode bullet instead.
    static char32_t Bullet(char32_t c) {
        switch (c) {
        case 0x00B7:
        case 0xF0B7:
            return 0x2022; // •
        case 0xF0A7:
            return 0x25AA; // ▪ (Wingdings)
        case 0xF06E:
            return 0x25A0; // ■
        case 0xF076:
            return 0x2756; // ❖
        case 0xF0D8:
            return 0x27A2; // ➢
        case 0xF0FC:
            return 0x2714; // ✔
        default:
            return c;
        }
    }

    // A cell has no list model: the number stays as text, followed by one tab, without the
    // spaces writers pad it with.
    void FinishListText() {
        const auto blank = [](const auto& entry) {
            return entry.first == U' ' || entry.first == U'\t' || entry.first == 0x00A0 ||
                   entry.first == 0x3000;
        };
        const auto first = std::find_if_not(listText_.begin(), listText_.end(), blank);
        const auto last = std::find_if_not(listText_.rbegin(), listText_.rend(), blank).base();
        if (first < last && state_.destination == Destination::Text) {
            for (auto it = first; it != last; ++it) {
                Put(Bullet(it->first), it->second);
            }
            Put(U'\t', (last - 1)->second);
        }
        listText_.clear();
    }

    // Skips the rest of the current group, honouring escapes and binary data, and closes it.
    void SkipGroup() {
        int depth = 1;
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            if (c == '{') {
                ++depth;
            } else if (c == '}') {
                if (--depth == 0) {
                    CloseGroup(true);
                    return;
                }
            } else if (c == '\\' && pos_ < in_.size()) {
                if (!IsLetter(in_[pos_])) {
                    ++pos_;
                    continue;
                }
                std::string_view word;
                std::optional<long> param;
                ReadWord(word, param);
                if (word == "bin" && param && *param > 0) {
                    SkipBinary(*param);
                }
            }
        }
        CloseGroup(true);
    }

    void SkipBinary(long count) {
        const auto n = static_cast<std::size_t>(count);
        pos_ = n > in_.size() - pos_ ? in_.size() : pos_ + n;
    }

    // ---- tokens ----

    // Reads a control word at pos_ (just after the backslash).
    void ReadWord(std::string_view& word, std::optional<long>& param) {
        const std::size_t start = pos_;
        while (pos_ < in_.size() && IsLetter(in_[pos_])) {
            ++pos_;
        }
        word = in_.substr(start, pos_ - start);
        param.reset();
        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() &&
            in_[pos_ + 1] >= '0' && in_[pos_ + 1] <= '9') {
            negative = true;
            ++pos_;
        }
        if (pos_ < in_.size() && in_[pos_] >= '0' && in_[pos_] <= '9') {
            long value = 0;
            while (pos_ < in_.size() && in_[pos_] >= '0' && in_[pos_] <= '9') {
                if (value < 100000000L) {
                    value = value * 10 + (in_[pos_] - '0');
                }
                ++pos_;
            }
            param = negative ? -value : value;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ') {
            ++pos_;
        }
    }

    void ControlToken() {
        ++pos_; // the backslash
        if (pos_ >= in_.size()) {
            return;
        }
        const char c = in_[pos_];
        const bool atGroupStart = groupStart_;
        groupStart_ = false;
        if (!IsLetter(c)) {
            ++pos_;
            ControlSymbol(c, atGroupStart);
            return;
        }
        std::string_view word;
        std::optional<long> param;
        ReadWord(word, param);
        if (skip_ > 0) {
            --skip_;
            if (word == "bin" && param && *param > 0) {
                SkipBinary(*param);
            }
            return;
        }
        if (atGroupStart && (ignorableNext_ || KeywordOf(word) == Kw::Skipped)) {
            ignorableNext_ = false;
            SkipGroup();
            return;
        }
        ignorableNext_ = false;
        ControlWord(word, param);
    }

    void ControlSymbol(char c, bool atGroupStart) {
        if (c == '\'') {
            const int hi = pos_ < in_.size() ? HexValue(in_[pos_]) : -1;
            const int lo = pos_ + 1 < in_.size() ? HexValue(in_[pos_ + 1]) : -1;
            if (hi < 0 || lo < 0) {
                return; // a broken escape is dropped
            }
            pos_ += 2;
            if (skip_ > 0) {
                --skip_;
                return;
            }
            AddByte(static_cast<char>(hi * 16 + lo));
            return;
        }
        if (c == '*') {
            ignorableNext_ = atGroupStart;
            groupStart_ = atGroupStart;
            return;
        }
        if (skip_ > 0) {
            --skip_;
            return;
        }
        switch (c) {
        case '\\':
        case '{':
        case '}':
            AddByte(c);
            break;
        case '~':
            AddChar(0x00A0);
            break;
        case '_':
            AddChar(0x2011);
            break;
        case '\r':
        case '\n':
            Paragraph();
            break;
        case '\t':
            AddChar(U'\t');
            break;
        default:
            break; // \- \: \| and unknown symbols carry no text
        }
    }

    void ControlWord(std::string_view w, std::optional<long> param) {
        const long p = param.value_or(1);
        const bool on = p != 0;
        const Kw keyword = KeywordOf(w);
        if (!bytes_.empty() && keyword != Kw::Unknown && keyword != Kw::Skipped) {
            // Bytes wait to be converted as one run and take the format in force when they are:
            // a word that may change it ends the run first.
            FlushBytes();
        }
        switch (keyword) {
        // Text and structure.
        case Kw::Par:
            Paragraph();
            break;
        case Kw::Line:
            AddChar(kLineBreak);
            break;
        case Kw::Tab:
            AddChar(U'\t');
            break;
        case Kw::Unicode:
            Unicode(param.value_or(0));
            break;
        case Kw::ListText:
            if (state_.destination == Destination::Text) {
                FlushBytes();
                state_.destination = Destination::ListText;
            }
            break;
        case Kw::Uc:
            state_.skipCount = static_cast<int>(std::clamp<long>(p, 0, kMaxSkip));
            break;
        case Kw::Bin:
            if (param && *param > 0) {
                SkipBinary(*param);
            }
            break;
        case Kw::Emdash:
            AddChar(0x2014);
            break;
        case Kw::Endash:
            AddChar(0x2013);
            break;
        case Kw::Bullet:
            AddChar(0x2022);
            break;
        case Kw::Lquote:
            AddChar(0x2018);
            break;
        case Kw::Rquote:
            AddChar(0x2019);
            break;
        case Kw::Ldblquote:
            AddChar(0x201C);
            break;
        case Kw::Rdblquote:
            AddChar(0x201D);
            break;
        case Kw::Emspace:
            AddChar(0x2003);
            break;
        case Kw::Enspace:
            AddChar(0x2002);
            break;
        // Document properties.
        case Kw::Ansicpg:
            if (param && *param > 0) {
                ansiCodePage_ = static_cast<int>(*param);
            }
            break;
        case Kw::Ansi:
            ansiCodePage_ = 1252;
            break;
        case Kw::Deff:
            defaultFont_ = static_cast<int>(p);
            break;
        case Kw::Fonttbl:
            StartFontTable();
            break;
        case Kw::Colortbl:
            state_.destination = Destination::ColorTable;
            colorPending_ = ColorEntry{};
            break;
        // Character properties.
        case Kw::Plain: {
            FlushBytes();
            const State keep = state_;
            state_ = State{};
            state_.destination = keep.destination;
            state_.skipCount = keep.skipCount;
            state_.alignment = keep.alignment;
            state_.font = defaultFont_;
            formatDirty_ = true;
            break;
        }
        case Kw::Western:
        case Kw::EastAsian:
            SelectScript([&](State& s) {
                s.charType = keyword == Kw::Western ? Script::Western : Script::EastAsian;
            });
            break;
        case Kw::LeftToRight:
        case Kw::RightToLeft:
            SelectScript([&](State& s) { s.rightToLeft = keyword == Kw::RightToLeft; });
            break;
        case Kw::AssociatedBold:
        case Kw::AssociatedItalic: {
            const bool bold = keyword == Kw::AssociatedBold;
            Associated* a = SelectedAssociated();
            if (a == nullptr) {
                SetFlag(bold ? state_.bold : state_.italic, on);
            } else {
                (bold ? a->bold : a->italic) = on ? 1 : 0;
                formatDirty_ = true;
            }
            break;
        }
        case Kw::AssociatedSize:
            if (param && *param > 0) {
                const int size = static_cast<int>(std::min<long>(*param, 3276));
                Associated* a = SelectedAssociated();
                (a != nullptr ? a->halfPoints : state_.halfPoints) = size;
                formatDirty_ = true;
            }
            break;
        case Kw::AssociatedFont:
            if (state_.destination != Destination::FontTable) {
                SetFont(static_cast<int>(p));
            }
            break;
        case Kw::Background:
            state_.background = p > 0 ? static_cast<int>(p) : -1;
            formatDirty_ = true;
            break;
        case Kw::Bold:
            SetFlag(state_.bold, on);
            break;
        case Kw::Italic:
            SetFlag(state_.italic, on);
            break;
        case Kw::Underline:
            SetFlag(state_.underline, on);
            break;
        case Kw::UnderlineNone:
            SetFlag(state_.underline, false);
            break;
        case Kw::Strike:
            SetFlag(state_.strikeout, on);
            break;
        case Kw::FontSize:
            if (param && *param > 0) {
                state_.halfPoints = static_cast<int>(std::min<long>(*param, 3276));
                formatDirty_ = true;
            }
            break;
        case Kw::Font:
            if (state_.destination == Destination::FontTable) {
                CommitFont();
                fontPending_ = FontEntry{};
                fontNumber_ = static_cast<int>(p);
            } else {
                SetFont(static_cast<int>(p));
            }
            break;
        case Kw::Color:
            state_.color = static_cast<int>(p);
            formatDirty_ = true;
            break;
        case Kw::Fcharset:
            if (state_.destination == Destination::FontTable) {
                fontPending_.charset = static_cast<int>(p);
            }
            break;
        case Kw::Cpg:
            if (state_.destination == Destination::FontTable) {
                fontPending_.codePage = static_cast<int>(p);
            }
            break;
        case Kw::Red:
        case Kw::Green:
        case Kw::Blue:
            if (state_.destination == Destination::ColorTable) {
                const auto v = static_cast<std::uint32_t>(std::clamp<long>(p, 0, 255));
                const int shift = keyword == Kw::Red ? 16 : keyword == Kw::Green ? 8 : 0;
                colorPending_.rgb = (colorPending_.rgb & ~(0xFFu << shift)) | (v << shift);
                colorPending_.automatic = false;
            }
            break;
        // Paragraph properties.
        case Kw::Pard:
        case Kw::AlignLeft:
            state_.alignment = Alignment::Left;
            break;
        case Kw::Justify:
            state_.alignment = Alignment::Justify;
            break;
        case Kw::Center:
            state_.alignment = Alignment::Center;
            break;
        case Kw::AlignRight:
            state_.alignment = Alignment::Right;
            break;
        case Kw::Skipped:
        case Kw::Unknown:
            break; // a property this engine does not keep
        }
    }

    // Word processors write \f after \dbch for the font of East Asian text, as \af.
    void SetFont(int font) {
        FlushBytes(); // bytes already read belong to the previous font's code page
        Associated* a = SelectedAssociated();
        (a != nullptr ? a->font : state_.font) = font;
        formatDirty_ = true;
    }

    template <typename Change> void SelectScript(Change change) {
        State next = state_;
        change(next);
        if (next.Selected() != state_.Selected()) {
            FlushBytes(); // bytes read so far are in the previous script's font
        }
        state_ = next;
        state_.neutral = state_.Selected();
    }

    Associated* SelectedAssociated() {
        switch (state_.Selected()) {
        case Script::EastAsian:
            return &state_.eastAsian;
        case Script::Complex:
            return &state_.complex;
        default:
            return nullptr;
        }
    }

    void SetFlag(bool& flag, bool on) {
        if (flag != on) {
            flag = on;
            formatDirty_ = true;
        }
    }

    // ---- tables ----

    void StartFontTable() {
        state_.destination = Destination::FontTable;
        fontPending_ = FontEntry{};
        fontNumber_ = -1;
    }

    void CommitFont() {
        FlushBytes();
        if (fontNumber_ >= 0) {
            std::string name = fontPending_.name;
            while (!name.empty() && (name.back() == ' ' || name.back() == ';')) {
                name.pop_back();
            }
            const std::size_t first = name.find_first_not_of(' ');
            name = first == std::string::npos ? std::string() : name.substr(first);
            if (fonts_.find(fontNumber_) == fonts_.end()) {
                fontPending_.name = name;
                fonts_[fontNumber_] = fontPending_;
            }
        }
        fontNumber_ = -1;
        fontPending_ = FontEntry{};
    }

    // ---- text ----

    int CurrentCodePage() const {
        if (state_.destination == Destination::FontTable) {
            if (fontPending_.codePage > 0) {
                return fontPending_.codePage;
            }
            return CodePageOf(fontPending_.charset, ansiCodePage_);
        }
        const auto found = fonts_.find(FontOf(state_.Selected()));
        if (found == fonts_.end()) {
            return ansiCodePage_;
        }
        if (found->second.codePage > 0) {
            return found->second.codePage;
        }
        return CodePageOf(found->second.charset, ansiCodePage_);
    }

    // A run of plain bytes: ASCII goes straight through, other bytes through the code page.
    void TextBytes() {
        while (pos_ < in_.size()) {
            const char c = in_[pos_];
            if (c == '\\' || c == '{' || c == '}' || c == '\r' || c == '\n') {
                return;
            }
            ++pos_;
            if (skip_ > 0) {
                --skip_;
                continue;
            }
            AddByte(c, true);
        }
    }

    // `raw`: a byte of the file itself rather than an escape.
    void AddByte(char c, bool raw = false) {
        if (state_.destination == Destination::ColorTable) {
            if (c == ';') {
                colors_.push_back(colorPending_);
                colorPending_ = ColorEntry{};
            }
            return;
        }
        if (state_.destination == Destination::FontTable) {
            if (c == ';') {
                CommitFont();
                return;
            }
            if (fontNumber_ < 0) {
                return;
            }
        }
        if (static_cast<unsigned char>(c) < 0x80 && bytes_.empty()) {
            Emit(static_cast<char32_t>(c));
            return;
        }
        const bool utf8 = raw && rawUtf8_;
        if (!bytes_.empty() && utf8 != bytesUtf8_) {
            FlushBytes();
        }
        bytesUtf8_ = utf8;
        bytes_ += c;
    }

    void FlushBytes() {
        if (bytes_.empty()) {
            return;
        }
        std::string bytes;
        bytes.swap(bytes_);
        if (bytesUtf8_) {
            for (char32_t cp : platform::Utf8ToUtf32(bytes)) {
                Emit(cp);
            }
            return;
        }
        std::optional<std::string> utf8 = platform::CodePageToUtf8(bytes, CurrentCodePage());
        if (!utf8) {
            utf8 = platform::CodePageToUtf8(bytes, 1252);
        }
        if (!utf8) {
            for (char b : bytes) {
                Emit(static_cast<unsigned char>(b));
            }
            return;
        }
        for (char32_t cp : platform::Utf8ToUtf32(*utf8)) {
            Emit(cp);
        }
    }

    void AddChar(char32_t cp) {
        FlushBytes();
        Emit(cp);
    }

    void Unicode(long value) {
        FlushBytes();
        if (value < -32768 || value > 65535) {
            return; // not a 16-bit unit: no character, and nothing it stands for to skip
        }
        if (value < 0) {
            value += 65536;
        }
        const auto unit = static_cast<char32_t>(value & 0xFFFF);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (highSurrogate_) {
                Emit(0xFFFD);
            }
            highSurrogate_ = unit;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (highSurrogate_) {
                const char32_t cp = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00);
                highSurrogate_ = 0;
                Emit(cp);
            } else {
                Emit(0xFFFD);
            }
        } else {
            Emit(unit);
        }
        skip_ = state_.skipCount;
    }

    void Emit(char32_t cp) {
        if (highSurrogate_ && (cp < 0xDC00 || cp > 0xDFFF)) {
            const char32_t lone = 0xFFFD;
            highSurrogate_ = 0;
            Emit(lone);
        }
        if (cp == 0 || (cp < 0x20 && cp != U'\t' && cp != kLineBreak)) {
            return;
        }
        if (state_.destination == Destination::FontTable) {
            if (cp >= 0x20) {
                platform::AppendUtf8(fontPending_.name, cp);
            }
            return;
        }
        if (state_.destination != Destination::Text &&
            state_.destination != Destination::ListText) {
            return;
        }
        const Script script = ScriptOf(cp);
        if (script != Script::Neutral) {
            state_.neutral = script;
        }
        const std::uint32_t format = FormatOf(state_.neutral);
        if (state_.destination == Destination::Text) {
            Put(cp, format);
        } else {
            listText_.emplace_back(cp, format);
        }
    }

    // Appends a character of the given format to the pending text.
    void Put(char32_t cp, std::uint32_t format) {
        if (format != formatId_) {
            FlushText();
            formatId_ = format;
        }
        text_ += cp;
        trailingBreak_ = false;
    }

    // The format a character of `script` (not neutral) takes in the current state.
    std::uint32_t FormatOf(Script script) {
        if (formatDirty_) {
            known_ = 0;
            formatDirty_ = false;
        }
        const auto bit = 1u << static_cast<unsigned>(script);
        auto& id = scriptFormat_[static_cast<std::size_t>(script)];
        if ((known_ & bit) == 0) {
            id = doc_.Intern(CurrentFormat(script));
            known_ |= bit;
        }
        return id;
    }

    const Associated* AssociatedOf(Script script) const {
        return script == Script::EastAsian ? &state_.eastAsian
               : script == Script::Complex ? &state_.complex
                                           : nullptr;
    }

    int FontOf(Script script) const {
        const Associated* a = AssociatedOf(script);
        const int font = a != nullptr && a->font >= 0 ? a->font : state_.font;
        return font >= 0 ? font : defaultFont_;
    }

    CharFormat CurrentFormat(Script script) const {
        CharFormat f = defaults_;
        const auto font = fonts_.find(FontOf(script));
        if (font != fonts_.end() && !font->second.name.empty()) {
            f.face = font->second.name;
            f.charset = font->second.charset >= 0 ? font->second.charset : 1;
        }
        const Associated* a = AssociatedOf(script);
        const int halfPoints =
            a != nullptr && a->halfPoints > 0 ? a->halfPoints : state_.halfPoints;
        if (halfPoints > 0) {
            f.heightTwips = halfPoints * 10;
        }
        f.bold = a != nullptr && a->bold >= 0 ? a->bold != 0 : state_.bold;
        f.italic = a != nullptr && a->italic >= 0 ? a->italic != 0 : state_.italic;
        f.underline = state_.underline;
        f.strikeout = state_.strikeout;
        if (state_.color >= 0 && static_cast<std::size_t>(state_.color) < colors_.size() &&
            !colors_[state_.color].automatic) {
            f.autoColor = false;
            f.color = colors_[state_.color].rgb;
        } else if (state_.color >= 0) {
            f.autoColor = true;
            f.color = defaults_.color;
        }
        if (state_.background >= 0 &&
            static_cast<std::size_t>(state_.background) < colors_.size() &&
            !colors_[state_.background].automatic) {
            f.autoBackground = false;
            f.background = colors_[state_.background].rgb;
        }
        return f;
    }

    void FlushText() {
        if (!text_.empty()) {
            doc_.Append(text_, formatId_);
            text_.clear();
        }
    }

    void EndParagraph() {
        FlushBytes();
        // The pending text keeps the format it was read in, even when a group closed since.
        FlushText();
        ::richtext::Paragraph& last = doc_.LastParagraph();
        last.alignment = state_.alignment;
        last.endFormat = FormatOf(state_.neutral);
    }

    void Paragraph() {
        if (state_.destination != Destination::Text) {
            return;
        }
        EndParagraph();
        doc_.NewParagraph();
        trailingBreak_ = true;
    }

    void Finish() {
        if (state_.destination == Destination::FontTable) {
            CommitFont();
        }
        const bool broke =
            trailingBreak_ && text_.empty() && bytes_.empty() && doc_.LastParagraph().text.empty();
        if (state_.destination == Destination::Text) {
            EndParagraph();
        } else {
            FlushText();
        }
        // A document's last paragraph mark is written as a final \par; it makes no empty line.
        if (broke) {
            doc_.DropLastParagraph();
        }
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    CharFormat defaults_;
    CDocument doc_;
    State state_;
    std::vector<State> stack_;
    std::size_t overflow_ = 0;
    bool groupStart_ = false;
    bool ignorableNext_ = false;
    int skip_ = 0;
    char32_t highSurrogate_ = 0;
    int ansiCodePage_ = 1252;
    int defaultFont_ = -1;
    std::map<int, FontEntry> fonts_;
    FontEntry fontPending_;
    int fontNumber_ = -1;
    std::vector<ColorEntry> colors_;
    ColorEntry colorPending_;
    std::string bytes_;
    bool bytesUtf8_ = false;
    bool rawUtf8_ = false;
    std::u32string text_;
    std::uint32_t formatId_ = 0;
    bool formatDirty_ = true;
    std::uint32_t scriptFormat_[3] = {};
    unsigned known_ = 0; // which of scriptFormat_ hold the current state's formats
    std::vector<std::pair<char32_t, std::uint32_t>> listText_;
    bool trailingBreak_ = false;
};

} // namespace

bool CRtfReader::IsRtf(std::string_view bytes) {
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && bytes.substr(first, 5) == "{\\rtf";
}

CDocument CRtfReader::Read(std::string_view rtf, const CharFormat& defaults, Alignment alignment) {
    if (!IsRtf(rtf)) {
        // Not RTF: the bytes are kept as plain text rather than dropped.
        return CDocument::FromPlainText(platform::Utf8ToUtf32(rtf), defaults, alignment);
    }
    const std::size_t first = rtf.find('{');
    return Reader(rtf.substr(first), defaults).Run();
}

} // namespace richtext
