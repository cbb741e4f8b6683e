#pragma once
// The cookie context that every request of the program shares, so that the service's session
// cookie set on login goes with every later request.
#include <curl/curl.h>

#include <array>
#include <mutex>

namespace SimpleCurl {

class CSession {
public:
    CSession();
    ~CSession();
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    CURLSH* Share() const { return share_; }

private:
    static void Lock(CURL* handle, curl_lock_data data, curl_lock_access access, void* self);
    static void Unlock(CURL* handle, curl_lock_data data, void* self);

    CURLSH* share_ = nullptr;
    // The worker and a blocking request on another thread use the cookie store at the same
    // time, so the share needs a lock per kind of shared data.
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
};

} // namespace SimpleCurl
