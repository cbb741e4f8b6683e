// The client crashes for real in a virtual display: a SIGSEGV sent from outside leaves the dump,
// the successor uploads it to the reference service and asks whether to start again, and
// answering No ends it with 0 before any window opens.
#include "support/FreePort.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/X11Tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::Process;
using testsupport::TempDir;
using testsupport::WaitFor;

namespace {

namespace fs = std::filesystem;

std::string Shell(const std::string& command) {
    return testsupport::RunPumping(command, {});
}

// The arguments of a process, from /proc.
std::vector<std::string> Arguments(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::vector<std::string> arguments;
    for (std::string argument; std::getline(in, argument, '\0');) {
        arguments.push_back(argument);
    }
    return arguments;
}

// The successor has been handed to this process (a subreaper) once the crashed client ended.
pid_t FindSuccessor() {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const pid_t pid = std::stoi(name);
        const auto arguments = Arguments(pid);
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos || arguments.size() < 2 || arguments[1] != "-dmp") {
            continue;
        }
        char state = 0;
        int parent = 0;
        std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent);
        if (parent == getpid() && fs::path(arguments[0]) == fs::canonical(PLENVO_CLIENT)) {
            return pid;
        }
    }
    return 0;
}

// Ends a successor the test left behind (a failed assertion must not leave a question open).
class SuccessorGuard {
public:
    SuccessorGuard() { prctl(PR_SET_CHILD_SUBREAPER, 1); }
    ~SuccessorGuard() {
        const pid_t left = FindSuccessor();
        if (left > 0) {
            kill(left, SIGKILL);
            waitpid(left, nullptr, 0);
        }
        prctl(PR_SET_CHILD_SUBREAPER, 0);
    }
    SuccessorGuard(const SuccessorGuard&) = delete;
    SuccessorGuard& operator=(const SuccessorGuard&) = delete;
};

// While it lives, children get a core-file limit of one byte, which stops every core dump, also
// one piped to the machine's crash collector: a client that died by the signal's default action
// (no dump of its own written) then ends at once and the test says so, instead of waiting for
// the collector to swallow its memory.
class NoCoreDumps {
public:
    NoCoreDumps() {
        getrlimit(RLIMIT_CORE, &saved_);
        const rlimit one{1, saved_.rlim_max};
        setrlimit(RLIMIT_CORE, &one);
    }
    ~NoCoreDumps() { setrlimit(RLIMIT_CORE, &saved_); }
    NoCoreDumps(const NoCoreDumps&) = delete;
    NoCoreDumps& operator=(const NoCoreDumps&) = delete;

private:
    rlimit saved_{};
};

// What each thread of a process that should have ended is doing, for the failure message.
std::string ThreadStates(pid_t pid) {
    std::string states;
    std::error_code error;
    const fs::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : fs::directory_iterator(tasks, error)) {
        const auto read = [&](const char* name) {
            std::ifstream in(task.path() / name);
            std::string line;
            std::getline(in, line);
            return line;
        };
        states +=
            read("stat") + " | wchan " + read("wchan") + " | syscall " + read("syscall") + "\n";
    }
    return states;
}

} // namespace

TEST(CrashRestart, SegvFromOutsideUploadsTheDumpAsksAndNoEndsWithZero) {
    TempDir dir;
    const int port = testsupport::FreeLoopbackPort();
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/plenvo/";
    // The client is told its service on the command line; its successor's command line carries
    // only the dump, yet it reports to the same service (no cfg.ini names one).
    Process service({PLENVO_SERVICE, "--port", std::to_string(port), "--db", dir.File("db.sqlite"),
                     "--data", dir.File("data")},
                    dir.Path(), {}, dir.File("service.out"));
    ASSERT_TRUE(
        WaitFor([&] { return service.Output().find("serving") != std::string::npos; }, 10000));

    // The successor's parent, the crashed client, ends: it comes to this process.
    const SuccessorGuard guard;
    const fs::path dump = fs::canonical(PLENVO_CLIENT).parent_path() / "MyDump.dmp";
    fs::remove(dump);
    const NoCoreDumps noCoreDumps;
    Process client({PLENVO_CLIENT, "--service", url}, dir.Path(), {{"NO_AT_BRIDGE", "1"}},
                   dir.File("client.out"));
    ASSERT_TRUE(
        WaitFor([&] { return !Shell("xdotool search --name 'Tavrin教育系统'").empty(); }, 15000))
        << "no window; client said: " << client.Output();

    kill(client.Pid(), SIGSEGV);
    const auto crashed = client.Wait(60000);
    ASSERT_TRUE(crashed.has_value())
        << "the crashed client did not end; its threads:\n"
        << ThreadStates(client.Pid()) << "dump written: " << fs::exists(dump)
        << "; it said: " << client.Output();
    EXPECT_EQ(*crashed, 128 + SIGSEGV);
    ASSERT_TRUE(fs::exists(dump));

    pid_t successor = 0;
    ASSERT_TRUE(WaitFor([&] { return (successor = FindSuccessor()) != 0; }, 10000))
        << "no successor started with -dmp";
    EXPECT_EQ(Arguments(successor), (std::vector<std::string>{fs::canonical(PLENVO_CLIENT).string(),
                                                              "-dmp", dump.string()}));

    // The service stored exactly the dump.
    const fs::path stored = fs::path(dir.File("data")) / "dumps";
    std::string received;
    ASSERT_TRUE(WaitFor(
        [&] {
            std::error_code error;
            for (const auto& entry : fs::directory_iterator(stored, error)) {
                if (entry.path().extension() == ".dmp") {
                    received = testsupport::ReadBytes(entry.path().string());
                }
            }
            return !received.empty();
        },
        20000))
        << "the service received no dump: " << service.Output();
    EXPECT_EQ(received, testsupport::ReadBytes(dump.string()));

    // The question, then No.
    std::string ids;
    ASSERT_TRUE(
        WaitFor([&] { return !(ids = Shell("xdotool search --name '^错误$'")).empty(); }, 20000))
        << "no question appeared";
    const std::string box = ids.substr(0, ids.find('\n'));
    const std::string geometry = Shell("xdotool getwindowgeometry " + box);
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_EQ(
        std::sscanf(geometry.c_str() + geometry.find("Position: "), "Position: %d,%d", &x, &y), 2);
    ASSERT_EQ(std::sscanf(geometry.c_str() + geometry.find("Geometry: "), "Geometry: %dx%d", &width,
                          &height),
              2);
    if (const char* folder = std::getenv("PLENVO_SCREENSHOTS")) {
        Shell("import -window " + box + " '" + std::string(folder) + "/question.png'");
    }
    // The stop sign: the red of the error icon left of the text.
    const std::string shot = dir.File("question.png");
    Shell("import -window " + box + " '" + shot + "'");
    const auto pixels = testsupport::ReadPngPixels(shot, 0, 0, width / 3, height);
    EXPECT_TRUE(std::any_of(pixels.begin(), pixels.end(), [](unsigned argb) {
        const unsigned r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
        return r > 170 && g < 90 && b < 90;
    })) << "the question shows no stop sign";
    // Yes/No fill the bottom row, No on the left.
    Shell("xdotool mousemove --sync " + std::to_string(x + width / 4) + " " +
          std::to_string(y + height - 12) + " click 1");
    int status = 0;
    pid_t ended = 0;
    ASSERT_TRUE(
        WaitFor([&] { return (ended = waitpid(successor, &status, WNOHANG)) == successor; }, 20000))
        << "the successor did not end after No";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(Shell("xdotool search --name 'Tavrin教育系统'").empty()) << "a window opened";
}
