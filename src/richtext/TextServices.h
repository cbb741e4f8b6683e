#pragma once
// The text services an element drives: a windowless rich-text editor that takes the host's
// messages, draws into a rectangle of any cairo surface (window back buffer or printer page) and
// reports back through its ITextHost.
#include "richtext/ITextHost.h"
#include "richtext/UndoStack.h"

#include "gfx/Geometry.h"
#include "platform/Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace gfx {
class Graphics;
}

namespace richtext {

class ITextServices {
public:
    virtual ~ITextServices() = default;

    // Mouse, key, character, timer and focus messages, and WM_CUT, WM_COPY, WM_PASTE. Mouse
    // points are client pixels. Returns whether the engine handled the message.
    virtual bool TxSendMessage(platform::UINT message, platform::WPARAM wParam,
                               platform::LPARAM lParam, platform::LRESULT* result) = 0;

    // Draws the text into `bounds` (millimetres of the graphics' page), clipped to it and to
    // `update` when given. Glyphs are drawn with their alpha straight onto the surface, so the
    // same call serves a window's back buffer and a printer page.
    virtual void TxDraw(gfx::Graphics& graphics, const gfx::RectF& bounds,
                        const gfx::RectF* update) = 0;

    // The height in pixels (of `dpi` per inch) that the whole text needs at a width in pixels.
    virtual int TxGetNaturalHeight(int widthPixels, double dpi) = 0;

    // Plain text: paragraphs separated by "\n".
    virtual std::string TxGetText() const = 0;
    virtual void TxSetText(std::string_view utf8) = 0;

    virtual void OnTxInPlaceActivate() = 0;
    virtual void OnTxInPlaceDeactivate() = 0;
    virtual void OnTxPropertyBitsChange(std::uint32_t mask, std::uint32_t bits) = 0;

    // The selection, in code points. `SetSelection(0, -1)` selects everything; a start of -1
    // removes the selection, leaving the caret at its end.
    virtual Selection GetSelection() const = 0;
    virtual void SetSelection(long start, long end) = 0;
    virtual std::size_t GetTextLength() const = 0;
    // Empty in password mode: the hidden text never leaves through the selection.
    virtual std::string GetSelectedText() const = 0;
    virtual void ReplaceSelection(std::string_view utf8, bool undoable) = 0;

    // Replaces the whole text (or only the selection) with RTF; bytes that are not RTF are
    // taken as plain UTF-8 text.
    virtual void StreamInRtf(std::string_view rtf, bool selectionOnly = false) = 0;
    virtual std::string StreamOutRtf() const = 0;

    virtual void SetEventMask(std::uint32_t mask) = 0;

    virtual bool Undo() = 0;
    virtual bool Redo() = 0;
    virtual bool CanUndo() const = 0;
    virtual bool CanRedo() const = 0;
    virtual bool Copy() = 0;
    virtual bool Cut() = 0;
    virtual bool Paste() = 0;

    virtual bool IsFocused() const = 0;
    // Paragraph layouts built so far; an edit builds only the paragraphs it touched.
    virtual std::uint64_t LayoutBuildCount() const = 0;
};

// Creates the engine for a host, which must outlive it.
std::unique_ptr<ITextServices> CreateTextServices(ITextHost& host);

} // namespace richtext
