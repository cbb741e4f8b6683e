#include "MinidumpFile.h"

#include "platform/Encoding.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace Plenvo {

namespace {

constexpr std::size_t kMaxStreams = 4096;
constexpr std::uint32_t kMaxListEntries = 1u << 16;

} // namespace

bool DumpThread::StackHolds(std::uint64_t value) const {
    for (std::size_t at = 0; at + 8 <= stack.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, stack.data() + at, 8);
        if (word == value) {
            return true;
        }
    }
    return false;
}

std::string DumpModule::BuildIdHex() const {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : buildId) {
        hex += digits[c >> 4];
        hex += digits[c & 0xF];
    }
    return hex;
}

std::optional<CMinidumpFile> CMinidumpFile::Load(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    return Parse(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
                 error);
}

std::optional<CMinidumpFile> CMinidumpFile::Parse(std::string bytes, std::string& error) {
    CMinidumpFile dump;
    dump.bytes_ = std::move(bytes);
    if (!dump.ParseStreams(error)) {
        return std::nullopt;
    }
    return dump;
}

bool CMinidumpFile::Read(std::uint32_t rva, void* out, std::size_t size) const {
    if (rva > bytes_.size() || size > bytes_.size() - rva) {
        return false;
    }
    std::memcpy(out, bytes_.data() + rva, size);
    return true;
}

bool CMinidumpFile::Bytes(const minidump::LocationDescriptor& where, std::string& out) const {
    if (where.rva > bytes_.size() || where.dataSize > bytes_.size() - where.rva) {
        return false;
    }
    out.assign(bytes_.data() + where.rva, where.dataSize);
    return true;
}

bool CMinidumpFile::String(std::uint32_t rva, std::string& out) const {
    std::uint32_t length = 0;
    if (!Read(rva, &length, 4) || length % 2 != 0 || length > bytes_.size()) {
        return false;
    }
    std::u16string wide(length / 2, u'\0');
    if (!Read(rva + 4, wide.data(), length)) {
        return false;
    }
    out = platform::Utf16ToUtf8(wide);
    return true;
}

bool CMinidumpFile::ReadContext(const minidump::LocationDescriptor& where,
                                minidump::ContextAmd64& out) const {
    return where.dataSize >= sizeof(out) && Read(where.rva, &out, sizeof(out)) &&
           (out.contextFlags & minidump::kContextAmd64) != 0;
}

bool CMinidumpFile::HasStream(std::uint32_t type) const {
    for (const auto& stream : streams_) {
        if (stream.streamType == type) {
            return true;
        }
    }
    return false;
}

const DumpThread* CMinidumpFile::Thread(std::uint32_t tid) const {
    for (const auto& thread : threads_) {
        if (thread.tid == tid) {
            return &thread;
        }
    }
    return nullptr;
}

const DumpModule* CMinidumpFile::ModuleAt(std::uint64_t address) const {
    for (const auto& module : modules_) {
        if (address >= module.base && address - module.base < module.size) {
            return &module;
        }
    }
    return nullptr;
}

bool CMinidumpFile::ParseStreams(std::string& error) {
    if (!Read(0, &header_, sizeof(header_)) || header_.signature != minidump::kSignature ||
        (header_.version & 0xFFFF) != minidump::kVersion) {
        error = "not a minidump (bad header)";
        return false;
    }
    if (header_.numberOfStreams > kMaxStreams) {
        error = "too many streams";
        return false;
    }
    streams_.resize(header_.numberOfStreams);
    if (!Read(header_.streamDirectoryRva, streams_.data(),
              streams_.size() * sizeof(minidump::Directory))) {
        error = "the stream directory lies outside the file";
        return false;
    }
    for (const auto& stream : streams_) {
        const auto& where = stream.location;
        switch (stream.streamType) {
        case minidump::kSystemInfoStream:
            if (!Read(where.rva, &systemInfo_, sizeof(systemInfo_)) ||
                !String(systemInfo_.csdVersionRva, osVersion_)) {
                error = "damaged system information";
                return false;
            }
            break;
        case minidump::kExceptionStream: {
            minidump::ExceptionStream raw{};
            DumpException exception;
            if (!Read(where.rva, &raw, sizeof(raw)) ||
                !ReadContext(raw.threadContext, exception.context)) {
                error = "damaged exception stream";
                return false;
            }
            exception.tid = raw.threadId;
            exception.code = raw.exceptionRecord.exceptionCode;
            exception.flags = raw.exceptionRecord.exceptionFlags;
            exception.address = raw.exceptionRecord.exceptionAddress;
            exception_ = exception;
            break;
        }
        case minidump::kThreadListStream: {
            std::uint32_t count = 0;
            if (!Read(where.rva, &count, 4) || count > kMaxListEntries) {
                error = "damaged thread list";
                return false;
            }
            for (std::uint32_t i = 0; i < count; ++i) {
                minidump::Thread raw{};
                DumpThread thread;
                if (!Read(where.rva + 4 + i * sizeof(raw), &raw, sizeof(raw)) ||
                    !ReadContext(raw.threadContext, thread.context) ||
                    !Bytes(raw.stack.memory, thread.stack)) {
                    error = "damaged thread entry";
                    return false;
                }
                thread.tid = raw.threadId;
                thread.stackStart = raw.stack.startOfMemoryRange;
                threads_.push_back(std::move(thread));
            }
            break;
        }
        case minidump::kModuleListStream: {
            std::uint32_t count = 0;
            if (!Read(where.rva, &count, 4) || count > kMaxListEntries) {
                error = "damaged module list";
                return false;
            }
            for (std::uint32_t i = 0; i < count; ++i) {
                minidump::Module raw{};
                DumpModule module;
                std::string cv;
                if (!Read(where.rva + 4 + i * sizeof(raw), &raw, sizeof(raw)) ||
                    !String(raw.moduleNameRva, module.name) || !Bytes(raw.cvRecord, cv)) {
                    error = "damaged module entry";
                    return false;
                }
                module.base = raw.baseOfImage;
                module.size = raw.sizeOfImage;
                if (cv.size() >= 4) {
                    std::memcpy(&module.cvSignature, cv.data(), 4);
                    module.buildId = cv.substr(4);
                }
                modules_.push_back(std::move(module));
            }
            break;
        }
        case minidump::kLinuxMapsStream:
            if (!Bytes(where, maps_)) {
                error = "damaged maps stream";
                return false;
            }
            break;
        case minidump::kLinuxCmdLineStream:
            if (!Bytes(where, commandLine_)) {
                error = "damaged command line stream";
                return false;
            }
            break;
        default:
            break;
        }
    }
    return true;
}

} // namespace Plenvo
