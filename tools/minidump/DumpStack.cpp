// plenvo-dumpstack: prints the crashing thread of a minidump that the client wrote, with its
// frames symbolised by addr2line. Each module is found by its build id: at the path the dump
// names, in the folders given with --symbols, or in /usr/lib/debug/.build-id.
//
//   plenvo-dumpstack MyDump.dmp [--symbols FOLDER]...
//
// Frame 0 is the instruction pointer; the frames after it are found by scanning the stack for
// words that point just behind a call instruction in a module's code (no unwind tables are
// read, so an occasional stale return address may show up; those are marked "scan").
#include "MinidumpFile.h"

#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <elf.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace Plenvo;

namespace {

struct ElfFile {
    std::string path;
    std::string bytes;
    std::uint64_t firstLoad = 0;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())
              : std::string();
}

// The build id and the address of the first loaded segment of an ELF file.
bool ReadElf(const std::string& bytes, std::string& buildId, std::uint64_t& firstLoad) {
    Elf64_Ehdr header;
    if (bytes.size() < sizeof(header)) {
        return false;
    }
    std::memcpy(&header, bytes.data(), sizeof(header));
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr) ||
        header.e_phoff > bytes.size() ||
        std::uint64_t{header.e_phnum} * sizeof(Elf64_Phdr) > bytes.size() - header.e_phoff) {
        return false;
    }
    bool loadSeen = false;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr ph;
        std::memcpy(&ph, bytes.data() + header.e_phoff + i * sizeof(ph), sizeof(ph));
        if (ph.p_type == PT_LOAD && !loadSeen) {
            firstLoad = ph.p_vaddr & ~std::uint64_t{0xFFF};
            loadSeen = true;
        }
        if (ph.p_type != PT_NOTE || ph.p_offset > bytes.size() ||
            ph.p_filesz > bytes.size() - ph.p_offset) {
            continue;
        }
        for (std::uint64_t at = ph.p_offset;
             at + sizeof(Elf64_Nhdr) <= ph.p_offset + ph.p_filesz;) {
            Elf64_Nhdr note;
            std::memcpy(&note, bytes.data() + at, sizeof(note));
            const std::uint64_t name = at + sizeof(note);
            const std::uint64_t desc = name + ((note.n_namesz + 3u) & ~3u);
            const std::uint64_t next = desc + ((note.n_descsz + 3u) & ~3u);
            if (next > ph.p_offset + ph.p_filesz) {
                break;
            }
            if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 &&
                std::memcmp(bytes.data() + name, "GNU", 4) == 0) {
                buildId.assign(bytes.data() + desc, note.n_descsz);
            }
            at = next;
        }
    }
    return loadSeen;
}

class Symbols {
public:
    explicit Symbols(std::vector<std::string> folders) : folders_(std::move(folders)) {}

    // The file on disk whose build id is the module's, if any.
    const ElfFile* Find(const DumpModule& module) {
        const std::string key = module.BuildIdHex();
        auto found = cache_.find(key);
        if (found != cache_.end()) {
            return found->second.get();
        }
        std::vector<std::string> candidates{module.name};
        const std::string file = std::filesystem::path(module.name).filename().string();
        for (const auto& folder : folders_) {
            candidates.push_back((std::filesystem::path(folder) / file).string());
        }
        if (key.size() > 2) {
            candidates.push_back("/usr/lib/debug/.build-id/" + key.substr(0, 2) + "/" +
                                 key.substr(2) + ".debug");
        }
        std::unique_ptr<ElfFile> match;
        for (const auto& path : candidates) {
            auto elf = std::make_unique<ElfFile>();
            elf->path = path;
            elf->bytes = ReadFile(path);
            std::string id;
            if (ReadElf(elf->bytes, id, elf->firstLoad) && !id.empty() && id == module.buildId) {
                match = std::move(elf);
                break;
            }
        }
        return (cache_[key] = std::move(match)).get();
    }

private:
    std::vector<std::string> folders_;
    std::map<std::string, std::unique_ptr<ElfFile>> cache_;
};

// Function and source line of an address in a file, by addr2line.
std::string Symbolise(const ElfFile& elf, std::uint64_t address) {
    char command[64];
    std::snprintf(command, sizeof(command), "0x%" PRIx64, address);
    int out[2];
    if (pipe(out) != 0) {
        return "?";
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        execlp("addr2line", "addr2line", "-f", "-C", "-i", "-p", "-e", elf.path.c_str(), command,
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(out[0], buffer, sizeof(buffer))) > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    // Inlined frames come on further lines; keep them on one.
    for (auto& c : text) {
        if (c == '\n') {
            c = ';';
        }
    }
    return text.empty() ? "?" : text;
}

// True when the bytes before the address end with one of the usual call instructions.
bool FollowsCall(const ElfFile& elf, std::uint64_t offset) {
    const auto byte = [&](std::uint64_t back) -> int {
        return offset >= back && offset - back < elf.bytes.size()
                   ? static_cast<unsigned char>(elf.bytes[offset - back])
                   : -1;
    };
    const auto indirect = [&](std::uint64_t back) {
        const int modrm = byte(back - 1);
        return byte(back) == 0xFF && modrm >= 0 && ((modrm >> 3) & 7) == 2;
    };
    return byte(5) == 0xE8 || indirect(2) || indirect(3) || indirect(6) || indirect(7);
}

const char* SignalName(std::uint32_t code) {
    switch (code) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string path;
    std::vector<std::string> folders;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--symbols" && i + 1 < argc) {
            folders.push_back(argv[++i]);
        } else if (path.empty() && arg[0] != '-') {
            path = arg;
        } else {
            std::fprintf(stderr, "usage: %s DUMP [--symbols FOLDER]...\n", argv[0]);
            return 2;
        }
    }
    if (path.empty()) {
        std::fprintf(stderr, "usage: %s DUMP [--symbols FOLDER]...\n", argv[0]);
        return 2;
    }
    std::string error;
    const auto dump = CMinidumpFile::Load(path, error);
    if (!dump) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    if (!dump->Exception()) {
        std::fprintf(stderr, "%s: the dump has no exception stream\n", path.c_str());
        return 1;
    }
    const DumpException& crash = *dump->Exception();
    std::printf("Crash: %s (%u), code %d, address 0x%" PRIx64 "\n", SignalName(crash.code),
                crash.code, static_cast<int>(crash.flags), crash.address);
    std::printf("System: %s, %u CPUs\n", dump->OsVersion().c_str(),
                dump->SystemInfo().numberOfProcessors);
    std::string commandLine = dump->CommandLine();
    for (auto& c : commandLine) {
        c = c ? c : ' ';
    }
    std::printf("Command line: %s\n", commandLine.c_str());
    std::printf("Thread %u crashed (%zu threads in all)\n", crash.tid, dump->Threads().size());

    Symbols symbols(folders);
    const auto printFrame = [&](int index, std::uint64_t address, bool returnAddress,
                                const char* how) {
        const DumpModule* module = dump->ModuleAt(address);
        std::string where = "??";
        if (module) {
            const ElfFile* elf = symbols.Find(*module);
            const std::uint64_t relative = address - module->base;
            where = std::filesystem::path(module->name).filename().string();
            char offset[32];
            std::snprintf(offset, sizeof(offset), " +0x%" PRIx64, relative);
            where += offset;
            if (elf) {
                // A return address points after the call: look up the call itself.
                where +=
                    "  " + Symbolise(*elf, elf->firstLoad + relative - (returnAddress ? 1 : 0));
            } else {
                where += "  (no file with build id " + module->BuildIdHex() + ")";
            }
        }
        std::printf("%3d  0x%016" PRIx64 "  %-5s %s\n", index, address, how, where.c_str());
    };

    printFrame(0, crash.context.rip, false, "ip");
    const DumpThread* thread = dump->Thread(crash.tid);
    if (!thread) {
        return 0;
    }
    int index = 1;
    for (std::size_t at = 0; at + 8 <= thread->stack.size() && index < 64; at += 8) {
        if (thread->stackStart + at < crash.context.rsp) {
            continue;
        }
        std::uint64_t word;
        std::memcpy(&word, thread->stack.data() + at, 8);
        const DumpModule* module = dump->ModuleAt(word);
        if (!module) {
            continue;
        }
        const ElfFile* elf = symbols.Find(*module);
        if (elf && !FollowsCall(*elf, word - module->base)) {
            continue;
        }
        printFrame(index++, word, true, "scan");
    }
    return 0;
}
