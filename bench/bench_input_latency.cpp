// links: plenvo_plan PkgConfig::GTK3 PkgConfig::X11 PkgConfig::XTST PkgConfig::XDAMAGE
// sources: tests/support/Pump.cpp bench/BenchMainWindow.cpp bench/BenchPlanData.cpp
// Input to paint in a real window, as a user feels it: keys, pointer moves and wheel steps are
// injected with the XTest extension into a window on a virtual display (Xvfb 1920 x 1080, 96 dpi,
// no window manager), and the time until the last damage of the paint it causes, as the DAMAGE
// extension reports them, is taken (the whole paint reaching the X server). The windows run in
// child processes of this program: a page window with a 5,000-character edit field, the main screen
// template (a button to hover, the history list with 1,000 plans to scroll), the main screen with
// an open plan of 300 cells in its content area and, as the anchors, a plain GtkTextView holding
// the same text, a GtkButton where our button is and a bare drawing area repainting that button's
// rectangle (the path's floor). Keys are 50 ms apart, as a fast typist's.
#include "BenchPlanData.h"

#include "plan/PlanElements.h"
#include "plan/ViewPlenvo.h"
#include "platform/Display.h"
#include "platform/Messaging.h"
#include "support/Pump.h"
#include "support/Xvfb.h"
#include "view/View.h"
#include "view/ViewFactory.h"
#include "view/controls/Controls.h"
#include "view/controls/ViewList.h"

#include "gfx/Units.h"
#include "net/Response.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>
#include <benchmark/benchmark.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWindowX = 20, kWindowY = 27, kWindowWidth = 1020, kWindowHeight = 1026;
constexpr int kKeys = 200;
constexpr auto kKeyGap = std::chrono::milliseconds(50);

// 5,000 Chinese characters in one paragraph, a lesson plan's prose.
std::string ChineseText() {
    const std::string sentence =
        "本节课通过观察实验和小组讨论让学生理解植物的光合作用过程并能用自己的"
        "语言描述能量转化的基本规律教师在课堂上引导学生提出问题设计方案记录"
        "数据得出结论培养科学探究能力与合作意识";
    std::u32string units;
    for (std::size_t i = 0; i < sentence.size();) {
        const unsigned char c = static_cast<unsigned char>(sentence[i]);
        const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        units.push_back(static_cast<char32_t>(i)); // byte offset of the character
        i += n;
    }
    std::string out;
    for (int k = 0; k < 5000; ++k) {
        const std::size_t at = units[k % units.size()];
        const unsigned char c = static_cast<unsigned char>(sentence[at]);
        const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        out.append(sentence, at, n);
    }
    return out;
}

std::string MainTemplate() {
    const auto path =
        std::filesystem::path(PLENVO_SOURCE_DIR) / "service" / "templates" / "main.json";
    std::ifstream in(path, std::ios::binary);
    std::string text(std::istreambuf_iterator<char>(in), {});
    if (text.empty()) {
        throw std::runtime_error("service/templates/main.json could not be read");
    }
    return text;
}

// ---- the windows, each in its own process ----

// The window's X id, and for a plan where to click to type into its teaching cell.
void AnnounceWindow(GtkWidget* window, Plenvo::Point click = {}) {
    std::printf("%lu %d %d\n",
                static_cast<unsigned long>(gdk_x11_window_get_xid(gtk_widget_get_window(window))),
                click.x, click.y);
    std::fflush(stdout);
}

// The plan as the main page opens it: built from the plan data into container1, laid out once
// the window has its size; returns where to click to type into a teaching cell.
Plenvo::Point OpenPlan(Plenvo::CView& view) {
    using namespace Plenvo;
    RegisterPlanElements();
    const auto container = view.FindByName("container1");
    if (!container) {
        throw std::runtime_error("the main template has no container1");
    }
    container->ClearChildren();
    auto plan = std::dynamic_pointer_cast<CViewPlenvo>(
        CreateViewElement(Json::parse(benchsupport::PlanOf300Cells())));
    if (!plan) {
        throw std::runtime_error("the plan was not built");
    }
    container->AddChild(plan);
    // The window's size arrives from the X server after it is shown: let it come, then wait
    // for the layout it asks for.
    testsupport::PumpUntil([] { return false; }, 300);
    if (!testsupport::PumpUntil([&] { return !view.LayoutPending(); }, 5000)) {
        throw std::runtime_error("the plan was not laid out");
    }
    view.InvalidateAll();
    // The first teaching step's teacher cell: 200 letters fill its lines and stay in the window.
    const auto cell = plan->FindCell("template.teachproc.1.teacher");
    if (!cell) {
        throw std::runtime_error("the plan has no teaching cell");
    }
    const gfx::RectF r = cell->TextRect();
    return {static_cast<int>(gfx::MmToPx(r.x + 2, 96)), static_cast<int>(gfx::MmToPx(r.y + 2, 96))};
}

GtkWidget* OurToplevel() {
    GList* list = gtk_window_list_toplevels();
    GtkWidget* found = list ? GTK_WIDGET(list->data) : nullptr;
    g_list_free(list);
    return found;
}

int RunPageWindow(const std::string& which) {
    using namespace Plenvo;
    if (!platform::InitializeUserInterface()) {
        return 2;
    }
    gfx::SetScreenDpi(platform::ReadDesktopResolution());
    RegisterControls();
    auto view =
        std::make_shared<CView>("main", ViewServices{nullptr, "http://127.0.0.1:9/", false});
    if (!view->Create()) {
        return 3;
    }
    SimpleCurl::response reply;
    reply.finished = true;
    reply.status = 200;
    reply.contentType = "application/json; charset=utf-8";
    if (which == "edit") {
        Json edit = {{"type", "edit"},
                     {"name", "field"},
                     {"width", "100%"},
                     {"height", "100%"},
                     {"multiline", true},
                     {"maxlength", -1},
                     {"font-family", "微软雅黑"},
                     {"font-height", 4.0},
                     {"content-paddign", 3.0},
                     {"color", "argb(255,33,43,54)"},
                     {"value", ChineseText()}};
        Json root = {{"name", "root"}, {"bkgnd", "argb(255,255,255,255)"}, {"elements", {edit}}};
        reply.body = root.dump();
    } else {
        reply.body = MainTemplate();
    }
    view->OnTemplateReply(reply);
    Point click;
    if (which.rfind("plan", 0) == 0) {
        click = OpenPlan(*view);
    }
    if (which == "main") {
        if (auto list = std::dynamic_pointer_cast<CViewList>(view->FindByName("historylist"))) {
            for (std::uint32_t i = 1; i <= 1000; ++i) {
                list->AddItem("第" + std::to_string(i) + "课 光合作用",
                              "2026-12-09 · 七年级 · 生物", i);
            }
        }
    }
    AnnounceWindow(OurToplevel(), click);
    platform::MSG msg;
    while (platform::GetMessage(msg)) {
        platform::DispatchMessage(msg);
    }
    return 0;
}

int RunTextView() {
    gtk_init(nullptr, nullptr);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), kWindowWidth, kWindowHeight);
    gtk_window_move(GTK_WINDOW(window), kWindowX, kWindowY);
    GtkWidget* view = gtk_text_view_new();
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_WORD_CHAR);
    const std::string text = ChineseText();
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), text.c_str(),
                             static_cast<int>(text.size()));
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(
        css, "textview { font-family: 'Noto Sans CJK SC'; font-size: 11.3pt; }", -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(view), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    gtk_container_add(GTK_CONTAINER(window), view);
    gtk_widget_show_all(window);
    gtk_widget_grab_focus(view);
    AnnounceWindow(window);
    gtk_main();
    return 0;
}

// Where the main template's new-plan button lies in the window, for the hover anchors.
constexpr GdkRectangle kButton{23, 61, 190, 50};

// The hover anchors: a GtkButton where our button is (GTK's own hover, through its style and its
// frame clock), and the floor of this path: a bare drawing area that repaints the same rectangle
// when the pointer crosses it, painted and flushed as our window paints an input's damage.
int RunHoverAnchor(bool button) {
    gtk_init(nullptr, nullptr);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), kWindowWidth, kWindowHeight);
    gtk_window_move(GTK_WINDOW(window), kWindowX, kWindowY);
    if (button) {
        GtkWidget* fixed = gtk_fixed_new();
        GtkWidget* b = gtk_button_new_with_label("＋  新建教案");
        gtk_widget_set_size_request(b, kButton.width, kButton.height);
        gtk_fixed_put(GTK_FIXED(fixed), b, kButton.x, kButton.y);
        gtk_container_add(GTK_CONTAINER(window), fixed);
    } else {
        static bool inside = false;
        GtkWidget* area = gtk_drawing_area_new();
        gtk_widget_set_app_paintable(window, TRUE);
        gtk_widget_set_app_paintable(area, TRUE);
        gtk_widget_add_events(area, GDK_POINTER_MOTION_MASK);
        g_signal_connect(area, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer) {
                             cairo_set_source_rgb(cr, 1, 1, 1);
                             cairo_paint(cr);
                             if (inside) {
                                 cairo_set_source_rgb(cr, 0.85, 0.9, 1);
                                 gdk_cairo_rectangle(cr, &kButton);
                                 cairo_fill(cr);
                             }
                             return TRUE;
                         }),
                         nullptr);
        g_signal_connect(
            area, "motion-notify-event", G_CALLBACK(+[](GtkWidget* w, GdkEventMotion* m, gpointer) {
                const bool now = m->x >= kButton.x && m->x < kButton.x + kButton.width &&
                                 m->y >= kButton.y && m->y < kButton.y + kButton.height;
                if (now != inside) {
                    inside = now;
                    gtk_widget_queue_draw_area(w, kButton.x, kButton.y, kButton.width,
                                               kButton.height);
                    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
                    gdk_window_process_updates(gtk_widget_get_window(w), FALSE);
                    G_GNUC_END_IGNORE_DEPRECATIONS
                    gdk_display_flush(gtk_widget_get_display(w));
                }
                return TRUE;
            }),
            nullptr);
        gtk_container_add(GTK_CONTAINER(window), area);
    }
    gtk_widget_show_all(window);
    AnnounceWindow(window);
    gtk_main();
    return 0;
}

// ---- the measuring side ----

class Child {
public:
    explicit Child(const std::string& which) {
        int out[2];
        if (pipe(out) != 0) {
            throw std::runtime_error("pipe");
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            const std::string self = std::filesystem::read_symlink("/proc/self/exe");
            execl(self.c_str(), self.c_str(), "--window", which.c_str(), nullptr);
            _exit(127);
        }
        close(out[1]);
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        char c = 0;
        while (poll(&p, 1, 20000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') {
            line += c;
        }
        close(out[0]);
        char* end = nullptr;
        xid_ = std::strtoul(line.c_str(), &end, 10);
        clickX_ = static_cast<int>(std::strtol(end, &end, 10));
        clickY_ = static_cast<int>(std::strtol(end, &end, 10));
        if (xid_ == 0) {
            throw std::runtime_error("the window did not come up");
        }
    }
    ~Child() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    Window Xid() const { return xid_; }
    // Where the window asked to be clicked, relative to the window.
    int ClickX() const { return clickX_; }
    int ClickY() const { return clickY_; }
    // PLENVO_BENCH_SHOT names a folder for screenshots, to check each window is the real one.
    void Shot(const std::string& name) const {
        if (const char* folder = std::getenv("PLENVO_BENCH_SHOT")) {
            const std::string command =
                "import -window " + std::to_string(xid_) + " '" + folder + "/" + name + ".png'";
            if (std::system(command.c_str()) != 0) {
                std::fprintf(stderr, "no screenshot of %s\n", name.c_str());
            }
        }
    }

private:
    pid_t pid_ = 0;
    Window xid_ = 0;
    int clickX_ = 0;
    int clickY_ = 0;
};

struct Samples {
    std::vector<double> ms;
    std::vector<double> paintedPixels;
    int missed = 0;
};

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    const auto at = static_cast<std::size_t>(p / 100.0 * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(at, v.size() - 1)];
}

class Screen {
public:
    Screen() {
        display_ = XOpenDisplay(nullptr);
        int major = 0, minor = 0, error = 0;
        if (!display_ || !XTestQueryExtension(display_, &damageEvent_, &error, &major, &minor) ||
            !XDamageQueryExtension(display_, &damageEvent_, &error)) {
            throw std::runtime_error("no display with XTest and DAMAGE");
        }
    }
    ~Screen() { XCloseDisplay(display_); }

    void Watch(Window window) {
        if (damage_) {
            XDamageDestroy(display_, damage_);
        }
        damage_ = XDamageCreate(display_, window, XDamageReportRawRectangles);
        XSync(display_, False);
    }

    // Damage events until `quiet` passes without one: the pixels they cover, and when the last
    // came (when the call began if none did).
    struct Burst {
        double pixels = 0;
        Clock::time_point last;
    };
    Burst Drain(std::chrono::milliseconds quiet) {
        Burst burst{0, Clock::now()};
        while (Clock::now() - burst.last < quiet) {
            while (XPending(display_)) {
                XEvent e;
                XNextEvent(display_, &e);
                if (e.type == damageEvent_ + XDamageNotify) {
                    const auto& d = reinterpret_cast<XDamageNotifyEvent&>(e);
                    burst.pixels += static_cast<double>(d.area.width) * d.area.height;
                    burst.last = Clock::now();
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return burst;
    }

    // Runs the action and times it to the last damage of the paint it causes: a window that
    // copies part of its picture and then paints the rest has shown the input only then.
    void Measure(const std::function<void()>& action, Samples& out) {
        Drain(std::chrono::milliseconds(5));
        const auto start = Clock::now();
        action();
        XFlush(display_);
        const auto limit = start + std::chrono::milliseconds(500);
        pollfd p{ConnectionNumber(display_), POLLIN, 0};
        while (Clock::now() < limit) {
            while (XPending(display_)) {
                XEvent e;
                XNextEvent(display_, &e);
                if (e.type == damageEvent_ + XDamageNotify) {
                    const auto& d = reinterpret_cast<XDamageNotifyEvent&>(e);
                    const double first = static_cast<double>(d.area.width) * d.area.height;
                    const Burst rest = Drain(std::chrono::milliseconds(4));
                    out.ms.push_back(
                        std::chrono::duration<double, std::milli>(rest.last - start).count());
                    out.paintedPixels.push_back(first + rest.pixels);
                    return;
                }
            }
            poll(&p, 1, 1);
        }
        ++out.missed;
    }

    void Key(KeySym sym) {
        const KeyCode code = XKeysymToKeycode(display_, sym);
        XTestFakeKeyEvent(display_, code, True, 0);
        XTestFakeKeyEvent(display_, code, False, 0);
    }
    void Move(int x, int y) { XTestFakeMotionEvent(display_, 0, x, y, 0); }
    void Click(int x, int y) {
        Move(x, y);
        XTestFakeButtonEvent(display_, 1, True, 0);
        XTestFakeButtonEvent(display_, 1, False, 0);
        XFlush(display_);
    }
    void Wheel(int button) {
        XTestFakeButtonEvent(display_, static_cast<unsigned>(button), True, 0);
        XTestFakeButtonEvent(display_, static_cast<unsigned>(button), False, 0);
    }
    Display* X() { return display_; }

private:
    Display* display_ = nullptr;
    Damage damage_ = 0;
    int damageEvent_ = 0;
};

void Report(benchmark::State& state, const Samples& s) {
    state.counters["p50_ms"] = Percentile(s.ms, 50);
    state.counters["p90_ms"] = Percentile(s.ms, 90);
    state.counters["p99_ms"] = Percentile(s.ms, 99);
    state.counters["max_ms"] = Percentile(s.ms, 100);
    state.counters["painted_px_p50"] = Percentile(s.paintedPixels, 50);
    state.counters["painted_px_max"] = Percentile(s.paintedPixels, 100);
    state.counters["missed"] = s.missed;
    state.counters["samples"] = static_cast<double>(s.ms.size());
}

// Opens the window, lets `prepare` put the pointer or the caret in place, then times `count`
// events made by `event`, each `gap` after the one before.
void Session(benchmark::State& state, const std::string& which,
             const std::function<void(Screen&, const Child&)>& prepare, int count,
             std::chrono::milliseconds gap, const std::function<void(Screen&, int)>& event) {
    Child child(which);
    Screen screen;
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    prepare(screen, child);
    screen.Watch(child.Xid());
    screen.Drain(std::chrono::milliseconds(300));
    child.Shot(which + "-before");
    Samples samples;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i) {
            const auto next = Clock::now() + gap;
            screen.Measure([&] { event(screen, i); }, samples);
            std::this_thread::sleep_until(next);
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    child.Shot(which + "-after");
    Report(state, samples);
}

// Types 200 letters where the click put the caret: (x, y) relative to the window.
void Typing(benchmark::State& state, const char* which, int x, int y) {
    Session(
        state, which,
        [&](Screen& screen, const Child&) { screen.Click(kWindowX + x, kWindowY + y); }, kKeys,
        kKeyGap, [](Screen& screen, int) { screen.Key(XK_a); });
}

void BM_TypingMiddle_Edit(benchmark::State& state) {
    Typing(state, "edit", kWindowWidth / 2, kWindowHeight / 2);
}
void BM_TypingMiddle_GtkTextView(benchmark::State& state) {
    Typing(state, "textview", kWindowWidth / 2, kWindowHeight / 2);
}
void BM_TypingNearStart_Edit(benchmark::State& state) {
    Typing(state, "edit", 60, 20);
}
void BM_TypingNearStart_GtkTextView(benchmark::State& state) {
    Typing(state, "textview", 60, 10);
}

// The pointer goes onto "＋  新建教案" and off it again; each crossing repaints the button.
void Hover(benchmark::State& state, const char* which) {
    const int x = kWindowX + 118, onY = kWindowY + 86, offY = kWindowY + 140;
    Session(
        state, which, [&](Screen& screen, const Child&) { screen.Move(x, offY); }, 200,
        std::chrono::milliseconds(30),
        [&](Screen& screen, int i) { screen.Move(x, i % 2 == 0 ? onY : offY); });
}
void BM_HoverButton(benchmark::State& state) {
    Hover(state, "main");
}
void BM_HoverButton_GtkButton(benchmark::State& state) {
    Hover(state, "gtkbutton");
}
void BM_HoverButton_Floor(benchmark::State& state) {
    Hover(state, "floor");
}

// One wheel step over the history list of 1,000 plans, down then back up.
void BM_WheelStepHistoryList(benchmark::State& state) {
    Session(
        state, "main",
        [](Screen& screen, const Child&) { screen.Move(kWindowX + 110, kWindowY + 500); }, 100,
        std::chrono::milliseconds(50), [](Screen& screen, int i) { screen.Wheel(i < 50 ? 5 : 4); });
}

// Typing into a teaching cell of the open 300-cell plan: letters that fill the cell's lines, so
// now and then a key wraps a line and the lines below move.
void BM_TypingInPlanCell(benchmark::State& state) {
    Session(
        state, "plan",
        [](Screen& screen, const Child& child) {
            screen.Click(kWindowX + child.ClickX(), kWindowY + child.ClickY());
        },
        kKeys, kKeyGap, [](Screen& screen, int) { screen.Key(XK_a); });
}

// One wheel step over the open plan (its whole grid moves), down then back up.
void BM_WheelStepPlan(benchmark::State& state) {
    Session(
        state, "plan-wheel",
        [](Screen& screen, const Child& child) {
            screen.Move(kWindowX + child.ClickX(), kWindowY + child.ClickY());
        },
        100, std::chrono::milliseconds(50),
        [](Screen& screen, int i) { screen.Wheel(i < 50 ? 5 : 4); });
}

#define LATENCY(name) BENCHMARK(name)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1)
LATENCY(BM_TypingMiddle_Edit);
LATENCY(BM_TypingMiddle_GtkTextView);
LATENCY(BM_TypingNearStart_Edit);
LATENCY(BM_TypingNearStart_GtkTextView);
LATENCY(BM_HoverButton);
LATENCY(BM_HoverButton_GtkButton);
LATENCY(BM_HoverButton_Floor);
LATENCY(BM_WheelStepHistoryList);
LATENCY(BM_TypingInPlanCell);
LATENCY(BM_WheelStepPlan);

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--window") {
        const std::string which = argv[2];
        if (which == "textview") {
            return RunTextView();
        }
        if (which == "gtkbutton" || which == "floor") {
            return RunHoverAnchor(which == "gtkbutton");
        }
        return RunPageWindow(which);
    }
    // Our own display unless one is named for the run.
    std::unique_ptr<testsupport::Xvfb> display;
    if (!std::getenv("PLENVO_BENCH_DISPLAY")) {
        display = std::make_unique<testsupport::Xvfb>();
    } else {
        setenv("DISPLAY", std::getenv("PLENVO_BENCH_DISPLAY"), 1);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
