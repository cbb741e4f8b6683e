#include "platform/LabelPopup.h"

#include <algorithm>
#include <gtk/gtk.h>

namespace platform {

LabelPopup::LabelPopup(const char* css, int wrapChars) : css_(css), wrapChars_(wrapChars) {}

LabelPopup::~LabelPopup() {
    if (popup_) {
        gtk_widget_destroy(popup_);
        g_object_unref(popup_);
    }
}

void LabelPopup::Build(GtkWidget* owner) {
    popup_ = gtk_window_new(GTK_WINDOW_POPUP);
    g_object_ref_sink(popup_);
    gtk_window_set_type_hint(GTK_WINDOW(popup_), GDK_WINDOW_TYPE_HINT_TOOLTIP);
    gtk_window_set_accept_focus(GTK_WINDOW(popup_), FALSE);
    if (GtkWidget* top = gtk_widget_get_toplevel(owner); GTK_IS_WINDOW(top)) {
        gtk_window_set_transient_for(GTK_WINDOW(popup_), GTK_WINDOW(top));
    }
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, css_, -1, nullptr);
    label_ = gtk_label_new(nullptr);
    for (GtkWidget* widget : {popup_, label_}) {
        gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                       GTK_STYLE_PROVIDER(css),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    g_object_unref(css);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label_), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_xalign(GTK_LABEL(label_), 0);
    gtk_container_add(GTK_CONTAINER(popup_), label_);
    gtk_widget_show(label_);
}

void LabelPopup::SetText(GtkWidget* owner, const char* text, PangoAttrList* attributes) {
    if (!popup_) {
        Build(owner);
    }
    gtk_label_set_text(GTK_LABEL(label_), text);
    gtk_label_set_attributes(GTK_LABEL(label_), attributes);
    // Only a text longer than the wrapping width wraps, at that width; the window takes the
    // label's natural size, height for that width (a shorter text must not leave it wider).
    const bool wrap = wrapChars_ > 0 && g_utf8_strlen(text, -1) > wrapChars_;
    gtk_label_set_line_wrap(GTK_LABEL(label_), wrap);
    gtk_label_set_width_chars(GTK_LABEL(label_), wrap ? wrapChars_ : -1);
    gtk_label_set_max_width_chars(GTK_LABEL(label_), wrap ? wrapChars_ : -1);
    GtkRequisition natural{};
    gtk_widget_get_preferred_size(popup_, nullptr, &natural);
    gtk_window_resize(GTK_WINDOW(popup_), std::max(natural.width, 1), std::max(natural.height, 1));
}

void LabelPopup::MoveTo(GtkWidget* owner, int x, int y, std::optional<int> above) {
    if (!popup_ || !owner || !gtk_widget_get_window(owner)) {
        return;
    }
    GdkWindow* window = gtk_widget_get_window(owner);
    GtkRequisition size{};
    gtk_widget_get_preferred_size(popup_, nullptr, &size);
    if (GdkMonitor* monitor =
            gdk_display_get_monitor_at_window(gdk_window_get_display(window), window)) {
        GdkRectangle screen{};
        gdk_monitor_get_workarea(monitor, &screen);
        x = std::max(screen.x, std::min(x, screen.x + screen.width - size.width));
        if (above && y + size.height > screen.y + screen.height) {
            y = std::max(screen.y, *above - size.height);
        }
    }
    gtk_window_move(GTK_WINDOW(popup_), x, y);
}

void LabelPopup::Show() {
    if (popup_ && !visible_) {
        gtk_widget_show(popup_);
        visible_ = true;
    }
}

void LabelPopup::Hide() {
    if (popup_ && visible_) {
        gtk_widget_hide(popup_);
    }
    visible_ = false;
}

RectI LabelPopup::Frame() const {
    if (!popup_) {
        return {};
    }
    int x = 0, y = 0, width = 0, height = 0;
    gtk_window_get_position(GTK_WINDOW(popup_), &x, &y);
    gtk_window_get_size(GTK_WINDOW(popup_), &width, &height);
    return {x, y, width, height};
}

} // namespace platform
