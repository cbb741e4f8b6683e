#include "net/Worker.h"

#include "net/CurlGlobal.h"
#include "platform/Event.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"

#include <curl/curl.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace SimpleCurl {

namespace {

constexpr std::int64_t kStartTimeoutMs = 10000;
constexpr const char* kStoppedText = "the HTTP worker has stopped; the request was not sent";
constexpr const char* kAbandonedText = "the HTTP worker stopped before the transfer ended";
// With nothing to do the worker waits this long; the poll returns earlier for any socket
// activity, a transfer time-out or a wake-up.
constexpr int kIdleWaitMs = 24 * 60 * 60 * 1000;

class CWorker {
public:
    static CWorker& Instance() {
        static CWorker worker;
        return worker;
    }

    ~CWorker() {
        // At process exit the dispatchers' windows may be gone with the other statics.
        processEnding_ = true;
        Stop(5000);
    }

    void Start() {
        std::lock_guard control(control_);
        if (thread_.joinable()) {
            return;
        }
        EnsureCurlGlobalInit();
        stop_ = false;
        {
            std::lock_guard lock(lock_);
            stopped_ = false;
        }
        multiFailed_ = false;
        started_.Reset();
        exited_.Reset();
        wakeUps_ = 0;
        thread_ = std::thread([this] { Run(); });
        if (!started_.Wait(kStartTimeoutMs)) {
            thread_.detach();
            throw std::runtime_error("the HTTP worker did not start within 10000 ms");
        }
        if (multiFailed_) {
            thread_.join();
            throw std::runtime_error("the HTTP worker could not create its transfer set");
        }
    }

    bool Stop(std::int64_t waitMs) {
        std::lock_guard control(control_);
        if (!thread_.joinable()) {
            return true;
        }
        stop_ = true;
        Wake();
        if (!exited_.Wait(waitMs)) {
            // Abandoned: the process is about to end anyway.
            thread_.detach();
            return false;
        }
        thread_.join();
        return true;
    }

    bool Running() {
        std::lock_guard control(control_);
        return thread_.joinable();
    }

    // Before the first start requests wait for the worker; once it has stopped nothing would
    // ever take them, so they fail at once instead of staying in flight.
    void Queue(std::shared_ptr<CSimpleCurlAsync> request) {
        {
            std::lock_guard lock(lock_);
            if (!stopped_) {
                pending_.push_back(std::move(request));
                if (multi_) {
                    curl_multi_wakeup(multi_);
                }
                return;
            }
        }
        Fail(std::move(request), CURLE_FAILED_INIT, kStoppedText);
    }

    std::uint64_t WakeUps() const { return wakeUps_.load(); }

private:
    void Wake() {
        std::lock_guard lock(lock_);
        if (multi_) {
            curl_multi_wakeup(multi_);
        }
    }

    void Run() {
        CURLM* multi = curl_multi_init();
        if (!multi) {
            multiFailed_ = true;
            {
                std::lock_guard lock(lock_);
                stopped_ = true;
            }
            started_.Set();
            exited_.Set();
            return;
        }
        {
            std::lock_guard lock(lock_);
            multi_ = multi;
        }
        started_.Set();
        std::unordered_map<CURL*, std::shared_ptr<CSimpleCurlAsync>> running;
        for (;;) {
            std::vector<std::shared_ptr<CSimpleCurlAsync>> batch;
            {
                std::lock_guard lock(lock_);
                batch.swap(pending_);
            }
            for (auto& request : batch) {
                CURL* handle = request->Handle();
                const CURLMcode added = curl_multi_add_handle(multi, handle);
                if (added == CURLM_OK) {
                    running[handle] = std::move(request);
                } else {
                    Fail(std::move(request), CURLE_FAILED_INIT,
                         std::string("the transfer could not be started: ") +
                             curl_multi_strerror(added));
                }
            }
            const bool stopping = stop_.load();
            int active = 0;
            curl_multi_perform(multi, &active);
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg == CURLMSG_DONE) {
                    Complete(multi, running, message->easy_handle, message->data.result);
                }
            }
            if (stopping) {
                break;
            }
            curl_multi_poll(multi, nullptr, 0, kIdleWaitMs, nullptr);
            ++wakeUps_;
        }
        std::vector<std::shared_ptr<CSimpleCurlAsync>> unsent;
        {
            std::lock_guard lock(lock_);
            multi_ = nullptr;
            stopped_ = true;
            unsent.swap(pending_);
        }
        for (auto& [handle, request] : running) {
            curl_multi_remove_handle(multi, handle);
            if (!processEnding_) {
                Fail(std::move(request), CURLE_ABORTED_BY_CALLBACK, kAbandonedText);
            }
        }
        running.clear();
        if (!processEnding_) {
            for (auto& request : unsent) {
                Fail(std::move(request), CURLE_FAILED_INIT, kStoppedText);
            }
        }
        curl_multi_cleanup(multi);
        exited_.Set();
    }

    static void Complete(CURLM* multi,
                         std::unordered_map<CURL*, std::shared_ptr<CSimpleCurlAsync>>& running,
                         CURL* handle, CURLcode result) {
        auto it = running.find(handle);
        curl_multi_remove_handle(multi, handle);
        if (it == running.end()) {
            return;
        }
        std::shared_ptr<CSimpleCurlAsync> request = std::move(it->second);
        running.erase(it);
        request->RecordCompletion(result);
        PostCompletion(std::move(request));
    }

    // A request that never reached the network still gets its one completion, so that its
    // dispatcher applies the retry rule and delivers it instead of keeping it in flight.
    static void Fail(std::shared_ptr<CSimpleCurlAsync> request, CURLcode result,
                     const std::string& error) {
        request->RecordFailure(result, error);
        PostCompletion(std::move(request));
    }

    static void PostCompletion(std::shared_ptr<CSimpleCurlAsync> request) {
        const platform::HWND window = request->DispatcherWindow();
        const auto key = reinterpret_cast<platform::WPARAM>(request.get());
        // The dispatcher keeps the request alive until it is delivered; dropping ours first
        // means the request (and whatever its callback holds) is never destroyed here.
        request.reset();
        platform::PostMessage(window, platform::WM_REQUEST_COMPLETE, key, 0);
    }

    std::mutex control_;
    std::thread thread_;
    platform::Event started_{false, false};
    platform::Event exited_{true, false};
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> wakeUps_{0};
    // Written by the worker before it signals started_, read by Start after the wait.
    std::atomic<bool> multiFailed_{false};
    std::atomic<bool> processEnding_{false};
    // The layer lock: the pending list, and the multi handle for wake-ups from other threads.
    std::mutex lock_;
    std::vector<std::shared_ptr<CSimpleCurlAsync>> pending_;
    CURLM* multi_ = nullptr;
    bool stopped_ = false;
};

} // namespace

void StartWorker() {
    CWorker::Instance().Start();
}

bool StopWorker(std::int64_t waitMs) {
    return CWorker::Instance().Stop(waitMs);
}

bool WorkerRunning() {
    return CWorker::Instance().Running();
}

void QueueRequest(std::shared_ptr<CSimpleCurlAsync> request) {
    CWorker::Instance().Queue(std::move(request));
}

std::uint64_t WorkerWakeUps() {
    return CWorker::Instance().WakeUps();
}

} // namespace SimpleCurl
