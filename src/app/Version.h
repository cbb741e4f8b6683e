#pragma once
#include <array>
#include <string>

namespace Plenvo {

// The program's file version: four numbers taken from the project version at build time.
std::array<unsigned, 4> FileVersion();
// "%u.%u.%u.%u", as sent with a crash report.
std::string FileVersionText();

} // namespace Plenvo
