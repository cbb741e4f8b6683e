#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Replaces the file's content as a whole: the bytes go to a temporary file in the same folder,
// which is flushed to disk and renamed over the old file, so that a crash or a full disk leaves
// either the old content or the new one, never a mixture. Returns false (old file untouched)
// when any step fails.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

// Reads a file named by content the program was given (a template, a description): only a
// regular file of at most maxBytes, opened without blocking so that a FIFO or a device in its
// place is refused instead of hanging or reading forever. False (bytes empty) otherwise.
bool ReadRegularFile(const std::string& path, std::uintmax_t maxBytes, std::string& bytes);

} // namespace platform
