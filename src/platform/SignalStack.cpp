#include "platform/SignalStack.h"

#include <cerrno>
#include <dlfcn.h>
#include <memory>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace platform {

namespace {

thread_local bool ours = false;

// A guard page below the stack turns an overflow of the handler itself into a fault that ends
// the process instead of a write into whatever lies below.
class SignalStack {
public:
    SignalStack() {
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        mapped_ = kSignalStackBytes + page;
        void* memory =
            mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            memory_ = nullptr;
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
    ~SignalStack() {
        if (!memory_) {
            return;
        }
        // Hand back what the thread had before (a sanitizer's own stack frees itself later).
        sigaltstack(&previous_, nullptr);
        ours = false;
        munmap(memory_, mapped_);
    }
    SignalStack(const SignalStack&) = delete;
    SignalStack& operator=(const SignalStack&) = delete;

    bool Installed() const { return memory_ != nullptr; }

private:
    char* memory_ = nullptr;
    std::size_t mapped_ = 0;
    stack_t previous_{};
};

thread_local std::unique_ptr<SignalStack> threadStack;

struct ThreadStart {
    void* (*routine)(void*);
    void* argument;
};

void* StartWithSignalStack(void* start) {
    const std::unique_ptr<ThreadStart> owned(static_cast<ThreadStart*>(start));
    // Owned by the frame, not the thread_local, so it outlives every destructor of the thread's
    // routine and is released even when the thread ends by pthread_exit (forced unwinding).
    SignalStack stack;
    return owned->routine(owned->argument);
}

using CreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

} // namespace

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

// Every thread creation of the process passes here (the executable's definition comes before the
// C library's for all libraries too), so threads that libraries start and threads started before
// the crash handler was installed have an alternate stack as well.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*routine)(void*), void* argument) {
    static const auto next =
        reinterpret_cast<platform::CreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
    if (!next) {
        return EAGAIN;
    }
    auto start = std::make_unique<platform::ThreadStart>(platform::ThreadStart{routine, argument});
    const int result = next(thread, attributes, &platform::StartWithSignalStack, start.get());
    if (result == 0) {
        (void)start.release();
    }
    return result;
}
