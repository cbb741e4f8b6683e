#include "platform/WindowTable.h"

namespace platform {

WindowTable& WindowTable::Instance() {
    static WindowTable table;
    return table;
}

HWND WindowTable::Register(std::shared_ptr<MessageQueue> queue, WndProc proc) {
    std::lock_guard lock(mutex_);
    HWND hwnd = ++next_;
    entries_[hwnd] = Entry{std::move(queue), std::make_shared<const WndProc>(std::move(proc))};
    return hwnd;
}

void WindowTable::Unregister(HWND hwnd) {
    std::lock_guard lock(mutex_);
    entries_.erase(hwnd);
}

bool WindowTable::Exists(HWND hwnd) const {
    std::lock_guard lock(mutex_);
    return entries_.count(hwnd) > 0;
}

std::shared_ptr<MessageQueue> WindowTable::QueueOf(HWND hwnd) const {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(hwnd);
    return it == entries_.end() ? nullptr : it->second.queue;
}

std::shared_ptr<const WndProc> WindowTable::ProcOf(HWND hwnd) const {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(hwnd);
    return it == entries_.end() ? nullptr : it->second.proc;
}

} // namespace platform
