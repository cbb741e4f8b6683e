#pragma once

#include <string>
#include <string_view>

namespace PlenvoService {

// The plain text of a cell value: "__RTF__" values are read as RTF (paragraphs become line
// breaks, \uN and \'hh characters are decoded, font tables, pictures and other destinations are
// skipped); any other value is already plain text. Never fails: broken RTF yields what it could
// read.
std::string CellValueToText(std::string_view value);

std::string RtfToText(std::string_view rtf);

} // namespace PlenvoService
