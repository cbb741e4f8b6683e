#include "richtext/ParagraphLayout.h"

#include "richtext/LayoutContext.h"

#include "platform/Encoding.h"

#include <algorithm>

namespace richtext {

namespace {

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

CParagraphLayout::CParagraphLayout() : layout_(pango_layout_new(LayoutContext())) {}

CParagraphLayout::~CParagraphLayout() {
    g_object_unref(layout_);
}

void CParagraphLayout::Build(const CDocument& doc, const Paragraph& p,
                             const LayoutOptions& options) {
    std::string text;
    text.reserve(p.text.size() + 8);
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
        platform::AppendUtf8(text, c);
        byteOf_.push_back(static_cast<int>(text.size()));
    }
    // On the shared context pango measures an empty line far too low (its scale is applied
    // twice); an invisible zero-width space gives an empty line its font's real height.
    if (text.empty() || text.back() == '\n') {
        text += "\u200B";
    }
    pango_layout_set_text(layout_, text.data(), static_cast<int>(text.size()));

    PangoFontDescription* base = Describe(doc.Format(p.endFormat));
    pango_layout_set_font_description(layout_, base);
    pango_font_description_free(base);

    PangoAttrList* attrs = pango_attr_list_new();
    std::size_t at = 0;
    for (const Run& r : p.runs) {
        const CharFormat& f = doc.Format(r.format);
        const int start = byteOf_[at];
        const int end = byteOf_[at + r.length];
        at += r.length;
        PangoFontDescription* d = Describe(f);
        Insert(attrs, pango_attr_font_desc_new(d), start, end);
        pango_font_description_free(d);
        const std::uint32_t rgb = f.autoColor ? options.autoColor : f.color;
        Insert(attrs, pango_attr_foreground_new(Channel(rgb, 16), Channel(rgb, 8), Channel(rgb, 0)),
               start, end);
        if (f.underline) {
            Insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), start, end);
        }
        if (f.strikeout) {
            Insert(attrs, pango_attr_strikethrough_new(TRUE), start, end);
        }
    }
    pango_layout_set_attributes(layout_, attrs);
    pango_attr_list_unref(attrs);

    PangoTabArray* tabs =
        pango_tab_array_new_with_positions(1, FALSE, PANGO_TAB_LEFT, ToPango(options.tabStop));
    pango_layout_set_tabs(layout_, tabs);
    pango_tab_array_free(tabs);

    alignment_ = p.alignment;
    switch (p.alignment) {
    case Alignment::Center:
        pango_layout_set_alignment(layout_, PANGO_ALIGN_CENTER);
        break;
    case Alignment::Right:
        pango_layout_set_alignment(layout_, PANGO_ALIGN_RIGHT);
        break;
    default:
        pango_layout_set_alignment(layout_, PANGO_ALIGN_LEFT);
        break;
    }
    pango_layout_set_wrap(layout_, PANGO_WRAP_WORD_CHAR);
    Measure(options);
}

void CParagraphLayout::SetWidth(const LayoutOptions& options) {
    Measure(options);
}

void CParagraphLayout::Measure(const LayoutOptions& options) {
    const bool wrap = options.width > 0;
    pango_layout_set_width(layout_, wrap ? ToPango(options.width) : -1);
    PangoRectangle logical;
    pango_layout_get_extents(layout_, nullptr, &logical);
    height_ = FromPango(logical.height);
    width_ = FromPango(logical.width);
    indent_ = 0;
    if (!wrap && options.alignWidth > width_) {
        const double room = options.alignWidth - width_;
        indent_ = alignment_ == Alignment::Center  ? room / 2
                  : alignment_ == Alignment::Right ? room
                                                   : 0;
    }
}

std::pair<std::size_t, std::size_t> CParagraphLayout::LineAt(std::size_t offset) const {
    int line = 0;
    int x = 0;
    pango_layout_index_to_line_x(layout_, ByteIndex(offset), FALSE, &line, &x);
    PangoLayoutLine* l = pango_layout_get_line_readonly(layout_, line);
    if (l == nullptr) {
        return {0, Length()};
    }
    return {OffsetOf(l->start_index), OffsetOf(l->start_index + l->length)};
}

int CParagraphLayout::ByteIndex(std::size_t offset) const {
    return byteOf_[std::min(offset, byteOf_.size() - 1)];
}

std::size_t CParagraphLayout::OffsetOf(int byteIndex) const {
    const auto it = std::lower_bound(byteOf_.begin(), byteOf_.end(), byteIndex);
    return std::min(static_cast<std::size_t>(it - byteOf_.begin()), Length());
}

CaretBox CParagraphLayout::Caret(std::size_t offset) const {
    PangoRectangle strong;
    pango_layout_get_cursor_pos(layout_, ByteIndex(offset), &strong, nullptr);
    return {FromPango(strong.x) + indent_, FromPango(strong.y), FromPango(strong.height)};
}

std::size_t CParagraphLayout::HitTest(double x, double y) const {
    int index = 0;
    int trailing = 0;
    pango_layout_xy_to_index(layout_, ToPango(x - indent_), ToPango(y), &index, &trailing);
    std::size_t offset = OffsetOf(index);
    // `trailing` counts characters of the cluster; land on a cursor position after it.
    for (int i = 0; i < trailing && offset < Length(); ++i) {
        ++offset;
        while (offset < Length() && !IsCursorPosition(offset)) {
            ++offset;
        }
    }
    return std::min(offset, Length());
}

std::vector<CParagraphLayout::Band> CParagraphLayout::Ranges(std::size_t start,
                                                             std::size_t end) const {
    std::vector<Band> out;
    const int from = ByteIndex(start);
    const int to = ByteIndex(end);
    PangoLayoutIter* iter = pango_layout_get_iter(layout_);
    do {
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
        const int lineStart = line->start_index;
        const int lineEnd = line->start_index + line->length;
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
        pango_layout_line_get_x_ranges(line, std::max(from, lineStart), std::min(to, lineEnd),
                                       &ranges, &count);
        for (int i = 0; i < count; ++i) {
            out.push_back({FromPango(logical.x + ranges[2 * i]) + indent_,
                           FromPango(logical.x + ranges[2 * i + 1]) + indent_, FromPango(y0),
                           FromPango(y1)});
        }
        g_free(ranges);
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    return out;
}

namespace {

const PangoLogAttr* Attrs(PangoLayout* layout, std::size_t offset, int& count) {
    const PangoLogAttr* attrs = pango_layout_get_log_attrs_readonly(layout, &count);
    return static_cast<int>(offset) < count ? attrs + offset : nullptr;
}

} // namespace

bool CParagraphLayout::IsCursorPosition(std::size_t offset) const {
    int count = 0;
    const PangoLogAttr* a = Attrs(layout_, offset, count);
    return a == nullptr || a->is_cursor_position;
}

bool CParagraphLayout::IsWordStart(std::size_t offset) const {
    int count = 0;
    const PangoLogAttr* a = Attrs(layout_, offset, count);
    return a != nullptr && a->is_word_start;
}

bool CParagraphLayout::IsWordEnd(std::size_t offset) const {
    int count = 0;
    const PangoLogAttr* a = Attrs(layout_, offset, count);
    return a != nullptr && a->is_word_end;
}

} // namespace richtext
