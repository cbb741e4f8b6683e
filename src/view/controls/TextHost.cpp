#include "view/controls/TextHost.h"

#include "richtext/PlatformClipboard.h"

#include "gfx/Units.h"
#include "platform/Encoding.h"
#include "platform/Keyboard.h"
#include "platform/Messages.h"

#include <cmath>

namespace Plenvo {

int CTextHost::CharHeightTwips(double fontHeight, double dpi) {
    return static_cast<int>(std::trunc(fontHeight / gfx::kMmPerInch * dpi * kMessageFontPoints));
}

CTextHost::CTextHost(IHostWindow* window, const gfx::RectF& rect, const TextHostSettings& settings,
                     std::function<void()> onChange)
    : window_(window), settings_(settings), rect_(rect), onChange_(std::move(onChange)) {
    // The face name field holds at most 31 characters.
    std::u32string face = platform::Utf8ToUtf32(settings.fontFamily);
    if (face.size() > 31) {
        face.resize(31);
    }
    charFormat_.face = platform::Utf32ToUtf8(face);
    charFormat_.heightTwips = CharHeightTwips(settings.fontHeight, settings.dpi);
    charFormat_.charset = 134;
    charFormat_.autoColor = false;
    charFormat_.color = settings.color & 0xFFFFFF;
    paraFormat_.alignment = settings.alignment;
    paraFormat_.tabStopTwips = 720;
}

CTextHost::~CTextHost() {
    services_.reset(); // the engine may still call back while it goes
}

bool CTextHost::Init() {
    services_ = richtext::CreateTextServices(*this);
    return services_ != nullptr;
}

void CTextHost::SetRect(const gfx::RectF& rect) {
    if (rect == rect_) {
        return;
    }
    const platform::RectI before = TxGetClientRect();
    rect_ = rect;
    const platform::RectI after = TxGetClientRect();
    if (after.width != before.width || after.height != before.height) {
        UpdateExtent();
        return;
    }
    // Only moved: the engine lays out, scrolls and measures relative to its rectangle, so all of
    // that stays valid and only the caret, in client pixels, goes along. Telling the engine would
    // make it lay out, scroll and place the caret again, for every cell of a plan on every
    // scroll; the owner repaints the old and the new place as it does for any moved element.
    ComputeExtent();
    MoveCaret(after.x - before.x, after.y - before.y);
}

void CTextHost::MoveCaret(int dx, int dy) {
    if (dx == 0 && dy == 0) {
        return;
    }
    caret_ = {caret_.x + dx, caret_.y + dy};
    if (caretShown_ && caretPlaced_) {
        ShowCaretPos();
    }
}

void CTextHost::SetVisibleArea(const gfx::RectF& area) {
    if (area == visibleArea_) {
        return;
    }
    visibleArea_ = area;
    if (caretPlaced_) {
        ShowCaretPos();
    }
}

void CTextHost::ShowCaretPos() {
    if (!window_) {
        return;
    }
    const double dpi = settings_.dpi;
    const double x = gfx::PxToMm(caret_.x, dpi);
    const double top = gfx::PxToMm(caret_.y, dpi);
    const double bottom = gfx::PxToMm(caret_.y + caretHeight_, dpi);
    const bool seen =
        visibleArea_.IsZero() || (x >= visibleArea_.x && x <= visibleArea_.Right() &&
                                  top >= visibleArea_.y && bottom <= visibleArea_.Bottom());
    if (seen) {
        window_->SetCaretPos(caret_.x, caret_.y);
    } else {
        window_->SetCaretPos(richtext::kCaretHidden, richtext::kCaretHidden);
    }
}

void CTextHost::SetResolution(double dpi) {
    if (!(dpi > 0) || dpi == settings_.dpi) {
        return;
    }
    // The character height stays as made: the text keeps its size in millimetres on any device.
    settings_.dpi = dpi;
    UpdateExtent();
}

void CTextHost::ComputeExtent() {
    const double dpi = settings_.dpi;
    extentHimetric_ = {gfx::MmToPx(rect_.width, dpi) * 2540 / dpi,
                       gfx::MmToPx(rect_.height, dpi) * 2540 / dpi};
}

void CTextHost::UpdateExtent() {
    ComputeExtent();
    if (services_) {
        services_->OnTxPropertyBitsChange(richtext::TXTBIT_CLIENTRECTCHANGE,
                                          richtext::TXTBIT_CLIENTRECTCHANGE);
    }
}

void CTextHost::SetMaxLength(std::int32_t maxLength) {
    maxLength_ = maxLength;
    if (services_) {
        services_->OnTxPropertyBitsChange(richtext::TXTBIT_MAXLENGTHCHANGE,
                                          richtext::TXTBIT_MAXLENGTHCHANGE);
    }
}

void CTextHost::SetReadOnly(bool readOnly) {
    settings_.editStyle =
        readOnly ? (settings_.editStyle | ES_READONLY) : (settings_.editStyle & ~ES_READONLY);
    if (services_) {
        services_->OnTxPropertyBitsChange(richtext::TXTBIT_READONLY,
                                          readOnly ? richtext::TXTBIT_READONLY : 0);
    }
}

void CTextHost::LoadRtf(std::string_view bytes) {
    if (!services_) {
        return;
    }
    const bool readOnly = IsReadOnly();
    SetReadOnly(false);
    services_->StreamInRtf(bytes, false);
    SetReadOnly(readOnly);
}

void CTextHost::SetText(std::string_view utf8) {
    if (services_) {
        services_->TxSetText(utf8);
    }
}

std::string CTextHost::GetRtf() const {
    return services_ ? services_->StreamOutRtf() : std::string();
}

std::string CTextHost::GetText() const {
    return services_ ? services_->TxGetText() : std::string();
}

void CTextHost::Draw(gfx::Graphics& graphics, const gfx::RectF* clip) {
    if (services_) {
        services_->TxDraw(graphics, rect_, clip);
    }
}

int CTextHost::NaturalHeight(int widthPixels, double dpi) {
    return services_ ? services_->TxGetNaturalHeight(widthPixels, dpi) : 0;
}

// --- ITextHost ---

void CTextHost::TxInvalidateRect(const platform::RectI* rect) {
    if (!window_) {
        return;
    }
    if (rect == nullptr) {
        window_->InvalidateArea(rect_, kUnitMillimetre);
    } else {
        window_->Invalidate(*rect);
    }
}

void CTextHost::TxViewChange() {
    if (window_) {
        window_->InvalidateArea(rect_, kUnitMillimetre);
    }
}

bool CTextHost::TxCreateCaret(int width, int height) {
    if (IsReadOnly()) {
        return true; // read-only text shows no caret
    }
    caretHeight_ = height;
    if (window_) {
        window_->CreateCaret(nullptr, width, height);
    }
    return true;
}

bool CTextHost::TxShowCaret(bool show) {
    if (IsReadOnly() || !window_) {
        return true;
    }
    caretShown_ = show;
    if (show) {
        window_->ShowCaret();
    } else {
        window_->HideCaret();
    }
    return true;
}

bool CTextHost::TxSetCaretPos(int x, int y) {
    if (IsReadOnly()) {
        return false;
    }
    caretPlaced_ = x != richtext::kCaretHidden;
    if (caretPlaced_) {
        caret_ = {x, y};
        ShowCaretPos();
    } else if (window_) {
        window_->SetCaretPos(x, y);
    }
    return true;
}

bool CTextHost::TxSetTimer(platform::UINT id, platform::UINT milliseconds) {
    if (window_) {
        window_->SetTimer(id, milliseconds);
    }
    return window_ != nullptr;
}

void CTextHost::TxKillTimer(platform::UINT id) {
    if (window_) {
        window_->KillTimer(id);
    }
}

void CTextHost::TxSetCapture(bool capture) {
    if (window_) {
        window_->SetCapture(capture);
    }
    captured_ = capture;
}

void CTextHost::TxSetFocus() {
    if (window_) {
        window_->SetFocus();
    }
}

platform::RectI CTextHost::TxGetClientRect() {
    const double dpi = settings_.dpi;
    const auto px = [dpi](double mm) {
        return static_cast<int>(std::lround(gfx::MmToPx(mm, dpi)));
    };
    // The size is rounded on its own, not from the rounded edges: a field that moves keeps its
    // pixel size, so its text never wraps anew or scrolls for a move alone.
    return {px(rect_.x), px(rect_.y), px(rect_.width), px(rect_.height)};
}

double CTextHost::TxGetResolution() {
    return settings_.dpi;
}

std::uint32_t CTextHost::TxGetPropertyBits(std::uint32_t mask) {
    using namespace richtext;
    std::uint32_t bits = TXTBIT_RICHTEXT | TXTBIT_HIDESELECTION;
    if (settings_.editStyle & ES_MULTILINE) {
        bits |= TXTBIT_MULTILINE;
    }
    if (settings_.editStyle & ES_READONLY) {
        bits |= TXTBIT_READONLY;
    }
    if (settings_.editStyle & ES_PASSWORD) {
        bits |= TXTBIT_USEPASSWORD;
    }
    if (settings_.wordWrap) {
        bits |= TXTBIT_WORDWRAP;
    }
    if (settings_.autoWordSelect) {
        bits |= TXTBIT_AUTOWORDSEL;
    }
    if (settings_.allowBeep) {
        bits |= TXTBIT_ALLOWBEEP;
    }
    if (settings_.saveSelection) {
        bits |= TXTBIT_SAVESELECTION;
    }
    return bits & mask;
}

void CTextHost::TxNotify(platform::UINT code, void* /*data*/) {
    if (code == richtext::EN_CHANGE && onChange_) {
        onChange_();
    }
    if (window_) {
        window_->Reserved(static_cast<int>(code), 0);
    }
}

richtext::IClipboard* CTextHost::TxGetClipboard() {
    return &richtext::CPlatformClipboard::Instance();
}

int CTextHost::TxGetKeyState(platform::WPARAM key) {
    return platform::IsKeyDown(key) ? 1 : 0;
}

} // namespace Plenvo
