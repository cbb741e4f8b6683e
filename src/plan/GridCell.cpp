#include "plan/GridCell.h"

#include "plan/CellBorder.h"
#include "plan/TemplateMembers.h"

#include "view/IHostWindow.h"
#include "view/controls/TextHost.h"

#include "gfx/Graphics.h"
#include "gfx/Units.h"
#include "net/ThreadTimer.h"
#include "platform/Clipboard.h"
#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/Messages.h"
#include "view/LayeredRenderer.h"

#include <algorithm>
#include <cmath>

namespace Plenvo {

using namespace platform;

namespace {

constexpr UINT kCutCommand = 1;
constexpr UINT kCopyCommand = 2;
constexpr UINT kPasteCommand = 3;
constexpr std::uint32_t kScrollStyle = 0x202000; // WS_VSCROLL | ES_DISABLENOSCROLL

bool IsKey(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR;
}

bool IsArrow(WPARAM key) {
    return key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN;
}

void ReplaceAll(std::string& text, std::string_view from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

richtext::Alignment ReadAlignment(const nlohmann::json& description) {
    const std::string alignment = TemplateMembers::Text(description, "alignment");
    if (alignment == "center") {
        return richtext::Alignment::Center;
    }
    if (alignment == "right") {
        return richtext::Alignment::Right;
    }
    return richtext::Alignment::Left;
}

} // namespace

CGridCell::CGridCell(const nlohmann::json& description, IPage* page)
    : width_(TemplateMembers::Number(description, "width")),
      height_(TemplateMembers::Number(description, "height")),
      name_(TemplateMembers::Text(description, "name")), page_(page) {
    minimumHeight_ = height_ >= kLeastHeight ? height_ : kLeastHeight;
    wantReturn_ = TemplateMembers::Flag(description, "wantreturn");
    extendable_ = TemplateMembers::Flag(description, "extendable");
    noGridLine_ = TemplateMembers::Flag(description, "nogridline");
    deleteOnEmpty_ = TemplateMembers::Flag(description, "deleteonempty");
    if (description.is_object()) {
        if (const auto it = description.find("extenddesc");
            it != description.end() && it->is_object()) {
            extendDesc_ = *it;
        }
        if (const auto it = description.find("lines"); it != description.end() && it->is_array()) {
            lines_.reserve(it->size());
            for (const auto& line : *it) {
                lines_.push_back(std::make_shared<CGridLine>(line, page));
            }
            return; // a container: no text of its own
        }
    }
    CreateTextHost(description);
}

CGridCell::~CGridCell() = default;

void CGridCell::CreateTextHost(const nlohmann::json& description) {
    TextHostSettings settings;
    settings.fontFamily = "宋体";
    if (TemplateMembers::Flag(description, "multiline")) {
        settings.editStyle |= ES_MULTILINE;
    }
    if (TemplateMembers::Flag(description, "vscroll")) {
        settings.editStyle |= kScrollStyle;
    }
    if (TemplateMembers::Flag(description, "readonly")) {
        settings.editStyle |= ES_READONLY;
    }
    settings.wordWrap = TemplateMembers::Flag(description, "wordwrap");
    settings.autoWordSelect = TemplateMembers::Flag(description, "enableautowordsel");
    settings.allowBeep = TemplateMembers::Flag(description, "allowbeep");
    settings.saveSelection = TemplateMembers::Flag(description, "saveselection");
    settings.alignment = ReadAlignment(description);
    settings.color = kTextColor;
    settings.fontHeight = kFontHeight;
    auto host =
        std::make_unique<CTextHost>(nullptr, TextRect(), settings, [this] { OnTextChange(); });
    if (!host->Init()) {
        return;
    }
    // A teaching step may be long: the edit element's 80 characters would drop keystrokes.
    host->SetMaxLength(-1);
    host->Services()->SetEventMask(richtext::ENM_CHANGE);
    textHost_ = std::move(host);
    if (const std::string value = TemplateMembers::Text(description, "value"); !value.empty()) {
        SetValue(value);
    }
}

// --- Values ---

void CGridCell::SetText(const std::string& utf8) {
    text_ = utf8;
    if (!textHost_) {
        return;
    }
    ++settingText_;
    textHost_->SetText(utf8);
    --settingText_;
}

void CGridCell::SetValue(const std::string& value) {
    if (value.compare(0, kRtfPrefix.size(), kRtfPrefix) != 0) {
        SetText(value);
        return;
    }
    if (!textHost_) {
        return;
    }
    ++settingText_;
    textHost_->LoadRtf(std::string_view(value).substr(kRtfPrefix.size()));
    text_ = textHost_->GetText();
    --settingText_;
}

std::string CGridCell::GetValue() const {
    return textHost_ ? std::string(kRtfPrefix) + textHost_->GetRtf() : std::string();
}

bool CGridCell::IsEditable() const {
    return textHost_ && !textHost_->IsReadOnly();
}

bool CGridCell::TakeChanged() {
    const bool changed = changed_ != 0;
    changed_ = 0;
    return changed;
}

// --- Grid ---

void CGridCell::LinkParents(const std::shared_ptr<CGridLine>& parent) {
    parentLine_ = parent;
    const auto self = shared_from_this();
    for (const auto& line : lines_) {
        line->SetParentCell(self);
        line->LinkParents();
    }
}

std::shared_ptr<CGridCell> CGridCell::FindCell(const std::string& name) {
    for (const auto& line : lines_) {
        if (auto found = line->FindCell(name)) {
            return found;
        }
    }
    return name_ == name ? shared_from_this() : nullptr;
}

std::shared_ptr<CGridCell> CGridCell::CellAt(gfx::PointF pointMm) {
    for (const auto& line : lines_) {
        if (auto found = line->CellAt(pointMm)) {
            return found;
        }
    }
    return textHost_ && Rect().Contains(pointMm) ? shared_from_this() : nullptr;
}

void CGridCell::Collect(const CellPredicate& predicate,
                        std::vector<std::shared_ptr<CGridCell>>& out) {
    if (predicate(*this)) {
        out.push_back(shared_from_this());
        return;
    }
    for (const auto& line : lines_) {
        line->Collect(predicate, out);
    }
}

bool CGridCell::NameInUse(const std::string& stem) const {
    if (name_.compare(0, stem.size(), stem) == 0 &&
        (name_.size() == stem.size() || name_[stem.size()] == '.')) {
        return true;
    }
    return std::any_of(lines_.begin(), lines_.end(),
                       [&](const auto& line) { return line->NameInUse(stem); });
}

gfx::RectF CGridCell::TextRect() const {
    return {x_ + innerMargin_, y_ + innerMargin_, width_ - 2 * innerMargin_,
            height_ - 2 * innerMargin_};
}

double CGridCell::Layout(gfx::PointF point, gfx::RectF& changed) {
    if (point.x != x_ || point.y != y_) {
        changed = gfx::RectF::Union(changed, Rect());
        x_ = point.x;
        y_ = point.y;
        changed = gfx::RectF::Union(changed, Rect());
    }
    double height = 0;
    if (!textHost_) {
        double y = y_;
        for (const auto& line : lines_) {
            y += line->Layout({x_, y}, changed);
        }
        height = std::max(minimumHeight_, y - y_);
    } else {
        const double dpi = page_->GetDpi();
        textHost_->SetHostWindow(page_->GetHostWindow());
        textHost_->SetResolution(dpi);
        // Measured at the very width the engine lays the text out at for drawing (the host's
        // client rectangle in whole pixels): at any other width every layout pass, a wheel
        // step included, would shape the text of every cell twice, once for each width.
        textHost_->SetRect(TextRect());
        const int width = std::max(1, textHost_->TxGetClientRect().width);
        int pixels = textHost_->NaturalHeight(width, dpi);
        if (!textHost_->IsReadOnly()) {
            pixels += kEditableSlackPixels;
        }
        height = std::max(minimumHeight_, gfx::PxToMm(pixels, dpi) + 2 * innerMargin_);
    }
    // The height stays as the line gave it: setting the natural height here, where the line
    // then sets its own again, would resize (and repaint) every cell shorter than its line on
    // every pass. The engine carries the caret along when the rectangle only moved.
    return height;
}

void CGridCell::SetLaidOutHeight(double height) {
    height_ = height;
    if (textHost_) {
        textHost_->SetRect(TextRect());
    }
}

void CGridCell::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, const LineIcons& icons) {
    const gfx::RectF rect = Rect();
    if (textHost_) {
        if (textHost_->IsReadOnly()) {
            graphics.FillRectangle(kReadOnlyFill, rect);
        } else if (focused_) {
            graphics.FillRectangle(kFocusFill, rect);
        }
    }
    if (!noGridLine_) {
        DrawCellBorder(graphics, rect);
    }
    if (textHost_) {
        // The engine draws its glyphs with their own alpha, so the fill shows through around
        // them without a colour key.
        const gfx::RectF textClip = gfx::RectF::Intersect(clip, TextRect());
        if (!textClip.IsEmpty()) {
            textHost_->Draw(graphics, &textClip);
        }
        return;
    }
    for (const auto& line : lines_) {
        if (line->Rect().Intersects(clip)) {
            line->Paint(graphics, clip, icons);
        }
    }
}

void CGridCell::Teardown() {
    for (const auto& line : lines_) {
        line->Teardown();
    }
    lines_.clear();
    textHost_.reset();
}

// --- Focus ---

void CGridCell::SetFocus() {
    if (!textHost_ || focused_) {
        return;
    }
    textHost_->SetHostWindow(page_->GetHostWindow());
    textHost_->SetRect(TextRect());
    richtext::ITextServices* services = textHost_->Services();
    // Registering first lets the cell that had the focus give it up before this one takes it.
    const std::weak_ptr<CGridCell> weak = weak_from_this();
    page_->SetFocusId(this, [weak] {
        if (auto self = weak.lock()) {
            self->KillFocus();
        }
    });
    services->OnTxInPlaceActivate();
    services->TxSendMessage(WM_SETFOCUS, 0, 0, nullptr);
    active_ = true;
    SetFocusedUpwards(true);
    if (IHostWindow* window = page_->GetHostWindow()) {
        window->InvalidateArea(Rect(), kUnitMillimetre);
    }
}

void CGridCell::PlaceCaret(bool atEnd) {
    if (textHost_) {
        const auto at = atEnd ? static_cast<long>(textHost_->Services()->GetTextLength()) : 0L;
        textHost_->Services()->SetSelection(at, at);
    }
}

void CGridCell::KillFocus() {
    if (textHost_) {
        textHost_->Services()->TxSendMessage(WM_KILLFOCUS, 0, 0, nullptr);
        textHost_->Services()->OnTxInPlaceDeactivate();
    }
    active_ = false;
    SetFocusedUpwards(false);
    if (IHostWindow* window = page_->GetHostWindow()) {
        window->InvalidateArea(Rect(), kUnitMillimetre);
    }
}

void CGridCell::SetFocusedUpwards(bool focused) {
    focused_ = focused ? 1 : 0;
    if (auto line = parentLine_.lock()) {
        line->SetFocused(focused);
    }
}

// --- Editing ---

void CGridCell::AddSubLine() {
    if (!extendDesc_.is_object()) {
        return;
    }
    const int number = static_cast<int>(lines_.size()) + 1;
    nlohmann::json copy = extendDesc_;
    std::string cellName;
    auto cells = copy.find("cells");
    const bool hasFirstCell =
        cells != copy.end() && cells->is_array() && !cells->empty() && (*cells)[0].is_object();
    if (hasFirstCell) {
        cellName = TemplateMembers::Text((*cells)[0], "name");
    }
    const std::string lineName = TemplateMembers::Text(copy, "name");
    // A tick that names an existing line (two lines within one tick, or a clock that started
    // again) would make two cells share a name: take the next free number.
    std::uint32_t tick = page_->GetTickCount();
    std::string newLineName;
    std::string newCellName;
    for (int tries = 0; tries < 1000; ++tries, ++tick) {
        newLineName = lineName;
        newCellName = cellName;
        ReplaceAll(newLineName, "INCRVAL", std::to_string(tick));
        ReplaceAll(newCellName, "INCRVAL", std::to_string(tick));
        const bool lineTaken = !newLineName.empty() && page_->NameInUse(newLineName);
        const bool cellTaken = !newCellName.empty() && page_->NameInUse(newCellName);
        if (!lineTaken && !cellTaken) {
            break;
        }
    }
    copy["name"] = newLineName;
    if (hasFirstCell) {
        (*cells)[0]["name"] = newCellName;
        (*cells)[0]["value"] = std::to_string(number) + ".";
    }
    auto line = std::make_shared<CGridLine>(copy, page_);
    line->SetParentCell(shared_from_this());
    line->LinkParents();
    lines_.push_back(line);
    page_->LinesChanged();
    if (!line->Cells().empty()) {
        const auto& first = line->Cells().front();
        first->SetFocus();
        first->PlaceCaret(true);
    }
    page_->Relayout(true);
    changed_ = 1;
    page_->AnnounceSubLine(newLineName);
}

void CGridCell::OnTextChange() {
    if (settingText_ || !textHost_) {
        return;
    }
    text_ = textHost_->GetText();
    page_->RelayoutCell(*this);
    const auto line = parentLine_.lock();
    const auto container = line ? line->ParentCell() : nullptr;
    if (text_.empty() && deleteOnEmpty_ && container && container->Lines().size() > 1) {
        RemoveLineLater();
        return;
    }
    // A cell whose line stays (the last sub-line) was still edited: its empty text must be
    // saved, or the old text comes back on reopen.
    changed_ = 1;
    page_->MarkModified(page_->Now());
}

void CGridCell::RemoveLineLater() {
    // Not inside the engine's own notification: the cell and its engine go with the line.
    const std::weak_ptr<CGridCell> weak = weak_from_this();
    const std::weak_ptr<CGridLine> weakLine = parentLine_;
    SimpleCurl::RegisterThreadTimer(1, [weak, weakLine](UINT_PTR id) {
        SimpleCurl::KillThreadTimer(id);
        const auto self = weak.lock();
        const auto line = weakLine.lock();
        const auto container = line ? line->ParentCell() : nullptr;
        if (self && line && container) {
            container->RemoveEmptiedLine(line);
        }
    });
}

void CGridCell::RemoveEmptiedLine(const std::shared_ptr<CGridLine>& line) {
    const auto it = std::find(lines_.begin(), lines_.end(), line);
    if (it == lines_.end() || lines_.size() < 2) {
        return;
    }
    if (!line->Cells().empty()) {
        const bool hadFocus = line->IsFocused();
        if (hadFocus) {
            page_->SetFocusId(nullptr, {});
            if (it != lines_.begin() && !(*std::prev(it))->Cells().empty()) {
                const auto& previous = (*std::prev(it))->Cells().front();
                previous->SetFocus();
                previous->PlaceCaret(true);
            }
        }
    }
    const std::string name = line->Name();
    lines_.erase(std::find(lines_.begin(), lines_.end(), line));
    line->Teardown();
    page_->Relayout(true);
    changed_ = 1;
    page_->MarkModified(page_->Now());
    page_->AnnounceSubLineRemoved(name);
}

bool CGridCell::RouteToLines(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const auto lines = lines_;
    for (const auto& line : lines) {
        if (line->HandleMessage(message, wParam, lParam, result)) {
            return true;
        }
    }
    return false;
}

bool CGridCell::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_MOUSEWHEEL) {
        return false;
    }
    // Adding a sub-line or removing a line may release this cell while it works.
    const auto self = shared_from_this();
    if (extendable_ && focused_ && IsKey(message) && wParam == VK_RETURN) {
        if (message == WM_KEYDOWN) {
            AddSubLine();
        }
        return true;
    }
    if (deleteOnEmpty_ && focused_ && text_.empty() && IsKey(message) && wParam == VK_BACK) {
        return true;
    }
    if (textHost_) {
        richtext::ITextServices* services = textHost_->Services();
        if (message == WM_TIMER) {
            return services->TxSendMessage(message, wParam, lParam, &result);
        }
        if (IsKeyboardMessage(message)) {
            if (!active_ || !focused_ || !page_->IsFocused(this)) {
                return RouteToLines(message, wParam, lParam, result);
            }
            if (wParam == VK_RETURN && IsKey(message) && !wantReturn_) {
                return true;
            }
            const richtext::Selection before = services->GetSelection();
            const std::size_t lengthBefore = services->GetTextLength();
            const bool handled = services->TxSendMessage(message, wParam, lParam, &result);
            if (!textHost_) {
                return handled; // the cell went while the engine worked
            }
            const richtext::Selection after = services->GetSelection();
            if (message == WM_KEYDOWN && IsArrow(wParam) && after.Start() == before.Start() &&
                after.End() == before.End()) {
                MoveFocus(wParam);
            } else if (services->GetTextLength() != lengthBefore) {
                page_->RelayoutCell(*this);
            }
            return handled;
        }
        if (message == WM_IME_COMPOSITION || message == WM_IME_STARTCOMPOSITION) {
            if (focused_) {
                if (IHostWindow* window = page_->GetHostWindow()) {
                    const Point caret = textHost_->GetCaretPos();
                    window->SetCaretPos(caret.x, caret.y);
                }
            }
            return false;
        }
        if (IsMouseMessage(message) || message == WM_SETCURSOR) {
            const bool inside = Rect().Contains(PointMm(*page_, lParam));
            if (!inside && !page_->HasCellCapture(this)) {
                return RouteToLines(message, wParam, lParam, result);
            }
            page_->SetCellCursor(cursor_);
            if ((message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK ||
                 message == WM_RBUTTONDOWN) &&
                !focused_) {
                SetFocus();
            }
            if (message == WM_LBUTTONDOWN) {
                page_->SetCellCapture(true, this);
            } else if (message == WM_LBUTTONUP) {
                page_->SetCellCapture(false, this);
            }
            const bool handled = services->TxSendMessage(message, wParam, lParam, &result);
            if (handled && message == WM_RBUTTONUP) {
                ShowContextMenu(lParam);
            }
            return handled;
        }
    }
    return RouteToLines(message, wParam, lParam, result);
}

void CGridCell::MoveFocus(WPARAM key) {
    gfx::PointF probe{x_, y_};
    switch (key) {
    case VK_LEFT:
        probe.x = x_ - 2.0;
        break;
    case VK_RIGHT:
        probe.x = x_ + width_ + 2.0;
        break;
    case VK_UP:
        probe.y = y_ - 2.0;
        break;
    default:
        probe.y = y_ + height_ + 2.0;
        break;
    }
    for (auto cell = page_->CellAt(probe); cell; cell = page_->CellAt(probe)) {
        if (cell->IsEditable()) {
            if (cell.get() == this) {
                return;
            }
            cell->SetFocus();
            // Moving backwards lands at the end of the text, forwards at its start.
            cell->PlaceCaret(key == VK_LEFT || key == VK_UP);
            return;
        }
        // Read-only: look past it.
        switch (key) {
        case VK_LEFT:
            probe.x = cell->x_ - 2.0;
            break;
        case VK_RIGHT:
            probe.x = cell->x_ + cell->width_ + 2.0;
            break;
        case VK_UP:
            probe.y = cell->y_ - 2.0;
            break;
        default:
            probe.y = cell->y_ + cell->height_ + 2.0;
            break;
        }
    }
}

void CGridCell::ShowContextMenu(LPARAM lParam) {
    if (!textHost_) {
        return;
    }
    richtext::ITextServices* services = textHost_->Services();
    const richtext::Selection selection = services->GetSelection();
    const bool hasSelection = !selection.Empty();
    const bool canPaste = Clipboard::Text().has_value() || Clipboard::Rtf().has_value();
    PopupMenuRequest menu;
    menu.owner = page_->GetHandle();
    menu.items.push_back({kCutCommand, "剪切", hasSelection});
    menu.items.push_back({kCopyCommand, "复制", hasSelection});
    menu.items.push_back({kPasteCommand, "粘贴", canPaste});
    const Point origin = page_->ClientToScreenOrigin();
    menu.x = LowWord(lParam) + origin.x;
    menu.y = HighWord(lParam) + origin.y;
    const UINT command = TrackPopupMenu(menu);
    if (!textHost_) {
        return;
    }
    if (command == kCutCommand || command == kCopyCommand) {
        const std::string text = services->GetSelectedText();
        // Only a selection read back whole goes to the clipboard.
        if (platform::Utf8ToUtf32(text).size() != selection.End() - selection.Start()) {
            return;
        }
        Clipboard::Set(text);
        if (command == kCutCommand) {
            services->ReplaceSelection("", true);
        }
    } else if (command == kPasteCommand) {
        services->TxSendMessage(WM_PASTE, 0, 0, nullptr);
        page_->RelayoutCell(*this);
    }
}

} // namespace Plenvo
