// A child program crashes for real (null write, abort, on a second thread, by stack overflow, by
// a signal from outside); the dump it leaves is read back stream by stream, and the successor
// it starts receives "-dmp" and the dump's path as two arguments.
#include "MinidumpFile.h"
#include "platform/ProcessRestart.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using Plenvo::CMinidumpFile;

struct Crash {
    pid_t pid = 0;
    std::optional<int> exitCode;
    std::map<std::string, unsigned long long> said;
    // Every thread that announced a crash, in order.
    std::vector<unsigned long long> crashingTids;
    std::string output;
};

class CrashCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Blanks in the folder: the successor's command line must carry them through.
        folder_ = fs::temp_directory_path() /
                  ("plenvo crash " + std::to_string(getpid()) + " " +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        dumpPath_ = (folder_ / "MyDump.dmp").string();
    }
    void TearDown() override { fs::remove_all(folder_); }

    // waitMs bounds how long a child may take to end: a handler that loops or hangs fails here.
    Crash Run(const std::string& mode, const std::string& dumpPath, int waitMs = 30000) {
        testsupport::Process child({PLENVO_CRASH_CHILD, mode, dumpPath}, folder_.string(), {},
                                   (folder_ / "output.txt").string());
        if (mode == "wait") {
            EXPECT_TRUE(testsupport::WaitFor(
                [&] { return child.Output().find("ready") != std::string::npos; }, 20000))
                << "the child did not get ready";
            kill(child.Pid(), SIGSEGV);
        }
        Crash crash;
        crash.pid = child.Pid();
        crash.exitCode = child.Wait(waitMs);
        crash.output = child.Output();
        std::istringstream lines(crash.output);
        std::string line;
        while (std::getline(lines, line)) {
            const auto equals = line.find('=');
            if (equals != std::string::npos) {
                const auto value = std::strtoull(line.c_str() + equals + 1, nullptr, 16);
                crash.said[line.substr(0, equals)] = value;
                if (line.compare(0, equals, "tid") == 0) {
                    crash.crashingTids.push_back(value);
                }
            }
        }
        return crash;
    }

    // The successor writes its arguments once it runs.
    std::vector<std::string> SuccessorArguments() {
        const fs::path marker = folder_ / "restarted.txt";
        EXPECT_TRUE(testsupport::WaitFor([&] { return fs::exists(marker); }, 20000))
            << "the crashed program did not start its successor";
        std::vector<std::string> arguments;
        testsupport::WaitFor(
            [&] {
                arguments.clear();
                std::ifstream in(marker);
                for (std::string line; std::getline(in, line);) {
                    arguments.push_back(line);
                }
                return arguments.size() >= 2;
            },
            5000);
        return arguments;
    }

    // What every dump must show about the crash the child announced.
    void ExpectCrashDump(const Crash& crash, int signal) {
        ASSERT_TRUE(crash.exitCode.has_value()) << "the crashed child did not end";
        EXPECT_EQ(*crash.exitCode, 128 + signal) << crash.output;
        ASSERT_TRUE(fs::exists(dumpPath_)) << crash.output;
        std::string error;
        const auto dump = CMinidumpFile::Load(dumpPath_, error);
        ASSERT_TRUE(dump) << error;
        for (const auto stream :
             {Plenvo::minidump::kSystemInfoStream, Plenvo::minidump::kExceptionStream,
              Plenvo::minidump::kThreadListStream, Plenvo::minidump::kModuleListStream,
              Plenvo::minidump::kLinuxMapsStream}) {
            EXPECT_TRUE(dump->HasStream(stream)) << "stream " << std::hex << stream;
        }
        // Packed records: their fields are copied out, never bound to references.
        EXPECT_EQ(std::uint16_t{dump->SystemInfo().processorArchitecture},
                  Plenvo::minidump::kArchitectureAmd64);
        EXPECT_EQ(std::uint32_t{dump->SystemInfo().platformId}, Plenvo::minidump::kPlatformLinux);
        ASSERT_TRUE(dump->Exception());
        const auto& exception = *dump->Exception();
        EXPECT_EQ(exception.code, static_cast<std::uint32_t>(signal));
        EXPECT_EQ(exception.tid, crash.said.at("tid"));

        const auto* thread = dump->Thread(exception.tid);
        ASSERT_NE(thread, nullptr) << "the crashing thread is not in the thread list";
        EXPECT_EQ(std::uint64_t{thread->context.rip}, std::uint64_t{exception.context.rip});
        EXPECT_FALSE(thread->stack.empty());
        EXPECT_TRUE(thread->StackHolds(crash.said.at("ret")))
            << "the crashing frame's return address is not in the stack bytes";
        // Every other thread of the child is there with its registers.
        EXPECT_GE(dump->Threads().size(), 2u);
        for (const auto& other : dump->Threads()) {
            EXPECT_NE(std::uint64_t{other.context.rsp}, 0u)
                << "thread " << other.tid << " without registers";
            EXPECT_FALSE(other.stack.empty()) << "thread " << other.tid << " without stack";
        }

        const auto* executable = dump->ModuleAt(crash.said.at("ret"));
        ASSERT_NE(executable, nullptr) << "no module holds the crashing code";
        EXPECT_EQ(fs::path(executable->name), fs::canonical(PLENVO_CRASH_CHILD));
        EXPECT_EQ(executable->cvSignature, Plenvo::minidump::kCvSignatureElf);
        EXPECT_EQ(executable->buildId.size(), 20u);
        EXPECT_NE(dump->Maps().find(fs::canonical(PLENVO_CRASH_CHILD).string()), std::string::npos);

        EXPECT_EQ(SuccessorArguments(), (std::vector<std::string>{"-dmp", dumpPath_}));
    }

    fs::path folder_;
    std::string dumpPath_;
};

TEST_F(CrashCaptureTest, NullWriteLeavesDumpAndStartsSuccessor) {
    const Crash crash = Run("null", dumpPath_);
    ExpectCrashDump(crash, SIGSEGV);
    std::string error;
    const auto dump = CMinidumpFile::Load(dumpPath_, error);
    ASSERT_TRUE(dump && dump->Exception());
    EXPECT_EQ(dump->Exception()->address, 0u) << "the faulting address of a null write";
    EXPECT_EQ(dump->Exception()->flags, static_cast<std::uint32_t>(SEGV_MAPERR));
}

// What a developer reads from a dump a client uploaded: the signal, the crashing thread and its
// frames, named by function and source line from the files whose build ids match.
TEST_F(CrashCaptureTest, DumpStackPrintsTheCrashingThreadSymbolised) {
    const Crash crash = Run("null", dumpPath_);
    ASSERT_TRUE(crash.exitCode.has_value());
    SuccessorArguments();
    const std::string command = std::string("'") + PLENVO_DUMPSTACK + "' '" + dumpPath_ + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string printed;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0;) {
        printed.append(buffer, got);
    }
    ASSERT_EQ(pclose(pipe), 0) << printed;
    std::ostringstream crashed;
    crashed << "Thread " << crash.said.at("tid") << " crashed";
    EXPECT_NE(printed.find("Crash: SIGSEGV"), std::string::npos) << printed;
    EXPECT_NE(printed.find(crashed.str()), std::string::npos) << printed;
    // Frame 0 is the faulting write, the next the function that called it.
    const auto ip = printed.find("  0  0x");
    ASSERT_NE(ip, std::string::npos) << printed;
    EXPECT_NE(printed.find("WriteNull", ip), std::string::npos) << printed;
    EXPECT_NE(printed.find("CallWriteNull", ip), std::string::npos) << printed;
    EXPECT_NE(printed.find("CrashChild.cpp:", ip), std::string::npos) << printed;
}

// Memory that the maps call readable may still fault when read (a file shorter than its
// mapping, a region another thread unmaps meanwhile): the dump is written all the same.
TEST_F(CrashCaptureTest, ModuleThatFaultsWhenReadStillLeavesDump) {
    ExpectCrashDump(Run("truncated", dumpPath_), SIGSEGV);
    std::string error;
    const auto dump = CMinidumpFile::Load(dumpPath_, error);
    ASSERT_TRUE(dump) << error;
    bool listed = false;
    for (const auto& module : dump->Modules()) {
        if (fs::path(module.name).filename() == "truncated.so") {
            listed = true;
            EXPECT_TRUE(module.buildId.empty());
        }
    }
    EXPECT_TRUE(listed) << "the mapped file is listed as a module without a build id";
}

TEST_F(CrashCaptureTest, AbortLeavesDump) {
    ExpectCrashDump(Run("abort", dumpPath_), SIGABRT);
}

// The processor's own faults: division by zero, an illegal instruction, a read of a mapped page
// past its file's end.
TEST_F(CrashCaptureTest, EveryOtherFatalSignalLeavesDump) {
    for (const auto& [mode, signal] : std::vector<std::pair<std::string, int>>{
             {"fpe", SIGFPE}, {"ill", SIGILL}, {"bus", SIGBUS}}) {
        SCOPED_TRACE(mode);
        fs::remove(dumpPath_);
        fs::remove(folder_ / "restarted.txt");
        ExpectCrashDump(Run(mode, dumpPath_), signal);
    }
}

TEST_F(CrashCaptureTest, CrashOnSecondThreadNamesThatThread) {
    const Crash crash = Run("thread", dumpPath_);
    ExpectCrashDump(crash, SIGSEGV);
    std::string error;
    const auto dump = CMinidumpFile::Load(dumpPath_, error);
    ASSERT_TRUE(dump);
    EXPECT_NE(dump->Exception()->tid, static_cast<std::uint32_t>(crash.pid))
        << "not the main thread";
    EXPECT_NE(dump->Thread(static_cast<std::uint32_t>(crash.pid)), nullptr);
    EXPECT_GE(dump->Threads().size(), 3u);
}

// The overflowing thread was started before the capture was installed, as the HTTP worker is:
// its alternate signal stack comes from the thread start.
TEST_F(CrashCaptureTest, StackOverflowOnEarlyThreadLeavesDump) {
    ExpectCrashDump(Run("overflow", dumpPath_), SIGSEGV);
}

TEST_F(CrashCaptureTest, StackOverflowOnLaterThreadLeavesDump) {
    ExpectCrashDump(Run("late-overflow", dumpPath_), SIGSEGV);
}

// Two threads fault together: one dump, naming one of them, with the other listed by its
// registers; the process ends once.
TEST_F(CrashCaptureTest, TwoThreadsCrashingTogetherLeaveOneDump) {
#ifdef __SANITIZE_THREAD__
    // The thread sanitizer wraps every handler and reports the faults it sees inside one itself.
    GTEST_SKIP() << "faults inside or beside a running handler are taken by the thread sanitizer";
#endif
    const Crash crash = Run("twice", dumpPath_);
    ASSERT_TRUE(crash.exitCode.has_value()) << "the child did not end";
    EXPECT_EQ(*crash.exitCode, 128 + SIGSEGV) << crash.output;
    ASSERT_EQ(crash.crashingTids.size(), 2u) << crash.output;
    std::string error;
    const auto dump = CMinidumpFile::Load(dumpPath_, error);
    ASSERT_TRUE(dump && dump->Exception()) << error;
    const std::uint32_t named = dump->Exception()->tid;
    EXPECT_TRUE(named == crash.crashingTids[0] || named == crash.crashingTids[1]) << named;
    for (const auto tid : crash.crashingTids) {
        const auto* thread = dump->Thread(static_cast<std::uint32_t>(tid));
        ASSERT_NE(thread, nullptr) << "crashing thread " << tid << " is not listed";
        EXPECT_NE(std::uint64_t{thread->context.rip}, 0u) << "thread " << tid;
        EXPECT_FALSE(thread->stack.empty()) << "thread " << tid;
    }
    EXPECT_EQ(SuccessorArguments(), (std::vector<std::string>{"-dmp", dumpPath_}));
}

// A fault inside the handler itself, while the dump is being written, ends the process: it
// neither handles its own crash again nor waits for itself. After abort the fault is a second
// fatal signal that reaches the handler; after a null write it is the same signal, which the
// system delivers with its default action.
TEST_F(CrashCaptureTest, FaultInsideHandlerEndsTheProcess) {
#ifdef __SANITIZE_THREAD__
    // The thread sanitizer wraps every handler and reports the faults it sees inside one itself.
    GTEST_SKIP() << "faults inside or beside a running handler are taken by the thread sanitizer";
#endif
    const Crash afterAbort = Run("handler-abort", dumpPath_, 15000);
    ASSERT_TRUE(afterAbort.exitCode.has_value()) << "a fault in the handler kept the process";
    EXPECT_EQ(*afterAbort.exitCode, 128 + SIGSEGV) << afterAbort.output;

    const Crash afterNull = Run("handler-null", dumpPath_, 15000);
    ASSERT_TRUE(afterNull.exitCode.has_value()) << "a fault in the handler kept the process";
    EXPECT_EQ(*afterNull.exitCode, -1) << "ended by the signal itself: " << afterNull.output;
    EXPECT_FALSE(fs::exists(folder_ / "restarted.txt")) << "no successor after a broken handler";
}

TEST_F(CrashCaptureTest, SignalFromOutsideLeavesDump) {
#ifdef __SANITIZE_THREAD__
    // The thread sanitizer takes asynchronous signals itself and hands them on only at its own
    // delivery points, so a SIGSEGV from outside never reaches the handler as the kernel sends it.
    GTEST_SKIP() << "asynchronous signals are redelivered by the thread sanitizer";
#endif
    const Crash crash = Run("wait", dumpPath_);
    ASSERT_TRUE(crash.exitCode.has_value());
    EXPECT_EQ(*crash.exitCode, 128 + SIGSEGV);
    std::string error;
    const auto dump = CMinidumpFile::Load(dumpPath_, error);
    ASSERT_TRUE(dump) << error;
    EXPECT_EQ(dump->Exception()->code, static_cast<std::uint32_t>(SIGSEGV));
    EXPECT_EQ(SuccessorArguments(), (std::vector<std::string>{"-dmp", dumpPath_}));
}

TEST_F(CrashCaptureTest, SecondCrashReplacesFirstDump) {
    ASSERT_TRUE(Run("null", dumpPath_).exitCode);
    ASSERT_TRUE(fs::exists(dumpPath_));
    SuccessorArguments();
    fs::remove(folder_ / "restarted.txt");
    ASSERT_TRUE(Run("abort", dumpPath_).exitCode);
    SuccessorArguments();
    std::string error;
    const auto dump = CMinidumpFile::Load(dumpPath_, error);
    ASSERT_TRUE(dump) << error;
    EXPECT_EQ(dump->Exception()->code, static_cast<std::uint32_t>(SIGABRT)) << "the later crash";
    int dumps = 0;
    for (const auto& entry : fs::directory_iterator(folder_)) {
        dumps += entry.path().extension() == ".dmp";
    }
    EXPECT_EQ(dumps, 1);
}

// No dump can be written: the successor still starts, and the signal's own handling ends the
// crashed process.
TEST_F(CrashCaptureTest, UnwritableDumpStillStartsSuccessor) {
    const std::string nowhere = (folder_ / "missing folder" / "MyDump.dmp").string();
    const Crash crash = Run("null", nowhere);
    ASSERT_TRUE(crash.exitCode.has_value());
    EXPECT_EQ(*crash.exitCode, -1) << "ended by the signal itself";
    EXPECT_FALSE(fs::exists(nowhere));
    EXPECT_EQ(SuccessorArguments(), (std::vector<std::string>{"-dmp", nowhere}));
}

TEST(RestartCommandLine, QuotesBothPathsAroundDmp) {
    EXPECT_EQ(platform::RestartCommandLine("/opt/plenvo/plenvo", "/opt/plenvo/MyDump.dmp"),
              "\"/opt/plenvo/plenvo\" -dmp \"/opt/plenvo/MyDump.dmp\"");
    EXPECT_EQ(platform::RestartCommandLine("/home/li lei/my apps/plenvo", "/home/li lei/D d.dmp"),
              "\"/home/li lei/my apps/plenvo\" -dmp \"/home/li lei/D d.dmp\"");
}

TEST(RestartCommandLine, SplitsBackIntoTheSamePaths) {
    for (const auto& [exe, dump] : std::vector<std::pair<std::string, std::string>>{
             {"/opt/plenvo/plenvo", "/opt/plenvo/MyDump.dmp"},
             {"/home/li lei/教案 程序/plenvo", "/home/li lei/教案 程序/MyDump.dmp"},
             {"/tmp/a\"quote/plenvo", "/tmp/trailing\\"},
             {"/tmp/back\\slash\\\"mix/p", "/tmp/two  blanks\t tab/d.dmp"}}) {
        EXPECT_EQ(platform::SplitCommandLine(platform::RestartCommandLine(exe, dump)),
                  (std::vector<std::string>{exe, "-dmp", dump}))
            << platform::RestartCommandLine(exe, dump);
    }
}

TEST(RestartCommandLine, SplitFollowsThePlatformRules) {
    EXPECT_EQ(platform::SplitCommandLine("  a  \"b c\"\td "),
              (std::vector<std::string>{"a", "b c", "d"}));
    EXPECT_EQ(platform::SplitCommandLine(R"(a\\\"b "c\\" d\e)"),
              (std::vector<std::string>{"a\\\"b", "c\\", "d\\e"}));
    EXPECT_EQ(platform::SplitCommandLine(R"("say ""hi""" x)"),
              (std::vector<std::string>{"say \"hi\"", "x"}));
    EXPECT_TRUE(platform::SplitCommandLine("   ").empty());
}

TEST(MinidumpFile, DamagedDumpsAreRefusedNotRead) {
    std::string error;
    EXPECT_FALSE(CMinidumpFile::Parse("", error));
    EXPECT_FALSE(CMinidumpFile::Parse("MDMP", error));
    Plenvo::minidump::Header header{
        Plenvo::minidump::kSignature, Plenvo::minidump::kVersion, 3, 0xFFFFFFF0, 0, 0, 0};
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof(header));
    EXPECT_FALSE(CMinidumpFile::Parse(bytes, error));
    // A directory entry pointing a thread list past the end.
    header.numberOfStreams = 1;
    header.streamDirectoryRva = sizeof(header);
    Plenvo::minidump::Directory entry{Plenvo::minidump::kThreadListStream, {4, 0x7FFFFFFF}};
    bytes.assign(reinterpret_cast<const char*>(&header), sizeof(header));
    bytes.append(reinterpret_cast<const char*>(&entry), sizeof(entry));
    EXPECT_FALSE(CMinidumpFile::Parse(bytes, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
