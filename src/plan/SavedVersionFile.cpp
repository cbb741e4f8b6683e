#include "plan/SavedVersionFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Plenvo {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Moves without replacing: a complete version already under that name must stay as it is.
bool MoveNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // File systems without the flag: a hard link fails on an existing name as well.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

// The rename is durable only once the folder's entry is on disk.
bool FlushFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // Some file systems cannot flush a folder at all; their renames are as durable as they get.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

// Plan versions are small; anything this large is not one of ours.
constexpr off_t kLargestVersion = 64 * 1024 * 1024;

// Only a regular file is read: a fifo or device under a version's name must not block or flood.
bool ReadRegularFile(const std::string& path, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kLargestVersion;
    bytes.clear();
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
        ok = bytes.size() <= static_cast<std::size_t>(kLargestVersion);
    }
    ::close(fd);
    return ok;
}

VersionWriteResult Failed(const std::string& temp) {
    const int error = errno != 0 ? errno : EIO;
    if (!temp.empty()) {
        ::unlink(temp.c_str());
    }
    return {false, error, {}};
}

} // namespace

VersionWriteResult WriteSavedVersionFile(const std::string& folder, const std::string& name,
                                         std::string_view bytes) {
    const std::string path = folder + "/" + name;
    const std::string temp = path + ".temp";
    errno = 0;
    const int fd =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        // Nothing of ours to remove: the name may be a foreign link or file.
        return Failed({});
    }
    // A ".temp" file left by an earlier run may carry wider rights.
    if (::fchmod(fd, 0600) != 0 || !WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return Failed(temp);
    }
    if (::close(fd) != 0) {
        return Failed(temp);
    }
    if (!MoveNoReplace(temp, path)) {
        return Failed(temp);
    }
    if (!FlushFolder(folder)) {
        // The version is complete under its name; only its durability is in doubt.
        return {false, errno != 0 ? errno : EIO, path};
    }
    return {true, 0, path};
}

std::optional<nlohmann::json> ReadSavedVersionFile(const std::string& path,
                                                   const std::string& planId) {
    std::string bytes;
    if (!ReadRegularFile(path, bytes)) {
        return std::nullopt;
    }
    nlohmann::json object = nlohmann::json::parse(bytes, nullptr, false);
    if (!object.is_object()) {
        return std::nullopt;
    }
    const auto id = object.find("id");
    if (id == object.end() || !id->is_string() || id->get_ref<const std::string&>() != planId) {
        return std::nullopt;
    }
    for (const auto& member : object.items()) {
        if (!member.value().is_string()) {
            return std::nullopt;
        }
    }
    return object;
}

} // namespace Plenvo
