#include "view/controls/ViewEdit.h"

#include "view/IHostWindow.h"
#include "view/StyleValues.h"

#include "gfx/Units.h"
#include "platform/Dialogs.h"
#include "platform/Messages.h"

#include <cmath>
#include <fstream>
#include <iterator>

namespace Plenvo {

using namespace platform;

namespace {

constexpr UINT kCopyCommand = 1;

bool IsMouse(UINT message) {
    return message >= WM_MOUSEMOVE && message <= WM_MOUSEHWHEEL;
}

bool IsKeyboard(UINT message) {
    return message >= WM_KEYDOWN && message <= WM_UNICHAR;
}

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
    const Json& d = m_description;
    if (const std::string* family = StringMember(d, "font-family"); family && !family->empty()) {
        m_fontFamily = *family;
    }
    if (const std::string* value = StringMember(d, "value")) {
        m_value = *value;
    }
    if (const std::string* stream = StringMember(d, "stream")) {
        m_stream = *stream;
    }
    BoolMember(d, "password", m_password);
    BoolMember(d, "readonly", m_readOnly);
    BoolMember(d, "autoheight", m_autoHeight);
    const std::string* color = StringMember(d, "color");
    m_color = color ? ParseColor(*color, 0xFF000000) : 0xFF000000;
    m_maxLength = 80;
    IntMember(d, "maxlength", m_maxLength);
    m_editStyle = 0;
    if (m_password) {
        m_editStyle |= ES_PASSWORD;
    }
    if (m_readOnly) {
        m_editStyle |= ES_READONLY;
    }
    if (HasNoHeight(d)) {
        m_autoHeight = true;
    }
    bool multiline = false;
    if (BoolMember(d, "multiline", multiline) && multiline) {
        m_editStyle |= ES_MULTILINE;
        m_multiline = true;
    }
    // Spelled so in the templates; "content-padding" is not read.
    m_contentPadding = 0;
    if (d.is_object()) {
        const auto padding = d.find("content-paddign");
        if (padding != d.end() && padding->is_number()) {
            m_contentPadding = padding->get<double>();
        }
    }
    return CViewElement::ReadProperties();
}

gfx::RectF CViewEdit::TextRect() const {
    const double p = m_contentPadding;
    return {m_position.x + p, m_position.y + p, m_size.width - 2 * p, m_size.height - 2 * p};
}

void CViewEdit::CreateTextHost() {
    m_hostTried = true;
    double fontHeight = 20.0;
    if (m_description.is_object()) {
        const auto it = m_description.find("font-height");
        if (it != m_description.end() && it->is_number()) {
            fontHeight = it->get<double>();
        }
    }
    TextHostSettings settings;
    settings.fontFamily = m_fontFamily;
    settings.editStyle = m_editStyle;
    settings.wordWrap = m_multiline;
    settings.alignment = richtext::Alignment::Left;
    settings.color = m_color & 0xFFFFFF;
    settings.fontHeight = fontHeight;
    auto host = std::make_shared<CTextHost>(GetHostWindow(), gfx::RectF{}, settings);
    host->SetMaxLength(m_maxLength);
    if (!host->Init()) {
        return; // no engine: the element stays without text
    }
    if (!m_value.empty()) {
        static constexpr std::string_view kFilePrefix = "file:///";
        if (m_value.compare(0, kFilePrefix.size(), kFilePrefix) == 0) {
            // The rest is the path; a file that cannot be read loads nothing.
            std::ifstream file(m_value.substr(kFilePrefix.size()), std::ios::binary);
            if (file) {
                const std::string bytes((std::istreambuf_iterator<char>(file)),
                                        std::istreambuf_iterator<char>());
                host->LoadRtf(bytes);
            }
        } else {
            host->SetText(m_value);
        }
    }
    if (!m_stream.empty()) {
        host->LoadRtf(m_stream);
    }
    richtext::ITextServices* services = host->Services();
    services->OnTxInPlaceActivate();
    services->OnTxPropertyBitsChange(richtext::TXTBIT_BACKSTYLECHANGE,
                                     richtext::TXTBIT_BACKSTYLECHANGE);
    m_textHost = std::move(host);
}

void CViewEdit::Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                       bool registerInLayer) {
    CViewElement::Layout(result, origin, resultSize, registerInLayer);
    if (!m_hostTried) {
        CreateTextHost();
    }
    if (m_textHost && m_autoHeight) {
        const double dpi = gfx::ScreenDpi();
        const int width = static_cast<int>(gfx::MmToPx(m_size.width - 2 * m_contentPadding, dpi));
        m_textHost->SetHostWindow(GetHostWindow());
        const int pixels = m_textHost->NaturalHeight(std::max(width, 1), dpi);
        const double height = gfx::PxToMm(pixels, dpi) + 2 * m_contentPadding + 10.0;
        if (height != m_size.height) {
            const gfx::RectF before = GetRect();
            m_size.height = height;
            m_height = SizeValue{height, SizeKind::Number};
            m_contentRect = {m_position.x + m_padding.left, m_position.y + m_padding.top,
                             m_size.width - m_padding.right - m_padding.left,
                             m_size.height - m_padding.bottom - m_padding.top};
            result = gfx::RectF::Union(result, gfx::RectF::Union(before, GetRect()));
        }
        resultSize = m_size;
    }
    if (m_textHost) {
        m_textHost->SetHostWindow(GetHostWindow());
        m_textHost->SetRect(TextRect());
    }
}

void CViewEdit::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) {
    CViewElement::Paint(graphics, clip, layer);
    if (!m_textHost || !GetRect().Intersects(clip)) {
        return;
    }
    // The engine draws its glyphs with their alpha over the background painted above.
    m_textHost->Draw(graphics, &clip);
}

bool CViewEdit::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (IsMouse(message)) {
        if (!GetRect().Contains(MessagePointMm(message, lParam)) && !HasMouseCapture(this)) {
            return false;
        }
    }
    if (!m_textHost) {
        return false;
    }
    richtext::ITextServices* services = m_textHost->Services();
    if (IsKeyboard(message) && !IsFocused(this)) {
        return false;
    }
    if (message == WM_IME_STARTCOMPOSITION) {
        // The composition window opens where the caret is; the default handling continues.
        if (IsFocused(this)) {
            if (IHostWindow* window = GetHostWindow()) {
                const Point caret = m_textHost->GetCaretPos();
                window->SetCaretPos(caret.x, caret.y);
            }
        }
        return false;
    }
    if (message == WM_LBUTTONDOWN && !IsFocused(this)) {
        m_textHost->SetHostWindow(GetHostWindow());
        m_textHost->SetRect(TextRect());
        services->OnTxInPlaceActivate();
        services->TxSendMessage(WM_SETFOCUS, 0, 0, nullptr);
        services->SetSelection(-1, -1);
        // When another element takes the focus the engine hears of it, so that it hides its
        // caret and selection.
        std::weak_ptr<CViewElement> weak = weak_from_this();
        SetFocusId(this, [weak] {
            if (auto self = std::static_pointer_cast<CViewEdit>(weak.lock());
                self && self->m_textHost) {
                self->m_textHost->Services()->TxSendMessage(WM_KILLFOCUS, 0, 0, nullptr);
            }
        });
    }
    const bool isMouse = IsMouse(message);
    if (!isMouse && !IsKeyboard(message) && message != WM_TIMER) {
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
    if (TrackPopupMenu(menu) == kCopyCommand && m_textHost) {
        // Copies the selection (nothing in password mode); a failing clipboard stays as it was.
        m_textHost->Services()->Copy();
    }
}

std::string CViewEdit::GetText() const {
    return m_textHost ? m_textHost->GetText() : std::string();
}

} // namespace Plenvo
