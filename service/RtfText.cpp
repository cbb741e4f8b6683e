#include "RtfText.h"

#include <iconv.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace PlenvoService {

namespace {
void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp <= 0x10FFFF) {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Converts code-page bytes (from \'hh escapes) to UTF-8; bytes that do not convert are dropped.
std::string FromCodePage(const std::string& bytes, int codePage) {
    if (bytes.empty())
        return {};
    std::string name = codePage == 936 ? "GBK" : "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        cd = iconv_open("UTF-8", "CP1252");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    std::string out(bytes.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1)) {
            ++in; // skip an unconvertible or truncated byte
            --inLeft;
        }
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

bool IsSkippedDestination(const std::string& word) {
    static const char* const skipped[] = {
        "fonttbl",   "colortbl",  "stylesheet",   "info",      "pict",
        "header",    "footer",    "object",       "listtable", "listoverridetable",
        "themedata", "datastore", "latentstyles", "rsidtbl",   "generator",
        "xmlnstbl",  "fldinst"};
    for (const char* s : skipped)
        if (word == s)
            return true;
    return false;
}
} // namespace

std::string RtfToText(std::string_view rtf) {
    struct State {
        bool skip = false;
        int unicodeSkip = 1;
    };
    std::vector<State> stack{State{}};
    std::string out;
    std::string pending; // code-page bytes awaiting conversion
    int codePage = 936;
    int skipAfterUnicode = 0;
    auto flush = [&] {
        out += FromCodePage(pending, codePage);
        pending.clear();
    };
    auto emit = [&](const std::string& text) {
        flush();
        if (!stack.back().skip)
            out += text;
    };
    const size_t n = rtf.size();
    for (size_t i = 0; i < n; ++i) {
        char c = rtf[i];
        if (c == '{') {
            if (stack.size() > 1000)
                break; // hostile nesting: stop reading rather than grow without bound
            stack.push_back(stack.back());
            continue;
        }
        if (c == '}') {
            if (stack.size() > 1)
                stack.pop_back();
            skipAfterUnicode = 0;
            continue;
        }
        if (c == '\r' || c == '\n')
            continue;
        if (c != '\\') {
            if (skipAfterUnicode > 0) {
                --skipAfterUnicode;
                continue;
            }
            emit(std::string(1, c));
            continue;
        }
        if (i + 1 >= n)
            break;
        char next = rtf[i + 1];
        if (next == '\\' || next == '{' || next == '}') {
            ++i;
            if (skipAfterUnicode > 0) {
                --skipAfterUnicode;
                continue;
            }
            emit(std::string(1, next));
            continue;
        }
        if (next == '\'') {
            ++i;
            if (i + 2 < n) {
                std::string hex(rtf.substr(i + 1, 2));
                i += 2;
                if (skipAfterUnicode > 0) {
                    --skipAfterUnicode;
                    continue;
                }
                char* end = nullptr;
                long byte = std::strtol(hex.c_str(), &end, 16);
                if (end == hex.c_str() + 2 && !stack.back().skip)
                    pending += static_cast<char>(byte);
            }
            continue;
        }
        if (next == '*') {
            ++i;
            stack.back().skip = true;
            continue;
        }
        if (next == '~') {
            ++i;
            emit(" ");
            continue;
        }
        if (next == '-' || next == '_') {
            ++i;
            continue;
        }
        // A control word: letters, an optional signed number, an optional delimiting blank.
        size_t j = i + 1;
        while (j < n && ((rtf[j] >= 'a' && rtf[j] <= 'z') || (rtf[j] >= 'A' && rtf[j] <= 'Z')))
            ++j;
        std::string word(rtf.substr(i + 1, j - i - 1));
        bool hasNumber = false;
        long number = 0;
        size_t k = j;
        bool negative = k < n && rtf[k] == '-';
        if (negative)
            ++k;
        while (k < n && rtf[k] >= '0' && rtf[k] <= '9' && k - j < 10) {
            number = number * 10 + (rtf[k] - '0');
            hasNumber = true;
            ++k;
        }
        if (negative)
            number = -number;
        if (!hasNumber)
            k = j;
        if (k < n && rtf[k] == ' ')
            ++k;
        i = k - 1;
        if (word.empty())
            continue;
        if (word == "par" || word == "line" || word == "row") {
            emit("\n");
        } else if (word == "tab" || word == "cell") {
            emit("\t");
        } else if (word == "u" && hasNumber) {
            flush();
            if (!stack.back().skip)
                AppendUtf8(out, static_cast<uint32_t>(number < 0 ? number + 65536 : number));
            skipAfterUnicode = stack.back().unicodeSkip;
        } else if (word == "uc" && hasNumber) {
            stack.back().unicodeSkip = static_cast<int>(number < 0 ? 0 : number);
        } else if (word == "ansicpg" && hasNumber) {
            flush();
            codePage = static_cast<int>(number);
        } else if (IsSkippedDestination(word)) {
            stack.back().skip = true;
        }
    }
    flush();
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

std::string CellValueToText(std::string_view value) {
    static const std::string_view prefix = "__RTF__";
    if (value.substr(0, prefix.size()) == prefix)
        return RtfToText(value.substr(prefix.size()));
    return std::string(value);
}

} // namespace PlenvoService
