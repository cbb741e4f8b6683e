#include "TestServer.h"
#include "platform/Tick.h"
#include "support/Pump.h"

#include "net/SimpleCurlAsync.h"
#include "net/ThreadTimer.h"
#include "net/Worker.h"

#include <gtest/gtest.h>

#include <thread>

using namespace SimpleCurl;
using testsupport::PumpFor;
using testsupport::PumpUntil;

namespace {

TEST(ThreadTimer, FiresPeriodicallyOnItsThreadWithItsIdUntilKilled) {
    std::vector<platform::UINT_PTR> ids;
    std::vector<std::thread::id> threads;
    const auto id = RegisterThreadTimer(20, [&](platform::UINT_PTR fired) {
        ids.push_back(fired);
        threads.push_back(std::this_thread::get_id());
    });
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(PumpUntil([&] { return ids.size() >= 3; }, 5000));
    KillThreadTimer(id);
    const size_t fired = ids.size();
    PumpFor(100);
    EXPECT_EQ(ids.size(), fired);
    EXPECT_EQ(ids, std::vector<platform::UINT_PTR>(fired, id));
    EXPECT_EQ(threads, std::vector<std::thread::id>(fired, std::this_thread::get_id()));
}

TEST(ThreadTimer, SetRestartsWithTheNewPeriodAndIgnoresUnknownOrKilledIds) {
    int fired = 0;
    platform::ManualClock clock;
    const auto id = RegisterThreadTimer(60000, [&](platform::UINT_PTR) { ++fired; });
    testsupport::Advance(clock, 10);
    SetThreadTimer(id, 20);
    testsupport::Advance(clock, 19);
    EXPECT_EQ(fired, 0);
    testsupport::Advance(clock, 1);
    EXPECT_EQ(fired, 1) << "restarted with the new period from when it was set";
    KillThreadTimer(id);
    SetThreadTimer(id, 10);        // killed: stays dead
    SetThreadTimer(id + 1000, 10); // never registered
    KillThreadTimer(id + 1000);
    testsupport::Advance(clock, 100);
    EXPECT_EQ(fired, 1);
}

TEST(ThreadTimer, CallbackMayKillItsOwnTimer) {
    platform::ManualClock clock;
    int fired = 0;
    platform::UINT_PTR id = 0;
    id = RegisterThreadTimer(10, [&](platform::UINT_PTR) {
        ++fired;
        KillThreadTimer(id);
    });
    testsupport::Advance(clock, 9);
    EXPECT_EQ(fired, 0);
    testsupport::Advance(clock, 1);
    EXPECT_EQ(fired, 1);
    testsupport::Advance(clock, 140);
    EXPECT_EQ(fired, 1);
}

TEST(ThreadTimer, TimerOfAnotherThreadFiresThereOnly) {
    std::thread::id firedOn;
    std::thread other([&] {
        const auto id = RegisterThreadTimer(
            10, [&](platform::UINT_PTR) { firedOn = std::this_thread::get_id(); });
        PumpUntil([&] { return firedOn != std::thread::id(); }, 5000);
        KillThreadTimer(id);
        // Ids are process-unique: this thread's next timer gets a different one.
        const auto second = RegisterThreadTimer(10, [](platform::UINT_PTR) {});
        EXPECT_NE(second, id);
        KillThreadTimer(second);
    });
    const auto otherId = other.get_id();
    other.join();
    EXPECT_EQ(firedOn, otherId);
}

TEST(Worker, IdleWorkerDoesNotWakeUp) {
    nettest::TestServer server;
    server.Get("gethistory",
               [](const auto&, auto& res) { res.set_content("{}", "application/json"); });
    server.Start();
    int done = 0;
    for (int i = 0; i < 5; ++i) {
        std::make_shared<CSimpleCurlAsync>(__FILE__, __LINE__, nullptr)
            ->Get(server.Url("gethistory"), [&](response&) { ++done; });
    }
    ASSERT_TRUE(PumpUntil([&] { return done == 5; }, 20000));
    EXPECT_GT(WorkerWakeUps(), 0u);
    PumpFor(100);
    const auto before = WorkerWakeUps();
    // An idle worker has nothing to look at: no wake-up however long it waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(WorkerWakeUps(), before);
}

} // namespace
