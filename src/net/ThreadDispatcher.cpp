#include "net/ThreadDispatcher.h"

#include "net/Worker.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"

#include <algorithm>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace SimpleCurl {

namespace {

constexpr unsigned kReleasePumpMs = 100;

// The upload thread and the user-interface thread look up and insert concurrently.
struct Registry {
    std::mutex mutex;
    std::unordered_map<std::thread::id, std::shared_ptr<CThreadDispatcher>> map;
};

Registry& Dispatchers() {
    static Registry registry;
    return registry;
}

} // namespace

std::shared_ptr<CThreadDispatcher> CThreadDispatcher::Current() {
    auto& registry = Dispatchers();
    std::lock_guard lock(registry.mutex);
    auto& slot = registry.map[std::this_thread::get_id()];
    if (!slot) {
        slot = std::make_shared<CThreadDispatcher>();
    }
    return slot;
}

void CThreadDispatcher::ReleaseCurrentThread() {
    auto& registry = Dispatchers();
    std::shared_ptr<CThreadDispatcher> dispatcher;
    {
        std::lock_guard lock(registry.mutex);
        auto it = registry.map.find(std::this_thread::get_id());
        if (it == registry.map.end()) {
            return;
        }
        dispatcher = it->second;
    }
    dispatcher->Destroy();
    const platform::UINT_PTR timer = platform::SetTimer(0, 0, kReleasePumpMs);
    platform::MSG msg;
    for (;;) {
        if (!platform::GetMessage(msg)) {
            // Leave the quit request for the thread's own loop.
            platform::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (msg.message == platform::WM_TIMER && msg.hwnd == 0 && msg.wParam == timer) {
            break;
        }
        platform::DispatchMessage(msg);
    }
    platform::KillTimer(0, timer);
    std::lock_guard lock(registry.mutex);
    registry.map.erase(std::this_thread::get_id());
}

platform::HWND CThreadDispatcher::EnsureWindow() {
    if (hwnd_ == 0) {
        hwnd_ = platform::CreateMessageWindow(
            [this](platform::HWND hwnd, platform::UINT message, platform::WPARAM wParam,
                   platform::LPARAM lParam) { return WindowProc(hwnd, message, wParam, lParam); });
    }
    return hwnd_;
}

void CThreadDispatcher::Destroy() {
    if (hwnd_ != 0) {
        platform::DestroyWindow(hwnd_);
        hwnd_ = 0;
    }
    delayed_.clear();
}

void CThreadDispatcher::Start(std::shared_ptr<CSimpleCurlAsync> request) {
    request->SetDispatcherWindow(EnsureWindow());
    inFlight_.push_back(request);
    QueueRequest(std::move(request));
}

void CThreadDispatcher::Schedule(std::shared_ptr<CSimpleCurlAsync> request, unsigned delayMs) {
    request->SetDispatcherWindow(EnsureWindow());
    const platform::UINT_PTR id = nextTimerId_++;
    delayed_[id] = [request] { QueueRequest(request); };
    platform::SetTimer(hwnd_, id, delayMs);
    inFlight_.push_back(std::move(request));
}

platform::LRESULT CThreadDispatcher::WindowProc(platform::HWND, platform::UINT message,
                                                platform::WPARAM wParam, platform::LPARAM) {
    if (message == platform::WM_REQUEST_COMPLETE) {
        OnCompletion(reinterpret_cast<const CSimpleCurlAsync*>(wParam));
    } else if (message == platform::WM_TIMER) {
        OnTimer(wParam);
    }
    return 0;
}

void CThreadDispatcher::OnCompletion(const CSimpleCurlAsync* key) {
    auto it = std::find_if(inFlight_.begin(), inFlight_.end(),
                           [key](const auto& request) { return request.get() == key; });
    if (it == inFlight_.end()) {
        return;
    }
    std::shared_ptr<CSimpleCurlAsync> request = *it;
    if (request->PrepareRetry()) {
        Schedule(request, CSimpleCurlAsync::kRetryDelayMs);
        return;
    }
    request->Deliver();
    std::erase(inFlight_, request);
}

void CThreadDispatcher::OnTimer(platform::UINT_PTR id) {
    auto it = delayed_.find(id);
    if (it == delayed_.end()) {
        return;
    }
    auto call = std::move(it->second);
    delayed_.erase(it);
    platform::KillTimer(hwnd_, id);
    call();
}

} // namespace SimpleCurl
