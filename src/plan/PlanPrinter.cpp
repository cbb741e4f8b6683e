#include "plan/PlanPrinter.h"

#include "gfx/Font.h"
#include "gfx/PdfDocument.h"
#include "gfx/SolidBrush.h"
#include "gfx/StringFormat.h"
#include "gfx/Units.h"
#include "plan/CellBorder.h"
#include "plan/GridCell.h"
#include "plan/GridLine.h"
#include "plan/PlanHooks.h"
#include "plan/ViewPlenvo.h"
#include "platform/PrintDialog.h"
#include "view/View.h"
#include "view/ViewHooks.h"
#include "view/controls/TextHost.h"

namespace Plenvo {

namespace {

// The printer's resolution for the plan alone for the length of one synchronous step; the
// screen's afterwards, whatever happens inside. Other windows never see it.
class PrinterResolution {
public:
    PrinterResolution(CViewPlenvo& plan, gfx::Graphics* printer, double dpi) : plan_(plan) {
        plan_.BeginPrinting(printer, 0, dpi);
        plan_.Relayout(false);
    }
    ~PrinterResolution() {
        plan_.EndPrinting();
        plan_.Relayout(false);
    }
    PrinterResolution(const PrinterResolution&) = delete;
    PrinterResolution& operator=(const PrinterResolution&) = delete;

private:
    CViewPlenvo& plan_;
};

} // namespace

void CPlanPrinter::Register() {
    GetPlanHooks().print = [](CViewPlenvo& plan) { Print(plan); };
    GetViewHooks().print = [](CView& view) {
        if (auto* plan = dynamic_cast<CViewPlenvo*>(view.FindByName("plenvo").get())) {
            Print(*plan);
        }
    };
}

void CPlanPrinter::Print(CViewPlenvo& plan) {
    const auto keep = plan.shared_from_this();
    std::vector<std::unique_ptr<gfx::RecordedPage>> pages;
    platform::PrintJob job;
    job.owner = plan.GetHandle();
    job.jobName = kJobName;
    job.begin = [&](const platform::PrintTarget& target) {
        pages = RecordPages(plan, target.dpiX, target.widthPx, target.heightPx);
        return static_cast<int>(pages.size());
    };
    job.drawPage = [&](int page, cairo_t* cr) {
        if (page >= 0 && static_cast<std::size_t>(page) < pages.size()) {
            pages[static_cast<std::size_t>(page)]->Replay(cr);
        }
    };
    platform::RunPrintDialog(job);
    // Printed or cancelled: the cells are measured on the screen again.
    plan.RequestLayout();
}

std::vector<std::unique_ptr<gfx::RecordedPage>>
CPlanPrinter::RecordPages(CViewPlenvo& plan, double dpi, double widthPx, double heightPx) {
    std::vector<std::unique_ptr<gfx::RecordedPage>> pages;
    if (!(dpi > 0) || !(widthPx > 0) || !(heightPx > 0)) {
        return pages;
    }
    const gfx::SizeF element = plan.GetSize();
    const auto newPage = [&]() -> gfx::Graphics& {
        pages.push_back(std::make_unique<gfx::RecordedPage>(widthPx, heightPx, dpi));
        gfx::Graphics& graphics = pages.back()->GetGraphics();
        graphics.FillRectangle(0xFFFFFFFF, {0, 0, element.width, element.height});
        return graphics;
    };
    gfx::Graphics* graphics = &newPage();
    PrinterResolution printer(plan, graphics, dpi);

    const gfx::StringFormat centred = [] {
        gfx::StringFormat format;
        format.SetAlignment(gfx::StringAlignment::Center);
        format.SetLineAlignment(gfx::StringAlignment::Center);
        return format;
    }();
    graphics->DrawString(plan.GetRecord().title,
                         gfx::Font(kTitleFont, kTitlePoints * gfx::kMmPerPoint),
                         {kLeftMargin - 25.0, kTopMargin - 10.0, element.width, 15.0}, centred,
                         gfx::SolidBrush(0xFF000000));

    double top = kTopMargin;
    bool pageHasLine = false;
    const auto lines = plan.Lines();
    for (const auto& line : lines) {
        // A line that would pass the bottom margin starts a new page; one that is alone on its
        // page is printed there and cut at the page's edge.
        if (pageHasLine && gfx::MmToPx(top + line->Height() + kBottomMargin, dpi) > heightPx) {
            graphics = &newPage();
            top = kTopMargin;
            pageHasLine = false;
        }
        const gfx::RectF rect = line->Rect();
        const int state = graphics->Save();
        graphics->TranslateTransform(kLeftMargin - rect.x, top - rect.y);
        PrintLine(*graphics, *line);
        graphics->Restore(state);
        top += line->Height();
        pageHasLine = true;
    }
    return pages;
}

void CPlanPrinter::PrintLine(gfx::Graphics& graphics, const CGridLine& line) {
    for (const auto& cell : line.Cells()) {
        PrintCell(graphics, *cell);
    }
}

void CPlanPrinter::PrintCell(gfx::Graphics& graphics, CGridCell& cell) {
    const gfx::RectF rect = cell.Rect();
    if (cell.HasGridLine()) {
        DrawCellBorder(graphics, rect);
    }
    if (CTextHost* host = cell.TextHost()) {
        // Straight onto the page: no fill behind the text.
        host->Draw(graphics, nullptr);
        return;
    }
    for (const auto& sub : cell.Lines()) {
        PrintLine(graphics, *sub);
    }
}

int CPlanPrinter::PrintToPdf(CViewPlenvo& plan, const std::string& path, double dpi,
                             double paperWidthMm, double paperHeightMm) {
    gfx::PdfDocument pdf(path, paperWidthMm, paperHeightMm, dpi);
    if (!pdf.IsOk()) {
        return 0;
    }
    const auto pages = RecordPages(plan, dpi, pdf.WidthPx(), pdf.HeightPx());
    for (const auto& page : pages) {
        page->Replay(pdf.Page());
        pdf.EndPage();
    }
    pdf.Close();
    plan.RequestLayout();
    return static_cast<int>(pages.size());
}

} // namespace Plenvo
