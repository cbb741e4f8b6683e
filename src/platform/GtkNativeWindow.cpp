#include "platform/GtkNativeWindow.h"

#include "platform/CompositionWindow.h"
#include "platform/Display.h"
#include "platform/Encoding.h"
#include "platform/Keyboard.h"
#include "platform/LabelPopup.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "platform/OffscreenWindow.h"

#include <X11/Xlib.h>
#include <cmath>
#include <cstdlib>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

namespace platform {

namespace {

// How long the pointer rests on an element before its tooltip appears, how far below the
// pointer's hot spot (past the arrow), and how wide a long one (a plan's whole title) grows
// before it wraps.
constexpr unsigned kTooltipDelayMs = 500;
constexpr int kTooltipBelowPointer = 20;
constexpr int kTooltipWrapChars = 60;

WPARAM KeyStateOf(guint state) {
    WPARAM w = 0;
    if (state & GDK_BUTTON1_MASK) {
        w |= MK_LBUTTON;
    }
    if (state & GDK_BUTTON3_MASK) {
        w |= MK_RBUTTON;
    }
    if (state & GDK_SHIFT_MASK) {
        w |= MK_SHIFT;
    }
    if (state & GDK_CONTROL_MASK) {
        w |= MK_CONTROL;
    }
    return w;
}

void NoteModifiers(guint state) {
    SetModifierState(state & GDK_SHIFT_MASK, state & GDK_CONTROL_MASK, state & GDK_MOD1_MASK);
}

LPARAM PointParam(double x, double y) {
    return MakeLParam(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
}

// GDK key values to the virtual keys the element tree expects.
WPARAM VirtualKey(guint keyval) {
    switch (keyval) {
    case GDK_KEY_BackSpace:
        return VK_BACK;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
        return VK_TAB;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
        return VK_RETURN;
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R:
        return VK_SHIFT;
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R:
        return VK_CONTROL;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
        return VK_MENU;
    case GDK_KEY_Escape:
        return VK_ESCAPE;
    case GDK_KEY_space:
        return VK_SPACE;
    case GDK_KEY_Page_Up:
        return VK_PRIOR;
    case GDK_KEY_Page_Down:
        return VK_NEXT;
    case GDK_KEY_End:
    case GDK_KEY_KP_End:
        return VK_END;
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home:
        return VK_HOME;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
        return VK_LEFT;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
        return VK_UP;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
        return VK_RIGHT;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
        return VK_DOWN;
    case GDK_KEY_Insert:
        return VK_INSERT;
    case GDK_KEY_Delete:
    case GDK_KEY_KP_Delete:
        return VK_DELETE;
    default:
        break;
    }
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12) {
        return VK_F1 + (keyval - GDK_KEY_F1);
    }
    const guint32 ch = gdk_keyval_to_unicode(gdk_keyval_to_upper(keyval));
    if ((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')) {
        return ch;
    }
    return 0;
}

GtkNativeWindow* Self(gpointer data) {
    return static_cast<GtkNativeWindow*>(data);
}

} // namespace

struct CopyEvents {
    static GdkFilterReturn Filter(GdkXEvent* xevent, GdkEvent*, gpointer data) {
        const XEvent& event = *static_cast<XEvent*>(xevent);
        if (event.xany.window == Self(data)->copyTarget_.xid) {
            Self(data)->OnCopyEvent(event);
        }
        return GDK_FILTER_CONTINUE;
    }
};

std::unique_ptr<NativeWindow> NativeWindow::Create(WindowParams params) {
    if (!UserInterfaceAvailable()) {
        return nullptr; // an invisible window nobody can close is no window
    }
    auto window = std::make_unique<GtkNativeWindow>(std::move(params));
    if (!window->Register()) {
        return nullptr;
    }
    return window;
}

std::unique_ptr<NativeWindow> NativeWindow::CreateOffscreen(WindowParams params) {
    auto window = std::make_unique<OffscreenWindow>(std::move(params));
    if (!window->Register()) {
        return nullptr;
    }
    return window;
}

GtkNativeWindow::GtkNativeWindow(WindowParams params)
    : params_(std::move(params)), size_{params_.frame.width, params_.frame.height} {}

GtkNativeWindow::~GtkNativeWindow() {
    if (Exists()) {
        DestroyWindow(hwnd_);
    }
    TearDown();
}

bool GtkNativeWindow::Register() {
    // The procedure sees WM_NCDESTROY last, whoever destroys the handle; the GTK window goes then.
    hwnd_ = RegisterWindow([this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        LRESULT r = params_.proc ? params_.proc(h, m, w, l) : 0;
        if (m == WM_NCDESTROY) {
            TearDown();
        }
        return r;
    });
    Build();
    if (Send(WM_CREATE, 0, 0) == -1) {
        DestroyWindow(hwnd_);
        return false;
    }
    if (params_.visible) {
        gtk_widget_show_all(window_);
    }
    return true;
}

void GtkNativeWindow::Build() {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(window_);
    gtk_window_set_title(GTK_WINDOW(window_), params_.title.c_str());
    gtk_window_set_default_size(GTK_WINDOW(window_), params_.frame.width, params_.frame.height);
    gtk_window_move(GTK_WINDOW(window_), params_.frame.x, params_.frame.y);
    area_ = gtk_drawing_area_new();
    // The window procedure paints every pixel it is asked for: GTK filling the window's and the
    // area's backgrounds first would only go over the same pixels twice more.
    gtk_widget_set_app_paintable(window_, TRUE);
    gtk_widget_set_app_paintable(area_, TRUE);
    gtk_widget_set_can_focus(area_, TRUE);
    gtk_widget_add_events(area_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                     GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK |
                                     GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK | GDK_KEY_PRESS_MASK |
                                     GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK);
    gtk_container_add(GTK_CONTAINER(window_), area_);
    im_ = gtk_im_multicontext_new();
    composition_ = std::make_unique<CompositionWindow>();

    g_signal_connect(area_, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer data) {
                         Self(data)->Draw(cr);
                         return TRUE;
                     }),
                     this);
    const auto event = G_CALLBACK(+[](GtkWidget* widget, GdkEvent* e, gpointer data) -> gboolean {
        // What the input invalidated is painted before the next event is read, not a main-loop
        // turn later at the frame clock's paint, and sent to the server at once rather than when
        // the next turn polls the connection: the teacher sees the key at once. The widget is
        // held, as the input may close the window.
        g_object_ref(widget);
        const gboolean handled = Self(data)->OnEvent(e);
        if (GdkWindow* window = gtk_widget_get_window(widget)) {
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            gdk_window_process_updates(window, FALSE);
            G_GNUC_END_IGNORE_DEPRECATIONS
            gdk_display_flush(gdk_window_get_display(window));
        }
        g_object_unref(widget);
        return handled;
    });
    for (const char* signal : {"button-press-event", "button-release-event", "motion-notify-event",
                               "leave-notify-event", "scroll-event", "key-press-event",
                               "key-release-event", "focus-in-event", "focus-out-event"}) {
        g_signal_connect(area_, signal, event, this);
    }
    g_signal_connect(area_, "size-allocate",
                     G_CALLBACK(+[](GtkWidget*, GdkRectangle* a, gpointer data) {
                         Self(data)->OnSize(a->width, a->height);
                     }),
                     this);
    g_signal_connect(window_, "delete-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer data) -> gboolean {
                         // The window procedure decides; it destroys the window when it agrees.
                         Self(data)->Send(WM_CLOSE, 0, 0);
                         return TRUE;
                     }),
                     this);
    g_signal_connect(im_, "commit", G_CALLBACK(+[](GtkIMContext*, gchar* text, gpointer data) {
                         Self(data)->OnCommit(text);
                     }),
                     this);
    // The element under the caret hears of the composition first, so that the caret (and with
    // it the composition window) is where the characters will go.
    g_signal_connect(im_, "preedit-start", G_CALLBACK(+[](GtkIMContext*, gpointer data) {
                         Self(data)->Send(WM_IME_STARTCOMPOSITION, 0, 0);
                         Self(data)->ShowComposition();
                     }),
                     this);
    g_signal_connect(im_, "preedit-changed", G_CALLBACK(+[](GtkIMContext*, gpointer data) {
                         Self(data)->Send(WM_IME_COMPOSITION, 0, 0);
                         Self(data)->ShowComposition();
                     }),
                     this);
    g_signal_connect(im_, "preedit-end", G_CALLBACK(+[](GtkIMContext*, gpointer data) {
                         if (Self(data)->composition_) {
                             Self(data)->composition_->Hide();
                         }
                         Self(data)->Send(WM_IME_ENDCOMPOSITION, 0, 0);
                     }),
                     this);
    gtk_widget_realize(area_);
    gtk_im_context_set_client_window(im_, gtk_widget_get_window(area_));
}

void GtkNativeWindow::TearDown() {
    if (im_) {
        // Letting go of the context may end a composition; nothing is left to hear of it.
        g_signal_handlers_disconnect_by_data(im_, this);
        gtk_im_context_set_client_window(im_, nullptr);
        g_object_unref(im_);
        im_ = nullptr;
    }
    composition_.reset();
    DismissTooltip();
    tooltip_.reset();
    if (copyGc_) {
        gdk_window_remove_filter(nullptr, &CopyEvents::Filter, this);
        XFreeGC(copyTarget_.display, static_cast<GC>(copyGc_));
        copyGc_ = nullptr;
    }
    if (window_) {
        g_signal_handlers_disconnect_by_data(window_, this);
        g_signal_handlers_disconnect_by_data(area_, this);
        gtk_widget_destroy(window_);
        g_object_unref(window_);
        window_ = nullptr;
        area_ = nullptr;
    }
}

LRESULT GtkNativeWindow::Send(UINT message, WPARAM w, LPARAM l) {
    return SendMessage(hwnd_, message, w, l);
}

bool GtkNativeWindow::Exists() const {
    return IsWindow(hwnd_) && window_ != nullptr;
}

RectI GtkNativeWindow::Frame() const {
    int x = params_.frame.x, y = params_.frame.y;
    if (window_) {
        gtk_window_get_position(GTK_WINDOW(window_), &x, &y);
    }
    return {x, y, size_.width, size_.height};
}

void GtkNativeWindow::Invalidate(const RectI& rect) {
    if (area_ && !rect.Empty()) {
        gtk_widget_queue_draw_area(area_, rect.x, rect.y, rect.width, rect.height);
    }
}

void GtkNativeWindow::Draw(cairo_t* cr) {
    if (!params_.paint) {
        return;
    }
    // Rectangle by rectangle: the rows a scroll uncovers and a strip far from them do not make
    // everything between them painted. Many small pieces are painted as one.
    constexpr int kMostPieces = 16;
    cairo_rectangle_list_t* pieces = cairo_copy_clip_rectangle_list(cr);
    if (pieces->status == CAIRO_STATUS_SUCCESS && pieces->num_rectangles > 0 &&
        pieces->num_rectangles <= kMostPieces) {
        for (int i = 0; i < pieces->num_rectangles; ++i) {
            const cairo_rectangle_t& r = pieces->rectangles[i];
            const int left = static_cast<int>(std::floor(r.x));
            const int top = static_cast<int>(std::floor(r.y));
            const RectI piece{left, top, static_cast<int>(std::ceil(r.x + r.width)) - left,
                              static_cast<int>(std::ceil(r.y + r.height)) - top};
            cairo_save(cr);
            cairo_rectangle(cr, piece.x, piece.y, piece.width, piece.height);
            cairo_clip(cr);
            params_.paint(cr, piece);
            cairo_restore(cr);
        }
    } else if (GdkRectangle clip; gdk_cairo_get_clip_rectangle(cr, &clip)) {
        params_.paint(cr, {clip.x, clip.y, clip.width, clip.height});
    }
    cairo_rectangle_list_destroy(pieces);
}

void GtkNativeWindow::Scroll(const RectI& rect, int dy) {
    const RectI area = rect.Intersect({0, 0, size_.width, size_.height});
    if (!area_ || area.Empty() || dy == 0) {
        return;
    }
    GdkWindow* window = gtk_widget_get_window(area_);
    // The drawing area's window is usually drawn on its top-level's native window: find that
    // and where the area lies on it.
    GdkWindow* native = window;
    int ox = 0, oy = 0;
    while (native && !gdk_window_has_native(native)) {
        int x = 0, y = 0;
        gdk_window_get_position(native, &x, &y);
        ox += x;
        oy += y;
        native = gdk_window_get_parent(native);
    }
    if (!native || !GDK_IS_X11_WINDOW(native) || !gtk_widget_get_mapped(area_) ||
        std::abs(dy) >= area.height) {
        Invalidate(area);
        return;
    }
    const cairo_rectangle_int_t bounds{area.x, area.y, area.width, area.height};
    if (cairo_region_t* pending = gdk_window_get_update_area(window)) {
        cairo_region_t* moved = cairo_region_copy(pending);
        cairo_region_intersect_rectangle(moved, &bounds);
        cairo_region_translate(moved, 0, dy);
        cairo_region_intersect_rectangle(moved, &bounds);
        cairo_region_union(pending, moved);
        gdk_window_invalidate_region(window, pending, FALSE);
        cairo_region_destroy(moved);
        cairo_region_destroy(pending);
    }
    Display* display = GDK_WINDOW_XDISPLAY(native);
    const Window xid = GDK_WINDOW_XID(native);
    if (!copyGc_) {
        // Parts of the source the server does not hold (under another window) come back as
        // GraphicsExpose events, which the event filter repaints.
        XGCValues values{};
        values.graphics_exposures = True;
        copyGc_ = XCreateGC(display, xid, GCGraphicsExposures, &values);
        gdk_window_add_filter(nullptr, &CopyEvents::Filter, this);
    }
    copyTarget_ = {display, xid, ox, oy};
    copies_.push_back({NextRequest(display), area, dy});
    const int top = dy > 0 ? area.y : area.y - dy;
    XCopyArea(display, xid, xid, static_cast<GC>(copyGc_), ox + area.x, oy + top,
              static_cast<unsigned>(area.width), static_cast<unsigned>(area.height - std::abs(dy)),
              ox + area.x, oy + top + dy);
    // The server copies while the program paints what the copy uncovered.
    XFlush(display);
    Invalidate(UncoveredRows(area, dy));
}

void GtkNativeWindow::OnCopyEvent(const XEvent& event) {
    const int ox = copyTarget_.x, oy = copyTarget_.y;
    if (event.type == GraphicsExpose) {
        const XGraphicsExposeEvent& e = event.xgraphicsexpose;
        Invalidate({e.x - ox, e.y - oy, e.width, e.height});
    } else if (event.type == Expose) {
        // Exposed before a copy the server has since carried out: what the copy took from
        // there was not the window's picture, and it now lies dy rows away.
        const XExposeEvent& e = event.xexpose;
        RectI exposed{e.x - ox, e.y - oy, e.width, e.height};
        for (const Copy& copy : copies_) {
            if (static_cast<long>(e.serial - copy.serial) >= 0) {
                continue;
            }
            exposed = MovedWithin(exposed, copy.area, copy.dy);
            Invalidate(exposed);
        }
    }
    // A copy no event can predate any more is forgotten.
    while (!copies_.empty() && static_cast<long>(event.xany.serial - copies_.front().serial) >= 0) {
        copies_.pop_front();
    }
}

void GtkNativeWindow::SetCapture(bool on) {
    // GTK grabs the pointer implicitly while a button is held; the flag keeps leave events of a
    // drag outside the window from reaching the tree as a leave.
    capture_ = on;
}

void GtkNativeWindow::Focus() {
    if (window_) {
        gtk_window_present(GTK_WINDOW(window_));
        gtk_widget_grab_focus(area_);
    }
}

bool GtkNativeWindow::HasFocus() const {
    return area_ && gtk_widget_has_focus(area_);
}

void GtkNativeWindow::SetCursor(Cursor cursor) {
    if (!area_ || cursor == cursor_) {
        return;
    }
    cursor_ = cursor;
    const char* name = cursor == Cursor::Hand    ? "pointer"
                       : cursor == Cursor::IBeam ? "text"
                                                 : "default";
    GdkWindow* gdkWindow = gtk_widget_get_window(area_);
    GdkCursor* c = gdk_cursor_new_from_name(gdk_window_get_display(gdkWindow), name);
    gdk_window_set_cursor(gdkWindow, c);
    if (c) {
        g_object_unref(c);
    }
}

// The tooltip is the window's own popup rather than GTK's: GTK asks the server where the
// pointer is whenever a tooltip changes (grabbing the whole server when no window manager runs),
// which made every hover over a button slower to paint.
void GtkNativeWindow::SetTooltip(const std::optional<std::string>& text) {
    const std::optional<std::string> wanted =
        text && !text->empty() ? text : std::optional<std::string>();
    if (wanted == tooltipText_ || !area_) {
        return;
    }
    tooltipText_ = wanted;
    const bool shown = tooltip_ && tooltip_->Visible();
    DismissTooltip();
    if (!tooltipText_) {
        return;
    }
    if (shown) {
        // Going from one element with a tooltip to the next shows the next one at once.
        ShowTooltip();
    } else {
        tooltipPending_ = true;
        SetTimer(hwnd_, TIMER_TOOLTIP, kTooltipDelayMs, [this](HWND, UINT_PTR, std::uint64_t) {
            DismissTooltip();
            ShowTooltip();
        });
    }
}

void GtkNativeWindow::ShowTooltip() {
    if (!tooltipText_ || !area_) {
        return;
    }
    if (!tooltip_) {
        tooltip_ = std::make_unique<LabelPopup>(
            "window { background: #ffffff; border: 1px solid #767676; } "
            "label { color: #575757; margin: 2px 5px; }",
            kTooltipWrapChars);
    }
    tooltip_->SetText(area_, tooltipText_->c_str(), nullptr);
    // Below the pointer's arrow, or above the pointer near the screen's bottom.
    tooltip_->MoveTo(area_, pointer_.x, pointer_.y + kTooltipBelowPointer, pointer_.y - 2);
    tooltip_->Show();
}

void GtkNativeWindow::DismissTooltip() {
    // Every key and click passes here: nothing to do unless a tooltip waits or shows.
    if (tooltipPending_) {
        KillTimer(hwnd_, TIMER_TOOLTIP);
        tooltipPending_ = false;
    }
    if (tooltip_) {
        tooltip_->Hide();
    }
}

void GtkNativeWindow::SetImeCursorArea(const RectI& rect) {
    if (im_) {
        GdkRectangle area{rect.x, rect.y, rect.width, rect.height};
        gtk_im_context_set_cursor_location(im_, &area);
    }
    imeArea_ = rect;
    if (composition_ && composition_->Visible()) {
        composition_->Move(area_, rect);
    }
}

void GtkNativeWindow::ShowComposition() {
    if (im_ && composition_) {
        composition_->Update(im_, area_, imeArea_);
    }
}

PointI GtkNativeWindow::ScreenToClient(PointI screen) const {
    int ox = 0, oy = 0;
    if (area_ && gtk_widget_get_window(area_)) {
        gdk_window_get_origin(gtk_widget_get_window(area_), &ox, &oy);
    }
    return {screen.x - ox, screen.y - oy};
}

void GtkNativeWindow::Destroy() {
    DestroyWindow(hwnd_);
}

bool GtkNativeWindow::OnEvent(GdkEvent* e) {
    if (e->type == GDK_BUTTON_PRESS || e->type == GDK_2BUTTON_PRESS || e->type == GDK_KEY_PRESS ||
        e->type == GDK_SCROLL || e->type == GDK_LEAVE_NOTIFY || e->type == GDK_FOCUS_CHANGE) {
        DismissTooltip();
    }
    switch (e->type) {
    case GDK_BUTTON_PRESS:
    case GDK_2BUTTON_PRESS:
    case GDK_BUTTON_RELEASE:
        return OnButton(e);
    case GDK_MOTION_NOTIFY:
        return OnMotion(e);
    case GDK_LEAVE_NOTIFY:
        return OnLeave(e);
    case GDK_SCROLL:
        return OnScroll(e);
    case GDK_KEY_PRESS:
    case GDK_KEY_RELEASE:
        return OnKey(e);
    case GDK_FOCUS_CHANGE:
        return OnFocus(e->focus_change.in);
    default:
        return false;
    }
}

bool GtkNativeWindow::OnButton(GdkEvent* e) {
    const GdkEventButton& b = e->button;
    NoteModifiers(b.state);
    if (b.type == GDK_BUTTON_PRESS) {
        gtk_widget_grab_focus(area_);
        // A click moves the caret: a composition in progress ends where it was, as text views
        // do, instead of following the caret into another cell.
        gtk_im_context_reset(im_);
    }
    UINT message = 0;
    if (b.button == 1) {
        message = b.type == GDK_BUTTON_RELEASE  ? WM_LBUTTONUP
                  : b.type == GDK_2BUTTON_PRESS ? WM_LBUTTONDBLCLK
                                                : WM_LBUTTONDOWN;
    } else if (b.button == 3) {
        message = b.type == GDK_BUTTON_RELEASE  ? WM_RBUTTONUP
                  : b.type == GDK_2BUTTON_PRESS ? WM_RBUTTONDBLCLK
                                                : WM_RBUTTONDOWN;
    } else if (b.button == 2 && b.type != GDK_2BUTTON_PRESS) {
        message = b.type == GDK_BUTTON_RELEASE ? WM_MBUTTONUP : WM_MBUTTONDOWN;
    }
    if (message) {
        Send(message, KeyStateOf(b.state), PointParam(b.x, b.y));
    }
    return true;
}

bool GtkNativeWindow::OnMotion(GdkEvent* e) {
    const GdkEventMotion& m = e->motion;
    NoteModifiers(m.state);
    pointer_ = {static_cast<int>(m.x_root), static_cast<int>(m.y_root)};
    Send(WM_MOUSEMOVE, KeyStateOf(m.state), PointParam(m.x, m.y));
    return true;
}

bool GtkNativeWindow::OnLeave(GdkEvent* e) {
    if (e->crossing.mode != GDK_CROSSING_NORMAL || capture_ ||
        (e->crossing.state & (GDK_BUTTON1_MASK | GDK_BUTTON3_MASK))) {
        return false;
    }
    Send(WM_MOUSELEAVE, 0, 0);
    return true;
}

bool GtkNativeWindow::OnScroll(GdkEvent* e) {
    const GdkEventScroll& s = e->scroll;
    NoteModifiers(s.state);
    double dx = 0, dy = 0;
    switch (s.direction) {
    case GDK_SCROLL_UP:
        dy = -1;
        break;
    case GDK_SCROLL_DOWN:
        dy = 1;
        break;
    case GDK_SCROLL_LEFT:
        dx = -1;
        break;
    case GDK_SCROLL_RIGHT:
        dx = 1;
        break;
    case GDK_SCROLL_SMOOTH:
        gdk_event_get_scroll_deltas(e, &dx, &dy);
        break;
    }
    const LPARAM screen = PointParam(s.x_root, s.y_root);
    const auto wheel = [&](UINT message, double steps, int sign) {
        const int delta = static_cast<int>(std::lround(steps * WHEEL_DELTA)) * sign;
        if (delta != 0) {
            Send(message, (static_cast<WPARAM>(delta & 0xFFFF) << 16) | KeyStateOf(s.state),
                 screen);
        }
    };
    // Rolling away from the user scrolls up and is a positive delta.
    wheel(WM_MOUSEWHEEL, dy, -1);
    wheel(WM_MOUSEHWHEEL, dx, 1);
    return true;
}

bool GtkNativeWindow::OnKey(GdkEvent* e) {
    const GdkEventKey& k = e->key;
    NoteModifiers(k.state);
    const bool press = k.type == GDK_KEY_PRESS;
    const bool control = k.state & (GDK_CONTROL_MASK | GDK_MOD1_MASK);
    if (!control && gtk_im_context_filter_keypress(im_, &e->key)) {
        return true;
    }
    const WPARAM vk = VirtualKey(k.keyval);
    if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) {
        // The modifier's own event reports the state before it; correct it for this key.
        SetModifierState(vk == VK_SHIFT ? press : IsKeyDown(VK_SHIFT),
                         vk == VK_CONTROL ? press : IsKeyDown(VK_CONTROL),
                         vk == VK_MENU ? press : IsKeyDown(VK_MENU));
    }
    if (vk) {
        Send(press ? WM_KEYDOWN : WM_KEYUP, vk, 1);
    }
    if (press && !control) {
        // Keys that translate to characters without an input method, as TranslateMessage does.
        guint32 ch = 0;
        if (vk == VK_BACK || vk == VK_TAB || vk == VK_RETURN || vk == VK_ESCAPE) {
            ch = static_cast<guint32>(vk);
        } else {
            ch = gdk_keyval_to_unicode(k.keyval);
        }
        if (ch >= 0x20 || ch == VK_BACK || ch == VK_TAB || ch == VK_RETURN || ch == VK_ESCAPE) {
            std::string utf8;
            AppendUtf8(utf8, ch);
            for (char16_t unit : Utf8ToUtf16(utf8)) {
                Send(WM_CHAR, unit, 1);
            }
        }
    }
    return true;
}

bool GtkNativeWindow::OnFocus(bool in) {
    if (in) {
        gtk_im_context_focus_in(im_);
        Send(WM_SETFOCUS, 0, 0);
    } else {
        gtk_im_context_focus_out(im_);
        // A composition left behind would float over whatever window the teacher went to.
        if (composition_) {
            composition_->Hide();
        }
        Send(WM_KILLFOCUS, 0, 0);
    }
    return false;
}

void GtkNativeWindow::OnSize(int width, int height) {
    if (width == size_.width && height == size_.height) {
        return;
    }
    size_ = {width, height};
    Send(WM_SIZE, 0, MakeLParam(width, height));
}

void GtkNativeWindow::OnCommit(const char* text) {
    for (char16_t unit : Utf8ToUtf16(text)) {
        Send(WM_CHAR, unit, 1);
    }
}

} // namespace platform
