#include "platform/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace platform {

std::string ExecutablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

std::string FullPath(const std::string& relative) {
    if (!relative.empty() && relative.front() == '/') {
        return relative;
    }
    std::error_code ec;
    auto cwd = std::filesystem::current_path(ec);
    return ec ? relative : JoinPath(cwd.string(), relative);
}

std::string UserDataDirectory() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') {
        return JoinPath(xdg, "plenvo");
    }
    const char* home = std::getenv("HOME");
    return JoinPath(JoinPath(home && *home ? home : "/tmp", ".local/share"), "plenvo");
}

bool CreateDirectories(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

bool IsWritableDirectory(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec) && ::access(path.c_str(), W_OK | X_OK) == 0;
}

} // namespace platform
