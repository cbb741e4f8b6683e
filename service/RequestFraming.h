#pragma once

#include <cstddef>
#include <string_view>

namespace PlenvoService {

// Where one HTTP/1.1 request ends inside the bytes received so far, found from its head alone
// (Content-Length or chunked framing), so that a connection's request can be taken whole before
// any serving thread sees it.
struct RequestFrame {
    enum class State {
        Incomplete,   // more bytes are needed
        Complete,     // the request is the first `length` bytes
        HeadTooLarge, // no end of the head within the allowed size
    };
    State state = State::Incomplete;
    size_t headLength = 0; // 0 until the head's blank line has arrived
    size_t length = 0;     // the whole request, when complete
    // The body is not taken (declared too large, or its length unreadable): only the head is
    // handed on, which the request's handler refuses, and the connection closes after the reply.
    bool bodyRefused = false;
    bool expectsContinue = false; // "Expect: 100-continue" with a body still to come
};

// Frames the request at the start of `data`. A chunked body longer than `maxBody` is cut where
// the limit falls and marked refused.
RequestFrame FrameRequest(std::string_view data, size_t maxHead, size_t maxBody);

} // namespace PlenvoService
