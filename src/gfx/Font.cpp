#include "gfx/Font.h"

#include <algorithm>
#include <cmath>

namespace gfx {

Font::Font(std::string family, double emSizeMm, int style)
    : family_(std::move(family)), size_(emSizeMm > 0 ? std::min(emSizeMm, kMaxSizeMm) : 0.0),
      style_(style), description_(pango_font_description_new()) {
    // An unknown family falls back through fontconfig's generic sans-serif; an empty one goes
    // there directly.
    pango_font_description_set_family(description_.get(),
                                      family_.empty() ? "sans-serif" : family_.c_str());
    pango_font_description_set_absolute_size(description_.get(), size_ * PANGO_SCALE);
    pango_font_description_set_weight(
        description_.get(), (style_ & FontStyleBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(
        description_.get(), (style_ & FontStyleItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
}

void Font::ApplyTo(PangoLayout* layout) const {
    pango_layout_set_font_description(layout, description_.get());
    if (style_ & (FontStyleUnderline | FontStyleStrikeout)) {
        PangoAttrList* attrs = pango_attr_list_new();
        if (style_ & FontStyleUnderline) {
            pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        }
        if (style_ & FontStyleStrikeout) {
            pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
        }
        pango_layout_set_attributes(layout, attrs);
        pango_attr_list_unref(attrs);
    } else {
        pango_layout_set_attributes(layout, nullptr);
    }
}

} // namespace gfx
