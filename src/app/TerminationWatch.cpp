#include "app/TerminationWatch.h"

#include <csignal>
#include <pthread.h>

namespace Plenvo {

namespace {

std::atomic<bool> blocked{false};

sigset_t TerminationSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

void CTerminationWatch::BlockInProcess() {
    const sigset_t set = TerminationSet();
    blocked = ::pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

bool CTerminationWatch::Blocked() {
    return blocked.load();
}

CTerminationWatch::CTerminationWatch(std::function<void()> onTerminate)
    : onTerminate_(std::move(onTerminate)) {
    thread_ = std::thread([this] {
        const sigset_t set = TerminationSet();
        for (;;) {
            int signal = 0;
            const bool received = ::sigwait(&set, &signal) == 0;
            // The destructor wakes the wait with a SIGTERM aimed at this thread alone.
            if (stopping_) {
                return;
            }
            if (received) {
                onTerminate_();
            }
        }
    });
}

CTerminationWatch::~CTerminationWatch() {
    stopping_ = true;
    ::pthread_kill(thread_.native_handle(), SIGTERM);
    thread_.join();
}

} // namespace Plenvo
