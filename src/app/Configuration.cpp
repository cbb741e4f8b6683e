#include "app/Configuration.h"

#include "platform/Encoding.h"
#include "platform/Profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Plenvo {

namespace {

constexpr std::size_t kBufferCharacters = 1000;

// Cuts to the code points that fit a buffer of 1000 characters with its terminating zero.
std::string CutToBuffer(const std::string& value) {
    if (platform::CountCodePoints(value) < kBufferCharacters) {
        return value;
    }
    std::u32string cps = platform::Utf8ToUtf32(value);
    cps.resize(kBufferCharacters - 1);
    return platform::Utf32ToUtf8(cps);
}

// cfg.ini holds the password in plain text: it is made readable by its owner only before any
// write, and every rewrite keeps the mode of the file it replaces.
void RestrictToOwner(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return;
    }
    ::fchmod(fd, 0600);
    ::close(fd);
}

} // namespace

CConfiguration::CConfiguration(std::string path) : path_(std::move(path)) {}

std::string CConfiguration::ReadLoginValue(std::string_view key,
                                           std::string_view defaultValue) const {
    return CutToBuffer(platform::GetPrivateProfileString(kLoginSection, key, defaultValue, path_));
}

void CConfiguration::WriteLoginValues(std::string_view id, std::string_view name,
                                      std::string_view password) const {
    RestrictToOwner(path_);
    platform::WritePrivateProfileString(kLoginSection, kId, id, path_);
    platform::WritePrivateProfileString(kLoginSection, kName, name, path_);
    platform::WritePrivateProfileString(kLoginSection, kPassword, password, path_);
}

int CConfiguration::ReadDefaultValue(std::string_view key) const {
    return platform::GetPrivateProfileInt(kDefaultsSection, key, 0, path_);
}

void CConfiguration::WriteDefaultValue(std::string_view key, int value) const {
    RestrictToOwner(path_);
    platform::WritePrivateProfileString(kDefaultsSection, key, std::to_string(value), path_);
}

} // namespace Plenvo
