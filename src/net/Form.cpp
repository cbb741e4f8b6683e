#include "net/Form.h"

namespace SimpleCurl {

namespace {

bool IsAsciiAlnum(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

} // namespace

std::string UrlEncode(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size() * 3);
    for (unsigned char c : value) {
        if (IsAsciiAlnum(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::string BuildForm(const Parameters& parameters) {
    std::string out;
    for (const auto& [key, value] : parameters) {
        if (key.empty()) {
            continue;
        }
        if (!out.empty()) {
            out += '&';
        }
        out += key;
        out += '=';
        out += UrlEncode(value);
    }
    return out;
}

std::string AppendQuery(std::string url, const Parameters& parameters) {
    std::string query = BuildForm(parameters);
    if (!query.empty()) {
        url += url.find('?') == std::string::npos ? '?' : '&';
        url += query;
    }
    return url;
}

} // namespace SimpleCurl
