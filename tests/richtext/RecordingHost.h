#pragma once
// An ITextHost for tests: a client rectangle at 96 dpi, an in-memory clipboard, and a record of
// what the engine asked of its host.
#include "richtext/ITextHost.h"
#include "richtext/MemoryClipboard.h"
#include "richtext/TextServices.h"

#include "platform/Messages.h"

#include <memory>
#include <string>
#include <vector>

namespace richtext::testing {

class RecordingHost : public ITextHost {
public:
    RecordingHost() {
        format.face = "DejaVu Sans";
        format.heightTwips = 240;
        format.charset = 0;
        format.color = 0x000000;
    }

    void TxInvalidateRect(const platform::RectI* r) override {
        ++invalidations;
        lastInvalid = r != nullptr ? *r : rect;
    }
    void TxViewChange() override { ++viewChanges; }
    bool TxCreateCaret(int, int height) override {
        caretHeight = height;
        return true;
    }
    bool TxShowCaret(bool show) override {
        caretVisible = show;
        return true;
    }
    bool TxSetCaretPos(int x, int y) override {
        caretX = x;
        caretY = y;
        return true;
    }
    bool TxSetTimer(platform::UINT, platform::UINT) override { return true; }
    void TxKillTimer(platform::UINT) override {}
    void TxSetCapture(bool on) override { captured = on; }
    void TxSetFocus() override {}
    platform::RectI TxGetClientRect() override { return rect; }
    double TxGetResolution() override { return 96.0; }
    const CharFormat& TxGetCharFormat() override { return format; }
    const ParaFormat& TxGetParaFormat() override { return paragraph; }
    std::uint32_t TxGetPropertyBits(std::uint32_t mask) override { return bits & mask; }
    std::int32_t TxGetMaxLength() override { return maxLength; }
    char32_t TxGetPasswordChar() override { return U'*'; }
    void TxNotify(platform::UINT code, void*) override {
        if (code == EN_CHANGE) {
            ++changes;
        }
    }
    IClipboard* TxGetClipboard() override { return &clipboard; }
    int TxGetKeyState(platform::WPARAM key) override {
        if (key == platform::VK_SHIFT) {
            return shift ? 1 : 0;
        }
        if (key == platform::VK_CONTROL) {
            return control ? 1 : 0;
        }
        return 0;
    }

    platform::RectI rect{10, 20, 400, 200};
    CharFormat format;
    ParaFormat paragraph;
    std::uint32_t bits =
        TXTBIT_RICHTEXT | TXTBIT_MULTILINE | TXTBIT_WORDWRAP | TXTBIT_HIDESELECTION;
    std::int32_t maxLength = -1;
    CMemoryClipboard clipboard;
    bool shift = false;
    bool control = false;

    int invalidations = 0;
    platform::RectI lastInvalid;
    int viewChanges = 0;
    int changes = 0;
    int caretHeight = 0;
    bool caretVisible = false;
    int caretX = 0;
    int caretY = 0;
    bool captured = false;
};

// Sends messages as the element would.
struct Driver {
    ITextServices& text;
    RecordingHost& host;

    void Key(platform::WPARAM key, bool shift = false, bool control = false) {
        host.shift = shift;
        host.control = control;
        text.TxSendMessage(platform::WM_KEYDOWN, key, 0, nullptr);
        text.TxSendMessage(platform::WM_KEYUP, key, 0, nullptr);
        host.shift = host.control = false;
    }
    void Type(std::u16string_view units) {
        for (char16_t u : units) {
            text.TxSendMessage(platform::WM_CHAR, u, 0, nullptr);
        }
    }
    bool Click(int x, int y, platform::WPARAM keys = 0) {
        const bool handled =
            text.TxSendMessage(platform::WM_LBUTTONDOWN, keys | platform::MK_LBUTTON,
                               platform::MakeLParam(x, y), nullptr);
        text.TxSendMessage(platform::WM_LBUTTONUP, keys, platform::MakeLParam(x, y), nullptr);
        return handled;
    }
};

} // namespace richtext::testing
