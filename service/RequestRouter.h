#pragma once

#include <httplib.h>

namespace PlenvoService {

// The HTTP library's request parsing, routing and reply writing, driven on a request that the
// connection loop has already received whole, instead of on a socket of the library's own.
class RequestRouter : public httplib::Server {
public:
    // `last`: the reply tells the client that the connection closes. `closed` says whether the
    // request itself asked for that.
    bool Process(httplib::Stream& stream, bool last, bool& closed) {
        return process_request(stream, last, closed, nullptr);
    }
};

} // namespace PlenvoService
