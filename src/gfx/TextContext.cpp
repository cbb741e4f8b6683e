#include "gfx/TextContext.h"

#include "gfx/EmbeddedResources.h"
#include "gfx/Units.h"
#include "platform/Encoding.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <mutex>
#include <string>

namespace gfx {

void GObjectDeleter::operator()(void* object) const {
    if (object) {
        g_object_unref(object);
    }
}

namespace {

// The system's configuration plus the program's aliases, built once and shared by the font maps
// of all threads (fontconfig configurations are thread-safe once built).
FcConfig* ProgramFontConfig() {
    static FcConfig* config = [] {
        FcConfig* c = FcInitLoadConfigAndFonts();
        if (!c) {
            return static_cast<FcConfig*>(nullptr);
        }
        const std::string_view conf = FontAliasConfiguration();
        const std::string text(conf);
        FcConfigParseAndLoadFromMemory(c, reinterpret_cast<const FcChar8*>(text.c_str()), FcTrue);
        return c;
    }();
    return config;
}

struct ThreadText {
    PangoFontMap* fontMap = nullptr;
    PangoContext* context = nullptr;
    ThreadText() {
        fontMap = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        if (!fontMap) {
            fontMap = pango_cairo_font_map_new();
        }
        if (FcConfig* config = ProgramFontConfig(); config && PANGO_IS_FC_FONT_MAP(fontMap)) {
            pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(fontMap), config);
        }
        context = NewContext();
    }
    ~ThreadText() {
        g_object_unref(context);
        g_object_unref(fontMap);
    }
    ThreadText(const ThreadText&) = delete;
    ThreadText& operator=(const ThreadText&) = delete;

    PangoContext* NewContext() const {
        PangoContext* ctx = pango_font_map_create_context(fontMap);
        // Metrics must not snap to a device grid, or screen and printer would break lines
        // differently; glyph positions must not round to whole units, which are millimetres.
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(ctx, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(ctx, FALSE);
        // Point sizes (rich text) become millimetres.
        pango_cairo_context_set_resolution(ctx, kMmPerInch);
        const double scale = kLayoutReferenceDpi / kMmPerInch;
        PangoMatrix matrix = PANGO_MATRIX_INIT;
        matrix.xx = scale;
        matrix.yy = scale;
        pango_context_set_matrix(ctx, &matrix);
        // The program's users write Chinese; prefer simplified forms when falling back.
        pango_context_set_language(ctx, pango_language_from_string("zh-cn"));
        return ctx;
    }
};

ThreadText& Current() {
    thread_local ThreadText text;
    return text;
}

} // namespace

PangoContext* TextContext() {
    return Current().context;
}

GObjectPtr<PangoLayout> CreateTextLayout() {
    return GObjectPtr<PangoLayout>(pango_layout_new(Current().context));
}

GObjectPtr<PangoContext> CreateTextContext() {
    return GObjectPtr<PangoContext>(Current().NewContext());
}

void SetLayoutText(PangoLayout* layout, const char* utf8, std::size_t length) {
    const char* end = nullptr;
    if (g_utf8_validate(utf8, static_cast<gssize>(length), &end) && end == utf8 + length) {
        pango_layout_set_text(layout, utf8, static_cast<int>(length));
        return;
    }
    std::u32string codePoints = platform::Utf8ToUtf32(std::string_view(utf8, length));
    for (char32_t& c : codePoints) {
        if (c == 0) {
            c = 0xFFFD;
        }
    }
    const std::string clean = platform::Utf32ToUtf8(codePoints);
    pango_layout_set_text(layout, clean.data(), static_cast<int>(clean.size()));
}

} // namespace gfx

// Fontconfig stores pointers inside its patterns as offsets, so the leak checker cannot follow
// them and reports fontconfig's own live caches as leaks. Every program that draws text links this
// file, so the suppression lives here; only sanitizer builds consult it.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
