#include "RequestFraming.h"

#include <cctype>
#include <optional>
#include <string>

namespace PlenvoService {

namespace {
bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// The first value of a header, as the HTTP library reads it.
std::optional<std::string_view> HeaderValue(std::string_view head, std::string_view name) {
    size_t line = head.find('\n');
    while (line != std::string_view::npos && line + 1 < head.size()) {
        size_t start = line + 1;
        size_t end = head.find('\n', start);
        std::string_view text = head.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        size_t colon = text.find(':');
        if (colon != std::string_view::npos && SameText(text.substr(0, colon), name))
            return TrimBlanks(text.substr(colon + 1));
        line = end;
    }
    return std::nullopt;
}

std::optional<size_t> ParseSize(std::string_view text, int base) {
    if (text.empty() || text.size() > 15)
        return std::nullopt;
    size_t value = 0;
    for (char c : text) {
        int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                    : base == 16 && std::isxdigit(static_cast<unsigned char>(c))
                        ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                        : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * static_cast<size_t>(base) + static_cast<size_t>(digit);
    }
    return value;
}

// The end of a chunked body starting at `at`: its length, 0 when more bytes are needed, or none
// when the framing is broken or the body outgrows `maxBody`.
std::optional<size_t> ChunkedEnd(std::string_view data, size_t at, size_t maxBody,
                                 bool& incomplete) {
    size_t body = 0;
    incomplete = false;
    for (;;) {
        size_t lineEnd = data.find("\r\n", at);
        if (lineEnd == std::string_view::npos) {
            incomplete = data.size() - at <= 1024;
            return incomplete ? std::optional<size_t>(0) : std::nullopt;
        }
        std::string_view sizeText = data.substr(at, lineEnd - at);
        sizeText = TrimBlanks(sizeText.substr(0, sizeText.find(';')));
        auto size = ParseSize(sizeText, 16);
        if (!size)
            return std::nullopt;
        at = lineEnd + 2;
        if (*size == 0) {
            // Trailer lines until a blank one.
            for (;;) {
                size_t end = data.find("\r\n", at);
                if (end == std::string_view::npos) {
                    incomplete = data.size() - at <= 8192;
                    return incomplete ? std::optional<size_t>(0) : std::nullopt;
                }
                if (end == at)
                    return end + 2;
                at = end + 2;
            }
        }
        body += *size;
        if (body > maxBody)
            return std::nullopt;
        if (data.size() < at + *size + 2) {
            incomplete = true;
            return 0;
        }
        if (data.substr(at + *size, 2) != "\r\n")
            return std::nullopt;
        at += *size + 2;
    }
}
} // namespace

RequestFrame FrameRequest(std::string_view data, size_t maxHead, size_t maxBody) {
    RequestFrame frame;
    size_t end = data.find("\r\n\r\n");
    if (end == std::string_view::npos) {
        if (data.size() > maxHead)
            frame.state = RequestFrame::State::HeadTooLarge;
        return frame;
    }
    if (end + 4 > maxHead) {
        frame.state = RequestFrame::State::HeadTooLarge;
        return frame;
    }
    frame.headLength = end + 4;
    std::string_view head = data.substr(0, end + 2);
    auto complete = [&](size_t length) {
        frame.state = RequestFrame::State::Complete;
        frame.length = length;
        return frame;
    };
    auto refuseBody = [&] {
        frame.bodyRefused = true;
        return complete(frame.headLength);
    };
    bool continues = false;
    if (auto expect = HeaderValue(head, "Expect"))
        continues = SameText(*expect, "100-continue");
    if (auto encoding = HeaderValue(head, "Transfer-Encoding");
        encoding && SameText(*encoding, "chunked")) {
        bool incomplete = false;
        auto chunkedEnd = ChunkedEnd(data, frame.headLength, maxBody, incomplete);
        if (!chunkedEnd)
            return refuseBody();
        if (incomplete) {
            frame.expectsContinue = continues && data.size() == frame.headLength;
            return frame;
        }
        return complete(*chunkedEnd);
    }
    if (auto lengthText = HeaderValue(head, "Content-Length")) {
        auto length = ParseSize(*lengthText, 10);
        if (!length || *length > maxBody)
            return refuseBody();
        if (data.size() - frame.headLength < *length) {
            frame.expectsContinue = continues && data.size() == frame.headLength;
            return frame;
        }
        return complete(frame.headLength + *length);
    }
    return complete(frame.headLength);
}

} // namespace PlenvoService
