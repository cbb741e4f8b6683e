#include "view/controls/ViewEdit.h"

#include "view/IHostWindow.h"
#include "view/StyleValues.h"

#include "gfx/Bitmap.h"
#include "gfx/Units.h"
#include "platform/AtomicFile.h"
#include "platform/Dialogs.h"
#include "platform/Messages.h"
#include "view/LayeredRenderer.h"

#include <cmath>
#include <iterator>

namespace Plenvo {

using namespace platform;

namespace {

constexpr UINT kCopyCommand = 1;

// No usable "height": absent, null, or an empty object or array.
bool HasNoHeight(const Json& d) {
    if (!d.is_object()) {
        return true;
    }
    const auto it = d.find("height");
    return it == d.end() || it->is_null() || ((it->is_object() || it->is_array()) && it->empty());
}

} // namespace

CViewEdit::CViewEdit(Json description) : CViewElement(std::move(description)) {}

CViewEdit::~CViewEdit() = default;

bool CViewEdit::ReadProperties() {
    const Json& d = description_;
    if (const std::string* family = StringMember(d, "font-family"); family && !family->empty()) {
        fontFamily_ = *family;
    }
    if (const std::string* value = StringMember(d, "value")) {
        value_ = *value;
    }
    if (const std::string* stream = StringMember(d, "stream")) {
        stream_ = *stream;
    }
    BoolMember(d, "password", password_);
    BoolMember(d, "readonly", readOnly_);
    BoolMember(d, "autoheight", autoHeight_);
    const std::string* color = StringMember(d, "color");
    color_ = color ? ParseColor(*color, 0xFF000000) : 0xFF000000;
    maxLength_ = 80;
    IntMember(d, "maxlength", maxLength_);
    editStyle_ = 0;
    if (password_) {
        editStyle_ |= ES_PASSWORD;
    }
    if (readOnly_) {
        editStyle_ |= ES_READONLY;
    }
    if (HasNoHeight(d)) {
        autoHeight_ = true;
    }
    bool multiline = false;
    if (BoolMember(d, "multiline", multiline) && multiline) {
        editStyle_ |= ES_MULTILINE;
        multiline_ = true;
    }
    // Spelled so in the templates; "content-padding" is not read.
    contentPadding_ = 0;
    if (d.is_object()) {
        const auto padding = d.find("content-paddign");
        if (padding != d.end() && padding->is_number()) {
            contentPadding_ = padding->get<double>();
        }
    }
    return CViewElement::ReadProperties();
}

gfx::RectF CViewEdit::TextRect() const {
    const double p = contentPadding_;
    return {position_.x + p, position_.y + p, size_.width - 2 * p, size_.height - 2 * p};
}

void CViewEdit::CreateTextHost() {
    hostTried_ = true;
    double fontHeight = 20.0;
    if (description_.is_object()) {
        const auto it = description_.find("font-height");
        if (it != description_.end() && it->is_number()) {
            fontHeight = it->get<double>();
        }
    }
    TextHostSettings settings;
    settings.fontFamily = fontFamily_;
    settings.dpi = GetDpi();
    settings.editStyle = editStyle_;
    settings.wordWrap = multiline_;
    settings.alignment = richtext::Alignment::Left;
    settings.color = color_ & 0xFFFFFF;
    settings.fontHeight = fontHeight;
    auto host = std::make_shared<CTextHost>(GetHostWindow(), gfx::RectF{}, settings);
    host->SetMaxLength(maxLength_);
    if (!host->Init()) {
        return; // no engine: the element stays without text
    }
    if (!value_.empty()) {
        static constexpr std::string_view kFilePrefix = "file:///";
        if (value_.compare(0, kFilePrefix.size(), kFilePrefix) == 0) {
            // The path keeps its leading slash, as a picture's does. Only a regular file within
            // the pictures' size cap: a served template naming /dev/zero or a FIFO loads nothing.
            std::string bytes;
            if (platform::ReadRegularFile(value_.substr(kFilePrefix.size() - 1),
                                          gfx::Bitmap::kMaxFileBytes, bytes)) {
                host->LoadRtf(bytes);
            }
        } else {
            host->SetText(value_);
        }
    }
    if (!stream_.empty()) {
        host->LoadRtf(stream_);
    }
    richtext::ITextServices* services = host->Services();
    services->OnTxInPlaceActivate();
    services->OnTxPropertyBitsChange(richtext::TXTBIT_BACKSTYLECHANGE,
                                     richtext::TXTBIT_BACKSTYLECHANGE);
    textHost_ = std::move(host);
}

void CViewEdit::Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                       bool registerInLayer) {
    CViewElement::Layout(result, origin, resultSize, registerInLayer);
    if (!hostTried_) {
        CreateTextHost();
    }
    if (textHost_ && autoHeight_) {
        const double dpi = textHost_->TxGetResolution();
        const int width = static_cast<int>(gfx::MmToPx(size_.width - 2 * contentPadding_, dpi));
        textHost_->SetHostWindow(GetHostWindow());
        const int pixels = textHost_->NaturalHeight(std::max(width, 1), dpi);
        const double height = gfx::PxToMm(pixels, dpi) + 2 * contentPadding_ + 10.0;
        if (height != size_.height) {
            const gfx::RectF before = GetRect();
            size_.height = height;
            height_ = SizeValue{height, SizeKind::Number};
            contentRect_ = {position_.x + padding_.left, position_.y + padding_.top,
                            size_.width - padding_.right - padding_.left,
                            size_.height - padding_.bottom - padding_.top};
            result = gfx::RectF::Union(result, gfx::RectF::Union(before, GetRect()));
        }
        resultSize = size_;
    }
    if (textHost_) {
        textHost_->SetHostWindow(GetHostWindow());
        textHost_->SetRect(TextRect());
    }
}

void CViewEdit::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) {
    CViewElement::Paint(graphics, clip, layer);
    if (!textHost_ || !GetRect().Intersects(clip)) {
        return;
    }
    // The engine draws its glyphs with their alpha over the background painted above.
    textHost_->Draw(graphics, &clip);
}

bool CViewEdit::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (IsMouseMessage(message)) {
        if (!GetRect().Contains(MessagePointMm(message, lParam)) && !HasMouseCapture(this)) {
            return false;
        }
    }
    if (!textHost_) {
        return false;
    }
    richtext::ITextServices* services = textHost_->Services();
    if (IsKeyboardMessage(message) && !IsFocused(this)) {
        return false;
    }
    if (message == WM_IME_STARTCOMPOSITION) {
        // The composition window opens where the caret is; the default handling continues.
        if (IsFocused(this)) {
            if (IHostWindow* window = GetHostWindow()) {
                const Point caret = textHost_->GetCaretPos();
                window->SetCaretPos(caret.x, caret.y);
            }
        }
        return false;
    }
    if (message == WM_LBUTTONDOWN && !IsFocused(this)) {
        textHost_->SetHostWindow(GetHostWindow());
        textHost_->SetRect(TextRect());
        services->OnTxInPlaceActivate();
        services->TxSendMessage(WM_SETFOCUS, 0, 0, nullptr);
        services->SetSelection(-1, -1);
        // When another element takes the focus the engine hears of it, so that it hides its
        // caret and selection.
        std::weak_ptr<CViewElement> weak = weak_from_this();
        SetFocusId(this, [weak] {
            if (auto self = std::static_pointer_cast<CViewEdit>(weak.lock());
                self && self->textHost_) {
                self->textHost_->Services()->TxSendMessage(WM_KILLFOCUS, 0, 0, nullptr);
            }
        });
    }
    const bool isMouse = IsMouseMessage(message);
    if (!isMouse && !IsKeyboardMessage(message) && message != WM_TIMER) {
        return false;
    }
    // The wheel's point is in screen pixels; the engine does nothing with the wheel anyway.
    const bool handled = services->TxSendMessage(message, wParam, lParam, &result);
    if (message == WM_LBUTTONDOWN) {
        SetMouseCapture(true, this);
    } else if (message == WM_LBUTTONUP) {
        SetMouseCapture(false, this);
    } else if (message == WM_RBUTTONUP) {
        ShowContextMenu(lParam);
    }
    return handled;
}

void CViewEdit::ShowContextMenu(LPARAM lParam) {
    PopupMenuRequest menu;
    IHostWindow* window = GetHostWindow();
    menu.owner = window ? window->GetHandle() : 0;
    menu.items.push_back({kCopyCommand, "复制", true});
    // The menu opens at the pointer, in screen pixels.
    const Point origin = ScreenToClient(Point{0, 0});
    menu.x = LowWord(lParam) - origin.x;
    menu.y = HighWord(lParam) - origin.y;
    if (TrackPopupMenu(menu) == kCopyCommand && textHost_) {
        // Copies the selection (nothing in password mode); a failing clipboard stays as it was.
        textHost_->Services()->Copy();
    }
}

void CViewEdit::SetText(std::string_view utf8) {
    if (!hostTried_) {
        CreateTextHost();
    }
    if (textHost_) {
        textHost_->SetText(utf8);
    }
}

std::string CViewEdit::GetText() const {
    return textHost_ ? textHost_->GetText() : std::string();
}

} // namespace Plenvo
