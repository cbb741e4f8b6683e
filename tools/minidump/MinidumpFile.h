#pragma once
// Reads a minidump back: the header, the stream directory and the streams the client writes
// (system information, exception, thread list with registers and stack bytes, module list with
// build ids, the Linux maps and command line). Every offset is checked against the file, so a
// damaged or hostile dump gives an error, never a read outside it.
#include "app/MinidumpFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Plenvo {

struct DumpThread {
    std::uint32_t tid = 0;
    minidump::ContextAmd64 context{};
    std::uint64_t stackStart = 0;
    std::string stack;

    // True when the stack bytes hold this 64-bit value at an 8-byte aligned place.
    bool StackHolds(std::uint64_t value) const;
};

struct DumpModule {
    std::uint64_t base = 0;
    std::uint32_t size = 0;
    std::string name;
    std::uint32_t cvSignature = 0;
    std::string buildId; // raw bytes
    std::string BuildIdHex() const;
};

struct DumpException {
    std::uint32_t tid = 0;
    std::uint32_t code = 0;
    std::uint32_t flags = 0;
    std::uint64_t address = 0;
    minidump::ContextAmd64 context{};
};

class CMinidumpFile {
public:
    // Empty with the reason in error when the file is not a readable minidump.
    static std::optional<CMinidumpFile> Load(const std::string& path, std::string& error);
    static std::optional<CMinidumpFile> Parse(std::string bytes, std::string& error);

    const minidump::Header& Header() const { return header_; }
    const std::vector<minidump::Directory>& Streams() const { return streams_; }
    bool HasStream(std::uint32_t type) const;
    const minidump::SystemInfo& SystemInfo() const { return systemInfo_; }
    const std::string& OsVersion() const { return osVersion_; }
    const std::optional<DumpException>& Exception() const { return exception_; }
    const std::vector<DumpThread>& Threads() const { return threads_; }
    const std::vector<DumpModule>& Modules() const { return modules_; }
    const std::string& Maps() const { return maps_; }
    const std::string& CommandLine() const { return commandLine_; }

    const DumpThread* Thread(std::uint32_t tid) const;
    const DumpModule* ModuleAt(std::uint64_t address) const;

private:
    bool Read(std::uint32_t rva, void* out, std::size_t size) const;
    bool Bytes(const minidump::LocationDescriptor& where, std::string& out) const;
    bool String(std::uint32_t rva, std::string& out) const;
    bool ReadContext(const minidump::LocationDescriptor& where, minidump::ContextAmd64& out) const;
    bool ParseStreams(std::string& error);

    std::string bytes_;
    minidump::Header header_{};
    std::vector<minidump::Directory> streams_;
    minidump::SystemInfo systemInfo_{};
    std::string osVersion_;
    std::optional<DumpException> exception_;
    std::vector<DumpThread> threads_;
    std::vector<DumpModule> modules_;
    std::string maps_;
    std::string commandLine_;
};

} // namespace Plenvo
