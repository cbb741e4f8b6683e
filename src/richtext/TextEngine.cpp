#include "richtext/TextEngine.h"

#include "richtext/IClipboard.h"
#include "richtext/LayoutContext.h"
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"

#include "gfx/Graphics.h"
#include "gfx/Units.h"

#include "platform/Encoding.h"
#include "platform/Messages.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

namespace richtext {

using namespace platform;

namespace {

constexpr std::uint32_t kAllProperties = 0xFFFFFFFFu;
using gfx::kMmPerInch;
// Selection highlight, drawn under the glyphs.
constexpr double kHighlight[3] = {0.68, 0.84, 1.0};

// RTF stores sizes in half points; keeping the engine's sizes there makes a document read back
// from its own RTF identical (and at screen resolutions the rounding is below a pixel).
CharFormat Snapped(CharFormat f) {
    f.heightTwips = std::max(10, (f.heightTwips + 5) / 10 * 10);
    return f;
}

} // namespace

std::unique_ptr<ITextServices> CreateTextServices(ITextHost& host) {
    return std::make_unique<CTextEngine>(host);
}

CTextEngine::CTextEngine(ITextHost& host)
    : host_(host), properties_(host.TxGetPropertyBits(kAllProperties)),
      format_(Snapped(host.TxGetCharFormat())), paragraph_(host.TxGetParaFormat()),
      doc_(format_, paragraph_.alignment) {}

CharFormat CTextEngine::DefaultFormat() {
    return format_;
}

// ---- geometry ----

double CTextEngine::Dpi() {
    const double dpi = host_.TxGetResolution();
    return dpi > 0 ? dpi : 96.0;
}

double CTextEngine::ClientWidth() {
    return host_.TxGetClientRect().width * kMmPerInch / Dpi();
}

double CTextEngine::ClientHeight() {
    return host_.TxGetClientRect().height * kMmPerInch / Dpi();
}

LayoutOptions CTextEngine::Options(double width) {
    LayoutOptions o;
    o.width = Has(TXTBIT_WORDWRAP) && width > 0 ? width : -1;
    o.alignWidth = std::max(0.0, width);
    o.passwordChar = Password() ? host_.TxGetPasswordChar() : 0;
    o.autoColor = format_.color;
    o.tabStop = paragraph_.tabStopTwips / 1440.0 * kMmPerInch;
    return o;
}

void CTextEngine::EnsureLayout() {
    layout_.SetOptions(Options(ClientWidth()));
    layout_.Update(doc_);
}

CaretBox CTextEngine::CaretAt(std::size_t position) {
    EnsureLayout();
    const Location loc = doc_.Locate(position);
    CaretBox box = layout_.At(loc.paragraph).Caret(loc.offset);
    box.top += layout_.Top(loc.paragraph);
    return box;
}

std::size_t CTextEngine::PositionAt(Point p) {
    EnsureLayout();
    const double y = std::clamp(p.y, 0.0, std::max(0.0, layout_.Height() - 1e-6));
    const std::size_t paragraph = layout_.ParagraphAt(y);
    const std::size_t offset = layout_.At(paragraph).HitTest(p.x, y - layout_.Top(paragraph));
    return doc_.StartOf(paragraph) + offset;
}

CTextEngine::Point CTextEngine::ContentPoint(LPARAM lParam) {
    const platform::RectI rc = host_.TxGetClientRect();
    const double scale = kMmPerInch / Dpi();
    return {(LowWord(lParam) - rc.x) * scale + scrollX_,
            (HighWord(lParam) - rc.y) * scale + scrollY_};
}

void CTextEngine::ScrollToCaret() {
    EnsureLayout();
    const double width = ClientWidth();
    const double height = ClientHeight();
    const CaretBox caret = CaretAt(selection_.active);
    if (layout_.Options().width > 0 || layout_.Width() <= width) {
        scrollX_ = 0;
    } else {
        const double margin = std::min(width / 3, 5.0);
        if (caret.x < scrollX_) {
            scrollX_ = std::max(0.0, caret.x - margin);
        } else if (caret.x > scrollX_ + width - 0.5) {
            scrollX_ = caret.x - width + margin;
        }
        scrollX_ = std::clamp(scrollX_, 0.0, std::max(0.0, layout_.Width() - width + 1.0));
    }
    if (layout_.Height() <= height || height <= 0) {
        scrollY_ = 0;
    } else {
        if (caret.top < scrollY_) {
            scrollY_ = caret.top;
        } else if (caret.top + caret.height > scrollY_ + height) {
            scrollY_ = caret.top + caret.height - height;
        }
        scrollY_ = std::clamp(scrollY_, 0.0, layout_.Height() - height);
    }
}

void CTextEngine::HideCaret() {
    if (caretShown_) {
        host_.TxShowCaret(false);
        caretShown_ = false;
    }
}

void CTextEngine::UpdateCaret() {
    if (!focused_ || !active_ || ReadOnly() || !selection_.Empty()) {
        HideCaret();
        return;
    }
    const CaretBox caret = CaretAt(selection_.active);
    const platform::RectI rc = host_.TxGetClientRect();
    const double scale = Dpi() / kMmPerInch;
    const int height = std::max(1, static_cast<int>(std::lround(caret.height * scale)));
    if (height != caretHeight_ || !caretShown_) {
        host_.TxCreateCaret(std::max(1, static_cast<int>(std::lround(0.25 * scale))), height);
        caretHeight_ = height;
    }
    host_.TxSetCaretPos(rc.x + static_cast<int>(std::lround((caret.x - scrollX_) * scale)),
                        rc.y + static_cast<int>(std::lround((caret.top - scrollY_) * scale)));
    if (!caretShown_) {
        host_.TxShowCaret(true);
        caretShown_ = true;
    }
}

// ---- drawing and measuring ----

void CTextEngine::TxDraw(gfx::Graphics& graphics, const gfx::RectF& bounds,
                         const gfx::RectF* update) {
    EnsureLayout();
    cairo_t* cr = graphics.Cairo();
    cairo_save(cr);
    cairo_rectangle(cr, bounds.x, bounds.y, bounds.width, bounds.height);
    cairo_clip(cr);
    if (update != nullptr) {
        cairo_rectangle(cr, update->x, update->y, update->width, update->height);
        cairo_clip(cr);
    }
    double x1 = 0;
    double y1 = 0;
    double x2 = 0;
    double y2 = 0;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    const double ox = bounds.x - scrollX_;
    const double oy = bounds.y - scrollY_;
    // The selection belongs to the screen: a printed page shows only the text.
    const cairo_surface_type_t target = cairo_surface_get_type(cairo_get_target(cr));
    const bool paper = target == CAIRO_SURFACE_TYPE_PDF || target == CAIRO_SURFACE_TYPE_PS ||
                       target == CAIRO_SURFACE_TYPE_SVG;
    const bool showSelection =
        !paper && !selection_.Empty() && (focused_ || !Has(TXTBIT_HIDESELECTION));
    std::size_t paragraphStart = 0;
    std::size_t first = layout_.ParagraphAt(y1 - oy);
    paragraphStart = doc_.StartOf(first);
    for (std::size_t i = first; i < layout_.Count(); ++i) {
        const CParagraphLayout& p = layout_.At(i);
        const double top = oy + layout_.Top(i);
        if (top > y2) {
            break;
        }
        if (top + p.Height() < y1) {
            paragraphStart += p.Length() + 1;
            continue;
        }
        const std::size_t length = p.Length();
        p.DrawBackgrounds(cr, ox, top, y1 - top, y2 - top);
        if (showSelection && selection_.End() >= paragraphStart &&
            selection_.Start() <= paragraphStart + length) {
            const std::size_t from =
                selection_.Start() > paragraphStart ? selection_.Start() - paragraphStart : 0;
            const std::size_t to = std::min(selection_.End() - paragraphStart, length);
            cairo_set_source_rgb(cr, kHighlight[0], kHighlight[1], kHighlight[2]);
            for (const auto& band : p.Ranges(from, to)) {
                cairo_rectangle(cr, ox + band.left, top + band.top, band.right - band.left,
                                band.bottom - band.top);
            }
            cairo_fill(cr);
        }
        p.Draw(cr, ox, top, y1 - top, y2 - top);
        paragraphStart += length + 1;
    }
    cairo_restore(cr);
}

int CTextEngine::TxGetNaturalHeight(int widthPixels, double dpi) {
    if (dpi <= 0) {
        dpi = Dpi();
    }
    layout_.SetOptions(Options(widthPixels * kMmPerInch / dpi));
    layout_.Update(doc_);
    return static_cast<int>(std::ceil(layout_.Height() * dpi / kMmPerInch - 1e-6));
}

// ---- text in and out ----

std::string CTextEngine::TxGetText() const {
    return Utf32ToUtf8(doc_.Text());
}

void CTextEngine::ReplaceDocument(CDocument doc) {
    doc_ = std::move(doc);
    layout_.Reset();
    undo_.Clear();
    selection_ = {};
    typingFormat_.reset();
    column_.reset();
    scrollX_ = scrollY_ = 0;
    Changed(true);
}

void CTextEngine::TxSetText(std::string_view utf8) {
    ReplaceDocument(CDocument::FromPlainText(Utf8ToUtf32(utf8), format_, paragraph_.alignment));
}

void CTextEngine::StreamInRtf(std::string_view rtf, bool selectionOnly) {
    CDocument doc = CRtfReader::Read(rtf, format_, paragraph_.alignment);
    if (selectionOnly) {
        Edit(selection_.Start(), selection_.End(), doc, EditKind::Other);
        return;
    }
    ReplaceDocument(std::move(doc));
}

std::string CTextEngine::StreamOutRtf() const {
    return CRtfWriter::Write(doc_);
}

std::string CTextEngine::GetSelectedText() const {
    if (Has(TXTBIT_USEPASSWORD)) {
        return {};
    }
    return Utf32ToUtf8(doc_.Text(selection_.Start(), selection_.End()));
}

void CTextEngine::ReplaceSelection(std::string_view utf8, bool undoable) {
    const Paragraph& p = doc_.Paragraphs()[doc_.Locate(selection_.Start()).paragraph];
    const CDocument fragment = CDocument::FromPlainText(
        Utf8ToUtf32(utf8), doc_.Format(doc_.FormatAt(selection_.Start())), p.alignment);
    Edit(selection_.Start(), selection_.End(), fragment, EditKind::Other, undoable);
}

// ---- activation and properties ----

void CTextEngine::OnTxInPlaceActivate() {
    active_ = true;
    UpdateCaret();
}

void CTextEngine::OnTxInPlaceDeactivate() {
    active_ = false;
    dragging_ = false;
    HideCaret();
}

void CTextEngine::OnTxPropertyBitsChange(std::uint32_t mask, std::uint32_t bits) {
    constexpr std::uint32_t kStates = TXTBIT_RICHTEXT | TXTBIT_MULTILINE | TXTBIT_READONLY |
                                      TXTBIT_USEPASSWORD | TXTBIT_HIDESELECTION |
                                      TXTBIT_SAVESELECTION | TXTBIT_AUTOWORDSEL | TXTBIT_WORDWRAP |
                                      TXTBIT_ALLOWBEEP;
    properties_ = (properties_ & ~(mask & kStates)) | (bits & mask & kStates);
    if ((mask & bits & TXTBIT_CHARFORMATCHANGE) || (mask & bits & TXTBIT_PARAFORMATCHANGE)) {
        format_ = Snapped(host_.TxGetCharFormat());
        paragraph_ = host_.TxGetParaFormat();
        if (doc_.Length() == 0) {
            doc_ = CDocument(format_, paragraph_.alignment);
            layout_.Reset();
        }
    }
    scrollX_ = scrollY_ = 0;
    Changed(false);
}

// ---- selection ----

void CTextEngine::SetSelection(long start, long end) {
    const std::size_t length = doc_.Length();
    if (start < 0) {
        Select({selection_.End(), selection_.End()});
        return;
    }
    const std::size_t a = std::min(static_cast<std::size_t>(start), length);
    const std::size_t b = end < 0 ? length : std::min(static_cast<std::size_t>(end), length);
    Select({a, b});
}

void CTextEngine::Select(Selection selection, bool keepColumn) {
    const std::size_t length = doc_.Length();
    selection.anchor = std::min(selection.anchor, length);
    selection.active = std::min(selection.active, length);
    if (!keepColumn) {
        column_.reset();
    }
    const bool changed = !(selection == selection_);
    selection_ = selection;
    if (changed) {
        typingFormat_.reset();
        undo_.Seal();
    }
    ScrollToCaret();
    UpdateCaret();
    if (changed) {
        host_.TxInvalidateRect(nullptr);
    }
}

void CTextEngine::Move(std::size_t position, bool extend, bool keepColumn) {
    Select({extend ? selection_.anchor : position, position}, keepColumn);
}

std::size_t CTextEngine::Grapheme(std::size_t position, int direction) {
    EnsureLayout();
    const Location loc = doc_.Locate(position);
    const CParagraphLayout& p = layout_.At(loc.paragraph);
    if (direction > 0) {
        if (loc.offset >= p.Length()) {
            return loc.paragraph + 1 < layout_.Count() ? position + 1 : position;
        }
        std::size_t offset = loc.offset + 1;
        while (offset < p.Length() && !p.IsCursorPosition(offset)) {
            ++offset;
        }
        return position + (offset - loc.offset);
    }
    if (loc.offset == 0) {
        return position > 0 ? position - 1 : 0;
    }
    std::size_t offset = loc.offset - 1;
    while (offset > 0 && !p.IsCursorPosition(offset)) {
        --offset;
    }
    return position - (loc.offset - offset);
}

std::size_t CTextEngine::Word(std::size_t position, int direction) {
    EnsureLayout();
    const Location loc = doc_.Locate(position);
    const CParagraphLayout& p = layout_.At(loc.paragraph);
    const std::size_t start = position - loc.offset;
    if (direction > 0) {
        if (loc.offset >= p.Length()) {
            return loc.paragraph + 1 < layout_.Count() ? position + 1 : position;
        }
        if (Password()) {
            return start + p.Length(); // hidden text is one word
        }
        std::size_t offset = loc.offset + 1;
        while (offset < p.Length() && !p.IsWordStart(offset)) {
            ++offset;
        }
        return start + offset;
    }
    if (loc.offset == 0) {
        return position > 0 ? position - 1 : 0;
    }
    if (Password()) {
        return start;
    }
    std::size_t offset = loc.offset - 1;
    while (offset > 0 && !p.IsWordStart(offset)) {
        --offset;
    }
    return start + offset;
}

Selection CTextEngine::WordAt(std::size_t position) {
    EnsureLayout();
    const Location loc = doc_.Locate(position);
    const CParagraphLayout& p = layout_.At(loc.paragraph);
    const std::size_t start = position - loc.offset;
    if (Password()) {
        return {start, start + p.Length()};
    }
    std::size_t from = loc.offset;
    while (from > 0 && !p.IsWordStart(from)) {
        --from;
    }
    std::size_t to = from;
    while (to < p.Length() && !(to > from && p.IsWordEnd(to))) {
        ++to;
    }
    if (!p.IsWordStart(from) || to < loc.offset) {
        // Not inside a word: the characters between the neighbouring words.
        from = loc.offset;
        while (from > 0 && !p.IsWordEnd(from)) {
            --from;
        }
        to = loc.offset;
        while (to < p.Length() && !p.IsWordStart(to)) {
            ++to;
        }
    }
    return {start + from, start + to};
}

std::size_t CTextEngine::LineEdge(std::size_t position, bool end) {
    EnsureLayout();
    const Location loc = doc_.Locate(position);
    const auto [from, to] = layout_.At(loc.paragraph).LineAt(loc.offset);
    const std::u32string& text = doc_.Paragraphs()[loc.paragraph].text;
    std::size_t edge = end ? to : from;
    // The end of a line that wraps at a space is before that space: after it is the next line.
    if (end && edge < text.size() && edge > from &&
        (text[edge - 1] == U' ' || text[edge - 1] == U'\t')) {
        --edge;
    }
    return position - loc.offset + edge;
}

std::size_t CTextEngine::Vertical(std::size_t position, double distance) {
    const CaretBox caret = CaretAt(position);
    if (!column_) {
        column_ = caret.x;
    }
    double y = distance < 0 ? caret.top + distance : caret.top + caret.height + distance - 0.01;
    if (distance < 0 && caret.top <= 1e-6) {
        return position; // already on the first line
    }
    if (distance > 0 && caret.top + caret.height >= layout_.Height() - 1e-6) {
        return position; // already on the last line
    }
    y = std::clamp(y, 0.0, layout_.Height() - 1e-6);
    return PositionAt({*column_, y});
}

// ---- editing ----

std::int64_t CTextEngine::Room(std::size_t replacing) {
    const std::int32_t limit = host_.TxGetMaxLength();
    if (limit < 0) {
        return INT64_MAX;
    }
    return static_cast<std::int64_t>(limit) - static_cast<std::int64_t>(doc_.Length() - replacing);
}

void CTextEngine::Edit(std::size_t start, std::size_t end, const CDocument& fragment, EditKind kind,
                       bool undoable) {
    UndoStep step;
    step.kind = kind;
    step.start = start;
    step.removedLength = end - start;
    step.insertedLength = fragment.Length();
    step.before = selection_;
    step.after = {start + step.insertedLength, start + step.insertedLength};
    if (undoable) {
        step.removed = doc_.Extract(start, end);
        step.inserted = fragment;
    }
    layout_.Apply(doc_.Replace(start, end, fragment));
    selection_ = step.after;
    typingFormat_.reset();
    column_.reset();
    if (undoable) {
        undo_.Push(std::move(step));
    } else {
        undo_.Clear();
    }
    Changed(true);
}

void CTextEngine::InsertText(std::u32string_view text, EditKind kind) {
    if (ReadOnly()) {
        return;
    }
    const std::size_t start = selection_.Start();
    const std::size_t end = selection_.End();
    CharFormat format = typingFormat_ ? *typingFormat_
                        : start < end ? doc_.Format(doc_.FormatAt(start + 1))
                                      : doc_.Format(doc_.FormatAt(start));
    const Alignment alignment = doc_.Paragraphs()[doc_.Locate(start).paragraph].alignment;
    CDocument fragment = CDocument::FromPlainText(text, format, alignment);
    const std::int64_t room = Room(end - start);
    if (room < static_cast<std::int64_t>(fragment.Length())) {
        if (room <= 0) {
            return; // full: nothing of the input fits
        }
        fragment = fragment.Extract(0, static_cast<std::size_t>(room));
    }
    Edit(start, end, fragment, kind);
}

void CTextEngine::DeleteRange(std::size_t start, std::size_t end, EditKind kind) {
    if (ReadOnly() || start >= end) {
        return;
    }
    Edit(start, end, CDocument(doc_.Format(doc_.FormatAt(start))), kind);
}

void CTextEngine::ToggleFormat(bool CharFormat::*property) {
    if (ReadOnly() || !Rich()) {
        return;
    }
    const std::size_t start = selection_.Start();
    const std::size_t end = selection_.End();
    if (start == end) {
        // Applies to what is typed next, until the caret moves.
        CharFormat next = typingFormat_ ? *typingFormat_ : doc_.Format(doc_.FormatAt(start));
        next.*property = !(next.*property);
        typingFormat_ = next;
        return;
    }
    const bool on = !doc_.AllHave(start, end, property);
    UndoStep step;
    step.start = start;
    step.removedLength = step.insertedLength = end - start;
    step.before = step.after = selection_;
    step.removed = doc_.Extract(start, end);
    layout_.Apply(doc_.EditFormat(start, end, [&](CharFormat& f) { f.*property = on; }));
    step.inserted = doc_.Extract(start, end);
    undo_.Push(std::move(step));
    undo_.Seal();
    Changed(true);
}

bool CTextEngine::Undo() {
    if (ReadOnly()) {
        return false;
    }
    std::optional<UndoStep> step = undo_.TakeUndo();
    if (!step) {
        return false;
    }
    layout_.Apply(doc_.Replace(step->start, step->start + step->insertedLength, step->removed));
    selection_ = step->before;
    typingFormat_.reset();
    column_.reset();
    Changed(true);
    return true;
}

bool CTextEngine::Redo() {
    if (ReadOnly()) {
        return false;
    }
    std::optional<UndoStep> step = undo_.TakeRedo();
    if (!step) {
        return false;
    }
    layout_.Apply(doc_.Replace(step->start, step->start + step->removedLength, step->inserted));
    selection_ = step->after;
    typingFormat_.reset();
    column_.reset();
    Changed(true);
    return true;
}

void CTextEngine::Changed(bool textChanged) {
    EnsureLayout();
    const double scrollX = scrollX_;
    const double scrollY = scrollY_;
    ScrollToCaret();
    UpdateCaret();
    // Only the lines the edit laid out again need painting, unless the view scrolled.
    const auto damage = layout_.TakeDamage();
    if (!textChanged || !damage || scrollX != scrollX_ || scrollY != scrollY_) {
        host_.TxInvalidateRect(nullptr);
    } else {
        const platform::RectI rc = host_.TxGetClientRect();
        const double scale = Dpi() / kMmPerInch;
        const int top =
            std::max(rc.y, rc.y + static_cast<int>(std::floor((damage->first - scrollY_) * scale)));
        int bottom = rc.Bottom();
        if (std::isfinite(damage->second)) {
            bottom = std::min(
                bottom,
                rc.y + static_cast<int>(std::ceil((damage->second - scrollY_) * scale)) + 1);
        }
        if (top < bottom) {
            const platform::RectI band{rc.x, top, rc.width, bottom - top};
            host_.TxInvalidateRect(&band);
        }
    }
    if (layout_.Height() != height_) {
        height_ = layout_.Height();
        host_.TxViewChange();
    }
    if (textChanged && (eventMask_ & ENM_CHANGE) != 0) {
        host_.TxNotify(EN_CHANGE, nullptr);
    }
}

// ---- clipboard ----

bool CTextEngine::Copy() {
    IClipboard* clipboard = host_.TxGetClipboard();
    if (Password() || selection_.Empty() || clipboard == nullptr) {
        return false;
    }
    const std::size_t start = selection_.Start();
    const std::size_t end = selection_.End();
    const std::string text = Utf32ToUtf8(doc_.Text(start, end));
    const std::string rtf = Rich() ? CRtfWriter::Write(doc_.Extract(start, end)) : std::string();
    return clipboard->SetContent(text, rtf);
}

bool CTextEngine::Cut() {
    if (ReadOnly() || !Copy()) {
        return false;
    }
    DeleteRange(selection_.Start(), selection_.End(), EditKind::Other);
    return true;
}

bool CTextEngine::Paste() {
    IClipboard* clipboard = host_.TxGetClipboard();
    if (ReadOnly() || clipboard == nullptr) {
        return false;
    }
    const std::size_t start = selection_.Start();
    const std::size_t end = selection_.End();
    std::optional<CDocument> fragment;
    if (Rich()) {
        if (const std::optional<std::string> rtf = clipboard->GetRtf();
            rtf && CRtfReader::IsRtf(*rtf)) {
            fragment =
                CRtfReader::Read(*rtf, doc_.Format(doc_.FormatAt(start)), paragraph_.alignment);
        }
    }
    if (!fragment) {
        const std::optional<std::string> text = clipboard->GetText();
        if (!text) {
            return false;
        }
        const Alignment alignment = doc_.Paragraphs()[doc_.Locate(start).paragraph].alignment;
        fragment = CDocument::FromPlainText(Utf8ToUtf32(*text), doc_.Format(doc_.FormatAt(start)),
                                            alignment);
    }
    if (!Multiline() && fragment->Paragraphs().size() > 1) {
        fragment = fragment->Extract(0, fragment->Paragraphs().front().text.size());
    }
    const std::int64_t room = Room(end - start);
    if (room < static_cast<std::int64_t>(fragment->Length())) {
        if (room <= 0) {
            return false;
        }
        fragment = fragment->Extract(0, static_cast<std::size_t>(room));
    }
    Edit(start, end, *fragment, EditKind::Other);
    undo_.Seal();
    return true;
}

// ---- messages ----

bool CTextEngine::Modifier(WPARAM key) {
    const int state = host_.TxGetKeyState(key);
    if (state >= 0) {
        return state != 0;
    }
    return key == VK_SHIFT ? shift_ : control_;
}

bool CTextEngine::KeyDown(WPARAM key) {
    const bool shift = Modifier(VK_SHIFT);
    const bool control = Modifier(VK_CONTROL);
    const std::size_t active = selection_.active;
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT: {
        const int direction = key == VK_RIGHT ? 1 : -1;
        if (!shift && !control && !selection_.Empty()) {
            Move(direction > 0 ? selection_.End() : selection_.Start(), false);
        } else {
            Move(control ? Word(active, direction) : Grapheme(active, direction), shift);
        }
        return true;
    }
    case VK_UP:
    case VK_DOWN: {
        const double line = CaretAt(active).height;
        Move(Vertical(active, key == VK_UP ? -line / 2 : line / 2), shift, true);
        return true;
    }
    case VK_PRIOR:
    case VK_NEXT: {
        const double page = std::max(ClientHeight(), CaretAt(active).height);
        Move(Vertical(active, key == VK_PRIOR ? -page : page), shift, true);
        return true;
    }
    case VK_HOME:
        Move(control ? 0 : LineEdge(active, false), shift);
        return true;
    case VK_END:
        Move(control ? doc_.Length() : LineEdge(active, true), shift);
        return true;
    case VK_BACK:
        if (!selection_.Empty()) {
            DeleteRange(selection_.Start(), selection_.End(), EditKind::Other);
        } else if (active > 0) {
            // Without Ctrl one code point goes, so that a composed character can be corrected.
            DeleteRange(control ? Word(active, -1) : active - 1, active, EditKind::Backspace);
        }
        return true;
    case VK_DELETE:
        if (shift && !control) {
            Cut();
        } else if (!selection_.Empty()) {
            DeleteRange(selection_.Start(), selection_.End(), EditKind::Other);
        } else {
            DeleteRange(active, control ? Word(active, 1) : Grapheme(active, 1), EditKind::Delete);
        }
        return true;
    case VK_INSERT:
        if (control && !shift) {
            Copy();
        } else if (shift && !control) {
            Paste();
        }
        return true;
    case VK_RETURN:
        if (!Multiline()) {
            return false;
        }
        InsertText(U"\n", EditKind::Other);
        undo_.Seal();
        return true;
    case VK_TAB:
        if (!Multiline() || control) {
            return false;
        }
        InsertText(U"\t", EditKind::Typing);
        return true;
    default:
        break;
    }
    if (!control) {
        return false;
    }
    switch (key) {
    case 'A':
        Select({0, doc_.Length()});
        return true;
    case 'C':
        Copy();
        return true;
    case 'X':
        Cut();
        return true;
    case 'V':
        Paste();
        return true;
    case 'Z':
        if (shift) {
            Redo();
        } else {
            Undo();
        }
        return true;
    case 'Y':
        Redo();
        return true;
    case 'B':
        ToggleFormat(&CharFormat::bold);
        return true;
    case 'I':
        ToggleFormat(&CharFormat::italic);
        return true;
    case 'U':
        ToggleFormat(&CharFormat::underline);
        return true;
    default:
        return false;
    }
}

void CTextEngine::Character(char32_t c) {
    // Control characters arrive with their keys (handled on key down); Ctrl+letter chords
    // produce them too and must not become text.
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || Modifier(VK_CONTROL)) {
        return;
    }
    InsertText(std::u32string_view(&c, 1), EditKind::Typing);
}

bool CTextEngine::Mouse(UINT message, WPARAM wParam, LPARAM lParam) {
    const Point point = ContentPoint(lParam);
    const platform::RectI rc = host_.TxGetClientRect();
    const bool inside = rc.Contains({LowWord(lParam), HighWord(lParam)});
    switch (message) {
    case WM_LBUTTONDOWN: {
        if (!inside) {
            return false;
        }
        const std::size_t position = PositionAt(point);
        wordDrag_ = false;
        Move(position, (wParam & MK_SHIFT) != 0);
        dragging_ = true;
        host_.TxSetCapture(true);
        return true;
    }
    case WM_LBUTTONDBLCLK: {
        if (!inside) {
            return false;
        }
        dragWord_ = WordAt(PositionAt(point));
        wordDrag_ = true;
        dragging_ = true;
        Select({dragWord_.Start(), dragWord_.End()});
        host_.TxSetCapture(true);
        return true;
    }
    case WM_MOUSEMOVE: {
        if (!dragging_ || (wParam & MK_LBUTTON) == 0) {
            return inside;
        }
        const std::size_t position = PositionAt(point);
        if (wordDrag_) {
            const Selection word = WordAt(position);
            if (position < dragWord_.Start()) {
                Select({dragWord_.End(), word.Start()});
            } else {
                Select({dragWord_.Start(), std::max(word.End(), dragWord_.End())});
            }
        } else {
            Move(position, true);
        }
        return true;
    }
    case WM_LBUTTONUP:
        if (!dragging_) {
            return inside;
        }
        dragging_ = false;
        wordDrag_ = false;
        host_.TxSetCapture(false);
        return true;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return inside;
    default:
        return false;
    }
}

bool CTextEngine::TxSendMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (result != nullptr) {
        *result = 0;
    }
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return Mouse(message, wParam, lParam);
    case WM_KEYDOWN:
        if (wParam == VK_SHIFT || wParam == VK_CONTROL) {
            (wParam == VK_SHIFT ? shift_ : control_) = true;
            return false;
        }
        return KeyDown(wParam);
    case WM_KEYUP:
        if (wParam == VK_SHIFT || wParam == VK_CONTROL) {
            (wParam == VK_SHIFT ? shift_ : control_) = false;
        }
        return false;
    case WM_CHAR: {
        const auto unit = static_cast<char16_t>(wParam & 0xFFFF);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            highSurrogate_ = unit;
            return true;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (highSurrogate_ != 0) {
                Character(0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00));
            }
            highSurrogate_ = 0;
            return true;
        }
        highSurrogate_ = 0;
        Character(unit);
        return true;
    }
    case WM_UNICHAR:
        if (wParam == 0xFFFF) {
            if (result != nullptr) {
                *result = 1; // UNICODE_NOCHAR: yes, this engine takes WM_UNICHAR
            }
            return true;
        }
        if (wParam <= 0x10FFFF && !(wParam >= 0xD800 && wParam <= 0xDFFF)) {
            Character(static_cast<char32_t>(wParam));
        }
        return true;
    case WM_SETFOCUS:
        focused_ = true;
        UpdateCaret();
        host_.TxInvalidateRect(nullptr);
        return true;
    case WM_KILLFOCUS:
        focused_ = false;
        dragging_ = false;
        shift_ = control_ = false;
        undo_.Seal();
        HideCaret();
        host_.TxInvalidateRect(nullptr);
        return true;
    case WM_COPY:
        return Copy();
    case WM_CUT:
        return Cut();
    case WM_PASTE:
        return Paste();
    default:
        return false;
    }
}

} // namespace richtext
