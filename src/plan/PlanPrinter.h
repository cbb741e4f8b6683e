#pragma once
// Printing the open plan: the print dialog, then the title and the grid of lines and cells,
// page after page, measured and drawn at the printer's resolution. The pages are laid out and
// recorded in one step on the user-interface thread, with the printer's resolution in force only
// for that step: timers, completions and input that the dialog's loop serves meanwhile convert
// with the screen's. Afterwards the plan is laid out for the screen again.
#include "gfx/RecordedPage.h"

#include <memory>
#include <string>
#include <vector>

namespace Plenvo {

class CGridCell;
class CGridLine;
class CViewPlenvo;

class CPlanPrinter {
public:
    static constexpr const char* kJobName = "Doc1";
    static constexpr double kLeftMargin = 25.0;
    static constexpr double kTopMargin = 30.0;
    static constexpr double kBottomMargin = 30.0;
    static constexpr double kTitlePoints = 12.0;
    static constexpr const char* kTitleFont = "宋体";

    // Registers the plan's print action and the main page's print button.
    static void Register();

    // The dialog and the job; nothing is reported. The plan is laid out again in every case.
    static void Print(CViewPlenvo& plan);

    // The pages of the plan for a printable area of a resolution (pixels of that resolution).
    static std::vector<std::unique_ptr<gfx::RecordedPage>>
    RecordPages(CViewPlenvo& plan, double dpi, double widthPx, double heightPx);

    // The same pages into a PDF file of a paper size; returns the number of pages, 0 when the
    // file cannot be written.
    static int PrintToPdf(CViewPlenvo& plan, const std::string& path, double dpi,
                          double paperWidthMm, double paperHeightMm);

private:
    static void PrintLine(gfx::Graphics& graphics, const CGridLine& line);
    static void PrintCell(gfx::Graphics& graphics, CGridCell& cell);
};

} // namespace Plenvo
