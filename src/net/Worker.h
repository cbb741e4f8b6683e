#pragma once
// The one thread that performs every asynchronous transfer of the process. Requests reach it
// through one pending list under one lock; completions leave it as messages posted to the
// dispatcher window of the thread that started them, so no callback ever runs here. It sleeps in
// the transfer library's poll and is woken only by socket activity, a queued request or stop.
#include "net/SimpleCurlAsync.h"

#include <cstdint>
#include <memory>

namespace SimpleCurl {

// Starts the worker once; a second call while it runs does nothing. Throws std::runtime_error
// when the worker has not signalled that it runs within 10000 ms (a fatal start-up error).
void StartWorker();
// Signals stop and waits up to waitMs for the thread to end; true when it ended. Transfers still
// running and requests not yet sent are completed with an error, as is every request queued
// after the stop.
bool StopWorker(std::int64_t waitMs);
bool WorkerRunning();
// Any thread: appends the request to the pending list and wakes the worker. Every queued request
// gets exactly one completion posted to its dispatcher window, whatever happens to it.
void QueueRequest(std::shared_ptr<CSimpleCurlAsync> request);
// How often the worker's wait has returned since it started; an idle worker adds none.
std::uint64_t WorkerWakeUps();

} // namespace SimpleCurl
