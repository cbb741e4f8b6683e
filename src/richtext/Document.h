#pragma once
// The text model: paragraphs of formatted runs. Positions count code points; every paragraph
// break between two paragraphs counts as one position, as it does in the host's selection.
#include "richtext/CharFormat.h"
#include "richtext/ParaFormat.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace richtext {

// A manual line break inside a paragraph is kept as this character.
inline constexpr char32_t kLineBreak = 0x000B;

struct Run {
    std::uint32_t length = 0;
    std::uint32_t format = 0; // index into the document's format table
};

struct Paragraph {
    std::u32string text;
    std::vector<Run> runs; // cover `text` exactly; neighbours differ in format
    // The format of the paragraph mark: it gives an empty paragraph its height and is what
    // typing into an empty paragraph uses.
    std::uint32_t endFormat = 0;
    Alignment alignment = Alignment::Left;
};

struct Location {
    std::size_t paragraph = 0;
    std::size_t offset = 0;
};

// Where inside one paragraph an edit happened: [start, oldEnd) became [start, newEnd).
struct EditSpan {
    std::size_t start = 0;
    std::size_t oldEnd = 0;
    std::size_t newEnd = 0;
};

// Which paragraphs an edit replaced: [first, first + removed) of the old paragraphs became
// [first, first + inserted) of the new ones. An edit inside a single paragraph also says where,
// so that the layout can redo only the lines around it.
struct Change {
    std::size_t first = 0;
    std::size_t removed = 0;
    std::size_t inserted = 0;
    std::optional<EditSpan> span;
};

class CDocument {
public:
    explicit CDocument(const CharFormat& format = {}, Alignment alignment = Alignment::Left);

    // Plain text: "\r\n", "\r" and "\n" separate paragraphs.
    static CDocument FromPlainText(std::u32string_view text, const CharFormat& format,
                                   Alignment alignment);

    // Same paragraphs with the same text, alignment and formats (format ids may differ).
    bool SameContent(const CDocument& other) const;

    std::uint32_t Intern(const CharFormat& format);
    const CharFormat& Format(std::uint32_t id) const { return formats_[id]; }
    std::size_t FormatCount() const { return formats_.size(); }

    const std::vector<Paragraph>& Paragraphs() const { return paragraphs_; }
    std::size_t Length() const;
    Location Locate(std::size_t position) const; // clamped to the document
    std::size_t StartOf(std::size_t paragraph) const;

    // The format typing at `position` continues: that of the character before it, or of the
    // paragraph mark at the start of an empty paragraph.
    std::uint32_t FormatAt(std::size_t position) const;
    // Whether every character of [start, end) has the property; for an empty range, the
    // format at start.
    bool AllHave(std::size_t start, std::size_t end, bool CharFormat::*property) const;

    // Plain text of [start, end); paragraph breaks and line breaks become "\n".
    std::u32string Text(std::size_t start, std::size_t end) const;
    std::u32string Text() const { return Text(0, Length()); }

    CDocument Extract(std::size_t start, std::size_t end) const;
    // Replaces [start, end) by `fragment`: its first paragraph joins the text before start, its
    // last one the text after end, which keeps its paragraph's alignment.
    Change Replace(std::size_t start, std::size_t end, const CDocument& fragment);
    // Applies `edit` to the format of every run in [start, end).
    template <typename Edit> Change EditFormat(std::size_t start, std::size_t end, Edit edit);
    // Sets the format of the paragraph mark of the last paragraph (used by readers).
    Paragraph& LastParagraph() { return paragraphs_.back(); }
    // Appends text with a format to the last paragraph; `NewParagraph` starts another.
    void Append(std::u32string_view text, std::uint32_t format);
    void NewParagraph();
    // Removes the last paragraph when it is empty and not the only one.
    void DropLastParagraph();

private:
    struct FormatHash {
        std::size_t operator()(const CharFormat& f) const;
    };
    void AppendSlice(Paragraph& target, const CDocument& source, const Paragraph& from,
                     std::size_t begin, std::size_t end, std::vector<std::int64_t>& map);
    static void Normalize(Paragraph& paragraph);
    Change ReformatRange(std::size_t start, std::size_t end,
                         const std::function<std::uint32_t(std::uint32_t)>& remap);

    std::vector<CharFormat> formats_;
    std::unordered_map<CharFormat, std::uint32_t, FormatHash> formatIds_;
    std::vector<Paragraph> paragraphs_;
};

template <typename Edit>
Change CDocument::EditFormat(std::size_t start, std::size_t end, Edit edit) {
    // Each format in the range is edited once, however many runs carry it.
    std::unordered_map<std::uint32_t, std::uint32_t> done;
    return ReformatRange(start, end, [&](std::uint32_t id) {
        auto found = done.find(id);
        if (found != done.end()) {
            return found->second;
        }
        CharFormat changed = formats_[id];
        edit(changed);
        const std::uint32_t result = Intern(changed);
        done.emplace(id, result);
        return result;
    });
}

} // namespace richtext
