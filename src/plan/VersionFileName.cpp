#include "plan/VersionFileName.h"

#include <algorithm>

namespace Plenvo {

std::optional<CVersionFileName> CVersionFileName::Parse(std::string_view name) {
    constexpr std::string_view kSuffix = ".json";
    if (name.size() <= kSuffix.size() || !name.ends_with(kSuffix)) {
        return std::nullopt;
    }
    const std::string_view stem = name.substr(0, name.size() - kSuffix.size());
    const auto dot = stem.find('.');
    if (dot == 0 || dot == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view id = stem.substr(0, dot);
    if (!std::all_of(id.begin(), id.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
        return std::nullopt;
    }
    const auto stamp = CVersionStamp::Parse(stem.substr(dot + 1));
    if (!stamp) {
        return std::nullopt;
    }
    return CVersionFileName{std::string(id), *stamp};
}

std::string CVersionFileName::Text() const {
    return planId + "." + stamp.Text() + ".json";
}

} // namespace Plenvo
