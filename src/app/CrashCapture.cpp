#include "app/CrashCapture.h"

#include "app/MinidumpWriter.h"
#include "app/ThreadSignalStacks.h"
#include "platform/ProcessRestart.h"
#include "platform/SignalStack.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/syscall.h>
#include <sys/ucontext.h>
#include <unistd.h>

// Defined only by the crash tests' child, to fault inside the handler while it writes the dump.
extern "C" __attribute__((weak)) void PlenvoFaultWhileWritingDump();

namespace Plenvo {

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr std::size_t kMaxThreads = CMinidumpWriter::kMaxThreads;
constexpr std::size_t kMaxArguments = 16;
// How long the crashing thread waits for the others to record their registers.
constexpr long kSnapshotWaitMs = 2000;

enum SlotPhase : int { kWaiting, kRecording, kRecorded, kClosed };

struct ThreadSlot {
    std::atomic<int> tid{0};
    std::atomic<int> phase{kWaiting};
};

// Made once at installation and never freed: the handler may run at any moment after it.
struct CaptureState {
    char dumpPath[4096] = {};
    char arguments[16384] = {};
    char* argv[kMaxArguments + 1] = {};
    bool restart = true;
    int snapshotSignal = 0;
    std::atomic<int> dumper{0};
    std::atomic<std::size_t> slotCount{0};
    ThreadSlot slots[kMaxThreads];
    CrashThreadState threads[kMaxThreads];
    CMinidumpWriter writer;
};

CaptureState* state = nullptr;

int CurrentTid() {
    return static_cast<int>(syscall(SYS_gettid));
}

[[noreturn]] void ExitNow(int signal) {
    syscall(SYS_exit_group, 128 + signal);
    for (;;) {
    }
}

// Holds the thread here until the dumping thread ends the process.
[[noreturn]] void StayStill() {
    for (;;) {
        pause();
    }
}

long MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

// Records the calling thread's context in the slot that the dumping thread reserved for it;
// false when there is none (yet), or the dumping thread stopped waiting for it.
bool Answer(int tid, const void* context) {
    const std::size_t count = state->slotCount.load();
    for (std::size_t i = 0; i < count; ++i) {
        int waiting = kWaiting;
        if (state->slots[i].tid.load() == tid &&
            state->slots[i].phase.compare_exchange_strong(waiting, kRecording)) {
            CaptureThreadState(state->threads[i], tid, context);
            state->slots[i].phase.store(kRecorded);
            return true;
        }
    }
    return false;
}

void OnSnapshotSignal(int, siginfo_t*, void* context) {
    if (state->dumper.load() == 0) {
        return; // Not ours to answer.
    }
    Answer(CurrentTid(), context);
    StayStill();
}

std::size_t ReadTaskFile(int tid, const char* name, char* buffer, std::size_t capacity) {
    char path[64] = "/proc/self/task/";
    char digits[16];
    int n = 0;
    for (int v = tid; v > 0 && n < 15; v /= 10) {
        digits[n++] = static_cast<char>('0' + v % 10);
    }
    std::size_t at = std::strlen(path);
    while (n > 0) {
        path[at++] = digits[--n];
    }
    path[at++] = '/';
    for (const char* p = name; *p && at + 1 < sizeof(path); ++p) {
        path[at++] = *p;
    }
    path[at] = 0;
    const int fd = static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, O_RDONLY | O_CLOEXEC));
    if (fd < 0) {
        return 0;
    }
    const long got = syscall(SYS_read, fd, buffer, capacity - 1);
    syscall(SYS_close, fd);
    const std::size_t length = got > 0 ? static_cast<std::size_t>(got) : 0;
    buffer[length] = 0;
    return length;
}

std::uint64_t ParseNumber(const char*& p, int base) {
    std::uint64_t value = 0;
    for (;; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9') {
            digit = *p - '0';
        } else if (base == 16 && *p >= 'a' && *p <= 'f') {
            digit = *p - 'a' + 10;
        } else {
            return value;
        }
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
}

// True when the thread blocks the snapshot signal (threads that libraries start often block
// every signal): it could never answer.
bool BlocksSnapshot(int tid) {
    char status[4096];
    ReadTaskFile(tid, "status", status, sizeof(status));
    const char* blocked = std::strstr(status, "SigBlk:");
    if (!blocked) {
        return false;
    }
    blocked += 7;
    while (*blocked == ' ' || *blocked == '\t') {
        ++blocked;
    }
    const std::uint64_t mask = ParseNumber(blocked, 16);
    return (mask >> (state->snapshotSignal - 1)) & 1;
}

// A thread that cannot answer but waits in a system call still shows its stack and instruction
// pointers in /proc ("number arguments... sp pc").
void StateFromSyscall(CrashThreadState& thread) {
    char line[512];
    if (ReadTaskFile(thread.tid, "syscall", line, sizeof(line)) == 0 || line[0] < '0' ||
        line[0] > '9') {
        return;
    }
    std::uint64_t fields[9] = {};
    const char* p = line;
    int count = 0;
    while (*p && count < 9) {
        while (*p == ' ') {
            ++p;
        }
        if (p[0] == '0' && p[1] == 'x') {
            p += 2;
            fields[count++] = ParseNumber(p, 16);
        } else if (*p >= '0' && *p <= '9') {
            fields[count++] = ParseNumber(p, 10);
        } else {
            break;
        }
    }
    if (count == 9) {
        thread.gregs[REG_RSP] = fields[7];
        thread.gregs[REG_RIP] = fields[8];
        thread.captured = true;
    }
}

// Reserves a slot for every other thread and asks it for its registers.
void CollectOtherThreads(int self) {
    struct LinuxDirent64 {
        std::uint64_t inode;
        std::int64_t offset;
        unsigned short length;
        unsigned char type;
        char name[1];
    };
    const int fd = static_cast<int>(
        syscall(SYS_openat, AT_FDCWD, "/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd < 0) {
        return;
    }
    const int pid = static_cast<int>(syscall(SYS_getpid));
    alignas(8) char buffer[4096];
    for (;;) {
        const long got = syscall(SYS_getdents64, fd, buffer, sizeof(buffer));
        if (got <= 0) {
            break;
        }
        for (long at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + at);
            at += entry->length;
            int tid = 0;
            const char* p = entry->name;
            if (*p < '0' || *p > '9') {
                continue;
            }
            for (; *p >= '0' && *p <= '9'; ++p) {
                tid = tid * 10 + (*p - '0');
            }
            const std::size_t index = state->slotCount.load();
            if (tid == self || index >= kMaxThreads) {
                continue;
            }
            state->threads[index] = CrashThreadState{};
            state->threads[index].tid = tid;
            state->slots[index].tid.store(tid);
            state->slots[index].phase.store(kWaiting);
            state->slotCount.store(index + 1);
            // A thread that blocks the signal while it sleeps in a system call (library threads
            // often block every signal) is read from /proc at once. One that blocks it only for
            // a moment (a thread being started) is asked like the others; the signal waits.
            if (BlocksSnapshot(tid)) {
                StateFromSyscall(state->threads[index]);
                if (state->threads[index].captured) {
                    state->slots[index].phase.store(kClosed);
                    continue;
                }
            }
            if (syscall(SYS_tgkill, pid, tid, state->snapshotSignal) != 0) {
                // Ended meanwhile: nothing to list.
                state->slots[index].tid.store(0);
                state->slotCount.store(index);
            }
        }
    }
    syscall(SYS_close, fd);
    const long deadline = MonotonicMs() + kSnapshotWaitMs;
    for (;;) {
        bool all = true;
        const long now = MonotonicMs();
        const bool late = now >= deadline;
        // A thread that began recording but never finished (stopped, or held in the kernel)
        // must not keep the dump from being written: its registers are left as they are.
        if (now >= deadline + kSnapshotWaitMs) {
            break;
        }
        const std::size_t count = state->slotCount.load();
        for (std::size_t i = 1; i < count; ++i) {
            int waiting = kWaiting;
            // A thread that has not begun by the deadline is left out; one that has is awaited.
            if (late && state->slots[i].phase.compare_exchange_strong(waiting, kClosed)) {
                StateFromSyscall(state->threads[i]);
                continue;
            }
            all = all && state->slots[i].phase.load() != kRecording &&
                  state->slots[i].phase.load() != kWaiting;
        }
        if (all) {
            break;
        }
        const timespec step{0, 1000000};
        nanosleep(&step, nullptr);
    }
}

bool WriteDump(const CrashInfo& crash) {
    // One file only: the previous dump goes first.
    syscall(SYS_unlink, state->dumpPath);
    const int fd = static_cast<int>(syscall(SYS_openat, AT_FDCWD, state->dumpPath,
                                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (fd < 0) {
        return false;
    }
    if (&PlenvoFaultWhileWritingDump) {
        PlenvoFaultWhileWritingDump();
    }
    const bool written = state->writer.Write(fd, crash, state->threads, state->slotCount.load());
    return syscall(SYS_close, fd) == 0 && written;
}

void StartSuccessor() {
    if (!state->restart || !state->argv[0]) {
        return;
    }
    // _Fork runs no fork handlers, so a crash with a library lock held cannot hang here.
    const pid_t child = _Fork();
    if (child != 0) {
        return;
    }
    sigset_t none;
    sigemptyset(&none);
    syscall(SYS_rt_sigprocmask, SIG_SETMASK, &none, nullptr, sizeof(std::uint64_t));
    // Nothing of the crashed process is handed on but the standard streams.
    syscall(SYS_close_range, 3u, ~0u, 0u);
    execv(state->argv[0], state->argv);
    syscall(SYS_exit_group, 127);
}

void OnFatalSignal(int signal, siginfo_t* info, void* context) {
    const int self = CurrentTid();
    int expected = 0;
    if (!state->dumper.compare_exchange_strong(expected, self)) {
        if (expected == self) {
            // A fault inside this handler: end without trying again.
            ExitNow(signal);
        }
        // Another thread is writing the dump; this thread is part of it once its slot exists.
        const long deadline = MonotonicMs() + kSnapshotWaitMs;
        while (!Answer(self, context) && MonotonicMs() < deadline) {
            const timespec step{0, 1000000};
            nanosleep(&step, nullptr);
        }
        StayStill();
    }
    state->slots[0].tid.store(self);
    state->slots[0].phase.store(kRecorded);
    CaptureThreadState(state->threads[0], self, context);
    state->slotCount.store(1);
    CollectOtherThreads(self);

    CrashInfo crash;
    crash.signal = signal;
    crash.code = info ? info->si_code : 0;
    // Only a fault the kernel raised carries an address; a sent signal carries the sender.
    crash.address = info && info->si_code > 0 ? reinterpret_cast<std::uint64_t>(info->si_addr) : 0;
    crash.crashingThread = 0;
    const bool written = WriteDump(crash);
    StartSuccessor();
    if (written) {
        ExitNow(signal);
    }
    // No dump: the system's own handling of the signal follows.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigaction(signal, &fallback, nullptr);
    syscall(SYS_tgkill, syscall(SYS_getpid), self, signal);
}

bool PrepareArguments(const std::string& dumpPath, const std::string& executable) {
    const auto arguments =
        platform::SplitCommandLine(platform::RestartCommandLine(executable, dumpPath));
    std::size_t used = 0;
    for (std::size_t i = 0; i < arguments.size() && i < kMaxArguments; ++i) {
        if (used + arguments[i].size() + 1 > sizeof(state->arguments)) {
            return false;
        }
        std::memcpy(state->arguments + used, arguments[i].c_str(), arguments[i].size() + 1);
        state->argv[i] = state->arguments + used;
        used += arguments[i].size() + 1;
    }
    return !arguments.empty();
}

} // namespace

bool InstallCrashCapture(const std::string& dumpPath, const std::string& executable, bool restart) {
    if (state) {
        return true;
    }
    if (dumpPath.size() + 1 > sizeof(CaptureState::dumpPath)) {
        return false;
    }
    // Default-initialised: the large buffers stay untouched (and cost no memory) until a crash.
    auto prepared = std::make_unique_for_overwrite<CaptureState>();
    state = prepared.get();
    std::memcpy(state->dumpPath, dumpPath.c_str(), dumpPath.size() + 1);
    state->restart = restart && PrepareArguments(dumpPath, executable);
    state->writer.Prepare();
    state->snapshotSignal = SIGRTMIN + 4;
    // This thread's stack now; every thread started since the program began has its own.
    platform::EnsureSignalStack();
    ThreadSignalStacksLinked();

    struct sigaction snapshot {};
    snapshot.sa_sigaction = &OnSnapshotSignal;
    snapshot.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&snapshot.sa_mask);
    sigaction(state->snapshotSignal, &snapshot, nullptr);

    struct sigaction fatal {};
    fatal.sa_sigaction = &OnFatalSignal;
    fatal.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&fatal.sa_mask);
    // The crashing thread is not interrupted to take its own snapshot.
    sigaddset(&fatal.sa_mask, state->snapshotSignal);
    for (const int signal : kFatalSignals) {
        sigaction(signal, &fatal, nullptr);
    }
    (void)prepared.release(); // lives as long as the process
    return true;
}

} // namespace Plenvo
