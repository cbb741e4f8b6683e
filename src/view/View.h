#pragma once
// The page window: a platform window around the root of its tree (the root services and the
// layered renderer are CViewRoot's), the host every element reaches through IHostWindow, and the
// caret drawn over the tree. Its screen template comes from the service (CScreenTemplate) and
// becomes the root's description; the hooks let higher layers act on the window's events.
#include "gfx/OffscreenSurface.h"
#include "platform/Messages.h"
#include "platform/NativeWindow.h"
#include "view/IHostWindow.h"
#include "view/ScreenTemplate.h"
#include "view/ViewHooks.h"
#include "view/ViewOverlays.h"
#include "view/ViewRoot.h"
#include "view/WindowCaret.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace SimpleCurl {
class CSession;
struct response;
} // namespace SimpleCurl

namespace Plenvo {

// What a page window needs from the application that opens it.
struct ViewServices {
    std::shared_ptr<SimpleCurl::CSession> session;
    // The service's base URL, ending in "/".
    std::string serviceBase;
    // An offscreen window (tests, images) instead of one on the screen.
    bool offscreen = false;
};

class CView : public CViewRoot, public IHostWindow {
public:
    using CloseCallback = std::function<void(CView* view, std::uint64_t stamp)>;
    using ReadyCallback = std::function<void(CView* view)>;

    static constexpr const char* kTitle = "Tavrin教育系统";
    static constexpr platform::UINT_PTR kLayoutTimer = platform::TIMER_LAYOUT;
    static constexpr platform::UINT_PTR kCaretTimer = CWindowCaret::kTimer;
    static constexpr unsigned kTemplateRetryMs = CScreenTemplate::kRetryMs;

    CView(std::string pageName, ViewServices services);
    ~CView() override;

    // The window's place on the screen for a page: 95 % of the work area, at most 270 mm wide,
    // 20 pixels from the left edge (the suggestion window 20 pixels from the right edge).
    static platform::RectI Geometry(const std::string& pageName, const platform::RectI& workArea,
                                    double dpi);

    // Creates the window and starts fetching the template; false when the window could not be
    // made.
    bool Create();
    bool WindowExists() const;
    // Destroys the window (the close callbacks run); the object lives on while held.
    void Destroy();
    // Asks the window to close as the user's close button does.
    void Close();

    void AddCloseCallback(CloseCallback callback) {
        closeCallbacks_.push_back(std::move(callback));
    }
    void AddReadyCallback(ReadyCallback callback) {
        readyCallbacks_.push_back(std::move(callback));
    }

    const std::string& PageName() const { return pageName_; }
    std::uint64_t Stamp() const { return stamp_; }
    platform::NativeWindow* Window() const { return window_.get(); }
    const std::string& TemplateETag() const { return template_.ETag(); }
    CScreenTemplate& Template() { return template_; }
    const ViewServices& Services() const { return services_; }
    CViewOverlays& Overlays() { return overlays_; }

    // Fires the template request at once (the retry button).
    void RetryTemplateNow() { template_.RetryNow(); }
    // Applies a template reply; the completion of the template request calls it.
    void OnTemplateReply(SimpleCurl::response& reply) { template_.OnReply(reply); }
    // Makes a template the root's description: laid out, the hooks and ready callbacks told.
    void ApplyTemplate(Json description);
    void DismissBottomMessages() { overlays_.DismissBottomMessages(); }
    // Handles one window message as the platform delivers it.
    platform::LRESULT WindowProc(platform::HWND hwnd, platform::UINT message,
                                 platform::WPARAM wParam, platform::LPARAM lParam);

    // --- Root services a window adds to the root's ---
    void Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                bool registerInLayer) override;
    Point ScreenToClient(Point screen) override;
    void SetCursor(Cursor cursor) override;
    IHostWindow* GetHostWindow() override { return this; }

    // --- IHostWindow ---
    void Invalidate(const platform::RectI& rect) override;
    void InvalidateArea(const gfx::RectF& rect, int unit) override;
    void ShowCaret() override;
    void CreateCaret(const gfx::Bitmap* bitmap, int width, int height) override;
    void SetCaretPos(int x, int y) override;
    void HideCaret() override;
    void Reserved(int, int) override {}
    void SetCapture(bool on) override;
    void SetFocus() override;
    gfx::Graphics* GetDC() override;
    void ReleaseDC(gfx::Graphics*) override {}
    void SetTimer(platform::UINT_PTR id, unsigned milliseconds) override;
    void KillTimer(platform::UINT_PTR id) override;
    platform::HWND GetHandle() override;
    gfx::SizeF GetClientSize() override;
    void Log(const std::string& text, unsigned duration) override;
    void ShowTooltip(const std::optional<std::string>& text) override;
    void ShowToast(const std::string& text, unsigned duration) override;
    void ShowBottomMessage(const std::string& text, const std::string& title,
                           const std::optional<std::string>& firstCaption,
                           const std::optional<std::string>& secondCaption,
                           std::function<void(int button)> callback) override;
    void ShowProgress() override;
    void HideProgress() override;

    // Invalidates the whole client area.
    void InvalidateAll();
    // Paints the update rectangle (pixels) of the window onto a cairo context in pixels.
    void PaintWindow(cairo_t* cr, const platform::RectI& update);

protected:
    void InvalidatePixels(const platform::RectI& rect) override;
    bool ScrollPixels(const platform::RectI& rect, int dy) override;
    void ScheduleLayout() override;
    void CaptureChanged(bool on) override;

private:
    void OnCreate();
    void OnDestroy();
    void OnSize(int width, int height);
    void OnLayoutTimer();
    bool DescriptionIsEmpty() const;

    std::string pageName_;
    ViewServices services_;
    std::unique_ptr<platform::NativeWindow> window_;
    std::vector<CloseCallback> closeCallbacks_;
    std::vector<ReadyCallback> readyCallbacks_;
    std::uint64_t stamp_;
    CViewOverlays overlays_;
    CScreenTemplate template_;
    platform::Cursor windowCursor_ = platform::Cursor::Arrow;
    CWindowCaret caret_{[this] { return WindowExists() ? window_.get() : nullptr; }};
    std::unique_ptr<gfx::OffscreenSurface> measure_;
};

} // namespace Plenvo
