#pragma once
// Helpers shared by the engine's tests: a readable view of a document's runs.
#include "richtext/Document.h"

#include "platform/Encoding.h"

#include <string>
#include <vector>

namespace richtext::testing {

struct Span {
    std::string text;
    CharFormat format;
};

inline std::vector<Span> Spans(const CDocument& doc, std::size_t paragraph) {
    std::vector<Span> out;
    const Paragraph& p = doc.Paragraphs().at(paragraph);
    std::size_t at = 0;
    for (const Run& r : p.runs) {
        out.push_back({platform::Utf32ToUtf8(p.text.substr(at, r.length)), doc.Format(r.format)});
        at += r.length;
    }
    return out;
}

inline std::string ParagraphText(const CDocument& doc, std::size_t paragraph) {
    return platform::Utf32ToUtf8(doc.Paragraphs().at(paragraph).text);
}

inline std::string AllText(const CDocument& doc) {
    return platform::Utf32ToUtf8(doc.Text());
}

inline bool SameContent(const CDocument& a, const CDocument& b) {
    return a.SameContent(b);
}

} // namespace richtext::testing
