// links: plenvo_controls plenvo_view
// sources: tests/support/Pump.cpp bench/BenchMainWindow.cpp
// Painting of the main page window with the service's real main screen template, offscreen at
// the main window's size (1020 x 1026 pixels at 96 dpi): a full repaint, and the repaint a hover
// causes when the pointer moves onto a button. Each frame paints, as the window's draw handler
// does, onto a cairo context clipped to the update rectangle of a surface the size of the window.
#include "BenchMainWindow.h"

#include "platform/Messages.h"
#include "platform/Messaging.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace {

using namespace Plenvo;

// The machine is shared: processor time of this thread tells load from work.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The main window with the service's main template, and what its first frame cost.
class MainWindow : public benchsupport::BenchMainWindow {
public:
    MainWindow() : BenchMainWindow("http://127.0.0.1:9/") {
        const std::string body = benchsupport::ServiceTemplate("main.json");
        // The first template of a process meets cold font machinery: these are what the first
        // frame after start-up costs.
        const auto start = std::chrono::steady_clock::now();
        const double startCpu = ThreadCpuMs();
        ApplyTemplate(body);
        const auto laidOut = std::chrono::steady_clock::now();
        const double laidOutCpu = ThreadCpuMs();
        // PLENVO_BENCH_SHOT names a PNG file to keep what is painted, to check the frame is the
        // real window.
        const platform::Image frame = Window().PaintAll();
        const auto painted = std::chrono::steady_clock::now();
        firstLayoutCpuMs = laidOutCpu - startCpu;
        firstPaintCpuMs = ThreadCpuMs() - laidOutCpu;
        firstLayoutMs = std::chrono::duration<double, std::milli>(laidOut - start).count();
        firstPaintMs = std::chrono::duration<double, std::milli>(painted - laidOut).count();
        if (const char* shot = std::getenv("PLENVO_BENCH_SHOT")) {
            frame.SavePng(shot);
        }
    }

    void MoveTo(platform::PointI p) {
        platform::SendMessage(Handle(), platform::WM_MOUSEMOVE, 0, platform::MakeLParam(p.x, p.y));
    }

    double firstLayoutMs = 0;
    double firstPaintMs = 0;
    double firstLayoutCpuMs = 0;
    double firstPaintCpuMs = 0;
};

MainWindow& Main() {
    static MainWindow window;
    return window;
}

void BM_FullRepaint(benchmark::State& state) {
    MainWindow& main = Main();
    const platform::SizeI size = main.Window().ClientSize();
    for (auto _ : state) {
        main.PaintFrame({0, 0, size.width, size.height});
    }
    state.counters["width"] = size.width;
    state.counters["height"] = size.height;
    state.counters["first_layout_ms"] = main.firstLayoutMs;
    state.counters["first_paint_ms"] = main.firstPaintMs;
    state.counters["first_layout_cpu_ms"] = main.firstLayoutCpuMs;
    state.counters["first_paint_cpu_ms"] = main.firstPaintCpuMs;
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond);

// The pointer moves from the window's empty right half onto the "new plan" button: the message
// is handled and the area it invalidated is painted. Moving back off, which repaints the same
// rectangle, is not timed.
void BM_HoverRepaint(benchmark::State& state) {
    MainWindow& main = Main();
    platform::OffscreenWindow& window = main.Window();
    const platform::PointI button = main.CentreOf("create_lession_button");
    const platform::PointI away{900, 500};
    main.MoveTo(away);
    window.Paint();
    double pixels = 0;
    platform::RectI last;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        main.MoveTo(button);
        const platform::RectI dirty = window.DirtyArea();
        main.PaintFrame(dirty);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        pixels = double(dirty.width) * dirty.height;
        last = dirty;
        if (pixels == 0) {
            state.SkipWithError("moving onto the button invalidated nothing");
            break;
        }
        // Clears the recorded invalidations (and repaints them) outside the timing.
        window.Paint();
        main.MoveTo(away);
        window.Paint();
    }
    state.counters["dirty_px"] = pixels;
    state.counters["dirty_w"] = last.width;
    state.counters["dirty_h"] = last.height;
}
BENCHMARK(BM_HoverRepaint)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The same full repaint through the offscreen backend, which also copies the whole surface out
// into an image for tests: what a test's frame costs, not the window's.
void BM_FullRepaintOffscreenCopy(benchmark::State& state) {
    MainWindow& main = Main();
    for (auto _ : state) {
        benchmark::DoNotOptimize(main.Window().PaintAll());
    }
}
BENCHMARK(BM_FullRepaintOffscreenCopy)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
