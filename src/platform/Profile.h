#pragma once
// Profile (ini) access with the meaning of the Win32 profile functions: names match without
// regard to case, values are returned as written (surrounding blanks trimmed), and a missing
// file or key gives the default.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path);
// Leading blanks and an optional sign, then decimal digits up to the first other character;
// a value without digits is 0; a missing or empty value gives the default.
int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string& path);
// Without a key the whole section is removed; without a value the key is removed. The file is
// replaced atomically; returns false when it could not be written.
bool WritePrivateProfileString(std::string_view section, std::optional<std::string_view> key,
                               std::optional<std::string_view> value, const std::string& path);

} // namespace platform
