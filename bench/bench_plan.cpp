// links: plenvo_plan plenvo_controls plenvo_view
// sources: tests/support/Pump.cpp bench/BenchMainWindow.cpp bench/BenchPlanData.cpp
// The open plan with 300 cells (the service's header lines and 70 teaching-process lines of four
// cells), in an offscreen main window of 1020 x 1026 pixels at 96 dpi: opening it (parse the plan
// data, build the grid, first layout, first paint), one keystroke in a cell until the invalidated
// area is painted, one wheel step until the window is painted, and the resident memory.
#include "BenchMainWindow.h"
#include "BenchPlanData.h"

#include "gfx/Units.h"
#include "plan/PlanElements.h"
#include "plan/ViewPlenvo.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "view/ViewFactory.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace Plenvo;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::int64_t StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::stoll(line.substr(std::string(key).size()));
        }
    }
    return 0;
}

// The main window with an empty content area, where a plan opens as the main page puts it.
class PlanWindow : public benchsupport::BenchMainWindow {
public:
    PlanWindow() {
        RegisterPlanElements();
        ApplyTemplate(R"({"layout":"horizontal","elements":[{"name":"container1","width":"100%",
                          "height":"100%","bkgnd":"#FFFFFF"}]})");
    }
    // Parse, build, lay out (the window's deferred layout, run at once) and paint.
    void Open(const std::string& text) {
        const auto container = View().FindByName("container1");
        container->ClearChildren();
        const auto start = Clock::now();
        nlohmann::json data = nlohmann::json::parse(text);
        const auto parsed = Clock::now();
        plan_ = std::dynamic_pointer_cast<CViewPlenvo>(CreateViewElement(std::move(data)));
        if (!plan_) {
            throw std::runtime_error("the plan was not built");
        }
        const auto built = Clock::now();
        container->AddChild(plan_);
        gfx::RectF area;
        gfx::SizeF size;
        View().Layout(area, {0, 0}, size, true);
        const auto laidOut = Clock::now();
        PaintAll();
        const auto painted = Clock::now();
        parseMs = Ms(parsed - start);
        buildMs = Ms(built - parsed);
        layoutMs = Ms(laidOut - built);
        paintMs = Ms(painted - laidOut);
        Settle();
        Window().Paint();
    }
    CViewPlenvo& Plan() { return *plan_; }

    double parseMs = 0, buildMs = 0, layoutMs = 0, paintMs = 0;

private:
    std::shared_ptr<CViewPlenvo> plan_;
};

// Made by the first benchmark and taken down before the program's statics go.
std::unique_ptr<PlanWindow>& TheWindow() {
    static std::unique_ptr<PlanWindow> window;
    return window;
}

PlanWindow& Window() {
    if (!TheWindow()) {
        TheWindow() = std::make_unique<PlanWindow>();
    }
    return *TheWindow();
}

const std::string& Data() {
    static const std::string data = benchsupport::PlanOf300Cells();
    return data;
}

void BM_OpenPlan(benchmark::State& state) {
    PlanWindow& window = Window();
    std::vector<double> parse, build, layout, paint;
    for (auto _ : state) {
        window.Open(Data());
        parse.push_back(window.parseMs);
        build.push_back(window.buildMs);
        layout.push_back(window.layoutMs);
        paint.push_back(window.paintMs);
        state.SetIterationTime(
            (window.parseMs + window.buildMs + window.layoutMs + window.paintMs) / 1000.0);
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    state.counters["cells"] = static_cast<double>(
        window.Plan().CollectCells([](CGridCell& c) { return !c.IsContainer(); }).size());
    state.counters["parse_ms"] = median(parse);
    state.counters["build_ms"] = median(build);
    state.counters["layout_ms"] = median(layout);
    state.counters["paint_ms"] = median(paint);
}
BENCHMARK(BM_OpenPlan)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

// One character typed into a teaching cell in the middle of the plan: the message handled
// (engine edit, relayout of the grid) and the invalidated area painted.
void BM_KeystrokeInCell(benchmark::State& state) {
    PlanWindow& window = Window();
    window.Open(Data());
    CViewPlenvo& plan = window.Plan();
    const auto cell = plan.FindCell("template.teachproc.3.teacher");
    if (!cell) {
        state.SkipWithError("no teaching cell");
        return;
    }
    const gfx::RectF r = cell->TextRect();
    const int x = static_cast<int>(gfx::MmToPx(r.x + 2, 96));
    const int y = static_cast<int>(gfx::MmToPx(r.y + 2, 96));
    platform::SendMessage(window.Handle(), platform::WM_LBUTTONDOWN, platform::MK_LBUTTON,
                          platform::MakeLParam(x, y));
    platform::SendMessage(window.Handle(), platform::WM_LBUTTONUP, 0, platform::MakeLParam(x, y));
    window.Settle();
    window.Window().Paint();
    std::vector<double> times;
    int n = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        // Alternate a character and Backspace, so the cell keeps its size.
        if (n++ % 2 == 0) {
            platform::SendMessage(window.Handle(), platform::WM_CHAR, u'月', 0);
        } else {
            platform::SendMessage(window.Handle(), platform::WM_KEYDOWN, platform::VK_BACK, 0);
        }
        window.PaintFrame(window.Window().DirtyArea());
        const auto end = Clock::now();
        times.push_back(Ms(end - start));
        state.SetIterationTime(Ms(end - start) / 1000.0);
        window.Window().Paint(); // forget the invalidation outside the timing
    }
    std::sort(times.begin(), times.end());
    state.counters["p50_ms"] = times[times.size() / 2];
    state.counters["p99_ms"] = times[times.size() * 99 / 100];
}
BENCHMARK(BM_KeystrokeInCell)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2000);

// One wheel step down the plan (the whole grid moves): handled, the picture moved and what that
// uncovered painted.
void BM_WheelStep(benchmark::State& state) {
    PlanWindow& window = Window();
    window.Open(Data());
    const gfx::RectF r = window.Plan().GetRect();
    const int x = static_cast<int>(gfx::MmToPx(r.x + 50, 96));
    const int y = static_cast<int>(gfx::MmToPx(r.y + 100, 96));
    const platform::PointI origin = window.Plan().ClientToScreenOrigin();
    std::vector<double> times;
    int n = 0;
    for (auto _ : state) {
        const int delta = (n++ / 40) % 2 == 0 ? -120 : 120;
        const auto start = Clock::now();
        platform::SendMessage(window.Handle(), platform::WM_MOUSEWHEEL,
                              static_cast<platform::WPARAM>(static_cast<std::uint16_t>(delta))
                                  << 16,
                              platform::MakeLParam(x + origin.x, y + origin.y));
        for (const platform::RectI& rect : window.Window().DirtyRects()) {
            window.PaintFrame(rect);
        }
        const auto end = Clock::now();
        times.push_back(Ms(end - start));
        state.SetIterationTime(Ms(end - start) / 1000.0);
        window.Window().Paint();
    }
    std::sort(times.begin(), times.end());
    state.counters["p50_ms"] = times[times.size() / 2];
    state.counters["p99_ms"] = times[times.size() * 99 / 100];
}
BENCHMARK(BM_WheelStep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(400);

// Resident memory with the plan open, and the program's own (anonymous) part of it.
void BM_MemoryWithPlanOpen(benchmark::State& state) {
    PlanWindow& window = Window();
    window.Open(Data());
    for (auto _ : state) {
        benchmark::DoNotOptimize(window.Plan().ContentHeight());
    }
    state.counters["rss_mb"] = StatusKb("VmRSS:") / 1024.0;
    state.counters["anon_mb"] = StatusKb("RssAnon:") / 1024.0;
}
BENCHMARK(BM_MemoryWithPlanOpen)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TheWindow().reset();
    return 0;
}
