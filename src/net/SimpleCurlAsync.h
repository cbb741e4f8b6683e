#pragma once
// One asynchronous request. It is built and started on the thread that needs it, performed on the
// HTTP worker, and its completion callback runs later on the starting thread. Always held by
// shared ownership (create it with std::make_shared): starting it hands out references to itself.
#include "net/Form.h"
#include "net/Response.h"
#include "net/Session.h"
#include "platform/Types.h"

#include <curl/curl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace SimpleCurl {

class CSimpleCurlAsync : public std::enable_shared_from_this<CSimpleCurlAsync> {
public:
    using Callback = std::function<void(response&)>;
    // Download total, downloaded, upload total, uploaded; called on the worker thread.
    using ProgressCallback = std::function<void(double, double, double, double)>;

    static constexpr int kRetries = 3;
    static constexpr unsigned kRetryDelayMs = 1000;
    static constexpr long kTimeoutSeconds = 60;

    // The origin tag is kept for diagnostics only. An empty session shares no cookies.
    CSimpleCurlAsync(const char* source, int line, std::shared_ptr<CSession> session);
    ~CSimpleCurlAsync();
    CSimpleCurlAsync(const CSimpleCurlAsync&) = delete;
    CSimpleCurlAsync& operator=(const CSimpleCurlAsync&) = delete;

    // One operation per object: a second one throws std::logic_error.
    void Get(const std::string& url, Callback callback);
    void Get(const std::string& url, const Parameters& parameters, Callback callback);
    // Nobody learns the outcome.
    void Get(const std::string& url);
    // The body must not be empty: pass at least one pair with a non-empty key.
    void Post(const std::string& url, const Parameters& parameters, bool compress,
              Callback callback);
    void Post(const std::string& url, const Parameters& parameters, Callback callback);
    // Set before starting the request.
    void SetProgressCallback(ProgressCallback callback);

    const std::string& Url() const { return url_; }
    // The body as sent, compressed when Compressed() is true.
    const std::string& Body() const { return body_; }
    bool Compressed() const { return compress_; }
    int RetriesLeft() const { return retriesLeft_; }
    std::uint64_t CompletionTick() const { return completionTick_; }
    const char* Source() const { return source_; }
    int Line() const { return line_; }

    // The layer's own side: the dispatcher and the worker.
    const response& Result() const { return response_; }
    CURL* Handle() const { return handle_; }
    platform::HWND DispatcherWindow() const { return dispatcher_; }
    void SetDispatcherWindow(platform::HWND hwnd) { dispatcher_ = hwnd; }
    // Worker thread: the transfer has ended with this result.
    void RecordCompletion(CURLcode result);
    // Worker or requesting thread: the attempt ended before any transfer took place.
    void RecordFailure(CURLcode result, const std::string& error);
    // Requesting thread: when the last attempt failed and retries are left, makes a fresh
    // transfer with the same URL and body and returns true; the caller schedules it.
    bool PrepareRetry();
    // Requesting thread: calls the completion callback once and records the tick.
    void Deliver();

private:
    void CreateHandle();
    // A request object carries one operation: starting it again would hand the same transfer to
    // the worker twice, or mix a second reply into the first one's.
    void BeginOperation();
    void ApplyBody();
    void Start();
    static size_t OnWrite(char* data, size_t size, size_t count, void* self);
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static int OnProgress(void* self, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal,
                          curl_off_t ulNow);

    const char* source_;
    int line_;
    std::uint64_t completionTick_ = 0;
    Callback callback_;
    std::string url_;
    std::string body_;
    CURL* handle_ = nullptr;
    platform::HWND dispatcher_ = 0;
    response response_;
    std::shared_ptr<CSession> session_;
    int retriesLeft_ = kRetries;
    CURLcode lastResult_ = CURLE_OK;
    ProgressCallback progress_;
    bool compress_ = false;
    curl_slist* headers_ = nullptr;
    bool started_ = false;
};

} // namespace SimpleCurl
