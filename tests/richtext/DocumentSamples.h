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

// Two documents are equal when their paragraphs carry the same text, alignment and formats.
inline bool SameContent(const CDocument& a, const CDocument& b) {
    if (a.Paragraphs().size() != b.Paragraphs().size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.Paragraphs().size(); ++i) {
        const Paragraph& pa = a.Paragraphs()[i];
        const Paragraph& pb = b.Paragraphs()[i];
        if (pa.text != pb.text || pa.alignment != pb.alignment ||
            pa.runs.size() != pb.runs.size()) {
            return false;
        }
        for (std::size_t k = 0; k < pa.runs.size(); ++k) {
            if (pa.runs[k].length != pb.runs[k].length ||
                !(a.Format(pa.runs[k].format) == b.Format(pb.runs[k].format))) {
                return false;
            }
        }
    }
    return true;
}

} // namespace richtext::testing
