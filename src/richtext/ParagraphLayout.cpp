#include "richtext/ParagraphLayout.h"

#include "richtext/LayoutContext.h"

#include "platform/Encoding.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace richtext {

namespace {

// Characters of the first segment, before the length of a line is known.
constexpr std::size_t kSegmentChars = 128;
// Characters beyond the expected end of a line handed to pango with it, so that the next line
// starts inside the segment. Pango shapes again whatever follows a line break, so a segment
// holds one line and a little more: several lines in one layout shape the text several times.
constexpr std::size_t kLineSlack = 6;
// Characters beyond an old line start that show whether it is a line start again.
constexpr std::size_t kResumeSlack = 24;

PangoFontDescription* Describe(const CharFormat& f) {
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, f.face.empty() ? "Sans" : f.face.c_str());
    pango_font_description_set_size(d, static_cast<gint>(f.Points() * PANGO_SCALE));
    pango_font_description_set_weight(d, f.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(d, f.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    return d;
}

guint16 Channel(std::uint32_t rgb, int shift) {
    return static_cast<guint16>(((rgb >> shift) & 0xFF) * 257);
}

void Insert(PangoAttrList* list, PangoAttribute* a, int start, int end) {
    a->start_index = static_cast<guint>(start);
    a->end_index = static_cast<guint>(end);
    pango_attr_list_insert(list, a);
}

} // namespace

void CParagraphLayout::PrepareText(const CDocument& doc, const Paragraph& p,
                                   const LayoutOptions& options) {
    options_ = options;
    alignment_ = p.alignment;
    text_.clear();
    text_.reserve(p.text.size() + 8);
    byteOf_.assign(1, 0);
    byteOf_.reserve(p.text.size() + 1);
    for (char32_t c : p.text) {
        if (options.passwordChar != 0) {
            c = options.passwordChar;
        } else if (c == kLineBreak) {
            c = U'\n';
        } else if (c == 0) {
            c = 0xFFFD; // pango takes no NUL inside the text
        }
        platform::AppendUtf8(text_, c);
        byteOf_.push_back(static_cast<int>(text_.size()));
    }
    // On the shared context pango measures an empty line far too low (its scale is applied
    // twice); an invisible zero-width space gives an empty line its font's real height.
    if (text_.empty() || text_.back() == '\n') {
        text_ += "\u200B";
    }
    formats_.clear();
    styles_.clear();
    std::map<std::uint32_t, std::uint32_t> local;
    const auto localId = [&](std::uint32_t id) {
        auto [it, added] = local.emplace(id, static_cast<std::uint32_t>(formats_.size()));
        if (added) {
            formats_.push_back(doc.Format(id));
        }
        return it->second;
    };
    endFormat_ = localId(p.endFormat);
    std::size_t at = 0;
    for (const Run& r : p.runs) {
        styles_.push_back({at, at + r.length, localId(r.format)});
        at += r.length;
    }
}

CParagraphLayout::Segment CParagraphLayout::MakeSegment(std::size_t start,
                                                        std::size_t textEnd) const {
    Segment s;
    s.start = start;
    s.textEnd = textEnd;
    s.layout = gfx::GObjectPtr<PangoLayout>(pango_layout_new(LayoutContext()));
    PangoLayout* layout = s.layout.get();
    const int from = byteOf_[start];
    const int to = textEnd >= Length() ? static_cast<int>(text_.size()) : byteOf_[textEnd];
    pango_layout_set_text(layout, text_.data() + from, to - from);

    PangoFontDescription* base = Describe(formats_[endFormat_]);
    pango_layout_set_font_description(layout, base);
    pango_font_description_free(base);
    PangoAttrList* attrs = pango_attr_list_new();
    for (const Style& style : styles_) {
        if (style.end <= start || style.start >= textEnd) {
            continue;
        }
        const CharFormat& f = formats_[style.format];
        const int a = byteOf_[std::max(style.start, start)] - from;
        const int b = byteOf_[std::min(style.end, textEnd)] - from;
        PangoFontDescription* d = Describe(f);
        Insert(attrs, pango_attr_font_desc_new(d), a, b);
        pango_font_description_free(d);
        const std::uint32_t rgb = f.autoColor ? options_.autoColor : f.color;
        Insert(attrs, pango_attr_foreground_new(Channel(rgb, 16), Channel(rgb, 8), Channel(rgb, 0)),
               a, b);
        if (f.underline) {
            Insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), a, b);
        }
        if (f.strikeout) {
            Insert(attrs, pango_attr_strikethrough_new(TRUE), a, b);
        }
    }
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);

    PangoTabArray* tabs =
        pango_tab_array_new_with_positions(1, FALSE, PANGO_TAB_LEFT, ToPango(options_.tabStop));
    pango_layout_set_tabs(layout, tabs);
    pango_tab_array_free(tabs);
    switch (alignment_) {
    case Alignment::Center:
        pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
        break;
    case Alignment::Right:
        pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
        break;
    default:
        pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
        break;
    }
    // Pango leaves a paragraph's last line ragged, as word processors do. A segment's last
    // line that is not the paragraph's is never drawn from that segment, so segments justify
    // exactly the lines a whole-paragraph layout would.
    pango_layout_set_justify(layout, alignment_ == Alignment::Justify);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_width(layout, options_.width > 0 ? ToPango(options_.width) : -1);
    return s;
}

std::size_t CParagraphLayout::Chain(std::size_t start, const std::vector<std::size_t>& resume,
                                    std::vector<Segment>& out) const {
    const std::size_t length = Length();
    std::size_t next = 0;
    std::size_t chunk = kSegmentChars;
    if (!out.empty() && out.back().lines == 1) {
        chunk = out.back().end - out.back().start + kLineSlack;
    }
    while (true) {
        while (next < resume.size() && resume[next] <= start) {
            ++next;
        }
        std::size_t textEnd = std::min(length, start + chunk);
        const bool aiming = next < resume.size() && resume[next] <= start + 2 * chunk;
        if (aiming) {
            textEnd = std::min(length, std::max(textEnd, resume[next] + kResumeSlack));
        }
        if (options_.width <= 0) {
            textEnd = length; // one line: nothing to split
        }
        Segment s = MakeSegment(start, textEnd);
        const int count = pango_layout_get_line_count(s.layout.get());
        std::vector<std::size_t> starts;
        PangoLayoutIter* iter = pango_layout_get_iter(s.layout.get());
        do {
            starts.push_back(OffsetOf(s, pango_layout_iter_get_line_readonly(iter)->start_index));
        } while (pango_layout_iter_next_line(iter));
        pango_layout_iter_free(iter);

        int owned = count;
        std::size_t end = textEnd;
        bool resumed = false;
        if (aiming) {
            const auto hit = std::find(starts.begin(), starts.end(), resume[next]);
            if (hit != starts.end() && hit != starts.begin()) {
                owned = static_cast<int>(hit - starts.begin());
                end = *hit;
                resumed = true;
            }
        }
        if (!resumed && textEnd < length) {
            if (count < 2) {
                chunk *= 2; // a single line longer than the chunk
                continue;
            }
            owned = 1;
            end = starts[1];
        }
        s.end = end;
        s.lines = owned;
        s.firstLineEnd = starts.size() > 1 ? starts[1] : end;
        // The next line is likely as long as this one.
        chunk = (owned == 1 ? end - s.start : kSegmentChars) + kLineSlack;
        out.push_back(std::move(s));
        if (resumed) {
            return next;
        }
        if (end >= length) {
            return resume.size();
        }
        start = end;
    }
}

void CParagraphLayout::Finish() {
    double top = 0;
    width_ = 0;
    for (Segment& s : segments_) {
        PangoLayoutIter* iter = pango_layout_get_iter(s.layout.get());
        int y1 = 0;
        int line = 0;
        do {
            if (line++ >= s.lines) {
                break;
            }
            int ignored = 0;
            pango_layout_iter_get_line_yrange(iter, &ignored, &y1);
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(iter, nullptr, &logical);
            width_ = std::max(width_, FromPango(logical.x + logical.width));
        } while (pango_layout_iter_next_line(iter));
        pango_layout_iter_free(iter);
        s.top = top;
        s.height = FromPango(y1);
        top += s.height;
    }
    height_ = top;
    indent_ = 0;
    if (options_.width <= 0 && options_.alignWidth > width_) {
        const double room = options_.alignWidth - width_;
        indent_ = alignment_ == Alignment::Center  ? room / 2
                  : alignment_ == Alignment::Right ? room
                                                   : 0;
    }
}

void CParagraphLayout::Build(const CDocument& doc, const Paragraph& p,
                             const LayoutOptions& options) {
    const double before = height_;
    PrepareText(doc, p, options);
    segments_.clear();
    Chain(0, {}, segments_);
    Finish();
    damage_ = {0, height_ == before ? height_ : HUGE_VAL};
}

void CParagraphLayout::Rebuild(const CDocument& doc, const Paragraph& p,
                               const LayoutOptions& options, const EditSpan& span) {
    if (segments_.size() < 2 || !(options == options_) || options.width <= 0) {
        Build(doc, p, options);
        return;
    }
    std::vector<Segment> old = std::move(segments_);
    segments_.clear();
    PrepareText(doc, p, options);
    const auto delta =
        static_cast<std::ptrdiff_t>(span.newEnd) - static_cast<std::ptrdiff_t>(span.oldEnd);

    std::size_t k = 0;
    while (k + 1 < old.size() && old[k + 1].start <= span.start) {
        ++k;
    }
    // An edit in a segment's first line can pull a word back onto the line before it.
    if (k > 0 && span.start < old[k].firstLineEnd) {
        --k;
    }
    for (std::size_t i = 0; i < k; ++i) {
        segments_.push_back(std::move(old[i]));
    }
    // Old line starts after the edit, in new offsets: where the old segments can take over.
    std::vector<std::size_t> resume;
    std::vector<std::size_t> owner;
    for (std::size_t j = k + 1; j < old.size(); ++j) {
        if (old[j].start > span.oldEnd) {
            resume.push_back(
                static_cast<std::size_t>(static_cast<std::ptrdiff_t>(old[j].start) + delta));
            owner.push_back(j);
        }
    }
    const double before = height_;
    const std::size_t firstNew = segments_.size();
    const std::size_t reached = Chain(old[k].start, resume, segments_);
    const std::size_t lastNew = segments_.size();
    if (reached < resume.size()) {
        for (std::size_t j = owner[reached]; j < old.size(); ++j) {
            Segment& s = old[j];
            const auto shift = [delta](std::size_t v) {
                return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(v) + delta);
            };
            s.start = shift(s.start);
            s.end = shift(s.end);
            s.textEnd = shift(s.textEnd);
            s.firstLineEnd = shift(s.firstLineEnd);
            segments_.push_back(std::move(s));
        }
    }
    Finish();
    // What changed: the segments laid out again; below them too when the height moved.
    damage_ = {segments_[firstNew].top,
               height_ != before ? HUGE_VAL
                                 : segments_[lastNew - 1].top + segments_[lastNew - 1].height};
}

void CParagraphLayout::SetWidth(const LayoutOptions& options) {
    options_ = options;
    segments_.clear();
    Chain(0, {}, segments_);
    Finish();
    damage_ = {0, HUGE_VAL};
}

const CParagraphLayout::Segment& CParagraphLayout::SegmentAt(std::size_t offset) const {
    for (const Segment& s : segments_) {
        if (offset < s.end) {
            return s;
        }
    }
    return segments_.back();
}

int CParagraphLayout::ByteIndex(const Segment& s, std::size_t offset) const {
    return byteOf_[std::min(offset, Length())] - byteOf_[s.start];
}

std::size_t CParagraphLayout::OffsetOf(const Segment& s, int byteIndex) const {
    const int global = byteIndex + byteOf_[s.start];
    const auto it = std::lower_bound(byteOf_.begin(), byteOf_.end(), global);
    return std::min(static_cast<std::size_t>(it - byteOf_.begin()), Length());
}

void CParagraphLayout::Draw(cairo_t* cr, double x, double y, double y0, double y1) const {
    for (const Segment& s : segments_) {
        if (s.top > y1) {
            break;
        }
        if (s.top + s.height < y0) {
            continue;
        }
        PangoLayoutIter* iter = pango_layout_get_iter(s.layout.get());
        int line = 0;
        do {
            if (line++ >= s.lines) {
                break;
            }
            int top = 0;
            int bottom = 0;
            pango_layout_iter_get_line_yrange(iter, &top, &bottom);
            if (s.top + FromPango(top) > y1 || s.top + FromPango(bottom) < y0) {
                continue;
            }
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(iter, nullptr, &logical);
            cairo_move_to(cr, x + indent_ + FromPango(logical.x),
                          y + s.top + FromPango(pango_layout_iter_get_baseline(iter)));
            pango_cairo_show_layout_line(cr, pango_layout_iter_get_line_readonly(iter));
        } while (pango_layout_iter_next_line(iter));
        pango_layout_iter_free(iter);
    }
}

void CParagraphLayout::DrawBackgrounds(cairo_t* cr, double x, double y, double y0,
                                       double y1) const {
    for (const Style& style : styles_) {
        const CharFormat& f = formats_[style.format];
        if (f.autoBackground) {
            continue;
        }
        bool any = false;
        for (const Band& band : Ranges(style.start, style.end)) {
            if (band.bottom < y0 || band.top > y1) {
                continue;
            }
            cairo_rectangle(cr, x + band.left, y + band.top, band.right - band.left,
                            band.bottom - band.top);
            any = true;
        }
        if (any) {
            cairo_set_source_rgb(cr, ((f.background >> 16) & 0xFF) / 255.0,
                                 ((f.background >> 8) & 0xFF) / 255.0,
                                 (f.background & 0xFF) / 255.0);
            cairo_fill(cr);
        }
    }
}

CaretBox CParagraphLayout::Caret(std::size_t offset) const {
    const Segment& s = SegmentAt(offset);
    PangoRectangle strong;
    pango_layout_get_cursor_pos(s.layout.get(), ByteIndex(s, offset), &strong, nullptr);
    return {FromPango(strong.x) + indent_, s.top + FromPango(strong.y), FromPango(strong.height)};
}

std::size_t CParagraphLayout::HitTest(double x, double y) const {
    const Segment* s = &segments_.back();
    for (const Segment& candidate : segments_) {
        if (y < candidate.top + candidate.height) {
            s = &candidate;
            break;
        }
    }
    // Stay within the owned lines: clamp y to the middle of the last one.
    double local = std::max(0.0, y - s->top);
    if (local >= s->height) {
        local = std::max(0.0, s->height - 0.01);
    }
    int index = 0;
    int trailing = 0;
    pango_layout_xy_to_index(s->layout.get(), ToPango(x - indent_), ToPango(local), &index,
                             &trailing);
    std::size_t offset = std::min(OffsetOf(*s, index), s->end);
    // `trailing` counts characters of the cluster; land on a cursor position after it.
    for (int i = 0; i < trailing && offset < s->end; ++i) {
        ++offset;
        while (offset < Length() && !IsCursorPosition(offset)) {
            ++offset;
        }
    }
    if (offset >= s->end && s->end < Length() && s->end > s->start) {
        // Past the end of a segment's last line: before the character that ends it, as pango
        // does for every other wrapped line (the segment's end is the next line's start).
        offset = s->end - 1;
    }
    return std::min(offset, Length());
}

std::vector<CParagraphLayout::Band> CParagraphLayout::Ranges(std::size_t start,
                                                             std::size_t end) const {
    std::vector<Band> out;
    for (const Segment& s : segments_) {
        if (s.end < start || s.start > end) {
            continue;
        }
        const int from = ByteIndex(s, std::max(start, s.start));
        const int to = ByteIndex(s, std::min(end, s.end));
        PangoLayoutIter* iter = pango_layout_get_iter(s.layout.get());
        int line = 0;
        do {
            if (line++ >= s.lines) {
                break;
            }
            PangoLayoutLine* l = pango_layout_iter_get_line_readonly(iter);
            const int lineStart = l->start_index;
            const int lineEnd = l->start_index + l->length;
            if (lineEnd < from || lineStart > to) {
                continue;
            }
            int y0 = 0;
            int y1 = 0;
            pango_layout_iter_get_line_yrange(iter, &y0, &y1);
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(iter, nullptr, &logical);
            int* ranges = nullptr;
            int count = 0;
            pango_layout_line_get_x_ranges(l, std::max(from, lineStart), std::min(to, lineEnd),
                                           &ranges, &count);
            for (int i = 0; i < count; ++i) {
                out.push_back({FromPango(ranges[2 * i]) + indent_,
                               FromPango(ranges[2 * i + 1]) + indent_, s.top + FromPango(y0),
                               s.top + FromPango(y1)});
            }
            g_free(ranges);
        } while (pango_layout_iter_next_line(iter));
        pango_layout_iter_free(iter);
    }
    return out;
}

std::pair<std::size_t, std::size_t> CParagraphLayout::LineAt(std::size_t offset) const {
    const Segment& s = SegmentAt(offset);
    int line = 0;
    int x = 0;
    pango_layout_index_to_line_x(s.layout.get(), ByteIndex(s, offset), FALSE, &line, &x);
    PangoLayoutLine* l = pango_layout_get_line_readonly(s.layout.get(), line);
    if (l == nullptr) {
        return {s.start, s.end};
    }
    return {OffsetOf(s, l->start_index), std::min(OffsetOf(s, l->start_index + l->length), s.end)};
}

std::vector<std::size_t> CParagraphLayout::LineStarts() const {
    std::vector<std::size_t> starts;
    for (const Segment& s : segments_) {
        PangoLayoutIter* iter = pango_layout_get_iter(s.layout.get());
        int line = 0;
        do {
            if (line++ >= s.lines) {
                break;
            }
            starts.push_back(OffsetOf(s, pango_layout_iter_get_line_readonly(iter)->start_index));
        } while (pango_layout_iter_next_line(iter));
        pango_layout_iter_free(iter);
    }
    return starts;
}

const PangoLogAttr* CParagraphLayout::Attr(std::size_t offset) const {
    const Segment& s = SegmentAt(offset);
    int count = 0;
    const PangoLogAttr* attrs = pango_layout_get_log_attrs_readonly(s.layout.get(), &count);
    const std::size_t local = offset - s.start;
    return static_cast<int>(local) < count ? attrs + local : nullptr;
}

bool CParagraphLayout::IsCursorPosition(std::size_t offset) const {
    const PangoLogAttr* a = Attr(offset);
    return a == nullptr || a->is_cursor_position;
}

bool CParagraphLayout::IsWordStart(std::size_t offset) const {
    const PangoLogAttr* a = Attr(offset);
    return a != nullptr && a->is_word_start;
}

bool CParagraphLayout::IsWordEnd(std::size_t offset) const {
    const PangoLogAttr* a = Attr(offset);
    return a != nullptr && a->is_word_end;
}

} // namespace richtext
