// links: plenvo_platform
#include "platform/MessageQueue.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace platform;

namespace {

// A thread that owns a message-only window and counts what it receives.
class Receiver {
public:
    explicit Receiver(bool glib) {
        thread_ = std::thread([this, glib] {
            if (glib) {
                MessageQueue::Current()->AttachToGLib();
            }
            queue_ = MessageQueue::Current();
            HWND hwnd = CreateMessageWindow([this](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
                if (m == WM_USER) {
                    received_.fetch_add(1, std::memory_order_release);
                }
                return 0;
            });
            target_ = hwnd;
            MSG msg;
            while (GetMessage(msg)) {
                DispatchMessage(msg);
            }
            DestroyWindow(hwnd);
        });
        while (target_ == 0) {
            std::this_thread::yield();
        }
    }
    ~Receiver() {
        queue_->PostQuit(0);
        thread_.join();
    }
    HWND Target() const { return target_; }
    long Received() const { return received_.load(std::memory_order_acquire); }
    std::uint64_t WakeUps() const { return queue_->WakeUps(); }

private:
    std::thread thread_;
    std::shared_ptr<MessageQueue> queue_;
    std::atomic<HWND> target_{0};
    std::atomic<long> received_{0};
};

} // namespace

// Messages per second from one thread to a window of another, delivered and dispatched.
static void BM_PostAcrossThreads(benchmark::State& state) {
    Receiver receiver(state.range(1) != 0);
    const int batch = static_cast<int>(state.range(0));
    long sent = 0;
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i) {
            PostMessage(receiver.Target(), WM_USER, 0, i);
        }
        sent += batch;
        while (receiver.Received() < sent) {
            std::this_thread::yield();
        }
    }
    state.SetItemsProcessed(sent);
}
BENCHMARK(BM_PostAcrossThreads)
    ->ArgsProduct({{1, 1000}, {0, 1}})
    ->ArgNames({"batch", "glib"})
    ->UseRealTime();

// Wake-ups of an idle loop served by GLib with no timer due: the target is none.
static void BM_IdleLoopWakeUps(benchmark::State& state) {
    Receiver receiver(true);
    for (auto _ : state) {
        const auto before = receiver.WakeUps();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        state.counters["wakeups_per_s"] = static_cast<double>(receiver.WakeUps() - before);
    }
}
BENCHMARK(BM_IdleLoopWakeUps)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
