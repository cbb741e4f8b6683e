#pragma once
// Writes a minidump of the running process from inside a signal handler: every buffer is fixed
// in size and made at start-up, files and memory are read and written by system calls only, and
// no lock is taken, so a crash inside the allocator or with any lock held still gets its dump.
#include "app/MinidumpFormat.h"

#include <cstddef>
#include <cstdint>
#include <elf.h>

namespace Plenvo {

// One thread as the dump shows it: the registers of the kernel's signal context.
struct CrashThreadState {
    int tid = 0;
    // False when the thread did not answer in time: listed without registers or stack.
    bool captured = false;
    std::uint64_t gregs[23] = {};
    bool hasFloatingPoint = false;
    std::uint8_t floatingPoint[512] = {};
};

struct CrashInfo {
    int signal = 0;
    int code = 0;
    std::uint64_t address = 0;
    // Index of the crashing thread in the thread array.
    std::size_t crashingThread = 0;
};

// Fills a thread state from the context a signal handler received.
void CaptureThreadState(CrashThreadState& state, int tid, const void* signalContext);

class CMinidumpWriter {
public:
    static constexpr std::size_t kMapsBytes = 2 * 1024 * 1024;
    static constexpr std::size_t kMaxMappings = 16384;
    static constexpr std::size_t kMaxModules = 1024;
    static constexpr std::size_t kStackBytes = 64 * 1024;
    static constexpr std::size_t kMaxThreads = 512;

    // At start-up: what does not change until the crash (system information).
    void Prepare();
    // In the handler: the whole dump into an open file. False when any write failed.
    bool Write(int fd, const CrashInfo& crash, const CrashThreadState* threads, std::size_t count);

private:
    struct Mapping {
        std::uint64_t start;
        std::uint64_t end;
        std::uint64_t offset;
        bool readable;
        std::uint32_t nameOffset;
        std::uint32_t nameLength;
    };
    struct ModuleEntry {
        std::uint64_t base;
        std::uint64_t end;
        std::uint32_t nameOffset;
        std::uint32_t nameLength;
        std::uint8_t buildId[64];
        std::uint32_t buildIdLength;
    };
    class Cursor;

    void ReadMaps();
    void ParseMaps();
    void FindModules();
    bool Readable(std::uint64_t address, std::uint64_t length) const;
    void ReadBuildId(ModuleEntry& module, const Elf64_Ehdr& header) const;
    void StackRange(std::uint64_t sp, std::uint64_t& start, std::uint64_t& length) const;
    bool WriteSystemInfo(Cursor& cursor, minidump::LocationDescriptor& where);
    bool WriteThreads(Cursor& cursor, const CrashThreadState* threads, std::size_t count,
                      std::size_t crashing, minidump::LocationDescriptor& list,
                      minidump::LocationDescriptor& crashingContext);
    bool WriteModules(Cursor& cursor, minidump::LocationDescriptor& where);
    bool WriteString(Cursor& cursor, const char* text, std::size_t length, std::uint32_t& rva);

    minidump::SystemInfo systemInfo_{};
    char osVersion_[512] = {};
    std::size_t osVersionLength_ = 0;

    char maps_[kMapsBytes];
    std::size_t mapsLength_ = 0;
    Mapping mappings_[kMaxMappings];
    std::size_t mappingCount_ = 0;
    ModuleEntry modules_[kMaxModules];
    std::size_t moduleCount_ = 0;
    char commandLine_[8192];
    std::size_t commandLineLength_ = 0;
    char16_t wide_[4096];
    minidump::Thread threadRecords_[kMaxThreads];
    minidump::Module moduleRecords_[kMaxModules];
    minidump::ContextAmd64 context_{};
};

} // namespace Plenvo
