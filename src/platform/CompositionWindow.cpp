#include "platform/CompositionWindow.h"

#include <algorithm>
#include <gtk/gtk.h>

namespace platform {

namespace {

// The composed text is drawn about as large as the text at the caret: a line is roughly 1.4
// times its font's size.
constexpr double kFontPerCaretHeight = 0.7;
constexpr int kSmallestFontPixels = 10;

} // namespace

CompositionWindow::CompositionWindow()
    : popup_("window { background: #ffffff; border: 1px solid #7a7a7a; } "
             "label { color: #000000; margin: 0 2px; }",
             0) {}

void CompositionWindow::Update(GtkIMContext* im, GtkWidget* area, const RectI& caret) {
    gchar* text = nullptr;
    PangoAttrList* attributes = nullptr;
    gint cursor = 0;
    gtk_im_context_get_preedit_string(im, &text, &attributes, &cursor);
    const bool empty = !text || !*text;
    if (empty || !area || !gtk_widget_get_realized(area)) {
        g_free(text);
        pango_attr_list_unref(attributes);
        Hide();
        return;
    }
    // The input method's own marks (the underline of the composed text, the highlighted
    // syllable) over a size that matches the text around the caret.
    PangoAttrList* shown = attributes ? pango_attr_list_copy(attributes) : pango_attr_list_new();
    const int pixels =
        std::max(kSmallestFontPixels, static_cast<int>(caret.height * kFontPerCaretHeight + 0.5));
    pango_attr_list_insert_before(shown, pango_attr_size_new_absolute(pixels * PANGO_SCALE));
    popup_.SetText(area, text, shown);
    pango_attr_list_unref(shown);
    pango_attr_list_unref(attributes);
    g_free(text);
    Move(area, caret);
    popup_.Show();
}

void CompositionWindow::Move(GtkWidget* area, const RectI& caret) {
    if (!area || !gtk_widget_get_window(area)) {
        return;
    }
    int x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(area), &x, &y);
    // A long composition near the screen's right edge stays readable: it moves left rather
    // than running off the screen.
    popup_.MoveTo(area, x + caret.x, y + caret.y);
}

} // namespace platform
