#include "net/ServiceTexts.h"

#include <cstdio>

namespace Plenvo::ServiceTexts {

std::string FillText(std::string_view pattern, std::initializer_list<std::string_view> values) {
    std::string out;
    auto next = values.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            out += pattern[i];
            continue;
        }
        ++i;
        if (pattern[i] == '%') {
            out += '%';
        } else if (next != values.end()) {
            out += *next++;
        }
    }
    return out;
}

std::string PointerText(long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(value));
    return text;
}

} // namespace Plenvo::ServiceTexts
