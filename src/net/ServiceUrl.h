#pragma once
#include <string>
#include <string_view>

namespace Plenvo {

inline constexpr std::string_view kDefaultServiceUrl = "http://127.0.0.1:8910/plenvo/";

// The service's base URL: the command line's --service value, else the [SERVICE] URL value of
// cfg.ini, else the reference service on this machine. Blanks around a value are ignored and the
// result always ends with "/" so that endpoint paths append to it.
std::string ResolveServiceUrl(std::string_view configValue, std::string_view commandLineValue);
// The same with the configuration value read from the [SERVICE] URL key of the given cfg.ini.
std::string ReadServiceUrl(const std::string& configPath, std::string_view commandLineValue);

} // namespace Plenvo
