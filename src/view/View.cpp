#include "view/View.h"

#include "gfx/Graphics.h"
#include "gfx/Units.h"
#include "platform/DiagnosticLog.h"
#include "platform/Display.h"
#include "platform/Keyboard.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "view/ViewFactory.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace Plenvo {

namespace {

std::uint64_t HighResolutionStamp() {
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

platform::Cursor PlatformCursor(Cursor cursor) {
    switch (cursor) {
    case Cursor::Hand:
        return platform::Cursor::Hand;
    case Cursor::IBeam:
        return platform::Cursor::IBeam;
    default:
        return platform::Cursor::Arrow;
    }
}

} // namespace

CView::CView(std::string pageName, ViewServices services)
    : CViewRoot(Json(), gfx::ScreenDpi()), pageName_(std::move(pageName)),
      services_(std::move(services)), stamp_(HighResolutionStamp()), overlays_(*this),
      template_(*this, services_.session, services_.serviceBase) {}

CView::~CView() {
    template_.Stop();
    if (WindowExists()) {
        // The window's procedure must not reach this half-destroyed object.
        closeCallbacks_.clear();
        window_->Destroy();
    }
}

platform::RectI CView::Geometry(const std::string& pageName, const platform::RectI& workArea,
                                double dpi) {
    // The 95 % share is formed in single precision, as the window was designed with.
    const float share = 0.95f * static_cast<float>(workArea.width);
    const double cap = dpi * 10.62992125984252; // 270 mm
    const int width = static_cast<int>(std::min(static_cast<double>(share), cap));
    const int height = static_cast<int>(0.95 * workArea.height);
    const int top = (workArea.height - height) / 2;
    const int left = pageName == "suggestion" ? workArea.width - width - 20 : 20;
    return {left, top, width, height};
}

bool CView::Create() {
    platform::WindowParams params;
    params.title = kTitle;
    params.frame = Geometry(pageName_, platform::WorkArea(), Dpi());
    params.proc = [this](platform::HWND h, platform::UINT m, platform::WPARAM w,
                         platform::LPARAM l) { return WindowProc(h, m, w, l); };
    params.paint = [this](cairo_t* cr, const platform::RectI& update) { PaintWindow(cr, update); };
    // The creation size is known before the window exists; WM_CREATE reads it from here.
    SetClientPixels({params.frame.width, params.frame.height});
    window_ = services_.offscreen ? platform::NativeWindow::CreateOffscreen(std::move(params))
                                  : platform::NativeWindow::Create(std::move(params));
    return window_ != nullptr;
}

bool CView::WindowExists() const {
    return window_ && window_->Exists();
}

void CView::Destroy() {
    if (WindowExists()) {
        window_->Destroy();
    }
}

void CView::Close() {
    if (WindowExists()) {
        platform::SendMessage(window_->Handle(), platform::WM_CLOSE, 0, 0);
    }
}

platform::LRESULT CView::WindowProc(platform::HWND, platform::UINT message, platform::WPARAM wParam,
                                    platform::LPARAM lParam) {
    using namespace platform;
    // Whoever the message makes let go of this window (its close callbacks, a page), it lives
    // until the message is handled.
    const auto keepAlive = weak_from_this().lock();
    overlays_.ReleaseRetired();
    LRESULT result = 0;
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_CLOSE:
        if (GetViewHooks().closing && !GetViewHooks().closing(*this)) {
            return 0;
        }
        Destroy();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        OnSize(LowWord(lParam), HighWord(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == kLayoutTimer) {
            OnLayoutTimer();
            return 0;
        }
        if (wParam == CWindowCaret::kTimer) {
            caret_.OnTimer();
            return 0;
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        caret_.UpdateBlink();
        break;
    case WM_KEYDOWN:
        if (wParam == 'S' && IsKeyDown(VK_CONTROL) && GetViewHooks().save) {
            GetViewHooks().save(*this);
        }
        break;
    case WM_REFRESH_HISTORY:
        if (GetViewHooks().refreshHistory) {
            GetViewHooks().refreshHistory(*this);
        }
        return 0;
    case WM_EDIT_PLAN_INFO:
        if (GetViewHooks().editPlanInfo) {
            GetViewHooks().editPlanInfo(*this, static_cast<int>(wParam));
        }
        return 0;
    default:
        break;
    }
    RootMessage(message, wParam, lParam, result);
    return result;
}

void CView::OnCreate() {
    // The root's offered space, size and content all start as the creation size.
    space_ = size_ = ClientArea();
    contentRect_ = {0, 0, size_.width, size_.height};
    template_.Start();
}

void CView::OnDestroy() {
    template_.Stop();
    const auto callbacks = closeCallbacks_;
    for (const auto& callback : callbacks) {
        callback(this, stamp_);
    }
}

bool CView::DescriptionIsEmpty() const {
    return description_.is_null() ||
           ((description_.is_object() || description_.is_array()) && description_.empty());
}

void CView::OnSize(int width, int height) {
    SetClientPixels({width, height});
    space_ = ClientArea();
    if (DescriptionIsEmpty()) {
        size_ = space_;
        contentRect_.width = space_.width;
        contentRect_.height = space_.height;
    }
    RequestLayout();
}

void CView::ScheduleLayout() {
    if (WindowExists()) {
        platform::SetTimer(window_->Handle(), kLayoutTimer, 1);
    } else {
        // Without a window nothing would ever lay the tree out; the next window will.
        LayoutDone();
    }
}

void CView::OnLayoutTimer() {
    platform::KillTimer(window_->Handle(), kLayoutTimer);
    LayoutDone();
    InvalidateRectMm(LayoutAll(ClientArea()));
}

void CView::Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                   bool registerInLayer) {
    const gfx::RectF bottomBefore = overlays_.BottomMessageArea();
    CViewRoot::Layout(result, origin, resultSize, registerInLayer);
    const gfx::RectF bottomAfter = overlays_.LayoutBottomMessages();
    overlays_.LayoutCover();
    result = gfx::RectF::Union(gfx::RectF::Union(result, bottomBefore), bottomAfter);
}

void CView::PaintWindow(cairo_t* cr, const platform::RectI& update) {
    overlays_.ReleaseRetired();
    if (update.Empty()) {
        return;
    }
    const double dpi = Dpi();
    gfx::Graphics graphics(cr, dpi);
    const gfx::RectF clip = {gfx::PxToMm(update.x, dpi), gfx::PxToMm(update.y, dpi),
                             gfx::PxToMm(update.width, dpi), gfx::PxToMm(update.height, dpi)};
    graphics.SetClip(clip);
    graphics.FillRectangle(0xFFFFFFFF, clip);
    Render(graphics, clip);
    caret_.Paint(cr, update);
}

// --- Input ---

void CView::SetCursor(Cursor cursor) {
    const platform::Cursor wanted = PlatformCursor(cursor == Cursor::None ? cursor_ : cursor);
    if (wanted != windowCursor_ && WindowExists()) {
        windowCursor_ = wanted;
        window_->SetCursor(wanted);
    }
}

void CView::CaptureChanged(bool on) {
    SetCapture(on);
}

Point CView::ScreenToClient(Point screen) {
    if (!WindowExists()) {
        return screen;
    }
    return window_->ScreenToClient(screen);
}

// --- Invalidation ---

void CView::InvalidatePixels(const platform::RectI& rect) {
    if (WindowExists()) {
        window_->Invalidate(rect);
    }
}

bool CView::ScrollPixels(const platform::RectI& rect, int dy) {
    if (!WindowExists()) {
        return false;
    }
    window_->Scroll(rect, dy);
    caret_.Scrolled(rect, dy);
    return true;
}

void CView::Invalidate(const platform::RectI& rect) {
    InvalidatePixels(rect);
}

void CView::InvalidateArea(const gfx::RectF& rect, int unit) {
    if (unit == kUnitPixel) {
        Invalidate(platform::RectI{static_cast<int>(rect.x), static_cast<int>(rect.y),
                                   static_cast<int>(rect.width), static_cast<int>(rect.height)});
    } else if (unit == kUnitMillimetre) {
        InvalidateRectMm(rect);
    }
}

void CView::InvalidateAll() {
    if (WindowExists()) {
        const platform::SizeI size = window_->ClientSize();
        window_->Invalidate({0, 0, size.width, size.height});
    }
}

// --- Caret ---

void CView::CreateCaret(const gfx::Bitmap*, int width, int height) {
    caret_.Create(width, height);
}

void CView::ShowCaret() {
    caret_.Show();
}

void CView::HideCaret() {
    caret_.Hide();
}

void CView::SetCaretPos(int x, int y) {
    caret_.SetPos(x, y);
}

// --- Window services ---

void CView::SetCapture(bool on) {
    if (WindowExists()) {
        window_->SetCapture(on);
    }
}

void CView::SetFocus() {
    if (WindowExists()) {
        window_->Focus();
        caret_.UpdateBlink();
    }
}

gfx::Graphics* CView::GetDC() {
    if (!measure_) {
        measure_ = std::make_unique<gfx::OffscreenSurface>(1, 1, Dpi());
    }
    return &measure_->GetGraphics();
}

void CView::SetTimer(platform::UINT_PTR id, unsigned milliseconds) {
    if (WindowExists()) {
        platform::SetTimer(window_->Handle(), id, milliseconds);
    }
}

void CView::KillTimer(platform::UINT_PTR id) {
    if (WindowExists()) {
        platform::KillTimer(window_->Handle(), id);
    }
}

platform::HWND CView::GetHandle() {
    return window_ ? window_->Handle() : 0;
}

gfx::SizeF CView::GetClientSize() {
    return ClientArea();
}

void CView::Log(const std::string& text, unsigned) {
    platform::DiagnosticLog().Log(text);
}

void CView::ShowTooltip(const std::optional<std::string>& text) {
    if (WindowExists()) {
        window_->SetTooltip(text);
    }
}

void CView::ShowToast(const std::string& text, unsigned duration) {
    overlays_.ShowToast(text, duration);
}

void CView::ShowBottomMessage(const std::string& text, const std::string& title,
                              const std::optional<std::string>& firstCaption,
                              const std::optional<std::string>& secondCaption,
                              std::function<void(int button)> callback) {
    overlays_.ShowBottomMessage(text, title, firstCaption, secondCaption, std::move(callback));
}

void CView::ShowProgress() {
    overlays_.ShowProgress();
}

void CView::HideProgress() {
    overlays_.HideProgress();
}

// --- Screen template ---

void CView::ApplyTemplate(Json description) {
    SetDescription(std::move(description));
    RequestLayout();
    if (GetViewHooks().templateApplied) {
        GetViewHooks().templateApplied(*this);
    }
    const auto ready = readyCallbacks_;
    for (const auto& callback : ready) {
        callback(this);
    }
    Log("已加载模板", 0);
    DismissBottomMessages();
    InvalidateAll();
}

} // namespace Plenvo
