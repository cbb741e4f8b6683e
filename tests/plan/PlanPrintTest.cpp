// Printing a plan through the same page code as the print job, into PDF files read back with
// pdftotext (the cells' text) and pdftoppm (pixels of borders and page breaks); the dialog's
// loop serving timers and completions at the screen's resolution; the screen layout afterwards.
#include "plan/PlanFixture.h"
#include "plan/PlanPrinter.h"

#include "gfx/PdfDocument.h"
#include "net/SimpleCurlAsync.h"
#include "platform/PrintDialog.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace plantest;
namespace fs = std::filesystem;

constexpr double kPaperWidth = 210.0;
constexpr double kPaperHeight = 297.0;
constexpr double kPrinterDpi = 300.0;

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer{};
        std::size_t n = 0;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
            out.append(buffer.data(), n);
        }
        pclose(pipe);
    }
    return out;
}

// One page of a PDF as grey pixels (pdftoppm's PGM).
struct GreyPage {
    int width = 0;
    int height = 0;
    double dpi = 0;
    std::vector<unsigned char> pixels;
    bool Dark(double xMm, double yMm) const {
        const int x = static_cast<int>(xMm / 25.4 * dpi);
        const int y = static_cast<int>(yMm / 25.4 * dpi);
        return x >= 0 && y >= 0 && x < width && y < height &&
               pixels[static_cast<std::size_t>(y) * width + x] < 128;
    }
    // The first and the last row (in mm) with a dark pixel in the column x.
    std::pair<double, double> DarkRows(double xMm) const {
        double first = -1;
        double last = -1;
        for (int y = 0; y < height; ++y) {
            const double mm = y * 25.4 / dpi;
            if (Dark(xMm, mm + 0.01)) {
                first = first < 0 ? mm : first;
                last = mm;
            }
        }
        return {first, last};
    }
};

GreyPage Render(const fs::path& pdf, int page, double dpi) {
    const fs::path stem = pdf.parent_path() / ("page" + std::to_string(page));
    Shell("pdftoppm -gray -r " + std::to_string(static_cast<int>(dpi)) + " -f " +
          std::to_string(page) + " -l " + std::to_string(page) + " -singlefile '" + pdf.string() +
          "' '" + stem.string() + "'");
    GreyPage result;
    result.dpi = dpi;
    std::ifstream in(stem.string() + ".pgm", std::ios::binary);
    std::string magic;
    int maximum = 0;
    in >> magic >> result.width >> result.height >> maximum;
    in.get();
    if (magic != "P5") {
        return {};
    }
    result.pixels.resize(static_cast<std::size_t>(result.width) * result.height);
    in.read(reinterpret_cast<char*>(result.pixels.data()),
            static_cast<std::streamsize>(result.pixels.size()));
    return result;
}

std::string PageText(const fs::path& pdf, int page) {
    return Shell("pdftotext -enc UTF-8 -f " + std::to_string(page) + " -l " + std::to_string(page) +
                 " '" + pdf.string() + "' -");
}

nlohmann::json TeachingLine(int n, double height, const std::string& text) {
    const std::string name = "template.teachproc." + std::to_string(n);
    return {{"name", name + ".container"},
            {"width", 160},
            {"cells",
             {{{"name", name + ".aim"}, {"width", 80}, {"height", height}, {"value", text}},
              {{"name", name + ".step"}, {"width", 80}, {"height", height}, {"value", "步骤"}}}}};
}

class PlanPrint : public PlanFixture {
protected:
    void SetUp() override {
        PlanFixture::SetUp();
        CPlanPrinter::Register();
        folder = fs::temp_directory_path() /
                 ("plenvo-print-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
    }
    void TearDown() override {
        platform::SetPrintDialogHandler({});
        PlanFixture::TearDown();
        if (!std::getenv("PLENVO_KEEP_PRINTS")) {
            fs::remove_all(folder);
        }
    }
    int PrintPdf(const std::string& name) {
        pdf = folder / name;
        return CPlanPrinter::PrintToPdf(*plan, pdf.string(), kPrinterDpi, kPaperWidth,
                                        kPaperHeight);
    }
    std::vector<double> CellHeights() {
        std::vector<double> heights;
        for (const auto& cell : plan->CollectCells([](CGridCell&) { return true; })) {
            heights.push_back(cell->Height());
        }
        return heights;
    }

    fs::path folder;
    fs::path pdf;
};

TEST_F(PlanPrint, APlanThatFitsPrintsOnePageWithTheTitleAndTheCellsText) {
    Open();
    ASSERT_EQ(PrintPdf("one.pdf"), 1);
    const std::string text = PageText(pdf, 1);
    EXPECT_NE(text.find("课"), std::string::npos) << text;
    for (const char* cell : {"年级", "教学目标", "中间", "导入", "讲解"}) {
        EXPECT_NE(text.find(cell), std::string::npos) << cell << " not in " << text;
    }
    EXPECT_EQ(text.find("荷塘月色"), std::string::npos) << "the lesson title is not printed";

    const GreyPage page = Render(pdf, 1, 100);
    ASSERT_GT(page.width, 0) << "pdftoppm gave no page";
    if (const char* shots = std::getenv("PLENVO_SCREENSHOTS")) {
        Shell("pdftoppm -png -r 80 -f 1 -l 1 -singlefile '" + pdf.string() + "' '" + shots +
              "/printed-page'");
    }
    // The grid's left border at 25 mm starts 30 mm from the top; nothing is left of it but the
    // title, which lies between 20 and 35 mm.
    const auto [first, last] = page.DarkRows(25.1);
    EXPECT_NEAR(first, 30.0, 0.6);
    EXPECT_GT(last, 30.0 + 50);
    EXPECT_FALSE(page.Dark(20.0, 60.0));
    bool title = false;
    for (double x = 60; x < 160 && !title; x += 0.25) {
        for (double y = 21; y < 34 && !title; y += 0.25) {
            title = page.Dark(x, y);
        }
    }
    EXPECT_TRUE(title) << "no title ink between 20 and 35 mm";
}

TEST_F(PlanPrint, ALongPlanBreaksBetweenLinesAboveTheBottomMarginWithoutRepeatingTheTitle) {
    nlohmann::json data = SamplePlan();
    for (int n = 20; n < 40; ++n) {
        data["gridlines"].push_back(TeachingLine(n, 25, "环节" + std::to_string(n)));
    }
    Open(data);
    const int pages = PrintPdf("long.pdf");
    ASSERT_GE(pages, 2);
    EXPECT_EQ(PageText(pdf, 2).find("课"), std::string::npos) << "the title is on page 1 only";
    EXPECT_NE(PageText(pdf, pages).find("环节39"), std::string::npos);
    for (int p = 1; p <= pages; ++p) {
        const GreyPage page = Render(pdf, p, 100);
        ASSERT_GT(page.width, 0);
        const auto [first, last] = page.DarkRows(25.1);
        EXPECT_NEAR(first, 30.0, 0.6) << "page " << p << " starts at the top margin";
        EXPECT_LE(last, kPaperHeight - 30.0 + 0.6) << "page " << p << " passes the bottom margin";
        if (p < pages) {
            // The next line (25 mm or more) did not fit in what is left.
            EXPECT_GT(last + 25.0, kPaperHeight - 30.0 - 0.6) << "page " << p << " broke early";
        }
    }
}

TEST_F(PlanPrint, ALineTallerThanAPageIsCutAtThePagesEdge) {
    nlohmann::json data = SamplePlan();
    data["gridlines"] =
        nlohmann::json::array({TeachingLine(1, 20, "短"), TeachingLine(2, 400, "长")});
    Open(data);
    ASSERT_EQ(PrintPdf("tall.pdf"), 2) << "a short line, then the tall one alone on page 2";
    const GreyPage page = Render(pdf, 2, 100);
    ASSERT_GT(page.width, 0);
    const auto [first, last] = page.DarkRows(25.1);
    EXPECT_NEAR(first, 30.0, 0.6);
    EXPECT_GT(last, kPaperHeight - 1.0) << "the border runs to the page's edge";
}

TEST_F(PlanPrint, ATallFirstLineIsPrintedOnTheFirstPageWithoutAnEmptyPageBefore) {
    nlohmann::json data = SamplePlan();
    data["gridlines"] = nlohmann::json::array({TeachingLine(2, 400, "长")});
    Open(data);
    EXPECT_EQ(PrintPdf("alone.pdf"), 1);
    EXPECT_NE(PageText(pdf, 1).find("长"), std::string::npos);
}

TEST_F(PlanPrint, TheScreenLayoutIsTheOneBeforeWhetherPrintedOrCancelled) {
    Open();
    const std::vector<double> before = CellHeights();
    ASSERT_EQ(PrintPdf("again.pdf"), 1);
    Settle();
    EXPECT_EQ(CellHeights(), before);
    EXPECT_EQ(plan->GetDpi(), 96.0);

    int shown = 0;
    platform::SetPrintDialogHandler([&](const platform::PrintJob& job) {
        ++shown;
        EXPECT_EQ(job.jobName, "Doc1");
        return false;
    });
    plan->Print();
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(view->LayoutPending()) << "a cancelled dialog still lays the plan out again";
    Settle();
    EXPECT_EQ(CellHeights(), before);
    EXPECT_FALSE(plan->IsPrinting());
}

TEST_F(PlanPrint, TimersAndCompletionsDuringTheJobConvertWithTheScreensResolution) {
    nlohmann::json data = SamplePlan();
    for (int n = 20; n < 30; ++n) {
        data["gridlines"].push_back(TeachingLine(n, 25, "环节" + std::to_string(n)));
    }
    Open(data);
    const std::vector<double> before = CellHeights();
    double timerDpi = 0;
    double completionDpi = 0;
    double completionPx = 0;
    int pages = 0;
    pdf = folder / "job.pdf";
    platform::SetPrintDialogHandler([&](const platform::PrintJob& job) {
        gfx::PdfDocument file(pdf.string(), kPaperWidth, kPaperHeight, 600);
        pages = job.begin({600, 600, file.WidthPx(), file.HeightPx()});
        // The dialog's loop runs between the pages: a timer and a completion fire there.
        const platform::UINT_PTR timer =
            platform::SetTimer(0, 0, 1, [&](platform::HWND, platform::UINT_PTR, std::uint64_t) {
                timerDpi = plan->GetDpi();
            });
        auto request = std::make_shared<SimpleCurl::CSimpleCurlAsync>(__FILE__, __LINE__, nullptr);
        request->Get(server.Url("event"), [&](SimpleCurl::response&) {
            completionDpi = view->GetDpi();
            completionPx = gfx::MmToPx(25.4, plan->GetDpi());
        });
        EXPECT_TRUE(testsupport::PumpUntil([&] { return timerDpi && completionDpi; }, 5000))
            << "the timer or the completion did not fire during the job";
        platform::KillTimer(0, timer);
        for (int p = 0; p < pages; ++p) {
            job.drawPage(p, file.Page());
            file.EndPage();
        }
        return true;
    });
    plan->Print();
    EXPECT_EQ(timerDpi, 96.0);
    EXPECT_EQ(completionDpi, 96.0);
    EXPECT_EQ(completionPx, 96.0);
    ASSERT_GE(pages, 1);
    EXPECT_NE(PageText(pdf, 1).find("中间"), std::string::npos);
    Settle();
    EXPECT_EQ(CellHeights(), before);
}

TEST_F(PlanPrint, ThePlanMenuAndTheMainPagesButtonStartTheJob) {
    Open();
    int shown = 0;
    platform::SetPrintDialogHandler([&](const platform::PrintJob&) {
        ++shown;
        return false;
    });
    SetPopupMenuHandler([](const PopupMenuRequest& menu) {
        for (const auto& item : menu.items) {
            if (item.text == "打印") {
                return item.command;
            }
        }
        return UINT{0};
    });
    // The plan's own menu opens on its background, below the grid.
    const gfx::RectF r = plan->GetRect();
    Send(WM_RBUTTONDOWN, Px(r.x + 3), Px(r.y + r.height - 5));
    Send(WM_RBUTTONUP, Px(r.x + 3), Px(r.y + r.height - 5));
    EXPECT_EQ(shown, 1) << "the plan menu's 打印";
    GetViewHooks().print(*view);
    EXPECT_EQ(shown, 2) << "the main page's print button";
}

} // namespace
