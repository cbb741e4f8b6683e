#pragma once
// The plain text of a stored cell value, for suggestions and plan summaries.
#include <string>
#include <string_view>

namespace PlenvoService {

// "__RTF__" values are read by the client's own RTF reader (paragraphs and line breaks become
// "\n", tabs and cell ends "\t"; trailing breaks and blanks are dropped); any other value is
// already plain text. Never fails: broken RTF yields what could be read.
std::string CellValueToText(std::string_view value);

} // namespace PlenvoService
