#pragma once
// debug.log: UTF-16LE lines "[hh:mm:ss.mmm]text" ending in CR LF, with the byte-order mark at the
// start of a new or empty file. The file is opened for each line so that other programs can read
// it while the client runs; a line that cannot be written is lost silently.
#include <string>
#include <string_view>

namespace platform {

class DiagnosticLog {
public:
    explicit DiagnosticLog(std::string path = "debug.log");

    // "[%02d:%02d:%02d.%03d]%s" with the local time.
    static std::string FormatLine(std::string_view text);
    // Appends an already formatted line.
    void AppendLine(std::string_view line) const;
    // Formats with the current local time and appends.
    void Log(std::string_view text) const;

private:
    std::string path_;
};

} // namespace platform
