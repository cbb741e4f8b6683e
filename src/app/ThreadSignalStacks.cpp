#include "app/ThreadSignalStacks.h"

#include "platform/SignalStack.h"

#include <cerrno>
#include <dlfcn.h>
#include <memory>
#include <pthread.h>

namespace Plenvo {

namespace {

struct ThreadStart {
    void* (*routine)(void*);
    void* argument;
};

void* StartWithSignalStack(void* start) {
    const std::unique_ptr<ThreadStart> owned(static_cast<ThreadStart*>(start));
    // Owned by this frame, so the stack outlives everything the routine does and is released
    // even when the thread ends by pthread_exit (which unwinds).
    platform::SignalStack stack;
    return owned->routine(owned->argument);
}

using CreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

} // namespace

bool ThreadSignalStacksLinked() {
    return true;
}

} // namespace Plenvo

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*routine)(void*), void* argument) {
    // The next definition: the C library's, or a sanitizer's that leads to it.
    static const auto next =
        reinterpret_cast<Plenvo::CreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
    if (!next) {
        return EAGAIN;
    }
    auto start = std::make_unique<Plenvo::ThreadStart>(Plenvo::ThreadStart{routine, argument});
    const int result = next(thread, attributes, &Plenvo::StartWithSignalStack, start.get());
    if (result == 0) {
        (void)start.release(); // the new thread owns it
    }
    return result;
}
