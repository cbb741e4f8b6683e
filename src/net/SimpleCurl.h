#pragma once
// A blocking request on the calling thread, for the two requests made outside the user
// interface's flow: the exit notice and the crash-dump upload. Used once and discarded; it never
// retries and reports only finished, status, contentType and body.
#include "net/Response.h"
#include "net/Session.h"

#include <curl/curl.h>

#include <cstdint>
#include <memory>
#include <string>

namespace SimpleCurl {

class CSimpleCurl {
public:
    static constexpr std::uintmax_t kMaxFileBytes = 10485760;

    explicit CSimpleCurl(std::shared_ptr<CSession> session);
    ~CSimpleCurl();
    CSimpleCurl(const CSimpleCurl&) = delete;
    CSimpleCurl& operator=(const CSimpleCurl&) = delete;

    // No time limit unless one is set here; 0 means none.
    void SetTimeLimit(long milliseconds);
    void Get(const std::string& url);
    // Sends the file as the multipart part "file" named "dmp.dmp". A file that cannot be read
    // or is larger than kMaxFileBytes is not sent (finished stays false).
    void PostFile(const std::string& url, const std::string& path);

    response& Result() { return response_; }

private:
    void Perform();
    static size_t OnWrite(char* data, size_t size, size_t count, void* self);

    CURL* handle_ = nullptr;
    response response_;
    std::shared_ptr<CSession> session_;
};

} // namespace SimpleCurl
