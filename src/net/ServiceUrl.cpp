#include "net/ServiceUrl.h"

#include "platform/Profile.h"

namespace Plenvo {

namespace {

std::string_view Trim(std::string_view text) {
    const auto blank = " \t\r\n";
    const size_t first = text.find_first_not_of(blank);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blank) - first + 1);
}

} // namespace

std::string ResolveServiceUrl(std::string_view configValue, std::string_view commandLineValue) {
    std::string_view chosen = Trim(commandLineValue);
    if (chosen.empty()) {
        chosen = Trim(configValue);
    }
    if (chosen.empty()) {
        chosen = kDefaultServiceUrl;
    }
    std::string url(chosen);
    if (url.back() != '/') {
        url += '/';
    }
    return url;
}

std::string ReadServiceUrl(const std::string& configPath, std::string_view commandLineValue) {
    return ResolveServiceUrl(platform::GetPrivateProfileString("SERVICE", "URL", "", configPath),
                             commandLineValue);
}

} // namespace Plenvo
