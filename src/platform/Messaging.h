#pragma once
// The message calls of the platform, with their Win32 meaning, on the per-thread queues.
#include "platform/Types.h"

#include <thread>

namespace platform {

// A message-only window owned by the calling thread. WM_CREATE is sent to the procedure first;
// when it answers -1 the window is not created and 0 is returned.
HWND CreateMessageWindow(WndProc proc);
// Registers a target without sending WM_CREATE (the on-screen backends do their own creation).
HWND RegisterWindow(WndProc proc);
// Sends WM_DESTROY and WM_NCDESTROY, kills the window's timers and forgets the handle; later
// messages to it are dropped. Returns false for an unknown handle.
bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);

// Any thread. A handle of 0 posts to the calling thread's own queue.
bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
bool PostThreadMessage(std::thread::id thread, UINT message, WPARAM wParam, LPARAM lParam);
// Calls the procedure at once; only meaningful on the owning thread (other threads get 0).
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

bool GetMessage(MSG& msg);
bool PeekMessage(MSG& msg, bool remove);
// Window messages go to their procedure; WM_TIMER with a callback runs the callback, provided
// the timer still exists; a message for a destroyed window is dropped.
LRESULT DispatchMessage(const MSG& msg);

// With a window: timer (hwnd, id) of the window's thread, returns id. Without a window and with
// id 0: a new thread timer of the calling thread with a process-unique id, which is returned;
// without a window and an existing id: that thread timer restarted.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, unsigned periodMs, TimerProc proc = {});
bool KillTimer(HWND hwnd, UINT_PTR id);

} // namespace platform
