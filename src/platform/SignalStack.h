#pragma once
// Alternate signal stacks, so that a handler for a fatal signal still runs when a thread has
// used up its own stack. The stack is per thread: the thread that installs a handler takes one
// with EnsureSignalStack; a thread start wraps its routine in a SignalStack.
#include <csignal>
#include <cstddef>

namespace platform {

inline constexpr std::size_t kSignalStackBytes = 256 * 1024;

// The calling thread's alternate stack for as long as the object lives; the stack the thread
// had before (a sanitizer's own, say) is handed back at the end.
class SignalStack {
public:
    SignalStack();
    ~SignalStack();
    SignalStack(const SignalStack&) = delete;
    SignalStack& operator=(const SignalStack&) = delete;

    bool Installed() const { return memory_ != nullptr; }

private:
    char* memory_ = nullptr;
    std::size_t mapped_ = 0;
    stack_t previous_{};
};

// Gives the calling thread an alternate signal stack unless it already has one of ours; kept
// until the thread ends. True when the thread has one afterwards.
bool EnsureSignalStack();
// True when the calling thread runs with one of our alternate stacks.
bool HasSignalStack();

} // namespace platform
