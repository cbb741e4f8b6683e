#pragma once
// One thread's message queue: posted messages in order, the quit request, and the timers of the
// thread and of its windows. Posting is safe from any thread; everything else runs on the owner.
#include "platform/Types.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace platform {

class GLibQueueSource;

class MessageQueue : public std::enable_shared_from_this<MessageQueue> {
public:
    MessageQueue();
    ~MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // The calling thread's queue, created on first use.
    static std::shared_ptr<MessageQueue> Current();
    // The queue of another thread, if that thread has one.
    static std::shared_ptr<MessageQueue> ForThread(std::thread::id id);

    std::thread::id ThreadId() const { return owner_; }
    // Wakes every thread's blocked queue to look at the clock again (the clock was moved).
    static void WakeAll();

    // Any thread. Returns false once the queue has been closed.
    bool Post(const MSG& msg);
    void PostQuit(int exitCode);

    // Owner thread. Get blocks until a message is available; it returns false for WM_QUIT, whose
    // wParam carries the exit code. Posted messages come first, then the quit request, then
    // timers that are due (one WM_TIMER per due timer, never queued up).
    bool Get(MSG& msg);
    bool Peek(MSG& msg, bool remove);
    // Waits until a message is available or the time runs out; used by modal waits.
    bool WaitForMessage(std::uint64_t timeoutMs);

    // Owner thread. Periods below 10 ms are raised to 10 ms. Setting an existing (window, id)
    // pair restarts it.
    void SetTimer(HWND hwnd, UINT_PTR id, unsigned periodMs, TimerProc proc);
    bool KillTimer(HWND hwnd, UINT_PTR id);
    void KillTimersOf(HWND hwnd);
    // The callback of a live timer, used when its WM_TIMER is dispatched; none once killed.
    std::optional<TimerProc> TimerCallback(HWND hwnd, UINT_PTR id) const;
    bool HasTimer(HWND hwnd, UINT_PTR id) const;

    // Owner thread: serve this queue from the default GLib main context from now on, so that
    // GTK's events and these messages share one loop.
    void AttachToGLib();
    bool AttachedToGLib() const;

    // Number of times a blocked Get/WaitForMessage woke up; lets tests and benchmarks prove that
    // an idle queue sleeps.
    std::uint64_t WakeUps() const;

private:
    friend class GLibQueueSource;
    struct Timer {
        UINT_PTR id = 0;
        unsigned period = 0;
        std::uint64_t due = 0;
        TimerProc proc;
    };
    using TimerKey = std::pair<HWND, UINT_PTR>;

    // A nested loop (a modal dialog) serves messages but leaves the quit request to Get.
    bool TakeLocked(MSG& msg, bool remove, std::uint64_t now, bool includeQuit = true);
    bool ReadyLocked(std::uint64_t now, bool includeQuit = true) const;
    // Milliseconds until the next timer is due, or -1 when none runs.
    long long NextTimeoutLocked(std::uint64_t now) const;
    void Wake();

    const std::thread::id owner_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<MSG> posted_;
    std::optional<int> quit_;
    std::map<TimerKey, Timer> timers_;
    std::unique_ptr<GLibQueueSource> glibOwner_;
    // Read by posting threads, written once by the owner.
    std::atomic<GLibQueueSource*> glib_{nullptr};
    std::uint64_t wakeUps_ = 0;
};

} // namespace platform
