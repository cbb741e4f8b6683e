#pragma once
// What the lines and cells of a plan ask of the plan element that owns them.
#include "gfx/Geometry.h"
#include "gfx/Units.h"
#include "platform/Types.h"
#include "view/Cursor.h"
#include "view/ViewTypes.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

namespace gfx {
class Graphics;
}

namespace Plenvo {

class CGridCell;
class CGridLine;
class IHostWindow;

class IPage {
public:
    virtual ~IPage() = default;

    virtual std::string GetPlanId() = 0;
    virtual void InsertLineAfter(CGridLine* line) = 0;
    virtual void RemoveLine(CGridLine* line) = 0;
    virtual gfx::PointF GetPosition() = 0;
    // The resolution of the surface the plan is laid out for: the window's, or a printer's.
    virtual double GetDpi() = 0;
    virtual std::shared_ptr<CGridCell> CellAt(gfx::PointF pointMm) = 0;
    virtual std::shared_ptr<CGridCell> FindCell(const std::string& name) = 0;
    virtual bool IsFocused(ElementId id) = 0;
    virtual void SetFocusId(ElementId id, KillFocusCallback killFocus) = 0;
    virtual void ShowGradeAndSubject() = 0;
    virtual void Relayout(bool invalidate) = 0;
    // The text of a cell changed: its line is laid out again, and the lines below only when
    // that line's height changed (otherwise nothing else moves).
    virtual void RelayoutCell(CGridCell& cell) = 0;
    virtual void MarkModified(std::int64_t time) = 0;
    virtual void LinesChanged() = 0;
    virtual IHostWindow* GetHostWindow() = 0;
    virtual platform::HWND GetHandle() = 0;
    virtual gfx::Graphics* GetDC() = 0;
    virtual void ReleaseDC(gfx::Graphics* dc) = 0;
    virtual void SetCellCapture(bool on, CGridCell* cell) = 0;
    virtual bool HasCellCapture(const CGridCell* cell) = 0;
    virtual void SaveVersion() = 0;

    // --- What the grid needs beyond that ---

    // The plan's clocks: milliseconds for new line names, seconds since 1970 for the plan's
    // last-change time. Tests drive both.
    virtual std::uint32_t GetTickCount() = 0;
    virtual std::int64_t Now() = 0;
    // Whether a line or cell anywhere in the plan is named `stem` or starts with `stem` and a dot.
    virtual bool NameInUse(const std::string& stem) = 0;
    // The service hears of sub-lines added by Enter and removed when emptied.
    virtual void AnnounceSubLine(const std::string& name) = 0;
    virtual void AnnounceSubLineRemoved(const std::string& name) = 0;
    // The window's cursor while the pointer is over a cell.
    virtual void SetCellCursor(Cursor cursor) = 0;
    // Where the window's client area starts on the screen (menus open in screen pixels).
    virtual Point ClientToScreenOrigin() = 0;
};

// A mouse message's point in millimetres at the plan's resolution.
inline gfx::PointF PointMm(IPage& page, platform::LPARAM lParam) {
    const double dpi = page.GetDpi();
    return {gfx::PxToMm(platform::LowWord(lParam), dpi),
            gfx::PxToMm(platform::HighWord(lParam), dpi)};
}

} // namespace Plenvo
