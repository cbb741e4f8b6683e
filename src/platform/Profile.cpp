#include "platform/Profile.h"

#include "platform/AtomicFile.h"
#include "platform/IniDocument.h"

#include <climits>

namespace platform {

namespace {

IniDocument Load(const std::string& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        bytes.clear();
    }
    return IniDocument::Parse(bytes);
}

} // namespace

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path) {
    auto value = Load(path).Get(section, key);
    return value ? *value : std::string(defaultValue);
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string& path) {
    auto value = Load(path).Get(section, key);
    if (!value || value->empty()) {
        return defaultValue;
    }
    std::size_t i = 0;
    bool negative = false;
    if (i < value->size() && ((*value)[i] == '-' || (*value)[i] == '+')) {
        negative = (*value)[i] == '-';
        ++i;
    }
    long long n = 0;
    for (; i < value->size() && (*value)[i] >= '0' && (*value)[i] <= '9'; ++i) {
        n = n * 10 + ((*value)[i] - '0');
        if (n > static_cast<long long>(UINT_MAX)) {
            n = UINT_MAX;
        }
    }
    // The platform's result is an unsigned 32-bit number that callers read as int.
    const auto bits = static_cast<unsigned>(negative ? -n : n);
    return static_cast<int>(bits);
}

bool WritePrivateProfileString(std::string_view section, std::optional<std::string_view> key,
                               std::optional<std::string_view> value, const std::string& path) {
    IniDocument doc = Load(path);
    if (!key) {
        doc.RemoveSection(section);
    } else if (!value) {
        doc.RemoveKey(section, *key);
    } else {
        doc.Set(section, *key, *value);
    }
    return WriteFileAtomically(path, doc.Serialize());
}

} // namespace platform
