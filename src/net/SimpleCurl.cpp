#include "net/SimpleCurl.h"

#include "net/CurlGlobal.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace SimpleCurl {

CSimpleCurl::CSimpleCurl(std::shared_ptr<CSession> session) : session_(std::move(session)) {
    EnsureCurlGlobalInit();
    handle_ = curl_easy_init();
    if (!handle_) {
        throw std::runtime_error("the transfer library could not create a transfer");
    }
    curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &CSimpleCurl::OnWrite);
    curl_easy_setopt(handle_, CURLOPT_WRITEDATA, this);
    if (session_) {
        curl_easy_setopt(handle_, CURLOPT_SHARE, session_->Share());
        // Sharing the cookie store does not switch the cookie engine on by itself.
        curl_easy_setopt(handle_, CURLOPT_COOKIEFILE, "");
    }
    curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
}

CSimpleCurl::~CSimpleCurl() {
    curl_easy_cleanup(handle_);
}

void CSimpleCurl::SetTimeLimit(long milliseconds) {
    curl_easy_setopt(handle_, CURLOPT_TIMEOUT_MS, milliseconds);
}

void CSimpleCurl::Get(const std::string& url) {
    response_.body.clear();
    response_.contentType.clear();
    response_.status = 0;
    curl_easy_setopt(handle_, CURLOPT_URL, url.c_str());
    Perform();
}

void CSimpleCurl::PostFile(const std::string& url, const std::string& path) {
    response_ = response{};
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxFileBytes) {
        return;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return;
    }
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    // The file may have grown between the size check and the read.
    if (bytes.size() > kMaxFileBytes) {
        return;
    }
    curl_mime* form = curl_mime_init(handle_);
    curl_mimepart* part = curl_mime_addpart(form);
    curl_mime_name(part, "file");
    curl_mime_filename(part, "dmp.dmp");
    curl_mime_data(part, bytes.data(), bytes.size());
    curl_easy_setopt(handle_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle_, CURLOPT_MIMEPOST, form);
    Perform();
    curl_easy_setopt(handle_, CURLOPT_MIMEPOST, nullptr);
    curl_mime_free(form);
}

void CSimpleCurl::Perform() {
    if (curl_easy_perform(handle_) != CURLE_OK) {
        response_.body.clear();
        response_.finished = false;
        return;
    }
    curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &response_.status);
    const char* type = nullptr;
    if (curl_easy_getinfo(handle_, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) {
        response_.contentType = type;
    }
    response_.finished = true;
}

size_t CSimpleCurl::OnWrite(char* data, size_t size, size_t count, void* self) {
    const size_t length = size * count;
    static_cast<CSimpleCurl*>(self)->response_.body.append(data, length);
    return length;
}

} // namespace SimpleCurl
