#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
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

} // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    std::vector<char> temp(path.begin(), path.end());
    const std::string suffix = ".tmp-XXXXXX";
    temp.insert(temp.end(), suffix.begin(), suffix.end());
    temp.push_back('\0');
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        ::fchmod(fd, 0644);
    }
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.data(), path.c_str()) == 0) {
        return true;
    }
    ::unlink(temp.data());
    return false;
}

namespace {

// Reads the descriptor to its end and closes it; false (bytes empty) when a read fails or the
// content grows past maxBytes.
bool ReadToEnd(int fd, std::uintmax_t maxBytes, std::string& bytes) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 || bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            ::close(fd);
            bytes.clear();
            return false;
        }
        if (n == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

} // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd >= 0 && ReadToEnd(fd, std::numeric_limits<std::uintmax_t>::max(), bytes);
}

bool ReadRegularFile(const std::string& path, std::uintmax_t maxBytes, std::string& bytes) {
    bytes.clear();
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    // The check is made on what was opened, so nothing can be swapped in between.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return false;
    }
    // A file that grows past the cap while being read is refused too.
    return ReadToEnd(fd, maxBytes, bytes);
}

} // namespace platform
