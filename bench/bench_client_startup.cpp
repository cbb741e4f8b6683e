// links: PkgConfig::X11
// sources: tests/support/Process.cpp
// The client as the user runs it, in a virtual display with the reference service on loopback:
// the time from launch until the main screen template is on the screen, the resident memory of
// the idle window, and how often the idle, unfocused client wakes up.
//
// The programs are the build's own: plenvo and plenvo-service beside this program's folder.
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Xvfb.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

namespace {

using testsupport::Process;
using testsupport::TempDir;
using Clock = std::chrono::steady_clock;

// Where the main window lies on a 1920 x 1080 display without a window manager, and a point of
// its sidebar with the template's sidebar colour.
constexpr int kWindowX = 20, kWindowY = 27;
constexpr int kSidebarX = kWindowX + 60, kSidebarY = kWindowY + 500;
constexpr unsigned long kSidebarRgb = 0xF0F4F8;

std::filesystem::path BuildFolder() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path();
}

// The display, the service and a connection to the display to look at the screen with, shared
// by every benchmark of the program.
class Environment {
public:
    Environment() {
        display_ = XOpenDisplay(nullptr);
        if (!display_) {
            throw std::runtime_error("cannot open the virtual display");
        }
        // Port 0: the service picks a free port and names it in its first line.
        service_ = std::make_unique<Process>(
            std::vector<std::string>{(BuildFolder() / "plenvo-service").string(), "--port", "0",
                                     "--db", dir_.File("db.sqlite"), "--data", dir_.File("data")},
            dir_.Path(), std::map<std::string, std::string>{}, dir_.File("service.out"));
        const std::string serving = "serving http://";
        if (!testsupport::WaitFor(
                [&] { return service_->Output().find(serving) != std::string::npos; }, 10000)) {
            throw std::runtime_error("the service did not start: " + service_->Output());
        }
        const std::string output = service_->Output();
        const std::size_t address = output.find(serving) + serving.size();
        const std::size_t end = output.find_first_of(" /\n", address);
        url_ = "http://" + output.substr(address, end - address) + "/plenvo/";
        // Nothing has the keyboard focus and the pointer rests outside where the window opens:
        // the client stays unfocused.
        XWarpPointer(display_, None, DefaultRootWindow(display_), 0, 0, 0, 0, 1900, 1070);
        XSetInputFocus(display_, None, RevertToNone, CurrentTime);
        XSync(display_, False);
    }
    ~Environment() {
        service_.reset();
        XCloseDisplay(display_);
    }

    const std::string& Url() const { return url_; }

    unsigned long ScreenPixel(int x, int y) {
        XImage* image =
            XGetImage(display_, DefaultRootWindow(display_), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) {
            return 0;
        }
        const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
        XDestroyImage(image);
        return pixel;
    }

private:
    testsupport::Xvfb xvfb_; // first: DISPLAY points at it before anything connects
    ::Display* display_ = nullptr;
    TempDir dir_;
    std::string url_;
    std::unique_ptr<Process> service_;
};

Environment& Env() {
    static Environment environment;
    return environment;
}

// Milliseconds since local midnight, as debug.log stamps its lines.
long long LocalMillisOfDay(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    const long long millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() %
        1000;
    return ((local.tm_hour * 60LL + local.tm_min) * 60 + local.tm_sec) * 1000 + millis;
}

// The stamp of the first debug.log line with the text, in milliseconds of the day.
std::optional<long long> LogStamp(const std::string& path, const std::u16string& text) {
    const std::string bytes = testsupport::ReadBytes(path);
    std::u16string log;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        log += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    const std::size_t at = log.find(text);
    const std::size_t open = at == std::u16string::npos ? at : log.rfind(u'[', at);
    if (open == std::u16string::npos || at - open != 14) {
        return std::nullopt;
    }
    const auto digit = [&](std::size_t i) { return static_cast<long long>(log[open + i] - u'0'); };
    const long long h = digit(1) * 10 + digit(2), m = digit(4) * 10 + digit(5),
                    s = digit(7) * 10 + digit(8);
    return ((h * 60 + m) * 60 + s) * 1000 + digit(10) * 100 + digit(11) * 10 + digit(12);
}

// Processor time the process has used so far, all threads, in milliseconds (the kernel counts
// it in ticks of 10 ms): on a shared machine it tells the client's own work from waiting.
double ProcessCpuMs(pid_t pid) {
    const std::string stat = testsupport::ReadBytes("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    // After the name: state, then fields 4..13, then utime and stime.
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14) {
            ticks += std::stod(field);
        }
    }
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// One run of the client in a folder of its own.
class Client {
public:
    Client()
        : launchWall_(std::chrono::system_clock::now()), launch_(Clock::now()),
          process_({(BuildFolder() / "plenvo").string(), "--service", Env().Url()}, dir_.Path(),
                   {{"NO_AT_BRIDGE", "1"}}, dir_.File("client.out")) {}
    ~Client() { process_.Kill(); }

    pid_t Pid() const { return process_.Pid(); }

    // Waits, looking at the screen every millisecond, until the template's sidebar is drawn;
    // milliseconds from launch, none on time-out.
    std::optional<double> WaitForTemplate(unsigned timeoutMs) {
        const auto end = launch_ + std::chrono::milliseconds(timeoutMs);
        const unsigned long before = Env().ScreenPixel(kSidebarX, kSidebarY);
        while (Clock::now() < end) {
            const unsigned long pixel = Env().ScreenPixel(kSidebarX, kSidebarY);
            const auto now = Clock::now();
            if (pixel != before && !mapped_) {
                mapped_ = std::chrono::duration<double, std::milli>(now - launch_).count();
            }
            if (pixel == kSidebarRgb) {
                cpuMs_ = ProcessCpuMs(process_.Pid());
                return std::chrono::duration<double, std::milli>(now - launch_).count();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return std::nullopt;
    }
    // Milliseconds from launch until the window first showed anything at the sidebar's place.
    std::optional<double> FirstShown() const { return mapped_; }
    // The client's processor time when the template was seen drawn.
    double CpuAtTemplate() const { return cpuMs_; }
    // Milliseconds from launch until the client logged the template as applied.
    std::optional<double> TemplateLogged() const {
        const auto stamp = LogStamp(dir_.File("debug.log"), u"已加载模板");
        if (!stamp) {
            return std::nullopt;
        }
        return static_cast<double>(*stamp - LocalMillisOfDay(launchWall_));
    }
    std::string Output() const { return process_.Output(); }

private:
    TempDir dir_;
    std::chrono::system_clock::time_point launchWall_;
    Clock::time_point launch_;
    std::optional<double> mapped_;
    double cpuMs_ = 0;
    Process process_;
};

struct ProcessCounts {
    long long rssKb = 0;
    long long rssAnonKb = 0;
    long long rssFileKb = 0;
    long long pssKb = 0;
    long long voluntary = 0;
    long long involuntary = 0;
    int threads = 0;
};

long long StatusField(const std::string& status, const std::string& key) {
    const std::size_t at = status.find("\n" + key + ":");
    return at == std::string::npos ? -1 : std::stoll(status.substr(at + key.size() + 2));
}

// The resident memory, and the context switches summed over every thread of the process.
ProcessCounts ReadCounts(pid_t pid) {
    ProcessCounts counts;
    const std::string root = "/proc/" + std::to_string(pid);
    const std::string status = "\n" + testsupport::ReadBytes(root + "/status");
    counts.rssKb = StatusField(status, "VmRSS");
    counts.rssAnonKb = StatusField(status, "RssAnon");
    counts.rssFileKb = StatusField(status, "RssFile");
    counts.pssKb = StatusField(testsupport::ReadBytes(root + "/smaps_rollup"), "Pss");
    for (const auto& task : std::filesystem::directory_iterator(root + "/task")) {
        const std::string taskStatus = "\n" + testsupport::ReadBytes(task.path() / "status");
        counts.voluntary += StatusField(taskStatus, "voluntary_ctxt_switches");
        counts.involuntary += StatusField(taskStatus, "nonvoluntary_ctxt_switches");
        ++counts.threads;
    }
    return counts;
}

void BM_StartupToFirstTemplate(benchmark::State& state) {
    Env();
    {
        // One launch first, so that every measured one finds the fonts and libraries cached as a
        // user's second start does.
        Client warmUp;
        warmUp.WaitForTemplate(15000);
    }
    double mapped = 0, logged = 0, cpu = 0;
    for (auto _ : state) {
        Client client;
        const auto drawn = client.WaitForTemplate(15000);
        if (!drawn) {
            state.SkipWithError(
                ("no template on the screen; client said: " + client.Output()).c_str());
            break;
        }
        state.SetIterationTime(*drawn / 1000);
        mapped = client.FirstShown().value_or(0);
        logged = client.TemplateLogged().value_or(-1);
        cpu = client.CpuAtTemplate();
    }
    state.counters["window_shown_ms"] = mapped;
    state.counters["template_logged_ms"] = logged;
    state.counters["client_cpu_ms"] = cpu;
}
BENCHMARK(BM_StartupToFirstTemplate)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(7);

// The idle window: memory once it has settled, then the wake-ups (voluntary context switches,
// summed over all threads) over 10 s without focus, pointer elsewhere.
void BM_IdleUnfocusedWindow(benchmark::State& state) {
    Env();
    for (auto _ : state) {
        Client client;
        if (!client.WaitForTemplate(15000)) {
            state.SkipWithError("no template on the screen");
            break;
        }
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const ProcessCounts before = ReadCounts(client.Pid());
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const ProcessCounts after = ReadCounts(client.Pid());
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        state.counters["rss_mb"] = before.rssKb / 1024.0;
        state.counters["rss_after_mb"] = after.rssKb / 1024.0;
        state.counters["rss_anon_mb"] = before.rssAnonKb / 1024.0;
        state.counters["rss_file_mb"] = before.rssFileKb / 1024.0;
        state.counters["pss_mb"] = before.pssKb / 1024.0;
        state.counters["wakeups_per_s"] = (after.voluntary - before.voluntary) / seconds;
        state.counters["preemptions_per_s"] = (after.involuntary - before.involuntary) / seconds;
        state.counters["threads"] = after.threads;
        // What the threads switched while starting: shows the count is read at all.
        state.counters["switches_at_start"] = static_cast<double>(before.voluntary);
    }
}
BENCHMARK(BM_IdleUnfocusedWindow)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
