#pragma once
// Where the program finds itself and its folders.
#include <string>

namespace platform {

// Full path of the running executable; empty if it cannot be read.
std::string ExecutablePath();
// The folder of a path, without the trailing separator.
std::string DirectoryOf(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);
// The full path of a name relative to the current directory (the file need not exist).
std::string FullPath(const std::string& relative);
// $XDG_DATA_HOME/plenvo, or ~/.local/share/plenvo.
std::string UserDataDirectory();
// Creates the folder and any missing parents; true when it exists afterwards.
bool CreateDirectories(const std::string& path);
// True when a file can be created in the folder.
bool IsWritableDirectory(const std::string& path);

} // namespace platform
