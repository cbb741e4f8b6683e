// A program that the crash tests make crash in the ways a client can: it installs the crash
// capture as the client does, says where it will crash (thread id and the return address of
// the crashing frame) on its standard output, then crashes. Started again with "-dmp PATH" (as
// the capture restarts it) it writes its arguments to "restarted.txt" in its working folder.
#include "app/CrashCapture.h"
#include "platform/Paths.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

volatile int* volatile nowhere = nullptr;
volatile int stopRecursion = 0;

void Say(const char* key, unsigned long long value) {
    std::printf("%s=%llx\n", key, value);
    std::fflush(stdout);
}

void SayFrame() {
    Say("tid", static_cast<unsigned long long>(syscall(SYS_gettid)));
}

// The undefined-behaviour checker would stop the null write before it faults.
__attribute__((noinline, no_sanitize("undefined"))) void WriteNull() {
    Say("ret", reinterpret_cast<unsigned long long>(__builtin_return_address(0)));
    SayFrame();
    *nowhere = 1;
}

__attribute__((noinline, no_sanitize("undefined"))) void WriteNullQuietly() {
    *nowhere = 3;
}

__attribute__((noinline)) void Abort() {
    Say("ret", reinterpret_cast<unsigned long long>(__builtin_return_address(0)));
    SayFrame();
    std::abort();
}

// The undefined-behaviour checker would stop the division before the processor faults.
__attribute__((noinline, no_sanitize("undefined"))) int DivideByZero() {
    Say("ret", reinterpret_cast<unsigned long long>(__builtin_return_address(0)));
    SayFrame();
    // Both unknown to the compiler, which would otherwise turn 1 / x into a comparison.
    volatile int numerator = 7;
    volatile int zero = 0;
    return numerator / zero;
}

__attribute__((noinline)) void IllegalInstruction() {
    Say("ret", reinterpret_cast<unsigned long long>(__builtin_return_address(0)));
    SayFrame();
    __builtin_trap();
}

// A page of a mapping that lies past the end of its file: reading it raises SIGBUS.
__attribute__((noinline)) int ReadPastFileEnd() {
    const int fd = open("short.bin", O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || write(fd, "x", 1) != 1) {
        std::exit(4);
    }
    void* mapped = mmap(nullptr, 8192, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED) {
        std::exit(5);
    }
    Say("ret", reinterpret_cast<unsigned long long>(__builtin_return_address(0)));
    SayFrame();
    return static_cast<volatile char*>(mapped)[4096];
}

// A file that looks like a module but ends inside its first page, mapped two pages long: its
// program headers lie past the end of the file, where every read faults (SIGBUS).
void MapTruncatedModule() {
    Elf64_Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS64;
    header.e_phentsize = sizeof(Elf64_Phdr);
    header.e_phnum = 4;
    header.e_phoff = 6000;
    const int fd = open("truncated.so", O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || write(fd, &header, sizeof(header)) != static_cast<ssize_t>(sizeof(header))) {
        std::exit(4);
    }
    if (mmap(nullptr, 8192, PROT_READ, MAP_PRIVATE, fd, 0) == MAP_FAILED) {
        std::exit(5);
    }
    close(fd);
}

__attribute__((noinline)) int Recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth == 1) {
        Say("ret", reinterpret_cast<unsigned long long>(__builtin_return_address(0)));
        SayFrame();
    }
    if (stopRecursion) {
        return depth;
    }
    return Recurse(depth + 1) + frame[0];
}

// Set by the "handler" modes: the crash handler faults while it writes the dump.
std::atomic<bool> faultWhileWriting{false};

__attribute__((noinline)) void CallWriteNull() {
    WriteNull();
    std::printf("not reached\n");
}

} // namespace

extern "C" __attribute__((no_sanitize("undefined"))) void PlenvoFaultWhileWritingDump() {
    if (faultWhileWriting) {
        *nowhere = 2;
    }
}

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "-dmp") == 0) {
        std::ofstream out("restarted.txt");
        for (int i = 1; i < argc; ++i) {
            out << argv[i] << '\n';
        }
        return 0;
    }
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: %s null|truncated|abort|fpe|ill|bus|thread|twice|overflow|late-overflow|"
            "handler-null|handler-abort|wait DUMP\n",
            argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    std::atomic<bool> installed{false};
    // Started before the capture is installed, as the HTTP worker is.
    std::thread early([&] {
        while (!installed) {
            std::this_thread::yield();
        }
        if (mode == "overflow") {
            Recurse(0);
        }
        for (;;) {
            pause();
        }
    });
    early.detach();
    if (!Plenvo::InstallCrashCapture(argv[2], platform::ExecutablePath())) {
        return 3;
    }
    installed = true;
    if (mode == "null") {
        CallWriteNull();
    } else if (mode == "truncated") {
        MapTruncatedModule();
        CallWriteNull();
    } else if (mode == "abort") {
        Abort();
    } else if (mode == "fpe") {
        std::exit(DivideByZero());
    } else if (mode == "ill") {
        IllegalInstruction();
    } else if (mode == "bus") {
        std::exit(ReadPastFileEnd());
    } else if (mode == "thread") {
        std::thread second([] { CallWriteNull(); });
        second.join();
    } else if (mode == "twice") {
        // Two threads fault at the same moment: one writes the dump, the other waits in it.
        std::atomic<int> arrived{0};
        auto crash = [&] {
            SayFrame();
            ++arrived;
            while (arrived < 2) {
            }
            WriteNullQuietly();
        };
        std::thread first(crash);
        std::thread second(crash);
        first.join();
        second.join();
    } else if (mode == "late-overflow") {
        // Started after the capture was installed, as the upload thread is.
        std::thread late([] { Recurse(0); });
        late.join();
    } else if (mode == "handler-null") {
        faultWhileWriting = true;
        CallWriteNull();
    } else if (mode == "handler-abort") {
        faultWhileWriting = true;
        Abort();
    } else if (mode == "wait") {
        std::printf("ready\n");
        std::fflush(stdout);
    }
    for (;;) {
        pause();
    }
}
