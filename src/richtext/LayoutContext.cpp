#include "richtext/LayoutContext.h"

#include <pango/pangocairo.h>

namespace richtext {

PangoContext* LayoutContext() {
    struct Holder {
        PangoContext* context = nullptr;
        Holder() {
            PangoFontMap* map = pango_cairo_font_map_get_default();
            context = pango_font_map_create_context(map);
            // A resolution of 25.4 dots per inch makes one dot a millimetre.
            pango_cairo_context_set_resolution(context, 25.4);
            cairo_font_options_t* options = cairo_font_options_create();
            cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
            cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
            pango_cairo_context_set_font_options(context, options);
            cairo_font_options_destroy(options);
            pango_context_set_round_glyph_positions(context, FALSE);
        }
        ~Holder() { g_object_unref(context); }
    };
    thread_local Holder holder;
    return holder.context;
}

} // namespace richtext
