#include "richtext/TextLayout.h"

#include <algorithm>

namespace richtext {

void CTextLayout::Apply(const Change& change) {
    const auto first =
        entries_.begin() + static_cast<std::ptrdiff_t>(std::min(change.first, entries_.size()));
    const auto last =
        first + static_cast<std::ptrdiff_t>(
                    std::min(change.removed, static_cast<std::size_t>(entries_.end() - first)));
    const auto at = entries_.erase(first, last);
    std::vector<Entry> fresh(change.inserted);
    entries_.insert(at, std::make_move_iterator(fresh.begin()),
                    std::make_move_iterator(fresh.end()));
}

void CTextLayout::SetOptions(const LayoutOptions& options) {
    if (options == options_) {
        return;
    }
    LayoutOptions sameWidth = options;
    sameWidth.width = options_.width;
    sameWidth.alignWidth = options_.alignWidth;
    const bool onlyWidth = sameWidth == options_;
    options_ = options;
    for (Entry& e : entries_) {
        if (onlyWidth && e.layout && !e.dirty) {
            e.layout->SetWidth(options_);
        } else {
            e.dirty = true;
        }
    }
}

void CTextLayout::Reset() {
    entries_.clear();
}

void CTextLayout::Update(const CDocument& doc) {
    const auto& paragraphs = doc.Paragraphs();
    if (entries_.size() != paragraphs.size()) {
        // Out of step (a document replaced wholesale): start over.
        entries_.clear();
        entries_.resize(paragraphs.size());
    }
    double top = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& e = entries_[i];
        if (!e.layout) {
            e.layout = std::make_unique<CParagraphLayout>();
            e.dirty = true;
        }
        if (e.dirty) {
            e.layout->Build(doc, paragraphs[i], options_);
            e.dirty = false;
            ++builds_;
        }
        e.top = top;
        top += e.layout->Height();
    }
    height_ = top;
}

double CTextLayout::Width() const {
    double width = 0;
    for (const Entry& e : entries_) {
        width = std::max(width, e.layout ? e.layout->Width() : 0.0);
    }
    return width;
}

std::size_t CTextLayout::ParagraphAt(double y) const {
    if (entries_.empty()) {
        return 0;
    }
    const auto it = std::upper_bound(entries_.begin(), entries_.end(), y,
                                     [](double v, const Entry& e) { return v < e.top; });
    return it == entries_.begin() ? 0 : static_cast<std::size_t>(it - entries_.begin()) - 1;
}

} // namespace richtext
