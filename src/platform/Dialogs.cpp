#include "platform/Dialogs.h"

#include "platform/Display.h"

#include <cstdio>
#include <gtk/gtk.h>

namespace platform {

namespace {

std::function<int(const MessageBoxRequest&)>& BoxHandler() {
    static std::function<int(const MessageBoxRequest&)> handler;
    return handler;
}

std::function<UINT(const PopupMenuRequest&)>& MenuHandler() {
    static std::function<UINT(const PopupMenuRequest&)> handler;
    return handler;
}

int GtkMessageBox(const MessageBoxRequest& request) {
    const bool yesNo = (request.flags & 0xF) == MB_YESNO;
    const GtkMessageType type =
        (request.flags & 0xF0) == MB_ICONSTOP ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO;
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, type,
                                               yesNo ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK, "%s",
                                               request.text.c_str());
    // GTK 3 no longer draws an icon for the message type; the question after a crash shows the
    // stop sign, and an information box its "i", as the teacher knows them.
    const char* icon = (request.flags & 0xF0) == MB_ICONSTOP          ? "dialog-error"
                       : (request.flags & 0xF0) == MB_ICONINFORMATION ? "dialog-information"
                                                                      : nullptr;
    if (icon) {
        GtkWidget* image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG);
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(dialog), image);
        G_GNUC_END_IGNORE_DEPRECATIONS
        gtk_widget_show(image);
    }
    gtk_window_set_title(GTK_WINDOW(dialog), request.caption.c_str());
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    switch (response) {
    case GTK_RESPONSE_YES:
        return IDYES;
    case GTK_RESPONSE_NO:
        return IDNO;
    case GTK_RESPONSE_OK:
        return IDOK;
    default:
        return yesNo ? IDNO : IDCANCEL;
    }
}

UINT GtkPopupMenu(const PopupMenuRequest& request) {
    GtkWidget* menu = gtk_menu_new();
    g_object_ref_sink(menu);
    struct State {
        UINT chosen = 0;
        GMainLoop* loop = nullptr;
    } state;
    state.loop = g_main_loop_new(nullptr, FALSE);
    for (const MenuItem& item : request.items) {
        GtkWidget* entry = item.text.empty() ? gtk_separator_menu_item_new()
                                             : gtk_menu_item_new_with_label(item.text.c_str());
        gtk_widget_set_sensitive(entry, item.enabled);
        g_object_set_data(G_OBJECT(entry), "plenvo-command",
                          GUINT_TO_POINTER(static_cast<guint>(item.command)));
        g_signal_connect(entry, "activate", G_CALLBACK(+[](GtkMenuItem* mi, gpointer data) {
                             static_cast<State*>(data)->chosen = GPOINTER_TO_UINT(
                                 g_object_get_data(G_OBJECT(mi), "plenvo-command"));
                         }),
                         &state);
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), entry);
    }
    // "activate" comes after "deactivate"; leave the loop from idle so the choice is recorded.
    g_signal_connect(menu, "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer data) {
                         g_idle_add(
                             [](gpointer d) -> gboolean {
                                 g_main_loop_quit(static_cast<State*>(d)->loop);
                                 return G_SOURCE_REMOVE;
                             },
                             data);
                     }),
                     &state);
    gtk_widget_show_all(menu);
    GdkRectangle at{request.x, request.y, 1, 1};
    GdkWindow* root = gdk_get_default_root_window();
    gtk_menu_popup_at_rect(GTK_MENU(menu), root, &at, GDK_GRAVITY_NORTH_WEST,
                           GDK_GRAVITY_NORTH_WEST, nullptr);
    if (gtk_widget_get_visible(menu)) {
        g_main_loop_run(state.loop);
    }
    g_main_loop_unref(state.loop);
    gtk_widget_destroy(menu);
    g_object_unref(menu);
    return state.chosen;
}

} // namespace

int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
    const MessageBoxRequest request{owner, text, caption, flags};
    if (BoxHandler()) {
        return BoxHandler()(request);
    }
    if (!UserInterfaceAvailable()) {
        // Nobody can answer; say what was asked and take the safe default.
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return (flags & 0xF) == MB_YESNO ? IDNO : IDOK;
    }
    return GtkMessageBox(request);
}

UINT TrackPopupMenu(const PopupMenuRequest& request) {
    if (MenuHandler()) {
        return MenuHandler()(request);
    }
    if (!UserInterfaceAvailable() || request.items.empty()) {
        return 0;
    }
    return GtkPopupMenu(request);
}

void SetMessageBoxHandler(std::function<int(const MessageBoxRequest&)> handler) {
    BoxHandler() = std::move(handler);
}

void SetPopupMenuHandler(std::function<UINT(const PopupMenuRequest&)> handler) {
    MenuHandler() = std::move(handler);
}

} // namespace platform
