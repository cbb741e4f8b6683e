#pragma once
// Runs the completions of a thread's requests, and their retry pauses, on that thread: the worker
// posts to a message-only window that the thread's own message loop serves.
#include "net/SimpleCurlAsync.h"
#include "platform/Types.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace SimpleCurl {

class CThreadDispatcher {
public:
    // The calling thread's dispatcher, created on first use.
    static std::shared_ptr<CThreadDispatcher> Current();
    // For a thread that issued requests and is about to end, with none in flight: destroys its
    // window, serves the thread's remaining messages for 100 ms and forgets the dispatcher.
    static void ReleaseCurrentThread();

    CThreadDispatcher() = default;
    CThreadDispatcher(const CThreadDispatcher&) = delete;
    CThreadDispatcher& operator=(const CThreadDispatcher&) = delete;

    // Owning thread only.
    void Start(std::shared_ptr<CSimpleCurlAsync> request);
    void Schedule(std::shared_ptr<CSimpleCurlAsync> request, unsigned delayMs);
    platform::HWND Window() const { return hwnd_; }
    // Requests started or rescheduled here and not yet delivered (one entry per start).
    size_t InFlight() const { return inFlight_.size(); }
    // The id the next delayed call will use.
    platform::UINT_PTR NextTimerId() const { return nextTimerId_; }

private:
    platform::HWND EnsureWindow();
    platform::LRESULT WindowProc(platform::HWND hwnd, platform::UINT message,
                                 platform::WPARAM wParam, platform::LPARAM lParam);
    void OnCompletion(const CSimpleCurlAsync* key);
    void OnTimer(platform::UINT_PTR id);
    void Destroy();

    platform::HWND hwnd_ = 0;
    std::map<platform::UINT_PTR, std::function<void()>> delayed_;
    platform::UINT_PTR nextTimerId_ = 4096;
    std::vector<std::shared_ptr<CSimpleCurlAsync>> inFlight_;
};

} // namespace SimpleCurl
