#include "net/CurlGlobal.h"

#include <curl/curl.h>

#include <stdexcept>

namespace SimpleCurl {

void EnsureCurlGlobalInit() {
    static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (result != CURLE_OK) {
        throw std::runtime_error("the transfer library could not be initialised");
    }
}

} // namespace SimpleCurl
