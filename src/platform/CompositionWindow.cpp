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

CompositionWindow::~CompositionWindow() {
    if (popup_) {
        gtk_widget_destroy(popup_);
        g_object_unref(popup_);
    }
}

void CompositionWindow::Build(GtkWidget* area) {
    popup_ = gtk_window_new(GTK_WINDOW_POPUP);
    g_object_ref_sink(popup_);
    gtk_window_set_type_hint(GTK_WINDOW(popup_), GDK_WINDOW_TYPE_HINT_TOOLTIP);
    gtk_window_set_accept_focus(GTK_WINDOW(popup_), FALSE);
    if (GtkWidget* top = gtk_widget_get_toplevel(area); GTK_IS_WINDOW(top)) {
        gtk_window_set_transient_for(GTK_WINDOW(popup_), GTK_WINDOW(top));
    }
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(
        css, "window { background: #ffffff; border: 1px solid #7a7a7a; } label { color: #000000; }",
        -1, nullptr);
    label_ = gtk_label_new(nullptr);
    for (GtkWidget* widget : {popup_, label_}) {
        gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                       GTK_STYLE_PROVIDER(css),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    g_object_unref(css);
    gtk_widget_set_margin_start(label_, 2);
    gtk_widget_set_margin_end(label_, 2);
    gtk_container_add(GTK_CONTAINER(popup_), label_);
    gtk_widget_show(label_);
}

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
    if (!popup_) {
        Build(area);
    }
    // The input method's own marks (the underline of the composed text, the highlighted
    // syllable) over a size that matches the text around the caret.
    PangoAttrList* shown = attributes ? pango_attr_list_copy(attributes) : pango_attr_list_new();
    const int pixels =
        std::max(kSmallestFontPixels, static_cast<int>(caret.height * kFontPerCaretHeight + 0.5));
    pango_attr_list_insert_before(shown, pango_attr_size_new_absolute(pixels * PANGO_SCALE));
    gtk_label_set_text(GTK_LABEL(label_), text);
    gtk_label_set_attributes(GTK_LABEL(label_), shown);
    pango_attr_list_unref(shown);
    pango_attr_list_unref(attributes);
    g_free(text);
    // A shorter composition must not leave the window at its earlier width.
    gtk_window_resize(GTK_WINDOW(popup_), 1, 1);
    Move(area, caret);
    if (!visible_) {
        gtk_widget_show(popup_);
        visible_ = true;
    }
}

void CompositionWindow::Move(GtkWidget* area, const RectI& caret) {
    if (!popup_ || !area || !gtk_widget_get_window(area)) {
        return;
    }
    GdkWindow* window = gtk_widget_get_window(area);
    int x = 0, y = 0;
    gdk_window_get_origin(window, &x, &y);
    x += caret.x;
    y += caret.y;
    // A long composition near the screen's right edge stays readable: it moves left rather
    // than running off the screen.
    GtkRequisition size{};
    gtk_widget_get_preferred_size(popup_, nullptr, &size);
    if (GdkMonitor* monitor =
            gdk_display_get_monitor_at_window(gdk_window_get_display(window), window)) {
        GdkRectangle screen{};
        gdk_monitor_get_workarea(monitor, &screen);
        x = std::max(screen.x, std::min(x, screen.x + screen.width - size.width));
    }
    gtk_window_move(GTK_WINDOW(popup_), x, y);
}

void CompositionWindow::Hide() {
    if (popup_ && visible_) {
        gtk_widget_hide(popup_);
    }
    visible_ = false;
}

} // namespace platform
