#pragma once
// The outcome of one request, handed to completion callbacks by reference.
#include <map>
#include <string>

namespace SimpleCurl {

struct response {
    // The transfer library's result code of the last attempt; 0 means the transfer completed,
    // whatever the HTTP status.
    int result = 0;
    // After content decoding.
    std::string body;
    std::string contentType;
    // Key: the text before a header line's first colon; value: everything after it, unchanged
    // (leading blank and CR LF included). A later line with the same key wins.
    std::map<std::string, std::string> headers;
    std::string error;
    long status = 0;
    bool finished = false;
};

} // namespace SimpleCurl
