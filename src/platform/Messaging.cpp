#include "platform/Messaging.h"

#include "platform/MessageQueue.h"
#include "platform/Messages.h"
#include "platform/WindowTable.h"

#include <atomic>

namespace platform {

namespace {

std::atomic<UINT_PTR> nextThreadTimerId{0x10000};

std::shared_ptr<MessageQueue> QueueFor(HWND hwnd) {
    return hwnd == 0 ? MessageQueue::Current() : WindowTable::Instance().QueueOf(hwnd);
}

} // namespace

HWND RegisterWindow(WndProc proc) {
    return WindowTable::Instance().Register(MessageQueue::Current(), std::move(proc));
}

HWND CreateMessageWindow(WndProc proc) {
    HWND hwnd = RegisterWindow(std::move(proc));
    if (SendMessage(hwnd, WM_CREATE, 0, 0) == -1) {
        WindowTable::Instance().Unregister(hwnd);
        return 0;
    }
    return hwnd;
}

bool DestroyWindow(HWND hwnd) {
    auto& table = WindowTable::Instance();
    if (!table.Exists(hwnd)) {
        return false;
    }
    SendMessage(hwnd, WM_DESTROY, 0, 0);
    SendMessage(hwnd, WM_NCDESTROY, 0, 0);
    if (auto queue = table.QueueOf(hwnd)) {
        queue->KillTimersOf(hwnd);
    }
    table.Unregister(hwnd);
    return true;
}

bool IsWindow(HWND hwnd) {
    return hwnd != 0 && WindowTable::Instance().Exists(hwnd);
}

bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto queue = QueueFor(hwnd);
    return queue && queue->Post(MSG{hwnd, message, wParam, lParam, 0});
}

bool PostThreadMessage(std::thread::id thread, UINT message, WPARAM wParam, LPARAM lParam) {
    auto queue = MessageQueue::ForThread(thread);
    return queue && queue->Post(MSG{0, message, wParam, lParam, 0});
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& table = WindowTable::Instance();
    auto queue = table.QueueOf(hwnd);
    if (!queue || queue->ThreadId() != std::this_thread::get_id()) {
        return 0;
    }
    auto proc = table.ProcOf(hwnd);
    return proc && *proc ? (*proc)(hwnd, message, wParam, lParam) : 0;
}

void PostQuitMessage(int exitCode) {
    MessageQueue::Current()->PostQuit(exitCode);
}

bool GetMessage(MSG& msg) {
    return MessageQueue::Current()->Get(msg);
}

bool PeekMessage(MSG& msg, bool remove) {
    return MessageQueue::Current()->Peek(msg, remove);
}

LRESULT DispatchMessage(const MSG& msg) {
    if (msg.message == WM_TIMER) {
        auto queue = QueueFor(msg.hwnd);
        if (!queue) {
            return 0;
        }
        auto callback = queue->TimerCallback(msg.hwnd, msg.wParam);
        if (!callback) {
            return 0; // killed after its message was produced
        }
        if (*callback) {
            (*callback)(msg.hwnd, msg.wParam, msg.time);
            return 0;
        }
    }
    if (msg.hwnd == 0) {
        return 0;
    }
    return SendMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, unsigned periodMs, TimerProc proc) {
    if (hwnd != 0) {
        auto queue = WindowTable::Instance().QueueOf(hwnd);
        if (!queue) {
            return 0;
        }
        queue->SetTimer(hwnd, id, periodMs, std::move(proc));
        return id;
    }
    auto queue = MessageQueue::Current();
    if (id == 0) {
        id = ++nextThreadTimerId;
    } else if (!queue->HasTimer(0, id)) {
        return 0;
    }
    queue->SetTimer(0, id, periodMs, std::move(proc));
    return id;
}

bool KillTimer(HWND hwnd, UINT_PTR id) {
    auto queue = QueueFor(hwnd);
    return queue && queue->KillTimer(hwnd, id);
}

} // namespace platform
