#pragma once
// The process-wide table of message targets: each handle names a window procedure and the queue
// of the thread that owns it. Handles count up and are never reused.
#include "platform/Types.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace platform {

class MessageQueue;

class WindowTable {
public:
    static WindowTable& Instance();

    HWND Register(std::shared_ptr<MessageQueue> queue, WndProc proc);
    void Unregister(HWND hwnd);
    bool Exists(HWND hwnd) const;
    std::shared_ptr<MessageQueue> QueueOf(HWND hwnd) const;
    std::shared_ptr<const WndProc> ProcOf(HWND hwnd) const;

private:
    struct Entry {
        std::shared_ptr<MessageQueue> queue;
        std::shared_ptr<const WndProc> proc;
    };
    mutable std::mutex mutex_;
    std::unordered_map<HWND, Entry> entries_;
    HWND next_ = 0x10000;
};

} // namespace platform
