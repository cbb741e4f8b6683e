#include "richtext/TextLayout.h"

#include <algorithm>
#include <cmath>

namespace richtext {

void CTextLayout::Apply(const Change& change) {
    if (change.span && change.removed == 1 && change.inserted == 1 &&
        change.first < entries_.size()) {
        Entry& e = entries_[change.first];
        // A second edit before the next layout: no longer one span, lay it all out.
        e.span = e.dirty ? std::nullopt : change.span;
        e.dirty = true;
        return;
    }
    const auto first =
        entries_.begin() + static_cast<std::ptrdiff_t>(std::min(change.first, entries_.size()));
    const auto last =
        first + static_cast<std::ptrdiff_t>(
                    std::min(change.removed, static_cast<std::size_t>(entries_.end() - first)));
    reshaped_ = reshaped_ || change.removed != change.inserted;
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
    damage_ = std::make_pair(0.0, HUGE_VAL);
    for (Entry& e : entries_) {
        if (onlyWidth && e.layout && !e.dirty) {
            e.layout->SetWidth(options_);
        } else {
            e.dirty = true;
            e.span.reset();
        }
    }
}

void CTextLayout::Reset() {
    entries_.clear();
    damage_ = std::make_pair(0.0, HUGE_VAL);
}

void CTextLayout::Update(const CDocument& doc) {
    const auto& paragraphs = doc.Paragraphs();
    if (entries_.size() != paragraphs.size()) {
        // Out of step (a document replaced wholesale): start over.
        entries_.clear();
        entries_.resize(paragraphs.size());
        damage_ = std::make_pair(0.0, HUGE_VAL);
    }
    double top = 0;
    const auto damage = [this](double a, double b) {
        damage_ = damage_
                      ? std::make_pair(std::min(damage_->first, a), std::max(damage_->second, b))
                      : std::make_pair(a, b);
    };
    if (reshaped_) {
        damage(0, HUGE_VAL); // narrowed below to where the first changed paragraph starts
    }
    std::optional<double> firstMoved;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& e = entries_[i];
        if (!e.layout) {
            e.layout = std::make_unique<CParagraphLayout>();
            e.dirty = true;
        }
        if (e.dirty) {
            const double oldHeight = e.layout->Height();
            const bool fresh = !e.layout->Built();
            if (e.span) {
                e.layout->Rebuild(doc, paragraphs[i], options_, *e.span);
            } else {
                e.layout->Build(doc, paragraphs[i], options_);
            }
            e.dirty = false;
            e.span.reset();
            ++builds_;
            const auto [from, to] = e.layout->Damage();
            const bool moved = fresh || e.layout->Height() != oldHeight;
            damage(top + from, moved ? HUGE_VAL : top + to);
            if (!firstMoved) {
                firstMoved = top + from;
            }
        }
        e.top = top;
        top += e.layout->Height();
    }
    height_ = top;
    if (reshaped_) {
        damage_->first = firstMoved.value_or(0);
        reshaped_ = false;
    }
}

std::optional<std::pair<double, double>> CTextLayout::TakeDamage() {
    auto out = damage_;
    damage_.reset();
    return out;
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
