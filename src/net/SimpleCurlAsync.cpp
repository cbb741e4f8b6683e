#include "net/SimpleCurlAsync.h"

#include "net/CurlGlobal.h"
#include "net/Deflate.h"
#include "net/ThreadDispatcher.h"
#include "platform/Tick.h"

#include <cstdio>
#include <stdexcept>

namespace SimpleCurl {

CSimpleCurlAsync::CSimpleCurlAsync(const char* source, int line, std::shared_ptr<CSession> session)
    : source_(source), line_(line), session_(std::move(session)) {
    EnsureCurlGlobalInit();
    CreateHandle();
}

CSimpleCurlAsync::~CSimpleCurlAsync() {
    curl_easy_cleanup(handle_);
    curl_slist_free_all(headers_);
}

void CSimpleCurlAsync::CreateHandle() {
    handle_ = curl_easy_init();
    if (!handle_) {
        throw std::runtime_error("the transfer library could not create a transfer");
    }
    curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &CSimpleCurlAsync::OnWrite);
    curl_easy_setopt(handle_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(handle_, CURLOPT_HEADERFUNCTION, &CSimpleCurlAsync::OnHeader);
    curl_easy_setopt(handle_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(handle_, CURLOPT_PRIVATE, this);
    if (session_) {
        curl_easy_setopt(handle_, CURLOPT_SHARE, session_->Share());
        // Sharing the cookie store does not switch the cookie engine on by itself.
        curl_easy_setopt(handle_, CURLOPT_COOKIEFILE, "");
    }
    curl_easy_setopt(handle_, CURLOPT_ACCEPT_ENCODING, "*");
    curl_easy_setopt(handle_, CURLOPT_TIMEOUT, kTimeoutSeconds);
    curl_easy_setopt(handle_, CURLOPT_XFERINFOFUNCTION, &CSimpleCurlAsync::OnProgress);
    curl_easy_setopt(handle_, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 0L);
    // Transfers run on a worker thread; signals would reach an arbitrary thread.
    curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
}

void CSimpleCurlAsync::ApplyBody() {
    curl_easy_setopt(handle_, CURLOPT_POST, 1L);
    curl_easy_setopt(handle_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
    curl_easy_setopt(handle_, CURLOPT_POSTFIELDS, body_.data());
    if (compress_) {
        curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers_);
    }
}

void CSimpleCurlAsync::BeginOperation() {
    if (started_) {
        throw std::logic_error("a request object was started a second time");
    }
    started_ = true;
}

void CSimpleCurlAsync::Get(const std::string& url, Callback callback) {
    BeginOperation();
    callback_ = std::move(callback);
    url_ = url;
    curl_easy_setopt(handle_, CURLOPT_URL, url_.c_str());
    Start();
}

void CSimpleCurlAsync::Get(const std::string& url, const Parameters& parameters,
                           Callback callback) {
    Get(AppendQuery(url, parameters), std::move(callback));
}

void CSimpleCurlAsync::Get(const std::string& url) {
    Get(url, Callback{});
}

void CSimpleCurlAsync::Post(const std::string& url, const Parameters& parameters, bool compress,
                            Callback callback) {
    BeginOperation();
    callback_ = std::move(callback);
    url_ = url;
    body_ = BuildForm(parameters);
    compress_ = compress;
    if (compress_) {
        if (auto packed = DeflateZlib(body_)) {
            body_ = std::move(*packed);
        } else {
            compress_ = false;
        }
    }
    curl_easy_setopt(handle_, CURLOPT_URL, url_.c_str());
    if (compress_) {
        headers_ = curl_slist_append(headers_, "Content-Encoding: deflate");
    }
    ApplyBody();
    std::printf("Post data [%zu] bytes to [%s]\n", body_.size(), url_.c_str());
    Start();
}

void CSimpleCurlAsync::Post(const std::string& url, const Parameters& parameters,
                            Callback callback) {
    Post(url, parameters, false, std::move(callback));
}

void CSimpleCurlAsync::SetProgressCallback(ProgressCallback callback) {
    progress_ = std::move(callback);
}

void CSimpleCurlAsync::Start() {
    CThreadDispatcher::Current()->Start(shared_from_this());
}

void CSimpleCurlAsync::RecordCompletion(CURLcode result) {
    lastResult_ = result;
    response_.result = static_cast<int>(result);
    response_.error = curl_easy_strerror(result);
    long status = 0;
    curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &status);
    response_.status = status;
    const char* type = nullptr;
    if (curl_easy_getinfo(handle_, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) {
        response_.contentType = type;
    }
    response_.finished = true;
}

void CSimpleCurlAsync::RecordFailure(CURLcode result, const std::string& error) {
    lastResult_ = result;
    response_ = response{};
    response_.result = static_cast<int>(result);
    response_.error = error;
}

bool CSimpleCurlAsync::PrepareRetry() {
    if (lastResult_ == CURLE_OK || retriesLeft_ == 0) {
        return false;
    }
    --retriesLeft_;
    response_ = response{};
    curl_easy_cleanup(handle_);
    handle_ = nullptr;
    CreateHandle();
    curl_easy_setopt(handle_, CURLOPT_URL, url_.c_str());
    if (!body_.empty()) {
        ApplyBody();
        std::printf("Retry Post data [%zu] bytes to [%s]\n", body_.size(), url_.c_str());
    }
    return true;
}

void CSimpleCurlAsync::Deliver() {
    if (callback_) {
        callback_(response_);
    }
    completionTick_ = platform::GetTickCount();
}

size_t CSimpleCurlAsync::OnWrite(char* data, size_t size, size_t count, void* self) {
    const size_t length = size * count;
    static_cast<CSimpleCurlAsync*>(self)->response_.body.append(data, length);
    return length;
}

size_t CSimpleCurlAsync::OnHeader(char* data, size_t size, size_t count, void* self) {
    const size_t length = size * count;
    const std::string_view line(data, length);
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
        auto& headers = static_cast<CSimpleCurlAsync*>(self)->response_.headers;
        headers[std::string(line.substr(0, colon))] = std::string(line.substr(colon + 1));
    }
    return length;
}

int CSimpleCurlAsync::OnProgress(void* self, curl_off_t dlTotal, curl_off_t dlNow,
                                 curl_off_t ulTotal, curl_off_t ulNow) {
    const auto& progress = static_cast<CSimpleCurlAsync*>(self)->progress_;
    if (progress) {
        progress(static_cast<double>(dlTotal), static_cast<double>(dlNow),
                 static_cast<double>(ulTotal), static_cast<double>(ulNow));
    }
    return 0;
}

} // namespace SimpleCurl
