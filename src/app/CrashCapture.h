#pragma once
// Crash capture: handlers for the fatal signals (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT) that
// write "MyDump.dmp" in the minidump format, start a fresh copy of the program with
// "-dmp" and the dump's path, and end the process.
//
// Other threads' registers are taken in-process: the crashing thread lists /proc/self/task and
// sends each thread a real-time signal whose handler records its signal context and then stays
// still until the process ends. This needs no ptrace permission (which Yama, containers and
// seccomp profiles often withhold) and no second process sharing the address space; a thread
// that does not answer within a bounded wait is listed without registers.
#include <string>

namespace Plenvo {

inline constexpr const char* kDumpFileName = "MyDump.dmp";

// Installs the handlers once per process (later calls do nothing). Everything the handler needs
// (the dump path, the successor's argument vector, the buffers, system information, this
// thread's alternate stack) is prepared here, so the handler neither allocates nor locks.
// restart: false keeps the crashed process from starting a successor.
bool InstallCrashCapture(const std::string& dumpPath, const std::string& executable,
                         bool restart = true);

} // namespace Plenvo
