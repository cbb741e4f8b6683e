#pragma once

#include <string_view>

namespace PlenvoService {

// The JSON files of service/templates/, compiled into the program so that it runs from any
// folder; empty for a name that has no file.
std::string_view EmbeddedTemplate(std::string_view name);

} // namespace PlenvoService
