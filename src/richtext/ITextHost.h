#pragma once
// The interface through which the engine reaches whoever hosts it: an element, a grid cell, a
// test. It mirrors the windowless host interface of the platform the system was designed on;
// lengths in pixels are client pixels of the host window.
#include "richtext/CharFormat.h"
#include "richtext/ParaFormat.h"

#include "platform/PixelGeometry.h"
#include "platform/Types.h"

#include <cstdint>

namespace richtext {

class IClipboard;

// Property bits the engine asks for (`TxGetPropertyBits`) and is told about
// (`OnTxPropertyBitsChange`).
inline constexpr std::uint32_t TXTBIT_RICHTEXT = 0x1;
inline constexpr std::uint32_t TXTBIT_MULTILINE = 0x2;
inline constexpr std::uint32_t TXTBIT_READONLY = 0x4;
inline constexpr std::uint32_t TXTBIT_USEPASSWORD = 0x10;
inline constexpr std::uint32_t TXTBIT_HIDESELECTION = 0x20;
inline constexpr std::uint32_t TXTBIT_SAVESELECTION = 0x40;
inline constexpr std::uint32_t TXTBIT_AUTOWORDSEL = 0x80;
inline constexpr std::uint32_t TXTBIT_ALLOWBEEP = 0x800;
inline constexpr std::uint32_t TXTBIT_BACKSTYLECHANGE = 0x4000;
inline constexpr std::uint32_t TXTBIT_MAXLENGTHCHANGE = 0x8000;
inline constexpr std::uint32_t TXTBIT_CHARFORMATCHANGE = 0x20000;
inline constexpr std::uint32_t TXTBIT_PARAFORMATCHANGE = 0x40000;
inline constexpr std::uint32_t TXTBIT_CLIENTRECTCHANGE = 0x100000;
inline constexpr std::uint32_t TXTBIT_WORDWRAP = 0x400;

// Notifications (`TxNotify`) and the event mask that enables them.
inline constexpr platform::UINT EN_CHANGE = 0x0300;
inline constexpr std::uint32_t ENM_CHANGE = 0x00000001;

// The engine's "hidden caret" position.
inline constexpr int kCaretHidden = -32000;

class ITextHost {
public:
    virtual ~ITextHost() = default;

    // Invalidation: `rect` in client pixels, or null for the host's whole rectangle.
    virtual void TxInvalidateRect(const platform::RectI* rect) = 0;
    // The view changed in a way that may alter the text's natural size.
    virtual void TxViewChange() = 0;

    virtual bool TxCreateCaret(int width, int height) = 0;
    virtual bool TxShowCaret(bool show) = 0;
    virtual bool TxSetCaretPos(int x, int y) = 0;

    virtual bool TxSetTimer(platform::UINT id, platform::UINT milliseconds) = 0;
    virtual void TxKillTimer(platform::UINT id) = 0;
    virtual void TxSetCapture(bool capture) = 0;
    virtual void TxSetFocus() = 0;

    // Where the text lies, in client pixels, and how many of those pixels make an inch.
    virtual platform::RectI TxGetClientRect() = 0;
    virtual double TxGetResolution() = 0;

    // The format of new text and of plain text, and the default paragraph format.
    virtual const CharFormat& TxGetCharFormat() = 0;
    virtual const ParaFormat& TxGetParaFormat() = 0;
    virtual std::uint32_t TxGetPropertyBits(std::uint32_t mask) = 0;
    // Code points the user may bring the text to; negative for no limit.
    virtual std::int32_t TxGetMaxLength() = 0;
    virtual char32_t TxGetPasswordChar() = 0;

    virtual void TxNotify(platform::UINT code, void* data) = 0;

    // The clipboard cut, copy and paste use; none makes them do nothing.
    virtual IClipboard* TxGetClipboard() { return nullptr; }
    // Whether a modifier key (VK_SHIFT, VK_CONTROL) is down: 1 yes, 0 no, -1 when the host
    // cannot tell, in which case the engine follows the key messages it received.
    virtual int TxGetKeyState(platform::WPARAM) { return -1; }
};

} // namespace richtext
