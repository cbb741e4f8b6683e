#pragma once
// The element of type "plenvo": one open lesson plan. It draws the header (title, lesson title,
// last-change time) above the grid, lays the grid out with the cells' natural heights, scrolls it
// (wheel, scroll bar, dragging the background), routes input to lines and cells, and answers
// their IPage requests. Saving and printing plug in through PlanHooks.
#include "plan/GridCell.h"
#include "plan/GridLine.h"
#include "plan/IPage.h"
#include "plan/PlanRecord.h"

#include "view/ViewElement.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gfx {
class Bitmap;
}

namespace Plenvo {

class CViewButton;
class CViewScrollBar;

class CViewPlenvo : public CViewElement, public IPage {
public:
    static constexpr double kWidth = 195.0;
    static constexpr double kLeftMargin = 10.0;
    static constexpr double kHeaderHeight = 40.0;
    static constexpr double kWheelStep = 10.0;
    static constexpr unsigned kKeepAliveMs = 30000;
    static constexpr const char* kDateFormat = "%Y年%m月%d日 %H:%M";

    explicit CViewPlenvo(Json description);
    ~CViewPlenvo() override;

    // --- CViewElement ---
    void Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                bool registerInLayer) override;
    void Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) override;
    bool ReadProperties() override;
    bool HandleMessage(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                       platform::LRESULT& result) override;
    void ClearChildren() override;
    bool IsFocused(ElementId id) override;
    void SetFocusId(ElementId id, KillFocusCallback killFocus) override;
    using CViewElement::SetFocusId;
    IHostWindow* GetHostWindow() override;

    // --- IPage ---
    std::string GetPlanId() override;
    void InsertLineAfter(CGridLine* line) override;
    void RemoveLine(CGridLine* line) override;
    gfx::PointF GetPosition() override;
    std::shared_ptr<CGridCell> CellAt(gfx::PointF pointMm) override;
    std::shared_ptr<CGridCell> FindCell(const std::string& name) override;
    void ShowGradeAndSubject() override;
    void Relayout(bool invalidate) override;
    void RelayoutCell(CGridCell& cell) override;
    void MarkModified(std::int64_t time) override;
    void LinesChanged() override;
    platform::HWND GetHandle() override;
    gfx::Graphics* GetDC() override;
    void ReleaseDC(gfx::Graphics* dc) override;
    void SetCellCapture(bool on, CGridCell* cell) override;
    bool HasCellCapture(const CGridCell* cell) override;
    void SaveVersion() override;
    std::uint32_t GetTickCount() override;
    // The printer's while printing: cells measure and draw for the page.
    double GetDpi() override { return printing_ ? printerDpi_ : CViewElement::GetDpi(); }
    std::int64_t Now() override;
    bool NameInUse(const std::string& stem) override;
    void AnnounceSubLine(const std::string& name) override;
    void AnnounceSubLineRemoved(const std::string& name) override;
    void SetCellCursor(Cursor cursor) override;
    Point ClientToScreenOrigin() override;

    // --- For pages, saving and printing ---

    // Whether any cell changed since the last call; clears every changed flag.
    bool TakeChanges();
    // Cells accepted by the predicate, depth first; an accepted container is taken whole.
    std::vector<std::shared_ptr<CGridCell>> CollectCells(const CellPredicate& predicate);
    void SaveToService();
    void Print();
    // While printing the element paints nothing in its window and measures on the printer.
    void BeginPrinting(gfx::Graphics* printer, platform::HWND printerWindow, double printerDpi);
    void EndPrinting();
    bool IsPrinting() const { return printing_ != 0; }

    const PlanRecord& GetRecord() const { return record_; }
    // A saved version laid over the plan brings its own title, grade and subject.
    PlanRecord& MutableRecord() { return record_; }
    const std::vector<std::shared_ptr<CGridLine>>& Lines() const { return lines_; }
    double ScrollOffset() const { return scrollOffset_; }
    double ContentHeight() const { return contentHeight_; }
    bool IsDragging() const { return dragging_ != 0; }
    const gfx::RectF& DateArea() const { return dateArea_; }
    CViewScrollBar* ScrollBar() const { return scrollBar_.get(); }
    CViewButton* SaveButton() const { return saveButton_.get(); }
    // The lesson title as the header draws it: whole, or shortened with "..." to a width.
    static std::string FitTitle(const std::string& title, double maxWidth,
                                const std::function<double(const std::string&)>& measure);
    // Tests drive the clocks; empty functions restore the system's.
    void SetClocks(std::function<std::uint32_t()> tick, std::function<std::int64_t()> now);

private:
    void BuildGrid();
    // Takes the focus back from a line that goes, then releases its cells.
    void DropLine(const std::shared_ptr<CGridLine>& line);
    void CreateParts();
    std::shared_ptr<CViewElement> MakePart(Json description);
    void SetScrollOffset(double offset);
    // The scroll offset as drawn: rounded to whole pixels, so that scrolling moves the grid's
    // picture by whole pixels, which the window copies instead of painting it all again.
    double DrawnOffset();
    void UpdateScrollRange();
    void OnScrollTrack(const std::string& parameter);
    // Scrolls the grid so that the focused cell's caret is in view, as typing and the arrow
    // keys move it; nothing when it already is.
    void RevealCaret();
    // Where the grid is painted: the element below its header.
    gfx::RectF GridArea() const;
    // Where the plan's title is drawn, centred: in the header and the top of the grid area.
    gfx::RectF TitleArea() const;
    // Repaints the part of `changed` that lies in the grid area.
    void InvalidateGrid(const gfx::RectF& changed);
    bool HandleMouse(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                     platform::LRESULT& result, bool& done);
    void ShowPlanMenu(platform::LPARAM lParam);
    void UpdateHistoryItem(std::int64_t time);
    void SendAddLine(const std::shared_ptr<CGridLine>& line, const std::string& afterName);
    void SendLineEvent(const std::string& url);
    std::string EndpointBase();

    PlanRecord record_;
    std::vector<std::shared_ptr<CGridLine>> lines_;
    int dragging_ = 0;
    double dragStartY_ = 0;
    Cursor planCursor_ = Cursor::Arrow;
    double leftMargin_ = kLeftMargin;
    double headerHeight_ = kHeaderHeight;
    std::shared_ptr<CViewScrollBar> scrollBar_;
    std::shared_ptr<CViewButton> saveButton_;
    double scrollOffset_ = 0;
    double dragStartOffset_ = 0;
    double contentHeight_ = 0;
    std::shared_ptr<CViewButton> printButton_;
    gfx::RectF dateArea_;
    IHostWindow* hostWindow_ = nullptr;
    int printing_ = 0;
    gfx::Graphics* printerDc_ = nullptr;
    platform::HWND printerWindow_ = 0;
    double printerDpi_ = 0;
    std::weak_ptr<CGridCell> capturingCell_;
    platform::UINT_PTR keepAliveTimer_ = 0;
    std::unique_ptr<gfx::Bitmap> addLineIcon_;
    std::unique_ptr<gfx::Bitmap> deleteLineIcon_;
    std::function<std::uint32_t()> tick_;
    std::function<std::int64_t()> now_;
};

} // namespace Plenvo
