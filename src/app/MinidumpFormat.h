#pragma once
// The on-disk layout of the minidump records the crash capture writes and the dump reader
// reads: little-endian, packed, as crash-processing services and minidump tools expect them.
#include <cstddef>
#include <cstdint>

namespace Plenvo::minidump {

inline constexpr std::uint32_t kSignature = 0x504d444d; // "MDMP"
inline constexpr std::uint32_t kVersion = 0xa793;

inline constexpr std::uint32_t kThreadListStream = 3;
inline constexpr std::uint32_t kModuleListStream = 4;
inline constexpr std::uint32_t kExceptionStream = 6;
inline constexpr std::uint32_t kSystemInfoStream = 7;
inline constexpr std::uint32_t kLinuxCpuInfoStream = 0x47670003;
inline constexpr std::uint32_t kLinuxCmdLineStream = 0x47670006;
inline constexpr std::uint32_t kLinuxMapsStream = 0x47670009;

inline constexpr std::uint16_t kArchitectureAmd64 = 9;
inline constexpr std::uint32_t kPlatformLinux = 0x8201;
inline constexpr std::uint32_t kContextAmd64 = 0x00100000;
// Control, integer and floating-point registers.
inline constexpr std::uint32_t kContextAmd64Full = kContextAmd64 | 0x1 | 0x2 | 0x8;
// CodeView record holding an ELF build id.
inline constexpr std::uint32_t kCvSignatureElf = 0x4270454c; // "BpEL"

#pragma pack(push, 1)

struct LocationDescriptor {
    std::uint32_t dataSize;
    std::uint32_t rva;
};

struct MemoryDescriptor {
    std::uint64_t startOfMemoryRange;
    LocationDescriptor memory;
};

struct Header {
    std::uint32_t signature;
    std::uint32_t version;
    std::uint32_t numberOfStreams;
    std::uint32_t streamDirectoryRva;
    std::uint32_t checkSum;
    std::uint32_t timeDateStamp;
    std::uint64_t flags;
};

struct Directory {
    std::uint32_t streamType;
    LocationDescriptor location;
};

struct Thread {
    std::uint32_t threadId;
    std::uint32_t suspendCount;
    std::uint32_t priorityClass;
    std::uint32_t priority;
    std::uint64_t teb;
    MemoryDescriptor stack;
    LocationDescriptor threadContext;
};

struct FixedFileInfo {
    std::uint32_t signature;
    std::uint32_t strucVersion;
    std::uint32_t fileVersionHi;
    std::uint32_t fileVersionLo;
    std::uint32_t productVersionHi;
    std::uint32_t productVersionLo;
    std::uint32_t fileFlagsMask;
    std::uint32_t fileFlags;
    std::uint32_t fileOs;
    std::uint32_t fileType;
    std::uint32_t fileSubtype;
    std::uint32_t fileDateHi;
    std::uint32_t fileDateLo;
};

struct Module {
    std::uint64_t baseOfImage;
    std::uint32_t sizeOfImage;
    std::uint32_t checkSum;
    std::uint32_t timeDateStamp;
    std::uint32_t moduleNameRva;
    FixedFileInfo versionInfo;
    LocationDescriptor cvRecord;
    LocationDescriptor miscRecord;
    std::uint64_t reserved0;
    std::uint64_t reserved1;
};

struct ExceptionRecord {
    std::uint32_t exceptionCode;
    std::uint32_t exceptionFlags;
    std::uint64_t exceptionRecord;
    std::uint64_t exceptionAddress;
    std::uint32_t numberParameters;
    std::uint32_t unusedAlignment;
    std::uint64_t exceptionInformation[15];
};

struct ExceptionStream {
    std::uint32_t threadId;
    std::uint32_t alignment;
    ExceptionRecord exceptionRecord;
    LocationDescriptor threadContext;
};

struct SystemInfo {
    std::uint16_t processorArchitecture;
    std::uint16_t processorLevel;
    std::uint16_t processorRevision;
    std::uint8_t numberOfProcessors;
    std::uint8_t productType;
    std::uint32_t majorVersion;
    std::uint32_t minorVersion;
    std::uint32_t buildNumber;
    std::uint32_t platformId;
    std::uint32_t csdVersionRva;
    std::uint16_t suiteMask;
    std::uint16_t reserved2;
    std::uint32_t vendorId[3];
    std::uint32_t versionInformation;
    std::uint32_t featureInformation;
    std::uint32_t amdExtendedCpuFeatures;
};

struct Uint128 {
    std::uint64_t low;
    std::uint64_t high;
};

// The x86-64 register context.
struct ContextAmd64 {
    std::uint64_t pHome[6];
    std::uint32_t contextFlags;
    std::uint32_t mxCsr;
    std::uint16_t cs, ds, es, fs, gs, ss;
    std::uint32_t eflags;
    std::uint64_t dr0, dr1, dr2, dr3, dr6, dr7;
    std::uint64_t rax, rcx, rdx, rbx, rsp, rbp, rsi, rdi;
    std::uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
    std::uint64_t rip;
    // The FXSAVE image: control words, x87 and the 16 XMM registers.
    std::uint8_t fltSave[512];
    Uint128 vectorRegister[26];
    std::uint64_t vectorControl;
    std::uint64_t debugControl;
    std::uint64_t lastBranchToRip;
    std::uint64_t lastBranchFromRip;
    std::uint64_t lastExceptionToRip;
    std::uint64_t lastExceptionFromRip;
};

#pragma pack(pop)

static_assert(sizeof(Header) == 32);
static_assert(sizeof(Directory) == 12);
static_assert(sizeof(Thread) == 48);
static_assert(sizeof(Module) == 108);
static_assert(sizeof(ExceptionRecord) == 152);
static_assert(sizeof(ExceptionStream) == 168);
static_assert(sizeof(SystemInfo) == 56);
static_assert(sizeof(ContextAmd64) == 1232);
static_assert(offsetof(ContextAmd64, contextFlags) == 48);
static_assert(offsetof(ContextAmd64, eflags) == 68);
static_assert(offsetof(ContextAmd64, rax) == 120);
static_assert(offsetof(ContextAmd64, rsp) == 152);
static_assert(offsetof(ContextAmd64, rip) == 248);
static_assert(offsetof(ContextAmd64, fltSave) == 256);
static_assert(offsetof(ContextAmd64, vectorRegister) == 768);
static_assert(offsetof(Module, cvRecord) == 76);

} // namespace Plenvo::minidump
