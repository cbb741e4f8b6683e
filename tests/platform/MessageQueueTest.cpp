#include "platform/MessageQueue.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "platform/Tick.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

using namespace platform;

namespace {

constexpr UINT kTestMessage = WM_USER + 1;

// Runs the calling thread's loop until WM_QUIT, with a safety limit so a fault fails the test
// instead of hanging it.
int Pump(unsigned limitMs = 5000) {
    const UINT_PTR guard = SetTimer(0, 0, limitMs, [](HWND, UINT_PTR, std::uint64_t) {
        ADD_FAILURE() << "loop did not end in time";
        PostQuitMessage(-1);
    });
    MSG msg;
    while (GetMessage(msg)) {
        DispatchMessage(msg);
    }
    KillTimer(0, guard);
    return static_cast<int>(msg.wParam);
}

} // namespace

TEST(MessageQueue, MessagesFromSeveralThreadsArriveOnTheOwnerInOrderPerSender) {
    constexpr int kSenders = 4;
    constexpr int kPerSender = 2000;
    std::map<int, std::vector<int>> received;
    std::atomic<int> wrongThread{0};
    const auto owner = std::this_thread::get_id();
    HWND target = CreateMessageWindow([&](HWND, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == kTestMessage) {
            if (std::this_thread::get_id() != owner) {
                ++wrongThread;
            }
            received[static_cast<int>(w)].push_back(static_cast<int>(l));
            if (received.size() == kSenders &&
                std::all_of(received.begin(), received.end(),
                            [](auto& r) { return r.second.size() == kPerSender; })) {
                PostQuitMessage(0);
            }
        }
        return 0;
    });
    ASSERT_NE(target, 0u);
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s) {
        senders.emplace_back([=] {
            for (int i = 0; i < kPerSender; ++i) {
                PostMessage(target, kTestMessage, static_cast<WPARAM>(s), i);
            }
        });
    }
    EXPECT_EQ(Pump(), 0);
    for (auto& t : senders) {
        t.join();
    }
    EXPECT_EQ(wrongThread, 0);
    for (auto& [sender, values] : received) {
        ASSERT_EQ(values.size(), static_cast<std::size_t>(kPerSender));
        for (int i = 0; i < kPerSender; ++i) {
            ASSERT_EQ(values[i], i) << "sender " << sender;
        }
    }
    DestroyWindow(target);
}

TEST(MessageQueue, MessageToADestroyedTargetIsDroppedAndHandlesAreNotReused) {
    int delivered = 0;
    HWND first = CreateMessageWindow([&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        delivered += m == kTestMessage;
        return 0;
    });
    ASSERT_TRUE(PostMessage(first, kTestMessage, 0, 0)); // queued before the window goes
    ASSERT_TRUE(DestroyWindow(first));
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(PostMessage(first, kTestMessage, 0, 0));
    HWND second = CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    EXPECT_NE(second, first);
    PostQuitMessage(3);
    EXPECT_EQ(Pump(), 3);
    EXPECT_EQ(delivered, 0);
    DestroyWindow(second);
}

TEST(MessageQueue, CreationAnsweredWithMinusOneFailsAndDestroySendsItsMessages) {
    EXPECT_EQ(CreateMessageWindow(
                  [](HWND, UINT m, WPARAM, LPARAM) -> LRESULT { return m == WM_CREATE ? -1 : 0; }),
              0u);
    std::vector<UINT> seen;
    HWND hwnd = CreateMessageWindow([&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        seen.push_back(m);
        return 0;
    });
    DestroyWindow(hwnd);
    EXPECT_EQ(seen, (std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(DestroyWindow(hwnd));
}

TEST(MessageQueue, PostedMessagesComeBeforeQuitAndPeekLeavesThemQueued) {
    std::vector<LPARAM> order;
    HWND hwnd = CreateMessageWindow([&](HWND, UINT m, WPARAM, LPARAM l) -> LRESULT {
        if (m == kTestMessage) {
            order.push_back(l);
        }
        return 0;
    });
    PostMessage(hwnd, kTestMessage, 0, 1);
    PostQuitMessage(9);
    PostMessage(hwnd, kTestMessage, 0, 2);
    MSG peeked;
    ASSERT_TRUE(PeekMessage(peeked, false));
    EXPECT_EQ(peeked.lParam, 1);
    EXPECT_EQ(Pump(), 9);
    EXPECT_EQ(order, (std::vector<LPARAM>{1, 2}));
    DestroyWindow(hwnd);
}

TEST(Timers, WindowTimerFiresOnItsOwnThreadRepeatedlyUntilKilled) {
    int fired = 0;
    std::thread::id firedOn;
    std::thread worker([&] {
        HWND hwnd = CreateMessageWindow([&](HWND h, UINT m, WPARAM w, LPARAM) -> LRESULT {
            if (m == WM_TIMER && w == 77) {
                firedOn = std::this_thread::get_id();
                if (++fired == 3) {
                    KillTimer(h, 77);
                    // Long enough for two more periods: none may arrive.
                    SetTimer(0, 0, 60, [](HWND, UINT_PTR, std::uint64_t) { PostQuitMessage(0); });
                }
            }
            return 0;
        });
        SetTimer(hwnd, 77, 10);
        Pump();
        DestroyWindow(hwnd);
        EXPECT_EQ(firedOn, std::this_thread::get_id());
    });
    worker.join();
    EXPECT_EQ(fired, 3);
}

TEST(Timers, KilledTimerNeverFiresEvenWhenItWasAlreadyDue) {
    int fired = 0;
    const UINT_PTR id = SetTimer(0, 0, 10, [&](HWND, UINT_PTR, std::uint64_t) { ++fired; });
    ASSERT_NE(id, 0u);
    // Let it fall due, then kill it from a message that is handled before the timer's turn.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    HWND hwnd = CreateMessageWindow([&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == kTestMessage) {
            KillTimer(0, id);
            SetTimer(0, 0, 50, [](HWND, UINT_PTR self, std::uint64_t) {
                KillTimer(0, self);
                PostQuitMessage(0);
            });
        }
        return 0;
    });
    PostMessage(hwnd, kTestMessage, 0, 0);
    Pump();
    EXPECT_EQ(fired, 0);

    // A timer message already taken from the queue is not dispatched once the timer is killed.
    const UINT_PTR second = SetTimer(0, 0, 10, [&](HWND, UINT_PTR, std::uint64_t) { ++fired; });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    MSG msg;
    ASSERT_TRUE(PeekMessage(msg, true));
    ASSERT_EQ(msg.message, WM_TIMER);
    KillTimer(0, second);
    DispatchMessage(msg);
    EXPECT_EQ(fired, 0);
    DestroyWindow(hwnd);
}

TEST(Timers, ThreadTimerIdsAreUniqueAcrossThreadsAndRestartKeepsTheId) {
    std::vector<UINT_PTR> ids(2);
    std::thread a([&] { ids[0] = SetTimer(0, 0, 1000, {}); });
    std::thread b([&] { ids[1] = SetTimer(0, 0, 1000, {}); });
    a.join();
    b.join();
    EXPECT_NE(ids[0], ids[1]);
    const UINT_PTR id = SetTimer(0, 0, 1000, {});
    EXPECT_EQ(SetTimer(0, id, 20, {}), id);
    EXPECT_EQ(SetTimer(0, 424242, 20, {}), 0u) << "an unknown thread timer is not created";
    KillTimer(0, id);
}

TEST(Timers, AnIdleQueueSleepsUntilAMessageArrives) {
    auto queue = MessageQueue::Current();
    const auto before = queue->WakeUps();
    const auto owner = std::this_thread::get_id();
    // However long the owner waits (a loaded machine only makes it longer), only the message
    // may wake it: an idle queue does not poll.
    std::thread late([owner] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        PostThreadMessage(owner, kTestMessage, 0, 0);
    });
    MSG msg;
    ASSERT_TRUE(GetMessage(msg));
    late.join();
    EXPECT_EQ(msg.message, kTestMessage);
    EXPECT_LE(queue->WakeUps() - before, 1u) << "the queue woke up without a reason";
}
