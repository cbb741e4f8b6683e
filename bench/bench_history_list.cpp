// links: plenvo_controls
// The history list of a teacher with 1,000 plans, with the item settings of the reference
// service's main template, in the sidebar's size (62 x 262 mm): a layout pass, a full paint of
// the list into its pixels at 96 dpi, and one wheel step (the message, then the repaint of the
// list that it invalidates).
#include "gfx/OffscreenSurface.h"
#include "gfx/Units.h"
#include "platform/Messages.h"
#include "view/OffscreenRoot.h"
#include "view/controls/Controls.h"
#include "view/controls/ViewList.h"

#include <benchmark/benchmark.h>

#include <cairo.h>

#include <string>

namespace {

using namespace Plenvo;

constexpr int kPlans = 1000;
const gfx::SizeF kClient{62, 262};

std::shared_ptr<COffscreenRoot> HistoryOf(int plans) {
    RegisterControls();
    gfx::SetScreenDpi(96);
    Json list = {
        {"name", "historylist"},
        {"type", "list"},
        {"width", "100%"},
        {"height", "100%"},
        {"item_width", 62},
        {"item_height", 14},
        {"item_titlefont", "family:微软雅黑;size:3.7;line-align-center;color:argb(255,33,43,54)"},
        {"item_subtitlefont",
         "family:微软雅黑;size:3.0;line-align-center;color:argb(255,120,132,146)"},
        {"item_bkgnd", "argb(255,240,244,248)"},
        {"item_hover_bkgnd", "argb(255,227,234,242)"},
        {"item_checked_bkgnd", "argb(255,214,228,244)"},
        {"item_titlepadding", "1.6,12,0,6"},
        {"item_subtitlepadding", "0,12,1.6,6"}};
    auto root = COffscreenRoot::Create(
        Json{{"bkgnd", "rgb(255,255,255)"}, {"elements", Json::array({list})}});
    auto* history = dynamic_cast<CViewList*>(root->FindByName("historylist").get());
    for (int i = 0; i < plans; ++i) {
        history->AddItem("第" + std::to_string(i + 1) + "课 认识图形：长方形、正方形和三角形的特征",
                         "2026年03月02日 08:15", static_cast<std::uint32_t>(i + 1));
    }
    root->LayoutAll(kClient);
    return root;
}

void HistoryLayout(benchmark::State& state) {
    auto root = HistoryOf(kPlans);
    for (auto _ : state) {
        benchmark::DoNotOptimize(root->LayoutAll(kClient));
    }
}
BENCHMARK(HistoryLayout)->Unit(benchmark::kMillisecond);

void HistoryFullPaint(benchmark::State& state) {
    auto root = HistoryOf(kPlans);
    gfx::OffscreenSurface surface(235, 991, 96);
    root->Render(surface.GetGraphics(), {0, 0, kClient.width, kClient.height});
    for (auto _ : state) {
        root->Render(surface.GetGraphics(), {0, 0, kClient.width, kClient.height});
        cairo_surface_flush(surface.Surface());
    }
}
BENCHMARK(HistoryFullPaint)->Unit(benchmark::kMillisecond);

void HistoryWheelStep(benchmark::State& state) {
    auto root = HistoryOf(kPlans);
    gfx::OffscreenSurface surface(235, 991, 96);
    root->Render(surface.GetGraphics(), {0, 0, kClient.width, kClient.height});
    int direction = -1;
    int steps = 0;
    for (auto _ : state) {
        // Down to 40 steps and back, so that every step moves the items.
        if (++steps % 40 == 0) {
            direction = -direction;
        }
        const auto delta = static_cast<std::uint16_t>(direction * platform::WHEEL_DELTA);
        platform::LRESULT result = 0;
        root->RouteMessage(platform::WM_MOUSEWHEEL, static_cast<platform::WPARAM>(delta) << 16, 0,
                           result);
        const gfx::RectF area = root->TakeInvalidArea();
        root->Render(surface.GetGraphics(), area);
        cairo_surface_flush(surface.Surface());
    }
}
BENCHMARK(HistoryWheelStep)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
