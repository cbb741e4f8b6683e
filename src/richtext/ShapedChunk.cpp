#include "richtext/ShapedChunk.h"

#include "richtext/LayoutContext.h"

#include <algorithm>

namespace richtext {

PangoFontDescription* DescribeFont(const CharFormat& f) {
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, f.face.empty() ? "Sans" : f.face.c_str());
    pango_font_description_set_size(d, static_cast<gint>(f.Points() * PANGO_SCALE));
    pango_font_description_set_weight(d, f.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(d, f.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    return d;
}

CShapedChunk::CShapedChunk(std::string_view text, const std::vector<int>& byteOf,
                           const std::vector<FormatSpan>& spans,
                           const std::vector<CharFormat>& formats)
    : widths_(byteOf.size() - 1, 0) {
    const auto charAt = [&byteOf](int byte) {
        return static_cast<std::size_t>(std::lower_bound(byteOf.begin(), byteOf.end(), byte) -
                                        byteOf.begin());
    };
    for (const FormatSpan& span : spans) {
        if (span.start >= span.end) {
            continue;
        }
        const int from = byteOf[span.start];
        const int to = byteOf[span.end];
        // Items never cross a format, so that a run draws in one colour and one decoration.
        PangoAttrList* attrs = pango_attr_list_new();
        PangoFontDescription* d = DescribeFont(formats[span.format]);
        PangoAttribute* font = pango_attr_font_desc_new(d);
        pango_font_description_free(d);
        font->start_index = static_cast<guint>(from);
        font->end_index = static_cast<guint>(to);
        pango_attr_list_insert(attrs, font);
        GList* items = pango_itemize(LayoutContext(), text.data(), from, to - from, attrs, nullptr);
        pango_attr_list_unref(attrs);
        for (GList* l = items; l != nullptr; l = l->next) {
            auto* item = static_cast<PangoItem*>(l->data);
            GlyphRun run;
            run.start = charAt(item->offset);
            run.end = run.start + static_cast<std::size_t>(item->num_chars);
            run.format = span.format;
            run.level = item->analysis.level;
            run.language = item->analysis.language;
            run.font.reset(PANGO_FONT(g_object_ref(item->analysis.font)));
            run.glyphs.reset(pango_glyph_string_new());
            PangoGlyphString* glyphs = run.glyphs.get();
            pango_shape_with_flags(text.data() + item->offset, item->length, text.data(),
                                   static_cast<int>(text.size()), &item->analysis, glyphs,
                                   PANGO_SHAPE_NONE);
            // Line separators take no room, and a tab's room depends on where it stands: the
            // line gives both their widths.
            for (int g = 0; g < glyphs->num_glyphs; ++g) {
                const char c = text[static_cast<std::size_t>(item->offset) +
                                    static_cast<std::size_t>(glyphs->log_clusters[g])];
                if (c == '\n' || c == '\t') {
                    glyphs->glyphs[g].glyph = PANGO_GLYPH_EMPTY;
                    glyphs->glyphs[g].geometry.width = 0;
                }
            }
            PangoGlyphItem glyphItem{item, glyphs, 0, 0, 0};
            pango_glyph_item_get_logical_widths(&glyphItem, text.data(),
                                                widths_.data() + run.start);
            PangoRectangle logical;
            pango_glyph_string_extents(glyphs, run.font.get(), nullptr, &logical);
            run.ascent = -logical.y;
            run.descent = logical.y + logical.height;
            runs_.push_back(std::move(run));
            pango_item_free(item);
        }
        g_list_free(items);
    }
}

} // namespace richtext
