// links: plenvo_view
// A screen of 2,000 elements (100 rows of 19 framed cells under one vertical root) through the
// phases a window runs: parse the description text, build the tree, lay it out, paint it into a
// 1920 x 1080 surface at 96 dpi. Layout and paint are the steady-state passes a window repeats.
#include "gfx/OffscreenSurface.h"
#include "view/OffscreenRoot.h"
#include "view/ViewFactory.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace Plenvo;

constexpr int kRows = 100;
constexpr int kCells = 19; // 100 rows + 1,900 cells = 2,000 elements

std::string Description() {
    Json rows = Json::array();
    for (int r = 0; r < kRows; ++r) {
        Json cells = Json::array();
        for (int c = 0; c < kCells; ++c) {
            cells.push_back({{"name", "cell" + std::to_string(r * kCells + c)},
                             {"width", 26},
                             {"height", "100%"},
                             {"padding", "0.2,0.2,0.2,0.2"},
                             {"bkgnd", (r + c) % 2 ? "argb(255,246,249,252)" : "rgb(255,255,255)"},
                             {"gridline", "argb(255,204,204,204),w:0.1"},
                             {"cursor", "hand"},
                             {"tooltip", "第" + std::to_string(r + 1) + "行"}});
        }
        rows.push_back({{"name", "row" + std::to_string(r)},
                        {"width", "100%"},
                        {"height", 2.8},
                        {"elements", std::move(cells)}});
    }
    return Json{{"name", "page"},
                {"layout", "vertical"},
                {"bkgnd", "rgb(255,255,255)"},
                {"elements", std::move(rows)}}
        .dump();
}

const gfx::SizeF kClient{1920 * 25.4 / 96, 1080 * 25.4 / 96};

void Parse(benchmark::State& state) {
    const std::string text = Description();
    for (auto _ : state) {
        benchmark::DoNotOptimize(Json::parse(text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(Parse)->Unit(benchmark::kMillisecond);

void Build(benchmark::State& state) {
    const Json description = Json::parse(Description());
    for (auto _ : state) {
        benchmark::DoNotOptimize(COffscreenRoot::Create(description));
    }
}
BENCHMARK(Build)->Unit(benchmark::kMillisecond);

void LayoutPass(benchmark::State& state) {
    auto root = COffscreenRoot::Create(Json::parse(Description()));
    root->LayoutAll(kClient);
    for (auto _ : state) {
        benchmark::DoNotOptimize(root->LayoutAll(kClient));
    }
}
BENCHMARK(LayoutPass)->Unit(benchmark::kMillisecond);

void FirstLayout(benchmark::State& state) {
    const Json description = Json::parse(Description());
    for (auto _ : state) {
        state.PauseTiming();
        auto root = COffscreenRoot::Create(description);
        state.ResumeTiming();
        benchmark::DoNotOptimize(root->LayoutAll(kClient));
        state.PauseTiming();
        root.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(FirstLayout)->Unit(benchmark::kMillisecond);

void PaintFullWindow(benchmark::State& state) {
    auto root = COffscreenRoot::Create(Json::parse(Description()));
    root->LayoutAll(kClient);
    gfx::OffscreenSurface surface(1920, 1080, 96);
    for (auto _ : state) {
        root->Render(surface.GetGraphics(), {0, 0, kClient.width, kClient.height});
        cairo_surface_flush(surface.Surface());
    }
}
BENCHMARK(PaintFullWindow)->Unit(benchmark::kMillisecond);

// A hover repaint: one 20 x 10 mm area, as the host clips to an update rectangle.
void PaintSmallArea(benchmark::State& state) {
    auto root = COffscreenRoot::Create(Json::parse(Description()));
    root->LayoutAll(kClient);
    gfx::OffscreenSurface surface(1920, 1080, 96);
    const gfx::RectF clip{100, 100, 20, 10};
    for (auto _ : state) {
        const int saved = surface.GetGraphics().Save();
        surface.GetGraphics().SetClip(clip);
        root->Render(surface.GetGraphics(), clip);
        surface.GetGraphics().Restore(saved);
    }
}
BENCHMARK(PaintSmallArea)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
