#pragma once
// The layouts of all paragraphs, stacked top to bottom. An edit marks only the paragraphs it
// replaced; `Update` lays out those and nothing else.
#include "richtext/Document.h"
#include "richtext/ParagraphLayout.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace richtext {

class CTextLayout {
public:
    // Follows the document's paragraphs after an edit.
    void Apply(const Change& change);
    // A change of width only re-wraps; any other change lays everything out again.
    void SetOptions(const LayoutOptions& options);
    // Forgets every layout (the document was replaced).
    void Reset();
    const LayoutOptions& Options() const { return options_; }
    void Update(const CDocument& doc);

    std::size_t Count() const { return entries_.size(); }
    const CParagraphLayout& At(std::size_t i) const { return *entries_[i].layout; }
    double Top(std::size_t i) const { return entries_[i].top; }
    double Height() const { return height_; }
    double Width() const; // of the widest paragraph
    std::size_t ParagraphAt(double y) const;

    // The vertical band (document coordinates) that layouts changed since the last call; the
    // bottom is infinite when everything below moved. None when nothing changed.
    std::optional<std::pair<double, double>> TakeDamage();

    // Paragraph layouts built so far: what proves that an edit touched only its paragraph.
    std::uint64_t BuildCount() const { return builds_; }

private:
    struct Entry {
        std::unique_ptr<CParagraphLayout> layout;
        bool dirty = true;
        std::optional<EditSpan> span; // an edit inside the paragraph since its last layout
        double top = 0;
    };
    std::vector<Entry> entries_;
    LayoutOptions options_;
    double height_ = 0;
    std::uint64_t builds_ = 0;
    std::optional<std::pair<double, double>> damage_;
    bool reshaped_ = false; // paragraphs were added or removed
};

} // namespace richtext
