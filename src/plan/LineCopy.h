#pragma once
// The rule that names the copy of a teaching-process line: every name at every depth (cells,
// sub-lines, the lines Enter adds) that carries the source line's "template.teachproc.N" gets
// the new line's stem instead, so that no two cells of a plan share a name.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace Plenvo {

// "template.teachproc." and the number.
std::string TeachingLineStem(std::uint32_t number);
// Every match of template.teachproc.\d+ in a name replaced by the stem.
std::string RenameTeachingName(const std::string& name, const std::string& stem);
// The copy of a line's description that becomes the new line: removable, named stem +
// ".container", every cell renamed and emptied, at every depth.
nlohmann::json CopyTeachingLine(const nlohmann::json& source, const std::string& stem);

} // namespace Plenvo
