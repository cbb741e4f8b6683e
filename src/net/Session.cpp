#include "net/Session.h"

#include "net/CurlGlobal.h"

#include <stdexcept>

namespace SimpleCurl {

CSession::CSession() {
    EnsureCurlGlobalInit();
    share_ = curl_share_init();
    if (!share_) {
        throw std::runtime_error("the cookie share could not be created");
    }
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CSession::Lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CSession::Unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

CSession::~CSession() {
    curl_share_cleanup(share_);
}

void CSession::Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<CSession*>(self)->locks_.at(data).lock();
}

void CSession::Unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<CSession*>(self)->locks_.at(data).unlock();
}

} // namespace SimpleCurl
