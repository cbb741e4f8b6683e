#pragma once
// Alternate signal stacks, so that a handler for a fatal signal still runs when a thread has
// used up its own stack. The stack is per thread: every thread the process starts through
// pthread_create (the program's own, the HTTP worker, the upload thread, and the libraries')
// gets one for its whole life once this file is linked in.
#include <cstddef>

namespace platform {

inline constexpr std::size_t kSignalStackBytes = 256 * 1024;

// Gives the calling thread an alternate signal stack unless it already has one of ours; kept
// until the thread ends. True when the thread has one afterwards.
bool EnsureSignalStack();
// True when the calling thread runs with one of our alternate stacks.
bool HasSignalStack();

} // namespace platform
