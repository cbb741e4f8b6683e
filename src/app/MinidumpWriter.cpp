#include "app/MinidumpWriter.h"

#include <cerrno>
#include <cpuid.h>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/utsname.h>
#include <ucontext.h>
#include <unistd.h>

namespace Plenvo {

namespace {

// Raw system calls: the C library's wrappers may be intercepted (sanitizers check the buffers
// they pass, and another thread's stack holds poisoned bytes by design).
bool WriteAllAt(int fd, const void* data, std::size_t size, std::uint64_t offset) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const long written = syscall(SYS_pwrite64, fd, bytes, size, offset);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

// Memory of the crashed process that another running thread may unmap at any moment (and that
// a sanitizer's shadow may not cover) is copied by the kernel, which reports a fault as an error
// instead of raising a second signal inside the handler.
bool CopyOut(void* to, std::uint64_t from, std::size_t length) {
    iovec local{to, length};
    iovec remote{reinterpret_cast<void*>(from), length};
    const long got =
        syscall(SYS_process_vm_readv, syscall(SYS_getpid), &local, 1ul, &remote, 1ul, 0ul);
    if (got == static_cast<long>(length)) {
        return true;
    }
    if (got >= 0 || (errno != EPERM && errno != ENOSYS && errno != EACCES)) {
        return false;
    }
    // Where that call is refused (a restricted container): writing from memory that faults into
    // a pipe fails with EFAULT.
    int fds[2];
    if (syscall(SYS_pipe2, fds, O_CLOEXEC) != 0) {
        return false;
    }
    char* out = static_cast<char*>(to);
    bool copied = true;
    while (copied && length > 0) {
        const std::size_t chunk = length < 4096 ? length : 4096;
        copied = syscall(SYS_write, fds[1], reinterpret_cast<const void*>(from), chunk) ==
                     static_cast<long>(chunk) &&
                 syscall(SYS_read, fds[0], out, chunk) == static_cast<long>(chunk);
        from += chunk;
        out += chunk;
        length -= chunk;
    }
    syscall(SYS_close, fds[0]);
    syscall(SYS_close, fds[1]);
    return copied;
}

std::size_t ReadWholeFile(const char* path, char* buffer, std::size_t capacity) {
    const int fd = static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, O_RDONLY | O_CLOEXEC));
    if (fd < 0) {
        return 0;
    }
    std::size_t length = 0;
    while (length < capacity) {
        const long got = syscall(SYS_read, fd, buffer + length, capacity - length);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        length += static_cast<std::size_t>(got);
    }
    syscall(SYS_close, fd);
    return length;
}

std::uint64_t ParseHex(const char*& p, const char* end) {
    std::uint64_t value = 0;
    for (; p < end; ++p) {
        const char c = *p;
        unsigned digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else {
            break;
        }
        value = value * 16 + digit;
    }
    return value;
}

std::size_t Utf8ToUtf16(const char* text, std::size_t length, char16_t* out, std::size_t capacity) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < length && n + 2 < capacity;) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::uint32_t code = 0xFFFD;
        std::size_t extra = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1F;
            extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0F;
            extra = 2;
        } else if ((lead & 0xF8) == 0xF0) {
            code = lead & 0x07;
            extra = 3;
        }
        ++i;
        for (std::size_t k = 0; k < extra; ++k, ++i) {
            if (i >= length || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
                code = 0xFFFD;
                break;
            }
            code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        }
        if (code >= 0x10000 && code <= 0x10FFFF) {
            code -= 0x10000;
            out[n++] = static_cast<char16_t>(0xD800 + (code >> 10));
            out[n++] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out[n++] = static_cast<char16_t>(code > 0xFFFF ? 0xFFFD : code);
        }
    }
    return n;
}

} // namespace

// Appends records one after another; the header and directory go to the front at the end.
class CMinidumpWriter::Cursor {
public:
    Cursor(int fd, std::uint32_t start) : fd_(fd), position_(start) {}

    bool Append(const void* data, std::size_t size, minidump::LocationDescriptor& where) {
        position_ = (position_ + 7u) & ~7u;
        where.rva = position_;
        where.dataSize = static_cast<std::uint32_t>(size);
        if (!WriteAllAt(fd_, data, size, position_)) {
            return false;
        }
        position_ += static_cast<std::uint32_t>(size);
        return true;
    }
    // A count followed straight by its records, as the list streams are laid out.
    bool AppendList(std::uint32_t count, const void* records, std::size_t size,
                    minidump::LocationDescriptor& where) {
        position_ = (position_ + 7u) & ~7u;
        where.rva = position_;
        where.dataSize = static_cast<std::uint32_t>(4 + size);
        if (!WriteAllAt(fd_, &count, 4, position_) ||
            !WriteAllAt(fd_, records, size, position_ + 4)) {
            return false;
        }
        position_ += where.dataSize;
        return true;
    }
    bool At(std::uint32_t offset, const void* data, std::size_t size) {
        return WriteAllAt(fd_, data, size, offset);
    }

private:
    int fd_;
    std::uint32_t position_;
};

void CaptureThreadState(CrashThreadState& state, int tid, const void* signalContext) {
    const auto* context = static_cast<const ucontext_t*>(signalContext);
    state.tid = tid;
    for (int i = 0; i < NGREG && i < 23; ++i) {
        state.gregs[i] = static_cast<std::uint64_t>(context->uc_mcontext.gregs[i]);
    }
    state.hasFloatingPoint = context->uc_mcontext.fpregs != nullptr;
    if (state.hasFloatingPoint) {
        std::memcpy(state.floatingPoint, context->uc_mcontext.fpregs, sizeof(state.floatingPoint));
    }
    state.captured = true;
}

void CMinidumpWriter::Prepare() {
    systemInfo_.processorArchitecture = minidump::kArchitectureAmd64;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx)) {
        systemInfo_.vendorId[0] = ebx;
        systemInfo_.vendorId[1] = edx;
        systemInfo_.vendorId[2] = ecx;
    }
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        unsigned family = (eax >> 8) & 0xF;
        unsigned model = (eax >> 4) & 0xF;
        if (family == 0xF) {
            family += (eax >> 20) & 0xFF;
        }
        if (family >= 6) {
            model += ((eax >> 16) & 0xF) << 4;
        }
        systemInfo_.processorLevel = static_cast<std::uint16_t>(family);
        systemInfo_.processorRevision = static_cast<std::uint16_t>((model << 8) | (eax & 0xF));
        systemInfo_.versionInformation = eax;
        systemInfo_.featureInformation = edx;
    }
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    systemInfo_.numberOfProcessors =
        static_cast<std::uint8_t>(processors > 255 ? 255 : (processors < 1 ? 1 : processors));
    systemInfo_.platformId = minidump::kPlatformLinux;
    utsname name{};
    if (uname(&name) == 0) {
        const char* p = name.release;
        const char* end = p + std::strlen(p);
        std::uint32_t numbers[3] = {};
        for (int i = 0; i < 3 && p < end; ++i) {
            while (p < end && *p >= '0' && *p <= '9') {
                numbers[i] = numbers[i] * 10 + static_cast<std::uint32_t>(*p++ - '0');
            }
            if (p < end && *p == '.') {
                ++p;
            } else {
                break;
            }
        }
        systemInfo_.majorVersion = numbers[0];
        systemInfo_.minorVersion = numbers[1];
        systemInfo_.buildNumber = numbers[2];
        const char* parts[] = {name.sysname, name.release, name.version, name.machine};
        for (const char* part : parts) {
            const std::size_t length = std::strlen(part);
            if (osVersionLength_ + length + 1 >= sizeof(osVersion_)) {
                break;
            }
            if (osVersionLength_ > 0) {
                osVersion_[osVersionLength_++] = ' ';
            }
            std::memcpy(osVersion_ + osVersionLength_, part, length);
            osVersionLength_ += length;
        }
    }
}

void CMinidumpWriter::ReadMaps() {
    mapsLength_ = ReadWholeFile("/proc/self/maps", maps_, sizeof(maps_));
    commandLineLength_ = ReadWholeFile("/proc/self/cmdline", commandLine_, sizeof(commandLine_));
    ParseMaps();
    FindModules();
}

void CMinidumpWriter::ParseMaps() {
    mappingCount_ = 0;
    const char* p = maps_;
    const char* end = maps_ + mapsLength_;
    while (p < end && mappingCount_ < kMaxMappings) {
        const char* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\n') {
            ++lineEnd;
        }
        // start-end perms offset dev inode [name]
        Mapping m{};
        m.start = ParseHex(p, lineEnd);
        if (p < lineEnd && *p == '-') {
            ++p;
        }
        m.end = ParseHex(p, lineEnd);
        if (p < lineEnd) {
            ++p;
        }
        m.readable = p < lineEnd && *p == 'r';
        for (int field = 0; field < 4 && p < lineEnd; ++field) {
            while (p < lineEnd && *p != ' ') {
                ++p;
            }
            while (p < lineEnd && *p == ' ') {
                ++p;
            }
            if (field == 0) {
                const char* q = p;
                m.offset = ParseHex(q, lineEnd);
            }
        }
        m.nameOffset = static_cast<std::uint32_t>(p - maps_);
        m.nameLength = static_cast<std::uint32_t>(lineEnd - p);
        // Reading the kernel's variable page can fault even though it is listed readable.
        if (m.nameLength == 6 && std::memcmp(p, "[vvar]", 6) == 0) {
            m.readable = false;
        }
        if (m.end > m.start) {
            mappings_[mappingCount_++] = m;
        }
        p = lineEnd + 1;
    }
}

bool CMinidumpWriter::Readable(std::uint64_t address, std::uint64_t length) const {
    while (length > 0) {
        const Mapping* found = nullptr;
        for (std::size_t i = 0; i < mappingCount_; ++i) {
            if (mappings_[i].readable && mappings_[i].start <= address &&
                address < mappings_[i].end) {
                found = &mappings_[i];
                break;
            }
        }
        if (!found) {
            return false;
        }
        const std::uint64_t here = found->end - address;
        if (here >= length) {
            return true;
        }
        address += here;
        length -= here;
    }
    return true;
}

void CMinidumpWriter::FindModules() {
    moduleCount_ = 0;
    for (std::size_t i = 0; i < mappingCount_ && moduleCount_ < kMaxModules; ++i) {
        const Mapping& m = mappings_[i];
        Elf64_Ehdr header;
        if (m.nameLength == 0 || maps_[m.nameOffset] != '/' || m.offset != 0 || !m.readable ||
            !Readable(m.start, sizeof(header)) || !CopyOut(&header, m.start, sizeof(header)) ||
            std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) {
            continue;
        }
        ModuleEntry& module = modules_[moduleCount_];
        module.base = m.start;
        module.end = m.end;
        module.nameOffset = m.nameOffset;
        module.nameLength = m.nameLength;
        for (std::size_t k = i + 1; k < mappingCount_; ++k) {
            const Mapping& next = mappings_[k];
            if (next.nameLength != m.nameLength ||
                std::memcmp(maps_ + next.nameOffset, maps_ + m.nameOffset, m.nameLength) != 0) {
                break;
            }
            module.end = next.end;
        }
        ReadBuildId(module, header);
        ++moduleCount_;
    }
}

void CMinidumpWriter::ReadBuildId(ModuleEntry& module, const Elf64_Ehdr& header) const {
    module.buildIdLength = 0;
    if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr)) {
        return;
    }
    const std::uint64_t table = module.base + header.e_phoff;
    const auto programHeader = [&](unsigned i, Elf64_Phdr& out) {
        return CopyOut(&out, table + std::uint64_t{i} * sizeof(Elf64_Phdr), sizeof(out));
    };
    std::uint64_t bias = module.base;
    Elf64_Phdr entry;
    for (unsigned i = 0; i < header.e_phnum && programHeader(i, entry); ++i) {
        if (entry.p_type == PT_LOAD) {
            bias = module.base - (entry.p_vaddr & ~std::uint64_t{0xFFF});
            break;
        }
    }
    for (unsigned i = 0; i < header.e_phnum && programHeader(i, entry); ++i) {
        if (entry.p_type != PT_NOTE) {
            continue;
        }
        std::uint64_t note = bias + entry.p_vaddr;
        const std::uint64_t notesEnd = note + entry.p_memsz;
        Elf64_Nhdr noteHeader;
        while (note + sizeof(noteHeader) <= notesEnd &&
               CopyOut(&noteHeader, note, sizeof(noteHeader))) {
            const std::uint64_t name = note + sizeof(noteHeader);
            const std::uint64_t desc = name + ((noteHeader.n_namesz + 3u) & ~3u);
            const std::uint64_t next = desc + ((noteHeader.n_descsz + 3u) & ~3u);
            if (next > notesEnd) {
                break;
            }
            char owner[4];
            if (noteHeader.n_type == NT_GNU_BUILD_ID && noteHeader.n_namesz == 4 &&
                noteHeader.n_descsz <= sizeof(module.buildId) &&
                CopyOut(owner, name, sizeof(owner)) && std::memcmp(owner, "GNU", 4) == 0 &&
                CopyOut(module.buildId, desc, noteHeader.n_descsz)) {
                module.buildIdLength = noteHeader.n_descsz;
                return;
            }
            note = next;
        }
    }
}

void CMinidumpWriter::StackRange(std::uint64_t sp, std::uint64_t& start,
                                 std::uint64_t& length) const {
    start = 0;
    length = 0;
    const Mapping* stack = nullptr;
    for (std::size_t i = 0; i < mappingCount_; ++i) {
        const Mapping& m = mappings_[i];
        if (m.readable && m.start <= sp && sp < m.end) {
            stack = &m;
            break;
        }
    }
    if (!stack) {
        // A thread that overflowed its stack stands just below it: take the stack above.
        for (std::size_t i = 0; i < mappingCount_; ++i) {
            const Mapping& m = mappings_[i];
            if (m.readable && m.start > sp && m.start - sp <= kStackBytes) {
                stack = &m;
                sp = m.start;
                break;
            }
        }
    }
    if (!stack) {
        return;
    }
    // The red zone below the stack pointer belongs to the running frame.
    std::uint64_t from = sp >= 128 ? (sp - 128) & ~std::uint64_t{15} : 0;
    if (from < stack->start) {
        from = stack->start;
    }
    const std::uint64_t available = stack->end - from;
    start = from;
    length = available < kStackBytes ? available : kStackBytes;
}

bool CMinidumpWriter::WriteString(Cursor& cursor, const char* text, std::size_t length,
                                  std::uint32_t& rva) {
    // Length in bytes, the UTF-16 text, a terminating zero.
    const std::size_t units = Utf8ToUtf16(text, length, wide_ + 2, sizeof(wide_) / 2 - 3);
    const std::uint32_t bytes = static_cast<std::uint32_t>(units * 2);
    std::memcpy(wide_, &bytes, sizeof(bytes));
    wide_[2 + units] = 0;
    minidump::LocationDescriptor where{};
    if (!cursor.Append(wide_, 4 + bytes + 2, where)) {
        return false;
    }
    rva = where.rva;
    return true;
}

bool CMinidumpWriter::WriteSystemInfo(Cursor& cursor, minidump::LocationDescriptor& where) {
    if (!WriteString(cursor, osVersion_, osVersionLength_, systemInfo_.csdVersionRva)) {
        return false;
    }
    return cursor.Append(&systemInfo_, sizeof(systemInfo_), where);
}

bool CMinidumpWriter::WriteThreads(Cursor& cursor, const CrashThreadState* threads,
                                   std::size_t count, std::size_t crashing,
                                   minidump::LocationDescriptor& list,
                                   minidump::LocationDescriptor& crashingContext) {
    if (count > kMaxThreads) {
        count = kMaxThreads;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const CrashThreadState& thread = threads[i];
        minidump::Thread& record = threadRecords_[i];
        record = minidump::Thread{};
        record.threadId = static_cast<std::uint32_t>(thread.tid);
        context_ = minidump::ContextAmd64{};
        context_.contextFlags = minidump::kContextAmd64Full;
        if (thread.captured) {
            const std::uint64_t* g = thread.gregs;
            context_.r8 = g[REG_R8];
            context_.r9 = g[REG_R9];
            context_.r10 = g[REG_R10];
            context_.r11 = g[REG_R11];
            context_.r12 = g[REG_R12];
            context_.r13 = g[REG_R13];
            context_.r14 = g[REG_R14];
            context_.r15 = g[REG_R15];
            context_.rdi = g[REG_RDI];
            context_.rsi = g[REG_RSI];
            context_.rbp = g[REG_RBP];
            context_.rbx = g[REG_RBX];
            context_.rdx = g[REG_RDX];
            context_.rax = g[REG_RAX];
            context_.rcx = g[REG_RCX];
            context_.rsp = g[REG_RSP];
            context_.rip = g[REG_RIP];
            context_.eflags = static_cast<std::uint32_t>(g[REG_EFL]);
            // cs, gs and fs share one word, lowest first.
            context_.cs = static_cast<std::uint16_t>(g[REG_CSGSFS] & 0xFFFF);
            context_.gs = static_cast<std::uint16_t>((g[REG_CSGSFS] >> 16) & 0xFFFF);
            context_.fs = static_cast<std::uint16_t>((g[REG_CSGSFS] >> 32) & 0xFFFF);
            if (thread.hasFloatingPoint) {
                std::memcpy(context_.fltSave, thread.floatingPoint, sizeof(context_.fltSave));
                std::memcpy(&context_.mxCsr, thread.floatingPoint + 24, sizeof(context_.mxCsr));
            }
            std::uint64_t start = 0;
            std::uint64_t length = 0;
            StackRange(context_.rsp, start, length);
            if (length > 0) {
                minidump::LocationDescriptor stack{};
                if (cursor.Append(reinterpret_cast<const void*>(start), length, stack)) {
                    record.stack.startOfMemoryRange = start;
                    record.stack.memory = stack;
                } else if (errno != EFAULT) {
                    return false;
                }
                // EFAULT: the thread ended and its stack went while the dump was written; the
                // thread stays listed without it.
            }
        }
        if (!cursor.Append(&context_, sizeof(context_), record.threadContext)) {
            return false;
        }
        if (i == crashing) {
            crashingContext = record.threadContext;
        }
    }
    return cursor.AppendList(static_cast<std::uint32_t>(count), threadRecords_,
                             count * sizeof(minidump::Thread), list);
}

bool CMinidumpWriter::WriteModules(Cursor& cursor, minidump::LocationDescriptor& where) {
    for (std::size_t i = 0; i < moduleCount_; ++i) {
        const ModuleEntry& module = modules_[i];
        minidump::Module& record = moduleRecords_[i];
        record = minidump::Module{};
        record.baseOfImage = module.base;
        record.sizeOfImage = static_cast<std::uint32_t>(module.end - module.base);
        if (!WriteString(cursor, maps_ + module.nameOffset, module.nameLength,
                         record.moduleNameRva)) {
            return false;
        }
        std::uint8_t codeView[4 + sizeof(module.buildId)];
        std::memcpy(codeView, &minidump::kCvSignatureElf, 4);
        std::memcpy(codeView + 4, module.buildId, module.buildIdLength);
        if (!cursor.Append(codeView, 4 + module.buildIdLength, record.cvRecord)) {
            return false;
        }
    }
    return cursor.AppendList(static_cast<std::uint32_t>(moduleCount_), moduleRecords_,
                             moduleCount_ * sizeof(minidump::Module), where);
}

bool CMinidumpWriter::Write(int fd, const CrashInfo& crash, const CrashThreadState* threads,
                            std::size_t count) {
    ReadMaps();
    constexpr std::uint32_t kStreams = 6;
    minidump::Directory directory[kStreams] = {};
    Cursor cursor(fd, sizeof(minidump::Header) + sizeof(directory));

    directory[0].streamType = minidump::kSystemInfoStream;
    if (!WriteSystemInfo(cursor, directory[0].location)) {
        return false;
    }
    minidump::LocationDescriptor crashingContext{};
    directory[1].streamType = minidump::kThreadListStream;
    if (!WriteThreads(cursor, threads, count, crash.crashingThread, directory[1].location,
                      crashingContext)) {
        return false;
    }
    minidump::ExceptionStream exception{};
    exception.threadId = static_cast<std::uint32_t>(threads[crash.crashingThread].tid);
    exception.exceptionRecord.exceptionCode = static_cast<std::uint32_t>(crash.signal);
    exception.exceptionRecord.exceptionFlags = static_cast<std::uint32_t>(crash.code);
    exception.exceptionRecord.exceptionAddress = crash.address;
    exception.threadContext = crashingContext;
    directory[2].streamType = minidump::kExceptionStream;
    if (!cursor.Append(&exception, sizeof(exception), directory[2].location)) {
        return false;
    }
    directory[3].streamType = minidump::kModuleListStream;
    if (!WriteModules(cursor, directory[3].location)) {
        return false;
    }
    directory[4].streamType = minidump::kLinuxMapsStream;
    if (!cursor.Append(maps_, mapsLength_, directory[4].location)) {
        return false;
    }
    directory[5].streamType = minidump::kLinuxCmdLineStream;
    if (!cursor.Append(commandLine_, commandLineLength_, directory[5].location)) {
        return false;
    }
    minidump::Header header{};
    header.signature = minidump::kSignature;
    header.version = minidump::kVersion;
    header.numberOfStreams = kStreams;
    header.streamDirectoryRva = sizeof(minidump::Header);
    header.timeDateStamp = static_cast<std::uint32_t>(syscall(SYS_time, nullptr));
    return cursor.At(0, &header, sizeof(header)) &&
           cursor.At(sizeof(header), directory, sizeof(directory));
}

} // namespace Plenvo
