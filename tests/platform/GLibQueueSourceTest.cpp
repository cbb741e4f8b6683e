#include "platform/MessageQueue.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "platform/Tick.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace platform;

// These run on a thread of their own, because a queue stays attached to GLib once attached.
TEST(GLibQueueSource, ThreadTimersAndPostsAreServedInTheSameLoopAsGLibSources) {
    std::thread ui([] {
        auto queue = MessageQueue::Current();
        queue->AttachToGLib();
        std::vector<std::string> events;
        g_idle_add(
            [](gpointer data) -> gboolean {
                static_cast<std::vector<std::string>*>(data)->push_back("glib idle");
                return G_SOURCE_REMOVE;
            },
            &events);
        int ticks = 0;
        UINT_PTR timer = SetTimer(0, 0, 15, [&](HWND, UINT_PTR id, std::uint64_t) {
            events.push_back("timer");
            if (++ticks == 3) {
                KillTimer(0, id);
                PostQuitMessage(5);
            }
        });
        ASSERT_NE(timer, 0u);
        MSG msg;
        while (GetMessage(msg)) {
            DispatchMessage(msg);
        }
        EXPECT_EQ(msg.wParam, 5u);
        ASSERT_EQ(events.size(), 4u);
        EXPECT_EQ(events.front(), "glib idle");
    });
    ui.join();
}

TEST(GLibQueueSource, CrossThreadPostWakesTheLoopAndANestedLoopServesMessages) {
    std::thread ui([] {
        MessageQueue::Current()->AttachToGLib();
        std::vector<int> order;
        bool servedInsideNestedLoop = false;
        HWND hwnd = CreateMessageWindow([&](HWND self, UINT m, WPARAM, LPARAM l) -> LRESULT {
            if (m != WM_USER) {
                return 0;
            }
            order.push_back(static_cast<int>(l));
            if (l == 1) {
                // A modal loop of GTK's kind: it must go on serving this queue.
                GMainLoop* nested = g_main_loop_new(nullptr, FALSE);
                PostMessage(self, WM_USER, 0, 2);
                SetTimer(0, 0, 30, [nested](HWND, UINT_PTR id, std::uint64_t) {
                    KillTimer(0, id);
                    g_main_loop_quit(nested);
                });
                g_main_loop_run(nested);
                g_main_loop_unref(nested);
                servedInsideNestedLoop = order.size() == 2;
                PostMessage(self, WM_USER, 0, 3);
            }
            if (l == 3) {
                PostQuitMessage(0);
            }
            return 0;
        });
        std::thread other([hwnd] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            PostMessage(hwnd, WM_USER, 0, 1);
        });
        const UINT_PTR stopper = SetTimer(0, 0, 10000, [](HWND, UINT_PTR, std::uint64_t) {
            ADD_FAILURE() << "loop hung";
            PostQuitMessage(1);
        });
        MSG msg;
        while (GetMessage(msg)) {
            DispatchMessage(msg);
        }
        KillTimer(0, stopper);
        other.join();
        DestroyWindow(hwnd);
        EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
        EXPECT_TRUE(servedInsideNestedLoop);
    });
    ui.join();
}
