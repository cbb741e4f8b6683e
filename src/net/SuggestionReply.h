#pragma once
// The suggestions reply: a non-empty "suggestions" array and "q" equal to the plan the panel
// shows. Read with the small C JSON parser, as the panel's content is.
#include "net/Response.h"

#include <optional>
#include <string>
#include <vector>

namespace Plenvo {

struct Suggestion {
    // Rich text (RTF) when true, plain text otherwise.
    bool rtf = false;
    std::string content;
};

// Empty when the reply is not a good one for this plan: the panel then shows its "not found"
// text. A member with neither a "text" nor an "rtf" string is an empty plain text.
std::optional<std::vector<Suggestion>> ParseSuggestions(const SimpleCurl::response& reply,
                                                        long long planId);

} // namespace Plenvo
