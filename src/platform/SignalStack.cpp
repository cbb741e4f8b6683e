#include "platform/SignalStack.h"

#include <memory>
#include <sys/mman.h>
#include <unistd.h>

namespace platform {

namespace {

thread_local bool ours = false;
thread_local std::unique_ptr<SignalStack> threadStack;

} // namespace

// A guard page below the stack turns an overflow of the handler itself into a fault that ends
// the process instead of a write into whatever lies below.
SignalStack::SignalStack() {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    mapped_ = kSignalStackBytes + page;
    void* memory =
        mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return;
    }
    memory_ = static_cast<char*>(memory);
    mprotect(memory_, page, PROT_NONE);
    stack_t stack{};
    stack.ss_sp = memory_ + page;
    stack.ss_size = kSignalStackBytes;
    if (sigaltstack(&stack, &previous_) != 0) {
        munmap(memory_, mapped_);
        memory_ = nullptr;
        return;
    }
    ours = true;
}

SignalStack::~SignalStack() {
    if (!memory_) {
        return;
    }
    sigaltstack(&previous_, nullptr);
    ours = false;
    munmap(memory_, mapped_);
}

bool EnsureSignalStack() {
    if (HasSignalStack()) {
        return true;
    }
    auto stack = std::make_unique<SignalStack>();
    if (!stack->Installed()) {
        return false;
    }
    threadStack = std::move(stack);
    return true;
}

bool HasSignalStack() {
    return ours;
}

} // namespace platform
