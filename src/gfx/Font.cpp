#include "gfx/Font.h"

#include <algorithm>
#include <cmath>

namespace gfx {

Font::Font(std::string family, double emSizeMm, int style)
    : m_family(std::move(family)), m_size(emSizeMm > 0 ? std::min(emSizeMm, kMaxSizeMm) : 0.0),
      m_style(style), m_description(pango_font_description_new()) {
    // An unknown family falls back through fontconfig's generic sans-serif; an empty one goes
    // there directly.
    pango_font_description_set_family(m_description.get(),
                                      m_family.empty() ? "sans-serif" : m_family.c_str());
    pango_font_description_set_absolute_size(m_description.get(), m_size * PANGO_SCALE);
    pango_font_description_set_weight(
        m_description.get(), (m_style & FontStyleBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(
        m_description.get(), (m_style & FontStyleItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
}

void Font::ApplyTo(PangoLayout* layout) const {
    pango_layout_set_font_description(layout, m_description.get());
    if (m_style & (FontStyleUnderline | FontStyleStrikeout)) {
        PangoAttrList* attrs = pango_attr_list_new();
        if (m_style & FontStyleUnderline) {
            pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        }
        if (m_style & FontStyleStrikeout) {
            pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
        }
        pango_layout_set_attributes(layout, attrs);
        pango_attr_list_unref(attrs);
    } else {
        pango_layout_set_attributes(layout, nullptr);
    }
}

} // namespace gfx
