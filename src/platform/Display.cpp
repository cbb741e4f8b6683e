#include "platform/Display.h"

#include "platform/MessageQueue.h"

#include <cstdlib>
#include <gtk/gtk.h>

namespace platform {

namespace {

bool uiAvailable = false;

} // namespace

bool InitializeUserInterface() {
    static const bool ok = [] {
        // The client draws with cairo alone; without GL, GTK starts faster and smaller.
        if (!std::getenv("GDK_GL")) {
            setenv("GDK_GL", "disable", 0);
        }
        return gtk_init_check(nullptr, nullptr) != FALSE;
    }();
    uiAvailable = ok;
    if (ok) {
        MessageQueue::Current()->AttachToGLib();
    }
    return ok;
}

bool UserInterfaceAvailable() {
    return uiAvailable;
}

double ReadDesktopResolution() {
    if (!uiAvailable) {
        return 96.0;
    }
    GdkScreen* screen = gdk_screen_get_default();
    double dpi = screen ? gdk_screen_get_resolution(screen) : -1.0;
    return dpi > 0 ? dpi : 96.0;
}

RectI WorkArea() {
    if (!uiAvailable) {
        return {0, 0, 1920, 1080};
    }
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
    if (!monitor && display && gdk_display_get_n_monitors(display) > 0) {
        monitor = gdk_display_get_monitor(display, 0);
    }
    if (!monitor) {
        return {0, 0, 1920, 1080};
    }
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    return {area.x, area.y, area.width, area.height};
}

} // namespace platform
