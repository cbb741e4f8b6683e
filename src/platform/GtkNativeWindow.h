#pragma once
// The on-screen window backend: a GTK top-level window whose drawing area is painted by the
// program. GDK events become messages delivered synchronously to the window procedure.
#include "platform/NativeWindow.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>

struct _GtkWidget;
struct _GtkIMContext;
union _GdkEvent;
union _XEvent;
struct _XDisplay;

namespace platform {

class CompositionWindow;
class LabelPopup;

class GtkNativeWindow : public NativeWindow {
public:
    // Use NativeWindow::Create, which sends WM_CREATE before the window is shown.
    explicit GtkNativeWindow(WindowParams params);
    ~GtkNativeWindow() override;

    HWND Handle() const override { return hwnd_; }
    bool Exists() const override;
    SizeI ClientSize() const override { return size_; }
    RectI Frame() const override;
    void Invalidate(const RectI& rect) override;
    void Scroll(const RectI& rect, int dy) override;
    void SetCapture(bool on) override;
    bool HasCapture() const override { return capture_; }
    void Focus() override;
    bool HasFocus() const override;
    void SetCursor(Cursor cursor) override;
    void SetTooltip(const std::optional<std::string>& text) override;
    void SetImeCursorArea(const RectI& rect) override;
    PointI ScreenToClient(PointI screen) const override;
    void Destroy() override;

    bool Register();

private:
    void Build();
    void TearDown();
    LRESULT Send(UINT message, WPARAM w, LPARAM l);
    // GDK event handlers; each returns whether the event was consumed.
    bool OnEvent(_GdkEvent* event);
    bool OnButton(_GdkEvent* event);
    bool OnMotion(_GdkEvent* event);
    bool OnLeave(_GdkEvent* event);
    bool OnScroll(_GdkEvent* event);
    bool OnKey(_GdkEvent* event);
    bool OnFocus(bool in);
    void OnSize(int width, int height);
    void Draw(_cairo* cr);
    void OnCommit(const char* text);
    // Shows what the input method is composing at the caret, or hides it when nothing is.
    void ShowComposition();
    // The tooltip below the pointer; it stays away after a click, a key or a wheel step until
    // another element's tooltip is asked for.
    void ShowTooltip();
    void DismissTooltip();
    // Repaints what scrolling by copy could not take from the server (see Scroll).
    friend struct CopyEvents;
    void OnCopyEvent(const _XEvent& event);

    WindowParams params_;
    HWND hwnd_ = 0;
    _GtkWidget* window_ = nullptr;
    _GtkWidget* area_ = nullptr;
    _GtkIMContext* im_ = nullptr;
    std::unique_ptr<CompositionWindow> composition_;
    std::unique_ptr<LabelPopup> tooltip_;
    std::optional<std::string> tooltipText_;
    bool tooltipPending_ = false; // the pause before it shows is running
    PointI pointer_;              // screen pixels, from the last motion
    RectI imeArea_;
    SizeI size_;
    bool capture_ = false;
    Cursor cursor_ = Cursor::Arrow;
    // Scrolling copies on the native window that holds the drawing area, at this offset.
    struct CopyTarget {
        _XDisplay* display = nullptr;
        unsigned long xid = 0;
        int x = 0;
        int y = 0;
    };
    struct Copy {
        unsigned long serial; // of the copy request
        RectI area;
        int dy;
    };
    void* copyGc_ = nullptr;
    CopyTarget copyTarget_;
    std::deque<Copy> copies_;
};

} // namespace platform
