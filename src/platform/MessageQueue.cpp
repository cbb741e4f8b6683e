#include "platform/MessageQueue.h"

#include "platform/GLibQueueSource.h"
#include "platform/Messages.h"
#include "platform/Tick.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace platform {

namespace {

constexpr unsigned kMinimumTimerPeriod = 10;

std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}

std::unordered_map<std::thread::id, std::weak_ptr<MessageQueue>>& Registry() {
    static std::unordered_map<std::thread::id, std::weak_ptr<MessageQueue>> r;
    return r;
}

} // namespace

MessageQueue::MessageQueue() : owner_(std::this_thread::get_id()) {}

MessageQueue::~MessageQueue() {
    glib_ = nullptr;
    glibOwner_.reset();
    std::lock_guard lock(RegistryMutex());
    auto it = Registry().find(owner_);
    if (it != Registry().end() && it->second.expired()) {
        Registry().erase(it);
    }
}

std::shared_ptr<MessageQueue> MessageQueue::Current() {
    thread_local std::shared_ptr<MessageQueue> current;
    if (!current) {
        current = std::make_shared<MessageQueue>();
        std::lock_guard lock(RegistryMutex());
        Registry()[current->owner_] = current;
    }
    return current;
}

std::shared_ptr<MessageQueue> MessageQueue::ForThread(std::thread::id id) {
    std::lock_guard lock(RegistryMutex());
    auto it = Registry().find(id);
    return it == Registry().end() ? nullptr : it->second.lock();
}

void MessageQueue::WakeAll() {
    std::vector<std::shared_ptr<MessageQueue>> queues;
    {
        std::lock_guard lock(RegistryMutex());
        for (const auto& [id, weak] : Registry()) {
            if (auto queue = weak.lock()) {
                queues.push_back(std::move(queue));
            }
        }
    }
    for (const auto& queue : queues) {
        // Taking the lock orders this wake after a waiter's last look at the clock.
        { std::lock_guard lock(queue->mutex_); }
        queue->Wake();
    }
}

bool MessageQueue::Post(const MSG& msg) {
    bool wasEmpty = false;
    {
        std::lock_guard lock(mutex_);
        wasEmpty = posted_.empty();
        posted_.push_back(msg);
        posted_.back().time = GetTickCount();
    }
    // A queue that already held messages has been woken for them and has not drained them yet.
    if (wasEmpty) {
        Wake();
    }
    return true;
}

void MessageQueue::PostQuit(int exitCode) {
    {
        std::lock_guard lock(mutex_);
        quit_ = exitCode;
    }
    Wake();
}

void MessageQueue::Wake() {
    cv_.notify_all();
    if (GLibQueueSource* source = glib_.load()) {
        source->Wake();
    }
}

bool MessageQueue::ReadyLocked(std::uint64_t now, bool includeQuit) const {
    if (!posted_.empty() || (quit_ && includeQuit)) {
        return true;
    }
    return std::any_of(timers_.begin(), timers_.end(),
                       [now](const auto& t) { return t.second.due <= now; });
}

long long MessageQueue::NextTimeoutLocked(std::uint64_t now) const {
    long long best = -1;
    for (const auto& [key, timer] : timers_) {
        long long left = timer.due <= now ? 0 : static_cast<long long>(timer.due - now);
        if (best < 0 || left < best) {
            best = left;
        }
    }
    return best;
}

bool MessageQueue::TakeLocked(MSG& msg, bool remove, std::uint64_t now, bool includeQuit) {
    if (!posted_.empty()) {
        msg = posted_.front();
        if (remove) {
            posted_.pop_front();
        }
        return true;
    }
    if (quit_ && includeQuit) {
        msg = MSG{0, WM_QUIT, static_cast<WPARAM>(*quit_), 0, now};
        if (remove) {
            quit_.reset();
        }
        return true;
    }
    auto due = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.due <= now && (due == timers_.end() || it->second.due < due->second.due)) {
            due = it;
        }
    }
    if (due == timers_.end()) {
        return false;
    }
    msg = MSG{due->first.first, WM_TIMER, due->first.second, 0, now};
    if (remove) {
        due->second.due = now + due->second.period;
    }
    return true;
}

bool MessageQueue::Get(MSG& msg) {
    for (;;) {
        std::unique_lock lock(mutex_);
        if (TakeLocked(msg, true, GetTickCount())) {
            return msg.message != WM_QUIT;
        }
        if (GLibQueueSource* source = glib_.load()) {
            lock.unlock();
            source->IterateForGet();
            lock.lock();
        } else {
            // A manual clock moves only with a wake-up; real time tells nothing.
            long long timeout = ClockIsManual() ? -1 : NextTimeoutLocked(GetTickCount());
            if (timeout < 0) {
                cv_.wait(lock);
            } else {
                cv_.wait_for(lock, std::chrono::milliseconds(timeout));
            }
        }
        ++wakeUps_;
    }
}

bool MessageQueue::Peek(MSG& msg, bool remove) {
    std::lock_guard lock(mutex_);
    return TakeLocked(msg, remove, GetTickCount());
}

bool MessageQueue::WaitForMessage(std::uint64_t timeoutMs) {
    const std::uint64_t end = GetTickCount() + timeoutMs;
    std::unique_lock lock(mutex_);
    for (;;) {
        std::uint64_t now = GetTickCount();
        if (ReadyLocked(now)) {
            return true;
        }
        if (now >= end) {
            return false;
        }
        long long wait = static_cast<long long>(end - now);
        long long timer = NextTimeoutLocked(now);
        if (timer >= 0) {
            wait = std::min(wait, timer);
        }
        if (GLibQueueSource* source = glib_.load()) {
            lock.unlock();
            source->IterateForGet(ClockIsManual() ? -1 : wait);
            lock.lock();
        } else if (ClockIsManual()) {
            cv_.wait(lock);
        } else {
            cv_.wait_for(lock, std::chrono::milliseconds(wait));
        }
        ++wakeUps_;
    }
}

void MessageQueue::SetTimer(HWND hwnd, UINT_PTR id, unsigned periodMs, TimerProc proc) {
    const unsigned period = std::max(periodMs, kMinimumTimerPeriod);
    {
        std::lock_guard lock(mutex_);
        timers_[{hwnd, id}] = Timer{id, period, GetTickCount() + period, std::move(proc)};
    }
    Wake();
}

bool MessageQueue::KillTimer(HWND hwnd, UINT_PTR id) {
    std::lock_guard lock(mutex_);
    return timers_.erase({hwnd, id}) > 0;
}

void MessageQueue::KillTimersOf(HWND hwnd) {
    std::lock_guard lock(mutex_);
    std::erase_if(timers_, [hwnd](const auto& t) { return t.first.first == hwnd; });
}

std::optional<TimerProc> MessageQueue::TimerCallback(HWND hwnd, UINT_PTR id) const {
    std::lock_guard lock(mutex_);
    auto it = timers_.find({hwnd, id});
    if (it == timers_.end()) {
        return std::nullopt;
    }
    return it->second.proc;
}

bool MessageQueue::HasTimer(HWND hwnd, UINT_PTR id) const {
    std::lock_guard lock(mutex_);
    return timers_.count({hwnd, id}) > 0;
}

void MessageQueue::AttachToGLib() {
    if (!glibOwner_) {
        glibOwner_ = std::make_unique<GLibQueueSource>(*this);
        glib_ = glibOwner_.get();
    }
}

bool MessageQueue::AttachedToGLib() const {
    return glib_.load() != nullptr;
}

std::uint64_t MessageQueue::WakeUps() const {
    std::lock_guard lock(mutex_);
    return wakeUps_;
}

} // namespace platform
