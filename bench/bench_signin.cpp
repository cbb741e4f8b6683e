// links: plenvo_app plenvo_service_core
// sources: tests/support/Pump.cpp bench/BenchMainWindow.cpp
// Sign-in as a teacher feels it: the application with its main window off screen (1020 x 1026
// pixels at 96 dpi) against the reference service on loopback in this process, the login page
// filled in; from the click on the login button until the history of the teacher's 30 plans is
// painted, and until the newest plan is open and painted. The service hashes passwords as it
// does by default, so its share of the sign-in is the one a school's service has.
#include "BenchMainWindow.h"

#include "LessonPlanService.h"
#include "Store.h"
#include "app/ClientParts.h"
#include "app/MainThread.h"
#include "gfx/Units.h"
#include "pages/LoginPage.h"
#include "plan/ViewPlenvo.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "support/Pump.h"
#include "support/TempDir.h"
#include "view/controls/ViewEdit.h"
#include "view/controls/ViewList.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

namespace {

using namespace Plenvo;
using Clock = std::chrono::steady_clock;

constexpr int kPlans = 30;
constexpr const char* kTeacher = "20260001";
constexpr const char* kName = "王老师";
constexpr const char* kPassword = "荷塘月色2026";

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

class SignInBench {
public:
    explicit SignInBench(int passwordIterations) {
        // As the program's entry point registers them.
        RegisterClientParts();
        oldDirectory_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.Path());
        std::filesystem::create_directories(dir_.File("service"));
        store_ =
            std::make_unique<PlenvoService::Store>(dir_.File("service/db"), passwordIterations);
        std::string token;
        store_->Login(kTeacher, kName, kPassword, token);
        for (int plan = 1; plan <= kPlans; ++plan) {
            store_->CreatePlan(kTeacher, "第" + std::to_string(plan) + "课 荷塘月色", 1, 10, 1);
        }
        PlenvoService::ServiceOptions options;
        options.dataFolder = dir_.File("service");
        service_ = std::make_unique<PlenvoService::LessonPlanService>(*store_, options);
        const int port = service_->Bind("127.0.0.1", 0);
        serviceThread_ = std::thread([this] { service_->Run(); });
        if (port <= 0 || !service_->WaitUntilRunning()) {
            throw std::runtime_error("the reference service did not start");
        }
        app_ = std::make_unique<CMainThread>(
            CMainThread::Options{"http://127.0.0.1:" + std::to_string(port) + "/plenvo/", true});
        if (!app_->CreateMessageWindow()) {
            throw std::runtime_error("the main window was not created");
        }
        Wait([this] { return Main().FindByName("loginbutton") != nullptr; }, "the login page");
        const platform::SizeI size =
            static_cast<platform::OffscreenWindow*>(Main().Window())->ClientSize();
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.width, size.height);
    }
    ~SignInBench() {
        cairo_surface_destroy(surface_);
        app_->Close();
        testsupport::PumpFor(10);
        app_.reset();
        service_->Stop();
        serviceThread_.join();
        service_.reset();
        store_.reset();
        std::filesystem::current_path(oldDirectory_);
    }

    CView& Main() { return *app_->Views().front(); }

    // Back to a filled-in login page, as after signing out; nothing of it is timed.
    void ShowLogin() {
        app_->SetUser(nullptr);
        // As on a first start: no history, no plan.
        Main().FindByName("historylist")->ClearChildren();
        Main().FindByName("container1")->ClearChildren();
        CLoginPage::Show(Main());
        Wait([this] { return !Main().LayoutPending(); }, "the login page's layout");
        Type("loginidvalue", kTeacher);
        Type("loginnamevalue", kName);
        Type("loginpasswordvalue", kPassword);
        Wait([this] { return !Main().LayoutPending(); }, "the login page's layout");
        Frame();
    }

    // From the click until the history is painted, then until the newest plan is painted.
    void SignIn(double& historyMs, double& planMs) {
        const auto button = Main().FindByName("loginbutton");
        const gfx::RectF r = button->GetContentRect();
        const platform::LPARAM at =
            platform::MakeLParam(static_cast<int>(gfx::MmToPx(r.x + r.width / 2, 96)),
                                 static_cast<int>(gfx::MmToPx(r.y + r.height / 2, 96)));
        const auto start = Clock::now();
        platform::SendMessage(Main().GetHandle(), platform::WM_LBUTTONDOWN, platform::MK_LBUTTON,
                              at);
        platform::SendMessage(Main().GetHandle(), platform::WM_LBUTTONUP, 0, at);
        Wait(
            [this] {
                auto* list = dynamic_cast<CViewList*>(Main().FindByName("historylist").get());
                return list && list->Items().size() == static_cast<std::size_t>(kPlans) &&
                       !Main().LayoutPending();
            },
            "the history");
        Frame();
        historyMs = Ms(Clock::now() - start);
        Wait(
            [this] {
                const auto container = Main().FindByName("container1");
                return container && !container->GetChildren().empty() &&
                       std::dynamic_pointer_cast<CViewPlenvo>(container->GetChildren().front()) &&
                       !Main().LayoutPending();
            },
            "the newest plan");
        Frame();
        planMs = Ms(Clock::now() - start);
    }

private:
    static void Wait(const std::function<bool()>& done, const std::string& what) {
        if (!testsupport::PumpUntil(done, 10000)) {
            throw std::runtime_error("waited 10 s for " + what);
        }
    }
    void Type(const std::string& field, const std::string& text) {
        auto* edit = dynamic_cast<CViewEdit*>(Main().FindByName(field).get());
        if (!edit) {
            throw std::runtime_error("the login page has no " + field);
        }
        edit->SetText(text);
    }
    // What the window's draw handler paints of what has changed.
    void Frame() {
        auto* window = static_cast<platform::OffscreenWindow*>(Main().Window());
        benchsupport::PaintViewFrame(Main(), surface_, window->DirtyArea());
        window->Paint(); // forgets the invalidations
    }

    testsupport::TempDir dir_;
    std::filesystem::path oldDirectory_;
    std::unique_ptr<PlenvoService::Store> store_;
    std::unique_ptr<PlenvoService::LessonPlanService> service_;
    std::thread serviceThread_;
    std::unique_ptr<CMainThread> app_;
    cairo_surface_t* surface_ = nullptr;
};

void BM_SignInToHistoryDrawn(benchmark::State& state) {
    SignInBench bench(static_cast<int>(state.range(0)));
    std::vector<double> history, plan;
    for (auto _ : state) {
        state.PauseTiming();
        bench.ShowLogin();
        state.ResumeTiming();
        double h = 0, p = 0;
        bench.SignIn(h, p);
        history.push_back(h);
        plan.push_back(p);
        state.SetIterationTime(h / 1000.0);
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    state.counters["history_ms"] = median(history);
    state.counters["newest_plan_ms"] = median(plan);
}
// The service's default password hashing, and a cheap one that shows the client's own share.
BENCHMARK(BM_SignInToHistoryDrawn)
    ->Arg(100000)
    ->Arg(1000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(9);

} // namespace

BENCHMARK_MAIN();
