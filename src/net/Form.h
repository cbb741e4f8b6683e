#pragma once
// Form bodies and queries from ordered (key, value) pairs: keys as they are, values URL-encoded.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace SimpleCurl {

using Parameters = std::vector<std::pair<std::string, std::string>>;

// Every byte but the ASCII letters and digits becomes "%XX" (upper-case hex).
std::string UrlEncode(std::string_view value);
// "key=value&key=value"; pairs with an empty key are left out.
std::string BuildForm(const Parameters& parameters);
// Appends the form as a query after "?" or, when the URL has one already, after "&".
std::string AppendQuery(std::string url, const Parameters& parameters);

} // namespace SimpleCurl
