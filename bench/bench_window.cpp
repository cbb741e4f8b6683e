// links: plenvo_controls plenvo_view
// sources: tests/support/Pump.cpp
// Painting of the main page window with the service's real main screen template, offscreen at
// the main window's size (1020 x 1026 pixels at 96 dpi): a full repaint, and the repaint a hover
// causes when the pointer moves onto a button. Each frame paints, as the window's draw handler
// does, onto a cairo context clipped to the update rectangle of a surface the size of the window.
#include "gfx/Units.h"
#include "net/Response.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "platform/OffscreenWindow.h"
#include "support/Pump.h"
#include "view/View.h"
#include "view/controls/Controls.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

using namespace Plenvo;

std::string MainTemplate() {
    const auto path =
        std::filesystem::path(PLENVO_SOURCE_DIR) / "service" / "templates" / "main.json";
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The machine is shared: processor time of this thread tells load from work.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// An offscreen main window with the template applied and laid out.
class MainWindow {
public:
    MainWindow() {
        RegisterControls();
        gfx::SetScreenDpi(96);
        view_ = std::make_shared<CView>("main", ViewServices{nullptr, "http://127.0.0.1:9/", true});
        if (!view_->Create()) {
            throw std::runtime_error("the offscreen window could not be created");
        }
        SimpleCurl::response reply;
        reply.finished = true;
        reply.status = 200;
        reply.contentType = "application/json; charset=utf-8";
        reply.body = MainTemplate();
        if (reply.body.empty()) {
            throw std::runtime_error("service/templates/main.json could not be read");
        }
        // The first template of a process meets cold font machinery: these are what the first
        // frame after start-up costs.
        const auto start = std::chrono::steady_clock::now();
        const double startCpu = ThreadCpuMs();
        view_->OnTemplateReply(reply);
        testsupport::PumpUntil([&] { return !view_->LayoutPending(); }, 2000);
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
        const platform::SizeI size = Window().ClientSize();
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.width, size.height);
    }
    ~MainWindow() {
        cairo_surface_destroy(surface_);
        view_->Destroy();
    }

    platform::OffscreenWindow& Window() {
        return *static_cast<platform::OffscreenWindow*>(view_->Window());
    }
    CView& View() { return *view_; }

    // One frame of the update rectangle, as the draw handler paints it.
    void PaintFrame(const platform::RectI& update) {
        cairo_t* cr = cairo_create(surface_);
        cairo_rectangle(cr, update.x, update.y, update.width, update.height);
        cairo_clip(cr);
        view_->PaintWindow(cr, update);
        cairo_destroy(cr);
        cairo_surface_flush(surface_);
    }

    // The centre of a named element in client pixels.
    platform::PointI CentreOf(const std::string& name) {
        const auto element = view_->FindByName(name);
        if (!element) {
            throw std::runtime_error("the template has no element " + name);
        }
        const gfx::RectF r = element->GetRect();
        return {static_cast<int>(gfx::MmToPx(r.x + r.width / 2, 96)),
                static_cast<int>(gfx::MmToPx(r.y + r.height / 2, 96))};
    }
    void MoveTo(platform::PointI p) {
        platform::SendMessage(view_->GetHandle(), platform::WM_MOUSEMOVE, 0,
                              platform::MakeLParam(p.x, p.y));
    }

    double firstLayoutMs = 0;
    double firstPaintMs = 0;
    double firstLayoutCpuMs = 0;
    double firstPaintCpuMs = 0;

private:
    std::shared_ptr<CView> view_;
    cairo_surface_t* surface_ = nullptr;
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
