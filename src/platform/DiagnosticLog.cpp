#include "platform/DiagnosticLog.h"

#include "platform/Encoding.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

DiagnosticLog::DiagnosticLog(std::string path) : path_(std::move(path)) {}

std::string DiagnosticLog::FormatLine(std::string_view text) {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const int millis =
        static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%02d:%02d:%02d.%03d]", local.tm_hour, local.tm_min,
                  local.tm_sec, millis);
    return std::string(stamp) + std::string(text);
}

void DiagnosticLog::AppendLine(std::string_view line) const {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    struct stat info {};
    std::string bytes;
    if (::fstat(fd, &info) == 0 && info.st_size == 0) {
        bytes = "\xFF\xFE";
    }
    std::u16string units = platform::Utf8ToUtf16(line);
    units += u"\r\n";
    bytes.reserve(bytes.size() + units.size() * 2);
    for (char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    // One write per line keeps lines whole when several writers append.
    [[maybe_unused]] ssize_t written = ::write(fd, bytes.data(), bytes.size());
    ::close(fd);
}

void DiagnosticLog::Log(std::string_view text) const {
    AppendLine(FormatLine(text));
}

} // namespace platform
