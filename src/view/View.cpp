#include "view/View.h"

#include "gfx/Graphics.h"
#include "gfx/Units.h"
#include "net/ReplyCheck.h"
#include "net/ServiceEndpoints.h"
#include "net/ServiceTexts.h"
#include "net/SimpleCurlAsync.h"
#include "net/ThreadTimer.h"
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

// Millimetres to a pixel rectangle that covers every pixel the area touches.
platform::RectI CoveringPixels(const gfx::RectF& mm, double dpi) {
    const int left = static_cast<int>(std::floor(gfx::MmToPx(mm.x, dpi)));
    const int top = static_cast<int>(std::floor(gfx::MmToPx(mm.y, dpi)));
    const int right = static_cast<int>(std::ceil(gfx::MmToPx(mm.Right(), dpi)));
    const int bottom = static_cast<int>(std::ceil(gfx::MmToPx(mm.Bottom(), dpi)));
    return {left, top, right - left, bottom - top};
}

// The value of a header whatever the case of its name, as the reply map keeps it.
std::string HeaderValue(const SimpleCurl::response& reply, std::string_view name) {
    for (const auto& [key, value] : reply.headers) {
        if (key.size() == name.size() &&
            std::equal(key.begin(), key.end(), name.begin(),
                       [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
            return value;
        }
    }
    return {};
}

} // namespace

CView::CView(std::string pageName, ViewServices services)
    : CViewElement(Json()), m_pageName(std::move(pageName)), m_services(std::move(services)),
      m_stamp(HighResolutionStamp()), m_overlays(*this) {}

CView::~CView() {
    if (m_templateTimer) {
        SimpleCurl::KillThreadTimer(m_templateTimer);
    }
    if (WindowExists()) {
        // The window's procedure must not reach this half-destroyed object.
        m_closeCallbacks.clear();
        m_window->Destroy();
    }
}

double CView::Dpi() const {
    return gfx::ScreenDpi();
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
    params.frame = Geometry(m_pageName, platform::WorkArea(), Dpi());
    params.proc = [this](platform::HWND h, platform::UINT m, platform::WPARAM w,
                         platform::LPARAM l) { return WindowProc(h, m, w, l); };
    params.paint = [this](cairo_t* cr, const platform::RectI& update) { PaintWindow(cr, update); };
    // The creation size is known before the window exists; WM_CREATE reads it from here.
    const double dpi = Dpi();
    m_space = {gfx::PxToMm(params.frame.width, dpi), gfx::PxToMm(params.frame.height, dpi)};
    m_window = m_services.offscreen ? platform::NativeWindow::CreateOffscreen(std::move(params))
                                    : platform::NativeWindow::Create(std::move(params));
    return m_window != nullptr;
}

bool CView::WindowExists() const {
    return m_window && m_window->Exists();
}

void CView::Destroy() {
    if (WindowExists()) {
        m_window->Destroy();
    }
}

void CView::Close() {
    if (WindowExists()) {
        platform::SendMessage(m_window->Handle(), platform::WM_CLOSE, 0, 0);
    }
}

platform::LRESULT CView::WindowProc(platform::HWND, platform::UINT message, platform::WPARAM wParam,
                                    platform::LPARAM lParam) {
    using namespace platform;
    // Whoever the message makes let go of this window (its close callbacks, a page), it lives
    // until the message is handled.
    const auto keepAlive = weak_from_this().lock();
    m_overlays.ReleaseRetired();
    LRESULT result = 0;
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_CLOSE:
        if (GetViewHooks().closing) {
            GetViewHooks().closing(*this);
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
        if (wParam == kCaretTimer) {
            OnCaretTimer();
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(lParam);
        break;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        UpdateCaretBlink();
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
    RouteMessage(message, wParam, lParam, result);
    return result;
}

void CView::OnCreate() {
    // The root's offered space, size and content all start as the creation size.
    m_size = m_space;
    m_contentRect = {0, 0, m_space.width, m_space.height};
    const std::weak_ptr<CViewElement> weak = weak_from_this();
    m_templateTimer = SimpleCurl::RegisterThreadTimer(0, [weak](platform::UINT_PTR id) {
        auto self = std::static_pointer_cast<CView>(weak.lock());
        if (!self) {
            SimpleCurl::KillThreadTimer(id);
            return;
        }
        SimpleCurl::SetThreadTimer(id, kTemplateRetryMs);
        self->RequestTemplate();
    });
}

void CView::OnDestroy() {
    if (m_templateTimer) {
        SimpleCurl::KillThreadTimer(m_templateTimer);
        m_templateTimer = 0;
    }
    const auto callbacks = m_closeCallbacks;
    for (const auto& callback : callbacks) {
        callback(this, m_stamp);
    }
}

bool CView::DescriptionIsEmpty() const {
    return m_description.is_null() ||
           ((m_description.is_object() || m_description.is_array()) && m_description.empty());
}

void CView::OnSize(int width, int height) {
    const double dpi = Dpi();
    m_space = {gfx::PxToMm(width, dpi), gfx::PxToMm(height, dpi)};
    if (DescriptionIsEmpty()) {
        m_size = m_space;
        m_contentRect.width = m_space.width;
        m_contentRect.height = m_space.height;
    }
    RequestLayout();
}

void CView::RequestLayout() {
    if (m_layoutPending || !WindowExists()) {
        return;
    }
    m_layoutPending = true;
    platform::SetTimer(m_window->Handle(), kLayoutTimer, 1);
}

void CView::OnLayoutTimer() {
    platform::KillTimer(m_window->Handle(), kLayoutTimer);
    m_layoutPending = false;
    gfx::RectF area;
    gfx::SizeF size;
    Layout(area, {0, 0}, size, true);
    InvalidateRectMm(area);
}

void CView::Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                   bool registerInLayer) {
    const gfx::SizeF client = GetClientSize();
    const gfx::SizeF before = m_size;
    const gfx::RectF bottomBefore = m_overlays.BottomMessageArea();
    m_space = client;
    CViewElement::Layout(result, origin, resultSize, registerInLayer);
    // The root is always exactly the client area, whatever its description says.
    m_size = client;
    m_contentRect = {m_padding.left, m_padding.top, client.width - m_padding.left - m_padding.right,
                     client.height - m_padding.top - m_padding.bottom};
    const gfx::RectF bottomAfter = m_overlays.LayoutBottomMessages();
    m_overlays.LayoutCover();
    result = gfx::RectF::Union(gfx::RectF::Union(result, bottomBefore), bottomAfter);
    if (before != client) {
        result = {0, 0, client.width, client.height};
    }
    resultSize = client;
}

void CView::PaintWindow(cairo_t* cr, const platform::RectI& update) {
    m_overlays.ReleaseRetired();
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
    if (m_caret.created && m_caret.hideCount == 0 && m_caret.blinkOn) {
        // The caret inverts what lies under it, as the platform's caret does.
        cairo_save(cr);
        cairo_identity_matrix(cr);
        cairo_reset_clip(cr);
        cairo_rectangle(cr, update.x, update.y, update.width, update.height);
        cairo_clip(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_rectangle(cr, m_caret.rect.x, m_caret.rect.y, m_caret.rect.width,
                        m_caret.rect.height);
        cairo_fill(cr);
        cairo_restore(cr);
    }
}

// --- Input ---

void CView::OnMouseMove(platform::LPARAM lParam) {
    const double dpi = Dpi();
    const gfx::PointF point{gfx::PxToMm(platform::LowWord(lParam), dpi),
                            gfx::PxToMm(platform::HighWord(lParam), dpi)};
    if (m_slots.HoverId() && !m_slots.HoverRect().Contains(point)) {
        m_slots.LeaveHover();
    }
    if (auto element = HitTest(point)) {
        element->SetCursor(Cursor::None);
    }
    // The GTK backend always reports leaving; the flag keeps the request-once bookkeeping.
    m_trackingArmed = false;
}

void CView::OnMouseLeave() {
    m_trackingArmed = true;
    m_slots.LeaveHover();
}

bool CView::TrackHoverRegion(ElementId id, const gfx::RectF& rect, LeaveCallback leave) {
    return m_slots.TrackHover(id, rect, std::move(leave));
}

void CView::SetFocusId(ElementId id) {
    m_slots.SetFocus(id);
}

void CView::SetFocusId(ElementId id, KillFocusCallback killFocus) {
    m_slots.SetFocus(id, std::move(killFocus));
}

std::shared_ptr<CViewElement> CView::HitTest(gfx::PointF pointMm) {
    return HitTestLayers(pointMm);
}

void CView::SetCursor(Cursor cursor) {
    const platform::Cursor wanted = PlatformCursor(cursor == Cursor::None ? m_cursor : cursor);
    if (wanted != m_windowCursor && WindowExists()) {
        m_windowCursor = wanted;
        m_window->SetCursor(wanted);
    }
}

void CView::SetMouseCapture(bool on, CViewElement* element) {
    SetCapture(on);
    if (on) {
        CViewElement* target = element ? element : this;
        m_captureElement = target->weak_from_this();
        SetCaptureElement(target->shared_from_this());
    } else {
        m_captureElement.reset();
        ClearCaptureElement();
    }
}

bool CView::HasMouseCapture(const CViewElement* element) {
    auto captured = m_captureElement.lock();
    return captured && captured.get() == element;
}

Point CView::ScreenToClient(Point screen) {
    if (!WindowExists()) {
        return screen;
    }
    return m_window->ScreenToClient(screen);
}

// --- Invalidation ---

void CView::InvalidateRectMm(const gfx::RectF& rect) {
    if (rect.IsEmpty() || !WindowExists()) {
        return;
    }
    // Every pixel the area touches: rounding each edge outward leaves no stale sliver.
    const platform::RectI px = CoveringPixels(rect, Dpi());
    if (!px.Empty()) {
        m_window->Invalidate(px);
    }
}

void CView::Invalidate(const PixelRect& rect) {
    if (WindowExists()) {
        m_window->Invalidate({rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top});
    }
}

void CView::InvalidateArea(const gfx::RectF& rect, int unit) {
    if (unit == kUnitPixel) {
        const int x = static_cast<int>(rect.x), y = static_cast<int>(rect.y);
        Invalidate(
            PixelRect{x, y, x + static_cast<int>(rect.width), y + static_cast<int>(rect.height)});
    } else if (unit == kUnitMillimetre) {
        InvalidateRectMm(rect);
    }
}

void CView::InvalidateAll() {
    if (WindowExists()) {
        const platform::SizeI size = m_window->ClientSize();
        m_window->Invalidate({0, 0, size.width, size.height});
    }
}

// --- Caret ---

void CView::CreateCaret(const gfx::Bitmap*, int width, int height) {
    InvalidateCaret();
    m_caret.created = true;
    m_caret.hideCount = 1;
    m_caret.rect.width = std::max(width, 1);
    m_caret.rect.height = std::max(height, 1);
    UpdateCaretBlink();
}

void CView::ShowCaret() {
    if (m_caret.created && m_caret.hideCount > 0 && --m_caret.hideCount == 0) {
        m_caret.blinkOn = true;
        InvalidateCaret();
    }
    UpdateCaretBlink();
}

void CView::HideCaret() {
    if (m_caret.created && m_caret.hideCount++ == 0) {
        InvalidateCaret();
    }
    UpdateCaretBlink();
}

void CView::SetCaretPos(int x, int y) {
    InvalidateCaret();
    m_caret.rect.x = x;
    m_caret.rect.y = y;
    m_caret.blinkOn = true;
    InvalidateCaret();
    if (WindowExists()) {
        m_window->SetImeCursorArea(m_caret.rect);
    }
    // Moving restarts the blink so the caret is seen where it landed.
    if (m_caret.blinking) {
        platform::SetTimer(m_window->Handle(), kCaretTimer, 530);
    }
}

void CView::InvalidateCaret() {
    if (m_caret.created && WindowExists()) {
        m_window->Invalidate(m_caret.rect);
    }
}

void CView::UpdateCaretBlink() {
    // Blink only while it can be seen: an unfocused window wakes nobody up.
    const bool want =
        WindowExists() && m_caret.created && m_caret.hideCount == 0 && m_window->HasFocus();
    if (want == m_caret.blinking) {
        return;
    }
    m_caret.blinking = want;
    if (want) {
        platform::SetTimer(m_window->Handle(), kCaretTimer, 530);
    } else if (WindowExists()) {
        platform::KillTimer(m_window->Handle(), kCaretTimer);
    }
    m_caret.blinkOn = true;
    InvalidateCaret();
}

void CView::OnCaretTimer() {
    m_caret.blinkOn = !m_caret.blinkOn;
    InvalidateCaret();
}

// --- Window services ---

void CView::SetCapture(bool on) {
    if (WindowExists()) {
        m_window->SetCapture(on);
    }
}

void CView::SetFocus() {
    if (WindowExists()) {
        m_window->Focus();
        UpdateCaretBlink();
    }
}

gfx::Graphics* CView::GetDC() {
    if (!m_measure) {
        m_measure = std::make_unique<gfx::OffscreenSurface>(1, 1, Dpi());
    }
    return &m_measure->GetGraphics();
}

void CView::SetTimer(platform::UINT_PTR id, unsigned milliseconds) {
    if (WindowExists()) {
        platform::SetTimer(m_window->Handle(), id, milliseconds);
    }
}

void CView::KillTimer(platform::UINT_PTR id) {
    if (WindowExists()) {
        platform::KillTimer(m_window->Handle(), id);
    }
}

platform::HWND CView::GetHandle() {
    return m_window ? m_window->Handle() : 0;
}

gfx::SizeF CView::GetClientSize() {
    if (!m_window) {
        return m_space;
    }
    const platform::SizeI px = m_window->ClientSize();
    return {gfx::PxToMm(px.width, Dpi()), gfx::PxToMm(px.height, Dpi())};
}

void CView::Log(const std::string& text, unsigned) {
    platform::DiagnosticLog().Log(text);
}

void CView::ShowTooltip(const std::optional<std::string>& text) {
    if (WindowExists()) {
        m_window->SetTooltip(text);
    }
}

void CView::ShowToast(const std::string& text, unsigned duration) {
    m_overlays.ShowToast(text, duration);
}

void CView::ShowBottomMessage(const std::string& text, const std::string& title,
                              const std::optional<std::string>& firstCaption,
                              const std::optional<std::string>& secondCaption,
                              std::function<void(int button)> callback) {
    m_overlays.ShowBottomMessage(text, title, firstCaption, secondCaption, std::move(callback));
}

void CView::ShowProgress() {
    m_overlays.ShowProgress();
}

void CView::HideProgress() {
    m_overlays.HideProgress();
}

// --- Screen template ---

void CView::RetryTemplateNow() {
    if (m_templateTimer) {
        SimpleCurl::SetThreadTimer(m_templateTimer, 0);
    }
}

void CView::RequestTemplate() {
    const std::weak_ptr<CViewElement> weak = weak_from_this();
    auto request =
        std::make_shared<SimpleCurl::CSimpleCurlAsync>(__FILE__, __LINE__, m_services.session);
    const CServiceEndpoints endpoints(m_services.serviceBase);
    request->Get(endpoints.Template(), CServiceEndpoints::TemplateQuery(m_pageName),
                 [weak, timer = m_templateTimer](SimpleCurl::response& reply) {
                     auto self = std::static_pointer_cast<CView>(weak.lock());
                     if (!self || !self->WindowExists()) {
                         SimpleCurl::KillThreadTimer(timer);
                         return;
                     }
                     self->OnTemplateReply(reply);
                 });
}

void CView::OnTemplateReply(SimpleCurl::response& reply) {
    HideProgress();
    const ReplyCheck check = CheckReply(reply, ServiceAction::Template);
    const std::weak_ptr<CViewElement> weak = weak_from_this();
    const auto retryButton = [weak](int) {
        if (auto self = std::static_pointer_cast<CView>(weak.lock())) {
            self->DismissBottomMessages();
            self->ShowProgress();
            self->RetryTemplateNow();
        }
    };
    if (!check.good) {
        ShowBottomMessage(check.message, std::string(ServiceTexts::kErrorTitle),
                          std::string(check.button), std::nullopt, retryButton);
        return;
    }
    const std::string etag = HeaderValue(reply, "ETag");
    if (!etag.empty() && etag == m_templateETag) {
        return;
    }
    Json description = Json::parse(reply.body, nullptr, false);
    // Cut nesting no screen needs before anything copies the value recursively.
    LimitDescriptionDepth(description);
    if (description.is_discarded() || !description.is_object()) {
        // A template that cannot be read is treated as the server's error, and retried.
        ShowBottomMessage(ServiceTexts::FillText(ServiceTexts::kNotJson, {reply.body}),
                          std::string(ServiceTexts::kErrorTitle),
                          std::string(ServiceTexts::kRetryNowButton), std::nullopt, retryButton);
        return;
    }
    ApplyTemplate(std::move(description), etag);
}

void CView::ApplyTemplate(Json description, const std::string& etag) {
    SetDescription(std::move(description));
    RequestLayout();
    if (GetViewHooks().templateApplied) {
        GetViewHooks().templateApplied(*this);
    }
    if (m_templateTimer) {
        SimpleCurl::KillThreadTimer(m_templateTimer);
        m_templateTimer = 0;
    }
    const auto ready = m_readyCallbacks;
    for (const auto& callback : ready) {
        callback(this);
    }
    Log("已加载模板", 0);
    DismissBottomMessages();
    m_templateETag = etag;
    InvalidateAll();
}

} // namespace Plenvo
