#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace SimpleCurl {

// zlib-format deflate (header, raw deflate data, trailer) at the default level, produced in
// 1024-byte output steps. Empty when zlib reports an error.
std::optional<std::string> DeflateZlib(std::string_view input);

} // namespace SimpleCurl
