#pragma once
// The name of a saved version in the dump folder: "<plan id>.<a>.<b>.<c>.json". Only names made
// wholly of that pattern are versions; anything else in the folder is never read or touched.
#include "plan/VersionStamp.h"

#include <optional>
#include <string>
#include <string_view>

namespace Plenvo {

struct CVersionFileName {
    std::string planId;
    CVersionStamp stamp;

    // The whole name must match ^\d+\.\d+\.\d+\.\d+\.json$ with each stamp number in 32 bits.
    static std::optional<CVersionFileName> Parse(std::string_view name);
    std::string Text() const;
};

} // namespace Plenvo
