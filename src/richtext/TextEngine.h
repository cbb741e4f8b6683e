#pragma once
// The rich-text engine behind ITextServices: document, layout, selection, editing and undo.
#include "richtext/Document.h"
#include "richtext/TextLayout.h"
#include "richtext/TextServices.h"
#include "richtext/UndoStack.h"

#include <optional>

namespace richtext {

class CTextEngine : public ITextServices {
public:
    explicit CTextEngine(ITextHost& host);

    bool TxSendMessage(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                       platform::LRESULT* result) override;
    void TxDraw(gfx::Graphics& graphics, const gfx::RectF& bounds,
                const gfx::RectF* update) override;
    int TxGetNaturalHeight(int widthPixels, double dpi) override;
    std::string TxGetText() const override;
    void TxSetText(std::string_view utf8) override;
    void OnTxInPlaceActivate() override;
    void OnTxInPlaceDeactivate() override;
    void OnTxPropertyBitsChange(std::uint32_t mask, std::uint32_t bits) override;
    Selection GetSelection() const override { return selection_; }
    void SetSelection(long start, long end) override;
    std::size_t GetTextLength() const override { return doc_.Length(); }
    std::string GetSelectedText() const override;
    void ReplaceSelection(std::string_view utf8, bool undoable) override;
    void StreamInRtf(std::string_view rtf, bool selectionOnly) override;
    std::string StreamOutRtf() const override;
    void SetEventMask(std::uint32_t mask) override { eventMask_ = mask; }
    bool Undo() override;
    bool Redo() override;
    bool CanUndo() const override { return undo_.CanUndo(); }
    bool CanRedo() const override { return undo_.CanRedo(); }
    bool Copy() override;
    bool Cut() override;
    bool Paste() override;
    bool IsFocused() const override { return focused_; }
    std::uint64_t LayoutBuildCount() const override { return layout_.BuildCount(); }

    const CDocument& Document() const { return doc_; }

private:
    struct Point {
        double x = 0;
        double y = 0;
    };

    bool Has(std::uint32_t bit) const { return (properties_ & bit) != 0; }
    bool ReadOnly() const { return Has(TXTBIT_READONLY); }
    bool Password() const { return Has(TXTBIT_USEPASSWORD); }
    bool Rich() const { return Has(TXTBIT_RICHTEXT); }
    bool Multiline() const { return Has(TXTBIT_MULTILINE); }

    // Geometry.
    double Dpi();
    double ClientWidth();
    double ClientHeight();
    LayoutOptions Options(double width);
    void EnsureLayout();
    CaretBox CaretAt(std::size_t position);
    std::size_t PositionAt(Point content);
    Point ContentPoint(platform::LPARAM lParam);
    void ScrollToCaret();
    void UpdateCaret();
    void HideCaret();

    // Movement.
    std::size_t Grapheme(std::size_t position, int direction);
    std::size_t Word(std::size_t position, int direction);
    Selection WordAt(std::size_t position);
    std::size_t LineEdge(std::size_t position, bool end);
    std::size_t Vertical(std::size_t position, double distance);
    void Select(Selection selection, bool keepColumn = false);
    void Move(std::size_t position, bool extend, bool keepColumn = false);

    // Editing.
    bool KeyDown(platform::WPARAM key);
    void Character(char32_t c);
    bool Modifier(platform::WPARAM key);
    std::int64_t Room(std::size_t replacing);
    void InsertText(std::u32string_view text, EditKind kind);
    void Edit(std::size_t start, std::size_t end, const CDocument& fragment, EditKind kind,
              bool undoable = true);
    void DeleteRange(std::size_t start, std::size_t end, EditKind kind);
    void ToggleFormat(bool CharFormat::*property);
    void ReplaceDocument(CDocument doc);
    void Changed(bool textChanged);
    CharFormat DefaultFormat();

    // Mouse.
    bool Mouse(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam);

    ITextHost& host_;
    std::uint32_t properties_ = 0;
    CharFormat format_;
    ParaFormat paragraph_;
    CDocument doc_;
    CTextLayout layout_;
    CUndoStack undo_;
    Selection selection_;
    std::optional<CharFormat> typingFormat_; // set by a format toggle without a selection
    std::uint32_t eventMask_ = 0;
    bool active_ = false;
    bool focused_ = false;
    bool dragging_ = false;
    bool wordDrag_ = false;
    Selection dragWord_;
    double scrollX_ = 0;
    double scrollY_ = 0;
    std::optional<double> column_; // the x that up and down keep
    char16_t highSurrogate_ = 0;
    bool shift_ = false;
    bool control_ = false;
    int caretHeight_ = 0;
    bool caretShown_ = false;
    double height_ = -1;
};

} // namespace richtext
