#pragma once
// Writing and reading one saved-version file. A version holds a teacher's work, so it is written
// to appear whole or not at all, survives a power cut once written, and is readable only by its
// owner.
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace Plenvo {

struct VersionWriteResult {
    bool ok = false;
    // The errno of the step that failed, 0 on success.
    int error = 0;
    // The version's full path once it has its name (also when only the folder flush failed).
    std::string path;
};

// Writes the bytes to folder/name with ".temp" appended (mode 0600, never through a link),
// flushes them to disk, moves the file to its name without replacing an existing file and
// flushes the folder. A failed step removes the ".temp" file; nothing is left half-written.
VersionWriteResult WriteSavedVersionFile(const std::string& folder, const std::string& name,
                                         std::string_view bytes);

// The file's JSON when it is an object whose members are all strings and whose "id" is the plan
// id its name gives; none for a file that cannot be read, does not parse, or has another shape
// (such a file must never count as a plan's newest work).
std::optional<nlohmann::json> ReadSavedVersionFile(const std::string& path,
                                                   const std::string& planId);

} // namespace Plenvo
