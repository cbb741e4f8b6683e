#include "app/Version.h"

#include "app/VersionNumbers.h"

#include <cstdio>

namespace Plenvo {

std::array<unsigned, 4> FileVersion() {
    return {PLENVO_VERSION_MAJOR + 0u, PLENVO_VERSION_MINOR + 0u, PLENVO_VERSION_PATCH + 0u,
            PLENVO_VERSION_TWEAK + 0u};
}

std::string FileVersionText() {
    const auto v = FileVersion();
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", v[0], v[1], v[2], v[3]);
    return text;
}

} // namespace Plenvo
