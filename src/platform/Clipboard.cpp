#include "platform/Clipboard.h"

#include "platform/Display.h"

#include <gtk/gtk.h>

namespace platform {

namespace {

struct Content {
    std::string text;
    std::optional<std::string> rtf;
};

// The process's own clipboard when no display is open.
Content& LocalContent() {
    static Content content;
    return content;
}

constexpr guint kText = 1;
constexpr guint kRtf = 2;

GtkClipboard* SystemClipboard() {
    return gtk_clipboard_get_for_display(gdk_display_get_default(), GDK_SELECTION_CLIPBOARD);
}

} // namespace

void Clipboard::Set(const std::string& text, const std::optional<std::string>& rtf) {
    if (!UserInterfaceAvailable()) {
        LocalContent() = Content{text, rtf};
        return;
    }
    GtkTargetList* list = gtk_target_list_new(nullptr, 0);
    gtk_target_list_add_text_targets(list, kText);
    if (rtf) {
        gtk_target_list_add(list, gdk_atom_intern_static_string("text/rtf"), 0, kRtf);
    }
    gint count = 0;
    GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &count);
    auto* content = new Content{text, rtf};
    gtk_clipboard_set_with_data(
        SystemClipboard(), targets, static_cast<guint>(count),
        [](GtkClipboard*, GtkSelectionData* data, guint info, gpointer owner) {
            const auto* c = static_cast<const Content*>(owner);
            if (info == kRtf && c->rtf) {
                gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8,
                                       reinterpret_cast<const guchar*>(c->rtf->data()),
                                       static_cast<gint>(c->rtf->size()));
            } else {
                gtk_selection_data_set_text(data, c->text.c_str(),
                                            static_cast<gint>(c->text.size()));
            }
        },
        [](GtkClipboard*, gpointer owner) { delete static_cast<Content*>(owner); }, content);
    gtk_clipboard_set_can_store(SystemClipboard(), targets, count);
    gtk_target_table_free(targets, count);
    gtk_target_list_unref(list);
}

std::optional<std::string> Clipboard::Text() {
    if (!UserInterfaceAvailable()) {
        return LocalContent().text;
    }
    gchar* text = gtk_clipboard_wait_for_text(SystemClipboard());
    if (!text) {
        return std::nullopt;
    }
    std::string result(text);
    g_free(text);
    return result;
}

std::optional<std::string> Clipboard::Rtf() {
    if (!UserInterfaceAvailable()) {
        return LocalContent().rtf;
    }
    GtkSelectionData* data = gtk_clipboard_wait_for_contents(
        SystemClipboard(), gdk_atom_intern_static_string("text/rtf"));
    if (!data) {
        return std::nullopt;
    }
    gint length = 0;
    const guchar* bytes = gtk_selection_data_get_data_with_length(data, &length);
    std::optional<std::string> result;
    if (bytes && length > 0) {
        result.emplace(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
    }
    gtk_selection_data_free(data);
    return result;
}

} // namespace platform
