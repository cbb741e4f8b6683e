// links: plenvo_plan
// sources: tests/support/Pump.cpp
// Printing a plan of 300 text cells (100 lines of three cells with a sentence each) to a PDF file
// at 600 dpi, as the print job does: lay the grid out on the printer, record the pages, replay
// them into the file, lay the grid out for the screen again. Target: at most 1 s per plan.
#include "plan/PlanElements.h"
#include "plan/PlanPrinter.h"
#include "plan/ViewPlenvo.h"

#include "gfx/Units.h"
#include "net/Response.h"
#include "net/Session.h"
#include "support/Pump.h"
#include "view/View.h"
#include "view/ViewFactory.h"
#include "view/controls/Controls.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using namespace Plenvo;

Json PlanOf300Cells() {
    Json lines = Json::array();
    for (int n = 0; n < 100; ++n) {
        const std::string name = "template.teachproc." + std::to_string(n + 1);
        Json cells = Json::array();
        for (int c = 0; c < 3; ++c) {
            cells.push_back({{"name", name + ".c" + std::to_string(c)},
                             {"width", c == 0 ? 40 : 60},
                             {"height", 10},
                             {"multiline", true},
                             {"wordwrap", true},
                             {"value", "第" + std::to_string(n + 1) + "环节：学生朗读课文，" +
                                           "教师引导学生体会作者的情感。"}});
        }
        lines.push_back({{"name", name + ".container"}, {"width", 160}, {"cells", cells}});
    }
    return {{"type", "plenvo"},
            {"id", 7},
            {"title", "课 时 教 学 设 计"},
            {"lessiontitle", "荷塘月色"},
            {"grade", "10"},
            {"subject", "1"},
            {"layer", 1},
            {"gridlines", lines}};
}

void BM_PrintPlanOf300CellsToPdf(benchmark::State& state) {
    RegisterControls();
    RegisterPlanElements();
    gfx::SetScreenDpi(96);
    auto view = std::make_shared<CView>(
        "main", ViewServices{std::make_shared<SimpleCurl::CSession>(), "", true});
    if (!view->Create()) {
        state.SkipWithError("no window");
        return;
    }
    SimpleCurl::response reply;
    reply.finished = true;
    reply.status = 200;
    reply.contentType = "application/json";
    reply.body = R"({"elements":[{"name":"container1","width":"100%","height":"100%"}]})";
    view->OnTemplateReply(reply);
    auto plan = std::dynamic_pointer_cast<CViewPlenvo>(CreateViewElement(PlanOf300Cells()));
    view->FindByName("container1")->AddChild(plan);
    testsupport::PumpUntil([&] { return !view->LayoutPending(); }, 10000);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("plenvo-bench-print-" + std::to_string(::getpid()) + ".pdf"))
                                 .string();
    int pages = 0;
    for (auto _ : state) {
        pages = CPlanPrinter::PrintToPdf(*plan, path, 600, 210, 297);
    }
    state.counters["pages"] = pages;
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
    plan.reset();
    view->Destroy();
}
BENCHMARK(BM_PrintPlanOf300CellsToPdf)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
